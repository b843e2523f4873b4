#pragma once
// The network settings dialog ("Change Device's TCP/IP Settings"): the connected
// instrument's identification, network module version, MAC address and network settings,
// each beside its new value. OK writes the new settings over the link the Communication Setup
// dialog switched to and restarts the instrument's network interface; Cancel sends nothing.
// What the settings mean and how they are written lives in setup/networksettings.h.

#include "setup/networksettings.h"

#include <QDialog>
#include <QString>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zop {

struct DeviceChoice;

class frmChangeTCPIP : public QDialog {
    Q_OBJECT
public:
    // Shown until the instrument's own values replace them.
    static inline const QString DesignName = QStringLiteral("QMXNIC");
    static inline const QString DesignPort = QStringLiteral("50505");
    static inline const QString DesignSubnet = QStringLiteral("255.255.255.0");
    static inline const QString DesignModVersion = QStringLiteral("0.00");

    explicit frmChangeTCPIP(QWidget *parent = nullptr);

    // Reads the instrument's settings into the dialog, in the order of its rows.
    void ReadInstrument();
    // Checks the new values; shows the message of the first bad one and puts the focus into
    // its box.
    bool ValidateNewSettings();
    // Writes the new values and restarts the instrument's network interface.
    bool ApplyNewSettings();
    // The new values as entered.
    NetworkSettings NewSettings() const;

    // The result: when accepted, the address and port by which the instrument is reached after
    // its restart; empty and 0 otherwise.
    bool Accepted = false;
    QString Address;
    qint32 Port = 0;

    QLabel *lblIdentification = nullptr;
    QLabel *lblModVersion = nullptr;
    QLabel *lblMacAddress = nullptr;
    QRadioButton *optStatic = nullptr;
    QRadioButton *optDHCP = nullptr;
    QLabel *lblCurrentName = nullptr;
    QLineEdit *txtName = nullptr;
    QLabel *lblCurrentPort = nullptr;
    QLineEdit *txtPort = nullptr;
    QLabel *lblCurrentIP = nullptr;
    QLineEdit *txtIPAddress = nullptr;
    QLabel *lblCurrentSubnet = nullptr;
    QLineEdit *txtSubnetMask = nullptr;
    QLabel *lblCurrentGateway = nullptr;
    QLineEdit *txtGateway = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void optDHCP_Click();
    void optStatic_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void reject() override; // Escape and the close box: Cancel
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void selectMethod(bool dhcp);
    QLineEdit *boxOf(NetworkField field) const;

    // True while OK writes: the link's waits let clicks through meanwhile.
    bool m_applying = false;
};

// "Change Device's Settings..." for TCP/IP: reads the instrument, shows the dialog modally
// over `parent`; the address and port the instrument is reached at after the change, or
// nothing after Cancel.
std::optional<DeviceChoice> ChangeNetworkSettings(QWidget *parent);

} // namespace zop
