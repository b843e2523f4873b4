#include "ui/dialogparts.h"

#include "app/moddata.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace zop {

void LoadProgramIcon(QWidget *window)
{
    const QString path = QDir(modData().ProgramFolder).filePath(QStringLiteral("icon.ico"));
    if (QFileInfo::exists(path))
        window->setWindowIcon(QIcon(path));
}

QHBoxLayout *OkCancelRow(QWidget *dialog, QPushButton *&cmdOK, QPushButton *&cmdCancel)
{
    cmdOK = new QPushButton(QStringLiteral("OK"), dialog);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdOK);
    row->addWidget(cmdCancel);
    return row;
}

QLabel *PlainLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

void SettingHeadings(QGridLayout *grid, QWidget *parent)
{
    int column = 0;
    for (const QString &text : {QStringLiteral("Setting"), QStringLiteral("Current"),
                                QStringLiteral("New")}) {
        QLabel *label = PlainLabel(text, nullptr, parent);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        grid->addWidget(label, 0, column++);
    }
}

} // namespace zop
