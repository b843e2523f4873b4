#pragma once
// The GPIB user library, loaded at run time (never linked): the file named by ZOP_GPIB_LIBRARY
// when that is set, otherwise the platform's library found by the system's loader
// ("libgpib.so.0" from linux-gpib, "gpib-32.dll" on Windows). The program needs its
// traditional calls ibfind, ibsic, ibdev, ibtmo, ibwrt, ibrd, ibclr and FindLstn, and the
// status word: through ThreadIbsta(), ThreadIberr() and ThreadIbcnt() where the library has
// them, else through its ibsta, iberr and ibcnt variables.

#include "link/transport.h"

#include <QLibrary>
#include <QString>

#ifdef _WIN32
#define ZOP_GPIB_CALL __stdcall
#else
#define ZOP_GPIB_CALL
#endif

namespace zop {

class GpibLibrary {
public:
    static constexpr const char *PathVariable = "ZOP_GPIB_LIBRARY";
    // The error numbers a failed load is recorded with: the file is missing, or it lacks a
    // call the program needs.
    static constexpr long FileNotFound = 53;
    static constexpr long EntryPointMissing = 453;

    // The file to load, as the loader is given it.
    static QString LibraryName();

    // Loads the library and resolves its calls, once; throws LinkError when the file cannot be
    // loaded or lacks a call. A failed load is tried again on the next call.
    void load();
    bool isLoaded() const { return m_loaded; }

    using Find = int(ZOP_GPIB_CALL *)(const char *);
    using Board = int(ZOP_GPIB_CALL *)(int);
    using Dev = int(ZOP_GPIB_CALL *)(int, int, int, int, int, int);
    using Setting = int(ZOP_GPIB_CALL *)(int, int);
    using Write = int(ZOP_GPIB_CALL *)(int, const void *, long);
    using Read = int(ZOP_GPIB_CALL *)(int, void *, long);
    using FindListeners = void(ZOP_GPIB_CALL *)(int, const unsigned short *, unsigned short *, int);
    using Status = int(ZOP_GPIB_CALL *)();
    using Register = int(ZOP_GPIB_CALL *)(int *, int *, int *, long *);
    using Unregister = int(ZOP_GPIB_CALL *)();

    Find ibfind = nullptr;
    Board ibsic = nullptr;
    Dev ibdev = nullptr;
    Setting ibtmo = nullptr;
    Write ibwrt = nullptr;
    Read ibrd = nullptr;
    Board ibclr = nullptr;
    FindListeners FindLstn = nullptr;
    // The per-thread registration of the status variables (Windows only; null elsewhere).
    Register RegisterGpibGlobalsForThread = nullptr;
    Unregister UnregisterGpibGlobalsForThread = nullptr;

    // The status word, error code and count of the calling thread's last call.
    int status() const;
    int error() const;
    int count() const;

private:
    QLibrary m_library;
    bool m_loaded = false;
    Status m_threadIbsta = nullptr;
    Status m_threadIberr = nullptr;
    Status m_threadIbcnt = nullptr;
    volatile int *m_ibsta = nullptr;
    volatile int *m_iberr = nullptr;
    volatile int *m_ibcnt = nullptr;
};

} // namespace zop
