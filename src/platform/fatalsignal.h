#pragma once
// The report of a fatal signal (a crash the guard cannot catch): a few lines
// appended to the report file before the process ends as it would have without us.
#include <QString>

namespace vt {

// Keeps what the handler writes: the report file and the version. The handler may
// only make async-signal-safe calls, so both are prepared here beforehand; call it
// again whenever either changes.
void PrepareFatalSignalReport(const QString &reportFile, const QString &version);
// Installs the handler for SIGSEGV, SIGABRT, SIGFPE, SIGILL and SIGBUS (once).
void InstallFatalSignalHandlers();

} // namespace vt
