#pragma once
#include "core/prompter.h"

class QWidget;

namespace zop {

// Shows the program's messages in a QMessageBox, always as plain text.
class MessagePrompter : public Prompter {
public:
    MsgAnswer Show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    MsgAnswer ShowWithDetails(const QString &text, const QString &details, const QString &title,
                              MsgIcon icon, MsgButtons buttons) override;
};

} // namespace zop
