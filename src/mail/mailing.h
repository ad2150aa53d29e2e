#pragma once
// The serial e-mail without its window: the mail server set-up of a run, the
// connection test, the HTML mail composed for one record, a run's configuration
// from what the window holds, the failed list of the last run, and the files a
// run writes. The serial e-mail window, the options' connection test and the
// tests use it. It shows nothing: what the user must be told goes to the caller's
// report, one text per message box, in order.
#include "connection.h"
#include "htmlmail.h"
#include "mailsettings.h"
#include "sendrun.h"
#include "smtpclient.h"
#include "smtpsubmission.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vt {

class AddressTable;

// Files of the program's folders that a run writes or reads: the mails sent by the
// last run, the SMTP dialogue when it is logged, the salutation table, and the SMTP
// component's protocol.
QString SentMailsLogPath();
QString TransactionLogPath();
QString SalutationTablePath();
QString ProtocolLogPath();

// Takes each text the user must be told (an error box each).
using MailingReport = IniReport;

// The connection test's values: those entered in the options dialog, and the
// priority chosen in the serial e-mail window.
struct TestMailValues
{
    ConnectionSettings account;
    Sender sender; // "E-Mail-Adresse" and "Name" of the options
    QString testRecipient;
    int priorityIndex = 1; // 0 "Hoch", 1 "Normal", 2 "Niedrig"
};

// The connection test: the test mail through a client of its own (a run's
// connection is never touched), with the account's SSL and character set put into
// force first; true when the server took it. Reports a missing general settings
// file and a failed POP3 logon; a refused mail is only a false.
bool SendTestMail(const TestMailValues &values, const MailingReport &report);

// What the serial e-mail window holds that a run or a composed mail is made of.
struct MailerContent
{
    AddressTable *table = nullptr;
    QString senderAddress, senderName;
    QString subject; // as typed, placeholders and all
    int priorityIndex = 1;
    bool ignoreConnectionProblems = false; // either of the two boxes
    bool tracking = false;
    QString mailingId;
    // A text mail; its attachment, which an HTML mail takes too.
    QStringList body;
    QString attachmentPath;
    // An HTML mail, and the work folder its composed message goes to.
    QString htmlMailPath;
    QString workFolder;
};

class Mailing
{
public:
    // Reads the settings in force (reporting what the file lacks), puts the
    // account's SSL and character set into force, logs on to the POP3 server for
    // "POP vor SMTP" and configures IdSMTP1. False when the POP3 logon failed.
    bool PrepareConnection(const MailingReport &report);
    // The settings the last PrepareConnection read.
    const ConnectionSettings &settings() const { return m_settings; }

    // Composes the HTML mail for the current record of the table and saves it as
    // "Sending.eml" in the work folder (for the preview); false (with the reason)
    // when it cannot, and always while a run is going.
    bool BuildHtmlMail(const MailerContent &content, QString *problem = nullptr) const;
    // The mail options of an HTML mail; nothing (with the reason) when tracking is
    // on and its key cannot be read.
    std::optional<HtmlMailOptions> htmlOptions(const MailerContent &content, QString *problem) const;
    // The configuration of a run with the settings of the last PrepareConnection;
    // nothing (with the reason) when an HTML run's options cannot be had.
    std::optional<SendRun::Config> runConfig(SendRun::Mode mode, const MailerContent &content, QString *problem) const;

    // The SMTP component of the runs, and the way a run submits through it.
    SmtpClient IdSMTP1;
    SmtpSubmission &submission() { return m_submission; }
    // "ID: Mail" of each record the run marked invalid, for the list of rejected addresses.
    QStringList FailedList;
    // The pause of a run in milliseconds per second of the settings' delay (tests shorten it).
    int delayUnitMs = 1000;

private:
    ConnectionSettings m_settings;
    SmtpClientSubmission m_submission{IdSMTP1};
};

// The serial e-mail of the program (made on first use, kept until the end).
Mailing &SerialMailing();

} // namespace vt
