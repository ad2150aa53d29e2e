#pragma once
// The web settings of a database: the server folder of its subscription forms,
// the look of the forms and the list password, kept in the database's web
// settings file (DataFolder + definition name up to its first "." + ".web",
// section [SETTINGS]). The click tracking writes three keys of its own into the
// same file; each writer changes only its own keys.
//
// Also here: the program-wide choice of the fields the form offers
// ("enterprise_fields.ini"), the texts of the confirmation mail, the lists the
// dialog offers, and the checks of what the user enters.
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

struct WebSettings
{
    QString OnlinePath;
    QString BKGColor = QStringLiteral("#FFFFFF");
    QString FontColor = QStringLiteral("#000000");
    QString BorderColor = QStringLiteral("#004080");
    QString Font = QStringLiteral("4");
    QString FontSize = QStringLiteral("2");
    QString Title;
    QString OnlinePassword;
    QString Captcha = QStringLiteral("Off");
    bool DoubleOptIn = true;
    bool Invalid = false;
    // The folder the upload folder was last made in, so that the confirmation
    // texts edited there are read back and the folder picker starts there.
    QString UploadParent;

    bool captchaOn() const { return Captcha == QLatin1String("On"); }
};

// Reads the file; missing keys give the defaults above. Without the file the
// defaults hold, except that double opt-in is off. exists tells whether the file was there.
WebSettings ReadWebSettings(const QString &path, bool *exists = nullptr);
// Writes the settings' keys and leaves every other key of the file as it was.
// The file holds the list password, so only its owner may read it.
bool WriteWebSettings(const QString &path, const WebSettings &settings, QString *error = nullptr);

// Colours as "#RRGGBB" (upper-case hexadecimal digits).
QString ColorToHtml(const QColor &color);
// A leading "#" is skipped; ok is false (and the colour black) when the three
// pairs are not all hexadecimal.
QColor HtmlToColor(const QString &text, bool *ok = nullptr);

// The font families and pixel sizes the forms can use; Font and FontSize are indexes into them.
const QStringList &WebFontFamilies();
const QStringList &WebFontSizes();
// An index text read from a file: a number within the list, else the default.
int WebListIndex(const QString &text, int count, int def);
// The HTML font size (1 to 5) of a pixel size.
QString HtmlFontSize(int pixels);

struct PoweredBy
{
    QString phrase;
    QString link;
};
const QList<PoweredBy> &PoweredByPairs();

// One field the subscription form may offer (from field definition line 5 on).
struct WebField
{
    int line = 0;  // line of the field definition file
    QString name;  // column 1
    QString label; // column 9, or the name when that is empty
};
QList<WebField> WebFieldsOf(const QStringList &fieldDefinitions);

// "enterprise_fields.ini" in the program folder: one "1" or "0" per field from
// the Mail line on, matched by position; a missing line is "not offered".
QList<bool> ReadFieldSelection(const QString &appFolder);
bool WriteFieldSelection(const QString &appFolder, const QList<bool> &offered, QString *error = nullptr);

// The texts of the confirmation: the page after subscribing, the mail's subject and its text.
struct ConfirmationTexts
{
    QStringList message;
    QString subject;
    QStringList mailText;
};
ConfirmationTexts DefaultConfirmationTexts();
// Replaces each text whose file lies in the folder; the others stay.
void ReadConfirmationTexts(const QString &folder, ConfirmationTexts *texts);
// The fixed end of every confirmation mail, as the dialog shows it.
QStringList ConfirmationMailEnd();

// The last "/"-separated word of a server path ("http://a.de/x/news/" -> "news").
QString WebFolderName(const QString &serverPath);

// The checks of a server path after the caller found it not empty: the message
// of the first that fails, or an empty text. The path is taken trimmed; it needs
// the scheme http or https, a host, a folder whose name can be a file name, and
// the closing "/".
QString CheckServerPath(const QString &path);
// Letters and digits only, at most 40: safe in a PHP string and in a web address.
bool IsWebPassword(const QString &password);

inline const QString kOnlyLettersAndDigitsText = QStringLiteral("Bitte geben Sie nur Buchstaben und Zahlen ein!");
inline const QString kServerPathExample = QStringLiteral("http://www.ihre-internetseite.de/ihrpfad/");

} // namespace vt
