#include "panels/service/commandpanel.h"

#include "app/moddata.h"
#include "app/usersettings.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "panels/service/consoleline.h"
#include "panels/service/servicewidgets.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace zop {

namespace {

// A data box refuses line breaks (a pasted one would split the command in two on the wire).
QValidator *SingleLineValidator(QObject *parent)
{
    static const QRegularExpression noLineBreak(QStringLiteral("[^\\r\\n]*"));
    return new QRegularExpressionValidator(noLineBreak, parent);
}

constexpr int DataBoxWidth = 120;
constexpr int RowButtonWidth = 54;

} // namespace

CommandPanel::CommandPanel(QWidget *parent) : PanelWindow(QStringLiteral("frmCommand"), parent)
{
    rtbTranx->setObjectName(QStringLiteral("rtbTranx"));
    // A long command must not wrap into something that reads like a reply.
    rtbTranx->setLineWrapMode(QPlainTextEdit::NoWrap);
    buildPanel();
    Comm().LogTarget = rtbTranx;
    Switching = false;
    applyRowAvailability();
}

CommandPanel::~CommandPanel() = default;

QString CommandPanel::key(CommandTable table, int index)
{
    return QStringLiteral("%1:%2").arg(int(table)).arg(index);
}

const CommandPanel::RowControls *CommandPanel::controls(CommandTable table, int index) const
{
    const auto found = m_rows.constFind(key(table, index));
    return found == m_rows.constEnd() ? nullptr : &found.value();
}

QPushButton *CommandPanel::getButton(CommandTable table, int index) const
{
    const RowControls *c = controls(table, index);
    return c ? c->get : nullptr;
}

QPushButton *CommandPanel::setButton(CommandTable table, int index) const
{
    const RowControls *c = controls(table, index);
    return c ? c->set : nullptr;
}

QLineEdit *CommandPanel::dataBox(CommandTable table, int index) const
{
    const RowControls *c = controls(table, index);
    return c ? c->data : nullptr;
}

QLabel *CommandPanel::rowLabel(CommandTable table, int index) const
{
    const RowControls *c = controls(table, index);
    return c ? c->label : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Building the window.

void CommandPanel::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("commandArea"));
    central->setStyleSheet(ServicePanelStyle());
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(10);

    fraCmd1 = buildSettingsFrame();
    fraCmd2 = buildCommandsFrame();
    fraConsole = buildConsoleFrame();
    auto *rows = new QHBoxLayout;
    rows->setSpacing(10);
    rows->addWidget(fraCmd1, 0, Qt::AlignTop);
    rows->addWidget(fraCmd2, 0, Qt::AlignTop);
    auto *commands = new QVBoxLayout;
    commands->addLayout(rows);
    commands->addWidget(fraConsole);
    commands->addStretch(1);
    layout->addLayout(commands);
    fraIn->setMinimumWidth(400);
    layout->addWidget(fraIn, 1);
    setCentralWidget(central);
    fixTabOrder();
}

void CommandPanel::addRow(const CommandRow &row, QWidget *parent, QGridLayout *grid, int line,
                          int getColumn, int setColumn, int labelColumn, int dataColumn)
{
    RowControls c;
    if (row.hasGet) {
        c.get = ServiceButton(row.getButtonName(), QStringLiteral("Get"), row.getAccessibleName(),
                              parent);
        c.get->setFixedWidth(RowButtonWidth);
        grid->addWidget(c.get, line, getColumn);
        connect(c.get, &QPushButton::clicked, this,
                [this, table = row.table, index = row.index] { cmdGet_Click(table, index); });
    }
    if (row.hasSet) {
        c.set = ServiceButton(row.setButtonName(), QStringLiteral("Set"), row.setAccessibleName(),
                              parent);
        c.set->setFixedWidth(RowButtonWidth);
        grid->addWidget(c.set, line, setColumn);
        connect(c.set, &QPushButton::clicked, this,
                [this, table = row.table, index = row.index] { cmdSet_Click(table, index); });
    }
    c.label = new QLabel(row.label, parent);
    c.label->setObjectName(row.labelName());
    c.label->setTextFormat(Qt::PlainText);
    grid->addWidget(c.label, line, labelColumn);
    if (row.valueRow) {
        c.data = new QLineEdit(parent);
        c.data->setObjectName(row.dataBoxName());
        c.data->setAccessibleName(row.dataAccessibleName());
        c.data->setProperty("dataBox", true);
        c.data->setValidator(SingleLineValidator(c.data));
        c.data->setFixedWidth(DataBoxWidth);
        c.label->setBuddy(c.data);
        grid->addWidget(c.data, line, dataColumn);
    }
    m_rows.insert(key(row.table, row.index), c);
}

QGroupBox *CommandPanel::buildSettingsFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Settings"));
    frame->setObjectName(QStringLiteral("fraCmd1"));
    auto *grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const QStringList heads{QStringLiteral("Get"), QStringLiteral("Set"), QStringLiteral("Command"),
                            QStringLiteral("Data")};
    for (int column = 0; column < heads.size(); ++column)
        grid->addWidget(ColumnHead(heads.at(column), frame), 0, column,
                        column < 2 ? Qt::AlignHCenter : Qt::AlignLeft);
    int line = 1;
    for (const CommandRow &row : CommandRowsOf(RowBlock::Settings))
        addRow(row, frame, grid, line++, 0, 1, 2, 3);
    grid->setColumnMinimumWidth(2, 90);
    grid->setRowStretch(line, 1);
    return frame;
}

QGroupBox *CommandPanel::buildCommandsFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Commands"));
    frame->setObjectName(QStringLiteral("fraCmd2"));
    auto *outer = new QVBoxLayout(frame);
    outer->setSpacing(12);

    // First block: the value rows "Arm", "*RCL", "*SAV".
    auto *values = new QGridLayout;
    values->setHorizontalSpacing(6);
    values->setVerticalSpacing(4);
    const QStringList heads{QStringLiteral("Get"), QStringLiteral("Set"), QStringLiteral("Command"),
                            QStringLiteral("Data")};
    for (int column = 0; column < heads.size(); ++column)
        values->addWidget(ColumnHead(heads.at(column), frame), 0, column,
                          column < 2 ? Qt::AlignHCenter : Qt::AlignLeft);
    int line = 1;
    for (const CommandRow &row : CommandRowsOf(RowBlock::Values))
        addRow(row, frame, values, line++, 0, 1, 2, 3);
    values->setColumnMinimumWidth(2, 90);
    values->setColumnStretch(4, 1);
    outer->addLayout(values);

    // Second block: bare commands on the left, queries answered in the log on the right.
    auto *lower = new QHBoxLayout;
    lower->setSpacing(18);

    auto *leftColumn = new QVBoxLayout;
    auto *setGrid = new QGridLayout;
    setGrid->setHorizontalSpacing(6);
    setGrid->setVerticalSpacing(4);
    setGrid->addWidget(ColumnHead(QStringLiteral("Set"), frame), 0, 0, Qt::AlignHCenter);
    setGrid->addWidget(ColumnHead(QStringLiteral("Command"), frame), 0, 1);
    line = 1;
    for (const CommandRow &row : CommandRowsOf(RowBlock::SetOnly))
        addRow(row, frame, setGrid, line++, -1, 0, 1, -1);
    leftColumn->addLayout(setGrid);
    leftColumn->addStretch(1);

    auto *legend = new QFrame(frame);
    legend->setObjectName(QStringLiteral("fraLegend"));
    auto *legendLines = new QVBoxLayout(legend);
    legendLines->setContentsMargins(0, 0, 0, 0);
    legendLines->setSpacing(1);
    for (const QString &text :
         {QStringLiteral("Legend"), QStringLiteral("1 = True"), QStringLiteral("0 = False")}) {
        auto *label = new QLabel(text, legend);
        label->setTextFormat(Qt::PlainText);
        label->setProperty(text == QLatin1String("Legend") ? "columnHead" : "legend", true);
        legendLines->addWidget(label);
    }
    legend->setAccessibleName(QStringLiteral("Legend: 1 = True, 0 = False"));
    leftColumn->addWidget(legend, 0, Qt::AlignLeft);
    lower->addLayout(leftColumn);

    auto *getGrid = new QGridLayout;
    getGrid->setHorizontalSpacing(6);
    getGrid->setVerticalSpacing(4);
    getGrid->addWidget(ColumnHead(QStringLiteral("Get"), frame), 0, 0, Qt::AlignHCenter);
    getGrid->addWidget(ColumnHead(QStringLiteral("Command"), frame), 0, 1);
    line = 1;
    for (const CommandRow &row : CommandRowsOf(RowBlock::GetOnly))
        addRow(row, frame, getGrid, line++, 0, -1, 1, -1);
    getGrid->setRowStretch(line, 1);
    lower->addLayout(getGrid);
    lower->addStretch(1);
    outer->addLayout(lower);
    return frame;
}

QGroupBox *CommandPanel::buildConsoleFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Command Line"));
    frame->setObjectName(QStringLiteral("fraConsole"));
    m_history.setLines(Prefs().consoleHistory());
    txtConsole = new ConsoleLine(m_history, frame);
    txtConsole->setObjectName(QStringLiteral("txtConsole"));
    txtConsole->setAccessibleName(QStringLiteral("Command line"));
    txtConsole->setToolTip(QStringLiteral("Any command; Enter sends it, Up and Down recall "
                                          "earlier ones, Tab completes the header"));
    txtConsole->setValidator(SingleLineValidator(txtConsole));
    chkCheckErrors = new QCheckBox(QStringLiteral("Check errors"), frame);
    chkCheckErrors->setObjectName(QStringLiteral("chkCheckErrors"));
    chkCheckErrors->setToolTip(QStringLiteral("Read SYST:ERR? after each line"));
    chkCheckErrors->setChecked(Prefs().consoleCheckErrors());
    lblConsoleHint = new QLabel(frame);
    lblConsoleHint->setObjectName(QStringLiteral("lblConsoleHint"));
    lblConsoleHint->setTextFormat(Qt::PlainText);
    lblConsoleHint->setWordWrap(true);
    auto *label = new QLabel(QStringLiteral("Comm&and"), frame);
    label->setBuddy(txtConsole);

    auto *grid = new QGridLayout(frame);
    grid->addWidget(label, 0, 0);
    grid->addWidget(txtConsole, 0, 1);
    grid->addWidget(chkCheckErrors, 0, 2);
    grid->addWidget(lblConsoleHint, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(txtConsole, &QLineEdit::returnPressed, this, &CommandPanel::sendConsoleLine);
    connect(txtConsole, &QLineEdit::textEdited, lblConsoleHint, &QLabel::clear);
    connect(txtConsole, &ConsoleLine::candidatesFound, this, [this](const QStringList &found) {
        lblConsoleHint->setText(found.join(QStringLiteral("   ")));
    });
    connect(chkCheckErrors, &QCheckBox::toggled, this,
            [](bool on) { Prefs().setConsoleCheckErrors(on); });
    return frame;
}

void CommandPanel::fixTabOrder()
{
    // Row by row, frame by frame, then the log and its buttons.
    QList<QWidget *> order;
    for (const CommandRow &row : CommandRows()) {
        const RowControls *c = controls(row.table, row.index);
        for (QWidget *w : {static_cast<QWidget *>(c->get), static_cast<QWidget *>(c->set),
                           static_cast<QWidget *>(c->data)}) {
            if (w)
                order << w;
        }
    }
    order << txtConsole << chkCheckErrors << rtbTranx << clearLogButton << cmdSave;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

// ---------------------------------------------------------------------------------------------
// Availability.

void CommandPanel::setRowUsable(const CommandRow &row, bool usable)
{
    const RowControls *c = controls(row.table, row.index);
    if (!c)
        return;
    if (c->get)
        c->get->setEnabled(usable);
    if (c->set)
        c->set->setEnabled(usable);
    if (c->label)
        c->label->setEnabled(usable);
    if (c->data) {
        // A locked box is empty and shows the button face (the style sheet's disabled look).
        if (!usable)
            c->data->clear();
        c->data->setReadOnly(!usable);
        c->data->setEnabled(usable);
    }
}

void CommandPanel::applyRowAvailability()
{
    const ModData &data = modData();
    const RowAvailability availability = CommandRowAvailability(data.SystemType, data.CommKind);
    for (const CommandRow &row : CommandRows()) {
        if (row.table == CommandTable::Scpi
            && (row.index == PeriodIndex || row.index == ArmIndex
                || row.index == GpibVersionIndex || row.index == EthernetVersionIndex))
            setRowUsable(row, RowAvailable(row, availability));
    }
}

void CommandPanel::afterSetup()
{
    // Only the "Period"/"Arm" rule is applied again, by a rule of its own; the version rows
    // keep what the panel's opening gave them.
    const bool usable = PeriodAndArmAfterSetup(modData().SystemType);
    for (const CommandRow &row : CommandRows()) {
        if (row.table == CommandTable::Scpi && (row.index == PeriodIndex || row.index == ArmIndex))
            setRowUsable(row, usable);
    }
}

// ---------------------------------------------------------------------------------------------
// The buttons.

void CommandPanel::cmdGet_Click(CommandTable table, int index)
{
    const CommandRow *row = FindCommandRow(table, index);
    if (!row || !row->hasGet)
        return;
    const ModData &data = modData();
    const QString query = QueryText(CommandHeader(*row, data.IEEECommand, data.SCPICommand));
    QString reply;
    QPointer<CommandPanel> self(this);
    if (!AskInstrument(this, {fraCmd1, fraCmd2, fraConsole}, query, reply) || !self)
        return;
    if (row->table == CommandTable::Scpi && row->valueRow) {
        QLineEdit *box = dataBox(table, index);
        if (box && box->isEnabled()) {
            box->setText(DataFromReply(reply));
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
        }
    }
}

void CommandPanel::cmdSet_Click(CommandTable table, int index)
{
    const CommandRow *row = FindCommandRow(table, index);
    if (!row || !row->hasSet)
        return;
    const ModData &data = modData();
    const QLineEdit *box = dataBox(table, index);
    const QString text = SetText(*row, CommandHeader(*row, data.IEEECommand, data.SCPICommand),
                                 box ? box->text() : QString());
    SendCommand(text, true);
}

// ---------------------------------------------------------------------------------------------
// The command line.

namespace {
// Through the communication layer, with the panel's frames disabled while a reply is awaited.
class PanelConsoleLink : public ConsoleLink {
public:
    PanelConsoleLink(CommandPanel *panel, QList<QWidget *> frames)
        : m_panel(panel), m_frames(std::move(frames))
    {
    }
    void send(const QString &command) override { SendCommand(command, true); }
    std::optional<QString> query(const QString &command, bool echo) override
    {
        QString reply;
        bool answered = false;
        if (!m_panel || !AskInstrument(m_panel, m_frames, command, reply, echo, &answered) || !m_panel)
            return std::nullopt;
        if (!answered) {
            unanswered = true;
            return std::nullopt;
        }
        while (reply.endsWith(QLatin1Char('\n')) || reply.endsWith(QLatin1Char('\r')))
            reply.chop(1);
        return reply;
    }

    bool unanswered = false; // a query got no reply in time

private:
    QPointer<CommandPanel> m_panel;
    QList<QWidget *> m_frames;
};
} // namespace

void CommandPanel::sendConsoleLine()
{
    const QString text = txtConsole->text().trimmed();
    if (text.isEmpty())
        return;
    // Checked whole before anything goes out; a refused line stays for mending.
    const QString problem = ConsoleLineProblem(text);
    if (!problem.isEmpty()) {
        lblConsoleHint->setText(QStringLiteral("Not sent: ") + problem);
        return;
    }
    lblConsoleHint->clear();
    m_history.add(text);
    Prefs().setConsoleHistory(m_history.lines());
    txtConsole->clear();
    QPointer<CommandPanel> self(this);
    PanelConsoleLink link(this, {fraCmd1, fraCmd2, fraConsole});
    // Simulated mode answers "9.999" to everything: no error queue to read.
    const bool check = chkCheckErrors->isChecked() && modData().CommKind != LinkKind::Simulated;
    const ConsoleStep step = RunConsoleLine(text, check, link);
    if (!self)
        return;
    if (link.unanswered)
        rtbTranx->appendTraffic(NoReplyText + QStringLiteral("\r\n"), LogTraffic::Error);
    if (!step.error.isEmpty())
        rtbTranx->appendTraffic(ConsoleErrorQuery + QStringLiteral(" ") + step.error
                                    + QStringLiteral("\r\n"),
                                LogTraffic::Error);
    if (txtConsole->isEnabled())
        txtConsole->setFocus(Qt::OtherFocusReason);
}

} // namespace zop
