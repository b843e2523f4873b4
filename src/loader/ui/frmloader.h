#pragma once
// The "Firmware Panel" (FrmLoader): programs new firmware from an Intel HEX file through the
// instrument's boot loader over RS-232, with status, address and progress. The run itself is
// a ProgrammingRun; the window only shows it. Nothing of the loader traffic is logged, and
// closing the panel sends nothing to the instrument.

#include "frame/panelwindow.h"
#include "loader/programmingrun.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace zop {

class FrmLoader : public PanelWindow {
    Q_OBJECT
public:
    static inline const QString SelectTitle = QStringLiteral("Select File");
    static inline const QString HexDescription = QStringLiteral("Hex Files");
    static inline const QString HexPattern = QStringLiteral("*.hex");

    // Re-reads the link settings from the configuration file.
    explicit FrmLoader(QWidget *parent = nullptr);
    ~FrmLoader() override;

    ProgrammingRun *run() const { return m_run; }

    QLineEdit *txtFirmware = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdStop = nullptr;
    QLabel *lblAdr = nullptr;
    QLineEdit *txtAdr = nullptr;
    QLineEdit *txtStatus = nullptr;
    QProgressBar *pgbStatus = nullptr;

    void cmdSelect_Click();
    // Refuses Simulated and non-RS-232 links (then opens the Configuration Setup dialog);
    // otherwise starts the run.
    void cmdStart_Click();
    void cmdStop_Click();

protected:
    // Switching away or closing ends a run at once.
    void stopPanelTimers() override;

private:
    void buildPanel();
    void showStatus(LoaderStatus status);

    ProgrammingRun *m_run = nullptr;
};

} // namespace zop
