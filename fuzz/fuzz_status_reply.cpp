// The "<>STA" poll reply as every series decodes it: fields, status words, lamps, readings in
// each display format, and the power state.

#include "cli/exitcodes.h"
#include "cli/statusdecode.h"
#include "fuzzinput.h"
#include "panels/virtual/panellogic.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"

using namespace zop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    // One format per run, chosen by the input, so every run costs the same.
    static const QString formats[] = {FormatForRating(5), FormatForRating(15), FormatForRating(100),
                                      FormatForRating(1000), FormatForRating(9000)};
    const QString &format = formats[size % std::size(formats)];
    try {
        for (qint32 field : PollFields(reply))
            UnpackBits(field);
    } catch (const DecodeError &) {
    }
    for (PanelId panel : {PanelId::GZ, PanelId::TLB, PanelId::KM, PanelId::TW}) {
        const SeriesSpec &spec = SeriesSpecFor(panel);
        for (bool defaults : {false, true}) {
            try {
                const cli::StatusReading r =
                    cli::DecodeStatus(reply, spec, Power::Standby, defaults, format, format);
                if (r.powerState != Power::Standby && r.powerState != Power::On
                    && r.powerState != Power::OnArmed)
                    fuzz::Fail("a known power state");
                if (r.voltageText.isEmpty() || r.currentText.isEmpty())
                    fuzz::Fail("readings are shown");
            } catch (const cli::Failure &) {
            }
        }
    }
    return 0;
}
