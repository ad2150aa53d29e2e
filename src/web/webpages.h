#pragma once
// The files of a subscription folder on the user's web server: the subscription
// and unsubscription pages, the style sheet, the password, list and settings
// scripts, the confirmation texts and the copies of the shipped scripts; and the
// installation pages in the program folder that explain the upload and hold the
// form as a snippet for an existing web page.
//
// Pages and scripts are UTF-8 and end every line with CR LF. The set never holds
// a data file: the shipped scripts keep the collected entries in files of their
// own, so uploading the set again loses nothing that waits on the server.
#include "websettings.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vt {

struct WebFilesInput
{
    QString serverPath; // ends in "/": every address of the pages is this path and a file name
    QString folderName;
    QString title;
    QString fontColor, bkgColor, borderColor; // "#RRGGBB"
    QString fontFamily;
    int pixelSize = 10;
    bool doubleOptIn = true;
    bool captcha = false;
    QList<WebField> offeredFields; // Mail first
    QString password;              // letters and digits (IsWebPassword)
    ConfirmationTexts texts;
    QString senderAddress; // From: of the confirmation mail; empty for the server's own
    QString versionText, productName, supportEmail, databaseCaption;
    QList<PoweredBy> pairs;
    // A random index below n, for the powered-by pair of each page.
    std::function<int(int)> pick;
};

struct WebFilesResult
{
    bool ok = false;
    QString error; // names the file that could not be written
};

// Writes the upload set into uploadFolder (made when missing) and the
// installation pages into appFolder, then copies the shipped scripts from
// appFolder; a copy that fails is passed over.
WebFilesResult WriteWebFiles(const WebFilesInput &in, const QString &uploadFolder, const QString &appFolder);

// Text for HTML: "&", "<" and ">" escaped; attributes also get '"' escaped.
QString HtmlText(const QString &text);
QString HtmlAttribute(const QString &text);
// A PHP string literal in single quotes.
QString PhpString(const QString &text);
// Writes lines as UTF-8 with CR LF after each; the error names the file.
bool WriteWebLines(const QString &path, const QStringList &lines, QString *error, bool ownerOnly = false);
// Copies a shipped file over the target; false when the source is missing or the copy fails.
bool CopyShippedFile(const QString &appFolder, const QString &name, const QString &targetFolder);

// The version number of a version text ("Version 9.7" -> "9.7").
QString VersionNumber(const QString &versionText);
// The lines of a memo joined as one line: each trimmed result of text + " " + line.
QString JoinedText(const QStringList &lines);

} // namespace vt
