// A discovery datagram from anyone on the local network: whatever it holds, a reply the list
// shows is three short fields of printable text, and a datagram too large is no reply.

#include "fuzzinput.h"
#include "setup/discoveryreply.h"

using namespace zop;

namespace {
bool Printable(const QString &field)
{
    if (field.size() > Discovery::MaxFieldChars)
        return false;
    for (QChar c : field)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<DiscoveryReply> reply = ParseDiscoveryReply(datagram);
    if (reply && size > size_t(Discovery::MaxDatagramBytes))
        fuzz::Fail("an oversized datagram is no reply");
    if (reply && !(Printable(reply->name) && Printable(reply->mac) && Printable(reply->port)))
        fuzz::Fail("the fields shown are short and printable");
    return 0;
}
