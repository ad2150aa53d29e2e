#include "crashreport.h"
#include "fatalsignal.h"
#include "filedialogs.h"
#include "paths.h"
#include "service.h"
#include "shell.h"
#include "text.h"
#include "textfile.h"
#include "windowsinfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace vt {

namespace {

// Module state

CrashReportSettings g_settings;
QString g_reportFile;
QString g_reportVersion;
int g_reportLanguage = 0;
QList<ReportHandler> g_handlers;
AssistantHandler g_assistantHandler = nullptr;
CrashExit g_exit = CrashExit::None;
int g_reporting = 0; // reports being shown; an error inside the dialog is not shown again

const QString kVersionField = QStringLiteral("Programm Version");
const QString kNoVersion = QStringLiteral("No Version Information found");

// The version a report carries (SetupCrashReport keeps it trimmed).
QString versionForReport()
{
    return g_reportVersion.isEmpty() ? kNoVersion : g_reportVersion;
}

void prepareSignalReport()
{
    PrepareFatalSignalReport(BugReportFile(), versionForReport());
}
// ---------------------------------------------------------------------------

QString demangle(const char *name)
{
    if (!name)
        return QStringLiteral("unknown");
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && readable ? readable.get() : name);
}

bool saveReport(const BugReport &report, const QString &path, bool append)
{
    EnsureFolder(QFileInfo(path).absolutePath());
    QStringList lines = SplitLines(report.text());
    if (append) {
        lines.prepend(QString(63, u'-'));
        lines.prepend(QString());
        return AppendLines(path, lines, TextEncoding::Utf8);
    }
    WriteOptions opt;
    opt.encoding = TextEncoding::Utf8;
    return WriteLines(path, lines, opt);
}

void autoSave(const BugReport &report, const CrashReportSettings &settings)
{
    saveReport(report, BugReportFile(), settings.AppendBugReps);
}
// Without windows nobody can choose: the report goes to the error output and the
// program goes on.
class PrintedCrashDialogs final : public CrashDialogs
{
public:
    CrashChoice show(CrashReportSession &session) override
    {
        std::fprintf(stderr, "%s\n%s", qPrintable(session.message()), qPrintable(session.report().text()));
        return CrashChoice::Continue;
    }
};

PrintedCrashDialogs g_printedDialogs;
ServiceSlot<CrashDialogs> g_dialogSlot(&g_printedDialogs);

} // namespace

CrashReportSettings &CrashSettings()
{
    return g_settings;
}

QString BugReportFile()
{
    if (!g_reportFile.isEmpty())
        return g_reportFile;
    return PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Vantrel/bugreport.txt"));
}

void SetBugReportFile(const QString &path)
{
    g_reportFile = path;
    prepareSignalReport();
}

QString BugReport::field(const QString &name) const
{
    for (const auto &[n, v] : header)
        if (n == name)
            return v;
    return {};
}

QString BugReport::text() const
{
    qsizetype width = 0;
    for (const auto &f : header)
        width = std::max(width, f.first.size());
    QString out;
    for (const auto &[name, value] : header)
        out += name.leftJustified(width) + QStringLiteral(" : ") + value + QLatin1Char('\n');
    return out;
}

void RegisterReportHandler(ReportHandler handler)
{
    if (handler && !g_handlers.contains(handler))
        g_handlers.append(handler);
}

void UnregisterReportHandler(ReportHandler handler)
{
    g_handlers.removeAll(handler);
}

BugReport BuildBugReport(const QString &where, const QString &exceptionClass, const QString &message)
{
    BugReport r;
    r.time = QDateTime::currentDateTime();
    r.where = where;
    r.exceptionClass = exceptionClass;
    r.exceptionMessage = message;
    r.addField(QStringLiteral("date/time"), r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    r.addField(QStringLiteral("computer name"), QSysInfo::machineHostName());
    r.addField(QStringLiteral("operating system"), QSysInfo::prettyProductName());
    r.addField(QStringLiteral("Qt version"), QString::fromLatin1(qVersion()));
    r.addField(QStringLiteral("executable"), QCoreApplication::applicationFilePath());
    r.addField(QStringLiteral("exception class"), exceptionClass);
    r.addField(QStringLiteral("exception message"), message);
    r.addField(QStringLiteral("location"), where);
    for (ReportHandler h : std::as_const(g_handlers))
        h(r);
    return r;
}

QString FillReportPlaceholders(const QString &text, const BugReport &report)
{
    QString r = text;
    const QString app = QCoreApplication::applicationName();
    r.replace(QLatin1String("%appname%"), app.isEmpty() ? QStringLiteral("Vantrel") : app);
    r.replace(QLatin1String("%exceptMsg%"), report.exceptionMessage);
    r.replace(QLatin1String("%modname%"), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    return r;
}

void SetAssistantHandler(AssistantHandler handler)
{
    g_assistantHandler = handler;
}

AssistantHandler CurrentAssistantHandler()
{
    return g_assistantHandler;
}

void CrashReportStartup()
{
    CrashReportSettings &s = g_settings;
    s.MailAddr = QStringLiteral("bugreport@halvicor.example");
    s.AutoSaveIfNotSent = true;
    s.AppendBugReps = true;
    s.PrintBtnVis = false;
    s.SendBtnVis = true;
    s.ShowBtnVis = true;
    s.SaveBtnVis = true;
    s.AutoSave = true;
    s.MailViaMailto = false;
    s.MailAsSmtpClient = false;
    s.SendInBackgr = false;
    s.MailAsSmtpServer = false;
    s.MailViaMapi = true;
    RegisterReportHandler(AddVersionField);
    SetAssistantHandler(TranslateAssistant);
    prepareSignalReport();
    InstallFatalSignalHandlers();
}

void CrashReportShutdown()
{
    UnregisterReportHandler(AddVersionField);
    g_reportVersion.clear();
    prepareSignalReport();
}

void SetupCrashReport(int language, const QString &version)
{
    SetAssistantHandler(TranslateAssistant);
    const QString v = Trimmed(version);
    if (!v.isEmpty())
        g_reportVersion = v;
    if (language >= 1 && language <= 5) {
        g_reportLanguage = language;
        g_settings.texts = CrashTextsForLanguage(language);
    }
    prepareSignalReport();
}

void AddVersionField(BugReport &report)
{
    report.addField(kVersionField, versionForReport());
}

QString ReportVersion()
{
    return g_reportVersion;
}

int ReportLanguage()
{
    return g_reportLanguage;
}

// ---------------------------------------------------------------------------

CrashReportSession::CrashReportSession(BugReport report, const CrashReportSettings &settings)
    : m_report(std::move(report)), m_settings(settings)
{
}

QString CrashReportSession::title() const
{
    return FillReportPlaceholders(m_settings.texts.TitleBar, m_report);
}

QString CrashReportSession::message() const
{
    return FillReportPlaceholders(m_settings.texts.ExceptMsg, m_report) + QStringLiteral("\n\n") +
           m_report.exceptionMessage;
}

bool CrashReportSession::send(const CrashSendDetails &details)
{
    QString body = FillReportPlaceholders(m_settings.texts.MailBody, m_report) + QStringLiteral("\n\n");
    if (!details.name.isEmpty() || !details.email.isEmpty())
        body += details.name + QStringLiteral(" <") + details.email + QStringLiteral(">\n\n");
    if (!Trimmed(details.description).isEmpty())
        body += details.description + QStringLiteral("\n\n");
    if (!details.screenshot.isEmpty())
        body += QStringLiteral("Screenshot: ") + details.screenshot + QStringLiteral("\n\n");
    body += m_report.text();
    m_sent =
        ShellOpenUrl(MailToUrl(m_settings.MailAddr, FillReportPlaceholders(m_settings.texts.MailSubj, m_report), body));
    return m_sent;
}

bool CrashReportSession::save()
{
    const QString path =
        FileDialogs::instance().saveFile(nullptr, button(m_settings.texts.SaveBtnTxt),
                                         QFileInfo(BugReportFile()).fileName(), QStringLiteral("Text (*.txt)"));
    return !path.isEmpty() && saveReport(m_report, path, false);
}

CrashDialogs &CrashDialogs::instance()
{
    return g_dialogSlot.get();
}

CrashDialogs *CrashDialogs::setInstance(CrashDialogs *dialogs)
{
    return g_dialogSlot.replace(dialogs);
}

void CrashDialogs::setDefault(CrashDialogs *dialogs)
{
    g_dialogSlot.setDefault(dialogs ? dialogs : &g_printedDialogs);
}

void ReportException(const QString &where, std::exception_ptr error)
{
    QString cls, message;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        cls = demangle(typeid(e).name());
        message = QString::fromUtf8(e.what());
    } catch (...) {
        const std::type_info *type = abi::__cxa_current_exception_type();
        cls = demangle(type ? type->name() : nullptr);
        message = cls;
    }

    const CrashReportSettings settings = g_settings;
    BugReport report = BuildBugReport(where, cls, message);
    // An error inside the error dialog is kept in any case; nothing more is shown.
    if (settings.AutoSave || g_reporting > 0)
        autoSave(report, settings);
    if (g_reporting > 0) {
        qWarning("%s", qPrintable(report.text()));
        return;
    }

    ++g_reporting;
    CrashReportSession session(report, settings);
    CrashChoice choice = CrashChoice::Continue;
    try {
        choice = CrashDialogs::instance().show(session);
    } catch (...) {
        qWarning("the error dialog failed");
    }
    --g_reporting;
    if (!settings.AutoSave && settings.AutoSaveIfNotSent && !session.sent())
        autoSave(report, settings);

    if (choice == CrashChoice::Continue)
        return;
    g_exit = choice == CrashChoice::Restart ? CrashExit::Restart : CrashExit::Close;
    // Ends the running event loop; before it runs, the start-up code looks at RequestedExit().
    QCoreApplication::exit(1);
}

bool Guard(const char *where, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        ReportException(QString::fromUtf8(where), std::current_exception());
        return false;
    }
}

CrashExit RequestedExit()
{
    return g_exit;
}

void ClearRequestedExit()
{
    g_exit = CrashExit::None;
}

} // namespace vt
