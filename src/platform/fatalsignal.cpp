#include "fatalsignal.h"

#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace vt {

namespace {

char g_signalFile[4096];
char g_signalVersion[1024];
bool g_signalsInstalled = false;
const int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS};

void copyToBuffer(char *buffer, size_t size, const QByteArray &bytes)
{
    const size_t n = std::min(size - 1, size_t(bytes.size()));
    std::memcpy(buffer, bytes.constData(), n);
    buffer[n] = '\0';
}

struct SignalText
{
    char data[2048];
    size_t length = 0;
    void add(const char *s)
    {
        while (*s && length < sizeof data)
            data[length++] = *s++;
    }
    void addNumber(unsigned long long u, int minDigits = 1)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + u % 10);
            u /= 10;
        } while (u && n < 24);
        while (n < minDigits && n < 24)
            digits[n++] = '0';
        while (n > 0 && length < sizeof data)
            data[length++] = digits[--n];
    }
};

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGBUS: return "SIGBUS";
    default: return "signal";
    }
}

void fatalSignalHandler(int sig)
{
    const int fd = ::open(g_signalFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        // The date by arithmetic alone: the time functions of the C library are
        // not safe in a signal handler.
        const long long secs = static_cast<long long>(::time(nullptr));
        long long days = secs / 86400, rest = secs % 86400;
        days += 719468;
        const long long era = days / 146097;
        const long long doe = days - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        const long long day = doy - (153 * mp + 2) / 5 + 1;
        const long long month = mp < 10 ? mp + 3 : mp - 9;
        const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);

        SignalText t;
        t.add("\r\n---------------------------------------------------------------\r\n");
        t.add("date/time          : ");
        t.addNumber(year, 4);
        t.add("-");
        t.addNumber(month, 2);
        t.add("-");
        t.addNumber(day, 2);
        t.add(" ");
        t.addNumber(rest / 3600, 2);
        t.add(":");
        t.addNumber(rest / 60 % 60, 2);
        t.add(":");
        t.addNumber(rest % 60, 2);
        t.add(" UTC\r\n");
        t.add("fatal signal       : ");
        t.add(signalName(sig));
        t.add(" (");
        t.addNumber(sig);
        t.add(")\r\n");
        t.add("Programm Version   : ");
        t.add(g_signalVersion);
        t.add("\r\n");
        size_t done = 0;
        while (done < t.length) {
            const ssize_t w = ::write(fd, t.data + done, t.length - done);
            if (w <= 0)
                break;
            done += size_t(w);
        }
        ::close(fd);
    }
    // The handler was reset to the default on entry: the signal now ends the
    // process as it would have without us (core dump included).
    ::raise(sig);
}

void installSignalHandlers()
{
    if (g_signalsInstalled)
        return;
    g_signalsInstalled = true;
    // A stack of its own, so that a stack overflow can still be reported.
    static char altStack[64 * 1024];
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    ::sigaltstack(&ss, nullptr);
    struct sigaction sa
    {
    };
    sa.sa_handler = fatalSignalHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    for (int sig : kFatalSignals)
        ::sigaction(sig, &sa, nullptr);
}

// ---------------------------------------------------------------------------

} // namespace

void PrepareFatalSignalReport(const QString &reportFile, const QString &version)
{
    copyToBuffer(g_signalFile, sizeof g_signalFile, QFile::encodeName(reportFile));
    copyToBuffer(g_signalVersion, sizeof g_signalVersion, version.toUtf8());
}

void InstallFatalSignalHandlers()
{
    installSignalHandlers();
}

} // namespace vt
