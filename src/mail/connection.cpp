#include "connection.h"

#include "checkedini.h"
#include "inifile.h"
#include "pop3client.h"
#include "smtpclient.h"

#include <optional>

namespace vt {

namespace {

std::optional<QSslConfiguration> &sslOverride()
{
    static std::optional<QSslConfiguration> config;
    return config;
}

// A POP3 server that accepts the connection and never answers must not hold the
// run for the client's long default.
constexpr int kPopConnectMs = 30000;
constexpr int kPopReplyMs = 60000;

} // namespace

ConnectionSettings ReadConnectionSettings(const IniFile &ini, const IniReport &report)
{
    using namespace MailKeys;
    const QString trueText = QStringLiteral("True");
    const QString falseText = QStringLiteral("False");
    ConnectionSettings s;
    s.host = CheckedReadString(ini, SmtpSection, Host, {}, report);
    s.port = CheckedReadString(ini, SmtpSection, Port, {}, report);
    const bool authFirst = CheckedReadString(ini, AuthSection, Authentication, falseText, report) == trueText;
    s.userName = CheckedReadString(ini, SmtpSection, UserName, {}, report);
    if (authFirst)
        s.password = CheckedReadString(ini, SmtpSection, Password, {}, report);
    s.sslActive = ini.readBool(SslSection, SslActive, false);
    s.charsetIndex = ini.readInteger(CodeSetSection, CodeSetIndex, 0);
    if (s.charsetIndex < 0 || s.charsetIndex > 3)
        s.charsetIndex = 0;
    s.popHost = CheckedReadString(ini, PopSection, Host, {}, report);
    s.popAccount = CheckedReadString(ini, PopSection, PopAccount, {}, report);
    s.popPassword = CheckedReadString(ini, PopSection, Password, {}, report);
    s.popPort = CheckedReadString(ini, PopSection, Port, QStringLiteral("110"), report);
    s.delaySeconds = qMax(0, CheckedReadInteger(ini, DelaySection, Delay, 0, report));
    s.popBeforeSmtp = CheckedReadString(ini, PopBeforeSmtpSection, PopBeforeSmtp, falseText, report) == trueText;
    s.authentication = CheckedReadString(ini, AuthSection, Authentication, falseText, report) == trueText;
    if (!s.authentication)
        s.password.clear();
    // The identity chosen in the options is the one stored there.
    s.xmailerType = ini.readInteger(XMailerSection, XMailerType, 0);
    if (s.xmailerType < 0 || s.xmailerType > 5)
        s.xmailerType = 0;
    return s;
}

ConnectionSettings ConnectionSettingsOf(const MailSettings &m)
{
    ConnectionSettings s;
    s.host = m.smtpHost;
    s.port = m.smtpPort;
    s.authentication = m.authentication;
    s.userName = m.smtpUserName;
    if (m.authentication)
        s.password = m.smtpPassword;
    s.sslActive = m.sslActive;
    s.charsetIndex = (m.charsetIndex < 0 || m.charsetIndex > 3) ? 0 : m.charsetIndex;
    s.popHost = m.popHost;
    s.popAccount = m.popAccount;
    s.popPassword = m.popPassword;
    s.popPort = m.popPort;
    s.delaySeconds = qMax(0, m.delaySeconds);
    s.popBeforeSmtp = m.popBeforeSmtp;
    s.xmailerType = (m.xmailerType < 0 || m.xmailerType > 5) ? 0 : m.xmailerType;
    return s;
}

QSslConfiguration MailSslConfiguration()
{
    if (sslOverride())
        return *sslOverride();
    return DefaultMailSslConfiguration();
}

void SetMailSslConfiguration(const QSslConfiguration &config)
{
    sslOverride() = config;
}

bool PopBeforeSmtpLogon(const PopLogon &logon, QString *detail)
{
    Pop3Client pop;
    pop.setServer(logon.host, PortNumber(logon.port));
    pop.setCredentials(logon.account, logon.password);
    pop.setTlsMode(logon.ssl ? TlsMode::Auto : TlsMode::Off);
    pop.setSslConfiguration(MailSslConfiguration());
    pop.setTimeouts(kPopConnectMs, kPopReplyMs);
    const bool ok = pop.logon();
    if (!ok && detail)
        *detail = pop.lastErrorText();
    return ok;
}

void ConfigureSmtpClient(SmtpClient &client, const ConnectionSettings &s)
{
    client.setServer(s.host, PortNumber(s.port));
    client.setTlsMode(s.sslActive ? TlsMode::Auto : TlsMode::Off);
    client.setSslConfiguration(MailSslConfiguration());
    // The client authenticates exactly when it has both user name and password.
    if (s.authentication)
        client.setCredentials(s.userName, s.password);
    else
        client.setCredentials({}, {});
    client.setCharsetIndex(s.charsetIndex);
}

} // namespace vt
