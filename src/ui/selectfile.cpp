#include "ui/selectfile.h"

#include "app/usersettings.h"
#include "core/apptitle.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QStringList>

namespace zop {

namespace {
std::shared_ptr<FileChooser> &Chooser()
{
    static std::shared_ptr<FileChooser> chooser = std::make_shared<DialogFileChooser>();
    return chooser;
}
} // namespace

QString DialogFileChooser::choose(const FileRequest &request)
{
    QPointer<QFileDialog> dialog = new QFileDialog(request.parent, request.title, request.folder,
                                                   request.qtFilter);
    dialog->setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog->setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.recentFiles.isEmpty()) {
        // The recent files' folders beside the usual places; the newest file selected.
        QList<QUrl> places = dialog->sidebarUrls();
        for (const QString &file : request.recentFiles) {
            const QUrl folder = QUrl::fromLocalFile(QFileInfo(file).absolutePath());
            if (!places.contains(folder))
                places << folder;
        }
        dialog->setSidebarUrls(places);
        dialog->selectFile(request.recentFiles.first());
    }
    // The dialog dies with its parent if that goes away while it is open.
    const bool chosen = dialog->exec() == QDialog::Accepted && dialog;
    const QString path = chosen && !dialog->selectedFiles().isEmpty()
        ? dialog->selectedFiles().first()
        : QString();
    delete dialog.data();
    return path;
}

void SetFileChooser(std::shared_ptr<FileChooser> chooser)
{
    Chooser() = chooser ? std::move(chooser) : std::make_shared<DialogFileChooser>();
}

FileChooser &CurrentFileChooser() { return *Chooser(); }

QString FileDialogFilter(const QString &description, const QString &pattern)
{
    return description + QStringLiteral(" (") + pattern + QStringLiteral(")|") + pattern
         + QStringLiteral("|All Files (*.*)|*.*");
}

QString QtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        names << parts.at(i);
    return names.join(QStringLiteral(";;"));
}

namespace {
QString AsReturned(const QString &chosen)
{
#ifdef Q_OS_WIN
    // Only the name: the folders are kept as the dialog gave them.
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    return chosen.left(slash + 1) + chosen.mid(slash + 1).toLower();
#else
    return chosen;
#endif
}
} // namespace

QString ChooseRemembered(FileRequest request, const QString &pattern)
{
    UserSettings &settings = Prefs();
    const QString lastFolder = settings.lastFolder(pattern);
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        request.folder = lastFolder;
    for (const QString &file : settings.recentFiles(pattern)) {
        if (QFileInfo(file).isFile())
            request.recentFiles << file;
    }
    // Keep the chooser alive for the whole call even if a handler swaps it meanwhile.
    const std::shared_ptr<FileChooser> chooser = Chooser();
    const QString chosen = chooser->choose(request);
    if (!chosen.isEmpty())
        Prefs().noteFileChosen(pattern, chosen);
    return chosen;
}

QString SelectFile(QWidget *parent, const QString &title, const QString &initialFolder,
                   const QString &description, const QString &pattern, const QString &mode)
{
    FileRequest request;
    request.parent = parent;
    request.title = ApplicationTitle + QStringLiteral(" - ") + title;
    request.folder = initialFolder;
    request.filter = FileDialogFilter(description, pattern);
    request.qtFilter = QtFileFilter(request.filter);
    request.open = mode == QLatin1String("open");
    try {
        const QString chosen = ChooseRemembered(request, pattern);
        return chosen.isEmpty() ? QString() : AsReturned(chosen);
    } catch (...) {
        return QString();
    }
}

} // namespace zop
