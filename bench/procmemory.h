#pragma once
// The memory figures the benchmarks print.
#include <QByteArray>
#include <QFile>

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
