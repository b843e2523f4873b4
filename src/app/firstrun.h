#pragma once
// The first start of an installed panel. Its settings have just been made from the shipped
// defaults, whose link is Simulated: without a word the panels would show no instrument. So
// the panel asks once whether to set up the link now (Yes opens the Configuration Setup
// dialog). Whoever makes the per-user settings from the shipped ones (the panel or zopctl)
// leaves a note there that the question is due; the panel that asks replaces it with a note
// that it asked. "ZOP_Panel.ini" is not touched, and settings that were there before (without
// the note) are never asked about.

#include "core/prompter.h"

#include <QString>

namespace zop {

inline const QString FirstStartQuestion = QStringLiteral(
    "The link to the instrument is set to Simulated: the panels show no instrument.\r\n"
    "Set up the link to your instrument now?");
// The files in the per-user folder that say the question is due, and that it was asked.
inline const QString LinkSetupDueFile = QStringLiteral("link-setup-due");
inline const QString LinkSetupOfferedFile = QStringLiteral("link-setup-offered");

struct FirstStart {
    // The panel runs on the per-user settings (installed, no --dir), and they were made from
    // the shipped defaults since the last question (LinkSetupDue).
    bool settingsJustMade = false;
    // The link kind the file configures (not a fall-back's Simulated).
    qint16 configuredLink = 0;
    // The per-user folder remembers the question (a file made again later asks nothing).
    bool askedBefore = false;
};

bool ShouldOfferLinkSetup(const FirstStart &start);

// Notes in `userFolder` that its settings were just made from the shipped defaults.
void NoteLinkSetupDue(const QString &userFolder);
// Whether `userFolder` holds that note.
bool LinkSetupDue(const QString &userFolder);
// Whether `userFolder` remembers the question.
bool LinkSetupOffered(const QString &userFolder);

// Asks (title the application's, Yes/No), remembers in `userFolder` that it asked whatever the
// answer (the note that it was due goes), and returns true for Yes.
bool OfferLinkSetup(Prompter &prompter, const QString &userFolder);

} // namespace zop
