#include "wmimport.h"

#include "addresstable.h"
#include "paths.h"
#include "text.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>

namespace vt {

namespace {

// Contact files are a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxContactFileBytes = 4 << 20;
// A contact nests its elements a few levels deep.
constexpr int kMaxContactDepth = 100;

} // namespace

QList<ContactFile> ListContactFiles(const QString &folder)
{
    QList<ContactFile> files;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &fi : entries) {
        const QString name = fi.fileName();
        if (!name.endsWith(QLatin1String(".contact"), Qt::CaseInsensitive) ||
            name == QLatin1String("Administrator.contact"))
            continue;
        files.append({name.left(name.size() - 8), fi.absoluteFilePath()});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(files.begin(), files.end(),
                     [&](const ContactFile &a, const ContactFile &b) { return collator.compare(a.name, b.name) < 0; });
    return files;
}

QString DefaultContactFolder(bool liveMail)
{
    const QString home = QDir::homePath();
    if (liveMail)
        return WithTrailingSlash(PathJoin(
            home, QStringLiteral("Local Settings\\Application Data\\Microsoft\\Windows Live Mail\\Contacts\\Default")));
    // Contacts copied from a Windows profile keep the folder's name, in either case.
    for (const QString &name : {QStringLiteral("Contacts"), QStringLiteral("contacts")}) {
        const QString folder = PathJoin(home, name);
        if (QFileInfo(folder).isDir())
            return WithTrailingSlash(folder);
    }
    return WithTrailingSlash(PathJoin(home, QStringLiteral("contacts")));
}

bool ReadContactFile(const QString &path, ContactValues *values, QString *error)
{
    *values = ContactValues();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxContactFileBytes) {
        *error = QStringLiteral("Die Kontaktdatei \"%1\" kann nicht gelesen werden.").arg(path);
        return false;
    }
    // The elements are taken by their local name, whatever prefix the file
    // gives the contact schema; the first of each in document order counts.
    // Their text is gathered here, element by element, so that no depth of
    // nesting can exhaust the stack; a depth no contact file has is refused.
    QXmlStreamReader xml(&file);
    QString *targets[] = {&values->address, &values->givenName, &values->familyName, &values->formattedName};
    bool seen[4] = {};
    static const QString names[] = {QStringLiteral("Address"), QStringLiteral("GivenName"),
                                    QStringLiteral("FamilyName"), QStringLiteral("FormattedName")};
    int depth = 0;
    int reading = -1, readingDepth = 0; // the target whose text is gathered, and its depth
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxContactDepth) {
                xml.raiseError(QStringLiteral("Elemente tiefer als %1 Ebenen verschachtelt").arg(kMaxContactDepth));
                break;
            }
            for (int i = 0; reading < 0 && i < 4; ++i)
                if (!seen[i] && xml.name() == names[i]) {
                    seen[i] = true;
                    reading = i;
                    readingDepth = depth;
                    text.clear();
                }
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (reading >= 0)
                text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (reading >= 0 && depth == readingDepth) {
                *targets[reading] = Trimmed(text);
                reading = -1;
            }
            --depth;
            break;
        default: break;
        }
    }
    if (xml.hasError()) {
        // The parser's own words end in a full stop; the message goes on after them.
        QString why = xml.errorString();
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        *error = QStringLiteral("Die Kontaktdatei \"%1\" ist fehlerhaft (%2, Zeile %3).")
                     .arg(path, why)
                     .arg(xml.lineNumber());
        return false;
    }
    return true;
}

QString ContactName(const ContactValues &v, bool liveMail)
{
    auto joined = [&v] { return v.familyName.isEmpty() ? v.givenName : v.givenName + QLatin1Char(' ') + v.familyName; };
    if (liveMail)
        return joined();
    return v.formattedName.isEmpty() ? Trimmed(joined()) : v.formattedName;
}

ImportOutcome ImportContactFiles(AddressTable &table, const QStringList &paths, bool liveMail)
{
    ImportSink sink(table);
    if (!sink.isValid())
        return sink.outcome();
    const int nameField = sink.field(QStringLiteral("Name"));
    const int mailField = sink.field(QStringLiteral("Mail"));
    for (const QString &path : paths) {
        const QString fileName = QFileInfo(path).fileName();
        ContactValues values;
        QString error;
        if (!ReadContactFile(path, &values, &error)) {
            sink.skipNamed(fileName, error);
            continue;
        }
        sink.setText(nameField, ContactName(values, liveMail));
        sink.setText(mailField, values.address);
        sink.post(0, fileName);
        if (!sink.isValid())
            return sink.outcome();
    }
    sink.commit();
    return sink.outcome();
}

QString ContactsImportedText(qint64 count)
{
    if (count == 0)
        return QStringLiteral("Es wurde kein Datensatz importiert.");
    if (count > 1)
        return QStringLiteral("Es wurden %1 Datensätze erfolgreich importiert!").arg(count);
    return QStringLiteral("Es wurde ein Datensatz erfolgreich importiert!");
}

} // namespace vt
