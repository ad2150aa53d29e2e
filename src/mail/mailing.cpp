#include "mailing.h"

#include "addresstable.h"
#include "datasettools.h"
#include "inifile.h"
#include "mainstate.h"
#include "paths.h"
#include "personalize.h"
#include "pop3client.h"
#include "text.h"
#include "textfile.h"
#include "tracking.h"

#include <QFile>

namespace vt {

namespace {

// The general settings file is said to be missing; what is read then are the defaults.
void checkGeneralFile(const MailingReport &report)
{
    const TMainState &st = MainState();
    const MailSettingsFiles files(st.AppFolder, st.DataFolder, st.DatabaseIniName);
    if (!files.generalFileExists())
        report(files.missingGeneralFileText());
}

// Puts the account's SSL and character set into force and logs on to the POP3
// server for "POP vor SMTP"; false (reported) when that logon fails.
bool takeAccount(const ConnectionSettings &s, const MailingReport &report)
{
    TMainState &st = MainState();
    st.SslActive = s.sslActive;
    st.CharsetIndex = s.charsetIndex;
    if (s.popBeforeSmtp && !PopBeforeSmtpLogon({s.popHost, s.popPort, s.popAccount, s.popPassword, s.sslActive})) {
        report(kPopLogonFailedText);
        return false;
    }
    return true;
}

} // namespace

QString SentMailsLogPath()
{
    return MainState().AppTempFolder + QStringLiteral("Gesendete_Mails.log");
}

QString TransactionLogPath()
{
    return MainState().AppFolder + QStringLiteral("Transaction.log");
}

QString SalutationTablePath()
{
    return MainState().AppFolder + QStringLiteral("Grussformel.txt");
}

QString ProtocolLogPath()
{
    return MainState().AppFolder + QStringLiteral("Logfile.txt");
}

bool SendTestMail(const TestMailValues &v, const MailingReport &report)
{
    checkGeneralFile(report);
    bool result = takeAccount(v.account, report);
    SmtpClient client;
    ConfigureSmtpClient(client, v.account);
    client.setMailFormat(SmtpClient::TextMail);
    client.addRecipient(v.testRecipient, v.testRecipient);
    client.setSubject(QStringLiteral("Vantrel Test-E-Mail"));
    client.setBodyText(QStringLiteral("Dies ist eine Test-E-Mail versendet mit Vantrel! Wenn Sie diese E-Mail erhalten "
                                      "haben ist der Verbindungstest erfolgreich durchgeführt worden."));
    client.setFromAddr(v.sender.address);
    client.setFrom(v.sender.name);
    client.setPriority(SmtpClient::priorityOfChoice(v.priorityIndex));
    if (client.send() != 0)
        result = false;
    client.disconnectFromServer();
    return result;
}

bool Mailing::PrepareConnection(const MailingReport &report)
{
    checkGeneralFile(report);
    {
        const TMainState &st = MainState();
        const IniFile ini(MailSettingsFiles(st.AppFolder, st.DataFolder, st.DatabaseIniName).settingsFileInForce());
        m_settings = ReadConnectionSettings(ini, report);
    }
    const bool result = takeAccount(m_settings, report);
    ConfigureSmtpClient(IdSMTP1, m_settings);
    return result;
}

std::optional<HtmlMailOptions> Mailing::htmlOptions(const MailerContent &content, QString *problem) const
{
    const TMainState &st = MainState();
    HtmlMailOptions o;
    o.charsetIndex = st.CharsetIndex;
    o.priorityIndex = content.priorityIndex;
    o.xmailerType = m_settings.xmailerType;
    o.senderName = content.senderName;
    o.senderAddress = content.senderAddress;
    o.tracking = content.tracking;
    o.statsUrl = st.StatsUrl;
    o.mailingId = content.mailingId;
    if (o.tracking) {
        o.trackingKey =
            TrackingKey(st.WebSettingsFile.isEmpty() ? WebSettingsPath(st) : st.WebSettingsFile, st.StatsUrl, problem);
        if (o.trackingKey.isEmpty())
            return std::nullopt;
    }
    return o;
}

bool Mailing::BuildHtmlMail(const MailerContent &content, QString *problem) const
{
    auto fail = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return false;
    };
    if (MainState().SendRunActive)
        return fail(TMainState::sendRunActiveText());
    AddressTable *table = content.table;
    if (!table || !table->isOpen())
        return fail(QStringLiteral("Zuerst Datenbank öffnen!"));
    const std::optional<QList<QVariant>> record = table->readRecord(table->currentId());
    if (!record)
        return fail(table->lastError());
    const QStringList names = table->fieldNames();
    const Personalizer personalizer(names, SalutationTablePath());
    PlaceholderValues values;
    QString text;
    if (!personalizer.values(TableRecordValues(*table, names, *record), values, &text))
        return fail(text);
    HtmlMailBuilder builder;
    if (!builder.load(content.htmlMailPath, &text))
        return fail(text);
    if (!content.attachmentPath.isEmpty() && !builder.addAttachment(content.attachmentPath, &text))
        return fail(text);
    const std::optional<HtmlMailOptions> o = htmlOptions(content, &text);
    if (!o)
        return fail(text);
    const int mailField = FindMailField(table);
    const QString address =
        mailField >= 0 ? Trimmed(NaturalToText(table->field(mailField), record->at(mailField))) : QString();
    const QByteArray message = builder.build(values, content.subject, address, *o);
    QFile out(content.workFolder + QStringLiteral("/Sending.eml"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(message) != message.size())
        return fail(CannotWriteFileText(out.fileName()));
    return true;
}

std::optional<SendRun::Config> Mailing::runConfig(SendRun::Mode mode, const MailerContent &content,
                                                  QString *problem) const
{
    TMainState &st = MainState();
    EnsureFolder(st.AppTempFolder);
    SendRun::Config c;
    c.mode = mode;
    c.table = content.table;
    c.salutationTable = SalutationTablePath();
    c.sentLog = SentMailsLogPath();
    if (st.TransactionLogOn)
        c.transactionLog = TransactionLogPath();
    c.senderAddress = content.senderAddress;
    c.senderName = content.senderName;
    c.subject = content.subject;
    c.priorityIndex = content.priorityIndex;
    c.charsetIndex = st.CharsetIndex;
    c.sslActive = st.SslActive;
    c.ignoreConnectionProblems = content.ignoreConnectionProblems;
    c.delayMs = m_settings.delaySeconds * delayUnitMs;
    c.attachmentPath = content.attachmentPath;
    if (mode == SendRun::Mode::Text) {
        c.body = content.body;
        return c;
    }
    c.htmlMailPath = content.htmlMailPath;
    const std::optional<HtmlMailOptions> options = htmlOptions(content, problem);
    if (!options)
        return std::nullopt;
    c.html = *options;
    return c;
}

Mailing &SerialMailing()
{
    // Made once and never destroyed: a window that lives to the end of the process
    // may still end a run through it while it goes.
    static Mailing *mailing = new Mailing;
    return *mailing;
}

} // namespace vt
