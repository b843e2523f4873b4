#pragma once
// The "Register Panel" (frmRegisters): reads the instrument's status registers and shows each
// bit on a lamp - the operation and questionable condition registers (16 bits), the standard
// event status register and its enable register, the status byte and the service request
// enable register (8 bits) - with the value read in decimal, hexadecimal and binary. The two
// enable registers are written from a value typed in decimal, hexadecimal or binary.

#include "frame/panelwindow.h"
#include "panels/service/registerformat.h"

#include <QList>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zop {

class RegisterLamp;

class RegistersPanel : public PanelWindow {
    Q_OBJECT
public:
    // Sent without echo when the panel opens: the instrument's own menu goes to rest.
    static inline const QString OpenCommand = QStringLiteral("<>CHG 0,-1,0");

    explicit RegistersPanel(QWidget *parent = nullptr);
    ~RegistersPanel() override;

    // The frame of lamp columns and their buttons, disabled while a reply is awaited.
    QGroupBox *fraCmds = nullptr;
    // txtValue(0) the entry "Value:", (1) "Decimal:", (2) "Hex:", (3) "Binary:".
    QLineEdit *txtValue[4] = {};
    // optFormat(0) "Decimal Format", (1) "Hex Format", (2) "Binary Format".
    QRadioButton *optFormat[3] = {};

    RegisterLamp *lamp(RegisterId id, int bit) const;
    QPushButton *readButton(RegisterId id) const;
    QPushButton *writeButton(RegisterId id) const; // null for the read-only registers
    EntryFormat selectedFormat() const;

    // Reads a register: sends its query, waits with the lamp frame disabled, lights the lamps
    // of the bits set and shows the value in the three result forms.
    void readRegister(RegisterId id);
    // cmdGetReg(j): j = 0 operation, 1 questionable condition.
    void cmdGetReg_Click(int j);
    // cmdGetIEEE(i): i = 0 ESE, 1 SRE, 6 ESR, 7 STB.
    void cmdGetIEEE_Click(int i);
    // cmdSetIEEE(i): i = 0 writes ESE, 1 writes SRE, from the entry in the selected format.
    void cmdSetIEEE_Click(int i);

private:
    struct Column {
        const RegisterInfo *info = nullptr;
        QPushButton *read = nullptr;
        QPushButton *write = nullptr;
        QList<RegisterLamp *> lamps;
    };

    void buildPanel();
    QGroupBox *buildRegisterFrame();
    QGroupBox *buildResultsFrame();
    QGroupBox *buildEntryFrame();
    void fixTabOrder();
    void showRegister(RegisterId id, qint32 value);
    void writeRegister(RegisterId id);
    QString queryFor(const RegisterInfo &info) const;

    QList<Column> m_columns; // in RegisterId order
};

} // namespace zop
