#pragma once
// The Sequence view of a virtual panel: hidden until View > Sequence shows it. It opens a
// sequence file, lists its steps, starts, pauses, resumes and stops it with the running step
// highlighted and the time left shown, turns the log file on and off (its name shown) and
// lists the events. Every decision is the SequenceControl's (engine/sequencecontrol.h); the
// view only shows it and forwards the buttons.

#include <QFrame>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace zop {

class SequenceControl;
struct LogEvent;

class SequenceView : public QWidget {
    Q_OBJECT
public:
    explicit SequenceView(SequenceControl &control, QWidget *parent = nullptr);

    QPushButton *cmdOpen = nullptr;
    QLabel *lblFile = nullptr;
    QTableWidget *tblSteps = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdPause = nullptr; // "Pause", "Resume" while paused
    QPushButton *cmdStopRun = nullptr;
    QLabel *lblState = nullptr; // the step and time left, or why Start cannot be pressed
    QCheckBox *chkLog = nullptr;
    QLabel *lblLogFile = nullptr;
    QPushButton *cmdEvents = nullptr; // opens and closes the event list
    QListWidget *lstEvents = nullptr;

    // The controls in reading order, for the panel's tab order.
    QList<QWidget *> tabOrder() const;
    // Beside the panel: a column wide enough for the steps and the state.
    QSize sizeHint() const override { return {440, QWidget::sizeHint().height()}; }
    // Brings the state up to date (the step, the time left, the buttons).
    void refresh();
    // Opens the event list and gives it the focus.
    void showEvents();

private:
    void openFile();
    void start();
    void pauseOrResume();
    void logToggled(bool on);
    void fillSteps();
    void addEvent(const LogEvent &event);

    SequenceControl &m_control;
    QString m_filledFrom; // the file whose steps the table shows
    int m_shownStep = -2;
};

// The banner of a protection trip over the panel: told at once, since a message box would
// hold up the poll. "Events" opens the event list, "Dismiss" hides the banner (the event
// stays listed).
class TripNotice : public QFrame {
    Q_OBJECT
public:
    explicit TripNotice(SequenceControl &control, QWidget *parent = nullptr);

    QLabel *lblNotice = nullptr;

signals:
    void eventsWanted();
};

} // namespace zop
