#include "databasefiles.h"
#include "addresstable.h"
#include "definitionfiles.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"
#include "win1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vt {

namespace {

// The first character of the text that a Windows-1252 list file cannot keep
// (a control character or one without a place in the code page); a null
// character when there is none.
QChar unkeptCharacter(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 32 || Win1252Byte(c) < 0)
            return c;
    return {};
}

QString describe(QChar c)
{
    return c.unicode() < 32 ? QStringLiteral("#%1").arg(c.unicode()) : QString(c);
}

// The files made so far, removed again unless the work is kept.
class MadeFiles
{
public:
    ~MadeFiles()
    {
        if (!m_kept)
            for (const QString &f : std::as_const(m_files))
                QFile::remove(f);
    }
    void add(const QString &path) { m_files.append(path); }
    void keep() { m_kept = true; }

private:
    QStringList m_files;
    bool m_kept = false;
};

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QStringList FixedFieldNames()
{
    return {QStringLiteral("ID"),          QStringLiteral("Selected"), QStringLiteral("Invalid"),
            QStringLiteral("LetztesMail"), QStringLiteral("Mail"),     QStringLiteral("Anrede"),
            QStringLiteral("Betreff"),     QStringLiteral("Name")};
}

QString CheckNewDatabaseInput(const QString &name, const QStringList &columnLines)
{
    const QString trimmed = Trimmed(name);
    if (trimmed.isEmpty())
        return QStringLiteral("Bitte geben Sie einen Namen für die neue Datenbank ein!");
    if (trimmed.size() > kMaxDatabaseNameLength)
        return QStringLiteral("Achtung! Es ist nur Datenbanknamen mit maximal 26 Zeichen zulässig!");
    if (columnLines.size() > kMaxUserColumns)
        return QStringLiteral(
                   "Sie können maximal 170 zusätzliche Datenbankfelder benutzen, Sie haben aber %1 eingegeben!")
            .arg(columnLines.size());
    QStringList seen;
    for (const QString &f : FixedFieldNames())
        seen.append(FoldCase(f));
    for (const QString &line : columnLines) {
        const QString key = FoldCase(Trimmed(line));
        if (seen.contains(key))
            return QStringLiteral("Sie haben den Feldnamen %1 doppelt vergeben! Bitte korrigieren Sie dieses.")
                .arg(Trimmed(line));
        seen.append(key);
    }
    // The catalogue separates its columns by "|" and, like every list file, keeps Windows-1252 only.
    if (trimmed.contains(QLatin1Char('|')))
        return QStringLiteral("Der Datenbankname darf das Zeichen \"|\" nicht enthalten!");
    if (const QChar c = unkeptCharacter(trimmed); !c.isNull())
        return QStringLiteral("Der Datenbankname enthält das Zeichen \"%1\", das nicht gespeichert werden kann!")
            .arg(describe(c));
    for (const QString &line : columnLines)
        if (const QChar c = unkeptCharacter(UserColumnName(line)); !c.isNull())
            return QStringLiteral("Der Feldname \"%1\" enthält das Zeichen \"%2\", das nicht gespeichert werden kann!")
                .arg(UserColumnName(line), describe(c));
    return {};
}

bool DatabaseNameTaken(const QString &appFolder, const QString &dataFolder, const QString &fileName)
{
    const QStringList entries =
        QDir(dataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &e : entries)
        if (EqualsNoCase(NameBeforeFirstDot(e), fileName))
            return true;
    // The database's own mail settings will live in the program folder under its definition file's name.
    return QFileInfo::exists(ResolveExisting(appFolder, fileName + QStringLiteral(".ini")));
}

QString DatabaseNameTakenText(const QString &fileName)
{
    return QStringLiteral(
               "Eine Datenbank mit dem Namen \"%1\" existiert bereits. Bitte wählen Sie einen anderen Namen!")
        .arg(fileName);
}

QString UserColumnName(const QString &columnLine)
{
    QString name = Trimmed(columnLine);
    for (QChar c : {u':', u'\\', u'/', u'.', u'*', u'|'})
        name.remove(c);
    return name;
}

QStringList NewFieldDefinitionLines(const QStringList &templateLines, const QStringList &columnLines)
{
    QStringList lines = templateLines.mid(0, 9);
    for (int k = 1; k <= columnLines.size(); ++k) {
        const QString name = UserColumnName(columnLines.at(k - 1));
        if (!name.isEmpty())
            lines.append(UserColumnDefinitionLine(k, name));
    }
    return lines;
}

bool CreateTableFile(const QString &dataFolder, const QString &tableName, QString *error)
{
    bool ok = false;
    const QString proPath = ResolveExisting(dataFolder, tableName + QStringLiteral(".pro"));
    const QStringList lines = IsFile(proPath) ? ReadLines(proPath, &ok) : QStringList();
    TableDefinition def;
    if (ok)
        def = TableDefinitionFromLines(lines);
    else
        def.error = QStringLiteral("Die Felddefinitionsdatei \"%1.pro\" kann nicht gelesen werden.").arg(tableName);
    const QString logPath = ResolveExisting(dataFolder, tableName + QStringLiteral(".log"));
    QString reason = def.error;
    if (reason.isEmpty()) {
        // The log is written before the table, so that it is there when creation fails.
        WriteLines(logPath, def.log);
        AddressTable::create(PathJoin(dataFolder, tableName + QStringLiteral(".DB")), def.fields, def.indexes, &reason);
    }
    if (reason.isEmpty())
        return true;
    WriteLines(logPath, def.log + QStringList{QStringLiteral("Fehler: ") + reason});
    return failWith(error, reason);
}

bool CreateDatabase(const QString &appFolder, const QString &dataFolder, const NewDatabase &db, QString *error)
{
    MadeFiles made;
    const QString base = PathJoin(dataFolder, db.fileName);
    // Files of another database are never touched.
    for (const char *ext : {".cb", ".fil", ".pro", ".ini", ".DB", ".log"})
        if (QFileInfo::exists(ResolveExisting(dataFolder, db.fileName + QLatin1String(ext))))
            return failWith(error, DatabaseNameTakenText(db.fileName));
    for (const char *ext : {".cb", ".fil", ".pro"}) {
        const QString source = ResolveExisting(dataFolder, QStringLiteral("database") + QLatin1String(ext));
        const QString target = base + QLatin1String(ext);
        if (!IsFile(source))
            return failWith(error, QStringLiteral("Die Vorlage \"%1\" fehlt!").arg(source));
        if (!QFile::copy(source, target))
            return failWith(error, CannotWriteFileText(target));
        made.add(target);
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    bool ok = false;
    const QStringList templateLines = ReadLines(base + QStringLiteral(".pro"), &ok);
    if (!ok)
        return failWith(error, CannotOpenFileText(base + QStringLiteral(".pro")));
    QString writeError;
    if (!WriteLines(base + QStringLiteral(".pro"), NewFieldDefinitionLines(templateLines, db.columnLines), {},
                    &writeError))
        return failWith(error, writeError);
    made.add(base + QStringLiteral(".ini"));
    if (!WriteLines(base + QStringLiteral(".ini"), NewDatabaseDefinition(db.fileName), {}, &writeError))
        return failWith(error, writeError);
    made.add(base + QStringLiteral(".log"));
    made.add(base + QStringLiteral(".DB"));
    QString reason;
    if (!CreateTableFile(dataFolder, db.fileName, &reason))
        return failWith(error, QStringLiteral("Die Tabelle der Datenbank kann nicht angelegt werden: ") + reason);

    const QString catalogPath = ResolveExisting(appFolder, QStringLiteral("Buttons.ini"));
    QStringList catalog = IsFile(catalogPath) ? ReadLines(catalogPath, &ok) : QStringList();
    if (!IsFile(catalogPath) || !ok)
        return failWith(error, CannotOpenFileText(catalogPath));
    catalog.append(CatalogLine(db.caption, db.fileName + QStringLiteral(".ini")));
    if (!WriteLines(catalogPath, catalog, {}, &writeError))
        return failWith(error, writeError);
    made.keep();
    return true;
}

QStringList CatalogWithout(const QStringList &catalog, const QString &definitionFile)
{
    QStringList out = catalog.mid(0, 1);
    for (int i = 1; i < catalog.size(); ++i)
        if (!EqualsNoCase(ListColumn(catalog.at(i), 3), definitionFile))
            out.append(catalog.at(i));
    return out;
}

bool DeleteDatabase(const QString &appFolder, const QString &dataFolder, const QString &definitionFile, QString *error)
{
    const QString base = NameBeforeFirstDot(definitionFile);
    if (Trimmed(base).isEmpty())
        return failWith(error, QStringLiteral("Keine Datenbank gewählt!"));
    const QString prefix = FoldCase(base + QLatin1Char('.'));
    const QString senderList = FoldCase(QStringLiteral("Absender-") + definitionFile);
    QStringList stayed;
    const QStringList entries = QDir(dataFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : entries) {
        const QString key = FoldCase(e);
        if ((key.startsWith(prefix) || key == senderList) && !QFile::remove(PathJoin(dataFolder, e)))
            stayed.append(e);
    }
    if (!stayed.isEmpty())
        return failWith(error, QStringLiteral("Folgende Dateien der Datenbank konnten nicht gelöscht werden:\r") +
                                   stayed.join(QLatin1Char('\r')));
    const QString catalogPath = ResolveExisting(appFolder, QStringLiteral("Buttons.ini"));
    bool ok = false;
    const QStringList catalog = ReadLines(catalogPath, &ok);
    QString writeError;
    if (!ok)
        return failWith(error, CannotOpenFileText(catalogPath));
    if (!WriteLines(catalogPath, CatalogWithout(catalog, definitionFile), {}, &writeError))
        return failWith(error, writeError);
    return true;
}

} // namespace vt
