#pragma once
// The first start of an installed panel. Its settings have just been made from the shipped
// defaults, whose link is Simulated: without a word the panels would show no instrument. So
// the panel asks once whether to set up the link now (Yes opens the Configuration Setup
// dialog). The per-user folder remembers that it asked; "ZOP_Panel.ini" is not touched, and a
// panel whose settings were already there is never asked.

#include "app/prompter.h"

#include <QString>

namespace zop {

inline const QString FirstStartQuestion = QStringLiteral(
    "The link to the instrument is set to Simulated: the panels show no instrument.\r\n"
    "Set up the link to your instrument now?");
// The file in the per-user folder that says the question was asked.
inline const QString LinkSetupOfferedFile = QStringLiteral("link-setup-offered");

struct FirstStart {
    // "ZOP_Panel.ini" was made from the shipped defaults at this start (an installed panel
    // without --dir whose per-user folder lacked it).
    bool settingsJustMade = false;
    // The link kind the file configures (not a fall-back's Simulated).
    qint16 configuredLink = 0;
    // The per-user folder remembers the question (a file made again later asks nothing).
    bool askedBefore = false;
};

bool ShouldOfferLinkSetup(const FirstStart &start);

// Whether `userFolder` remembers the question.
bool LinkSetupOffered(const QString &userFolder);

// Asks (title the application's, Yes/No), remembers in `userFolder` that it asked whatever the
// answer, and returns true for Yes.
bool OfferLinkSetup(Prompter &prompter, const QString &userFolder);

} // namespace zop
