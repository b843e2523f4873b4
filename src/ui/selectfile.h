#pragma once
// The shared open/save file dialog. Every panel asks for file names through SelectFile, which
// goes through a replaceable FileChooser: the real one shows a QFileDialog, tests put in one
// that records what was asked and answers with a scripted name.

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace zop {

struct FileRequest {
    QWidget *parent = nullptr;
    QString title;      // "ZOP Panel - Select or Enter File"
    QString folder;     // initial folder
    QString filter;     // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*"
    QString qtFilter;   // the same for Qt: "Text Files (*.txt);;All Files (*.*)"
    bool open = false;  // open dialog; otherwise the save dialog
    QStringList recentFiles; // files of this kind chosen before, newest first, that still exist
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen path, or empty text when the user cancelled.
    virtual QString choose(const FileRequest &request) = 0;
};

// Shows a QFileDialog.
class DialogFileChooser : public FileChooser {
public:
    QString choose(const FileRequest &request) override;
};

// The chooser SelectFile uses; null puts the real one back.
void SetFileChooser(std::shared_ptr<FileChooser> chooser);
FileChooser &CurrentFileChooser();

// Asks the current chooser for a file of `pattern` ("*.hex"): the folder of the last file chosen
// with that pattern replaces the request's folder (while it exists), the recent files that still
// exist are offered, and the file chosen is remembered. Empty text when the user cancelled.
QString ChooseRemembered(FileRequest request, const QString &pattern);

// The dialog's filter: description + " (" + pattern + ")|" + pattern + "|All Files (*.*)|*.*".
QString FileDialogFilter(const QString &description, const QString &pattern);
// A filter of "name|pattern|name|pattern" pairs as Qt takes it: the names joined by ";;".
QString QtFileFilter(const QString &filter);

// The shared file dialog: title "ZOP Panel - " + title, the given initial folder (or the folder
// of the last file chosen with this pattern, kept in the user's settings) and filter; the dialog
// offers the recent files of this pattern (the newest is selected, their folders are in its
// side bar);
// mode "open" (exactly) shows the open dialog, anything else the save dialog. Returns the path
// exactly as chosen ("Logs/Session 1.txt" stays so: on a file system that tells cases apart a
// lowered name is another file), or empty text when the user cancelled. On Windows, whose
// file names do not tell cases apart, the file name part comes back in lower case, as the
// program has always given it there.
QString SelectFile(QWidget *parent, const QString &title, const QString &initialFolder,
                   const QString &description, const QString &pattern, const QString &mode);

} // namespace zop
