#include "core/prompter.h"

#include <cstdio>

namespace zop {

MsgAnswer ConsolePrompter::Show(const QString &text, const QString &title, MsgIcon,
                                MsgButtons buttons)
{
    std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    default:
        return MsgAnswer::Ok;
    }
}

MsgAnswer ConsolePrompter::ShowWithDetails(const QString &text, const QString &details,
                                           const QString &title, MsgIcon icon,
                                           MsgButtons buttons)
{
    return Show(details.isEmpty() ? text : text + QLatin1Char('\n') + details, title, icon,
                buttons);
}

} // namespace zop
