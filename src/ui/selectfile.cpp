#include "ui/selectfile.h"

#include "core/apptitle.h"

#include <QFileDialog>
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
    // The static dialogs guard themselves against the parent going away while they are open.
    return request.open
        ? QFileDialog::getOpenFileName(request.parent, request.title, request.folder,
                                       request.qtFilter)
        : QFileDialog::getSaveFileName(request.parent, request.title, request.folder,
                                       request.qtFilter);
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
    // Keep the chooser alive for the whole call even if a handler swaps it meanwhile.
    const std::shared_ptr<FileChooser> chooser = Chooser();
    try {
        const QString chosen = chooser->choose(request);
        return chosen.isEmpty() ? QString() : AsReturned(chosen);
    } catch (...) {
        return QString();
    }
}

} // namespace zop
