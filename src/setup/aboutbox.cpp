#include "setup/aboutbox.h"

#include "app/moddata.h"
#include "setup/programversion.h"
#include "setup/sysinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace zop {

namespace {
constexpr double HimetricPerMetre = 100000.0;
constexpr double DefaultDotsPerMetre = 96 / 0.0254;
constexpr int MinimumTextWidth = 320;

QLabel *PlainLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QFrame *Separator(const QString &name, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

double ImageWidthHimetric(const QImage &image)
{
    if (image.isNull())
        return 0;
    const double dpm = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : DefaultDotsPerMetre;
    return image.width() / dpm * HimetricPerMetre;
}

QString AboutBox::VersionLine(const QString &versionText)
{
    const VersionNumbers v = ParseVersion(versionText);
    return QStringLiteral("ZOP Version ") + QString::number(v.major) + QLatin1Char('.')
         + QString::number(v.minor);
}

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ZOP Panel"));
    setModal(true);

    pctLogo = new QLabel(this);
    pctLogo->setObjectName(QStringLiteral("pctLogo"));
    pctLogo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    pctLogo->setAccessibleName(QStringLiteral("Logo"));

    lblTitle = PlainLabel(QStringLiteral("lblTitle"), this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2.0);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    Line1[0] = Separator(QStringLiteral("Line1(0)"), this);
    Line1[1] = Separator(QStringLiteral("Line1(1)"), this);
    Line1[0]->setMinimumWidth(MinimumTextWidth);
    // Design-time captions, replaced below.
    lblVersion = PlainLabel(QStringLiteral("lblVersion"), this);
    lblVersion->setText(QStringLiteral("ZOP Version - 1.00"));
    lblFirmware = PlainLabel(QStringLiteral("lblFirmware"), this);
    lblFirmware->setText(QStringLiteral("Firmware Version - 1.00"));
    lblHardware = PlainLabel(QStringLiteral("lblHardware"), this);
    lblHardware->setText(QStringLiteral("Hardware Version - 1.00"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [] { StartSysInfo(); });

    auto *text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(lblTitle);
    text->addSpacing(4);
    text->addWidget(Line1[0]);
    text->addWidget(lblVersion);
    text->addWidget(lblFirmware);
    text->addWidget(lblHardware);
    text->addWidget(Line1[1]);
    text->addStretch(1);

    auto *top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(pctLogo, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->addLayout(top, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    loadPictures();
    lblVersion->setText(VersionLine(QCoreApplication::applicationVersion()));
    const ModData &data = modData();
    lblFirmware->setText(QStringLiteral("Firmware Version ") + data.FirmwareVersion);
    lblHardware->setText(QStringLiteral("Hardware Version ") + data.HardwareVersion);
    set_sTitle(m_sTitle);
}

void AboutBox::set_sTitle(const QString &title)
{
    m_sTitle = title;
    lblTitle->setText(title);
    lblTitle->setVisible(!title.isEmpty());
}

void AboutBox::loadPictures()
{
    const QDir folder(modData().ProgramFolder);
    const QImage logo(folder.filePath(QStringLiteral("logo.gif")));
    if (ImageWidthHimetric(logo) < MinimumPictureHimetric) {
        pctLogo->hide();
    } else {
        pctLogo->setPixmap(QPixmap::fromImage(logo));
        pctLogo->show();
    }
    const QString iconPath = folder.filePath(QStringLiteral("icon.ico"));
    if (QFileInfo::exists(iconPath))
        setWindowIcon(QIcon(iconPath));
}

} // namespace zop
