#include "remote/remotecontrol.h"

#include "core/clock.h"
#include "app/moddata.h"
#include "ui/knob.h"
#include "ui/selectfile.h"
#include "link/linkkind.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QKeyEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace zop {

namespace {

// The file dialog of "choose": answers with its path, shows nothing.
class AnsweringChooser : public FileChooser {
public:
    explicit AnsweringChooser(QString path) : m_path(std::move(path)) {}
    QString choose(const FileRequest &) override { return m_path; }

private:
    QString m_path;
};

// Commands are short; a client that sends more without a line end is not one of ours.
constexpr qsizetype MaxCommandLength = 4096;

QByteArray Reply(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray Error(const QString &why) { return Reply({{QStringLiteral("error"), why}}); }

QList<QDialog *> OpenDialogs()
{
    QList<QDialog *> dialogs;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible()
            && !qobject_cast<QMessageBox *>(w))
            dialogs << dialog;
    }
    return dialogs;
}

QList<QMessageBox *> OpenBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    }
    return boxes;
}

// The window a user would look at: the current panel, else the first visible window.
QWidget *CurrentWindow()
{
    if (auto *panel = qobject_cast<QWidget *>(modData().CurrentPanel.data()))
        return panel;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !qobject_cast<QMessageBox *>(w))
            return w;
    }
    return nullptr;
}

QString WidgetText(QObject *object)
{
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(object))
        return edit->text();
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->text();
    if (auto *text = qobject_cast<QTextEdit *>(object))
        return text->toPlainText();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(object))
        return plain->toPlainText();
    if (auto *widget = qobject_cast<QWidget *>(object))
        return widget->windowTitle();
    return QString();
}

} // namespace

// The real clock plus the time "advance" has added.
class SteppedClock : public SteadyClock {
public:
    qint64 elapsedMs() const override { return SteadyClock::elapsedMs() + m_added; }
    void advance(qint64 ms) { m_added += ms > 0 ? ms : 0; }

private:
    qint64 m_added = 0;
};

void RemoteControl::useSteppedClock()
{
    m_clock = std::make_shared<SteppedClock>();
    modData().clock = m_clock;
}

RemoteControl::RemoteControl(QObject *parent) : QObject(parent) {}

QString RemoteControl::SocketPath(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    // Not the shared /tmp, where another account could have put something in its place.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(path);
}

bool RemoteControl::listen(const QString &given)
{
    const QString path = SocketPath(given);
    if (path.isEmpty()) {
        m_error = QStringLiteral("no folder for the socket %1 (XDG_RUNTIME_DIR)").arg(given);
        return false;
    }
#ifdef Q_OS_UNIX
    // Only a socket left by an earlier run is replaced: a mistyped path must not cost the user
    // the file that stands there.
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0) {
        if (!S_ISSOCK(status.st_mode)) {
            m_error = QStringLiteral("%1 exists and is not a socket").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
#else
    QLocalServer::removeServer(path);
#endif
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        m_error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readFrom(client); });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}

void RemoteControl::readFrom(QLocalSocket *client)
{
    while (client->canReadLine()) {
        const QByteArray line = client->readLine().trimmed();
        client->write(handle(line) + '\n');
    }
    if (client->bytesAvailable() > MaxCommandLength)
        client->abort();
}

QByteArray RemoteControl::handle(const QByteArray &line)
{
    const qsizetype blank = line.indexOf(' ');
    const QByteArray verb = blank < 0 ? line : line.left(blank);
    const QString name = blank < 0 ? QString() : QString::fromUtf8(line.mid(blank + 1)).trimmed();

    if (verb == "state") {
        QJsonArray windows;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && !qobject_cast<QMessageBox *>(w))
                windows << w->objectName();
        }
        QJsonArray boxes;
        for (QMessageBox *box : OpenBoxes())
            boxes << QJsonObject{{QStringLiteral("title"), box->windowTitle()},
                                 {QStringLiteral("text"), box->text()}};
        QObject *panel = modData().CurrentPanel.data();
        return Reply({{QStringLiteral("link"), LinkLogName(modData().CommKind).trimmed()},
                      {QStringLiteral("panel"), panel ? panel->objectName() : QString()},
                      {QStringLiteral("windows"), windows},
                      {QStringLiteral("boxes"), boxes}});
    }
    if (verb == "dismiss") {
        const QList<QMessageBox *> boxes = OpenBoxes();
        for (QMessageBox *box : boxes) {
            // Later: the box's own exec() must return before the next one can be answered.
            QTimer::singleShot(0, box, [box] {
                if (QAbstractButton *button = box->defaultButton())
                    button->click();
                else
                    box->reject();
            });
        }
        const QList<QDialog *> dialogs = OpenDialogs();
        for (QDialog *dialog : dialogs)
            QTimer::singleShot(0, dialog, &QDialog::reject);
        return Reply({{QStringLiteral("dismissed"), int(boxes.size() + dialogs.size())}});
    }
    if (verb == "answer") {
        int answered = 0;
        for (QMessageBox *box : OpenBoxes()) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text().remove(QLatin1Char('&')) != name)
                    continue;
                // Later, as for dismiss: the reply goes out before the box's exec() returns.
                QTimer::singleShot(0, button, &QAbstractButton::click);
                ++answered;
            }
        }
        return Reply({{QStringLiteral("answered"), answered}});
    }
    if (verb == "keys") {
        QJsonArray keys;
        if (QWidget *window = CurrentWindow()) {
            for (QAbstractButton *key : window->findChildren<QAbstractButton *>()) {
                if (key->isVisible() && key->isEnabled() && !key->objectName().isEmpty())
                    keys << key->objectName();
            }
        }
        return Reply({{QStringLiteral("keys"), keys}});
    }
    if (verb == "choose") {
        SetFileChooser(name.isEmpty() ? nullptr : std::make_shared<AnsweringChooser>(name));
        return Reply({{QStringLiteral("choosing"), name}});
    }
    if (verb == "advance") {
        bool ok = false;
        const qint64 ms = name.toLongLong(&ok);
        if (!m_clock || !ok || ms < 0)
            return Error(QStringLiteral("advance needs the stepped clock and a time in ms"));
        m_clock->advance(ms);
        return Reply({{QStringLiteral("advanced"), ms}});
    }
    static const QByteArray Verbs[] = {"text", "press", "hold", "release", "turn", "type"};
    if (std::find(std::begin(Verbs), std::end(Verbs), verb) == std::end(Verbs))
        return Error(QStringLiteral("unknown command"));
    if (name.isEmpty())
        return Error(QStringLiteral("a widget name is needed"));
    QWidget *window = CurrentWindow();
    if (!window)
        return Error(QStringLiteral("no window"));
    // turn and type carry an argument after the widget's name.
    const qsizetype space = name.indexOf(QLatin1Char(' '));
    const bool argued = verb == "turn" || verb == "type";
    const QString widgetName = argued && space > 0 ? name.left(space) : name;
    const QString argument = argued && space > 0 ? name.mid(space + 1) : QString();
    QObject *target = window->objectName() == widgetName ? window
                                                         : window->findChild<QObject *>(widgetName);
    if (!target)
        return Error(QStringLiteral("no %1 in %2").arg(widgetName, window->objectName()));
    if (verb == "text")
        return Reply({{QStringLiteral("text"), WidgetText(target)}});
    QPointer<QObject> held(target);
    if (verb == "hold" || verb == "release") {
        if (!qobject_cast<QAbstractButton *>(target))
            return Error(QStringLiteral("%1 is not a key").arg(name));
        const bool down = verb == "hold";
        QTimer::singleShot(0, this, [held, down] {
            auto *button = qobject_cast<QAbstractButton *>(held.data());
            if (!button || !button->isEnabled() || button->isDown() == down)
                return;
            button->setDown(down);
            if (down)
                emit button->pressed();
            else
                emit button->released();
        });
        return Reply({{verb == "hold" ? QStringLiteral("held") : QStringLiteral("released"), name}});
    }
    if (verb == "turn") {
        bool ok = false;
        const int steps = argument.toInt(&ok);
        if (!qobject_cast<Knob *>(target) || !ok)
            return Error(QStringLiteral("turn needs a knob and a number of steps"));
        QTimer::singleShot(0, this, [held, steps] {
            auto *knob = qobject_cast<Knob *>(held.data());
            if (!knob || !knob->isEnabled())
                return;
            const Qt::Key key = steps < 0 ? Qt::Key_Down : Qt::Key_Up;
            for (int i = 0; i < std::abs(steps) && held; ++i) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QCoreApplication::sendEvent(knob, &press);
            }
            if (held) {
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
                QCoreApplication::sendEvent(knob, &release);
            }
        });
        return Reply({{QStringLiteral("turned"), widgetName}});
    }
    if (verb == "type") {
        if (!qobject_cast<QLineEdit *>(target))
            return Error(QStringLiteral("%1 is not an entry").arg(widgetName));
        QTimer::singleShot(0, this, [held, argument] {
            for (QChar c : argument) {
                auto *edit = qobject_cast<QLineEdit *>(held.data());
                if (!edit || !edit->isEnabled())
                    return;
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QCoreApplication::sendEvent(edit, &press);
            }
        });
        return Reply({{QStringLiteral("typed"), widgetName}});
    }

    // A click may start an exchange or open a message box that waits: carry it out once this
    // reply is on its way, so the client is not kept waiting for the end of it.
    QPointer<QObject> guarded(target);
    if (qobject_cast<QAbstractButton *>(target) == nullptr && qobject_cast<QAction *>(target) == nullptr)
        return Error(QStringLiteral("%1 is not a key or a menu entry").arg(name));
    QTimer::singleShot(0, this, [guarded] {
        if (auto *button = qobject_cast<QAbstractButton *>(guarded.data()); button && button->isEnabled())
            button->click();
        else if (auto *action = qobject_cast<QAction *>(guarded.data()); action && action->isEnabled())
            action->trigger();
    });
    return Reply({{QStringLiteral("pressed"), name}});
}

} // namespace zop
