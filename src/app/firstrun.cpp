#include "app/firstrun.h"

#include "link/linkkind.h"
#include "core/apptitle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zop {

bool ShouldOfferLinkSetup(const FirstStart &start)
{
    return start.settingsJustMade && start.configuredLink == LinkKind::Simulated
        && !start.askedBefore;
}

void NoteLinkSetupDue(const QString &userFolder)
{
    QSaveFile note(QDir(userFolder).filePath(LinkSetupDueFile));
    if (note.open(QIODevice::WriteOnly)) {
        note.write("ZOP_Panel.ini made from the shipped defaults: the panel asks about the link\n");
        note.commit();
    }
}

bool LinkSetupDue(const QString &userFolder)
{
    return QFileInfo::exists(QDir(userFolder).filePath(LinkSetupDueFile));
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
    QFile::remove(QDir(userFolder).filePath(LinkSetupDueFile));
    return yes;
}

} // namespace zop
