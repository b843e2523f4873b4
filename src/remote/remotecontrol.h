#pragma once
// Remote control for test harnesses and soak runs: a local socket on which a client drives the
// running program as a user would and reads back what the screen shows, so a process that runs
// without a visible screen can be checked from outside. One command a line, one JSON line back:
//   state          {"link":..., "panel":..., "windows":[names], "boxes":[{"title","text"}]}
//   text NAME      {"text":...} of the widget NAME in the current window (label, entry, key)
//   press NAME     clicks the key NAME, or triggers the menu entry NAME, once the reply is sent
//   keys           {"keys":[names]} of the keys a user could press in the current window
//   dismiss        answers every open message box with its default button and cancels
//                  every other dialog
//   answer BUTTON  clicks the button BUTTON ("Yes", "No", "OK") of every open message box
//   hold NAME      presses the key NAME and keeps it down (UP, DN, CLEAR, DISPLAY, CAL)
//   release NAME   lets the key NAME go again (no click follows)
//   turn NAME N    turns the knob NAME by N steps (negative: down), as N arrow keys do, and
//                  ends the turn
//   type NAME TEXT types TEXT into the entry NAME, one key at a time
//   choose PATH    every file dialog from then on answers PATH without showing; no PATH puts
//                  the real dialog back
//   advance MS     moves the program's clock on by MS milliseconds (only with the stepped
//                  clock: useSteppedClock), so a 60 s time-out passes at once
// Anything else answers {"error":...}. A reply comes only while the window thread runs, so a
// reply within a second is itself proof that the window answers.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace zop {

class RemoteControl : public QObject {
    Q_OBJECT
public:
    explicit RemoteControl(QObject *parent = nullptr);
    // Listens on the local socket `path`: an absolute path as given, a relative one in the
    // user's runtime folder ($XDG_RUNTIME_DIR). A socket left there by an earlier run is
    // replaced; anything else at that path is refused. False with the reason in errorString()
    // when it cannot. The socket is removed when the control is destroyed (at the program's
    // end, also after SIGTERM).
    bool listen(const QString &path);
    // Where listen() puts the socket for `path`; empty when there is no runtime folder.
    static QString SocketPath(const QString &path);
    QString errorString() const { return m_error; }
    // Gives the program a clock that runs as the real one plus what "advance" adds.
    void useSteppedClock();

    // The reply to one command line, without its line end.
    QByteArray handle(const QByteArray &line);

private:
    void readFrom(QLocalSocket *client);

    QLocalServer *m_server = nullptr;
    QString m_error;
    std::shared_ptr<class SteppedClock> m_clock;
};

} // namespace zop
