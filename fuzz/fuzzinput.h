#pragma once
// What the harnesses share: the input cut into parts (one reply, one chunk of a link) at the
// byte 0x1E, which no instrument or file sends.

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zop::fuzz {

constexpr char PartSeparator = '\x1e';

inline QList<QByteArray> Parts(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split(PartSeparator);
}

// A property of the code under test failed: report it and end the run like a crash, so
// libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what)
{
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace zop::fuzz
