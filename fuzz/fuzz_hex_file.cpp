// A firmware HEX file from anywhere, line by line through the packet builders as the
// programming run uses them. Whatever a line holds, every packet is framed (0x0F 0x0F ...
// 0x04), carries no unescaped control byte inside, and sums to 0 modulo 256 once unescaped.
// A file the whole-file check accepts reaches its end-of-file record through data and page
// records only, each data record carrying its byte count and building its packet; a file it
// refuses is refused at a line of the file, with a reason.

#include "fuzzinput.h"
#include "loader/hexcheck.h"
#include "loader/hexrecords.h"

using namespace zop;

namespace {

// The payload and checksum of a framed packet with the escapes taken out; false when the
// packet is not framed or an unescaped 0x04, 0x05 or 0x0F stands inside it.
bool Unframe(const QByteArray &packet, QByteArray &body)
{
    if (packet.size() < 4 || quint8(packet[0]) != LoaderByte::Start
        || quint8(packet[1]) != LoaderByte::Start || quint8(packet.back()) != LoaderByte::End)
        return false;
    body.clear();
    for (qsizetype i = 2; i < packet.size() - 1; ++i) {
        quint8 b = quint8(packet[i]);
        if (b == LoaderByte::Escape) {
            if (++i >= packet.size() - 1)
                return false;
            b = quint8(packet[i]);
        } else if (b == LoaderByte::Start || b == LoaderByte::End) {
            return false;
        }
        body.append(char(b));
    }
    return true;
}

bool SumsToZero(const QByteArray &body)
{
    int sum = 0;
    for (char c : body)
        sum += quint8(c);
    return (sum & 0xFF) == 0;
}

void CheckAcceptedFile(const QStringList &lines)
{
    int page = 0;
    for (const QString &line : lines) {
        switch (RecordType(line)) {
        case HexType::Data:
            if (RecordData(line).size() != HexField(line, 2, 2))
                fuzz::Fail("an accepted data record carries its byte count");
            try {
                (void)Create_Write(line, page);
            } catch (const LoaderError &) {
                fuzz::Fail("an accepted data record builds its packet");
            }
            break;
        case HexType::ExtendedLinear:
            page = RecordPage(line);
            break;
        case HexType::EndOfFile:
            return;
        default:
            fuzz::Fail("an accepted file holds only data, page and end records");
        }
    }
    fuzz::Fail("an accepted file has its end-of-file record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines =
        SplitHexText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (lines.isEmpty())
        fuzz::Fail("a file has at least one line");
    if (const std::optional<HexFault> fault = CheckHexLines(lines)) {
        if (fault->line < 1 || fault->line > lines.size() + 1 || fault->reason.isEmpty())
            fuzz::Fail("a refusal names a line of the file and a reason");
    } else {
        CheckAcceptedFile(lines);
    }
    int page = 0;
    QByteArray body;
    for (const QString &line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            fuzz::Fail("lines hold no line ends");
        const int type = RecordType(line);
        if (type == HexType::ExtendedLinear) {
            page = RecordPage(line);
            continue;
        }
        if (type != HexType::Data)
            continue;
        try {
            const QByteArray packet = Create_Write(line, page);
            if (!Unframe(packet, body) || !SumsToZero(body))
                fuzz::Fail("a write packet is framed, escaped and sums to zero");
            if (body.isEmpty() || quint8(body[0]) != (page >= FirstLargePage
                                                          ? LoaderByte::WriteLarge
                                                          : LoaderByte::WriteSmall))
                fuzz::Fail("the write command follows the page");
            (void)WriteAddressText(line, page);
        } catch (const LoaderError &) {
            // a page that does not fit in a byte ends the run with its report
        }
    }
    const quint32 address = lines.size() > 1 ? quint32(HexField(lines[1], 4, 4)) << 4 : 0;
    if (!Unframe(Create_Erase(address), body) || !SumsToZero(body)
        || !Unframe(Create_Reset(), body) || !SumsToZero(body))
        fuzz::Fail("erase and reset packets are framed and sum to zero");
    return 0;
}
