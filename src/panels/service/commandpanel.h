#pragma once
// The "Command Panel" (frmCommand): a service window that sends single SCPI and IEEE 488.2
// commands from a fixed grid of rows and shows the replies. Each row uses one entry of the
// command tables; its Get button sends the entry as a query, its Set button sends the entry
// (with the data box text on a value row), and on a value row the Get reply lands in the data
// box. Every command and reply is echoed into the transaction log.

#include "engine/console.h"
#include "frame/panelwindow.h"
#include "panels/service/commandrows.h"

#include <QHash>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zop {

class ConsoleLine;

class CommandPanel : public PanelWindow {
    Q_OBJECT
public:
    explicit CommandPanel(QWidget *parent = nullptr);
    ~CommandPanel() override;

    // The two frames of command rows, disabled while a reply is awaited.
    QGroupBox *fraCmd1 = nullptr;
    QGroupBox *fraCmd2 = nullptr;

    // A row's controls; null when the row has no such control.
    QPushButton *getButton(CommandTable table, int index) const;
    QPushButton *setButton(CommandTable table, int index) const;
    QLineEdit *dataBox(CommandTable table, int index) const;
    QLabel *rowLabel(CommandTable table, int index) const;

    // Get: sends the row's entry with "?", waits for the reply with both frames disabled, and
    // on a value row puts the reply into the data box, selected.
    void cmdGet_Click(CommandTable table, int index);
    // Set: sends the row's entry, with one blank and the data box text on a value row.
    void cmdSet_Click(CommandTable table, int index);

    // Applies the row availability for the present system type and link kind.
    void applyRowAvailability();

    // The free command line under the rows: any command, its reply read when it is a query,
    // optionally followed by the error check ("Check errors"). The history is kept in the
    // user's settings.
    QGroupBox *fraConsole = nullptr;
    ConsoleLine *txtConsole = nullptr;
    QCheckBox *chkCheckErrors = nullptr;
    // Tab's choices, or why a line was not sent.
    QLabel *lblConsoleHint = nullptr;
    // Sends the line's text (Enter).
    void sendConsoleLine();

protected:
    void afterSetup() override;

private:
    struct RowControls {
        QPushButton *get = nullptr;
        QPushButton *set = nullptr;
        QLineEdit *data = nullptr;
        QLabel *label = nullptr;
    };
    static QString key(CommandTable table, int index);
    const RowControls *controls(CommandTable table, int index) const;

    void buildPanel();
    QGroupBox *buildSettingsFrame();
    QGroupBox *buildCommandsFrame();
    QGroupBox *buildConsoleFrame();
    void addRow(const CommandRow &row, QWidget *parent, QGridLayout *grid, int line,
                int getColumn, int setColumn, int labelColumn, int dataColumn);
    void setRowUsable(const CommandRow &row, bool usable);
    void fixTabOrder();

    QHash<QString, RowControls> m_rows;
    ConsoleHistory m_history;
};

} // namespace zop
