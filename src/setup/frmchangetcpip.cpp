#include "setup/frmchangetcpip.h"

#include "app/moddata.h"
#include "setup/devicequery.h"
#include "setup/frmcommsetup.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/dialogparts.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zop {

namespace {

constexpr int BoxWidthChars = 18;

QLineEdit *Box(const QString &text, const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * BoxWidthChars);
    return box;
}

// The box's background: the window colour while it takes text, the button face while DHCP
// sets it.
void SetBoxBackground(QLineEdit *box, QPalette::ColorRole role)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Active, role));
    box->setPalette(palette);
}

} // namespace

frmChangeTCPIP::frmChangeTCPIP(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmChangeTCPIP"));
    setWindowTitle(QStringLiteral("Change Device's TCP/IP Settings"));
    LoadProgramIcon(this);

    auto *grid = new QGridLayout;
    int row = 0;
    SettingHeadings(grid, this);
    // One row: its setting label, the current value, and the new one (null: none).
    auto addRow = [&](const QString &setting, QWidget *current, QWidget *entered) {
        ++row;
        grid->addWidget(PlainLabel(setting, nullptr, this), row, 0);
        if (current)
            grid->addWidget(current, row, 1, 1, entered ? 1 : 2);
        if (entered)
            grid->addWidget(entered, row, 2);
    };

    lblIdentification = PlainLabel(QString(), "lblIdentification", this);
    lblModVersion = PlainLabel(DesignModVersion, "lblModVersion", this);
    lblMacAddress = PlainLabel(QString(), "lblMacAddress", this);
    addRow(QStringLiteral("Identification"), lblIdentification, nullptr);
    addRow(QStringLiteral("Module Version"), lblModVersion, nullptr);
    addRow(QStringLiteral("MAC Address"), lblMacAddress, nullptr);
    // The version is kept as received, line end included: show its first line only, so the
    // row stays as high as the others.
    lblModVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblModVersion->setFixedHeight(lblModVersion->fontMetrics().height());

    optStatic = new QRadioButton(QStringLiteral("Static"), this);
    optStatic->setObjectName(QStringLiteral("optStatic"));
    optDHCP = new QRadioButton(QStringLiteral("DHCP"), this);
    optDHCP->setObjectName(QStringLiteral("optDHCP"));
    auto *method = new QWidget(this);
    auto *methodRow = new QHBoxLayout(method);
    methodRow->setContentsMargins(0, 0, 0, 0);
    methodRow->addWidget(optStatic);
    methodRow->addWidget(optDHCP);
    methodRow->addStretch(1);
    addRow(QStringLiteral("IP Address Method"), nullptr, method);

    lblCurrentName = PlainLabel(DesignName, "lblCurrentName", this);
    txtName = Box(DesignName, "txtName", this);
    txtName->hide(); // holds the current name: the name is shown, never written
    addRow(QStringLiteral("Network Name"), lblCurrentName, txtName);
    lblCurrentPort = PlainLabel(DesignPort, "lblCurrentPort", this);
    txtPort = Box(DesignPort, "txtPort", this);
    addRow(QStringLiteral("Port"), lblCurrentPort, txtPort);
    lblCurrentIP = PlainLabel(QString(), "lblCurrentIP", this);
    txtIPAddress = Box(QString(), "txtIPAddress", this);
    addRow(QStringLiteral("IP Address"), lblCurrentIP, txtIPAddress);
    lblCurrentSubnet = PlainLabel(DesignSubnet, "lblCurrentSubnet", this);
    txtSubnetMask = Box(DesignSubnet, "txtSubnetMask", this);
    addRow(QStringLiteral("Subnet Mask"), lblCurrentSubnet, txtSubnetMask);
    lblCurrentGateway = PlainLabel(QString(), "lblCurrentGateway", this);
    txtGateway = Box(QString(), "txtGateway", this);
    addRow(QStringLiteral("Gateway"), lblCurrentGateway, txtGateway);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    for (QLabel *label : {lblIdentification, lblModVersion, lblMacAddress, lblCurrentName,
                          lblCurrentPort, lblCurrentIP, lblCurrentSubnet, lblCurrentGateway})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLineEdit *box : {txtIPAddress, txtSubnetMask, txtGateway, txtName, txtPort})
        box->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(OkCancelRow(this, cmdOK, cmdCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(optDHCP, &QRadioButton::clicked, this, &frmChangeTCPIP::optDHCP_Click);
    connect(optStatic, &QRadioButton::clicked, this, &frmChangeTCPIP::optStatic_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmChangeTCPIP::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmChangeTCPIP::cmdCancel_Click);
}

void frmChangeTCPIP::ReadInstrument()
{
    // Replies on TCP/IP are awaited with window events running: the dialog may be gone after
    // any of them.
    QPointer<frmChangeTCPIP> self(this);
    auto read = [&](const QString &header, QLabel *label, bool raw = false) {
        const QString value = raw ? QuerySettingRaw(header) : QuerySetting(header);
        if (self)
            label->setText(value);
        return bool(self);
    };
    if (!read(QStringLiteral("*IDN"), lblIdentification)
        || !read(NetworkCommand::Version, lblModVersion, true) // kept as received
        || !read(NetworkCommand::Mac, lblMacAddress))
        return;
    const QString dhcp = QuerySetting(NetworkCommand::Dhcp);
    if (!self)
        return;
    selectMethod(LeadingDecimal(dhcp) != 0);
    if (!read(NetworkCommand::Host, lblCurrentName))
        return;
    txtName->setText(lblCurrentName->text());
    if (!read(NetworkCommand::Port, lblCurrentPort))
        return;
    txtPort->setText(lblCurrentPort->text());
    const std::pair<QLabel *, QLineEdit *> addresses[] = {{lblCurrentIP, txtIPAddress},
                                                          {lblCurrentSubnet, txtSubnetMask},
                                                          {lblCurrentGateway, txtGateway}};
    const QString headers[] = {NetworkCommand::Address, NetworkCommand::Subnet,
                               NetworkCommand::Gateway};
    for (int i = 0; i < 3; ++i) {
        if (!read(headers[i], addresses[i].first))
            return;
        if (optStatic->isChecked())
            addresses[i].second->setText(addresses[i].first->text());
    }
}

void frmChangeTCPIP::selectMethod(bool dhcp)
{
    (dhcp ? optDHCP : optStatic)->setChecked(true);
    const std::pair<QLineEdit *, QLabel *> boxes[] = {{txtIPAddress, lblCurrentIP},
                                                      {txtSubnetMask, lblCurrentSubnet},
                                                      {txtGateway, lblCurrentGateway}};
    for (const auto &[box, current] : boxes) {
        box->setEnabled(!dhcp);
        SetBoxBackground(box, dhcp ? QPalette::Button : QPalette::Base);
        box->setText(dhcp ? NetworkText::SetByDhcp : current->text());
    }
}

void frmChangeTCPIP::optDHCP_Click() { selectMethod(true); }
void frmChangeTCPIP::optStatic_Click() { selectMethod(false); }

NetworkSettings frmChangeTCPIP::NewSettings() const
{
    NetworkSettings settings;
    settings.dhcp = optDHCP->isChecked();
    settings.name = txtName->text();
    settings.port = txtPort->text();
    settings.ipAddress = txtIPAddress->text();
    settings.subnetMask = txtSubnetMask->text();
    settings.gateway = txtGateway->text();
    return settings;
}

QLineEdit *frmChangeTCPIP::boxOf(NetworkField field) const
{
    switch (field) {
    case NetworkField::Port: return txtPort;
    case NetworkField::IPAddress: return txtIPAddress;
    case NetworkField::SubnetMask: return txtSubnetMask;
    case NetworkField::Gateway: return txtGateway;
    case NetworkField::None: break;
    }
    return nullptr;
}

bool frmChangeTCPIP::ValidateNewSettings()
{
    const NetworkField bad = FirstInvalidNetworkSetting(NewSettings());
    if (bad == NetworkField::None)
        return true;
    QPointer<frmChangeTCPIP> self(this);
    modData().prompter->Show(InvalidNetworkSettingMessage(bad), ApplicationTitle, MsgIcon::None,
                             MsgButtons::Ok);
    if (self)
        boxOf(bad)->setFocus();
    return false;
}

bool frmChangeTCPIP::ApplyNewSettings() { return WriteNetworkSettings(NewSettings()); }

void frmChangeTCPIP::cmdOK_Click()
{
    if (m_applying)
        return;
    if (!ValidateNewSettings())
        return;
    const NetworkSettings settings = NewSettings();
    QPointer<frmChangeTCPIP> self(this);
    m_applying = true;
    const bool applied = ApplyNewSettings();
    if (!self)
        return;
    m_applying = false;
    if (!applied)
        return;
    Accepted = true;
    Address = ReachableAddress(settings);
    Port = PortNumber(settings.port);
    hide();
    done(QDialog::Accepted);
}

void frmChangeTCPIP::cmdCancel_Click()
{
    if (m_applying)
        return; // the instrument is being written: that ends with OK's result
    Accepted = false;
    Address.clear();
    Port = 0;
    hide();
    done(QDialog::Rejected);
}

void frmChangeTCPIP::reject() { cmdCancel_Click(); }

bool frmChangeTCPIP::eventFilter(QObject *watched, QEvent *event)
{
    // Entering a box selects its whole text, after the click that entered it has placed the
    // cursor.
    if (event->type() == QEvent::FocusIn)
        if (auto *box = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

std::optional<DeviceChoice> ChangeNetworkSettings(QWidget *parent)
{
    QPointer<frmChangeTCPIP> dialog = new frmChangeTCPIP(parent);
    dialog->ReadInstrument();
    if (dialog)
        dialog->exec();
    std::optional<DeviceChoice> result;
    if (dialog && dialog->Accepted)
        result = DeviceChoice{dialog->Address, QString::number(dialog->Port)};
    delete dialog.data();
    return result;
}

} // namespace zop
