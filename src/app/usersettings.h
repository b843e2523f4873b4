#pragma once
// What the program remembers for its user between runs, apart from "ZOP_Panel.ini" (whose keys
// stay those of the configuration): each panel's window place and size, the last folder and the
// recent files of each kind of file dialog, the links that opened, the console's history and
// its "Check errors" choice.
//
// The file is "user-settings.ini" in the program folder: beside "ZOP_Panel.ini" (the per-user
// folder of an installed program, the build folder of a program run from its build tree, or
// --dir). A file that cannot be read or written never stops the program: it starts with
// defaults and notes the trouble in one line of "debug.txt".

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

namespace zop {

inline const QString UserSettingsFileName = QStringLiteral("user-settings.ini");

// A link that opened, as "Communication" > "Recent Links" offers it.
struct RecentLink {
    QString name;    // as the status line names it: "TCP/IP 127.0.0.1:50505"
    QString comm;    // the link's entry of the "Comm_List" ("TCP/IP")
    QString address; // as the Configuration Setup dialog writes them
    QString port;
    QString device;  // the "Device" key of a serial link; empty for a numbered port
    bool operator==(const RecentLink &) const = default;
};

class UserSettings {
public:
    static constexpr int MaxRecentLinks = 5;
    static constexpr int MaxRecentFiles = 8;

    // The settings kept in `path`; an empty path keeps nothing.
    explicit UserSettings(const QString &path);
    ~UserSettings();

    QString path() const { return m_path; }

    QStringList consoleHistory() const;
    void setConsoleHistory(const QStringList &lines);
    bool consoleCheckErrors() const;
    void setConsoleCheckErrors(bool on);

    // The window of a panel kind ("frmCommand", "frmTLB") as it was last closed.
    std::optional<QRect> windowGeometry(const QString &formName) const;
    void setWindowGeometry(const QString &formName, const QRect &geometry);

    // File dialogs, by the pattern they look for ("*.modTable", "*.hex", "*.txt").
    QString lastFolder(const QString &pattern) const;
    // Newest first.
    QStringList recentFiles(const QString &pattern) const;
    // A file chosen: its folder becomes the last one, the file the newest recent one.
    void noteFileChosen(const QString &pattern, const QString &path);

    // Newest first, at most MaxRecentLinks.
    QList<RecentLink> recentLinks() const;
    // A link opened: it becomes the newest (one already listed under its name moves up).
    void noteLinkOpened(const RecentLink &link);

    // The trouble met (a damaged or unwritable file; the first only), not yet written to
    // "debug.txt".
    QStringList pendingNotes() const { return m_notes; }
    // Writes them to "debug.txt"; from then on each new trouble is written when it happens.
    // (The start-up empties "debug.txt" at its end, so the first call comes after it.)
    void writeNotes();

private:
    void store(const QString &key, const QVariant &value);
    QVariant value(const QString &key) const;
    void note(const QString &text);

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    QStringList m_notes;
    bool m_writeNotesAtOnce = false;
    bool m_noted = false;
};

// The program's settings: those of the program folder now in use (made at first use, and again
// when the program folder changes, as tests do); nothing is kept while it has none.
UserSettings &Prefs();

// A window remembered at `saved` made to fit the screens (their available areas): never
// smaller than `minimum`, as large as saved where the screen allows, and on the screen that
// holds most of it (the first screen when none does), wholly when it fits.
QRect FitWindowOnScreens(const QRect &saved, const QSize &minimum, const QList<QRect> &screens);

// The link now in use as a recent link, when it is a real one that is live; none otherwise.
std::optional<RecentLink> LinkInUseAsRecent();
// Notes the link in use among the recent links when it is live (after an opening).
void RememberLinkInUse();

// Makes `link` the configured link as the Configuration Setup dialog's OK does: the file gets
// it (with the start-up panel and system type as configured now) and is read back. Returns
// empty text when it did; else the reason, which is the dialog's "Data Error" message (when
// `dataError` is set) or why the file could not be written (nothing is written either way).
QString WriteRecentLink(const RecentLink &link, bool *dataError = nullptr);

} // namespace zop
