#pragma once
// The Communication Setup dialog: the address and port of one link kind, with only the fields
// that kind needs, checked on OK. It writes nothing: the Configuration Setup dialog reads the
// result (Accepted, Address, Port, Device) after it closes.
//
// "Change Device's Settings..." proves that an instrument answers at the entered address (the
// program's link is switched to it for the test and always switched back), then opens the
// dialog that changes the instrument's own address or network settings. That dialog and the
// searches behind "Find Device..." are replaceable functions (SetChangeDeviceDialog,
// SetFindDeviceDialog); "Find Device..." is offered only once a search is set.

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zop {

// The entries handed to the dialog and, when it was accepted, back.
struct CommSetupEntries {
    qint16 kind = 5;
    QString address;
    QString port;
    QString device; // the serial device path ("Device"); empty for a numbered port
};
// Shows the dialog modally over `parent` with `entries`; when the user accepts it, `entries`
// receive the results and the function returns true.
bool RunCommSetup(QWidget *parent, CommSetupEntries &entries);

// A device found by a search, or the new address a device was given.
struct DeviceChoice {
    QString address;
    QString port;
};
// The search for `commType` (0 GPIB, 2 TCP/IP); nothing when the user picked none.
using FindDeviceDialog = std::function<std::optional<DeviceChoice>(QWidget *parent, qint16 commType)>;
// Changes the settings of the instrument now reached at `address` (TCP/IP: its network
// settings; GPIB, RS-485: its bus address); nothing when the user cancelled.
using ChangeDeviceDialog = std::function<std::optional<DeviceChoice>(
    QWidget *parent, qint16 commType, const QString &address)>;
void SetFindDeviceDialog(FindDeviceDialog dialog);
// The search of one link kind, beside those of the others; it comes before the one above.
void SetFindDeviceDialog(qint16 commType, FindDeviceDialog dialog);
void SetChangeDeviceDialog(ChangeDeviceDialog dialog);

class frmCommSetup : public QDialog {
    Q_OBJECT
public:
    // The device answers the probe with this, within this many seconds.
    static inline const QString ProbeCommand = QStringLiteral("<>STA");
    static constexpr qint16 ProbeTimeoutSeconds = 2;
    static inline const QString CommErrorTitle = QStringLiteral("Communications Error");

    explicit frmCommSetup(QWidget *parent = nullptr);

    // The entries: set them in this order, then ArrangeFields().
    void SetCommType(qint16 commType); // also the frame's caption
    void SetAddress(const QString &address);
    void SetPort(const QString &port);
    void SetDevice(const QString &device);
    void ArrangeFields();

    // Copies the entries into Address and Port (and Device) and checks them; shows the
    // "Data Error" message when they are not good.
    bool ValidateEntries();

    qint16 CommType = 5;
    QString Address;
    QString Port;
    QString Device;
    bool Accepted = false;

    QGroupBox *fraCommType = nullptr;
    QLabel *lblAddress = nullptr;
    QLineEdit *txtAddress = nullptr;
    QComboBox *cmbAddress = nullptr;
    QLabel *lblPort = nullptr;
    QComboBox *cmbPort = nullptr;
    QPushButton *cmdFind = nullptr;
    QPushButton *cmdChange = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdFind_Click();
    void cmdChange_Click();

protected:
    void reject() override; // Escape and the close box: Cancel

private:
    void place(QWidget *widget, int row, int column);
    void runChangeDialog();

    QGridLayout *m_grid = nullptr;
    QWidget *m_buttons = nullptr;
};

} // namespace zop
