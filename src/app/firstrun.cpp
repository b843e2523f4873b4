#include "app/firstrun.h"

#include "link/linkkind.h"
#include "ui/apptitle.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zop {

bool ShouldOfferLinkSetup(const FirstStart &start)
{
    return start.settingsJustMade && start.configuredLink == LinkKind::Simulated
        && !start.askedBefore;
}

bool LinkSetupOffered(const QString &userFolder)
{
    return QFileInfo::exists(QDir(userFolder).filePath(LinkSetupOfferedFile));
}

bool OfferLinkSetup(Prompter &prompter, const QString &userFolder)
{
    const bool yes = prompter.Show(FirstStartQuestion, ApplicationTitle, MsgIcon::Question,
                                   MsgButtons::YesNo)
                     == MsgAnswer::Yes;
    // Not remembered (a folder that cannot be written): the next first start asks again.
    QSaveFile mark(QDir(userFolder).filePath(LinkSetupOfferedFile));
    if (mark.open(QIODevice::WriteOnly)) {
        mark.write(yes ? "asked at the first start: set up the link\n"
                       : "asked at the first start: not now\n");
        mark.commit();
    }
    return yes;
}

} // namespace zop
