#include "loader/hexcheck.h"

#include "loader/hexrecords.h"

namespace zop {

namespace {

const QString StartAddressAdvice = QStringLiteral(
    " cannot be programmed: leave it out (objcopy --set-start 0, srec_cat "
    "-disable=exec-start-address, or delete the line)");

bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

QString Hex(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

QString CharacterText(QChar c)
{
    if (c.isPrint() && c != QLatin1Char(' '))
        return QStringLiteral("\"%1\"").arg(c);
    return QStringLiteral("the character 0x%1").arg(Hex(c.unicode(), 2));
}

// The fault of one record's form (not of its meaning), if any.
std::optional<QString> FormFault(const QString &line)
{
    if (line.at(0) != QLatin1Char(':'))
        return QStringLiteral("the line does not start with a colon (\":\"), so it is no Intel "
                              "HEX record");
    for (int i = 1; i < line.size(); ++i) {
        if (!IsHexDigit(line.at(i)))
            return QStringLiteral("%1 at column %2 is not a hexadecimal digit")
                .arg(CharacterText(line.at(i)))
                .arg(i + 1);
    }
    if (line.size() < 11)
        return QStringLiteral("a record has at least 11 characters, this line has %1")
            .arg(line.size());
    const int count = HexField(line, 2, 2);
    if (line.size() != 11 + 2 * count)
        return QStringLiteral("its byte count %1 (%2 data bytes) needs a line of %3 characters, "
                              "this one has %4")
            .arg(Hex(count, 2))
            .arg(count)
            .arg(11 + 2 * count)
            .arg(line.size());
    int sum = 0;
    for (int p = 2; p < line.size(); p += 2)
        sum += HexField(line, p, 2);
    if ((sum & 0xFF) != 0) {
        const int given = HexField(line, line.size() - 1, 2);
        return QStringLiteral("the record checksum is %1 but the record's bytes need %2: the "
                              "file is damaged")
            .arg(Hex(given, 2), Hex((given - sum) & 0xFF, 2));
    }
    return std::nullopt;
}

bool OnlyEmptyFrom(const QStringList &lines, qsizetype from)
{
    for (qsizetype i = from; i < lines.size(); ++i) {
        if (!lines.at(i).isEmpty())
            return false;
    }
    return true;
}

} // namespace

QString HexFault::text() const { return QStringLiteral("Line %1: %2").arg(line).arg(reason); }

std::optional<HexFault> CheckHexLines(const QStringList &lines)
{
    int page = 0;
    int endLine = 0; // of the end-of-file record, once found
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const auto fault = [i](const QString &reason) { return HexFault{i + 1, reason}; };
        if (endLine > 0) {
            if (!line.isEmpty())
                return fault(QStringLiteral("this line follows the end-of-file record of line "
                                            "%1 and would not be programmed")
                                 .arg(endLine));
            continue;
        }
        if (line.isEmpty()) {
            if (OnlyEmptyFrom(lines, i))
                break; // the end of the file, reported below
            return fault(QStringLiteral("an empty line where a record belongs"));
        }
        if (const auto form = FormFault(line))
            return fault(*form);
        const int count = HexField(line, 2, 2);
        switch (const int type = RecordType(line)) {
        case HexType::Data:
            if (page > 0xFF)
                return fault(QStringLiteral("data at 0x%1 lies beyond the 16 MiB the loader can "
                                            "address (page %2 does not fit in a byte)")
                                 .arg(Hex(page << 16 | HexField(line, 4, 4), 8), Hex(page, 4)));
            break;
        case HexType::EndOfFile:
            endLine = i + 1;
            break;
        case HexType::ExtendedLinear:
            if (count != 2)
                return fault(QStringLiteral("an extended linear address record (type 04) has 2 "
                                            "data bytes, this one has %1")
                                 .arg(count));
            page = RecordPage(line);
            break;
        case HexType::ExtendedSegment:
            return fault(QStringLiteral(
                "an extended segment address record (type 02) cannot be programmed: the loader "
                "takes extended linear address records (type 04); write the file with those, "
                "for example with srec_cat IN.hex -intel -o OUT.hex -intel"));
        case HexType::StartSegment:
            return fault(QStringLiteral("a start segment address record (type 03)")
                         + StartAddressAdvice);
        case HexType::StartLinear:
            return fault(QStringLiteral("a start linear address record (type 05)")
                         + StartAddressAdvice);
        default:
            return fault(QStringLiteral("record type %1 cannot be programmed (only data 00, end "
                                        "of file 01 and extended linear address 04 can)")
                             .arg(Hex(type, 2)));
        }
    }
    if (endLine > 0)
        return std::nullopt;
    int last = int(lines.size());
    while (last > 0 && lines.at(last - 1).isEmpty())
        --last;
    return HexFault{last + 1, QStringLiteral("the file ends without an end-of-file record "
                                             "(:00000001FF): it may be cut short")};
}

} // namespace zop
