#pragma once
// The memory and processor figures the benchmarks print.
#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

// Resident memory now and at its peak, in kB, from the kernel's view of the process.
inline long ProcessMemoryKb(const char *field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The processor time the process has used so far (user and system), in seconds.
inline double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
