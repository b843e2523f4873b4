#pragma once
// The GPIB link (link kind 0): the program is the controller on board 0 and the instrument a
// device at the primary address `CommAddress`. `Gpib` holds the module's state and its
// operations, which the communication layer and the GPIB device search use; GpibTransport is
// the link as the communication layer holds it.
//
// After every checked write or read a failed transfer (ERR in the status word) asks
// "Device Timeout on Address: N Continue?" (Yes/No, never while `QuietMode` is set); No ends
// the program at once.

#include "link/gpiblibrary.h"
#include "link/transport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace zop {

namespace GpibConst {
constexpr quint16 Err = 0x8000;      // ERR: the call failed
constexpr quint16 Timo = 0x4000;     // TIMO: it timed out
constexpr quint16 NoAddr = 0xFFFF;   // NOADDR: the end of an address list
constexpr int BoardIndex = 0;
inline const char *const BoardName = "gpib0";
// The node linux-gpib opens for board 0.
inline const char *const BoardDevice = "/dev/gpib0";
// The group that owns GPIB boards on Debian, named when the node cannot be looked at.
inline const char *const BoardGroup = "gpib";
constexpr int Edvr = 0;              // EDVR: a system error; the count holds its errno
constexpr int T300ms = 10;           // the time-out code of the board and the device
constexpr int NoSecondaryAddress = 0;
constexpr int NoEndOnWrite = 0;      // EOT mode 0: no END with the last byte written
constexpr int Reos = 0x0400;         // terminate reads on the EOS character
constexpr int ReplyBufferChars = 100;
} // namespace GpibConst

// How the program ends "at once" after No at the GPIB prompt; tests put a recorder in.
using ImmediateEnd = std::function<void()>;
// Null puts the real one back: it ends the process without running any window's handlers.
void SetImmediateEnd(ImmediateEnd end);

// `CommAddress` as a primary address: the text as a number, rounded (0 when not a number).
int GpibPrimaryAddress(const QString &commAddress);
// The eos argument of ibdev: the code in `GpibEos` in the low byte, REOS in the high byte.
int GpibEosMode(const QString &gpibEos);

class Gpib {
public:
    // Board and device descriptors, and the copies of the library's status variables after the
    // last call, as signed 16-bit values.
    qint16 GpibBoard = -1;
    qint16 GpibDevice = -1;
    qint16 ibsta = 0;
    qint16 iberr = 0;
    qint16 ibcnt = 0;
    bool GpibRegistered = false;
    // The board's device node, named (with its group) when the library may not open it.
    QString BoardDeviceNode = QString::fromLatin1(GpibConst::BoardDevice);

    // ibfind of board 0, ibsic, ibdev at `CommAddress` with T300ms, no END on writes and the
    // eos of `GpibEos`, then ibtmo of the board. The results are not checked, but for one: a
    // board the system refuses to open for lack of permission (ibfind failing with EDVR and
    // EACCES) throws LinkError saying what to do, as a missing library or call does.
    void GpibOpen();
    // ibwrt of the text to the device, then the status check with `address`.
    void GpibWriteChecked(int address, const QByteArray &text);
    void GpibWriteBytesChecked(int address, const QByteArray &bytes);
    // ibrd into the whole buffer (its contents stay where nothing was read), with and without
    // the status check.
    void GpibReadChecked(int address, QByteArray &buffer);
    void GpibRead(QByteArray &buffer);
    // ibclr of the device.
    void GpibClear();
    // FindLstn on the board with the candidate list (ending with NOADDR): fills `results`
    // (which the caller presets) with at most `limit` listeners.
    void FindLstn(const QList<quint16> &candidates, QList<quint16> &results, int limit);

    bool failed() const { return quint16(ibsta) & GpibConst::Err; }
    // A "Device Timeout on Address" question is up. Its box runs window events: another
    // exchange started meanwhile (a poll's tick) must not stack a second question on it.
    bool isPrompting() const { return m_prompting; }

private:
    GpibLibrary &library();
    void ensureRegistered();
    void copyStatus();
    void statusCheck(int address);

    GpibLibrary m_library;
    // The variables the library fills once registered (Windows).
    int m_registeredSta = 0;
    int m_registeredErr = 0;
    int m_registeredCnt = 0;
    long m_registeredCntl = 0;
    bool m_usesRegistration = false;
    bool m_prompting = false;
};

// The link as the communication layer holds it.
class GpibTransport : public Transport {
public:
    void open() override;
    // Nothing takes the device or the board off line.
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override;
    // GPIB replies come in one bounded transfer (readTransfer); nothing streams in.
    QByteArray takeAll() override { return {}; }
    void waitForInput(int, bool) override {}
    bool readTransfer(QByteArray &reply, bool checked) override;
    QString controlName() const override { return QStringLiteral("GPIB"); }

private:
    bool m_open = false;
};

} // namespace zop
