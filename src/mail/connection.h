#pragma once
// The mail server set-up of a send run and of the test mail: the settings read
// in their fixed order (missing sections and keys reported one by one), the POP3
// logon of "POP vor SMTP", and the SMTP component configured from them.
#include "checkedini.h"
#include "mailsettings.h"

#include <QSslConfiguration>
#include <QString>

namespace vt {

class IniFile;
class SmtpClient;

struct ConnectionSettings
{
    QString host;
    QString port; // as stored; PortNumber() converts it
    bool authentication = false;
    QString userName;
    QString password; // read only while authentication is on
    bool sslActive = false;
    int charsetIndex = 0;
    QString popHost, popAccount, popPassword, popPort;
    int delaySeconds = 0;
    bool popBeforeSmtp = false;
    int xmailerType = 0;
};

// The host value of an account that was never set up.
inline const QString kUnsetSmtpHost = QStringLiteral("Ihr SMTP Server");

// Reads the settings of a send run from the file in force: the reads of the SMTP,
// AUT, POP, DELAY and POPvorSMTP keys report what the file lacks (one text per
// missing section or key, in the reading order; an error box each without a
// report); SSL, CodeSet and XMAILER are read plainly. The second reading of [AUT]
// decides whether the run authenticates.
ConnectionSettings ReadConnectionSettings(const IniFile &ini, const IniReport &report = {});
// The same from settings held in memory (the values entered in the options).
ConnectionSettings ConnectionSettingsOf(const MailSettings &m);

// The TLS configuration of the program's mail connections: the system's
// authorities unless a test added its own.
QSslConfiguration MailSslConfiguration();
void SetMailSslConfiguration(const QSslConfiguration &config);

struct PopLogon
{
    QString host, port, account, password;
    bool ssl = false;
};
// Logs on to the POP3 server and off again; false when that fails in any way
// (detail says why, for the protocol log).
bool PopBeforeSmtpLogon(const PopLogon &logon, QString *detail = nullptr);

// Server, port, TLS ("SSL": implicit TLS on port 465, STARTTLS on any other) and,
// while authentication is on, the credentials; the character set. The client
// identity is the caller's: a text run announces its own, a test mail none.
void ConfigureSmtpClient(SmtpClient &client, const ConnectionSettings &settings);

} // namespace vt
