#include "bulktools.h"
#include "convert.h"
#include "datasettools.h"
#include "tablestore.h"
#include "textfile.h"
#include "win1252.h"

#include <algorithm>
#include <memory>

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

// A batch progress that reports the two numbers pick takes from each step.
BatchProgress batches(const BulkProgress &progress,
                      const std::function<std::pair<qint64, qint64>(const BatchStep &)> &pick)
{
    if (!progress)
        return {};
    return [progress, pick](const BatchStep &s) {
        const auto [done, total] = pick(s);
        progress(done, total);
    };
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

Filter IsTrue(const QString &field)
{
    return Filter::equals(field, true);
}

BulkResult SetBooleanColumn(AddressTable &t, const QString &field, bool value)
{
    return inOneTransaction(t, [&] { return t.updateWhere({}, {{field, value}}); });
}

BulkResult MarkIdRange(AddressTable &t, qint64 start, qint64 end, bool unmarkAllFirst, const BulkProgress &progress)
{
    const QString id = keyFieldName(t);
    const Filter range = Filter::compare(id, CompareOp::GreaterEqual, QString::number(start)) &&
                         Filter::compare(id, CompareOp::LessEqual, QString::number(end));
    return inOneTransaction(t, [&]() -> qint64 {
        if (unmarkAllFirst && t.updateWhere({}, {{kSelected, false}}) < 0)
            return -1;
        if (start > end)
            return 0;
        return t.updateWhere(range, {{kSelected, true}}, batches(progress, [](const BatchStep &s) {
                                 return std::pair{s.changes, s.total};
                             }));
    });
}

BulkResult CheckAllAddresses(AddressTable &t, const BulkProgress &progress)
{
    const int mail = FindMailField(&t);
    if (mail < 0)
        return {0, NoMailColumnText()};
    const FieldDef &f = t.field(mail);
    return inOneTransaction(t, [&]() -> qint64 {
        if (t.updateWhere({}, {{kSelected, false}}) < 0)
            return -1;
        const qint64 total = progress ? t.count({}) : 0;
        qint64 checked = 0;
        std::vector<qint64> bad;
        if (!t.scan({}, {}, {mail}, [&](qint64 id, const QList<QVariant> &values) {
                if (!IsValidEmailAddress(NaturalToText(f, values.first())))
                    bad.push_back(id);
                if (progress && (++checked & 0xFFF) == 0)
                    progress(checked, total);
                return true;
            }))
            return -1;
        if (progress)
            progress(total, total);
        if (!bad.empty() && t.updateIds(bad, {{kInvalid, true}}) < 0)
            return -1;
        return qint64(bad.size());
    });
}

BulkResult DeleteWhereTrue(AddressTable &t, const QString &field, const BulkProgress &progress)
{
    return inOneTransaction(t, [&] {
        return t.deleteWhere(IsTrue(field), batches(progress, [](const BatchStep &s) {
                                 return std::pair{s.changes, s.total};
                             }));
    });
}

BulkResult SetColumnText(AddressTable &t, const QString &field, const QString &text, bool onlyMarked,
                         const BulkProgress &progress)
{
    // The value is checked against the field before any record is written.
    return inOneTransaction(t, [&] {
        return t.updateWhere(onlyMarked ? IsTrue(kSelected) : Filter(), {{field, text}},
                             batches(progress, [](const BatchStep &s) {
                                 return std::pair{s.position, s.total};
                             }));
    });
}

DuplicateGroups FindDuplicates(AddressTable &t, int field, const BulkProgress &progress)
{
    DuplicateGroups g;
    if (!t.duplicates(field, t.indexName(), &g.list, progress)) {
        g.error = failed(t).error;
        g.list = {};
    }
    return g;
}

bool WriteDuplicateValues(const DuplicateGroups &groups, const QString &path, QString *error)
{
    const QStringList &lines = groups.list.values;
    WriteOptions options;
    options.encoding = std::all_of(lines.begin(), lines.end(), [](const QString &v) { return FitsWin1252(v); })
                           ? TextEncoding::Win1252
                           : TextEncoding::Utf8Bom;
    return WriteLines(path, lines, options, error);
}

namespace {

// A progress over the values of the groups from one over the keys of their
// records done in ascending order: a value is done once the batch has passed
// the highest key it changes. keysOf gives the keys a value changes.
BatchProgress valuesDone(const DuplicateGroups &groups, const BulkProgress &progress,
                         const std::function<void(size_t value, std::vector<qint64> *keys)> &keysOf)
{
    if (!progress)
        return {};
    auto highest = std::make_shared<std::vector<qint64>>();
    std::vector<qint64> keys;
    for (size_t v = 0; v < groups.list.valueCount(); ++v) {
        keys.clear();
        keysOf(v, &keys);
        if (!keys.empty())
            highest->push_back(*std::max_element(keys.begin(), keys.end()));
    }
    std::sort(highest->begin(), highest->end());
    const qint64 total = groups.values();
    return [highest, total, progress](const BatchStep &s) {
        // Values that change nothing are done from the start.
        const qint64 idle = total - qint64(highest->size());
        progress(idle + qint64(std::upper_bound(highest->begin(), highest->end(), s.lastKey) - highest->begin()),
                 total);
    };
}

} // namespace

BulkResult DeleteDuplicates(AddressTable &t, const DuplicateGroups &groups, KeepRecord keep,
                            const BulkProgress &progress)
{
    const DuplicateList &l = groups.list;
    std::vector<qint64> drop, kept;
    drop.reserve(l.keys.size());
    for (size_t v = 0; v < l.valueCount(); ++v) {
        const size_t first = l.begin(v), last = l.ends[v] - 1;
        const size_t keptAt = keep == KeepRecord::Oldest ? first : last;
        kept.push_back(l.keys[keptAt]);
        for (size_t i = first; i <= last; ++i)
            if (i != keptAt)
                drop.push_back(l.keys[i]);
    }
    const BatchProgress deleting = valuesDone(groups, progress, [&](size_t v, std::vector<qint64> *keys) {
        for (size_t i = l.begin(v); i < l.ends[v]; ++i)
            if (i != (keep == KeepRecord::Oldest ? l.begin(v) : l.ends[v] - 1))
                keys->push_back(l.keys[i]);
    });
    return inOneTransaction(t, [&]() -> qint64 {
        if (keep == KeepRecord::Newest && !kept.empty() && t.updateIds(kept, {{kSelected, false}}) < 0)
            return -1;
        return drop.empty() ? 0 : t.deleteIds(drop, deleting);
    });
}

BulkResult MarkDuplicates(AddressTable &t, const DuplicateGroups &groups, bool unmarkOthers,
                          const BulkProgress &marking, const BulkProgress &unmarking)
{
    const DuplicateList &l = groups.list;
    const BatchProgress markingValues = valuesDone(groups, marking, [&](size_t v, std::vector<qint64> *keys) {
        keys->insert(keys->end(), l.keys.begin() + qsizetype(l.begin(v)), l.keys.begin() + qsizetype(l.ends[v]));
    });
    return inOneTransaction(t, [&]() -> qint64 {
        if (unmarkOthers && t.updateWhere({}, {{kSelected, false}}, batches(unmarking, [](const BatchStep &s) {
                                              return std::pair{s.position, s.total};
                                          })) < 0)
            return -1;
        return l.keys.empty() ? 0 : t.updateIds(l.keys, {{kSelected, true}}, markingValues);
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
