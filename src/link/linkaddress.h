#pragma once
// Checks of the addresses a user types for a link, and the link named in messages.

#include "core/numbertext.h"

#include <QString>

namespace zop {

// Four parts separated by full stops, each made of decimal digits only with a value from 0
// to 255 ("10.0.0.1", also "010.0.0.1"). Signs, blanks, exponents and empty parts fail.
bool IsValidIPAddress(const QString &text);

// Every character is a digit, an ASCII letter or a hyphen, and with `allowDotAndUnderscore`
// also a full stop or an underscore. An empty text fails; without `allowDotAndUnderscore` a
// text that reads as a number fails too. With it, every dotted address passes as well.
bool IsValidHostName(const QString &text, bool allowDotAndUnderscore);

// The link as messages name it: "GPIB Address 7", "TCP/IP Address host and Port 5025",
// "RS486 Port 1 and address 17" (RS-485; the message keeps its long-standing wording); empty
// for RS-232, Simulated and any other kind.
QString DescribeLink(qint16 commType, const QString &port, const QString &address);

} // namespace zop
