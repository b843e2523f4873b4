#pragma once
// The "Modulation Panel" (frmModulation): reads the instrument's modulation table into a list,
// reads and writes single rows and the selection (control input and modulation type) through
// three command rows, writes the table to the instrument's EEPROM, and saves tables to and
// loads them from ".modTable" files. What a reply means is decided in modtable/; this window
// shows it and talks to the instrument.

#include "frame/panelwindow.h"

#include <QMap>
#include <QPair>
#include <QStringList>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace zop {

// Makes the Modulation Panel available to start-up and to every View menu that has it.
void RegisterModulationPanel();

class ModulationPanel : public PanelWindow {
    Q_OBJECT
public:
    // The indices of the three command rows in the SCPI command table.
    static constexpr int TypeRow = 35;
    static constexpr int TableRow = 36;
    static constexpr int SlewRow = 43;
    // Rows of the instrument's table.
    static constexpr int NumRows = 50;

    explicit ModulationPanel(QWidget *parent = nullptr);
    ~ModulationPanel() override;

    // "Modulation Parameters:"
    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdPopulate = nullptr;
    QPushButton *cmdClearTbl = nullptr;
    QLabel *lblTable = nullptr;
    QLabel *lblType = nullptr;
    QTableWidget *lvModTable = nullptr;
    QPushButton *cmdSaveMod = nullptr;
    QPushButton *cmdLoadMod = nullptr;
    QPushButton *cmdSaveToEeprom = nullptr;

    // "Commands:"
    QGroupBox *fraCmd = nullptr;
    QLabel *lblFunction = nullptr;
    QPushButton *cmdGetSCPI(int index) const;
    QPushButton *cmdSetSCPI(int index) const;
    // txtData1(35), txtData2(35), txtData1(36), txtData2(36), txtData3(36); null otherwise.
    QLineEdit *txtData(int box, int index) const;
    // txtSCPI(43).
    QLineEdit *txtSCPI = nullptr;

    // The stored selection, -1 while unknown.
    int CtrlInput = -1;
    int ModType = -1;

    // The list as shown: the item keys ("key1", ...) and each item's sub-items (row, VMOD,
    // output value), top to bottom.
    QStringList itemKeys() const;
    QStringList itemTexts(int listRow) const;
    // The header of the output column ("Mod", "Vos", "Ios").
    QString outputHeader() const;

    // The buttons.
    void cmdPopulate_Click();
    void cmdClearTbl_Click();
    void cmdGetSCPI_Click(int index);
    void cmdSetSCPI_Click(int index);
    void cmdSaveToEeprom_Click();
    void cmdSaveMod_Click();
    void cmdLoadMod_Click();
    // A click on a list item (null: none).
    void lvModTable_ItemClick(QTableWidgetItem *item);

    // Enables "Write Table to EEPROM" by the firmware the instrument reports.
    void UpdateEepromButton();

    // After the Configuration Setup dialog: a series without modulation tables gives way to
    // the Command Panel; otherwise the EEPROM button follows the new instrument.
    void afterSetup() override;

protected:
    void panelClosing() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Exchange;

    void buildPanel();
    QGroupBox *buildTableFrame();
    QGroupBox *buildCommandFrame();
    void addCommandRow(QGridLayout *grid, int line, int index, const QString &label,
                       const QStringList &heads);
    void fitColumns();

    // The routines the buttons share. Each returns false when the panel was closed while it
    // waited for the instrument; the caller must then stop at once.
    bool ask(const QString &command, bool logCommand, QString &reply);
    bool GetModType(int &controlInput, int &type);
    bool GetTableRow(int &row, QString &vmod, QString &value);
    bool alert(const QString &text);
    void showSelection(int controlInput, int type);
    void enterRow(int row, const QString &vmod, const QString &value);
    // Reads rows 1 to 50 (writing first those of `rowsToWrite`, VMOD and output value) into
    // the list, following the positions the instrument reports.
    void readTable(const QMap<int, QPair<QString, QString>> &rowsToWrite);
    // GetTableRow, then the row, VMOD and value it returns into the row boxes.
    bool readRowIntoBoxes(int row);
    void copySelectedItem();
    void clearList();
    void storeSelection(int controlInput, int type);
    bool isSimulated() const;

    QPushButton *m_get[3] = {};
    QPushButton *m_set[3] = {};
    QLineEdit *m_typeBoxes[2] = {};
    QLineEdit *m_rowBoxes[3] = {};
    bool m_busy = false;
    bool m_closing = false;
    bool m_selectingInCode = false;
};

} // namespace zop
