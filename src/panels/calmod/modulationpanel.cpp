#include "panels/calmod/modulationpanel.h"

#include "frame/panelregistry.h"
#include "app/moddata.h"
#include "core/textfile.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "modtable/modreply.h"
#include "modtable/modtablefile.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zop {

void RegisterModulationPanel()
{
    RegisterPanel(PanelId::Modulation, [] { return new ModulationPanel; });
}

namespace {

// "Write Table to EEPROM" needs at least this firmware: KM series, every other series.
constexpr double KmEepromFirmware = 1.4;
constexpr double EepromFirmware = 4.7;
constexpr qint16 KmSystemType = 3;

const QString FileDialogTitle = QStringLiteral("Select or Enter File");

// List columns.
enum Column { SortColumn, RowColumn, VmodColumn, OutputColumn, ColumnCount };
constexpr int KeyRole = Qt::UserRole;

const QString &Command(int index) { return modData().SCPICommand.at(index); }

QString ItemKey(int row) { return QStringLiteral("key%1").arg(row); }

QLineEdit *DataBox(const QString &name, const QString &accessibleName, QWidget *parent)
{
    // A line break would split the command in two on the wire.
    static const QRegularExpression oneLine(QStringLiteral("[^\\r\\n]*"));
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setValidator(new QRegularExpressionValidator(oneLine, box));
    box->setMinimumWidth(72);
    return box;
}

QPushButton *Button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel *Head(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setProperty("head", true);
    return label;
}

} // namespace

// One exchange with the instrument at a time: while a button's routine waits for replies (and
// window events run), no other button, menu entry or list click starts a second one.
class ModulationPanel::Exchange {
public:
    explicit Exchange(ModulationPanel *panel, bool waitCursor = false)
        : m_panel(panel), m_menus(panel->menuBar()), m_cursor(waitCursor)
    {
        m_panel->m_busy = true;
        m_menus->setEnabled(false);
        if (m_cursor)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Exchange()
    {
        if (m_cursor)
            QApplication::restoreOverrideCursor();
        if (m_menus)
            m_menus->setEnabled(true);
        if (m_panel)
            m_panel->m_busy = false;
    }
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;

private:
    QPointer<ModulationPanel> m_panel;
    QPointer<QMenuBar> m_menus;
    bool m_cursor;
};

ModulationPanel::ModulationPanel(QWidget *parent)
    : PanelWindow(QStringLiteral("frmModulation"), parent)
{
    rtbTranx->setObjectName(QStringLiteral("rtbTranx"));
    buildPanel();
    Comm().LogTarget = rtbTranx;
    resize(980, 620);
    UpdateEepromButton();
}

ModulationPanel::~ModulationPanel() = default;

// ---------------------------------------------------------------------------------------------
// Building the window.

void ModulationPanel::buildPanel()
{
    auto *central = new QWidget(this);
    // Frames and heads come with the program's look (ui/look.h).
    central->setStyleSheet(QStringLiteral("QLineEdit, QTableWidget { font-family: monospace; }"));
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(10);
    Frame1 = buildTableFrame();
    layout->addWidget(Frame1, 4);
    auto *right = new QVBoxLayout;
    fraCmd = buildCommandFrame();
    right->addWidget(fraCmd);
    right->addWidget(fraIn, 1);
    layout->addLayout(right, 5);
    setCentralWidget(central);

    QList<QWidget *> order{cmdPopulate, cmdClearTbl, lvModTable, cmdSaveMod, cmdLoadMod,
                           cmdSaveToEeprom};
    for (int i = 0; i < 3; ++i) {
        order << m_get[i] << m_set[i];
        if (i == 0)
            order << m_typeBoxes[0] << m_typeBoxes[1];
        else if (i == 1)
            order << m_rowBoxes[0] << m_rowBoxes[1] << m_rowBoxes[2];
        else
            order << txtSCPI;
    }
    order << rtbTranx << clearLogButton << cmdSave;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

QGroupBox *ModulationPanel::buildTableFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Modulation Parameters:"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *layout = new QVBoxLayout(frame);

    auto *top = new QHBoxLayout;
    cmdPopulate = Button(QStringLiteral("cmdPopulate"), QStringLiteral("Get All Data"), frame);
    cmdClearTbl = Button(QStringLiteral("cmdClearTbl"), QStringLiteral("Clear All Data"), frame);
    top->addWidget(cmdPopulate);
    top->addWidget(cmdClearTbl);
    top->addStretch(1);
    layout->addLayout(top);

    lblTable = new QLabel(QStringLiteral("Control Input:"), frame);
    lblTable->setObjectName(QStringLiteral("lblTable"));
    lblType = new QLabel(QStringLiteral("Modulation Type:"), frame);
    lblType->setObjectName(QStringLiteral("lblType"));
    for (QLabel *label : {lblTable, lblType}) {
        label->setTextFormat(Qt::PlainText);
        label->setStyleSheet(QStringLiteral("font-family: monospace;"));
        layout->addWidget(label);
    }

    lvModTable = new QTableWidget(0, ColumnCount, frame);
    lvModTable->setObjectName(QStringLiteral("lvModTable"));
    lvModTable->setAccessibleName(QStringLiteral("Modulation table"));
    lvModTable->setHorizontalHeaderLabels({QStringLiteral("RowSort"), QStringLiteral("Row"),
                                           QStringLiteral("VMOD"), QStringLiteral("Mod")});
    lvModTable->setColumnHidden(SortColumn, true);
    lvModTable->verticalHeader()->setVisible(false);
    lvModTable->verticalHeader()->setDefaultSectionSize(lvModTable->fontMetrics().height() + 6);
    lvModTable->horizontalHeader()->setStretchLastSection(true);
    lvModTable->horizontalHeader()->setSortIndicator(SortColumn, Qt::AscendingOrder);
    lvModTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvModTable->setSelectionMode(QAbstractItemView::SingleSelection);
    lvModTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvModTable->setTabKeyNavigation(false);
    lvModTable->setAlternatingRowColors(true);
    lvModTable->setMinimumWidth(300);
    layout->addWidget(lvModTable, 1);
    connect(lvModTable, &QTableWidget::itemSelectionChanged, this, [this] {
        if (m_selectingInCode)
            return;
        const QList<QTableWidgetItem *> selected = lvModTable->selectedItems();
        lvModTable_ItemClick(selected.isEmpty() ? nullptr : selected.first());
    });

    auto *bottom = new QHBoxLayout;
    cmdSaveMod = Button(QStringLiteral("cmdSaveMod"), QStringLiteral("Save Table"), frame);
    cmdLoadMod = Button(QStringLiteral("cmdLoadMod"), QStringLiteral("Load Table"), frame);
    cmdSaveToEeprom = Button(QStringLiteral("cmdSaveToEeprom"),
                             QStringLiteral("Write Table to EEPROM"), frame);
    bottom->addWidget(cmdSaveMod);
    bottom->addWidget(cmdLoadMod);
    bottom->addStretch(1);
    bottom->addWidget(cmdSaveToEeprom);
    layout->addLayout(bottom);

    connect(cmdPopulate, &QPushButton::clicked, this, &ModulationPanel::cmdPopulate_Click);
    connect(cmdClearTbl, &QPushButton::clicked, this, &ModulationPanel::cmdClearTbl_Click);
    connect(cmdSaveMod, &QPushButton::clicked, this, &ModulationPanel::cmdSaveMod_Click);
    connect(cmdLoadMod, &QPushButton::clicked, this, &ModulationPanel::cmdLoadMod_Click);
    connect(cmdSaveToEeprom, &QPushButton::clicked, this, &ModulationPanel::cmdSaveToEeprom_Click);
    return frame;
}

void ModulationPanel::addCommandRow(QGridLayout *grid, int line, int index, const QString &label,
                                    const QStringList &heads)
{
    const int slot = index == TypeRow ? 0 : index == TableRow ? 1 : 2;
    QWidget *frame = grid->parentWidget();
    const QString suffix = QStringLiteral("(%1)").arg(index);
    m_get[slot] = Button(QStringLiteral("cmdGetSCPI") + suffix, QStringLiteral("Get"), frame);
    m_set[slot] = Button(QStringLiteral("cmdSetSCPI") + suffix, QStringLiteral("Set"), frame);
    m_get[slot]->setAccessibleName(QStringLiteral("Get ") + label);
    m_set[slot]->setAccessibleName(QStringLiteral("Set ") + label);
    for (QPushButton *b : {m_get[slot], m_set[slot]})
        b->setFixedWidth(54);
    connect(m_get[slot], &QPushButton::clicked, this, [this, index] { cmdGetSCPI_Click(index); });
    connect(m_set[slot], &QPushButton::clicked, this, [this, index] { cmdSetSCPI_Click(index); });
    grid->addWidget(m_get[slot], line + 1, 0);
    grid->addWidget(m_set[slot], line + 1, 1);
    auto *name = new QLabel(label, frame);
    name->setObjectName(QStringLiteral("lblSCPI") + suffix);
    name->setTextFormat(Qt::PlainText);
    grid->addWidget(name, line + 1, 2);

    for (int box = 0; box < heads.size(); ++box) {
        QLabel *head = Head(heads.at(box), frame);
        QLineEdit *edit = nullptr;
        if (index == SlewRow) {
            edit = txtSCPI = DataBox(QStringLiteral("txtSCPI") + suffix, heads.at(box), frame);
        } else {
            edit = DataBox(QStringLiteral("txtData%1").arg(box + 1) + suffix, heads.at(box), frame);
            (index == TypeRow ? m_typeBoxes : m_rowBoxes)[box] = edit;
        }
        if (index == TableRow && box == 2) {
            lblFunction = head;
            lblFunction->setObjectName(QStringLiteral("lblFunction"));
        }
        head->setBuddy(edit);
        grid->addWidget(head, line, 3 + box);
        grid->addWidget(edit, line + 1, 3 + box);
    }
}

QGroupBox *ModulationPanel::buildCommandFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Commands:"));
    frame->setObjectName(QStringLiteral("fraCmd"));
    auto *grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    addCommandRow(grid, 0, TypeRow, QStringLiteral("MOD:TYPE:SEL"),
                  {QStringLiteral("Control Input"), QStringLiteral("Modulation Type")});
    addCommandRow(grid, 2, TableRow, QStringLiteral("MOD:TABL"),
                  {QStringLiteral("Row"), QStringLiteral("VMOD"), QStringLiteral("Mod")});
    addCommandRow(grid, 4, SlewRow, QStringLiteral("MOD:TABL:SlewLIM"), {QStringLiteral("Value")});
    for (int line : {2, 4})
        grid->setRowMinimumHeight(line, 26);
    grid->setColumnMinimumWidth(2, 120);
    grid->setColumnStretch(6, 1);
    return frame;
}

void ModulationPanel::resizeEvent(QResizeEvent *event)
{
    PanelWindow::resizeEvent(event);
    fitColumns();
}

void ModulationPanel::fitColumns()
{
    // Row one sixth, VMOD one third; the output column takes the rest.
    const int width = lvModTable->viewport()->width();
    lvModTable->setColumnWidth(RowColumn, width / 6);
    lvModTable->setColumnWidth(VmodColumn, width / 3);
}

// ---------------------------------------------------------------------------------------------
// Access for tests and the buttons.

QPushButton *ModulationPanel::cmdGetSCPI(int index) const
{
    return index == TypeRow ? m_get[0] : index == TableRow ? m_get[1] : index == SlewRow ? m_get[2] : nullptr;
}

QPushButton *ModulationPanel::cmdSetSCPI(int index) const
{
    return index == TypeRow ? m_set[0] : index == TableRow ? m_set[1] : index == SlewRow ? m_set[2] : nullptr;
}

QLineEdit *ModulationPanel::txtData(int box, int index) const
{
    if (index == TypeRow && box >= 1 && box <= 2)
        return m_typeBoxes[box - 1];
    if (index == TableRow && box >= 1 && box <= 3)
        return m_rowBoxes[box - 1];
    return nullptr;
}

QStringList ModulationPanel::itemKeys() const
{
    QStringList keys;
    for (int r = 0; r < lvModTable->rowCount(); ++r)
        keys << lvModTable->item(r, SortColumn)->data(KeyRole).toString();
    return keys;
}

QStringList ModulationPanel::itemTexts(int listRow) const
{
    QStringList texts;
    for (int c = RowColumn; c < ColumnCount; ++c)
        texts << lvModTable->item(listRow, c)->text();
    return texts;
}

QString ModulationPanel::outputHeader() const
{
    return lvModTable->horizontalHeaderItem(OutputColumn)->text();
}

bool ModulationPanel::isSimulated() const { return modData().CommKind == LinkKind::Simulated; }

// ---------------------------------------------------------------------------------------------
// Talking to the instrument.

bool ModulationPanel::ask(const QString &command, bool logCommand, QString &reply)
{
    QPointer<ModulationPanel> self(this);
    SendCommand(command, logCommand);
    ReadReply(reply, ReplyTimeoutSeconds, true);
    return self && !m_closing;
}

bool ModulationPanel::alert(const QString &text)
{
    QPointer<ModulationPanel> self(this);
    modData().prompter->Show(text, ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
    return self && !m_closing;
}

void ModulationPanel::showSelection(int controlInput, int type)
{
    lblTable->setText(QStringLiteral("Control Input:") + QString(10, QLatin1Char(' '))
                      + ControlInputName(controlInput));
    lblType->setText(QStringLiteral("Modulation Type:") + QString(4, QLatin1Char(' '))
                     + ModTypeName(type));
    const QString header = OutputHeader(controlInput, type);
    lvModTable->horizontalHeaderItem(OutputColumn)->setText(header);
    lblFunction->setText(header);
    m_rowBoxes[2]->setAccessibleName(header);
}

bool ModulationPanel::GetModType(int &controlInput, int &type)
{
    QString reply;
    if (!ask(QStringLiteral("MOD:TYPE:SEL?"), false, reply))
        return false;
    if (!isSimulated()) {
        const SelectionReply selection = ParseSelectionReply(reply);
        controlInput = selection.controlInput;
        if (selection.status == SelectionReply::Status::InvalidControlInput)
            return alert(QStringLiteral("Invalid Control Input!"));
        if (selection.status == SelectionReply::Status::InvalidType) {
            type = UnknownSelection;
            return alert(QStringLiteral("Invalid Modulation Type!"));
        }
        type = selection.type;
    } else {
        // No instrument: the selection is what the boxes hold.
        controlInput = RowNumberOf(m_typeBoxes[0]->text());
        if (!m_typeBoxes[1]->text().isEmpty())
            type = RowNumberOf(m_typeBoxes[1]->text());
    }
    showSelection(controlInput, type);
    return true;
}

bool ModulationPanel::GetTableRow(int &row, QString &vmod, QString &value)
{
    vmod.clear();
    value.clear();
    QString reply;
    if (!ask(QStringLiteral("MOD:TABL? ") + QString::number(row), true, reply))
        return false;
    const RowReply parsed = ParseRowReply(reply);
    if (parsed.kind == RowReply::Kind::NoTable)
        return true;
    if (isSimulated()) {
        vmod = m_rowBoxes[1]->text().isEmpty() ? QStringLiteral("0") : m_rowBoxes[1]->text();
        value = m_rowBoxes[2]->text().isEmpty() ? QStringLiteral("0") : m_rowBoxes[2]->text();
    } else {
        switch (parsed.kind) {
        case RowReply::Kind::InvalidPosition:
            return alert(QStringLiteral("Invalid position %1!").arg(row));
        case RowReply::Kind::BeyondTable:
            row = parsed.position;
            return true;
        case RowReply::Kind::InvalidElements:
            row = parsed.position;
            return alert(QStringLiteral("Invalid Elements at position %1!").arg(row));
        default:
            row = parsed.position;
            vmod = parsed.vmod;
            value = parsed.value;
        }
    }
    enterRow(row, vmod, value);
    return true;
}

void ModulationPanel::enterRow(int row, const QString &vmod, const QString &value)
{
    // The table has rows 1 to 50 only (a row typed outside them in Simulated mode shows in the
    // boxes, not in the list).
    if (row < 1 || row > NumRows)
        return;
    const QString key = ItemKey(row);
    const QString sortText = QStringLiteral("%1").arg(row, 3, 10, QLatin1Char('0'));
    int at = -1;
    int insertAt = lvModTable->rowCount();
    for (int r = 0; r < lvModTable->rowCount(); ++r) {
        const QTableWidgetItem *sort = lvModTable->item(r, SortColumn);
        if (sort->data(KeyRole).toString() == key) {
            at = r;
            break;
        }
        if (insertAt == lvModTable->rowCount() && sort->text() > sortText)
            insertAt = r;
    }
    if (at < 0) {
        at = insertAt;
        lvModTable->insertRow(at);
        auto *sort = new QTableWidgetItem(sortText);
        sort->setData(KeyRole, key);
        lvModTable->setItem(at, SortColumn, sort);
        for (int c = RowColumn; c < ColumnCount; ++c)
            lvModTable->setItem(at, c, new QTableWidgetItem);
    }
    lvModTable->item(at, RowColumn)->setText(QString::number(row));
    lvModTable->item(at, VmodColumn)->setText(vmod);
    lvModTable->item(at, OutputColumn)->setText(value);

    m_selectingInCode = true;
    lvModTable->clearSelection();
    lvModTable->selectRow(at);
    m_selectingInCode = false;
    lvModTable->scrollToItem(lvModTable->item(at, RowColumn));
    fitColumns();
}

bool ModulationPanel::readRowIntoBoxes(int row)
{
    QString vmod, value;
    if (!GetTableRow(row, vmod, value))
        return false;
    m_rowBoxes[0]->setText(QString::number(row));
    m_rowBoxes[1]->setText(vmod);
    m_rowBoxes[2]->setText(value);
    return true;
}

void ModulationPanel::clearList()
{
    // Emptying the list is no click on "no item": the row boxes keep their texts.
    m_selectingInCode = true;
    lvModTable->setRowCount(0);
    m_selectingInCode = false;
}

void ModulationPanel::copySelectedItem()
{
    const QList<QTableWidgetItem *> selected = lvModTable->selectedItems();
    if (!selected.isEmpty())
        lvModTable_ItemClick(selected.first());
}

void ModulationPanel::storeSelection(int controlInput, int type)
{
    m_typeBoxes[0]->setText(QString::number(controlInput));
    m_typeBoxes[1]->setText(QString::number(type));
    CtrlInput = controlInput;
    ModType = type;
}

// ---------------------------------------------------------------------------------------------
// The buttons.

void ModulationPanel::UpdateEepromButton()
{
    QPointer<ModulationPanel> self(this);
    ReadAllState();
    if (!self)
        return;
    const ModData &data = modData();
    const double needed = data.SystemType == KmSystemType ? KmEepromFirmware : EepromFirmware;
    // Versions are texts with one or two decimals: compare them in hundredths.
    cmdSaveToEeprom->setEnabled(qRound(LeadingDecimal(data.FirmwareVersion) * 100)
                                >= qRound(needed * 100));
}

void ModulationPanel::cmdPopulate_Click()
{
    if (m_busy)
        return;
    Exchange exchange(this, true);
    clearList();
    int controlInput = CtrlInput;
    int type = ModType;
    if (!GetModType(controlInput, type))
        return;
    readTable({});
}

void ModulationPanel::readTable(const QMap<int, QPair<QString, QString>> &rowsToWrite)
{
    QPointer<ModulationPanel> self(this);
    for (int row = 1; row <= NumRows; ++row) {
        const auto write = rowsToWrite.constFind(row);
        if (write != rowsToWrite.constEnd()) {
            SendCommand(QStringLiteral("MOD:TABL %1(%2,%3)").arg(row).arg(write->first, write->second),
                        true);
            if (!self || m_closing)
                return;
        }
        int reported = row;
        QString vmod, value;
        if (!GetTableRow(reported, vmod, value))
            return;
        // The instrument may report a later row than asked (the loop goes on after it), never
        // an earlier one: a table read always ends.
        row = std::max(row, reported);
        lvModTable->viewport()->repaint(); // the user sees the table fill
    }
    copySelectedItem();
}

void ModulationPanel::cmdClearTbl_Click()
{
    if (m_busy)
        return;
    clearList();
    lblTable->setText(QStringLiteral("Control Input:"));
    lblType->setText(QStringLiteral("Modulation Type:"));
}

void ModulationPanel::lvModTable_ItemClick(QTableWidgetItem *item)
{
    for (int box = 0; box < 3; ++box)
        m_rowBoxes[box]->setText(item ? lvModTable->item(item->row(), RowColumn + box)->text()
                                      : QString());
}

void ModulationPanel::cmdGetSCPI_Click(int index)
{
    if (m_busy || !cmdGetSCPI(index))
        return;
    Exchange exchange(this);
    QPointer<ModulationPanel> self(this);
    fraCmd->setEnabled(false);
    if (index == TypeRow) {
        int controlInput = CtrlInput;
        int type = ModType;
        if (!GetModType(controlInput, type))
            return;
        storeSelection(controlInput, type);
    } else if (index == TableRow) {
        if (m_rowBoxes[0]->text().isEmpty())
            m_rowBoxes[0]->setText(QStringLiteral("1"));
        int row = RowNumberOf(m_rowBoxes[0]->text());
        if (row == 0)
            row = 1;
        row = std::min(row, int(NumRows));
        if (!readRowIntoBoxes(row))
            return;
    } else {
        QString reply;
        if (!ask(Command(index) + QLatin1Char('?'), true, reply))
            return;
        reply.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        txtSCPI->setText(reply);
        fraCmd->setEnabled(true);
        txtSCPI->setFocus(Qt::OtherFocusReason);
        txtSCPI->selectAll();
    }
    if (self)
        fraCmd->setEnabled(true);
}

void ModulationPanel::cmdSetSCPI_Click(int index)
{
    if (m_busy || !cmdSetSCPI(index))
        return;
    if (index == SlewRow) {
        SendCommand(Command(index) + QLatin1Char(' ') + txtSCPI->text(), true);
        return;
    }
    Exchange exchange(this);
    QLineEdit *const *boxes = index == TypeRow ? m_typeBoxes : m_rowBoxes;
    const int needed = index == TypeRow ? 1 : 3;
    for (int box = 0; box < needed; ++box) {
        if (boxes[box]->text().isEmpty()) {
            alert(QStringLiteral("Complete Data for Command"));
            return;
        }
    }
    if (index == TypeRow) {
        QString command = Command(index) + QLatin1Char(' ') + m_typeBoxes[0]->text();
        if (!m_typeBoxes[1]->text().isEmpty())
            command += QLatin1Char(',') + m_typeBoxes[1]->text();
        SendCommand(command, true);
        int controlInput = CtrlInput;
        int type = ModType;
        if (GetModType(controlInput, type))
            storeSelection(controlInput, type);
        return;
    }
    const double asked = LeadingDecimal(m_rowBoxes[0]->text());
    if (asked > NumRows)
        m_rowBoxes[0]->setText(QString::number(NumRows));
    else if (asked < 1)
        m_rowBoxes[0]->setText(QStringLiteral("1"));
    SendCommand(Command(index) + QLatin1Char(' ') + m_rowBoxes[0]->text() + QLatin1Char('(')
                    + m_rowBoxes[1]->text() + QLatin1Char(',') + m_rowBoxes[2]->text()
                    + QLatin1Char(')'),
                true);
    readRowIntoBoxes(RowNumberOf(m_rowBoxes[0]->text()));
}

void ModulationPanel::cmdSaveToEeprom_Click()
{
    if (!m_busy)
        SendCommand(QStringLiteral("MOD:TABL:SAVE"), true);
}

void ModulationPanel::cmdSaveMod_Click()
{
    if (m_busy)
        return;
    Prompter &prompter = *modData().prompter;
    if (CtrlInput < 1) {
        prompter.Show(QStringLiteral("Please select the Control Input table first."),
                      ApplicationTitle, MsgIcon::None, MsgButtons::Ok);
        return;
    }
    if (lvModTable->rowCount() == 0) {
        prompter.Show(QStringLiteral("No entries in the table to save."), ApplicationTitle,
                      MsgIcon::None, MsgButtons::Ok);
        return;
    }
    QPointer<ModulationPanel> self(this);
    const QString path = SelectFile(this, FileDialogTitle, QString(), ModTableDescription,
                                    ModTablePattern, QStringLiteral("save"));
    if (!self || path.isEmpty())
        return;
    const QFileInfo info(path);
    const bool replacing = info.exists();
    if (replacing) {
        if (info.isDir()) {
            alert(QStringLiteral("Invalid File"));
            return;
        }
        if (prompter.Show(QStringLiteral("File exists, are you sure you wish to overwrite it?"),
                          ApplicationTitle, MsgIcon::None, MsgButtons::OkCancel)
                != MsgAnswer::Ok
            || !self)
            return;
    }

    ModTableContents table;
    table.controlInput = CtrlInput;
    table.type = ModType;
    for (int r = 0; r < lvModTable->rowCount(); ++r)
        table.rows << ModTableRowText{lvModTable->item(r, RowColumn)->text().toInt(),
                                      lvModTable->item(r, VmodColumn)->text(),
                                      lvModTable->item(r, OutputColumn)->text()};
    // The new table takes the old one's place only when complete, so a failure on the way (a
    // full disk, a read-only file or folder) leaves the old table as it was.
    const bool saved = (!replacing || info.isWritable())
                       && WriteWholeFile(path, ModTableFileBytes(table)).isEmpty();
    if (!saved) {
        alert(replacing ? QStringLiteral("Unable to overwrite file, save aborted.")
                        : QStringLiteral("Unable to write file, save aborted."));
        return;
    }
    prompter.Show(QStringLiteral("Modulation Table Saved to ") + path, QStringLiteral("File saved"),
                  MsgIcon::None, MsgButtons::OkCancel);
}

void ModulationPanel::cmdLoadMod_Click()
{
    if (m_busy)
        return;
    QPointer<ModulationPanel> self(this);
    const QString path = SelectFile(this, FileDialogTitle, QString(), ModTableDescription,
                                    ModTablePattern, QStringLiteral("open"));
    if (!self || path.isEmpty())
        return;
    // A file that cannot be read is named with the reason, and nothing goes to the instrument.
    QString problem;
    const LoadedModTable table = ReadModTableFile(path, &problem);
    if (!problem.isEmpty()) {
        alert(QStringLiteral("Unable to open ") + path + QStringLiteral(":\r\n") + problem);
        return;
    }
    const auto given = [](int value) { return value != MissingSelectionKey; };
    if (given(table.controlInput) && table.controlInput != 1 && table.controlInput != 2) {
        alert(QStringLiteral("Invalid Control Input in Saved File ") + path);
        return;
    }
    if (given(table.type) && table.type != 0 && table.type != 1) {
        alert(QStringLiteral("Invalid Modulation Type in Saved File ") + path);
        return;
    }

    Exchange exchange(this, true);
    FlushInput();
    SendCommand(QStringLiteral("%1 %2, %3").arg(Command(TypeRow)).arg(table.controlInput).arg(table.type),
                true);
    int controlInput = CtrlInput;
    int type = ModType;
    if (!self || m_closing || !GetModType(controlInput, type))
        return;
    storeSelection(table.controlInput, table.type);
    readTable(table.rows);
}

// ---------------------------------------------------------------------------------------------
// The frame's hooks.

void ModulationPanel::afterSetup()
{
    if (!ModulationPanelAvailable(modData().SystemType)) {
        SwitchPanel(PanelId::Command);
        return;
    }
    UpdateEepromButton();
}

void ModulationPanel::panelClosing() { m_closing = true; }

} // namespace zop
