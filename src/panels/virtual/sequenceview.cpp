#include "panels/virtual/sequenceview.h"

#include "app/moddata.h"
#include "engine/sequencecontrol.h"
#include "ui/selectfile.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zop {

namespace {

QPushButton *Button(const QString &name, const QString &caption, const QString &tip, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption.endsWith(QStringLiteral("...")) ? caption.chopped(3) : caption);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QLabel *Text(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setProperty("caption", true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QString Duration(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    return s >= 60 ? QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'))
                   : QStringLiteral("%1 s").arg(s);
}

QString Describe(const SequenceStep &step)
{
    switch (step.kind) {
    case SequenceStep::Kind::Output:
        return step.outputOn ? QStringLiteral("output on") : QStringLiteral("output off");
    case SequenceStep::Kind::Wait: return QStringLiteral("wait");
    case SequenceStep::Kind::Setpoints: break;
    }
    QStringList parts;
    if (step.volts)
        parts << SetpointText(*step.volts) + QStringLiteral(" V");
    if (step.amps)
        parts << SetpointText(*step.amps) + QStringLiteral(" A");
    return parts.join(QStringLiteral(", "));
}

const QString FileTitle = QStringLiteral("Open Sequence");
const QString LogTitle = QStringLiteral("Log to File");

} // namespace

SequenceView::SequenceView(SequenceControl &control, QWidget *parent)
    : QWidget(parent), m_control(control)
{
    setObjectName(QStringLiteral("fraSequence"));
    setMinimumWidth(360);
    setMaximumWidth(560);
    cmdOpen = Button(QStringLiteral("cmdOpenSequence"), QStringLiteral("Open..."),
                     QStringLiteral("Open...: choose a sequence file; it is checked whole"), this);
    lblFile = Text(QStringLiteral("lblSequenceFile"), this);
    lblFile->setText(QStringLiteral("No sequence file"));
    tblSteps = new QTableWidget(0, 3, this);
    tblSteps->setObjectName(QStringLiteral("tblSteps"));
    tblSteps->setAccessibleName(QStringLiteral("Sequence steps"));
    tblSteps->setHorizontalHeaderLabels(
        {QStringLiteral("Line"), QStringLiteral("Step"), QStringLiteral("Lasts")});
    tblSteps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSteps->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSteps->setSelectionMode(QAbstractItemView::SingleSelection);
    tblSteps->verticalHeader()->hide();
    tblSteps->verticalHeader()->setDefaultSectionSize(tblSteps->fontMetrics().height() + 6);
    tblSteps->horizontalHeader()->setStretchLastSection(true);
    tblSteps->setMinimumHeight(110);
    cmdStart = Button(QStringLiteral("cmdStartSequence"), QStringLiteral("Start"),
                      QStringLiteral("Start: runs the sequence; the panel's keys are locked but STOP"),
                      this);
    cmdPause = Button(QStringLiteral("cmdPauseSequence"), QStringLiteral("Pause"),
                      QStringLiteral("Pause: holds the output as it is; Resume goes on"), this);
    cmdStopRun = Button(QStringLiteral("cmdStopSequence"), QStringLiteral("Stop"),
                        QStringLiteral("Stop: ends the run with the file's stop action (output off "
                                       "unless the file says hold)"),
                        this);
    lblState = Text(QStringLiteral("lblSequenceState"), this);
    lblState->setWordWrap(true);
    chkLog = new QCheckBox(QStringLiteral("Log to file"), this);
    chkLog->setObjectName(QStringLiteral("chkLog"));
    chkLog->setAccessibleName(QStringLiteral("Log to file"));
    chkLog->setToolTip(QStringLiteral("Log to file: a row per reading and every event, appended"));
    lblLogFile = Text(QStringLiteral("lblLogFile"), this);
    cmdEvents = Button(QStringLiteral("cmdEvents"), QStringLiteral("Events"),
                       QStringLiteral("Events: opens and closes the list of trips, alarms, link "
                                      "and sequence events"),
                       this);
    cmdEvents->setCheckable(true);
    lstEvents = new QListWidget(this);
    lstEvents->setObjectName(QStringLiteral("lstEvents"));
    lstEvents->setAccessibleName(QStringLiteral("Events"));
    lstEvents->setMinimumHeight(120);
    lstEvents->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(cmdOpen);
    fileRow->addWidget(lblFile, 1);
    layout->addLayout(fileRow);
    layout->addWidget(tblSteps, 1);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(cmdStart);
    runRow->addWidget(cmdPause);
    runRow->addWidget(cmdStopRun);
    runRow->addWidget(lblState, 1);
    layout->addLayout(runRow);
    auto *logRow = new QHBoxLayout;
    logRow->addWidget(chkLog);
    logRow->addWidget(lblLogFile, 1);
    logRow->addWidget(cmdEvents);
    layout->addLayout(logRow);
    layout->addWidget(lstEvents);

    connect(cmdOpen, &QPushButton::clicked, this, &SequenceView::openFile);
    connect(cmdStart, &QPushButton::clicked, this, &SequenceView::start);
    connect(cmdPause, &QPushButton::clicked, this, &SequenceView::pauseOrResume);
    connect(cmdStopRun, &QPushButton::clicked, this, [this] { m_control.stop(); });
    connect(chkLog, &QCheckBox::toggled, this, &SequenceView::logToggled);
    connect(cmdEvents, &QPushButton::toggled, lstEvents, &QWidget::setVisible);
    connect(&m_control, &SequenceControl::changed, this, &SequenceView::refresh);
    connect(&m_control, &SequenceControl::eventAdded, this, &SequenceView::addEvent);
    connect(&m_control, &SequenceControl::logFailed, this, [this](const QString &problem) {
        const QSignalBlocker block(chkLog);
        chkLog->setChecked(false);
        lblLogFile->setText(QStringLiteral("Logging stopped: ") + problem);
    });
    for (const LogEvent &event : m_control.events().events())
        addEvent(event);
    refresh();
}

void SequenceView::showEvents()
{
    cmdEvents->setChecked(true);
    lstEvents->setFocus();
}

QList<QWidget *> SequenceView::tabOrder() const
{
    return {cmdOpen, tblSteps, cmdStart, cmdPause, cmdStopRun, chkLog, cmdEvents, lstEvents};
}

void SequenceView::openFile()
{
    QPointer<SequenceView> self(this);
    const QString path = SelectFile(this, FileTitle, modData().ProgramFolder,
                                    QStringLiteral("Sequence Files"), QStringLiteral("*.seq"),
                                    QStringLiteral("open"));
    if (!self || path.isEmpty())
        return;
    QString problem;
    const bool opened = m_control.open(path, &problem);
    refresh();
    if (!opened)
        lblState->setText(QStringLiteral("%1 was not opened: %2").arg(QFileInfo(path).fileName(), problem));
}

void SequenceView::start()
{
    QString problem;
    if (!m_control.start(&problem))
        lblState->setText(problem);
}

void SequenceView::pauseOrResume()
{
    if (m_control.paused())
        m_control.resume();
    else
        m_control.pause();
}

void SequenceView::logToggled(bool on)
{
    if (!on) {
        m_control.closeLog();
        lblLogFile->setText(QString());
        return;
    }
    QPointer<SequenceView> self(this);
    QString path = SelectFile(this, LogTitle, modData().ProgramFolder, QStringLiteral("CSV Files"),
                              QStringLiteral("*.csv"), QString());
    if (!self)
        return;
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    QString problem;
    if (path.isEmpty() || !m_control.openLog(path, &problem)) {
        const QSignalBlocker block(chkLog);
        chkLog->setChecked(false);
        lblLogFile->setText(path.isEmpty() ? QString()
                                           : QStringLiteral("Not logging: ") + problem);
        return;
    }
    lblLogFile->setText(QDir::toNativeSeparators(path));
}

void SequenceView::fillSteps()
{
    const Sequence *sequence = m_control.sequence();
    m_filledFrom = m_control.fileName();
    tblSteps->setRowCount(0);
    if (!sequence)
        return;
    tblSteps->setRowCount(int(sequence->steps.size()));
    int row = 0;
    for (const SequenceStep &step : sequence->steps) {
        const QString texts[] = {QString::number(step.line), Describe(step),
                                 step.dwellMs ? Duration(step.dwellMs) : QString()};
        for (int column = 0; column < 3; ++column)
            tblSteps->setItem(row, column, new QTableWidgetItem(texts[column]));
        ++row;
    }
    tblSteps->resizeColumnsToContents();
    lblFile->setText(QStringLiteral("%1: %2 steps, %3")
                         .arg(QDir::toNativeSeparators(m_filledFrom))
                         .arg(sequence->steps.size())
                         .arg(Duration(sequence->totalMs())));
    m_shownStep = -2;
}

void SequenceView::refresh()
{
    if (m_filledFrom != m_control.fileName() || (m_control.sequence() && tblSteps->rowCount() == 0))
        fillSteps();
    const SequenceRunner *runner = m_control.runner();
    const bool running = m_control.running();
    const int step = running ? runner->currentStep() : -1;
    if (step != m_shownStep) {
        m_shownStep = step;
        if (step >= 0) {
            tblSteps->selectRow(step);
            tblSteps->scrollToItem(tblSteps->item(step, 0));
        } else {
            tblSteps->clearSelection();
        }
    }
    const QString refusal = m_control.startRefusal();
    cmdOpen->setEnabled(!running);
    cmdStart->setEnabled(refusal.isEmpty());
    cmdPause->setEnabled(running);
    cmdStopRun->setEnabled(running);
    cmdPause->setText(m_control.paused() ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    cmdPause->setAccessibleName(cmdPause->text());
    if (running) {
        lblState->setText(QStringLiteral("%1 step %2 of %3: %4 left in the step, %5 in all")
                              .arg(m_control.paused() ? QStringLiteral("Paused at")
                                                      : QStringLiteral("Running"))
                              .arg(step + 1)
                              .arg(runner->sequence().steps.size())
                              .arg(Duration(runner->stepRemainingMs()), Duration(runner->remainingMs())));
    } else if (runner && runner->state() == SequenceRunner::State::Ended) {
        lblState->setText(QStringLiteral("Ended: ") + runner->endMessage());
    } else {
        lblState->setText(refusal);
    }
}

void SequenceView::addEvent(const LogEvent &event)
{
    auto *item = new QListWidgetItem(
        QStringLiteral("%1  %2: %3")
            .arg(event.time.toString(QStringLiteral("HH:mm:ss")), EventKindName(event.kind), event.text),
        lstEvents);
    if (event.kind == EventKind::Trip || event.kind == EventKind::SequenceAbort)
        item->setForeground(QColor(QStringLiteral("#ff6b5e")));
    lstEvents->scrollToBottom();
    while (lstEvents->count() > EventLog::Kept)
        delete lstEvents->takeItem(0);
}

TripNotice::TripNotice(SequenceControl &control, QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("fraNotice"));
    setStyleSheet(QStringLiteral(
        "#fraNotice { background: #b3261e; border-radius: 5px; }"
        "#fraNotice QLabel { color: white; font-weight: bold; font-size: 14px; }"));
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setTextFormat(Qt::PlainText);
    lblNotice->setAccessibleName(QStringLiteral("Trip notice"));
    QPushButton *cmdNoticeEvents
        = Button(QStringLiteral("cmdNoticeEvents"), QStringLiteral("Events"),
                 QStringLiteral("Events: opens the Sequence view's event list"), this);
    cmdNoticeEvents->setAccessibleName(QStringLiteral("Show the events"));
    QPushButton *cmdNoticeClose
        = Button(QStringLiteral("cmdNoticeClose"), QStringLiteral("Dismiss"),
                 QStringLiteral("Dismiss: hides this notice (the event stays listed)"), this);
    cmdNoticeClose->setAccessibleName(QStringLiteral("Dismiss the trip notice"));
    auto *row = new QHBoxLayout(this);
    row->addWidget(lblNotice, 1);
    row->addWidget(cmdNoticeEvents);
    row->addWidget(cmdNoticeClose);
    hide();
    connect(cmdNoticeClose, &QPushButton::clicked, this, &QWidget::hide);
    connect(cmdNoticeEvents, &QPushButton::clicked, this, &TripNotice::eventsWanted);
    connect(&control, &SequenceControl::tripped, this, [this](const QString &notice) {
        lblNotice->setText(notice);
        show();
    });
}

} // namespace zop
