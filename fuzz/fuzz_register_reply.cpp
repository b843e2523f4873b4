// What the service panels make of a reply or an entry: the Register Panel's register value,
// its three result forms and lamps, the entries of a register write; the Command Panel's data
// box after a Get and the text a Set sends.

#include "fuzzinput.h"
#include "panels/service/commandrows.h"
#include "panels/service/registerformat.h"

#include <algorithm>

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

    // A binary entry reads as its digits, saturated at 32 bits; anything but 0, 1 and blanks
    // gives 0.
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const bool binaryOnly = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        return c == QLatin1Char('0') || c == QLatin1Char('1');
    });
    bool ok = false;
    const quint64 exact = digits.toULongLong(&ok, 2);
    const quint32 expected = !binaryOnly || digits.isEmpty() ? 0
                             : !ok || exact > 0xFFFFFFFFull ? 0xFFFFFFFFu
                                                            : quint32(exact);
    if (ParseBinaryText(text) != expected)
        fuzz::Fail("a binary entry reads as its digits, saturated at 32 bits");
    for (EntryFormat format : {EntryFormat::Hex, EntryFormat::Binary}) {
        EnableValueText(text, format).toULongLong(&ok);
        if (!ok)
            fuzz::Fail("a hexadecimal or binary entry is written as a decimal number");
    }
    if (EnableValueText(text, EntryFormat::Decimal) != text)
        fuzz::Fail("a decimal entry is written as typed");

    const QString shown = DataFromReply(text);
    if (shown.contains(QLatin1Char('\r')) || shown.contains(QLatin1Char('\n')))
        fuzz::Fail("the data box holds no line ends");
    for (const CommandRow &row : CommandRows())
        SetText(row, QStringLiteral("VOLT"), shown);
    return 0;
}
