#include "mailsettings.h"

#include "inifile.h"
#include "paths.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"

#include <QFile>

namespace vt {

namespace {

const QString kGeneralName = QStringLiteral("Vantrel.ini");
const QString kProxyName = QStringLiteral("proxy.ini");
const QString kGeneralSenders = QStringLiteral("AbsenderMails.ini");
const QString kSenderPrefix = QStringLiteral("Absender-");
const QString kBaseDatabase = QStringLiteral("Database.ini");

// Files of the program folder that a database's settings file must never land on.
const QStringList &programFiles()
{
    static const QStringList names = {
        kGeneralName,
        kProxyName,
        QStringLiteral("config.ini"),
        QStringLiteral("Buttons.ini"),
        QStringLiteral("ver.ini"),
        QStringLiteral("Update.ini"),
        QStringLiteral("enterprise_fields.ini"),
        QStringLiteral("BackupPath.ini"),
        QStringLiteral("NoWer.ini"),
        kBaseDatabase,
    };
    return names;
}

int inRange(int value, int low, int high)
{
    return value < low || value > high ? low : value;
}

QString trueFalse(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

QString cannotWrite(const QString &path, const QString &reason)
{
    QString text = CannotWriteFileText(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r") + reason;
    return text;
}

} // namespace

Sender ParseSenderLine(const QString &line)
{
    Sender s;
    if (!line.contains(QLatin1Char('<'))) {
        s.address = Trimmed(line);
        return s;
    }
    s.address = Trimmed(ExtractDelimitedWord(1, line, QStringLiteral("<")));
    s.name = Trimmed(ExtractDelimitedWord(2, line, QStringLiteral("<")));
    // Only the closing bracket goes; a name whose bracket was lost keeps its last letter.
    if (s.name.endsWith(QLatin1Char('>')))
        s.name.chop(1);
    return s;
}

QString FormatSenderLine(const Sender &sender)
{
    return sender.address + QStringLiteral(" <") + sender.name + QLatin1Char('>');
}

quint16 PortNumber(const QString &text)
{
    bool ok = false;
    const int port = IniFile::parseInteger(text, 0, &ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : 0;
}

QString MailerIdentity(int xmailerType)
{
    static const char *const identities[] = {
        "XMailer",
        "Microsoft Outlook Express 6.00.2900.5931",
        "Microsoft Outlook, Build 10.0.2627",
        "Microsoft Office Outlook 11",
        "Microsoft Office Outlook 12.0",
        "Microsoft Outlook 14.0",
    };
    return QString::fromLatin1(identities[inRange(xmailerType, 0, 5)]);
}

MailSettingsFiles::MailSettingsFiles(const QString &appFolder, const QString &dataFolder,
                                     const QString &databaseIniName)
    : m_appFolder(WithTrailingSlash(appFolder)), m_dataFolder(WithTrailingSlash(dataFolder)),
      m_databaseIniName(databaseIniName)
{
}

bool MailSettingsFiles::isReservedDatabaseName(const QString &name)
{
    // Definition files are always made as "<name>.ini"; anything else (a path, a
    // hidden file, the executable's name) has no business in the program folder.
    if (!name.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive) || name.size() <= 4)
        return true;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.startsWith(QLatin1Char('.')))
        return true;
    for (const QChar c : name)
        if (c.unicode() < 32)
            return true;
    for (const QString &own : programFiles())
        if (own.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool MailSettingsFiles::isBaseDatabase() const
{
    return m_databaseIniName.compare(kBaseDatabase, Qt::CaseInsensitive) == 0;
}

bool MailSettingsFiles::canHaveOwnSettings() const
{
    return !isBaseDatabase() && !isReservedDatabaseName(m_databaseIniName);
}

QString MailSettingsFiles::generalFile() const
{
    return m_appFolder + kGeneralName;
}

QString MailSettingsFiles::proxyFile() const
{
    return m_appFolder + kProxyName;
}

QString MailSettingsFiles::generalSenderList() const
{
    return m_dataFolder + kGeneralSenders;
}

QString MailSettingsFiles::databaseFile() const
{
    return canHaveOwnSettings() ? ResolveExisting(m_appFolder, m_databaseIniName) : QString();
}

QString MailSettingsFiles::databaseSenderList() const
{
    return canHaveOwnSettings() ? ResolveExisting(m_dataFolder, kSenderPrefix + m_databaseIniName) : QString();
}

bool MailSettingsFiles::databaseSettingsInForce() const
{
    // databaseFile() is empty for a database that cannot have settings of its own.
    return IsFile(databaseFile());
}

QString MailSettingsFiles::settingsFileInForce() const
{
    const QString own = databaseFile();
    return IsFile(own) ? own : generalFile();
}

bool MailSettingsFiles::generalFileExists() const
{
    return IsFile(generalFile());
}

QString MailSettingsFiles::missingGeneralFileText() const
{
    return QStringLiteral("Inifile ") + m_appFolder + QStringLiteral("Vantrel.ini not found!");
}

MailSettings MailSettingsFiles::readFrom(const IniFile &ini)
{
    using namespace MailKeys;
    MailSettings s;
    s.smtpHost = ini.readString(SmtpSection, Host);
    s.smtpPort = ini.readString(SmtpSection, Port);
    s.smtpUserName = ini.readString(SmtpSection, UserName);
    s.smtpPassword = ini.readString(SmtpSection, Password);
    s.popHost = ini.readString(PopSection, Host);
    s.popAccount = ini.readString(PopSection, PopAccount);
    s.popPassword = ini.readString(PopSection, Password);
    s.popPort = ini.readString(PopSection, Port, QStringLiteral("110"));
    // The options dialog only ever writes list indexes; anything else is the first entry.
    s.xmailerType = inRange(ini.readInteger(XMailerSection, XMailerType, 0), 0, 5);
    s.sslActive = ini.readBool(SslSection, SslActive, false);
    s.charsetIndex = inRange(ini.readInteger(CodeSetSection, CodeSetIndex, 0), 0, 3);
    s.popBeforeSmtp = ini.readString(PopBeforeSmtpSection, PopBeforeSmtp) == QLatin1String("True");
    s.authentication = ini.readString(AuthSection, Authentication) == QLatin1String("True");
    s.delaySeconds = qMax(0, ini.readInteger(DelaySection, Delay, 0));
    s.firstSettingsDone = ini.readString(FirstSettingsSection, FirstSettingsDone) == QLatin1String("Done");
    return s;
}

MailSettings MailSettingsFiles::read() const
{
    return readFrom(IniFile(settingsFileInForce()));
}

bool MailSettingsFiles::generalFirstSettingsDone() const
{
    return readFrom(IniFile(generalFile())).firstSettingsDone;
}

ProxySettings MailSettingsFiles::readProxy() const
{
    using namespace MailKeys;
    const IniFile ini(proxyFile());
    ProxySettings p;
    p.basicAuthentication = ini.readBool(ProxySection, QStringLiteral("BasicAuthentification"), false);
    p.server = ini.readString(ProxySection, QStringLiteral("ProxyServer"));
    p.port = ini.readString(ProxySection, QStringLiteral("ProxyPort"));
    p.userName = ini.readString(ProxySection, QStringLiteral("ProxyUsername"));
    p.password = ini.readString(ProxySection, QStringLiteral("ProxyPassword"));
    return p;
}

MailSettingsFiles::SenderList MailSettingsFiles::readSenderList() const
{
    SenderList result;
    QString path = generalSenderList();
    if (databaseSettingsInForce()) {
        path = databaseSenderList();
        if (!IsFile(path)) {
            // QFile::copy never replaces a file, so nothing else can be overwritten.
            if (!IsFile(generalSenderList())) {
                result.error = CannotOpenFileText(generalSenderList());
                return result;
            }
            if (!QFile::copy(generalSenderList(), path)) {
                result.error = cannotWrite(path, QString());
                return result;
            }
        }
    }
    bool ok = false;
    result.lines = ReadLines(path, &ok);
    result.ok = ok;
    if (!ok)
        result.error = CannotOpenFileText(path);
    return result;
}

bool MailSettingsFiles::writeTo(IniFile &ini, const MailSettings &s)
{
    using namespace MailKeys;
    ini.setAutoSave(false);
    ini.writeString(SmtpSection, Host, s.smtpHost);
    ini.writeString(SmtpSection, Port, s.smtpPort);
    ini.writeString(SmtpSection, UserName, s.smtpUserName);
    ini.writeString(SmtpSection, Password, s.smtpPassword);
    ini.writeString(PopSection, Host, s.popHost);
    ini.writeString(PopSection, PopAccount, s.popAccount);
    ini.writeString(PopSection, Password, s.popPassword);
    ini.writeString(PopSection, Port, s.popPort);
    ini.writeInteger(XMailerSection, XMailerType, s.xmailerType);
    ini.writeBool(SslSection, SslActive, s.sslActive);
    ini.writeInteger(CodeSetSection, CodeSetIndex, s.charsetIndex);
    ini.writeString(PopBeforeSmtpSection, PopBeforeSmtp, trueFalse(s.popBeforeSmtp));
    ini.writeString(AuthSection, Authentication, trueFalse(s.authentication));
    ini.writeInteger(DelaySection, Delay, s.delaySeconds);
    ini.writeString(FirstSettingsSection, FirstSettingsDone, QStringLiteral("Done"));
    // The file holds passwords.
    ini.setOwnerOnly(true);
    return ini.save();
}

MailSettingsFiles::SaveResult MailSettingsFiles::save(bool forOpenDatabase, const MailSettings &settings,
                                                      const ProxySettings &proxy, const Sender &sender) const
{
    SaveResult r;
    const bool own = forOpenDatabase && !isBaseDatabase();
    if (own && !canHaveOwnSettings()) {
        r.error = QStringLiteral("Für die Datenbank ") + m_databaseIniName +
                  QStringLiteral(" können keine eigenen Einstellungen gespeichert werden, weil ihr Name einer "
                                 "Datei des Programms entspricht!");
        return r;
    }
    r.target = own ? databaseFile() : generalFile();

    IniFile ini(r.target);
    if (!writeTo(ini, settings)) {
        r.error = cannotWrite(r.target, ini.lastError());
        return r;
    }

    using namespace MailKeys;
    IniFile proxyIni(proxyFile());
    proxyIni.setAutoSave(false);
    proxyIni.setOwnerOnly(true);
    proxyIni.writeBool(ProxySection, QStringLiteral("BasicAuthentification"), proxy.basicAuthentication);
    proxyIni.writeString(ProxySection, QStringLiteral("ProxyServer"), Trimmed(proxy.server));
    proxyIni.writeString(ProxySection, QStringLiteral("ProxyPort"), Trimmed(proxy.port));
    proxyIni.writeString(ProxySection, QStringLiteral("ProxyUsername"), Trimmed(proxy.userName));
    proxyIni.writeString(ProxySection, QStringLiteral("ProxyPassword"), Trimmed(proxy.password));
    if (!proxyIni.save()) {
        r.error = cannotWrite(proxyFile(), proxyIni.lastError());
        return r;
    }

    // The new first line replaces the old one; every other sender stays in its place.
    const QString listPath = own ? databaseSenderList() : generalSenderList();
    QStringList lines = ReadLines(listPath);
    const QString first = FormatSenderLine({Trimmed(sender.address), Trimmed(sender.name)});
    if (lines.isEmpty())
        lines.append(first);
    else
        lines[0] = first;
    QString error;
    if (!WriteLines(listPath, lines, {}, &error)) {
        r.error = cannotWrite(listPath, error);
        return r;
    }
    r.senderLines = lines;
    r.ok = true;
    return r;
}

bool MailSettingsFiles::deleteDatabaseSettings() const
{
    if (!canHaveOwnSettings())
        return true;
    bool ok = true;
    for (const QString &path : {databaseSenderList(), databaseFile()})
        if (IsFile(path) && !QFile::remove(path))
            ok = false;
    return ok;
}

} // namespace vt
