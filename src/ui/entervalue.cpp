#include "ui/entervalue.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace zop {

namespace {
ValueEntry &Entry()
{
    static ValueEntry entry;
    return entry;
}
} // namespace

frmInput::frmInput(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmInput"));
    setModal(true);
    if (parent)
        setWindowIcon(parent->windowIcon());
    auto *layout = new QVBoxLayout(this);
    auto *prompt = new QLabel(QStringLiteral("Value:"), this);
    txtValue = new QLineEdit(this);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    txtValue->setAccessibleName(QStringLiteral("Value"));
    prompt->setBuddy(txtValue);
    lblHint = new QLabel(this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setTextFormat(Qt::PlainText);
    lblHint->setProperty("hint", true); // the look's secondary text: it tells, it does not limit
    lblHint->hide();
    auto *buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setDefault(true);
    layout->addWidget(prompt);
    layout->addWidget(txtValue);
    layout->addWidget(lblHint);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        sValue = txtValue->text();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        sValue.clear();
        reject();
    });
    setMinimumWidth(260);
}

void frmInput::load()
{
    setWindowTitle(sTitle);
    lblHint->setText(sHint);
    lblHint->setVisible(!sHint.isEmpty());
    txtValue->setAccessibleDescription(sHint);
    if (sValue.isEmpty())
        sValue = QStringLiteral("0.0");
    txtValue->setText(sValue);
    txtValue->selectAll();
}

std::optional<QString> EnterValue(QWidget *parent, const QString &title, const QString &value,
                                  const QString &hint)
{
    if (Entry())
        return Entry()(parent, title, value);
    // The parent may go away while the dialog runs: the dialog is guarded, never assumed.
    QPointer<frmInput> dialog = new frmInput(parent);
    dialog->sTitle = title;
    dialog->sValue = value;
    dialog->sHint = hint;
    dialog->load();
    const int result = dialog->exec();
    if (!dialog)
        return std::nullopt;
    std::optional<QString> typed;
    if (result == QDialog::Accepted)
        typed = dialog->sValue;
    delete dialog.data();
    return typed;
}

void SetValueEntry(ValueEntry entry) { Entry() = std::move(entry); }

} // namespace zop
