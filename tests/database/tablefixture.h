#pragma once
// Address tables for the tests: made from field definition lines in a
// temporary folder and filled through the bulk append path.
#include "addresstable.h"
#include "definitionfiles.h"
#include "sqlitefunctions.h"

#include <QFile>
#include <QStringList>
#include <QTest>

#include <sqlite3.h>

namespace vt {
// The table's own connection, for what only it can change (a page limit that
// fills its disk, say).
struct TableConnectionForTests
{
    static sqlite3 *handle(AddressTable &table) { return table.m_store.handle(); }
};
} // namespace vt

// Runs one statement on the table's own connection; the first column of its
// first row, or an invalid value when it fails or returns nothing.
inline QVariant execOnTable(vt::AddressTable &table, const QString &sql)
{
    sqlite3_stmt *s = nullptr;
    QVariant result;
    if (sqlite3_prepare_v2(vt::TableConnectionForTests::handle(table), sql.toUtf8().constData(), -1, &s, nullptr) !=
        SQLITE_OK)
        return result;
    if (sqlite3_step(s) == SQLITE_ROW)
        result = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return result;
}

// The eight fixed fields, then the given lines; the header asks for display names.
inline QStringList definitionWith(const QStringList &userLines = {})
{
    QStringList pro{
        QStringLiteral("FELD|TYP|PFLICHT|GROESSE|INDEX|INDEXFELDER|PRIMAER|SORTIERBAR|ANZEIGENAME"),
        QStringLiteral("ID| ftAutoInc | False |0| ID | ID | Primaer | FALSE | ID"),
        QStringLiteral("Selected| ftBoolean | False |0| | | | FALSE | Selected"),
        QStringLiteral("Invalid| ftBoolean | False |0| | | | FALSE | Invalid"),
        QStringLiteral("LetztesMail| ftDate | False |0| LetztesMail | LetztesMail | | TRUE | Letztes Mail"),
        QStringLiteral("Mail| ftString | False |100| Mail | Mail | | TRUE | E-Mail"),
        QStringLiteral("Anrede| ftString | False |40| | | | FALSE | Anrede"),
        QStringLiteral("Betreff| ftString | False |100| | | | FALSE | Betreff"),
        QStringLiteral("Name| ftString | False |80| Name | Name | | TRUE | Name"),
    };
    return pro + userLines;
}

// Creates the table file; fails the test when it cannot.
inline bool makeTable(const QString &path, const QStringList &proLines)
{
    const vt::TableDefinition def = vt::TableDefinitionFromLines(proLines);
    QString error;
    const bool ok = def.ok() && vt::AddressTable::create(path, def.fields, def.indexes, &error);
    if (!ok)
        QTest::qFail(qPrintable(QStringLiteral("table not created: %1 %2").arg(def.error, error)), __FILE__, __LINE__);
    return ok;
}

// Appends records given as field name -> value.
inline bool fill(vt::AddressTable &table, const QList<vt::FieldValues> &records)
{
    vt::TableAppender a(table);
    for (const vt::FieldValues &r : records) {
        for (const auto &[name, value] : r)
            if (!a.setValue(table.fieldIndex(name), value))
                return false;
        if (!a.append())
            return false;
    }
    return a.commit();
}

// The texts of one field over all rows of the table in its current order.
inline QStringList column(vt::AddressTable &table, const QString &field)
{
    QStringList out;
    const int f = table.fieldIndex(field);
    for (qint64 r = 0; r < table.recordCount(); ++r)
        out.append(table.textAt(r, f));
    return out;
}

// The first value of a query through a connection of its own to the table file,
// as a second workstation would read it; an invalid QVariant when it cannot be
// read (rc, when given, gets SQLite's result: SQLITE_BUSY while the file is locked).
inline QVariant readOnce(const QString &path, const char *sql, int *rc = nullptr)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *s = nullptr;
    int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (result == SQLITE_OK && !vt::RegisterTextFunctions(db))
        result = SQLITE_ERROR;
    if (result == SQLITE_OK)
        result = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    if (result == SQLITE_OK)
        result = sqlite3_step(s);
    QVariant value;
    if (result == SQLITE_ROW && sqlite3_column_type(s, 0) == SQLITE_INTEGER)
        value = qint64(sqlite3_column_int64(s, 0));
    else if (result == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    if (rc)
        *rc = result;
    return value;
}
