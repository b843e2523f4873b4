// The stand-in GPIB user library: the traditional calls of the real library, carried out on the
// bus that zop-sim plays. Every call that touches the bus is one request over the Unix socket
// named by ZOP_GPIB_SOCKET and one answer:
//   request  "<op> <pad> <timeout ms> <argument> <payload length>\n" + payload
//   answer   "<ibsta> <iberr> <ibcnt> <payload length>\n" + payload
// with op one of SIC (interface clear), WRT (payload: the bytes), RD (argument: the eos mode
// times 2^32 plus the byte count), CLR (device clear), LSN (payload: the primary addresses to
// test; answer payload: those that listen). zop-sim makes the time-outs elapse; this side only
// waits for its answer.
//
// Descriptors live in this process, as with the real library. The library has no Qt inside,
// so any program can load it.

#include "ib.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#define ZOP_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) volatile int ibsta = 0;
__attribute__((visibility("default"))) volatile int iberr = 0;
__attribute__((visibility("default"))) volatile int ibcnt = 0;
__attribute__((visibility("default"))) volatile long ibcntl = 0;
}

namespace {

thread_local int t_ibsta = 0, t_iberr = 0;
thread_local long t_ibcntl = 0;

struct Descriptor {
    bool used = false;
    bool board = false;
    int pad = 0;
    int sad = 0;
    int timeout = T10s;
    int eos = 0;
};

std::mutex g_mutex;
std::vector<Descriptor> g_descriptors;
int g_socket = -1;
std::string g_socketPath; // the path g_socket is connected to
// Why the last connection to the bus failed (errno; 0 when no bus is named): the real library
// reports a board node it cannot open as EDVR with the system's error number as the count.
int g_connectErrno = 0;

// What the bus may take past a call's time-out (the round trip through its socket) before the
// call counts as failed.
constexpr long long BusMarginMs = 2000;

// Milliseconds of each time-out code; 0 waits without limit.
int TimeoutMs(int code)
{
    static const int ms[] = {0,     1,     1,      1,      1,      1,      3,      10,    30,
                             100,   300,   1000,   3000,   10000,  30000,  100000, 300000,
                             1000000};
    return code >= 0 && code <= T1000s ? ms[code] : 0;
}

int SetStatus(int sta, int err, long count)
{
    t_ibsta = sta;
    t_iberr = (sta & ERR) ? err : t_iberr;
    t_ibcntl = count;
    ibsta = sta;
    if (sta & ERR)
        iberr = err;
    ibcnt = int(count);
    ibcntl = count;
    return sta;
}

int Fail(int err) { return SetStatus(ERR, err, 0); }

void Disconnect();

bool Connect()
{
    const char *path = std::getenv("ZOP_GPIB_SOCKET");
    if (g_socket >= 0 && path && g_socketPath == path)
        return true;
    Disconnect();
    g_connectErrno = 0;
    if (!path || !*path)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof(address.sun_path))
        return false;
    std::strcpy(address.sun_path, path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        g_connectErrno = errno;
        ::close(fd);
        return false;
    }
    g_socket = fd;
    g_socketPath = path;
    return true;
}

void Disconnect()
{
    if (g_socket >= 0)
        ::close(g_socket);
    g_socket = -1;
}

bool SendAll(const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(g_socket, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reads exactly `size` bytes by `deadlineMs` (steady clock; -1: no limit). The deadline bounds
// the whole call, as a real library's time-out does: a bus that trickles bytes cannot stretch
// it byte by byte.
bool ReceiveAll(char *data, size_t size, long long deadlineMs)
{
    while (size > 0) {
        const long long left = deadlineMs < 0 ? -1 : deadlineMs - NowMs();
        if (deadlineMs >= 0 && left <= 0)
            return false;
        pollfd p{g_socket, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::recv(g_socket, data, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

struct Answer {
    int sta = ERR;
    int err = EDVR;
    long count = 0;
    std::string payload;
};

// One request and its answer; false when the bus cannot be reached (the connection is then
// dropped, so the next call tries afresh).
bool Exchange(const char *op, int pad, int timeoutMs, long long argument, const void *payload,
              size_t size, Answer &answer)
{
    if (!Connect())
        return false;
    char header[96];
    const int length = std::snprintf(header, sizeof header, "%s %d %d %lld %zu\n", op, pad,
                                     timeoutMs, argument, size);
    // The bus answers within the time-out; allow it a margin before calling it gone.
    const long long deadline = timeoutMs > 0 ? NowMs() + timeoutMs + BusMarginMs : -1;
    std::string line;
    bool ok = SendAll(header, size_t(length))
              && (size == 0 || SendAll(static_cast<const char *>(payload), size));
    while (ok) {
        char c = 0;
        ok = ReceiveAll(&c, 1, deadline);
        if (!ok || c == '\n')
            break;
        line += c;
        ok = line.size() < 80;
    }
    unsigned long payloadSize = 0;
    if (ok)
        ok = std::sscanf(line.c_str(), "%d %d %ld %lu", &answer.sta, &answer.err, &answer.count,
                         &payloadSize) == 4
             && payloadSize <= (1u << 20);
    if (ok) {
        answer.payload.resize(payloadSize);
        ok = payloadSize == 0 || ReceiveAll(answer.payload.data(), payloadSize, deadline);
    }
    if (!ok)
        Disconnect();
    return ok;
}

Descriptor *Find(int ud)
{
    if (ud < 0 || size_t(ud) >= g_descriptors.size() || !g_descriptors[size_t(ud)].used)
        return nullptr;
    return &g_descriptors[size_t(ud)];
}

int NewDescriptor(const Descriptor &d)
{
    for (size_t i = 0; i < g_descriptors.size(); ++i) {
        if (!g_descriptors[i].used) {
            g_descriptors[i] = d;
            return int(i);
        }
    }
    g_descriptors.push_back(d);
    return int(g_descriptors.size() - 1);
}

// The descriptor of a device for a device-only call; null with the error set otherwise.
Descriptor *Device(int ud)
{
    Descriptor *d = Find(ud);
    if (!d) {
        Fail(EDVR);
        return nullptr;
    }
    if (d->board) {
        Fail(EARG);
        return nullptr;
    }
    return d;
}

int Finish(const Answer &a) { return SetStatus(a.sta, a.err, a.count); }

} // namespace

ZOP_EXPORT int ibfind(const char *dev)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!dev || std::strcmp(dev, "gpib0") != 0) {
        Fail(EDVR);
        return -1;
    }
    if (!Connect()) {
        SetStatus(ERR, EDVR, g_connectErrno);
        return -1;
    }
    Descriptor d;
    d.used = true;
    d.board = true;
    d.timeout = T3s;
    const int ud = NewDescriptor(d);
    SetStatus(CMPL | CIC, 0, 0);
    return ud;
}

ZOP_EXPORT int ibdev(int board_index, int pad, int sad, int timo, int send_eoi, int eos)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (board_index != 0 || !Connect()) {
        Fail(EDVR);
        return -1;
    }
    if (pad < 0 || pad > 30 || (sad != 0 && (sad < 0x60 || sad > 0x7e)) || timo < TNONE
        || timo > T1000s) {
        Fail(EARG);
        return -1;
    }
    Descriptor d;
    d.used = true;
    d.pad = pad;
    d.sad = sad;
    d.timeout = timo;
    d.eos = eos;
    const int ud = NewDescriptor(d);
    SetStatus(CMPL, 0, 0);
    return ud;
}

ZOP_EXPORT int ibsic(int ud)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Find(ud);
    if (!d)
        return Fail(EDVR);
    if (!d->board)
        return Fail(EARG);
    Answer a;
    if (!Exchange("SIC", 0, TimeoutMs(d->timeout), 0, nullptr, 0, a))
        return Fail(EDVR);
    return Finish(a);
}

ZOP_EXPORT int ibtmo(int ud, int v)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Find(ud);
    if (!d)
        return Fail(EDVR);
    if (v < TNONE || v > T1000s)
        return Fail(EARG);
    d->timeout = v;
    return SetStatus(CMPL | (d->board ? CIC : 0), 0, 0);
}

ZOP_EXPORT int ibonl(int ud, int online)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Find(ud);
    if (!d)
        return Fail(EDVR);
    if (!online)
        d->used = false;
    return SetStatus(CMPL, 0, 0);
}

ZOP_EXPORT int ibwrt(int ud, const void *buf, long count)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Device(ud);
    if (!d)
        return ibsta;
    if (count < 0 || (count > 0 && !buf))
        return Fail(EARG);
    Answer a;
    if (!Exchange("WRT", d->pad, TimeoutMs(d->timeout), 0, buf, size_t(count), a))
        return Fail(EDVR);
    return Finish(a);
}

ZOP_EXPORT int ibrd(int ud, void *buf, long count)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Device(ud);
    if (!d)
        return ibsta;
    if (count < 0 || (count > 0 && !buf))
        return Fail(EARG);
    if (count == 0)
        return SetStatus(CMPL, 0, 0);
    // The argument carries the byte count in its low 32 bits and the eos mode above them.
    const long long argument = ((long long)(d->eos & 0xffff) << 32) | (count & 0xffffffffLL);
    Answer a;
    if (!Exchange("RD", d->pad, TimeoutMs(d->timeout), argument, nullptr, 0, a))
        return Fail(EDVR);
    const size_t n = std::min(a.payload.size(), size_t(count));
    std::memcpy(buf, a.payload.data(), n);
    return SetStatus(a.sta, a.err, long(n));
}

ZOP_EXPORT int ibclr(int ud)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Device(ud);
    if (!d)
        return ibsta;
    Answer a;
    if (!Exchange("CLR", d->pad, TimeoutMs(d->timeout), 0, nullptr, 0, a))
        return Fail(EDVR);
    return Finish(a);
}

#ifndef ZOP_GPIB_WITHOUT_FINDLSTN
ZOP_EXPORT void FindLstn(int board_desc, const Addr4882_t padList[], Addr4882_t resultList[],
                         int maxNumResults)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Descriptor *d = Find(board_desc);
    if (!d || !d->board) {
        Fail(d ? EARG : EDVR);
        return;
    }
    if (!padList || (maxNumResults > 0 && !resultList)) {
        Fail(EARG);
        return;
    }
    std::string pads;
    for (int i = 0; padList[i] != NOADDR; ++i) {
        if (padList[i] > 30) {
            Fail(EARG);
            return;
        }
        pads += std::to_string(padList[i]) + ' ';
    }
    Answer a;
    if (!Exchange("LSN", 0, TimeoutMs(d->timeout), 0, pads.data(), pads.size(), a)) {
        Fail(EDVR);
        return;
    }
    if (a.sta & ERR) {
        Finish(a);
        return;
    }
    int found = 0;
    const char *p = a.payload.c_str();
    char *end = nullptr;
    for (long pad = std::strtol(p, &end, 10); end != p; pad = std::strtol(p, &end, 10)) {
        p = end;
        if (found >= maxNumResults) {
            SetStatus(ERR | CMPL, ETAB, found);
            return;
        }
        resultList[found++] = Addr4882_t(pad);
    }
    SetStatus(CMPL, 0, found);
}
#endif

ZOP_EXPORT int ThreadIbsta(void) { return t_ibsta; }
ZOP_EXPORT int ThreadIberr(void) { return t_iberr; }
ZOP_EXPORT int ThreadIbcnt(void) { return int(t_ibcntl); }
ZOP_EXPORT long ThreadIbcntl(void) { return t_ibcntl; }
