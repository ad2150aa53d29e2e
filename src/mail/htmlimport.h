#pragma once
// The HTML import: an HTML page with its pictures, a subject, an optional plain
// text and attachments become the mail file that the serial e-mail window sends.
// What the user chose can be kept in a project file (".vtp"), an INI file with the
// section [Vantrel]:
//
//   HTMLFile  the HTML file              Bilder    "1" pictures embedded, "0" not
//   TextFile  the plain-text file        Betreff   the subject
//   ITEM0, ITEM1, ...  the attachments in list order
#include "mailmessage.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace vt {

QString DefaultImportSubject(); // "Meine neue Serien-E-Mail"

struct HtmlImportProject
{
    QString htmlFile;
    bool embedPictures = true;
    QString textFile;
    QString subject = DefaultImportSubject();
    QStringList attachments;
};

// "Newsletter_" + the day as dd.MM.yyyy + ".vtp": a name that is a file name on
// every system, whatever the locale writes dates with.
QString DefaultProjectFileName(const QDate &day);
// The path with ".vtp" appended, unless it has it somewhere already (any case).
QString WithProjectSuffix(const QString &path);

// Writes the section anew; other sections of an existing file stay. The file is
// Windows-1252 unless a value needs more, then UTF-8.
bool SaveHtmlImportProject(const QString &path, const HtmlImportProject &project, QString *error = nullptr);
// Every attachment (ITEMn in the order of n, empty ones passed over) and the
// other values, defaults where a key is missing. Nothing when the file cannot be
// read or holds no project.
std::optional<HtmlImportProject> LoadHtmlImportProject(const QString &path);

// The paths that name no existing file, in their order.
QStringList MissingFiles(const QStringList &paths);

struct ImportedMail
{
    MailMessage mail;
    // References of the page that were not embedded (see HtmlPage).
    QStringList outside;
    QStringList missing;
    QStringList tooLarge;
};

// The mail of the project. With embedded pictures: the page with its pictures,
// the text file's content (when one is named) as the plain text. With external
// pictures: the page as it stands, and its plain text made from it. Then the
// attachments that exist, in list order. Nothing (with the reason) when the page,
// the text file or an attachment cannot be read.
std::optional<ImportedMail> ComposeImportedMail(const HtmlImportProject &project, QString *error = nullptr);

// Where the imported mail is kept for the serial e-mail: "out.eml" in the private
// work folder; empty when that folder cannot be made.
QString ImportedMailPath();

} // namespace vt
