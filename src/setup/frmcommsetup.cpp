#include "setup/frmcommsetup.h"

#include "app/moddata.h"
#include "app/setupentries.h"
#include "link/commlayer.h"
#include "link/linkaddress.h"
#include "link/linkkind.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/dialogparts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

namespace zop {

namespace {

FindDeviceDialog &FindDialog()
{
    static FindDeviceDialog dialog;
    return dialog;
}

std::map<qint16, FindDeviceDialog> &FindDialogs()
{
    static std::map<qint16, FindDeviceDialog> dialogs;
    return dialogs;
}

// The search of `commType`: its own, else the one for every kind.
FindDeviceDialog FindDialogFor(qint16 commType)
{
    const auto found = FindDialogs().find(commType);
    return found != FindDialogs().end() && found->second ? found->second : FindDialog();
}

ChangeDeviceDialog &ChangeDialog()
{
    static ChangeDeviceDialog dialog;
    return dialog;
}

// Spacings of the dialog: the margin round the fields and between frame and buttons, and the
// pitch from the address row to the port row.
constexpr int MarginPx = 8;
constexpr int RowPitchPx = 40;
constexpr int SerialPortCount = 9;
constexpr int GpibAddressCount = 31;
constexpr int TcpPortCount = 10001;
constexpr int Rs485AddressCount = 256;

void FillNumbers(QComboBox *box, int from, int to)
{
    QStringList items;
    items.reserve(to - from + 1);
    for (int i = from; i <= to; ++i)
        items << QString::number(i);
    box->addItems(items);
}

void FillSerialPorts(QComboBox *box)
{
    const SerialPortLister &lister = SetupPortLister();
    // One listing for the nine labels.
    const QStringList present = lister ? lister() : QStringList();
    const SerialPortLister once = [present] { return present; };
    for (int i = 1; i <= SerialPortCount; ++i)
        box->addItem(SerialPortLabel(i, once));
}

// Shows `text` in a serial port box: the labelled item of a listed port number, else the text.
void ShowSerialPort(QComboBox *box, const QString &text)
{
    const int number = IsNumericText(text) ? int(LeadingDecimal(text)) : 0;
    if (number >= 1 && number <= box->count() && QString::number(number) == text.trimmed())
        box->setCurrentIndex(number - 1);
    else
        box->setEditText(text);
}

// The hourglass over the program while a step runs; put back at the latest when it ends.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

} // namespace

void SetFindDeviceDialog(FindDeviceDialog dialog) { FindDialog() = std::move(dialog); }
void SetFindDeviceDialog(qint16 commType, FindDeviceDialog dialog)
{
    FindDialogs()[commType] = std::move(dialog);
}
void SetChangeDeviceDialog(ChangeDeviceDialog dialog) { ChangeDialog() = std::move(dialog); }

frmCommSetup::frmCommSetup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCommSetup"));
    setWindowTitle(QStringLiteral("Communication Setup"));
    LoadProgramIcon(this);

    fraCommType = new QGroupBox(this);
    fraCommType->setObjectName(QStringLiteral("fraCommType"));
    lblAddress = new QLabel(QStringLiteral("Address"), fraCommType);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    // Created in tab order: the address field, the port field, the two aids.
    txtAddress = new QLineEdit(fraCommType);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setMaxLength(ProfileBufferSize - 1);
    cmbAddress = new QComboBox(fraCommType);
    cmbAddress->setObjectName(QStringLiteral("cmbAddress"));
    lblPort = new QLabel(QStringLiteral("Port"), fraCommType);
    lblPort->setObjectName(QStringLiteral("lblPort"));
    cmbPort = new QComboBox(fraCommType);
    cmbPort->setObjectName(QStringLiteral("cmbPort"));
    for (QComboBox *box : {cmbAddress, cmbPort}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(18);
        box->setMaxVisibleItems(12);
    }
    cmdFind = new QPushButton(QStringLiteral("Find Device..."), fraCommType);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdChange = new QPushButton(QStringLiteral("Change Device's Settings..."), fraCommType);
    cmdChange->setObjectName(QStringLiteral("cmdChange"));
    for (QPushButton *b : {cmdFind, cmdChange})
        b->setAutoDefault(false);

    m_buttons = new QWidget(fraCommType);
    auto *aids = new QHBoxLayout(m_buttons);
    aids->setContentsMargins(0, 0, 0, 0);
    aids->addWidget(cmdFind);
    aids->addWidget(cmdChange);
    aids->addStretch(1);

    m_grid = new QGridLayout(fraCommType);
    m_grid->setContentsMargins(MarginPx, MarginPx, MarginPx, MarginPx);
    m_grid->setVerticalSpacing(0);
    m_grid->setColumnStretch(1, 1);

    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);
    buttons->setSpacing(MarginPx);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(MarginPx, MarginPx, MarginPx, MarginPx);
    layout->setSpacing(MarginPx);
    layout->addWidget(fraCommType);
    layout->addLayout(buttons);
    // The window always fits the fields now visible.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdOK, &QPushButton::clicked, this, &frmCommSetup::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCommSetup::cmdCancel_Click);
    connect(cmdFind, &QPushButton::clicked, this, &frmCommSetup::cmdFind_Click);
    connect(cmdChange, &QPushButton::clicked, this, &frmCommSetup::cmdChange_Click);
    ArrangeFields();
}

void frmCommSetup::SetCommType(qint16 commType)
{
    CommType = commType;
    fraCommType->setTitle(modData().CommList.value(commType) + QStringLiteral(" Setup"));
}

void frmCommSetup::SetAddress(const QString &address)
{
    Address = address;
    txtAddress->setText(address);
}

void frmCommSetup::SetPort(const QString &port)
{
    Port = port;
    cmbPort->setEditText(port);
}

void frmCommSetup::SetDevice(const QString &device) { Device = device; }

void frmCommSetup::place(QWidget *widget, int row, int column)
{
    m_grid->removeWidget(widget);
    m_grid->addWidget(widget, row, column);
}

void frmCommSetup::ArrangeFields()
{
    cmbAddress->clear();
    cmbPort->clear();
    cmbPort->setEnabled(true);
    cmbAddress->hide();
    txtAddress->hide();
    lblPort->hide();
    cmdFind->hide();
    cmdChange->hide();

    // Row 0 holds the address (or the one field of GPIB and RS-232), row 1 the port, then
    // the two aids.
    place(lblAddress, 0, 0);
    place(lblPort, 1, 0);
    int portRow = 1;
    int aidsRow = 2;
    QString addressCaption = QStringLiteral("Address");
    switch (CommType) {
    case LinkKind::Gpib:
        FillNumbers(cmbPort, 1, GpibAddressCount);
        portRow = 0;
        aidsRow = 1; // at the row of the hidden port label
        cmdFind->setVisible(bool(FindDialogFor(CommType)));
        cmdChange->show();
        cmbPort->setEditText(Address);
        txtAddress->clear();
        break;
    case LinkKind::Rs232:
        addressCaption = QStringLiteral("Comm Port");
        FillSerialPorts(cmbPort);
        portRow = 0;
        ShowSerialPort(cmbPort, !Device.isEmpty() ? Device
                                : Port == QLatin1String("0") ? QString() : Port);
        txtAddress->clear();
        break;
    case LinkKind::TcpIp:
        txtAddress->show();
        lblPort->setText(QStringLiteral("Port"));
        lblPort->show();
        FillNumbers(cmbPort, 1, TcpPortCount);
        cmdFind->setVisible(bool(FindDialogFor(CommType)));
        cmdChange->show();
        cmbPort->setEditText(Port);
        txtAddress->setText(Address);
        break;
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        addressCaption = QStringLiteral("RS485 Address");
        cmbAddress->show();
        lblPort->setText(QStringLiteral("Comm Port"));
        lblPort->show();
        FillSerialPorts(cmbPort);
        FillNumbers(cmbAddress, 0, Rs485AddressCount - 1);
        cmdChange->show(); // "Find Device..." is hidden, so it takes the left place
        ShowSerialPort(cmbPort, !Device.isEmpty() ? Device
                                : Port == QLatin1String("0") ? QString() : Port);
        cmbAddress->setEditText(Address);
        break;
    default:
        addressCaption = QString();
        portRow = 0;
        cmbPort->setEnabled(false);
        break;
    }
    lblAddress->setText(addressCaption);
    place(txtAddress, 0, 1);
    place(cmbAddress, 0, 1);
    place(cmbPort, portRow, 1);
    m_grid->removeWidget(m_buttons);
    m_grid->addWidget(m_buttons, aidsRow, 0, 1, 2);
    m_buttons->setVisible(!cmdFind->isHidden() || !cmdChange->isHidden());
    m_grid->setRowMinimumHeight(0, RowPitchPx);
    m_grid->setRowMinimumHeight(1, portRow == 1 ? RowPitchPx : 0);

    // Every field is named by the label beside it.
    QWidget *addressField = txtAddress;
    if (portRow == 0)
        addressField = cmbPort;
    else if (txtAddress->isHidden())
        addressField = cmbAddress;
    lblAddress->setBuddy(addressField);
    lblPort->setBuddy(cmbPort);
    txtAddress->setAccessibleName(addressCaption);
    cmbAddress->setAccessibleName(addressCaption);
    cmbPort->setAccessibleName(portRow == 0 ? addressCaption : lblPort->text());
}

bool frmCommSetup::ValidateEntries()
{
    QString address = Address;
    QString port = Port;
    QString device = Device;
    switch (CommType) {
    case LinkKind::Gpib: address = cmbPort->currentText(); break;
    case LinkKind::Rs232:
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed: {
        const SerialPortEntry entry = ParseSerialPortEntry(cmbPort->currentText(), Port);
        port = entry.port;
        device = entry.device;
        if (CommType != LinkKind::Rs232)
            address = cmbAddress->currentText();
        break;
    }
    case LinkKind::TcpIp:
        address = txtAddress->text();
        port = cmbPort->currentText();
        break;
    default: break;
    }
    const QString problem = CheckLinkEntries(CommType, address, port);
    if (CommType >= LinkKind::Gpib && CommType <= LinkKind::Simulated) {
        Address = address;
        Port = port;
        Device = device;
    }
    if (problem.isEmpty())
        return true;
    modData().prompter->Show(problem, SetupText::DataErrorTitle, MsgIcon::None, MsgButtons::Ok);
    return false;
}

void frmCommSetup::cmdOK_Click()
{
    if (!ValidateEntries())
        return;
    Accepted = true;
    hide();
    done(QDialog::Accepted);
}

void frmCommSetup::cmdCancel_Click()
{
    Accepted = false;
    hide();
    done(QDialog::Rejected);
}

void frmCommSetup::reject() { cmdCancel_Click(); }

void frmCommSetup::cmdFind_Click()
{
    const FindDeviceDialog find = FindDialogFor(CommType);
    if (!find || (CommType != LinkKind::TcpIp && CommType != LinkKind::Gpib))
        return;
    QPointer<frmCommSetup> self(this);
    const std::optional<DeviceChoice> found = find(this, CommType);
    if (!self || !found)
        return;
    if (CommType == LinkKind::TcpIp) {
        txtAddress->setText(found->address);
        cmbPort->setEditText(found->port);
    } else {
        cmbPort->setEditText(found->address);
    }
}

void frmCommSetup::cmdChange_Click()
{
    if (!ValidateEntries())
        return;
    ModData &data = modData();
    CommLayer &comm = Comm();
    const qint16 savedKind = data.CommKind;
    const QString savedAddress = data.CommAddress;
    const qint32 savedPort = data.CommPort;
    const QString savedDevice = data.CommDevice;

    // The link of the entries, for the test only.
    data.CommKind = CommType;
    data.CommPort = IsNumericText(Port) ? qint32(RoundHalfEven(LeadingDecimal(Port))) : 0;
    data.CommAddress = Address;
    if (IsSerialKind(CommType))
        data.CommDevice = Device;
    comm.QuietMode = true;
    const QString link = DescribeLink(CommType, Port, Address);
    QPointer<frmCommSetup> self(this);
    {
        WaitCursor cursor;
        auto fail = [&](const QString &text) {
            cursor.restore();
            data.prompter->Show(text, CommErrorTitle, MsgIcon::Critical, MsgButtons::Ok);
        };
        if (!OpenLink()) {
            fail(QStringLiteral("Error initializing communications on ") + link + QLatin1Char('.'));
        } else {
            SendCommand(ProbeCommand, true);
            QString reply;
            // Quiet: a time-out shows nothing but turns the link to Simulated.
            ReadReply(reply, ProbeTimeoutSeconds, true);
            if (data.CommKind == LinkKind::Simulated) {
                fail(QStringLiteral("Could not communicate with device on ") + link
                     + QLatin1Char('.'));
            } else {
                comm.QuietMode = false;
                cursor.restore();
                if (self)
                    self->runChangeDialog();
            }
        }
    }
    // Back to the link configured before, whatever happened.
    data.CommKind = savedKind;
    data.CommPort = savedPort;
    data.CommAddress = savedAddress;
    data.CommDevice = savedDevice;
    comm.QuietMode = false;
    OpenLink();
}

void frmCommSetup::runChangeDialog()
{
    const ChangeDeviceDialog change = ChangeDialog();
    if (!change) {
        modData().prompter->Show(QStringLiteral("A device answers on ")
                                     + DescribeLink(CommType, Port, Address) + QLatin1Char('.'),
                                 ApplicationTitle, MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    QString current = cmbPort->currentText();
    if (CommType == LinkKind::TcpIp)
        current = txtAddress->text();
    else if (CommType != LinkKind::Gpib)
        current = cmbAddress->currentText();
    QPointer<frmCommSetup> self(this);
    const std::optional<DeviceChoice> changed = change(this, CommType, current);
    if (!self || !changed)
        return;
    if (CommType == LinkKind::TcpIp) {
        txtAddress->setText(changed->address);
        cmbPort->setEditText(changed->port);
    } else if (CommType == LinkKind::Gpib) {
        cmbPort->setEditText(changed->address);
    } else {
        cmbAddress->setEditText(changed->address);
    }
}

bool RunCommSetup(QWidget *parent, CommSetupEntries &entries)
{
    QPointer<frmCommSetup> dialog;
    {
        WaitCursor cursor;
        dialog = new frmCommSetup(parent);
        dialog->SetCommType(entries.kind);
        dialog->SetAddress(entries.address);
        dialog->SetPort(entries.port);
        dialog->SetDevice(entries.device);
        dialog->ArrangeFields();
    }
    dialog->exec();
    // A dialog whose owner died meanwhile is gone with it.
    if (!dialog)
        return false;
    const bool accepted = dialog->Accepted;
    if (accepted) {
        entries.address = dialog->Address;
        entries.port = dialog->Port;
        entries.device = dialog->Device;
    }
    delete dialog.data();
    return accepted;
}

} // namespace zop
