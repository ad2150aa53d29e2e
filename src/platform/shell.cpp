#include "shell.h"
#include "messages.h"
#include "paths.h"
#include "service.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

namespace vt {

namespace {

XdgShellBackend g_xdg;
ServiceSlot<ShellBackend> g_slot(&g_xdg);
bool g_quitSeen = false;

bool hasScheme(const QString &target, const char *scheme)
{
    return target.startsWith(QLatin1String(scheme), Qt::CaseInsensitive);
}

// Notices a quit request sent to the application while the program waits.
class QuitWatcher : public QObject
{
public:
    QuitWatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitWatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
            g_quitSeen = true;
        return false;
    }
};

} // namespace

QString CannotOpenText(const QUrl &url)
{
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Es konnte kein E-Mail-Programm gestartet werden: Auf diesem Rechner ist keines "
                              "eingerichtet.");
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
    return QStringLiteral("\"") + shown +
           QStringLiteral("\" konnte nicht geöffnet werden: Auf diesem Rechner ist kein Programm dafür eingerichtet.");
}

bool XdgShellBackend::openUrl(const QUrl &url)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    // Watched rather than detached: only its exit status says that no program
    // took the URL, and then the user is told. The process object is not deleted
    // while it runs, so what it started outlives the program if the program ends first.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, [process, url](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status == QProcess::NormalExit && code != 0)
            warning(CannotOpenText(url));
    });
    process->start(opener, {url.toString(QUrl::FullyEncoded)});
    if (!process->waitForStarted(5000)) {
        delete process;
        return false;
    }
    return true;
}

bool XdgShellBackend::startBrowser(const QString &argument)
{
    // Debian's chooser of the user's browser ($BROWSER, then the system's choice).
    const QString browser = QStandardPaths::findExecutable(QStringLiteral("sensible-browser"));
    return !browser.isEmpty() && QProcess::startDetached(browser, {argument});
}

ShellBackend &ShellBackend::instance()
{
    return g_slot.get();
}

ShellBackend *ShellBackend::setInstance(ShellBackend *backend)
{
    return g_slot.replace(backend);
}

void ShellBackend::setDefault(ShellBackend *backend)
{
    g_slot.setDefault(backend ? backend : &g_xdg);
}

QUrl MailToUrl(const QString &address, const QString &subject, const QString &body)
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address, QUrl::DecodedMode);
    QUrlQuery query;
    if (!subject.isEmpty())
        query.addQueryItem(QStringLiteral("subject"), QString::fromLatin1(QUrl::toPercentEncoding(subject)));
    if (!body.isEmpty())
        query.addQueryItem(QStringLiteral("body"), QString::fromLatin1(QUrl::toPercentEncoding(body)));
    if (!query.isEmpty())
        url.setQuery(query);
    return url;
}

QUrl ShellTargetUrl(const QString &target)
{
    if (hasScheme(target, "mailto:"))
        return MailToUrl(target.mid(7));
    if (hasScheme(target, "http://") || hasScheme(target, "https://") || hasScheme(target, "ftp://") ||
        hasScheme(target, "file:"))
        return QUrl(target, QUrl::TolerantMode);
    const QString path = PathJoin(QString(), target);
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

bool ShellOpenUrl(const QUrl &url)
{
    try {
        if (ShellBackend::instance().openUrl(url))
            return true;
        // Nothing on the desktop took it: let the browser show it as a file.
        const QString asFile =
            url.isLocalFile() || url.scheme().isEmpty() ? url.toString(QUrl::FullyEncoded) : url.toString();
        if (OpenUrlInBrowser(asFile))
            return true;
        warning(CannotOpenText(url));
        return false;
    } catch (...) {
        return false;
    }
}

bool ShellOpen(const QString &target)
{
    return ShellOpenUrl(ShellTargetUrl(target));
}

QString MissingHelpPageText(const QString &path)
{
    return QStringLiteral("Die Hilfeseite kann nicht angezeigt werden: die Datei \"%1\" fehlt.").arg(path);
}

bool OpenHelpFile(const QString &programFolder, const QString &page)
{
    const QString path = PathJoin(programFolder, QStringLiteral("help/") + page);
    if (!QFileInfo(path).isFile()) {
        warning(MissingHelpPageText(path));
        return false;
    }
    return ShellOpen(path);
}

bool OpenUrlInBrowser(const QString &argument)
{
    if (ShellBackend::instance().startBrowser(argument))
        return true;
    return ShellBackend::instance().openUrl(QUrl::fromUserInput(argument));
}

bool DeleteFilesByMask(const QString &maskPath)
{
    try {
        const QString mask = PathJoin(QString(), maskPath);
        const qsizetype slash = mask.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash >= 0 ? mask.left(slash + 1) : QStringLiteral("./");
        const QString name = mask.mid(slash + 1);
        if (name.isEmpty())
            return false;
        const QStringList found =
            QDir(folder).entryList({name}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QString &entry : found)
            QFile::remove(folder + entry); // a folder or a protected file stays
        return !found.isEmpty();
    } catch (...) {
        return false;
    }
}

bool ApplicationQuitting()
{
    return g_quitSeen || QCoreApplication::closingDown();
}

bool RunAndWait(const QString &workFolder, const QString &program, const QString &params)
{
    // On the heap: when the application quits while the helper runs, the helper
    // is left to finish on its own (a QProcess going out of scope would kill it).
    auto *process = new QProcess;
    process->setProgram(program);
    process->setArguments(QProcess::splitCommand(params));
    if (!workFolder.isEmpty())
        process->setWorkingDirectory(workFolder);
    // The helper gets no terminal and no input; its output is discarded.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(-1)) {
        delete process;
        plain(QStringLiteral("Error starting ") + program);
        return false;
    }
    if (!QCoreApplication::instance()) {
        process->waitForFinished(-1);
        delete process;
        return true;
    }

    {
        // The windows stay usable while the program runs; a caller that must not
        // be started twice meanwhile says so itself.
        QuitWatcher watcher;
        while (process->state() != QProcess::NotRunning && !ApplicationQuitting()) {
            QEventLoop loop;
            bool polled = false;
            QTimer::singleShot(100, &loop, [&] {
                polled = true;
                loop.quit();
            });
            QObject::connect(process, &QProcess::finished, &loop, [&] {
                polled = true;
                loop.quit();
            });
            loop.exec();
            // The loop ended without our timer or the program: the application
            // told every event loop to stop, so it is quitting.
            if (!polled)
                g_quitSeen = true;
        }
    }
    if (process->state() == QProcess::NotRunning)
        delete process;
    else
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
}

QString StartDetached(const QString &program, const QStringList &arguments, const QString &workFolder)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workFolder.isEmpty())
        process.setWorkingDirectory(workFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return {};
    const QString why = process.errorString();
    return why.isEmpty() ? QStringLiteral("unbekannter Fehler") : why;
}

} // namespace vt
