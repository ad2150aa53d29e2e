#include "recordtransfer.h"
#include "databasefiles.h"
#include "definitionfiles.h"
#include "paths.h"
#include "tablestore.h"
#include "textfile.h"

#include <algorithm>

namespace vt {

namespace {

const QString kMarked = QStringLiteral("Selected='True'");

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

Filter transferFilter(bool onlyMarked)
{
    return onlyMarked ? Filter::parse(kMarked) : Filter();
}

// The source table (the migration table) is read through its own connection,
// without a cursor: nothing shows it, so its rows are never listed.
bool openSource(TableStore &source, const QString &sourceFile, QString *error)
{
    if (!IsFile(sourceFile))
        return failWith(error,
                        QStringLiteral("Die Tabelle der Quell-Datenbank \"%1\" wurde nicht gefunden!").arg(sourceFile));
    if (!source.open(sourceFile))
        return failWith(error, source.lastError());
    return true;
}

// How one value goes from a source field into a target field.
struct Copy
{
    int from, to;
    bool asText; // the types differ: through the text form
};

} // namespace

QList<UserColumn> UserColumns(const QStringList &fieldDefinitions)
{
    QList<UserColumn> out;
    for (int n = 9; n < fieldDefinitions.size(); ++n) {
        const FieldDefinitionLine d = ParseFieldDefinitionLine(fieldDefinitions.at(n));
        out.append({d.name, d.displayName.isEmpty() ? d.name : d.displayName});
    }
    return out;
}

bool ReadDatabaseTable(const QString &dataFolder, const QString &definitionFile, DatabaseTable *out, QString *error)
{
    bool ok = false;
    const QString defPath = ResolveExisting(dataFolder, definitionFile);
    const QStringList tables = DefinitionTableNames(IsFile(defPath) ? ReadLines(defPath, &ok) : QStringList());
    if (!ok || tables.isEmpty() || tables.first().isEmpty())
        return failWith(
            error,
            QStringLiteral("Die Datenbank-Definitionsdatei \"%1\" kann nicht gelesen werden!").arg(definitionFile));
    out->tableName = tables.first();
    out->tableFile = ResolveExisting(dataFolder, out->tableName + QStringLiteral(".DB"));
    const QString proPath = ResolveExisting(dataFolder, out->tableName + QStringLiteral(".pro"));
    out->fieldDefinitions = IsFile(proPath) ? ReadLines(proPath, &ok) : QStringList();
    if (!IsFile(proPath) || !ok)
        return failWith(
            error, QStringLiteral("Die Definitionsdatei \"%1.pro\" kann nicht gelesen werden!").arg(out->tableName));
    return true;
}

qint64 CountTransferRecords(const QString &sourceFile, bool onlyMarked, QString *error)
{
    TableStore source;
    if (!openSource(source, sourceFile, error))
        return -1;
    const qint64 n = RecordStatements(source).count(transferFilter(onlyMarked));
    if (n < 0)
        failWith(error, source.lastError());
    return n;
}

bool TransferRecords(AddressTable &target, const QString &sourceFile, bool onlyMarked, const ColumnMapping &columns,
                     const std::function<void(qint64, qint64)> &progress, qint64 *copied, QString *error)
{
    *copied = 0;
    TableStore source;
    if (!openSource(source, sourceFile, error))
        return false;
    RecordStatements sourceRecords(source);
    const QList<FieldDef> &sourceFields = source.schema().fields();
    // The fixed fields by name (ID is the target's own), then the mapped user columns.
    QList<Copy> copies;
    auto plan = [&](const QString &from, const QString &to) {
        const int f = source.schema().fieldIndex(from), t = target.fieldIndex(to);
        if (f >= 0 && t >= 0)
            copies.append({f, t, sourceFields.at(f).type != target.field(t).type});
    };
    for (const QString &name : FixedFieldNames().mid(1))
        plan(name, name);
    for (const auto &[to, from] : columns)
        plan(from, to);
    QList<int> read;
    for (const Copy &c : std::as_const(copies))
        read.append(c.from);

    const Filter where = transferFilter(onlyMarked);
    const qint64 total = sourceRecords.count(where);
    if (total < 0)
        return failWith(error, source.lastError());
    TableAppender appender(target);
    if (!appender.isValid())
        return failWith(error, appender.lastError());
    QString failure;
    if (appender.canAppendFrom() &&
        std::none_of(copies.begin(), copies.end(), [](const Copy &c) { return c.asText; })) {
        // Alike fields all: the records go over inside SQLite.
        QList<QPair<int, int>> columns;
        for (const Copy &c : std::as_const(copies))
            columns.append({c.to, c.from});
        if (progress)
            progress(0, total);
        source.close();
        qint64 n = 0;
        if (!appender.appendFrom(sourceFile, where, columns, &n) || !appender.commit())
            return failWith(error, appender.lastError() + QStringLiteral("\r\rEs wurden keine Datensätze übernommen."));
        *copied = n;
        if (progress)
            progress(n, total);
        return true;
    }
    const bool scanned = sourceRecords.scan(
        where, QString(), read,
        [&](qint64 id, const QList<QVariant> &values) {
            auto refuse = [&](const QString &why) {
                failure =
                    QStringLiteral("Der Datensatz mit der ID %1 kann nicht übernommen werden: %2").arg(id).arg(why);
                return false;
            };
            for (int k = 0; k < copies.size(); ++k) {
                const Copy &c = copies.at(k);
                const FieldDef &from = sourceFields.at(c.from), &to = target.field(c.to);
                const QVariant &stored = values.at(k);
                // Alike fields take the value as it is stored; others its text form.
                const bool blank = !stored.isValid() || stored.isNull();
                const QString text = blank || !(c.asText || to.type == FieldType::String) ? QString()
                                     : c.asText                                           ? StoredToText(from, stored)
                                                                                          : stored.toString();
                // The table would cut long text to the field's size; a transfer loses nothing on the way.
                if (to.type == FieldType::String && text.size() > to.size)
                    return refuse(
                        QStringLiteral("der Wert des Felds \"%1\" ist länger als die %2 Zeichen des Felds \"%3\".")
                            .arg(from.name)
                            .arg(to.size)
                            .arg(to.name));
                const bool set = c.asText && !blank ? appender.setText(c.to, text) : appender.setStored(c.to, stored);
                if (!set)
                    return refuse(appender.lastError());
            }
            if (!appender.append())
                return refuse(appender.lastError());
            ++*copied;
            if (progress)
                progress(*copied, total);
            return true;
        },
        true);
    if (!scanned)
        failure = source.lastError();
    if (!failure.isEmpty() || !appender.commit()) {
        *copied = 0;
        return failWith(error, (failure.isEmpty() ? appender.lastError() : failure) +
                                   QStringLiteral("\r\rEs wurden keine Datensätze übernommen."));
    }
    return true;
}

} // namespace vt
