#include "panels/calmod/calibrationpanel.h"

#include "frame/panelregistry.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include <algorithm>

namespace zop {

namespace {

// Every row of the command frame has the same height, so the rows keep one pitch.
constexpr int RowHeight = 24;
constexpr int RowSpacing = 4;
constexpr int ButtonWidth = 44;
constexpr int DataBoxWidth = 130;
constexpr int PotBoxWidth = 56;
constexpr int TwipsPerInch = 1440;

// Columns of the frame's grid: the command rows on the left, the potentiometers on the right.
enum Column { GetCol, SetCol, LabelCol, DataCol, GapCol, PotLabelCol, PotGetCol, PotSetCol,
              PotDataCol };

QString PanelStyle()
{
    // Frames and column heads come with the program's look (ui/look.h); the data boxes keep
    // the palette colours the lock rules give them.
    return QStringLiteral("QGroupBox { padding-bottom: 0px; }");
}

QPushButton *RowButton(const QString &name, const QString &caption, const QString &accessible,
                       QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    button->setFixedSize(ButtonWidth, RowHeight);
    return button;
}

QLineEdit *DataBox(const QString &name, const QString &accessible, int width, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->setFixedSize(width, RowHeight);
    // A pasted line break would split the command in two on the wire.
    static const QRegularExpression noLineBreak(QStringLiteral("[^\\r\\n]*"));
    box->setValidator(new QRegularExpressionValidator(noLineBreak, box));
    return box;
}

QLabel *RowLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFixedHeight(RowHeight);
    return label;
}

QLabel *ColumnHead(const QString &text, QWidget *parent)
{
    auto *head = new QLabel(text, parent);
    head->setTextFormat(Qt::PlainText);
    head->setProperty("columnHead", true);
    return head;
}

// A locked data box can be read but not typed into, and shows the button face; an unlocked one
// the window (text box) colour.
void LockBox(QLineEdit *box, bool locked)
{
    box->setReadOnly(locked);
    QPalette palette = box->palette();
    const QPalette system = QApplication::palette();
    palette.setColor(QPalette::Base, locked ? system.color(QPalette::Button)
                                            : system.color(QPalette::Base));
    box->setPalette(palette);
}

} // namespace

CalibrationPanel::CalibrationPanel(QWidget *parent)
    : PanelWindow(QStringLiteral("frmCalibration"), parent)
{
    rtbTranx->setObjectName(QStringLiteral("rtbTranx"));
    rtbTranx->setLineWrapMode(QPlainTextEdit::NoWrap);
    // After a long reply the view stays scrolled sideways; every new line starts at the left.
    connect(rtbTranx, &TransactionLog::logChanged, this,
            [this] { rtbTranx->horizontalScrollBar()->setValue(0); });
    tmrHold.setInterval(HoldTickMs);
    connect(&tmrHold, &QTimer::timeout, this, &CalibrationPanel::holdTick);
    buildPanel();

    Comm().LogTarget = rtbTranx;
    SelectedPot = -1;
    SendCommand(IdleMenuCommand, false);
    showRow(CalIndex::SystemVersion, false);
    EnableScales(false);
    EnablePots(false);
    // "Simulate Inst" changes the link kind after the frame's own handler has run.
    connect(mnuSimulate, &QAction::triggered, this, [this] { EnableScales(m_scalesEnabled); });
}

CalibrationPanel::~CalibrationPanel() = default;

QPushButton *CalibrationPanel::cmdGetSCPI(int index) const { return m_rows.value(index).get; }
QPushButton *CalibrationPanel::cmdSetSCPI(int index) const { return m_rows.value(index).set; }
QLineEdit *CalibrationPanel::txtSCPI(int index) const { return m_rows.value(index).data; }
QLabel *CalibrationPanel::rowLabel(int index) const { return m_rows.value(index).label; }

QString CalibrationPanel::header(int index) const
{
    return modData().SCPICommand.value(index);
}

// ---------------------------------------------------------------------------------------------
// Building the window.

void CalibrationPanel::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("calibrationArea"));
    central->setStyleSheet(PanelStyle());
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(10);
    fraCmds = buildCommandFrame();
    layout->addWidget(fraCmds, 0, Qt::AlignTop);
    fraIn->setMinimumWidth(340);
    rtbTranx->setMinimumHeight(300);
    layout->addWidget(fraIn, 1);
    setCentralWidget(central);
    fixTabOrder();
}

QGroupBox *CalibrationPanel::buildCommandFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Commands:"));
    frame->setObjectName(QStringLiteral("fraCmds"));
    // The frame is as tall as its rows ask: it ends where applyFrameEnd() says.
    frame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_grid = new QGridLayout(frame);
    m_grid->setHorizontalSpacing(6);
    m_grid->setVerticalSpacing(RowSpacing);

    const QStringList heads{QStringLiteral("Get"), QStringLiteral("Set"), QStringLiteral("Command"),
                            QStringLiteral("Data")};
    const Column left[] = {GetCol, SetCol, LabelCol, DataCol};
    const Column right[] = {PotGetCol, PotSetCol, PotLabelCol, PotDataCol};
    for (int i = 0; i < heads.size(); ++i) {
        const Qt::Alignment align = i < 2 ? Qt::AlignHCenter : Qt::AlignLeft;
        m_grid->addWidget(ColumnHead(heads.at(i), frame), 0, left[i], align);
        m_grid->addWidget(ColumnHead(i == 2 ? QStringLiteral("Pot") : heads.at(i), frame), 0,
                          right[i], align);
    }
    int line = 1;
    for (const CalibrationRow &row : CalibrationRows())
        addCommandRow(row, m_grid, line++);
    for (int pot = 0; pot < PotCount; ++pot)
        addPotRow(pot, m_grid, 1 + pot);

    cmdUp = RowButton(QStringLiteral("cmdUp"), QStringLiteral("UP"), QStringLiteral("Pot up"),
                      frame);
    cmdDn = RowButton(QStringLiteral("cmdDn"), QStringLiteral("DN"), QStringLiteral("Pot down"),
                      frame);
    for (QPushButton *b : {cmdUp, cmdDn})
        b->setToolTip(QStringLiteral("Hold to step the potentiometer last read"));
    connect(cmdUp, &QPushButton::pressed, this, &CalibrationPanel::cmdUp_MouseDown);
    connect(cmdDn, &QPushButton::pressed, this, &CalibrationPanel::cmdDn_MouseDown);
    connect(cmdUp, &QPushButton::released, this, &CalibrationPanel::cmdUpDn_MouseUp);
    connect(cmdDn, &QPushButton::released, this, &CalibrationPanel::cmdUpDn_MouseUp);
    m_grid->addWidget(cmdUp, 1 + PotCount, PotGetCol);
    m_grid->addWidget(cmdDn, 1 + PotCount, PotSetCol);

    // The label column is as wide as its longest label, shown or not, so unlocking does not
    // push the columns sideways.
    int labelWidth = 0;
    for (const CalibrationRow &row : CalibrationRows())
        labelWidth = std::max(labelWidth, rowLabel(row.index)->sizeHint().width());
    m_grid->setColumnMinimumWidth(LabelCol, labelWidth);
    m_grid->setColumnMinimumWidth(GapCol, 14);
    m_grid->setColumnStretch(PotDataCol + 1, 1);
    return frame;
}

void CalibrationPanel::addCommandRow(const CalibrationRow &row, QGridLayout *grid, int line)
{
    QWidget *frame = grid->parentWidget();
    Controls c;
    if (row.hasGet) {
        c.get = RowButton(row.getButtonName(), QStringLiteral("Get"),
                          QStringLiteral("Get ") + row.label, frame);
        grid->addWidget(c.get, line, GetCol);
        connect(c.get, &QPushButton::clicked, this,
                [this, index = row.index] { cmdGetSCPI_Click(index); });
    }
    c.set = RowButton(row.setButtonName(), QStringLiteral("Set"),
                      QStringLiteral("Set ") + row.label, frame);
    grid->addWidget(c.set, line, SetCol);
    connect(c.set, &QPushButton::clicked, this,
            [this, index = row.index] { cmdSetSCPI_Click(index); });
    c.label = RowLabel(row.labelName, row.label, frame);
    grid->addWidget(c.label, line, LabelCol);
    if (row.hasData) {
        c.data = DataBox(row.dataBoxName(), row.label, DataBoxWidth, frame);
        c.label->setBuddy(c.data);
        grid->addWidget(c.data, line, DataCol);
    }
    m_rows.insert(row.index, c);
    if (row.index == CalIndex::SystemVersion)
        Label1 = c.label;
    else if (row.index == CalIndex::NetSerial)
        SerialNumberlLabel = c.label;
    else if (row.index == CalIndex::NetHardware)
        HWVersionLabel = c.label;
}

void CalibrationPanel::addPotRow(int pot, QGridLayout *grid, int line)
{
    QWidget *frame = grid->parentWidget();
    const QString name = QStringLiteral("Pot %1").arg(pot + 1);
    Controls c;
    c.label = RowLabel(QStringLiteral("lblPot(%1)").arg(pot), name, frame);
    c.get = RowButton(QStringLiteral("cmdGetPot(%1)").arg(pot), QStringLiteral("Get"),
                      QStringLiteral("Get ") + name, frame);
    c.set = RowButton(QStringLiteral("cmdSetPot(%1)").arg(pot), QStringLiteral("Set"),
                      QStringLiteral("Set ") + name, frame);
    c.data = DataBox(QStringLiteral("txtPot(%1)").arg(pot), name, PotBoxWidth, frame);
    c.label->setBuddy(c.data);
    grid->addWidget(c.label, line, PotLabelCol);
    grid->addWidget(c.get, line, PotGetCol);
    grid->addWidget(c.set, line, PotSetCol);
    grid->addWidget(c.data, line, PotDataCol);
    connect(c.get, &QPushButton::clicked, this, [this, pot] { cmdGetPot_Click(pot); });
    connect(c.set, &QPushButton::clicked, this, [this, pot] { cmdSetPot_Click(pot); });
    m_pots << c;
}

void CalibrationPanel::fixTabOrder()
{
    // Row by row down the commands, then the potentiometers, then the log and its buttons.
    QList<QWidget *> order;
    auto add = [&order](const Controls &c) {
        for (QWidget *w : {static_cast<QWidget *>(c.get), static_cast<QWidget *>(c.set),
                           static_cast<QWidget *>(c.data)}) {
            if (w)
                order << w;
        }
    };
    for (const CalibrationRow &row : CalibrationRows())
        add(m_rows.value(row.index));
    for (const Controls &c : m_pots)
        add(c);
    order << cmdUp << cmdDn << rtbTranx << clearLogButton << cmdSave;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

// ---------------------------------------------------------------------------------------------
// The lock states.

void CalibrationPanel::showRow(int index, bool shown)
{
    const Controls c = m_rows.value(index);
    for (QWidget *w : {static_cast<QWidget *>(c.get), static_cast<QWidget *>(c.set),
                       static_cast<QWidget *>(c.data), static_cast<QWidget *>(c.label)}) {
        if (w)
            w->setVisible(shown);
    }
}

void CalibrationPanel::EnableScales(bool enable)
{
    m_scalesEnabled = enable;
    for (int index : {CalIndex::VoltScale, CalIndex::CurrScale, CalIndex::InputScale}) {
        const Controls c = m_rows.value(index);
        c.set->setEnabled(enable);
        LockBox(c.data, !enable);
    }
    const qint16 kind = modData().CommKind;
    showRow(CalIndex::SystemVersion, SystemVersionShown(enable));
    const bool network = NetworkRowsShown(enable, kind);
    showRow(CalIndex::NetSerial, network);
    showRow(CalIndex::NetHardware, network);
    m_shownForKind = kind;
    applyFrameEnd();
}

void CalibrationPanel::EnablePots(bool enable)
{
    for (const Controls &c : std::as_const(m_pots)) {
        c.set->setEnabled(enable);
        LockBox(c.data, !enable);
    }
    cmdUp->setEnabled(enable);
    cmdDn->setEnabled(enable);
}

void CalibrationPanel::applyFrameEnd()
{
    // The rows below the last one shown are hidden and take no room: the frame ends one row
    // gap below it, which is where the first hidden row would begin, or 120 twips below the
    // network rows when every row shows.
    const int last = LastShownRow(m_scalesEnabled, modData().CommKind);
    const int gap = last == CalIndex::NetHardware
                        ? (FrameGapBelowNetworkRowsTwips * fraCmds->logicalDpiY() + TwipsPerInch / 2)
                              / TwipsPerInch
                        : m_grid->verticalSpacing();
    const QMargins margins = m_grid->contentsMargins();
    m_grid->setContentsMargins(margins.left(), margins.top(), margins.right(), gap);
    m_grid->invalidate();
    fraCmds->updateGeometry();
}

void CalibrationPanel::afterSetup() { EnableScales(m_scalesEnabled); }

// ---------------------------------------------------------------------------------------------
// Exchanges.

bool CalibrationPanel::ask(const QString &command, QString &reply, int pauseMs)
{
    QPointer<CalibrationPanel> self(this);
    SendCommand(command, true);
    if (pauseMs > 0)
        WaitTicks(float(pauseMs) / 10.0f);

    // While the reply is awaited nothing else may start an exchange: neither a second button
    // nor a menu entry. On a TCP/IP link window events run meanwhile.
    m_awaitingReply = true;
    fraCmds->setEnabled(false);
    menuBar()->setEnabled(false);
    ReadReply(reply, ReplyTimeoutSeconds, true);
    if (!self)
        return false;
    m_awaitingReply = false;
    fraCmds->setEnabled(true);
    menuBar()->setEnabled(true);
    // A time-out falls back to Simulated mode: the network rows follow the link kind.
    if (modData().CommKind != m_shownForKind)
        EnableScales(m_scalesEnabled);
    return true;
}

void CalibrationPanel::cmdGetSCPI_Click(int index)
{
    const CalibrationRow *row = FindCalibrationRow(index);
    if (!row || !row->hasGet || m_awaitingReply)
        return;
    QString reply;
    if (!ask(CalGetText(header(index)), reply))
        return;
    reply = WithoutLineBreaks(reply);
    QLineEdit *box = txtSCPI(index);
    if (index == CalIndex::NetHardware) {
        if (const std::optional<QString> revision = HardwareRevisionFrom(reply))
            box->setText(*revision);
    } else {
        box->setText(reply);
    }
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CalibrationPanel::cmdSetSCPI_Click(int index)
{
    const CalibrationRow *row = FindCalibrationRow(index);
    if (!row || m_awaitingReply)
        return;
    const QString password = txtSCPI(CalIndex::Password)->text();
    const QLineEdit *box = txtSCPI(index);
    const QString text = CalSetText(*row, header(index), box ? box->text() : QString(), password);
    if (index == CalIndex::NetSerial || index == CalIndex::NetHardware) {
        // The network module answers with the setting it now holds.
        QString reply;
        if (!ask(text, reply, NetworkReplyPauseMs))
            return;
    } else {
        QPointer<CalibrationPanel> self(this);
        SendCommand(text, true);
        if (!self)
            return;
    }
    if (index == CalIndex::EndCal) {
        m_lock = CalLock::Locked;
        EnableScales(false);
        EnablePots(false);
    } else if (index == CalIndex::Password) {
        m_lock = LockFor(password);
        EnablePots(m_lock != CalLock::Locked);
        EnableScales(m_lock == CalLock::All);
    }
}

void CalibrationPanel::cmdGetPot_Click(int pot)
{
    if (pot < 0 || pot >= PotCount || m_awaitingReply)
        return;
    QString reply;
    if (!ask(PotGetText(header(CalIndex::Pot), pot), reply))
        return;
    QLineEdit *box = txtPot(pot);
    box->setText(WithoutLineBreaks(reply));
    SelectedPot = qint16(pot);
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CalibrationPanel::cmdSetPot_Click(int pot)
{
    if (pot < 0 || pot >= PotCount || m_awaitingReply)
        return;
    SendCommand(PotSetText(header(CalIndex::Pot), pot, txtPot(pot)->text()), true);
}

// ---------------------------------------------------------------------------------------------
// The step buttons: one step at once, then one every 0.1 s until the button is released.

void CalibrationPanel::stepPress(int direction)
{
    KeyHeld = true;
    m_stepDirection = direction;
    m_heldInActiveWindow = isActiveWindow();
    if (SelectedPot < 0)
        return; // nothing read yet: the button does nothing
    // A key's auto-repeat presses the button again and again: a press within a tenth of a
    // second of the last step waits for the next one, so the steps keep their pace.
    QPointer<CalibrationPanel> self(this);
    const qint64 now = modData().clock->elapsedMs();
    if (now >= m_nextStepMs) {
        m_nextStepMs = now;
        step();
    }
    if (self && KeyHeld)
        tmrHold.start();
}

void CalibrationPanel::step()
{
    QLineEdit *box = txtPot(SelectedPot);
    const int value = SteppedPotValue(box->text(), m_stepDirection);
    box->setText(QString::number(value));
    // Ten steps a second; a step that came late by a whole interval is not caught up on.
    const qint64 now = modData().clock->elapsedMs();
    m_nextStepMs += StepIntervalMs;
    if (m_nextStepMs <= now)
        m_nextStepMs = now + StepIntervalMs;
    SendCommand(PotStepText(SelectedPot, value), true);
}

void CalibrationPanel::holdTick()
{
    if (!KeyHeld || m_stepDirection == 0 || SelectedPot < 0) {
        tmrHold.stop();
        return;
    }
    // A key held on a step button is released into whatever took the keyboard meanwhile (a
    // menu, another window), and the button never hears of it: the hold ends there, or the
    // potentiometer would run on by itself.
    if (QApplication::activePopupWidget() || (m_heldInActiveWindow && !isActiveWindow())) {
        for (QPushButton *b : {cmdUp, cmdDn})
            b->setDown(false);
        cmdUpDn_MouseUp();
        return;
    }
    if (!m_awaitingReply && modData().clock->elapsedMs() >= m_nextStepMs)
        step();
}

void CalibrationPanel::cmdUpDn_MouseUp()
{
    KeyHeld = false;
    m_stepDirection = 0;
    tmrHold.stop();
}

void CalibrationPanel::stopPanelTimers()
{
    // A switch or a close ends a hold: no step is sent after the panel has gone.
    cmdUpDn_MouseUp();
}

// ---------------------------------------------------------------------------------------------

void RegisterCalibrationPanel()
{
    RegisterPanel(PanelId::Calibration, [] { return new CalibrationPanel; });
}

} // namespace zop
