// What the service panels make of a reply or an entry: the Register Panel's register value,
// its three result forms and lamps, the entries of a register write; the Command Panel's data
// box after a Get and the text a Set sends.

#include "fuzzinput.h"
#include "panels/service/commandrows.h"
#include "panels/service/registerformat.h"

using namespace zop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));

    const qint32 value = RegisterValue(text);
    if (value < 0)
        fuzz::Fail("a register value is never negative");
    for (bool wide : {false, true}) {
        const RegisterResults r = FormatRegisterResults(value, wide);
        if (FormatBinaryGroups(value, wide).size() != (wide ? 19 : 9))
            fuzz::Fail("binary groups have a fixed width");
        if (r.decimal.toLongLong() != value)
            fuzz::Fail("the decimal result reads back as the value");
        for (int bit = 0; bit < (wide ? 16 : 8); ++bit)
            BitIsSet(value, bit);
    }
    if (FormatHexBytes(value).size() != 5)
        fuzz::Fail("hexadecimal bytes are two groups of two");

    bool fits = false;
    const qint32 binary = ParseBinaryText(text, &fits);
    if (!fits && binary != 0)
        fuzz::Fail("a binary entry beyond 32 bits gives 0");
    for (EntryFormat format : {EntryFormat::Decimal, EntryFormat::Hex, EntryFormat::Binary}) {
        const std::optional<QString> sent = EnableValueText(text, format);
        if (sent && format != EntryFormat::Decimal) {
            bool ok = false;
            sent->toLongLong(&ok);
            if (!ok)
                fuzz::Fail("a hexadecimal or binary entry is written as a decimal number");
        }
    }

    const QString shown = DataFromReply(text);
    if (shown.contains(QLatin1Char('\r')) || shown.contains(QLatin1Char('\n')))
        fuzz::Fail("the data box holds no line ends");
    for (const CommandRow &row : CommandRows())
        SetText(row, QStringLiteral("VOLT"), shown);
    return 0;
}
