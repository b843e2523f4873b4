#include "app/usersettings.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "app/setupentries.h"
#include "link/commlayer.h"
#include "link/linkkind.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace zop {

namespace {
// "*.modTable" -> "modTable": a key name QSettings keeps as it is.
QString PatternKey(const QString &pattern)
{
    QString key;
    for (const QChar c : pattern) {
        if (c.isLetterOrNumber())
            key += c;
    }
    return QStringLiteral("Files/") + (key.isEmpty() ? QStringLiteral("any") : key);
}

QStringList TextList(const QVariant &value)
{
    QStringList lines;
    for (const QString &line : value.toStringList()) {
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}
} // namespace

UserSettings::UserSettings(const QString &path) : m_path(path)
{
    if (path.isEmpty())
        return;
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    m_settings->setFallbacksEnabled(false);
    const QFileInfo file(path);
    if (file.exists() && (!file.isFile() || !file.isReadable()))
        note(QStringLiteral("User settings: %1 cannot be read; the defaults are used")
                 .arg(QDir::toNativeSeparators(path)));
    else if (m_settings->status() != QSettings::NoError)
        note(QStringLiteral("User settings: %1 is damaged; the defaults are used where it cannot "
                            "be read")
                 .arg(QDir::toNativeSeparators(path)));
}

UserSettings::~UserSettings() = default;

void UserSettings::note(const QString &text)
{
    // One line a run says it; the user can do nothing more with a second.
    if (m_noted)
        return;
    m_noted = true;
    if (m_writeNotesAtOnce)
        modData().debugLog.appendRecord(text);
    else
        m_notes << text;
}

void UserSettings::writeNotes()
{
    m_writeNotesAtOnce = true;
    for (const QString &text : std::as_const(m_notes))
        modData().debugLog.appendRecord(text);
    m_notes.clear();
}

QVariant UserSettings::value(const QString &key) const
{
    return m_settings ? m_settings->value(key) : QVariant();
}

void UserSettings::store(const QString &key, const QVariant &value)
{
    if (!m_settings)
        return;
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() == QSettings::AccessError) {
        note(QStringLiteral("User settings: %1 cannot be written; what was changed is kept "
                            "until the program ends")
                 .arg(QDir::toNativeSeparators(m_path)));
    }
}

QStringList UserSettings::consoleHistory() const
{
    return TextList(value(QStringLiteral("Console/History")));
}

void UserSettings::setConsoleHistory(const QStringList &lines)
{
    store(QStringLiteral("Console/History"), lines);
}

bool UserSettings::consoleCheckErrors() const
{
    return value(QStringLiteral("Console/CheckErrors")).toString() == QLatin1String("true");
}

void UserSettings::setConsoleCheckErrors(bool on)
{
    store(QStringLiteral("Console/CheckErrors"), on ? QStringLiteral("true") : QStringLiteral("false"));
}

std::optional<QRect> UserSettings::windowGeometry(const QString &formName) const
{
    // "x y width height", whole numbers; anything else is no remembered place.
    const QStringList parts = value(QStringLiteral("Windows/") + formName)
                                  .toString()
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).toInt(&ok);
        if (!ok || qAbs(numbers[i]) > 100000)
            return std::nullopt;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0)
        return std::nullopt;
    return QRect(numbers[0], numbers[1], numbers[2], numbers[3]);
}

void UserSettings::setWindowGeometry(const QString &formName, const QRect &geometry)
{
    store(QStringLiteral("Windows/") + formName, QStringLiteral("%1 %2 %3 %4")
                                                     .arg(geometry.x())
                                                     .arg(geometry.y())
                                                     .arg(geometry.width())
                                                     .arg(geometry.height()));
}

QString UserSettings::lastFolder(const QString &pattern) const
{
    return value(PatternKey(pattern) + QStringLiteral("/Folder")).toString();
}

QStringList UserSettings::recentFiles(const QString &pattern) const
{
    return TextList(value(PatternKey(pattern) + QStringLiteral("/Recent")))
        .mid(0, MaxRecentFiles);
}

void UserSettings::noteFileChosen(const QString &pattern, const QString &path)
{
    if (path.isEmpty())
        return;
    const QString whole = QFileInfo(path).absoluteFilePath();
    QStringList recent = recentFiles(pattern);
    recent.removeAll(whole);
    recent.prepend(whole);
    store(PatternKey(pattern) + QStringLiteral("/Folder"), QFileInfo(whole).absolutePath());
    store(PatternKey(pattern) + QStringLiteral("/Recent"), recent.mid(0, MaxRecentFiles));
}

QList<RecentLink> UserSettings::recentLinks() const
{
    // Each link is one list of five texts under its position.
    QList<RecentLink> links;
    for (int i = 0; i < MaxRecentLinks; ++i) {
        const QStringList fields = value(QStringLiteral("RecentLinks/%1").arg(i)).toStringList();
        if (fields.size() != 5 || fields.at(0).isEmpty() || fields.at(1).isEmpty())
            continue;
        links << RecentLink{fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4)};
    }
    return links;
}

void UserSettings::noteLinkOpened(const RecentLink &link)
{
    QList<RecentLink> links = recentLinks();
    links.removeIf([&link](const RecentLink &l) { return l.name == link.name; });
    links.prepend(link);
    for (int i = 0; i < MaxRecentLinks; ++i) {
        const QString key = QStringLiteral("RecentLinks/%1").arg(i);
        if (i < links.size()) {
            const RecentLink &l = links.at(i);
            store(key, QStringList{l.name, l.comm, l.address, l.port, l.device});
        } else if (m_settings) {
            m_settings->remove(key);
        }
    }
}

UserSettings &Prefs()
{
    static std::unique_ptr<UserSettings> settings;
    const QString folder = modData().ProgramFolder;
    const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(UserSettingsFileName);
    if (!settings || settings->path() != path)
        settings = std::make_unique<UserSettings>(path);
    return *settings;
}

// ---------------------------------------------------------------------------------------------

QRect FitWindowOnScreens(const QRect &saved, const QSize &minimum, const QList<QRect> &screens)
{
    if (screens.isEmpty())
        return QRect(saved.topLeft(), saved.size().expandedTo(minimum));
    QRect screen = screens.first();
    qint64 most = 0;
    for (const QRect &s : screens) {
        const QRect common = s.intersected(saved);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            screen = s;
        }
    }
    const QSize size = saved.size().boundedTo(screen.size()).expandedTo(minimum);
    const int x = qMax(screen.left(), qMin(saved.x(), screen.left() + screen.width() - size.width()));
    const int y = qMax(screen.top(), qMin(saved.y(), screen.top() + screen.height() - size.height()));
    return QRect(QPoint(x, y), size);
}

std::optional<RecentLink> LinkInUseAsRecent()
{
    const ModData &data = modData();
    const qint16 kind = data.CommKind;
    if (kind < LinkKind::Gpib || kind > LinkKind::Rs485Framed || kind >= data.CommList.size())
        return std::nullopt;
    if (Comm().Status().state != LinkState::Live)
        return std::nullopt;
    QString address = data.CommAddress;
    QString port = QString::number(data.CommPort);
    if (!CheckLinkEntries(kind, address, port).isEmpty())
        return std::nullopt;
    return RecentLink{Comm().LinkInUse(), data.CommList.at(kind), address, port,
                      IsSerialKind(kind) ? data.CommDevice : QString()};
}

void RememberLinkInUse()
{
    if (const std::optional<RecentLink> link = LinkInUseAsRecent())
        Prefs().noteLinkOpened(*link);
}

QString WriteRecentLink(const RecentLink &link, bool *dataError)
{
    const ModData &data = modData();
    const auto refuse = [dataError](const QString &text, bool isDataError) {
        if (dataError)
            *dataError = isDataError;
        return text;
    };
    const qint16 kind = IndexInList(data.CommList, link.comm);
    QString address = link.address;
    QString port = link.port;
    QString problem = kind == NotInList ? SetupText::CheckBus : CheckLinkEntries(kind, address, port);
    if (!problem.isEmpty())
        return refuse(problem, true);
    const QString startup = data.FormList.value(data.StartupPanel);
    const QString system = data.SystList.value(data.SystemType);
    if (startup.size() < MinSetupNameLength)
        return refuse(SetupText::CheckStartup, true);
    if (system.size() < MinSetupNameLength)
        return refuse(SetupText::CheckSystem, true);
    QString why;
    if (!WriteConfiguration(startup, data.CommList.at(kind), address, port, system,
                            DeviceKeyFor(kind, link.device), &why))
        return refuse(why.isEmpty() ? QStringLiteral("the file cannot be written") : why, false);
    ReadConfiguration();
    return QString();
}

} // namespace zop
