// The emulator's command language on any bytes: the parts of the input arrive as chunks of a
// TCP connection 100 ms apart, and all of it as one RS-485 line at both speeds.

#include "clock.h"
#include "fuzzinput.h"
#include "instrument.h"
#include "lineassembler.h"
#include "powersupply.h"
#include "rs485.h"
#include "session.h"

using namespace zopsim;

namespace {
// Whatever the commands, the link never holds more than one line's worth of unread bytes,
// and no reply is longer than a line could ask for.
void CheckActions(const QList<LinkAction> &actions)
{
    for (const LinkAction &a : actions) {
        if (a.bytes.size() > 4 * Instrument::MaxLineLength)
            zop::fuzz::Fail("replies stay bounded");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = zop::fuzz::Parts(data, size);
    {
        ManualClock clock;
        PowerSupply supply({}, clock);
        Instrument instrument(supply);
        Session session(instrument, nullptr);
        for (const QByteArray &part : parts) {
            CheckActions(session.receive(part));
            if (session.pendingBytes() > Instrument::MaxLineLength)
                zop::fuzz::Fail("an unfinished line stays within the limit");
            clock.advance(100);
        }
    }
    {
        ManualClock clock;
        PowerSupply supply({}, clock);
        Instrument instrument(supply);
        Rs485Station station(instrument, nullptr, 5);
        bool slow = false;
        for (const QByteArray &part : parts) {
            CheckActions(station.receive(part, slow ? Rs485Station::SelectBaud : Rs485Station::LineBaud));
            station.takeNotes();
            slow = !slow;
            clock.advance(100);
        }
    }
    return 0;
}
