#include "bulktools.h"
#include "convert.h"
#include "datasettools.h"
#include "tablestore.h"

namespace vt {

namespace {

const QString kSelected = QStringLiteral("Selected");
const QString kInvalid = QStringLiteral("Invalid");

BulkResult failed(const AddressTable &t)
{
    return {0, t.lastError().isEmpty() ? QStringLiteral("Unbekannter Fehler der Tabelle.") : t.lastError()};
}

// Runs the work in one transaction; the work returns the count or -1.
BulkResult inOneTransaction(AddressTable &t, const std::function<qint64()> &work)
{
    if (!t.isOpen())
        return {0, QStringLiteral("Es ist keine Tabelle geöffnet.")};
    TableTransaction tx(t);
    if (!tx.isOpen())
        return failed(t);
    const qint64 n = work();
    if (n < 0 || !tx.commit())
        return failed(t);
    return {n, {}};
}

QString keyFieldName(const AddressTable &t)
{
    for (const FieldDef &f : t.fields())
        if (f.type == FieldType::AutoInc)
            return f.name;
    return QStringLiteral("ID");
}

} // namespace

QString NoMailColumnText()
{
    return QStringLiteral("Keine Mail - Spalte vorhanden in der Tabelle!");
}

QString AffectedRecordsText(qint64 count)
{
    return count == 1 ? QStringLiteral("\r\rBetroffen ist 1 Datensatz.")
                      : QStringLiteral("\r\rBetroffen sind %1 Datensätze.").arg(count);
}

Filter IsTrue(const QString &field)
{
    return Filter::equals(field, true);
}

BulkResult SetBooleanColumn(AddressTable &t, const QString &field, bool value)
{
    return inOneTransaction(t, [&] { return t.updateWhere({}, {{field, value}}); });
}

BulkResult MarkIdRange(AddressTable &t, qint64 start, qint64 end, bool unmarkAllFirst)
{
    const QString id = keyFieldName(t);
    const Filter range = Filter::compare(id, CompareOp::GreaterEqual, QString::number(start)) &&
                         Filter::compare(id, CompareOp::LessEqual, QString::number(end));
    return inOneTransaction(t, [&]() -> qint64 {
        if (unmarkAllFirst && t.updateWhere({}, {{kSelected, false}}) < 0)
            return -1;
        return start > end ? 0 : t.updateWhere(range, {{kSelected, true}});
    });
}

BulkResult CheckAllAddresses(AddressTable &t)
{
    const int mail = FindMailField(&t);
    if (mail < 0)
        return {0, NoMailColumnText()};
    const FieldDef &f = t.field(mail);
    std::vector<qint64> bad;
    if (!t.scan({}, {}, {mail}, [&](qint64 id, const QList<QVariant> &values) {
            if (!IsValidEmailAddress(NaturalToText(f, values.first())))
                bad.push_back(id);
            return true;
        }))
        return failed(t);
    return inOneTransaction(t, [&]() -> qint64 {
        if (t.updateWhere({}, {{kSelected, false}}) < 0 || (!bad.empty() && t.updateIds(bad, {{kInvalid, true}}) < 0))
            return -1;
        return qint64(bad.size());
    });
}

BulkResult DeleteWhereTrue(AddressTable &t, const QString &field)
{
    return inOneTransaction(t, [&] { return t.deleteWhere(IsTrue(field)); });
}

BulkResult SetColumnText(AddressTable &t, const QString &field, const QString &text, bool onlyMarked)
{
    // The value is checked against the field before any record is written.
    return inOneTransaction(t, [&] {
        return t.updateWhere(onlyMarked ? IsTrue(kSelected) : Filter(), {{field, text}});
    });
}

DuplicateGroups FindDuplicates(AddressTable &t, int field)
{
    DuplicateGroups g;
    if (!t.duplicates(field, t.indexName(), &g.rows)) {
        g.error = failed(t).error;
        g.rows.clear();
        return g;
    }
    for (const auto &r : g.rows)
        if (r.rank == 1)
            ++g.values;
    return g;
}

BulkResult DeleteDuplicates(AddressTable &t, const DuplicateGroups &groups, KeepRecord keep)
{
    std::vector<qint64> drop, kept;
    for (const auto &r : groups.rows) {
        const bool keeps = keep == KeepRecord::Oldest ? r.rank == 1 : r.rank == r.groupSize;
        (keeps ? kept : drop).push_back(r.id);
    }
    return inOneTransaction(t, [&]() -> qint64 {
        if (keep == KeepRecord::Newest && !kept.empty() && t.updateIds(kept, {{kSelected, false}}) < 0)
            return -1;
        return drop.empty() ? 0 : t.deleteIds(drop);
    });
}

BulkResult MarkDuplicates(AddressTable &t, const DuplicateGroups &groups, bool unmarkOthers)
{
    std::vector<qint64> ids;
    ids.reserve(groups.rows.size());
    for (const auto &r : groups.rows)
        ids.push_back(r.id);
    return inOneTransaction(t, [&]() -> qint64 {
        if (unmarkOthers && t.updateWhere({}, {{kSelected, false}}) < 0)
            return -1;
        return ids.empty() ? 0 : t.updateIds(ids, {{kSelected, true}});
    });
}

Filter AnyFieldContains(const AddressTable &t, const QString &text)
{
    Filter any;
    for (const FieldDef &f : t.fields())
        any = any.isEmpty() ? Filter::contains(f.name, text) : (any || Filter::contains(f.name, text));
    return any;
}

BulkResult MarkRecordsContaining(AddressTable &t, const QString &text)
{
    if (text.isEmpty())
        return {};
    const Filter where = t.activeFilter() && AnyFieldContains(t, text);
    return inOneTransaction(t, [&] { return t.updateWhere(where, {{kSelected, true}}); });
}

} // namespace vt
