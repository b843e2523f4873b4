#pragma once
// The program's own file dialog, answered as a user would: puts the real chooser back in
// place (a QFileDialog, the Qt one on the offscreen platform), and while this object lives,
// each time such a dialog comes up the path is typed into its file name box and the dialog
// accepted. For an open dialog the file must exist, as it must for a user.

#include "ui/selectfile.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

namespace zop::test {

class FileDialogAnswer {
public:
    explicit FileDialogAnswer(QString path) : m_path(std::move(path))
    {
        SetFileChooser(nullptr);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start();
    }
    ~FileDialogAnswer() { m_timer.stop(); }

    // What the dialogs showed: "open"/"save" and the title, one entry per dialog; and the
    // file types offered by the last one ("Text Files (*.txt);;All Files (*.*)").
    QStringList shown;
    QString filters;

private:
    void answer()
    {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown << (dialog->acceptMode() == QFileDialog::AcceptOpen ? QStringLiteral("open ")
                                                                    : QStringLiteral("save "))
                     + dialog->windowTitle();
        filters = dialog->nameFilters().join(QStringLiteral(";;"));
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(m_path);
        else
            dialog->selectFile(m_path);
        static_cast<QDialog *>(dialog)->accept(); // as the Open or Save button does
    }

    QString m_path;
    QTimer m_timer;
};

} // namespace zop::test
