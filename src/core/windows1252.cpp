#include "core/windows1252.h"

#include <array>

namespace zop {

namespace {

// Bytes 80 to 9F; 0 where the code page defines no character.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QString FromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t mapped = b >= 0x80 && b < 0xA0 ? HighControls[b - 0x80] : 0;
        text[i] = QChar(mapped ? mapped : char16_t(b));
    }
    return text;
}

QByteArray ToWindows1252(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char byte = '?';
        if (c < 0x100) {
            byte = char(c);
        } else {
            for (std::size_t k = 0; k < HighControls.size(); ++k) {
                if (HighControls[k] == c) {
                    byte = char(0x80 + k);
                    break;
                }
            }
        }
        bytes[i] = byte;
    }
    return bytes;
}

} // namespace zop
