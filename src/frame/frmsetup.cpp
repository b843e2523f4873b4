#include "frame/frmsetup.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "app/setupentries.h"
#include "link/commlayer.h"
#include "link/linkaddress.h"
#include "link/linkkind.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/dialogparts.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace zop {

namespace {

CommSetupRunner &Runner()
{
    static CommSetupRunner runner = RunCommSetup;
    return runner;
}

constexpr int MarginPx = 8;

QGroupBox *Frame(const QString &caption, const QString &name, QWidget *parent)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    return frame;
}

QLabel *Label(const QString &caption, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QComboBox *DropDown(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

// A read-only value beside its caption (named by caption and value when arranged).
QLabel *Display(const QString &name, QWidget *parent)
{
    auto *label = Label(QString(), name, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(160);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

} // namespace

void SetCommSetupRunner(CommSetupRunner runner)
{
    Runner() = runner ? std::move(runner) : CommSetupRunner(RunCommSetup);
}

frmSetup::frmSetup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Configuration Setup"));
    // 1. The window icon.
    LoadProgramIcon(this);

    // Created in tab order.
    fraStartup = Frame(QStringLiteral("Start-Up Mode"), QStringLiteral("fraStartup"), this);
    auto *lblApp = Label(QStringLiteral("Start-Up Panel"), QStringLiteral("lblApp"), fraStartup);
    cmbApp = DropDown(QStringLiteral("cmbApp"), lblApp->text(), fraStartup);
    lblApp->setBuddy(cmbApp);
    auto *startup = new QHBoxLayout(fraStartup);
    startup->addWidget(lblApp);
    startup->addWidget(cmbApp, 1);

    fraSystem = Frame(QStringLiteral("System"), QStringLiteral("fraSystem"), this);
    auto *lblPanel = Label(QStringLiteral("System Type"), QStringLiteral("lblPanel"), fraSystem);
    cmbPanel = DropDown(QStringLiteral("cmbPanel"), lblPanel->text(), fraSystem);
    lblPanel->setBuddy(cmbPanel);
    auto *system = new QHBoxLayout(fraSystem);
    system->addWidget(lblPanel);
    system->addWidget(cmbPanel, 1);

    fraComm = Frame(QStringLiteral("Communications Setup"), QStringLiteral("fraComm"), this);
    lblComm = Label(QStringLiteral("Type of Communications"), QStringLiteral("lblComm"), fraComm);
    cmbComm = DropDown(QStringLiteral("cmbComm"), lblComm->text(), fraComm);
    lblComm->setBuddy(cmbComm);
    lblAddress = Label(QStringLiteral("Address"), QStringLiteral("lblAddress"), fraComm);
    lblAddressDisplay = Display(QStringLiteral("lblAddressDisplay"), fraComm);
    lblPort = Label(QStringLiteral("Port"), QStringLiteral("lblPort"), fraComm);
    lblPortDisplay = Display(QStringLiteral("lblPortDisplay"), fraComm);
    cmdConfigure = new QPushButton(QStringLiteral("Configure..."), fraComm);
    cmdConfigure->setObjectName(QStringLiteral("cmdConfigure"));
    cmdConfigure->setAutoDefault(false);
    m_grid = new QGridLayout(fraComm);
    m_grid->addWidget(lblComm, 0, 0);
    m_grid->addWidget(cmbComm, 0, 1);
    m_grid->setColumnStretch(1, 1);

    // The fields of the three frames line up.
    int captionWidth = 0;
    for (QLabel *l : {lblApp, lblPanel, lblComm, lblAddress, lblPort})
        captionWidth = std::max(captionWidth, l->sizeHint().width());
    for (QLabel *l : {lblApp, lblPanel, lblComm, lblAddress, lblPort})
        l->setMinimumWidth(captionWidth);

    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(MarginPx, MarginPx, MarginPx, MarginPx);
    layout->addWidget(fraStartup);
    layout->addWidget(fraSystem);
    layout->addWidget(fraComm);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdConfigure, &QPushButton::clicked, this, &frmSetup::cmdConfigure_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);

    // 2. The link as the file has it.
    const ModData &data = modData();
    const LinkSettingsInFile link = ReadLinkSettings();
    Address = link.address;
    Port = link.port;
    Device = link.device;
    // 3. The lists.
    cmbApp->addItems(data.FormList);
    for (qsizetype i = 0; i < data.SystList.size(); ++i) {
        if (!data.SystList[i].isEmpty())
            cmbPanel->addItem(data.SystList[i], int(i));
    }
    for (const QString &name : data.CommList) {
        if (name.size() > MaxHiddenLinkNameLength)
            cmbComm->addItem(name);
    }
    for (QComboBox *box : {cmbApp, cmbPanel, cmbComm})
        box->setCurrentIndex(-1);
    // Choosing an item, from here on also by the opening steps.
    connect(cmbApp, &QComboBox::currentIndexChanged, this,
            [this] { StartupName = cmbApp->currentText(); });
    connect(cmbPanel, &QComboBox::currentIndexChanged, this,
            [this] { SystemName = cmbPanel->currentText(); });
    connect(cmbComm, &QComboBox::currentIndexChanged, this, &frmSetup::cmbComm_Click);
    // 4.-6. The configured choices.
    if (link.kind != NotInList)
        cmbComm->setCurrentIndex(link.kind);
    if (data.StartupPanel != NotInList)
        cmbApp->setCurrentIndex(data.StartupPanel);
    if (data.SystemType != NotInList)
        cmbPanel->setCurrentIndex(cmbPanel->findData(int(data.SystemType)));
    // 7.
    arrangeFields();
}

void frmSetup::cmbComm_Click()
{
    const int position = cmbComm->currentIndex();
    if (position < 0 || cmbComm->currentText() == CommName)
        return;
    SetupAddresses entries{Address, Port, SavedNetAddress, SavedNumAddress};
    ChangeLinkKind(entries, position);
    Address = entries.Address;
    Port = entries.Port;
    SavedNetAddress = entries.SavedNetAddress;
    SavedNumAddress = entries.SavedNumAddress;
    arrangeFields();
    CommName = cmbComm->currentText();
    if (cmdConfigure->isHidden())
        return;
    // While the dialog is being built it is not on the screen yet: the Communication Setup
    // dialog opens over it once it is.
    if (isVisible())
        cmdConfigure_Click();
    else
        m_configurePending = true;
}

void frmSetup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_configurePending)
        return;
    QTimer::singleShot(0, this, [this] {
        if (!m_configurePending)
            return;
        m_configurePending = false;
        cmdConfigure_Click();
    });
}

void frmSetup::arrangeFields()
{
    const int position = cmbComm->currentIndex();
    const SetupFields fields = SetupFieldsFor(position);
    lblAddress->setText(fields.addressCaption);
    lblAddressDisplay->setText(Address);
    lblPort->setText(fields.portCaption);
    QString port = Port;
    if (IsSerialKind(qint16(position))) {
        const int number = IsNumericText(Port) ? int(LeadingDecimal(Port)) : 0;
        if (!Device.isEmpty())
            port = Device;
        else if (number >= 1 && QString::number(number) == Port.trimmed())
            port = SerialPortLabel(number, SetupPortLister());
    }
    lblPortDisplay->setText(port);
    for (QLabel *l : {lblAddress, lblAddressDisplay})
        l->setVisible(fields.addressShown);
    for (QLabel *l : {lblPort, lblPortDisplay})
        l->setVisible(fields.portShown);
    cmdConfigure->setVisible(fields.configureShown);
    // A screen reader reads a label's accessible name alone: caption and value both.
    lblAddressDisplay->setAccessibleName(fields.addressCaption + QStringLiteral(": ") + Address);
    lblPortDisplay->setAccessibleName(fields.portCaption + QStringLiteral(": ") + port);

    // Without the address row the port moves up into it.
    const int portRow = fields.addressShown ? 2 : 1;
    for (QWidget *w : {static_cast<QWidget *>(lblAddress), static_cast<QWidget *>(lblAddressDisplay),
                       static_cast<QWidget *>(lblPort), static_cast<QWidget *>(lblPortDisplay),
                       static_cast<QWidget *>(cmdConfigure)})
        m_grid->removeWidget(w);
    m_grid->addWidget(lblAddress, 1, 0);
    m_grid->addWidget(lblAddressDisplay, 1, 1);
    m_grid->addWidget(lblPort, portRow, 0);
    m_grid->addWidget(lblPortDisplay, portRow, 1);
    m_grid->addWidget(cmdConfigure, 3, 1, Qt::AlignRight);
}

void frmSetup::cmdConfigure_Click()
{
    CommSetupEntries entries{qint16(cmbComm->currentIndex()), Address, Port, Device};
    QPointer<frmSetup> self(this);
    const CommSetupRunner runner = Runner();
    const bool accepted = runner && runner(this, entries);
    if (!self || !accepted)
        return;
    Address = entries.address;
    Port = entries.port;
    Device = entries.device;
    arrangeFields();
}

void frmSetup::dataError(const QString &text)
{
    modData().prompter->Show(text, SetupText::DataErrorTitle, MsgIcon::None, MsgButtons::Ok);
}

void frmSetup::cmdOK_Click()
{
    const int kind = cmbComm->currentIndex();
    QString address = Address;
    QString port = Port;
    const QString problem = CheckLinkEntries(kind, address, port);
    if (!problem.isEmpty())
        return dataError(problem);
    Address = address;
    Port = port;
    if (StartupName.size() < MinSetupNameLength)
        return dataError(SetupText::CheckStartup);
    if (SystemName.size() < MinSetupNameLength)
        return dataError(SetupText::CheckSystem);

    QString why;
    if (!WriteConfiguration(StartupName, CommName, Address, Port, SystemName,
                            DeviceKeyFor(kind, Device), &why)) {
        // Nothing was written and nothing in memory changed: the user can fix the file's
        // permissions and press OK again, or cancel.
        modData().prompter->Show(QStringLiteral("The settings could not be saved to ")
                                     + QDir::toNativeSeparators(ConfigFilePath())
                                     + QStringLiteral(": ") + why + QLatin1Char('.'),
                                 ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    ReadConfiguration();
    QPointer<frmSetup> self(this);
    OpenLink();
    if (self)
        accept();
}

void frmSetup::cmdCancel_Click() { reject(); }

void RunConfigurationSetup(QWidget *parent)
{
    QPointer<frmSetup> dialog = new frmSetup(parent);
    dialog->exec();
    // Gone already when its owner died while it was open.
    delete dialog.data();
}

} // namespace zop
