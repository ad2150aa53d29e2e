#pragma once
// Importing Windows Mail and Windows Live Mail contacts: one ".contact" file
// (XML) per contact, in a folder the user chooses. Each file gives one record
// with the contact's name and first e-mail address.
#include "importsink.h"

#include <QList>
#include <QString>

namespace vt {

class AddressTable;

struct ContactFile
{
    QString name; // the file name without ".contact"
    QString path;
};
// The ".contact" files of a folder (the extension in any case), by name; the
// file named exactly "Administrator.contact" is left out.
QList<ContactFile> ListContactFiles(const QString &folder);

// The folder the dialog starts in: the contacts folder in the user's home.
QString DefaultContactFolder(bool liveMail);

struct ContactValues
{
    QString address, givenName, familyName, formattedName;
};
// The first e-mail address and the names of a contact file; false (and error)
// when it cannot be read, is no well-formed XML or nests deeper than a contact.
bool ReadContactFile(const QString &path, ContactValues *values, QString *error);
// The record's name: given and family name with Windows Live Mail, else the
// formatted name (given and family name when it has none).
QString ContactName(const ContactValues &values, bool liveMail);

// Imports the files in one transaction; a file that cannot be read is
// skipped and named in the outcome, the others are imported.
ImportOutcome ImportContactFiles(AddressTable &table, const QStringList &paths, bool liveMail);
// "Es wurden ... Datensätze erfolgreich importiert!", its singular, or that none was.
QString ContactsImportedText(qint64 count);

} // namespace vt
