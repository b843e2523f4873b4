#pragma once
// The Configuration Setup dialog: the panel shown at start-up, the system type and the link
// (kind, address, port). Choosing a link kind opens the Communication Setup dialog for its
// address and port. OK checks the entries, writes them to "ZOP_Panel.ini", reads the file
// back and re-opens the link; Cancel and the close box write nothing.

#include "setup/frmcommsetup.h"

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;

namespace zop {

// Shows the Communication Setup dialog for `entries` (RunCommSetup); tests replace it. Null
// puts the real one back.
using CommSetupRunner = std::function<bool(QWidget *parent, CommSetupEntries &entries)>;
void SetCommSetupRunner(CommSetupRunner runner);

class frmSetup : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog and runs its opening steps: the link settings come from the file
    // itself, so a fall-back to Simulated mode does not show here. When the configured link
    // kind needs an address or port, the Communication Setup dialog opens as soon as this
    // dialog is shown.
    explicit frmSetup(QWidget *parent = nullptr);

    QString StartupName;
    QString SystemName;
    QString CommName;
    QString Address;
    QString Port;
    QString Device; // the serial device path ("Device" in the file); empty for a numbered port
    QString SavedNetAddress;
    QString SavedNumAddress;

    QGroupBox *fraStartup = nullptr;
    QComboBox *cmbApp = nullptr;
    QGroupBox *fraSystem = nullptr;
    QComboBox *cmbPanel = nullptr;
    QGroupBox *fraComm = nullptr;
    QLabel *lblComm = nullptr;
    QComboBox *cmbComm = nullptr;
    QLabel *lblAddress = nullptr;
    QLabel *lblAddressDisplay = nullptr;
    QLabel *lblPort = nullptr;
    QLabel *lblPortDisplay = nullptr;
    QPushButton *cmdConfigure = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    // True while the Communication Setup dialog waits to open at the first showing.
    bool configurePending() const { return m_configurePending; }

public slots:
    void cmdConfigure_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void cmbComm_Click();
    void arrangeFields();
    void dataError(const QString &text);

    QGridLayout *m_grid = nullptr;
    bool m_configurePending = false;
};

// "Communication" > "Setup": shows the dialog modally over `parent`.
void RunConfigurationSetup(QWidget *parent);

} // namespace zop
