#pragma once
// Choosing mail files: the folders the file dialogs start in, their filters, and
// the work copy of a chosen mail that a mailing then uses, so that the user's own
// file is never changed and can be edited meanwhile.
#include <QString>

namespace vt {

// The documents work folder ("Vantrel" in the user's documents folder), ending in "/".
QString DocumentsWorkFolder();
// The folder of the separate layout application in the documents folder, ending in "/".
QString LayoutFolder();
// Where a dialog for HTML mails starts: the work folder is made when missing; the
// layout application's folder is preferred when it exists.
QString MailDialogFolder();
// Makes the work folder when missing and copies the shipped sample mails from the
// program's templates folder into it, never replacing a file that is there.
void EnsureSampleMails(const QString &appFolder);
// The names of the shipped sample mails.
QStringList SampleMailNames();

// A path in the mail work folder that names no existing file: the prefix, ten
// random letters and digits, and the extension (with its dot, or empty). Empty
// when the work folder cannot be made.
QString FreshWorkPath(const QString &prefix, const QString &extension);

// A filter written as "Name|*.a;*.b;|Name 2|*.c" in the form of the file dialogs.
QString DialogFilter(const QString &pipeFilter);

struct TakenMail
{
    bool ok = false;
    QString path;
    QString error; // for the user, when not ok
};

// A chosen file as a MIME file: an Outlook ".msg" file is converted into a new
// file first; any other file is taken as it is.
TakenMail ConvertIfMsg(const QString &chosen);
// Copies the file under a new random name (ten letters and digits and the
// extension) into the process's work folder.
TakenMail CopyToWorkFile(const QString &source, const QString &extension);

} // namespace vt
