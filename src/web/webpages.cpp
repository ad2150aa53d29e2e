#include "webpages.h"

#include "paths.h"
#include "text.h"
#include "textfile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>

namespace vt {

namespace {

const QString kDoctype = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
const QString kCharsetMeta = QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
const QString kStyleLink = QStringLiteral("<LINK href=\"layout.css\" rel=\"stylesheet\" type=\"text/css\">");
const QString kTimerScript =
    QStringLiteral("<script type=\"text/javascript\"> var Jetzt = new Date(); var Start = Jetzt.getTime(); </script>");
const QString kInstallBody =
    QStringLiteral("<body bgcolor=\"#FFFFFF\" text=\"#000000\" link=\"#0000FF\" vlink=\"#0000FF\" alink=\"#0000FF\">");

enum class LabelUse { Page, Snippet };

QString labelOf(const WebField &f, LabelUse use)
{
    if (f.label == QLatin1String("Mail"))
        return use == LabelUse::Page ? QStringLiteral("Emailadresse") : QStringLiteral("Ihre Email");
    if (f.label == QLatin1String("Str"))
        return QStringLiteral("Strasse");
    return f.label;
}

bool isSalutation(const WebField &f)
{
    return f.name == QLatin1String("Anrede");
}

struct Page
{
    const WebFilesInput &in;

    QString path() const { return HtmlAttribute(in.serverPath); }
    QString title() const { return HtmlText(in.title); }

    QString formLine() const
    {
        return QStringLiteral("<form name=\"subscribe\" method=\"get\" action=\"") + path() +
               QStringLiteral("mailin.php\" accept-charset=\"UTF-8\">");
    }
    QString headline() const
    {
        return QStringLiteral("&nbsp;<span class=\"headline\">") + title() + QStringLiteral("</span><br><br>");
    }
    QStringList hiddenFields() const
    {
        return {QStringLiteral("<input type=\"hidden\" name=\"send\" value=\"ok\">"),
                QStringLiteral("<input type=\"hidden\" name=\"action\" value=\"sign\" checked>"),
                QStringLiteral("<input type=\"hidden\" name=\"double\" value=\"%1\">")
                    .arg(in.doubleOptIn ? QStringLiteral("on") : QStringLiteral("off")),
                QStringLiteral("<input type=\"hidden\" name=\"cap\" value=\"%1\">")
                    .arg(in.captcha ? QStringLiteral("1") : QStringLiteral("0"))};
    }
    QString fontTag() const
    {
        return QStringLiteral("<font face=\"") + HtmlAttribute(in.fontFamily) + QStringLiteral("\" size=\"") +
               HtmlFontSize(in.pixelSize) + QStringLiteral("\" color=\"") + HtmlAttribute(in.fontColor) +
               QStringLiteral("\">");
    }
    QString noscript(const PoweredBy &pair, bool blankBefore) const
    {
        return QStringLiteral("<noscript><a href=\"") + HtmlAttribute(pair.link) + QStringLiteral("\">") +
               (blankBefore ? QStringLiteral(" ") : QString()) + QStringLiteral("powered by ") + HtmlText(pair.phrase) +
               QStringLiteral(" Vantrel</a></noscript>");
    }
    QString head(const PoweredBy &pair) const
    {
        return QStringLiteral("<head>") + kCharsetMeta + QStringLiteral("<title>") + HtmlText(pair.phrase) +
               QStringLiteral("</title>") + kStyleLink + QStringLiteral("</head>");
    }

    QStringList subscribe(const PoweredBy &pair) const
    {
        QStringList l{kDoctype,
                      QStringLiteral("<html>") + head(pair),
                      QStringLiteral("<body><br><br>"),
                      QStringLiteral(" "),
                      QStringLiteral("<div align=\"center\"><table width=\"300\" class=\"rahmen\" cellspacing=\"1\" "
                                     "border=\"0\"><tr><td>"),
                      QStringLiteral("<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>"),
                      headline(),
                      formLine()};
        l += hiddenFields();
        l.append(QStringLiteral("<table width=\"100%\" border=\"0\">"));
        for (const WebField &f : in.offeredFields) {
            const QString name = HtmlAttribute(f.name);
            l.append(QStringLiteral("<tr>"));
            l.append(QStringLiteral("<td class=\"label\">") + HtmlText(labelOf(f, LabelUse::Page)) +
                     QStringLiteral("</td>"));
            if (isSalutation(f)) {
                l += QStringList{QStringLiteral("<td>"),
                                 QStringLiteral("<select name=\"") + name + QStringLiteral("\" size=\"1\">"),
                                 QStringLiteral("<option>Herr</option>"),
                                 QStringLiteral("<option>Frau</option>"),
                                 QStringLiteral("<option>Firma</option>"),
                                 QStringLiteral("</select> </td>")};
            } else {
                l.append(QStringLiteral("<td><input type=\"text\" name=\"") + name +
                         QStringLiteral("\" size=30></td>"));
            }
            l.append(QStringLiteral("</tr>"));
        }
        l += QStringList{QStringLiteral("<tr>"),
                         QStringLiteral("<td class=\"label\">&nbsp;</td>"),
                         QStringLiteral("<td><input type=\"submit\" value=\"Bestellen\"></td>"),
                         QStringLiteral("</tr>"),
                         QStringLiteral("</table></form>"),
                         QStringLiteral("</td></tr></table></td></tr></table></div>"),
                         kTimerScript,
                         noscript(pair, true),
                         QStringLiteral("</body></html>")};
        return l;
    }

    QStringList snippet(const PoweredBy &pair) const
    {
        QStringList l{QStringLiteral("<!-- Beginn Vantrel Quelltext -->"), formLine(),
                      QStringLiteral("<table width=\"200\" bgcolor=\"") + HtmlAttribute(in.borderColor) +
                          QStringLiteral("\" cellspacing=\"1\" border=\"0\"><tr><td>"),
                      QStringLiteral("<table width=\"100%\" bgcolor=\"") + HtmlAttribute(in.bkgColor) +
                          QStringLiteral("\" border=\"0\"><tr><td>")};
        if (!Trimmed(in.title).isEmpty())
            l.append(QStringLiteral("<table width=\"100%\" border=\"0\"><tr><td>") + fontTag() + QStringLiteral("<b>") +
                     title() + QStringLiteral("</b></font></td></tr></table>"));
        l += hiddenFields();
        l.append(QStringLiteral("<table width=\"100%\" border=\"0\">"));
        for (const WebField &f : in.offeredFields) {
            const QString start = QStringLiteral("<tr><td>") + fontTag() + HtmlText(labelOf(f, LabelUse::Snippet)) +
                                  QStringLiteral("</font></td><td>");
            if (isSalutation(f)) {
                l.append(start);
                l.append(QStringLiteral("<select name=\"") + HtmlAttribute(f.name) +
                         QStringLiteral("\" size=\"1\"><option>Herr</option><option>Frau</option><option>Firma"
                                        "</option></select></td></tr>"));
            } else {
                l.append(start + QStringLiteral("<input type=\"text\" name=\"") + HtmlAttribute(f.name) +
                         QStringLiteral("\" size=20></td></tr>"));
            }
        }
        l += QStringList{QStringLiteral("<tr><td>&nbsp;</td><td><input type=\"submit\" value=\"Bestellen\"></td></tr>"),
                         QStringLiteral("<tr><td>") + fontTag() + QStringLiteral("<a href=\"") + path() +
                             QStringLiteral("unsubscribe.html\">Abbestellen</a></font></td>"),
                         QStringLiteral("<td>"),
                         QStringLiteral("</td></tr></table></td></tr></table></td></tr></table></form>"),
                         kTimerScript,
                         noscript(pair, false),
                         QStringLiteral("<!-- Ende Vantrel Quelltext -->")};
        return l;
    }

    QStringList unsubscribe(const PoweredBy &pair) const
    {
        return {kDoctype + QStringLiteral("<html>"),
                head(pair),
                QStringLiteral("<body>"),
                QStringLiteral("<br><br>"),
                QStringLiteral("<div align=\"center\"><table width=\"300\" class=\"rahmen\" cellspacing=\"1\" "
                               "cellspacing=\"0\" border=\"0\"><tr><td>"),
                QStringLiteral("<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>"),
                headline(),
                QStringLiteral("<table width=\"100%\" border=\"0\" class=\"content\">"),
                QStringLiteral("<tr><td>"),
                formLine(),
                QStringLiteral("<input type=\"hidden\" name=\"send\" value=\"ok\">"),
                QStringLiteral("<input type=\"hidden\" name=\"action\" value=\"delete\" checked>"),
                QStringLiteral("<table width=\"300\" border=\"0\">"),
                QStringLiteral("<tr><td class=\"label\">Email:</td>"),
                QStringLiteral("<td><input type=\"text\" name=\"Mail\" vsize=30></td>"),
                QStringLiteral("</tr>"),
                QStringLiteral("<tr>"),
                QStringLiteral("<td class=\"label\">&nbsp;</td>"),
                QStringLiteral("<td><input type=\"submit\" value=\"Abbestellen\"></td>"),
                QStringLiteral("</tr>"),
                QStringLiteral("</table></form>"),
                QStringLiteral("</td></tr></table></td></tr></table></div>"),
                kTimerScript,
                noscript(pair, false),
                QStringLiteral("</body>"),
                QStringLiteral("</html>")};
    }

    QStringList index(const PoweredBy &pair) const
    {
        return {kDoctype,
                QStringLiteral("<html><head>") + kCharsetMeta + QStringLiteral("<title>") + HtmlText(pair.phrase) +
                    QStringLiteral("</title>"),
                kStyleLink,
                QStringLiteral("</head>"),
                QStringLiteral("<body>"),
                QStringLiteral("</td></tr></table></td></tr></table></div>"),
                QStringLiteral("</body>"),
                QStringLiteral("</html>")};
    }

    QStringList layoutCss() const
    {
        const QString family = in.fontFamily, size = QString::number(in.pixelSize), color = in.fontColor;
        const QString font = QStringLiteral("{font-family: ") + family + QStringLiteral("; color:") + color +
                             QStringLiteral("; font-size: ") + size + QStringLiteral("px; font-weight: bold; ");
        return {QStringLiteral("BODY \t{FONT-FAMILY: verdana, helvetica; FONT-SIZE: 10px; COLOR: ") + color +
                    QStringLiteral("; BACKGROUND-COLOR: ") + in.bkgColor + QStringLiteral(";}"),
                QStringLiteral("a\t\t{color:") + color + QStringLiteral("; text-decoration:underline }"),
                QStringLiteral("a:hover \t{color:") + color + QStringLiteral("; text-decoration:underline}"),
                QStringLiteral("INPUT\t") + font + QStringLiteral("border-style: groove}"),
                QStringLiteral("TEXTAREA \t") + font + QStringLiteral("border-style: groove}"),
                QStringLiteral("SELECT\t") + font + QStringLiteral("background-color: #ffffff; border-style: groove}"),
                QStringLiteral(".rahmen \t{background-color: ") + in.borderColor + QStringLiteral(";}"),
                QStringLiteral(".content\t{FONT-FAMILY: ") + family + QStringLiteral(";\tFONT-SIZE: ") + size +
                    QStringLiteral("px; COLOR: ") + color + QStringLiteral("; BACKGROUND-COLOR: ") + in.bkgColor +
                    QStringLiteral(";}"),
                QStringLiteral(".vantrel \t{border-style:groove; font-size:10px; font-family: ") + family +
                    QStringLiteral("; }"),
                QStringLiteral(".label \t{font-size:") + size + QStringLiteral("px; font-family: ") + family +
                    QStringLiteral("; }"),
                QStringLiteral(".headline \t{FONT-FAMILY: ") + family + QStringLiteral("; FONT-SIZE: ") +
                    QString::number(in.pixelSize + 6) + QStringLiteral("px; Color: ") + color +
                    QStringLiteral("; font : bold; }"),
                QStringLiteral(".info    \t{FONT-FAMILY: verdana, helvetica; FONT-SIZE: 10px; Color: ") + color +
                    QStringLiteral("; font-style : normal;}")};
    }

    // The list scripts: the password check, then the entries the shipped script keeps.
    static QStringList listScript(const QString &which)
    {
        return {QStringLiteral("<?php"),
                QStringLiteral("error_reporting(E_ERROR | E_PARSE);"),
                QStringLiteral("if (is_file(__DIR__ . '/mailin_pw.php')) { include __DIR__ . '/mailin_pw.php'; }"),
                QStringLiteral("$act_pass = isset($_REQUEST['password']) && is_string($_REQUEST['password']) ? "
                               "$_REQUEST['password'] : '';"),
                QStringLiteral("if (!isset($my_pass) || !is_string($my_pass) || $my_pass === '' || "
                               "!hash_equals($my_pass, $act_pass)) { echo 'Access denied'; exit; }"),
                QStringLiteral("define('VANTREL_LIB_ONLY', true); require __DIR__ . '/mailin.php'; "
                               "vt_print_list('%1');")
                    .arg(which),
                QStringLiteral("?>")};
    }

    QStringList settingsScript() const
    {
        QStringList fields;
        for (const WebField &f : in.offeredFields)
            fields.append(PhpString(f.name));
        auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
        return {QStringLiteral("<?php"),
                QStringLiteral("$vt_base = ") + PhpString(in.serverPath) + QLatin1Char(';'),
                QStringLiteral("$vt_double = ") + flag(in.doubleOptIn) + QLatin1Char(';'),
                QStringLiteral("$vt_captcha = ") + flag(in.captcha) + QLatin1Char(';'),
                QStringLiteral("$vt_from = ") + PhpString(in.senderAddress) + QLatin1Char(';'),
                QStringLiteral("$vt_fields = array(") + fields.join(QStringLiteral(", ")) + QStringLiteral(");"),
                QStringLiteral("?>")};
    }

    // The installation pages.
    QStringList installStart() const
    {
        return {QStringLiteral("<html><head>") + kCharsetMeta + QStringLiteral("</head>"), kInstallBody,
                QStringLiteral("<font face=\"Arial\" size=\"4\"><b>") + HtmlText(in.productName) +
                    QStringLiteral(" Hilfe</b></font><br><br>")};
    }
    QStringList offer() const
    {
        return {QStringLiteral("<p><font face=\"Arial\" size=\"2\">Sollen Sie mit dem Einbau Probleme haben, "
                               "integrieren wir gerne gegen einen geringen Unkostenbeitrag die Newsletter-Bestellungen "
                               "und -Abbestellungen in Ihre Internetseite.</font></p>"),
                QStringLiteral("<p><font face=\"Arial\" size=\"2\">Zum Beispiel: Einbau des Bestellformulars in eine "
                               "bestehende Seite Ihres Internetauftritts ab 49,- Euro zzgl. MwSt.</font></p>"),
                QStringLiteral("<p><font face=\"Arial\" size=\"2\">Gerne erstellen wir ein individuelles Angebot, "
                               "nehmen Sie bitte hierzu mit uns Kontakt auf: <a href=\"mailto:") +
                    HtmlAttribute(in.supportEmail) + QStringLiteral("\">") + HtmlText(in.supportEmail) +
                    QStringLiteral("</a></font></p>")};
    }
    QStringList guideHead(const QString &heading) const
    {
        return {QStringLiteral("<font face=\"Arial\" size=\"3\"><b>") + heading + QStringLiteral("</b></font><br>"),
                QStringLiteral("<font face=\"Arial\" size=\"3\">") + HtmlText(in.databaseCaption) +
                    QStringLiteral("</font><br><br>"),
                QStringLiteral("<form name=\"druck\" method=\"post\" action=\"javascript:print();\"><input "
                               "type=\"submit\" value=\"Einbauanleitung ausdrucken\"></form>")};
    }
    QStringList uploadStep(const QString &uploadFolder) const
    {
        return {QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>1. Bestellformular und zugehörige Scripts auf "
                               "Ihren Webserver hochladen</b><br>"),
                QStringLiteral("Erzeugen Sie mit Ihrem FTP-Programm den Ordner <font color=\"#009900\">") +
                    HtmlText(in.folderName) + QStringLiteral("</font> auf Ihrem Webserver.<br>"),
                QStringLiteral("Kopieren Sie mit Ihrem FTP-Programm alle Dateien aus dem Ordner <font "
                               "color=\"#009900\">") +
                    HtmlText(uploadFolder) +
                    QStringLiteral("</font> auf Ihrem Webserver in den Ordner <font color=\"#009900\">") + path() +
                    QStringLiteral("</font>.<br>"),
                QStringLiteral("Die eingegangenen Bestellungen und Abbestellungen legen die Scripte auf dem Server in "
                               "eigenen Dateien ab (Endung .dat.php). Sie gehören nicht zu den hochgeladenen Dateien "
                               "und bleiben erhalten, wenn Sie die Dateien später erneut hochladen.</font></p>")};
    }
    QStringList testAndInfoSteps(int first) const
    {
        return {QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>%1. Funktionstest</b><br>").arg(first),
                QStringLiteral("Der Link <a href=\"") + path() + QStringLiteral("mailin.php\" target=\"_blank\">") +
                    path() +
                    QStringLiteral("mailin.php</a> zeigt eine kurze Seite, sobald die Scripte auf dem Server laufen. "
                                   "Die gesammelten Einträge holt nur das Programm mit Ihrem Passwort ab.</font></p>"),
                QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>%1. Infos</b><br>").arg(first + 1),
                QStringLiteral("Alle Einstellungen und Links finden Sie später im Programm unter dem Menüpunkt \"Web "
                               "u. Newsletter - Info zur Datenbank\".</font></p>"),
                QStringLiteral("<p><font face=\"Arial\" size=\"2\" color=\"#FF0000\"><b>Achtung:</b><br>"),
                QStringLiteral("Bitte benutzen Sie unbedingt den Ordnernamen \"") + HtmlText(in.folderName) +
                    QStringLiteral("\" auf Ihrem Server und lassen Sie alle Scripts in diesem Ordner, da alle "
                                   "Vantrel-Funktionen auf diesen Pfad zugreifen.</font></p>")};
    }

    QStringList helpIndex() const
    {
        QStringList l = installStart();
        l += QStringList{
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><a href=\"integriert-einbau.html\"><b>Quelltext-Version:"
                           "</b></a><br>Bestellformular zum Einbau direkt in Ihre Internetseite</font></p>"),
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><a href=\"extra.html\"><b>Link-Version:</b></a><br>"
                           "Fertige Bestellformulare zum Verlinken mit Ihrer Internetseite</font></p>")};
        l += offer();
        l.append(QStringLiteral("</body></html>"));
        return l;
    }

    QStringList linkGuide(const QString &uploadFolder) const
    {
        QStringList l = installStart();
        l += guideHead(QStringLiteral("Einbauanleitung zum Bestellformular als extra Seite:"));
        l += uploadStep(uploadFolder);
        l += QStringList{
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>2. Einbauen / Verlinken des Bestellformulars</b> mit "
                           "Ihrer bestehenden Internetseite<br>"),
            QStringLiteral("Verlinken Sie Ihre Internetseite mit <a href=\"") + path() +
                QStringLiteral("subscribe.html\" target=\"_blank\">") + path() +
                QStringLiteral("subscribe.html</a> oder bauen Sie Teile der Datei subscribe.html in eine eigene Seite "
                               "ein.</font></p>"),
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>3. Abbestellung des Newsletters</b><br>"),
            QStringLiteral("Setzen Sie den Link <a href=\"") + path() + QStringLiteral("unsubscribe.html\">") + path() +
                QStringLiteral("unsubscribe.html</a> in die versendeten Newsletter.</font></p>")};
        l += testAndInfoSteps(4);
        l.append(QStringLiteral("</body></html>"));
        return l;
    }

    QStringList sourceGuide(const QString &uploadFolder, const QStringList &snippetLines) const
    {
        QStringList l = installStart();
        l += guideHead(QStringLiteral("Einbauanleitung zum Bestellformular direkt in die Internetseite:"));
        l += uploadStep(uploadFolder);
        l += QStringList{
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>2. Einbauen des Bestellformulars</b><br>"),
            QStringLiteral("Kopieren Sie unten aufgeführten HTML-Quelltext und fügen Sie diesen an der "
                           "gewünschten Stelle in Ihre Internetseite ein.</font></p>")};
        l += testAndInfoSteps(3);
        l.append(
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>Quelltext für Ihre Internetseite:</b></font><br>"));
        l.append(QStringLiteral("<textarea name=\"holdtext\" rows=\"12\" cols=\"100\">"));
        // Shown as text: a browser would otherwise turn the snippet's entities into characters.
        for (const QString &line : snippetLines)
            l.append(HtmlText(line));
        l.append(QStringLiteral("</textarea></p>"));
        l.append(QStringLiteral("<p><font face=\"Arial\" size=\"2\"><b>Vorschau:</b></font><br>"));
        l += snippetLines;
        l.append(QStringLiteral("</p></body></html>"));
        return l;
    }

    QStringList linkVersion(const QString &uploadFolder) const
    {
        const QString local = HtmlAttribute(QUrl::fromLocalFile(uploadFolder).toString());
        QStringList l = installStart();
        l += QStringList{
            QStringLiteral("<font face=\"Arial\" size=\"3\"><b>Fertige Bestellformulare zum Verlinken mit Ihrer "
                           "Internetseite (Linkversion)</b></font><br><br>"),
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><a href=\"extra-einbau.html\">Einbauanleitung "
                           "f&uuml;r die Formulare</a></font></p>"),
            QStringLiteral("<p><font face=\"Arial\" size=\"2\"><a href=\"") + local +
                QStringLiteral("subscribe.html\" target=\"_blank\">Voransicht Bestellformular</a><br>"),
            QStringLiteral("<a href=\"") + local +
                QStringLiteral("unsubscribe.html\" target=\"_blank\">Voransicht Abbestellformular</a></font></p>")};
        l += offer();
        l.append(QStringLiteral("</body></html>"));
        return l;
    }
};

} // namespace

QString HtmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

QString HtmlAttribute(const QString &text)
{
    return HtmlText(text).replace(QLatin1Char('"'), QStringLiteral("&quot;"));
}

QString PhpString(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

bool WriteWebLines(const QString &path, const QStringList &lines, QString *error, bool ownerOnly)
{
    WriteOptions opt;
    opt.encoding = TextEncoding::Utf8;
    opt.ownerOnly = ownerOnly;
    QString reason;
    if (WriteLines(path, lines, opt, &reason))
        return true;
    if (error)
        *error = CannotWriteFileText(path) + (reason.isEmpty() ? QString() : QStringLiteral("\n") + reason);
    return false;
}

bool CopyShippedFile(const QString &appFolder, const QString &name, const QString &targetFolder)
{
    const QString source = ResolveExisting(appFolder, name);
    if (!IsFile(source))
        return false;
    const QString target = PathJoin(targetFolder, name);
    QFile::remove(target);
    return QFile::copy(source, target);
}

QString VersionNumber(const QString &versionText)
{
    QString v = versionText;
    v.remove(QStringLiteral("Version"), Qt::CaseInsensitive);
    return Trimmed(v);
}

QString JoinedText(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text = Trimmed(text + QLatin1Char(' ') + line);
    return text;
}

WebFilesResult WriteWebFiles(const WebFilesInput &in, const QString &uploadFolder, const QString &appFolder)
{
    WebFilesResult result;
    const QString upload = WithTrailingSlash(uploadFolder);
    if (!EnsureFolder(upload)) {
        result.error = CannotMakeFolderText(upload);
        return result;
    }
    const Page page{in};
    auto pick = [&in]() -> const PoweredBy & {
        const int n = int(in.pairs.size());
        const int i = in.pick ? in.pick(n) : int(QRandomGenerator::global()->bounded(n));
        return in.pairs.at(std::clamp(i, 0, n - 1));
    };
    const PoweredBy &k = pick();
    const PoweredBy &m = pick();
    const PoweredBy &n = pick();
    const QStringList snippet = page.snippet(m);

    struct File
    {
        QString path;
        QStringList lines;
        bool ownerOnly = false; // it holds a password
    };
    const QList<File> files{
        {upload + QStringLiteral("subscribe.html"), page.subscribe(k)},
        {appFolder + QStringLiteral("quelltext-version.html"), snippet},
        {upload + QStringLiteral("unsubscribe.html"), page.unsubscribe(n)},
        {upload + QStringLiteral("index.html"), page.index(n)},
        {appFolder + QStringLiteral("einbau.html"), page.helpIndex()},
        {appFolder + QStringLiteral("extra-einbau.html"), page.linkGuide(upload)},
        {appFolder + QStringLiteral("integriert-einbau.html"), page.sourceGuide(upload, snippet)},
        // The password stays in the PHP string: a script that includes the file prints nothing.
        {upload + QStringLiteral("mailin_pw.php"),
         {QStringLiteral("<?php $my_pass = ") + PhpString(in.password) + QStringLiteral("; ?>")},
         true},
        {upload + QStringLiteral("mailin_cfg.php"), page.settingsScript()},
        {upload + QStringLiteral("email_list_in.php"), Page::listScript(QStringLiteral("in"))},
        {upload + QStringLiteral("email_list_out.php"), Page::listScript(QStringLiteral("out"))},
        {upload + QStringLiteral("hashes.csv"), {QStringLiteral("\r")}},
        {appFolder + QStringLiteral("extra.html"), page.linkVersion(upload)},
        {upload + QStringLiteral("layout.css"), page.layoutCss()},
        {upload + QStringLiteral("version.php"),
         {QStringLiteral("<?php $vantrel_version = ") + PhpString(VersionNumber(in.versionText)) +
          QStringLiteral("; ?>")}},
        {upload + QStringLiteral("subscribemessage.txt"), {JoinedText(in.texts.message)}},
        {upload + QStringLiteral("email_subject.txt"), {in.texts.subject}},
        {upload + QStringLiteral("email_text.txt"), {JoinedText(in.texts.mailText)}},
    };
    for (const File &f : files)
        if (!WriteWebLines(f.path, f.lines, &result.error, f.ownerOnly))
            return result;
    for (const char *name :
         {"mailin.php", "captcha.php", "captcha.png", "XFILES.TTF", "wipe_files.php", "submit-seite.php"})
        CopyShippedFile(appFolder, QLatin1String(name), upload);
    result.ok = true;
    return result;
}

} // namespace vt
