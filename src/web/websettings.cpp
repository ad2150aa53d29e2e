#include "websettings.h"

#include "definitionfiles.h"
#include "inifile.h"
#include "paths.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"
#include "tracking.h"

#include <QRegularExpression>
#include <QUrl>

namespace vt {

namespace {

const QString kOnlinePath = QStringLiteral("OnlinePath");
const QString kBkgColor = QStringLiteral("BKGColor");
const QString kFontColor = QStringLiteral("FontColor");
const QString kBorderColor = QStringLiteral("BorderColor");
const QString kFont = QStringLiteral("Font");
const QString kFontSize = QStringLiteral("FontSize");
const QString kTitle = QStringLiteral("Title");
const QString kOnlinePassword = QStringLiteral("OnlinePassword");
const QString kCaptcha = QStringLiteral("Captcha");
const QString kDoubleOptIn = QStringLiteral("DoubleOptIn");
const QString kInvalid = QStringLiteral("Invalid");
const QString kUploadParent = QStringLiteral("UploadFolder");

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

const QString kFieldSelectionFile = QStringLiteral("enterprise_fields.ini");

const QString kMessageFile = QStringLiteral("subscribemessage.txt");
const QString kSubjectFile = QStringLiteral("email_subject.txt");
const QString kMailTextFile = QStringLiteral("email_text.txt");

// The pages of the maker that the generated forms link to.
const QString kNewsletterPage = QStringLiteral("https://www.halvicor.example/vantrel/");
const QString kSendingPage = QStringLiteral("https://www.halvicor.example/newsletter-versenden/");
const QString kSerialMailPage = QStringLiteral("https://www.halvicor.example/serienmail/");
const QString kMarketingPage = QStringLiteral("https://www.halvicor.example/e-mail-marketing/");

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Two hexadecimal digits at the position; -1 when they are not.
int hexPair(const QString &text, int at)
{
    if (at + 2 > text.size())
        return -1;
    const int high = hexDigit(text.at(at)), low = hexDigit(text.at(at + 1));
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

} // namespace

WebSettings ReadWebSettings(const QString &path, bool *exists)
{
    WebSettings s;
    const bool there = IsFile(path);
    if (exists)
        *exists = there;
    if (!there) {
        // A database that was never set up for the web asks for no confirmation
        // mails until the user ticks it; only a file without the key means "on".
        s.DoubleOptIn = false;
        return s;
    }
    const IniFile ini(path);
    const QString &sec = kWebSettingsSection;
    s.OnlinePath = ini.readString(sec, kOnlinePath);
    s.BKGColor = ini.readString(sec, kBkgColor, s.BKGColor);
    s.FontColor = ini.readString(sec, kFontColor, s.FontColor);
    s.BorderColor = ini.readString(sec, kBorderColor, s.BorderColor);
    s.Font = ini.readString(sec, kFont, s.Font);
    s.FontSize = ini.readString(sec, kFontSize, s.FontSize);
    s.Title = ini.readString(sec, kTitle);
    s.OnlinePassword = ini.readString(sec, kOnlinePassword);
    s.Captcha = ini.readString(sec, kCaptcha, s.Captcha);
    s.DoubleOptIn = ini.readString(sec, kDoubleOptIn, kTrue) == kTrue;
    s.Invalid = ini.readString(sec, kInvalid, kFalse) == kTrue;
    s.UploadParent = ini.readString(sec, kUploadParent);
    return s;
}

bool WriteWebSettings(const QString &path, const WebSettings &s, QString *error)
{
    IniFile ini(path);
    ini.setAutoSave(false);
    ini.setOwnerOnly(true);
    const QString &sec = kWebSettingsSection;
    ini.writeString(sec, kOnlinePath, s.OnlinePath);
    ini.writeString(sec, kBkgColor, s.BKGColor);
    ini.writeString(sec, kFontColor, s.FontColor);
    ini.writeString(sec, kBorderColor, s.BorderColor);
    ini.writeString(sec, kFont, s.Font);
    ini.writeString(sec, kFontSize, s.FontSize);
    ini.writeString(sec, kTitle, s.Title);
    ini.writeString(sec, kOnlinePassword, s.OnlinePassword);
    ini.writeString(sec, kCaptcha, s.Captcha);
    ini.writeString(sec, kDoubleOptIn, s.DoubleOptIn ? kTrue : kFalse);
    ini.writeString(sec, kInvalid, s.Invalid ? kTrue : kFalse);
    if (!s.UploadParent.isEmpty())
        ini.writeString(sec, kUploadParent, s.UploadParent);
    if (ini.save())
        return true;
    if (error)
        *error = CannotWriteFileText(path);
    return false;
}

QString ColorToHtml(const QColor &color)
{
    const QColor c = color.isValid() ? color.toRgb() : QColor(Qt::black);
    return QStringLiteral("#%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor HtmlToColor(const QString &text, bool *ok)
{
    const int start = text.startsWith(QLatin1Char('#')) ? 1 : 0;
    const int r = hexPair(text, start), g = hexPair(text, start + 2), b = hexPair(text, start + 4);
    const bool good = r >= 0 && g >= 0 && b >= 0;
    if (ok)
        *ok = good;
    return good ? QColor(r, g, b) : QColor(Qt::black);
}

const QStringList &WebFontFamilies()
{
    static const QStringList families{
        QStringLiteral("Arial, Helvetica, sans-serif"),
        QStringLiteral("Times New Roman, Times, serif"),
        QStringLiteral("Courier New, Courier, mono"),
        QStringLiteral("Georgia, Times New Roman, Times, serif"),
        QStringLiteral("Verdana, Arial, Helvetica, sans-serif"),
        QStringLiteral("Geneva, Arial, Helvetica, san-serif"),
    };
    return families;
}

const QStringList &WebFontSizes()
{
    static const QStringList sizes = [] {
        QStringList out;
        for (int px = 8; px <= 20; ++px)
            out.append(QString::number(px));
        return out;
    }();
    return sizes;
}

int WebListIndex(const QString &text, int count, int def)
{
    bool ok = false;
    const int i = IniFile::parseInteger(text, def, &ok);
    return ok && i >= 0 && i < count ? i : def;
}

QString HtmlFontSize(int pixels)
{
    if (pixels <= 11)
        return QStringLiteral("1");
    if (pixels <= 14)
        return QStringLiteral("2");
    if (pixels <= 17)
        return QStringLiteral("3");
    if (pixels <= 19)
        return QStringLiteral("4");
    return QStringLiteral("5");
}

const QList<PoweredBy> &PoweredByPairs()
{
    static const QList<PoweredBy> pairs{
        {QStringLiteral("Newsletter Software"), kNewsletterPage},
        {QStringLiteral("Newsletter Programm"), kNewsletterPage},
        {QStringLiteral("Newsletter versenden"), kNewsletterPage},
        {QStringLiteral("Newsletter verschicken"), kSendingPage},
        {QStringLiteral("Newsletter Versand"), kNewsletterPage},
        {QStringLiteral("Serienmail"), kSerialMailPage},
        {QStringLiteral("E-Mail Marketing Software"), kMarketingPage},
    };
    return pairs;
}

QList<WebField> WebFieldsOf(const QStringList &fieldDefinitions)
{
    QList<WebField> out;
    for (int i = 5; i < fieldDefinitions.size(); ++i) {
        const FieldDefinitionLine def = ParseFieldDefinitionLine(fieldDefinitions.at(i));
        if (def.name.isEmpty())
            continue;
        out.append({i, def.name, def.displayName.isEmpty() ? def.name : def.displayName});
    }
    return out;
}

QList<bool> ReadFieldSelection(const QString &appFolder)
{
    QList<bool> out;
    const QString path = ResolveExisting(appFolder, kFieldSelectionFile);
    if (!IsFile(path))
        return out;
    for (const QString &line : ReadLines(path))
        out.append(line == QLatin1String("1"));
    return out;
}

bool WriteFieldSelection(const QString &appFolder, const QList<bool> &offered, QString *error)
{
    QStringList lines;
    for (bool on : offered)
        lines.append(on ? QStringLiteral("1") : QStringLiteral("0"));
    return WriteLines(ResolveExisting(appFolder, kFieldSelectionFile), lines, {}, error);
}

ConfirmationTexts DefaultConfirmationTexts()
{
    return {{QStringLiteral("Vielen Dank für Ihr Interesse. Ihnen wird in Kürze eine Bestätigungsemail zugesandt. "
                            "Bitte klicken Sie auf den dort vorhandenen Link, um die Eintragung zu bestätigen.")},
            QStringLiteral("Newsletter Bestellung"),
            {QStringLiteral("Sie haben den Newsletter von XXXX bestellt. Um die Bestellung zu bestätigen, klicken Sie "
                            "bitte auf diesen Link")}};
}

void ReadConfirmationTexts(const QString &folder, ConfirmationTexts *texts)
{
    const QString message = ResolveExisting(folder, kMessageFile);
    if (IsFile(message))
        texts->message = ReadLines(message);
    const QString subject = ResolveExisting(folder, kSubjectFile);
    if (IsFile(subject))
        texts->subject = ReadFirstLine(subject);
    const QString mailText = ResolveExisting(folder, kMailTextFile);
    if (IsFile(mailText))
        texts->mailText = ReadLines(mailText);
}

QStringList ConfirmationMailEnd()
{
    return {QStringLiteral("+++Automatisch erzeugter Link+++"),
            QStringLiteral("Wenn dieser Link nicht innerhalb von 2 Wochen angeklickt "),
            QStringLiteral("wird, wird die Eintragung wieder unwirksam.")};
}

QString WebFolderName(const QString &serverPath)
{
    const QStringList words = DelimitedWords(serverPath, QStringLiteral("/"));
    return words.isEmpty() ? QString() : words.last();
}

QString CheckServerPath(const QString &path)
{
    const QString p = Trimmed(path);
    const QString upper = AsciiUpper(p);
    if (!upper.startsWith(QLatin1String("HTTP://")) && !upper.startsWith(QLatin1String("HTTPS://")))
        return QStringLiteral("Sie haben die  Zeichen \"http://\" vor dem Serverpfad vergessen!");
    const QUrl url(p, QUrl::StrictMode);
    static const QRegularExpression folderName(QStringLiteral("^[A-Za-z0-9_~.-]+$"));
    const QString folder = WebFolderName(url.path());
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment() || folder.isEmpty() ||
        folder == QLatin1String(".") || folder == QLatin1String("..") || !folderName.match(folder).hasMatch())
        return QStringLiteral("Ungültigen Serverpfad eingegenben!\nBitte geben Sie den Serverpfad folgendermaßen "
                              "ein:\n\"") +
               kServerPathExample + QLatin1Char('"');
    if (!p.endsWith(QLatin1Char('/')))
        return QStringLiteral("Das Zeichen \"/\" am Ende der Zeichenkette wurde vergessen. Bitte fügen Sie ein "
                              "\"/\" an");
    return {};
}

bool IsWebPassword(const QString &password)
{
    static const QRegularExpression rule(QStringLiteral("^[A-Za-z0-9]{1,40}$"));
    return rule.match(password).hasMatch();
}

} // namespace vt
