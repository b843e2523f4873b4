#include "link/gpiblibrary.h"

#include <QFile>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace zop {

QString GpibLibrary::LibraryName()
{
    const QString named = qEnvironmentVariable(PathVariable);
    if (!named.isEmpty())
        return named;
#ifdef _WIN32
    return QStringLiteral("gpib-32.dll");
#else
    return QStringLiteral("libgpib.so.0");
#endif
}

namespace {

LinkError LoadError(const QString &description, long number)
{
    return LinkError{description, QStringLiteral("GPIB"), number};
}

// Why the system's loader refuses `name`. QLibrary tries variants of a name it cannot load
// ("lib" before and ".so" after it) and reports the last one it tried, which names a file
// nobody asked for; the loader itself, given the name as it is, says what is wrong with it.
QString LoaderReason(const QString &name, const QLibrary &library)
{
#ifndef _WIN32
    const QByteArray file = QFile::encodeName(name);
    if (void *handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL)) {
        dlclose(handle);
    } else if (const char *reason = dlerror()) {
        return QString::fromLocal8Bit(reason);
    }
#endif
    return library.errorString();
}

} // namespace

void GpibLibrary::load()
{
    if (m_loaded)
        return;
    const QString name = LibraryName();
    m_library.unload();
    m_library.setFileName(name);
    if (!m_library.load())
        throw LoadError(QStringLiteral("File not found: %1 (%2)").arg(name, LoaderReason(name, m_library)),
                        FileNotFound);

    auto need = [&](const char *symbol) {
        QFunctionPointer f = m_library.resolve(symbol);
        if (!f)
            throw LoadError(QStringLiteral("Can't find DLL entry point %1 in %2")
                                .arg(QLatin1String(symbol), name),
                            EntryPointMissing);
        return f;
    };
    ibfind = reinterpret_cast<Find>(need("ibfind"));
    ibsic = reinterpret_cast<Board>(need("ibsic"));
    ibdev = reinterpret_cast<Dev>(need("ibdev"));
    ibtmo = reinterpret_cast<Setting>(need("ibtmo"));
    ibwrt = reinterpret_cast<Write>(need("ibwrt"));
    ibrd = reinterpret_cast<Read>(need("ibrd"));
    ibclr = reinterpret_cast<Board>(need("ibclr"));
    FindLstn = reinterpret_cast<FindListeners>(need("FindLstn"));

    m_threadIbsta = reinterpret_cast<Status>(m_library.resolve("ThreadIbsta"));
    m_threadIberr = reinterpret_cast<Status>(m_library.resolve("ThreadIberr"));
    m_threadIbcnt = reinterpret_cast<Status>(m_library.resolve("ThreadIbcnt"));
    if (!m_threadIbsta || !m_threadIberr || !m_threadIbcnt) {
        m_threadIbsta = m_threadIberr = m_threadIbcnt = nullptr;
        // QLibrary resolves variables as it does functions: the address of the symbol.
        m_ibsta = reinterpret_cast<volatile int *>(need("ibsta"));
        m_iberr = reinterpret_cast<volatile int *>(need("iberr"));
        m_ibcnt = reinterpret_cast<volatile int *>(need("ibcnt"));
    }
    RegisterGpibGlobalsForThread =
        reinterpret_cast<Register>(m_library.resolve("RegisterGpibGlobalsForThread"));
    UnregisterGpibGlobalsForThread =
        reinterpret_cast<Unregister>(m_library.resolve("UnregisterGpibGlobalsForThread"));
    if (!UnregisterGpibGlobalsForThread)
        RegisterGpibGlobalsForThread = nullptr;
    m_loaded = true;
}

int GpibLibrary::status() const { return m_threadIbsta ? m_threadIbsta() : *m_ibsta; }
int GpibLibrary::error() const { return m_threadIberr ? m_threadIberr() : *m_iberr; }
int GpibLibrary::count() const { return m_threadIbcnt ? m_threadIbcnt() : *m_ibcnt; }

} // namespace zop
