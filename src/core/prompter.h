#pragma once
// Message boxes go through one prompter so that tests can record what would have been shown
// and answer it. The real one (src/ui/messageprompter) shows a QMessageBox.

#include <QString>

namespace zop {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MsgAnswer Show(const QString &text, const QString &title, MsgIcon icon,
                           MsgButtons buttons) = 0;
    // The same box with `details` under the text (its informative text). A prompter without
    // a place for details shows the text alone.
    virtual MsgAnswer ShowWithDetails(const QString &text, const QString &details,
                                      const QString &title, MsgIcon icon, MsgButtons buttons)
    {
        Q_UNUSED(details);
        return Show(text, title, icon, buttons);
    }
};

// Used where no screen exists (command-line runs, core tests that do not care): writes the
// message to standard error and gives the first answer of the buttons.
class ConsolePrompter : public Prompter {
public:
    MsgAnswer Show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    MsgAnswer ShowWithDetails(const QString &text, const QString &details, const QString &title,
                              MsgIcon icon, MsgButtons buttons) override;
};

} // namespace zop
