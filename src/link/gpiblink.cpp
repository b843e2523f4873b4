#include "link/gpiblink.h"

#include "core/ground.h"
#include "link/commlayer.h"
#include "link/devicepermission.h"
#include "core/apptitle.h"

#include <QScopedValueRollback>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zop {

namespace {

void EndProcessNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

ImmediateEnd &Ender()
{
    static ImmediateEnd end = EndProcessNow;
    return end;
}

} // namespace

void SetImmediateEnd(ImmediateEnd end) { Ender() = end ? std::move(end) : EndProcessNow; }

int GpibPrimaryAddress(const QString &commAddress)
{
    bool ok = false;
    const double value = commAddress.trimmed().toDouble(&ok);
    return ok ? qRound(value) : 0;
}

int GpibEosMode(const QString &gpibEos)
{
    return (gpibEos.trimmed().toInt() & 0xFF) | GpibConst::Reos;
}

GpibLibrary &Gpib::library()
{
    if (!m_library.isLoaded())
        throw LinkError{QStringLiteral("The GPIB library is not loaded"), QStringLiteral("GPIB"),
                        GpibLibrary::FileNotFound};
    ensureRegistered();
    return m_library;
}

// The library's per-thread status variables are registered before the first call (a Windows
// library needs it; elsewhere the call does not exist and registration always succeeds).
void Gpib::ensureRegistered()
{
    if (GpibRegistered)
        return;
    GpibLibrary &lib = m_library;
    if (!lib.RegisterGpibGlobalsForThread) {
        GpibRegistered = true;
        return;
    }
    auto registerGlobals = [&] {
        return lib.RegisterGpibGlobalsForThread(&m_registeredSta, &m_registeredErr,
                                                &m_registeredCnt, &m_registeredCntl);
    };
    const int result = registerGlobals();
    if (result == 0 || result == 1) {
        if (result == 1) { // already registered: register afresh
            lib.UnregisterGpibGlobalsForThread();
            registerGlobals();
        }
        GpibRegistered = true;
        m_usesRegistration = true;
        return;
    }
    if (result == 2 || result == 3)
        lib.UnregisterGpibGlobalsForThread();
    ibsta = qint16(GpibConst::Err);
    iberr = 0;
}

void Gpib::copyStatus()
{
    if (m_usesRegistration && GpibRegistered) {
        ibsta = qint16(quint16(m_registeredSta));
        iberr = qint16(quint16(m_registeredErr));
        ibcnt = qint16(quint16(m_registeredCnt));
        return;
    }
    ibsta = qint16(quint16(m_library.status()));
    iberr = qint16(quint16(m_library.error()));
    ibcnt = qint16(quint16(m_library.count()));
}

void Gpib::statusCheck(int address)
{
    // One question at a time: a failure inside another's box takes that box's answer.
    if (!failed() || Comm().QuietMode || m_prompting)
        return;
    const QScopedValueRollback<bool> prompting(m_prompting, true);
    const QString question = QStringLiteral("Device Timeout on Address: ") + QString::number(address)
                             + QStringLiteral(" Continue?");
    if (ground().prompter->Show(question, ApplicationTitle, MsgIcon::None, MsgButtons::YesNo)
        == MsgAnswer::No) {
        const ImmediateEnd end = Ender();
        end();
    }
}

void Gpib::GpibOpen()
{
    m_library.load();
    const CommLayer &data = Comm();
    GpibLibrary &lib = library();
    GpibBoard = qint16(lib.ibfind(GpibConst::BoardName));
    copyStatus();
    if (failed() && iberr == GpibConst::Edvr && ibcnt == EACCES)
        throw LinkError{DeviceAccessRefusedText(BoardDeviceNode,
                                                QString::fromLatin1(GpibConst::BoardGroup)),
                        QStringLiteral("GPIB"), EACCES};
    lib.ibsic(GpibBoard);
    copyStatus();
    GpibDevice = qint16(lib.ibdev(GpibConst::BoardIndex, GpibPrimaryAddress(data.CommAddress),
                                  GpibConst::NoSecondaryAddress, GpibConst::T300ms,
                                  GpibConst::NoEndOnWrite, GpibEosMode(data.GpibEos)));
    copyStatus();
    lib.ibtmo(GpibBoard, GpibConst::T300ms);
    copyStatus();
}

void Gpib::GpibWriteChecked(int address, const QByteArray &text)
{
    GpibWriteBytesChecked(address, text);
}

void Gpib::GpibWriteBytesChecked(int address, const QByteArray &bytes)
{
    library().ibwrt(GpibDevice, bytes.constData(), long(bytes.size()));
    copyStatus();
    statusCheck(address);
}

void Gpib::GpibReadChecked(int address, QByteArray &buffer)
{
    GpibRead(buffer);
    statusCheck(address);
}

void Gpib::GpibRead(QByteArray &buffer)
{
    library().ibrd(GpibDevice, buffer.data(), long(buffer.size()));
    copyStatus();
}

void Gpib::GpibClear()
{
    library().ibclr(GpibDevice);
    copyStatus();
}

void Gpib::FindLstn(const QList<quint16> &candidates, QList<quint16> &results, int limit)
{
    QList<quint16> list = candidates;
    if (list.isEmpty() || list.last() != GpibConst::NoAddr)
        list.append(GpibConst::NoAddr);
    limit = qBound(0, limit, int(results.size()));
    library().FindLstn(GpibBoard, list.constData(), results.data(), limit);
    copyStatus();
}

void GpibTransport::open()
{
    Comm().gpib.GpibOpen();
    m_open = true;
}

void GpibTransport::write(const QByteArray &bytes)
{
    Comm().gpib.GpibWriteChecked(GpibPrimaryAddress(Comm().CommAddress), bytes);
}

bool GpibTransport::readTransfer(QByteArray &reply, bool checked)
{
    Gpib &gpib = Comm().gpib;
    QByteArray buffer(GpibConst::ReplyBufferChars, '\0');
    if (checked)
        gpib.GpibReadChecked(GpibPrimaryAddress(Comm().CommAddress), buffer);
    else
        gpib.GpibRead(buffer);
    reply = buffer.replace(QByteArrayView("\0", 1), QByteArrayView());
    return true;
}

} // namespace zop
