#include "statssetup.h"

#include "inifile.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"
#include "tracking.h"
#include "webpages.h"
#include "websettings.h"

namespace vt {

QString CheckTrackingInput(const QString &address, const QString &password)
{
    if (Trimmed(address).isEmpty())
        return QStringLiteral("Keinen Serverpfad für die Online-Statistik eingegeben!");
    if (Trimmed(password).isEmpty())
        return QStringLiteral("Sie haben kein Passwort eingegeben!");
    if (!IsWebPassword(Trimmed(password)))
        return kOnlyLettersAndDigitsText;
    // Every tracked link of a mailing is this address and a script name: without
    // its scheme or closing "/" every link of the mailing would lead nowhere.
    return CheckServerPath(address);
}

bool WriteTrackingSettings(const QString &webSettingsFile, const QString &address, const QString &password, bool active,
                           QString *error)
{
    IniFile ini(webSettingsFile);
    ini.setAutoSave(false);
    ini.setOwnerOnly(true);
    ini.writeString(kWebSettingsSection, kStatsUrlKey, Trimmed(address));
    ini.writeString(kWebSettingsSection, kStatsPasswordKey, Trimmed(password));
    ini.writeBool(kWebSettingsSection, kStatsActiveKey, active);
    if (ini.save())
        return true;
    if (error)
        *error = CannotWriteFileText(webSettingsFile);
    return false;
}

bool WriteStatsFiles(const StatsFilesInput &in, const QString &statsFolder, const QString &appFolder, QString *error)
{
    const QString folder = WithTrailingSlash(statsFolder);
    if (!EnsureFolder(folder)) {
        if (error)
            *error = CannotMakeFolderText(folder);
        return false;
    }
    // The password and the keys stay inside the PHP strings; including the file
    // prints nothing. $my_key alone is what statistics scripts of before read.
    QStringList keys;
    for (const QByteArray &key : in.keys)
        keys.append(PhpString(QString::fromLatin1(key)));
    if (!WriteWebLines(folder + QStringLiteral("stats_pw.php"),
                       {QStringLiteral("<?php $my_pass = ") + PhpString(in.password) + QStringLiteral("; $my_key = ") +
                        keys.value(0, QStringLiteral("''")) + QStringLiteral("; $my_keys = array(") +
                        keys.join(QStringLiteral(", ")) + QStringLiteral("); ?>")},
                       error, true))
        return false;
    for (const char *name : {"stats.php", "auswertung.php", "red_point.gif"})
        CopyShippedFile(appFolder, QLatin1String(name), folder);

    const QString folderName = HtmlText(WebFolderName(in.address));
    const QString address = HtmlText(in.address);
    const QString statsLink = HtmlAttribute(in.address + QStringLiteral("auswertung.php?password=") + in.password);
    const QStringList page{
        QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head>"),
        QStringLiteral("<body bgcolor=\"#FFFFFF\" text=\"#000000\" link=\"#0000FF\" vlink=\"#0000FF\" "
                       "alink=\"#0000FF\">"),
        QStringLiteral("<font face=\"Arial\" size=\"4\"><b>") + HtmlText(in.productName) +
            QStringLiteral(" Hilfe</b></font><br><br>"),
        QStringLiteral("<font face=\"Arial\" size=\"3\"><b>Einbauanleitung Newslettertracking (Online Statistik) für "
                       "Datenbank: </b></font></font><font size=\"2\"><b><font face=\"Arial\" size=\"3\">"),
        HtmlText(in.databaseCaption),
        QStringLiteral("<br><br><font face=\"Arial\">"),
        QStringLiteral("<font size=\"2\"><b>1. Statistikscripts und zugehörige Dateien auf Ihren Webserver "
                       "hochladen</b><br>Erzeugen Sie mit Ihrem FTP-Programm den Ordner <font color=\"#009900\"> ") +
            folderName + QStringLiteral("<font color=\"#000000\"> auf Ihrem Webserver. <br><br>"),
        QStringLiteral("Kopieren Sie mit Ihrem FTP-Programm alle Dateien aus dem Ordner <font color=\"#009900\">"),
        HtmlText(folder),
        QStringLiteral("<font color=\"#000000\">auf Ihrem Webserver in den Ordner <font color=\"#009900\">"),
        address,
        QStringLiteral("<br><br><b>"),
        QStringLiteral("<font color=\"#000000\">2. Funktionstest"),
        QStringLiteral("über folgenden Link sollten Sie auf Ihren Statistikbereich zugreifen können "
                       "(selbstverständlich sind noch keine Daten enthalten).<br></b><font face=\"Arial\"><font "
                       "size=\"2\" color=\"#009900\">"),
        QStringLiteral("<a href=\"") + statsLink + QStringLiteral("\" target=\"_blank\" rel=\"noreferrer\">") +
            statsLink + QStringLiteral("</a><br><br>"),
        QStringLiteral("<font color=\"#000000\">Sollten Sie unter obigem Link eine Fehlermeldung erhalten, überprüfen "
                       "Sie nochmals alle Einstellungen. Solange diese Seite nicht verfügbar ist, sollten Sie auf "
                       "keinen Fall Newsletter MIT aktiviertem Tracking versenden!"),
        QStringLiteral("<br><br><font color=\"#FF0000\"><b>Achtung:</b><br>"),
        QStringLiteral("<font color=\"#FF0000\">Bitte benutzen Sie unbedingt den Ordnernamen \"") + folderName +
            QStringLiteral("\" auf Ihrem Server und lassen Sie alle Scripts in diesem Ordner, da alle "
                           "Vantrel-Funktionen auf diesen Pfad zugreifen."),
        QStringLiteral("<br><br><font face=\"Arial\"><br><form name=\"form1\" method=\"post\" "
                       "action=\"javascript:print();\">"),
        QStringLiteral("<input type=\"submit\" name=\"Abschicken\" value=\"Einbauanleitung ausdrucken\"></form><br>"
                       "<font face=\"Arial\">"),
        QStringLiteral("</body></html>"),
    };
    return WriteWebLines(PathJoin(appFolder, QStringLiteral("stats-einbau.html")), page, error, true);
}

} // namespace vt
