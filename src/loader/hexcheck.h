#pragma once
// The whole firmware file checked before anything goes to the instrument. The programming run
// erases the instrument before it loads a single record, so a record it cannot program, found
// only while loading, leaves the instrument erased in its boot loader. Every line up to the
// end-of-file record must be a well-formed Intel HEX record (a colon, hexadecimal digits, a
// byte count that matches the line's length, a correct record checksum) of a type the run
// programs: data (00), end of file (01) or extended linear address (04) with two data bytes.
// The end-of-file record must be there, every data record's page must fit in the write
// packet's page byte, and after the end-of-file record only empty lines may follow (anything
// else would silently not be programmed).

#include <QString>
#include <QStringList>
#include <optional>

namespace zop {

struct HexFault {
    int line = 0; // counted from 1, as an editor shows it
    QString reason;
    // "Line 7: " and the reason.
    QString text() const;
};

// The first fault of the file's lines (as Get_File splits them), or nothing.
std::optional<HexFault> CheckHexLines(const QStringList &lines);

} // namespace zop
