#pragma once
// The mail settings of the serial e-mail: the general file "Vantrel.ini", the
// file of one database, "proxy.ini" and the sender lists.
//
// Every reader and writer goes through MailSettingsFiles, which applies the one
// rule that picks the file in force at the moment it is asked, so saving or
// deleting a database's own settings takes effect at the next read.
#include <QString>
#include <QStringList>

namespace vt {

class IniFile;

// Sections and keys of the mail settings file, for callers that read single keys
// themselves (the checked reads of the connection set-up and the main window).
namespace MailKeys {
inline const QString SmtpSection = QStringLiteral("SMTP");
inline const QString PopSection = QStringLiteral("POP");
inline const QString Host = QStringLiteral("host");
inline const QString Port = QStringLiteral("port");
inline const QString UserName = QStringLiteral("username");
inline const QString Password = QStringLiteral("password");
inline const QString PopAccount = QStringLiteral("konto");
inline const QString XMailerSection = QStringLiteral("XMAILER");
inline const QString XMailerType = QStringLiteral("Type");
inline const QString SslSection = QStringLiteral("SSL");
inline const QString SslActive = QStringLiteral("active");
inline const QString CodeSetSection = QStringLiteral("CodeSet");
inline const QString CodeSetIndex = QStringLiteral("Index");
inline const QString PopBeforeSmtpSection = QStringLiteral("POPvorSMTP");
inline const QString PopBeforeSmtp = QStringLiteral("POPvorSMTP");
inline const QString AuthSection = QStringLiteral("AUT");
inline const QString Authentication = QStringLiteral("Authentification");
inline const QString DelaySection = QStringLiteral("DELAY");
inline const QString Delay = QStringLiteral("delay");
inline const QString FirstSettingsSection = QStringLiteral("FIRSTSETTINGS");
inline const QString FirstSettingsDone = QStringLiteral("FirstSettingsDone");
inline const QString ProxySection = QStringLiteral("PROXY");
} // namespace MailKeys

struct MailSettings
{
    QString smtpHost;
    QString smtpPort; // as typed; SmtpPortNumber() converts it
    QString smtpUserName;
    QString smtpPassword; // kept even while authentication is off
    QString popHost;
    QString popAccount;
    QString popPassword;
    QString popPort = QStringLiteral("110");
    int xmailerType = 0; // 0 to 5
    bool sslActive = false;
    int charsetIndex = 0; // 0 ISO-8859-1, 1 Windows-1252, 2 UTF-7, 3 UTF-8
    bool popBeforeSmtp = false;
    bool authentication = false;
    int delaySeconds = 0;
    bool firstSettingsDone = false;
};

struct ProxySettings
{
    bool basicAuthentication = false; // "Proxyserver verwenden"
    QString server;
    QString port;
    QString userName;
    QString password;
};

struct Sender
{
    QString address;
    QString name;
};

// "address <name>" -> address and name; a line without "<" is all address.
Sender ParseSenderLine(const QString &line);
QString FormatSenderLine(const Sender &sender);

// A port text as a number; 0 when it is not a whole number from 1 to 65535, which
// the connection then reports as a server it cannot reach.
quint16 PortNumber(const QString &text);

// The identity text announced for an XMAILER Type (anything out of range is 0).
QString MailerIdentity(int xmailerType);

class MailSettingsFiles
{
public:
    // appFolder and dataFolder end in "/"; databaseIniName is the file name of the
    // open database's definition file ("Database.ini" for the base database).
    MailSettingsFiles(const QString &appFolder, const QString &dataFolder, const QString &databaseIniName);

    // True for a definition file name whose settings file would be one of the
    // program's own files ("config.ini", "Buttons.ini", "proxy.ini" ...), or that is
    // no plain ".ini" file name. Such a database never gets settings of its own.
    static bool isReservedDatabaseName(const QString &databaseIniName);

    bool isBaseDatabase() const;
    // Whether the open database may have settings of its own at all.
    bool canHaveOwnSettings() const;

    QString generalFile() const;
    QString proxyFile() const;
    QString generalSenderList() const;
    // The open database's own files (found without regard to case, as data made on
    // Windows may differ in case); empty when it cannot have settings of its own.
    QString databaseFile() const;
    QString databaseSenderList() const;

    // The rule: the database's own file is in force when the open database is not
    // the base database and its file exists; otherwise the general file.
    bool databaseSettingsInForce() const;
    QString settingsFileInForce() const;

    bool generalFileExists() const;
    // "Inifile <AppFolder>Vantrel.ini not found!"
    QString missingGeneralFileText() const;

    // Plain reads of the file in force (garbage and missing values give the defaults).
    MailSettings read() const;
    static MailSettings readFrom(const IniFile &ini);
    // [FIRSTSETTINGS] of the general file only, as the main window counts it.
    bool generalFirstSettingsDone() const;
    ProxySettings readProxy() const;

    struct SenderList
    {
        bool ok = false;
        QStringList lines;
        QString error; // set when the list (or the general list to copy from) is missing
    };
    // The sender list in force. A database with its own settings whose list is
    // missing gets a copy of the general list first.
    SenderList readSenderList() const;

    struct SaveResult
    {
        bool ok = false;
        QString error;
        QString target;          // the settings file written
        QStringList senderLines; // the rewritten sender list, default sender first
    };
    // Writes every key of the settings (with FirstSettingsDone = "Done") into the
    // general file, or into the open database's own file when forOpenDatabase is set
    // and the database may have one (the base database always saves generally);
    // then "proxy.ini", then the sender list whose first line becomes the given
    // sender. Each file is replaced whole, so a failure leaves the old file intact;
    // files holding passwords are readable by their owner only.
    SaveResult save(bool forOpenDatabase, const MailSettings &settings, const ProxySettings &proxy,
                    const Sender &sender) const;
    static bool writeTo(IniFile &ini, const MailSettings &settings);

    // Drops the open database's own settings: its settings file and its sender list.
    bool deleteDatabaseSettings() const;

private:
    QString m_appFolder;
    QString m_dataFolder;
    QString m_databaseIniName;
};

} // namespace vt
