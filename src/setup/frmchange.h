#pragma once
// The address change dialog: the connected instrument's identification and its GPIB or
// RS-485 address, with the new address to give it. OK sends the change over the link the
// Communication Setup dialog switched to; Cancel sends nothing.

#include <QDialog>
#include <QString>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace zop {

struct DeviceChoice;

class frmChange : public QDialog {
    Q_OBJECT
public:
    explicit frmChange(QWidget *parent = nullptr);

    // Captions, list and version row for the kind (0 GPIB, 3 or 4 RS-485), then reads the
    // instrument's identification and interface version.
    void SetCommType(qint16 commType);
    // Selects `address` in the list, appending it when the list lacks it.
    void SetCurrentAddress(const QString &address);
    QString Address() const;

    qint16 CommType = 0;
    bool Accepted = false;

    QLabel *lblIdentification = nullptr;
    QLabel *lblModVersionText = nullptr;
    QLabel *lblModVersion = nullptr;
    QLabel *lblAddressSetting = nullptr;
    QLabel *lblAddress = nullptr;
    QComboBox *cboAddress = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void reject() override;
};

// "Change Device's Settings..." for GPIB and RS-485: the dialog modally over `parent`; the
// new address, or nothing after Cancel.
std::optional<DeviceChoice> ChangeDeviceAddress(QWidget *parent, qint16 commType,
                                                const QString &address);

} // namespace zop
