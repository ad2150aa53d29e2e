#pragma once
// The error reporter. Every handler of the program runs inside a guard: what it
// throws is caught, a report is built (header fields in order, "Programm
// Version" among them), saved to the report file and shown in the error dialog,
// where the user continues, restarts or closes the program and can send, save
// or look at the report. No exception ever crosses Qt's event loop: the
// application class runs every event through the guard. A fatal signal appends
// a short report to the same file before the process ends.
//
// The dialog is a replaceable service, like the message boxes, so tests answer it;
// its windows and the application class live in the widget library (crashdialogs.h).
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace vt {

// The 27 texts of the error dialog and its sending steps. "%appname%",
// "%exceptMsg%" and "%modname%" are filled in when a report is shown.
struct CrashDialogTexts
{
    QString TitleBar, ContinueBtnTxt, DetailsBtnTxt, RestartBtnTxt, CloseBtnTxt, ShowBtnTxt, PrintBtnTxt, SaveBtnTxt,
        SendBtnTxt, OkBtnTxt, FrozenMsg, ExceptMsg, BitFaultMsg, ConnMsg, PlWaitText, PlWaitTitle, FieldMsg, SendAttMsg,
        SendFinalMsg, SendFailMsg, PrepAttMsg, SendBoxTitle, MxLookMsg, MailSubj, MailBody, AuthMsg, SendMailMsg;
    bool operator==(const CrashDialogTexts &) const = default;
};

// Texts of a language: 1 German, 2 English, 3 French, 4 Italian, 5 Spanish.
// Any other number gives the reporter's own texts.
CrashDialogTexts CrashTextsForLanguage(int language);

struct CrashReportSettings
{
    QString MailAddr;
    bool AutoSaveIfNotSent = false;
    bool AppendBugReps = false;
    bool PrintBtnVis = true; // there is no printing here: the dialog never shows a print button
    bool SendBtnVis = false;
    bool ShowBtnVis = false;
    bool SaveBtnVis = false;
    bool AutoSave = false;
    // How a report is sent. Every way ends in the user's mail program through a
    // "mailto:" link: the reporter has no mail transport of its own.
    bool MailViaMailto = true;
    bool MailAsSmtpClient = false;
    bool SendInBackgr = false;
    bool MailAsSmtpServer = false;
    bool MailViaMapi = false;
    CrashDialogTexts texts = CrashTextsForLanguage(0);
};

// The reporter's settings in use.
CrashReportSettings &CrashSettings();

// The report file (appended to or replaced, see AppendBugReps); by default
// "Halvicor/Vantrel/bugreport.txt" in the user's data folder.
QString BugReportFile();
void SetBugReportFile(const QString &path);

struct BugReport
{
    QDateTime time;
    QString where; // which handler failed
    QString exceptionClass;
    QString exceptionMessage;
    QList<std::pair<QString, QString>> header; // name and value, in the order added

    void addField(const QString &name, const QString &value) { header.append({name, value}); }
    // The value of the first field of that name (an empty text when there is none).
    QString field(const QString &name) const;
    // The whole report as it is saved and sent.
    QString text() const;
};

// Handlers that add to every report while it is built.
using ReportHandler = void (*)(BugReport &);
void RegisterReportHandler(ReportHandler handler);
void UnregisterReportHandler(ReportHandler handler);
// Builds a report: the reporter's own fields, then those of every handler.
BugReport BuildBugReport(const QString &where, const QString &exceptionClass, const QString &message);
// A text with "%appname%", "%exceptMsg%" and "%modname%" filled in for the report.
QString FillReportPlaceholders(const QString &text, const BugReport &report);

// The send assistant: pages of a title, a message, three buttons (next, cancel,
// skip) and named labels and check boxes.
struct AssistantPage
{
    QString title, message, nextText, cancelText, skipText;
    QMap<QString, QString> labels;     // name -> caption
    QMap<QString, QString> checkBoxes; // name -> caption
};
struct Assistant
{
    QList<AssistantPage> pages;
};
// The reporter's own three pages: contact details, more information, screenshot.
Assistant MakeSendAssistant();
using AssistantHandler = void (*)(Assistant &, const CrashReportSettings &);
// The handler called for every newly made assistant (none: the assistant keeps its own texts).
void SetAssistantHandler(AssistantHandler handler);
AssistantHandler CurrentAssistantHandler();

// The program's set-up of the reporter.
// Start-up, before any window: the settings, AddVersionField as a report
// handler, TranslateAssistant as the assistant handler, the fatal-signal report.
void CrashReportStartup();
// Shut-down: unregisters AddVersionField and forgets the version.
void CrashReportShutdown();
// Called at every activation of the main window with the language and the version text.
void SetupCrashReport(int language, const QString &version);
void AddVersionField(BugReport &report);
void TranslateAssistant(Assistant &assistant, const CrashReportSettings &settings);
QString ReportVersion();
int ReportLanguage();

// What the user gave in the send assistant for a report mail.
struct CrashSendDetails
{
    QString name, email, description;
    QString screenshot; // the picture saved beside the report file, or empty
};

// What the error dialog can do with the report it shows.
class CrashReportSession
{
public:
    CrashReportSession(BugReport report, const CrashReportSettings &settings);
    const BugReport &report() const { return m_report; }
    const CrashReportSettings &settings() const { return m_settings; }
    QString title() const;
    QString message() const;
    QString button(const QString &text) const { return FillReportPlaceholders(text, m_report); }
    // Opens the user's mail program with the subject, the body text (with what
    // the user gave in the send assistant) and the report.
    bool send(const CrashSendDetails &details);
    // Asks for a file and writes the report to it.
    bool save();
    bool sent() const { return m_sent; }

private:
    BugReport m_report;
    CrashReportSettings m_settings;
    bool m_sent = false;
};

enum class CrashChoice { Continue, Restart, Close };

class CrashDialogs
{
public:
    virtual ~CrashDialogs() = default;
    virtual CrashChoice show(CrashReportSession &session) = 0;

    static CrashDialogs &instance();
    // Replaces the dialog (tests); returns the previous one. nullptr restores the default.
    static CrashDialogs *setInstance(CrashDialogs *dialogs);
    // The dialog used when no test replaced it: without windows the report goes to
    // the error output and the program goes on; the widget library installs the dialog.
    static void setDefault(CrashDialogs *dialogs);
};

// Runs the handler; whatever it throws is reported. True when it ran to its end.
bool Guard(const char *where, const std::function<void()> &handler);
// Reports an exception caught elsewhere.
void ReportException(const QString &where, std::exception_ptr error);

// What the user chose in the error dialog for the end of the run.
enum class CrashExit { None, Close, Restart };
CrashExit RequestedExit();
void ClearRequestedExit();

} // namespace vt
