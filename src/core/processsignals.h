#pragma once
// The signals a program of this project honours the same way: zop-panel and zop-sim end their
// event loop on SIGTERM, SIGINT and SIGHUP, so main() returns and everything is cleaned up as
// at a normal end (sockets and links removed, files closed); and a write past a file-size limit
// fails with an error the program reports, instead of SIGXFSZ killing the process.
// Qt Core only, so the emulator builds it too.

class QCoreApplication;

namespace zop {

// From now on SIGTERM, SIGINT and SIGHUP quit `app`'s event loop (at the next return to it).
void QuitOnTerminationSignals(QCoreApplication &app);

// SIGXFSZ is ignored: a write past the limit then fails with EFBIG.
void IgnoreFileSizeSignal();

} // namespace zop
