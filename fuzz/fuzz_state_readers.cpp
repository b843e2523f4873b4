// The instrument state readers against any replies: the parts of the input answer "<>SCL",
// "<>ALL", "SYST:VERS?", "SYST:ERR?" and "<>POT" in turn on a scripted TCP/IP link (a missing
// part is no answer, so the reader times out on the manual clock at once).

#include "fuzzinput.h"
#include "link/commlayer.h"
#include "engine/instrumentstate.h"
#include "testsupport.h"

using namespace zop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static test::Fixture *fixture = new test::Fixture; // for the whole run
    const QList<QByteArray> parts = fuzz::Parts(data, size);
    test::ScriptedLine &line = *fixture->line;
    line.replies.clear();
    line.pending.clear();
    line.written.clear();
    fixture->prompter->shown.clear();
    const char *queries[] = {"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?", "<>POT"};
    for (qsizetype i = 0; i < qsizetype(std::size(queries)) && i < parts.size(); ++i)
        line.answer(QString::fromLatin1(queries[i]), parts[i]);

    ModData &state = modData();
    state.CommKind = 2;
    if (!OpenLink())
        fuzz::Fail("the scripted link opens");
    RefreshInstrumentState();
    ReadPots();
    modData().debugLog.empty(); // time-out records would fill the disk over millions of runs

    // The ratings and their formats are stored together or not at all.
    if (state.VoltageFormat != FormatForRating(state.Ratings.VoltMax)
        || state.CurrentFormat != FormatForRating(state.Ratings.CurrMax))
        fuzz::Fail("display formats follow the ratings");
    if (!(state.Ratings.VoltMax == state.RatingsBackup.VoltMax
          && state.Ratings.CurrHigh == state.RatingsBackup.CurrHigh))
        fuzz::Fail("ratings and their copy agree");
    return 0;
}
