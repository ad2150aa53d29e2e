// The tools that change many records at once, on small tables that show their
// edge cases: ranges past the end, blanks, case and umlaut doubles, values with
// quotes and stars, a sort order other than the IDs', and a table that refuses
// a statement half way (nothing may change then).
#include "bulktools.h"
#include "tablefixture.h"

#include "text.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace vt;

namespace {

// IDs 1 to n, mail "uK@example.de", nothing marked.
QList<FieldValues> numbered(int n)
{
    QList<FieldValues> out;
    for (int k = 1; k <= n; ++k)
        out.append({{"Mail", QStringLiteral("u%1@example.de").arg(k)}, {"Selected", false}, {"Invalid", false}});
    return out;
}

// The IDs of the records whose boolean field is true, ascending.
QList<qint64> idsWhere(AddressTable &t, const char *field)
{
    QList<qint64> out;
    for (qint64 id : t.ids(IsTrue(field)))
        out.append(id);
    std::sort(out.begin(), out.end());
    return out;
}

QList<qint64> allIds(AddressTable &t)
{
    QList<qint64> out;
    for (qint64 id : t.ids({}))
        out.append(id);
    std::sort(out.begin(), out.end());
    return out;
}

// Makes every change of the flag part fail once it reaches record id, as a full
// disk or a lock would in the middle of a statement.
void failFlagsAt(AddressTable &t, qint64 id)
{
    for (const char *op : {"UPDATE", "DELETE"})
        QVERIFY(
            !execOnTable(t, QStringLiteral("CREATE TEMP TRIGGER fail_%1 BEFORE %1 ON address_flags WHEN old.vt_rid = "
                                           "%2 BEGIN SELECT RAISE(ABORT, 'Datenträger voll'); END")
                                .arg(QLatin1String(op))
                                .arg(id))
                 .isValid());
}

} // namespace

class TestBulkTools : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_n = 0;

    // A new table of the fixed fields, a user column "Spalte1" and a date field.
    std::unique_ptr<AddressTable> table(const QList<FieldValues> &records)
    {
        const QString path = m_dir.filePath(QStringLiteral("t%1.DB").arg(++m_n));
        if (!makeTable(path, definitionWith({"Spalte1| ftString | False |80| Spalte1 | Spalte1 | | TRUE | Kundennr",
                                             "Geburt| ftDate | False |0| | | | FALSE | Geburtstag"})))
            return nullptr;
        auto t = std::make_unique<AddressTable>();
        if (!t->open(path) || !fill(*t, records))
            return nullptr;
        return t;
    }

private slots:
    void idRanges_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<bool>("unmarkFirst");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::addColumn<qint64>("count");
        // Records 2 and 9 are marked before.
        QTest::newRow("5 to 7") << 5LL << 7LL << false << QList<qint64>{2, 5, 6, 7, 9} << 3LL;
        QTest::newRow("5 to 7, unmarked first") << 5LL << 7LL << true << QList<qint64>{5, 6, 7} << 3LL;
        QTest::newRow("past the end") << 8LL << 20LL << true << QList<qint64>{8, 9, 10} << 3LL;
        QTest::newRow("start after end") << 7LL << 5LL << false << QList<qint64>{2, 9} << 0LL;
        QTest::newRow("start after end, unmarked first") << 7LL << 5LL << true << QList<qint64>{} << 0LL;
        QTest::newRow("one") << 4LL << 4LL << false << QList<qint64>{2, 4, 9} << 1LL;
        QTest::newRow("beyond 32 bits") << 2147483647LL << 2147483647LL << false << QList<qint64>{2, 9} << 0LL;
    }
    void idRanges()
    {
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(bool, unmarkFirst);
        QFETCH(QList<qint64>, marked);
        QFETCH(qint64, count);
        auto t = table(numbered(10));
        QVERIFY(t);
        QCOMPARE(t->updateIds({2, 9}, {{"Selected", true}}), 2);
        const BulkResult r = MarkIdRange(*t, start, end, unmarkFirst);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.count, count);
        QCOMPARE(idsWhere(*t, "Selected"), marked);
    }

    void aFailedRangeKeepsTheEarlierMarks()
    {
        auto t = table(numbered(10));
        QVERIFY(t);
        QCOMPARE(t->updateIds({2, 9}, {{"Selected", true}}), 2);
        failFlagsAt(*t, 6);
        const BulkResult r = MarkIdRange(*t, 5, 7, true);
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains("Datenträger voll"), qPrintable(r.error));
        QCOMPARE(idsWhere(*t, "Selected"), (QList<qint64>{2, 9}));
        // The rows the table shows were read anew after the rollback.
        QCOMPARE(t->recordCount(), 10);
        QCOMPARE(t->valueAt(1, t->fieldIndex("Selected")), QVariant(true));
    }

    void booleanColumnsIgnoreTheFilter()
    {
        auto t = table(numbered(6));
        QVERIFY(t);
        QVERIFY(t->setFilterText("Mail='u1*'") && t->setFiltered(true));
        QCOMPARE(t->recordCount(), 1);
        const BulkResult r = SetBooleanColumn(*t, "Selected", true);
        QVERIFY(r.ok());
        QCOMPARE(r.count, 6);
        QCOMPARE(idsWhere(*t, "Selected"), allIds(*t));
        QVERIFY(SetBooleanColumn(*t, "Selected", false).ok());
        QVERIFY(idsWhere(*t, "Selected").isEmpty());
    }

    void addressCheck()
    {
        auto t = table({{{"Mail", "gut@example.de"}, {"Selected", true}, {"Invalid", false}},
                        {{"Mail", "kein-at.example.de"}, {"Selected", true}},
                        {{"Mail", "schon@invalid.de"}, {"Invalid", true}}, // valid, but marked invalid by a send
                        {{"Selected", true}},                              // no address
                        {{"Mail", "  zwei@@example.de"}},
                        {{"Mail", "auch.gut@example.com"}}});
        QVERIFY(t);
        const BulkResult r = CheckAllAddresses(*t);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.count, 3);
        QVERIFY(idsWhere(*t, "Selected").isEmpty());
        QCOMPARE(idsWhere(*t, "Invalid"), (QList<qint64>{2, 3, 4, 5}));
        // A passing address keeps a blank Invalid blank.
        QVERIFY(t->readRecord(6)->at(t->fieldIndex("Invalid")).isNull());
        // Deleting the invalid records takes the one marked before the check too.
        const BulkResult d = DeleteWhereTrue(*t, "Invalid");
        QVERIFY(d.ok());
        QCOMPARE(d.count, 4);
        QCOMPARE(allIds(*t), (QList<qint64>{1, 6}));
    }

    void addressCheckNeedsAnAddressField()
    {
        const QString path = m_dir.filePath("nomail.DB");
        QStringList pro = definitionWith();
        pro.removeAt(5); // Mail
        QVERIFY(makeTable(path, pro));
        AddressTable t;
        QVERIFY(t.open(path) && fill(t, {{{"Name", "x"}, {"Selected", true}}}));
        const BulkResult r = CheckAllAddresses(t);
        QCOMPARE(r.error, QStringLiteral("Keine Mail - Spalte vorhanden in der Tabelle!"));
        QCOMPARE(idsWhere(t, "Selected"), QList<qint64>{1});
    }

    void deletingMarkedRecordsIsAllOrNothing()
    {
        auto t = table(numbered(8));
        QVERIFY(t);
        QCOMPARE(t->updateIds({2, 4, 6}, {{"Selected", true}}), 3);
        failFlagsAt(*t, 6);
        BulkResult r = DeleteWhereTrue(*t, "Selected");
        QVERIFY(!r.ok());
        QCOMPARE(t->count({}), 8);
        QVERIFY(execOnTable(*t, "DROP TRIGGER fail_DELETE").isNull());
        r = DeleteWhereTrue(*t, "Selected");
        QVERIFY(r.ok());
        QCOMPARE(r.count, 3);
        QCOMPARE(allIds(*t), (QList<qint64>{1, 3, 5, 7, 8}));
        // Nothing marked: nothing deleted.
        r = DeleteWhereTrue(*t, "Selected");
        QVERIFY(r.ok());
        QCOMPARE(r.count, 0);
        QCOMPARE(t->count({}), 5);
    }

    void settingAColumn_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("onlyMarked");
        QTest::addColumn<QStringList>("after"); // texts of the field by ID
        QTest::addColumn<QString>("error");
        const QStringList before{"b", "a", "c", ""};
        QTest::newRow("all") << "Spalte1"
                             << "neu" << false << QStringList{"neu", "neu", "neu", "neu"} << "";
        QTest::newRow("marked") << "Spalte1"
                                << "neu" << true << QStringList{"b", "neu", "c", "neu"} << "";
        QTest::newRow("clear") << "Spalte1"
                               << "" << false << QStringList{"", "", "", ""} << "";
        QTest::newRow("clear marked") << "Spalte1"
                                      << "" << true << QStringList{"b", "", "c", ""} << "";
        QTest::newRow("a date") << "Geburt"
                                << "24.12.1990" << false
                                << QStringList{"24.12.1990", "24.12.1990", "24.12.1990", "24.12.1990"} << "";
        QTest::newRow("no date") << "Geburt"
                                 << "morgen" << false << QStringList{"", "", "", ""} << "kein gültiges Datum";
        QTest::newRow("the key") << "ID"
                                 << "5" << false << QStringList{"1", "2", "3", "4"} << "ID";
    }
    void settingAColumn()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, onlyMarked);
        QFETCH(QStringList, after);
        QFETCH(QString, error);
        auto t = table(
            {{{"Spalte1", "b"}}, {{"Spalte1", "a"}, {"Selected", true}}, {{"Spalte1", "c"}}, {{"Selected", true}}});
        QVERIFY(t);
        // Sorted by the column being set: every record is reached all the same.
        QVERIFY(t->setIndexName("Spalte1"));
        const BulkResult r = SetColumnText(*t, field, text, onlyMarked);
        QCOMPARE(r.ok(), error.isEmpty());
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(t->setIndexName(QString()));
        QCOMPARE(column(*t, field), after);
    }

    void duplicates_data()
    {
        QTest::addColumn<QStringList>("values"); // of Spalte1, by ID
        QTest::addColumn<QString>("order");      // index name; empty: by ID
        QTest::addColumn<qint64>("doubled");
        QTest::addColumn<QList<qint64>>("oldestKeeps");
        QTest::addColumn<QList<qint64>>("newestKeeps");
        QTest::newRow("case") << QStringList{"Anna@X.de", "anna@x.DE", "bert"} << "" << 1LL << QList<qint64>{1, 3}
                              << QList<qint64>{2, 3};
        QTest::newRow("umlauts") << QStringList{"MÜLLER", "müller", "Muller"} << "" << 1LL << QList<qint64>{1, 3}
                                 << QList<qint64>{2, 3};
        QTest::newRow("blanks around") << QStringList{" a@x.de", "a@x.de\t", "b"} << "" << 1LL << QList<qint64>{1, 3}
                                       << QList<qint64>{2, 3};
        QTest::newRow("three") << QStringList{"x", "X", "x"} << "" << 1LL << QList<qint64>{1} << QList<qint64>{3};
        QTest::newRow("blanks are no doubles")
            << QStringList{"", "  ", "", "y"} << "" << 0LL << QList<qint64>{1, 2, 3, 4} << QList<qint64>{1, 2, 3, 4};
        QTest::newRow("interleaved") << QStringList{"a", "b", "a", "b"} << "" << 2LL << QList<qint64>{1, 2}
                                     << QList<qint64>{3, 4};
        QTest::newRow("quote and star") << QStringList{"O'Brien", "o'brien", "ab*", "ab*", "abc", "ab"} << "" << 2LL
                                        << QList<qint64>{1, 3, 5, 6} << QList<qint64>{2, 4, 5, 6};
        // Sorted by the column Name: 3, 1, 2 is the order of the group.
        QTest::newRow("sorted") << QStringList{"v", "v", "v"} << "Name" << 1LL << QList<qint64>{3} << QList<qint64>{2};
    }
    void duplicates()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, order);
        QFETCH(qint64, doubled);
        QFETCH(QList<qint64>, oldestKeeps);
        QFETCH(QList<qint64>, newestKeeps);
        const QStringList names{"m", "n", "a", "z", "p", "q"};
        for (const KeepRecord keep : {KeepRecord::Oldest, KeepRecord::Newest}) {
            QList<FieldValues> records;
            for (int i = 0; i < values.size(); ++i)
                records.append({{"Spalte1", values.at(i)}, {"Name", names.at(i)}, {"Selected", true}});
            auto t = table(records);
            QVERIFY(t);
            QVERIFY(t->setIndexName(order));
            const DuplicateGroups g = FindDuplicates(*t, t->fieldIndex("Spalte1"));
            QVERIFY2(g.ok(), qPrintable(g.error));
            QCOMPARE(g.values(), doubled);
            const BulkResult r = DeleteDuplicates(*t, g, keep);
            QVERIFY2(r.ok(), qPrintable(r.error));
            const QList<qint64> kept = keep == KeepRecord::Oldest ? oldestKeeps : newestKeeps;
            QCOMPARE(allIds(*t), kept);
            QCOMPARE(r.count, values.size() - kept.size());
            // The newest one kept of a group ends unmarked; the others keep their mark.
            for (qint64 id : kept) {
                const bool grouped = std::find(g.list.keys.begin(), g.list.keys.end(), id) != g.list.keys.end();
                QCOMPARE(t->readRecord(id)->at(1).toBool(), !(grouped && keep == KeepRecord::Newest));
            }
        }
    }

    void markingDuplicates()
    {
        for (const bool unmarkOthers : {false, true}) {
            auto t = table({{{"Mail", "a@x.de"}},
                            {{"Mail", "b@x.de"}, {"Selected", true}},
                            {{"Mail", "A@x.de "}},
                            {{"Mail", "c@x.de"}},
                            {{"Mail", "a@x.de"}, {"Selected", false}}});
            QVERIFY(t);
            const DuplicateGroups g = FindDuplicates(*t, t->fieldIndex("Mail"));
            QCOMPARE(g.values(), 1);
            const BulkResult r = MarkDuplicates(*t, g, unmarkOthers);
            QVERIFY(r.ok());
            QCOMPARE(r.count, 3);
            QCOMPARE(idsWhere(*t, "Selected"), unmarkOthers ? (QList<qint64>{1, 3, 5}) : (QList<qint64>{1, 2, 3, 5}));
            QCOMPARE(t->count({}), 5);
        }
    }

    void duplicatesOfOtherTypes()
    {
        auto t = table({{{"Geburt", QDate(1990, 1, 2)}},
                        {{"Geburt", QDate(1990, 1, 2)}},
                        {},
                        {},
                        {{"Geburt", QDate(1991, 1, 2)}}});
        QVERIFY(t);
        const DuplicateGroups g = FindDuplicates(*t, t->fieldIndex("Geburt"));
        QCOMPARE(g.values(), 1);
        QCOMPARE(g.list.keys.size(), size_t(2));
        QCOMPARE(g.list.values, QStringList{"02.01.1990"});
        QVERIFY(!FindDuplicates(*t, 99).ok());
    }

    // The doubles found along the column's sort order must be exactly those of
    // a plain count of every value in the table's order: values that differ in
    // case, umlauts, blanks or control characters at either end, blanks only,
    // quotes; the column with an index and without; the table in the IDs'
    // order and sorted by a column with ties.
    void duplicatesAgreeWithAPlainCount_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("seed");
        for (const char *field : {"Spalte1", "Betreff"})
            for (const char *order : {"", "Name"})
                for (int seed : {1, 2, 3})
                    QTest::addRow("%s, %s, %d", field, *order ? order : "ID", seed) << field << order << seed;
    }
    void duplicatesAgreeWithAPlainCount()
    {
        QFETCH(QString, field);
        QFETCH(QString, order);
        QFETCH(int, seed);
        const QStringList words{"anna@x.de", "Müller", "o'brien", "straße", "ÄÖÜ", "x", "a b", "zz"};
        const QStringList names{"m", "n", "N", "a"};
        QRandomGenerator rng{quint32(seed)};
        QList<FieldValues> records;
        for (int i = 0; i < 300; ++i) {
            QString v = words.at(int(rng.bounded(quint32(words.size()))));
            switch (rng.bounded(9)) {
            case 0: v = v.toUpper(); break;
            case 1: v = QStringLiteral(" ") + v; break;
            case 2: v += QStringLiteral("\t"); break;
            case 3: v = QStringLiteral("\x01 ") + v.toUpper() + QStringLiteral("  "); break;
            case 4: v = rng.bounded(2) ? QString() : QStringLiteral("   "); break;
            default: break;
            }
            records.append({{field, v},
                            {"Name", names.at(int(rng.bounded(quint32(names.size()))))},
                            {"Selected", rng.bounded(2) == 0}});
        }
        // The plain count: every value's records in the table's order.
        QStringList values;
        QList<QList<qint64>> groups;
        QList<qint64> marked;
        {
            auto t = table(records);
            QVERIFY(t);
            QHash<QString, int> at;
            for (qint64 id : t->ids({}, order)) {
                const QList<QVariant> r = *t->readRecord(id);
                if (r.at(1).toBool())
                    marked.append(id);
                const QString key = FoldCase(Trimmed(r.at(t->fieldIndex(field)).toString()));
                if (key.isEmpty())
                    continue;
                if (!at.contains(key)) {
                    at.insert(key, int(values.size()));
                    values.append(key);
                    groups.append(QList<qint64>());
                }
                groups[at.value(key)].append(id);
            }
            for (qsizetype v = values.size() - 1; v >= 0; --v)
                if (groups.at(v).size() < 2) {
                    values.removeAt(v);
                    groups.removeAt(v);
                }
        }
        QVERIFY(values.size() > 5);
        std::sort(marked.begin(), marked.end());
        for (const char *what : {"oldest", "newest", "mark"}) {
            auto t = table(records);
            QVERIFY(t);
            QVERIFY(t->setIndexName(order));
            const DuplicateGroups g = FindDuplicates(*t, t->fieldIndex(field));
            QVERIFY2(g.ok(), qPrintable(g.error));
            QCOMPARE(g.list.values, values);
            QList<QList<qint64>> found;
            for (size_t v = 0; v < g.list.valueCount(); ++v)
                found.append(QList<qint64>(g.list.keys.begin() + qsizetype(g.list.begin(v)),
                                           g.list.keys.begin() + qsizetype(g.list.ends[v])));
            QCOMPARE(found, groups);

            QList<qint64> left = allIds(*t), kept, gone, expectMarked = marked;
            for (const QList<qint64> &group : groups) {
                kept.append(qstrcmp(what, "newest") ? group.first() : group.last());
                for (qint64 id : group) {
                    if (id != kept.last())
                        gone.append(id);
                    if (!expectMarked.contains(id))
                        expectMarked.append(id);
                }
            }
            if (qstrcmp(what, "mark") == 0) {
                const BulkResult r = MarkDuplicates(*t, g, false);
                QVERIFY2(r.ok(), qPrintable(r.error));
                std::sort(expectMarked.begin(), expectMarked.end());
                QCOMPARE(idsWhere(*t, "Selected"), expectMarked);
                continue;
            }
            const BulkResult r =
                DeleteDuplicates(*t, g, qstrcmp(what, "newest") ? KeepRecord::Oldest : KeepRecord::Newest);
            QVERIFY2(r.ok(), qPrintable(r.error));
            QCOMPARE(r.count, gone.size());
            for (qint64 id : gone)
                left.removeOne(id);
            QCOMPARE(allIds(*t), left);
            // The newest one kept is unmarked; every other record keeps its mark.
            QList<qint64> stillMarked;
            for (qint64 id : marked)
                if (left.contains(id) && !(qstrcmp(what, "newest") == 0 && kept.contains(id)))
                    stillMarked.append(id);
            QCOMPARE(idsWhere(*t, "Selected"), stillMarked);
        }
    }

    // Changes of more records than one batch takes reach every record, across
    // the batches' edges, and say how far they have come after each batch.
    void batchesReachEveryRecord()
    {
        constexpr qint64 n = 10000;
        QList<FieldValues> records;
        for (qint64 i = 1; i <= n; ++i)
            records.append({{"Mail", QStringLiteral("u%1@x.de").arg(i % 4000)}, {"Selected", i % 3 == 0}});
        auto t = table(records);
        QVERIFY(t);
        QList<QPair<qint64, qint64>> reports;
        const BulkProgress record = [&](qint64 done, qint64 total) { reports.append({done, total}); };
        auto checkReports = [&](qint64 last, qint64 total) {
            QVERIFY2(reports.size() > 1, "one batch only");
            for (qsizetype k = 1; k < reports.size(); ++k)
                QVERIFY(reports.at(k).first >= reports.at(k - 1).first);
            QCOMPARE(reports.last(), (QPair<qint64, qint64>(last, total)));
            reports.clear();
        };

        BulkResult r = SetColumnText(*t, "Spalte1", "neu", true, record);
        QCOMPARE(r.count, n / 3);
        checkReports(n, n);
        QCOMPARE(t->count(Filter::parse("Spalte1='neu'") && IsTrue("Selected")), n / 3);
        QCOMPARE(t->count(Filter::parse("Spalte1='neu'")), n / 3);

        r = MarkIdRange(*t, 2500, 7499, true, record);
        QCOMPARE(r.count, 5000);
        checkReports(5000, n);
        QCOMPARE(idsWhere(*t, "Selected").first(), 2500);
        QCOMPARE(idsWhere(*t, "Selected").last(), 7499);
        QCOMPARE(idsWhere(*t, "Selected").size(), 5000);

        const DuplicateGroups g = FindDuplicates(*t, t->fieldIndex("Mail"), record);
        QCOMPARE(g.values(), 4000);
        checkReports(n, n);
        r = MarkDuplicates(*t, g, true, record, [&](qint64 done, qint64 total) {
            QVERIFY(done <= total);
            QCOMPARE(total, n);
        });
        QCOMPARE(r.count, n);
        checkReports(4000, 4000);
        r = DeleteDuplicates(*t, g, KeepRecord::Newest, record);
        QCOMPARE(r.count, n - 4000);
        checkReports(4000, 4000);
        QCOMPARE(allIds(*t).first(), n - 3999);
        QCOMPARE(allIds(*t).size(), 4000);

        QVERIFY(SetBooleanColumn(*t, "Selected", true).ok());
        r = DeleteWhereTrue(*t, "Selected", record);
        QCOMPARE(r.count, 4000);
        checkReports(4000, 4000);
        QCOMPARE(t->count({}), 0);
    }

    void theDoubledValuesAsAFile()
    {
        auto t = table({{{"Spalte1", "Müller"}},
                        {{"Spalte1", "x"}},
                        {{"Spalte1", " MÜLLER"}},
                        {{"Spalte1", "X"}},
                        {{"Spalte1", "y"}}});
        QVERIFY(t);
        const QString path = m_dir.filePath("Dubletten_Ergebnis.txt");
        QString why;
        QVERIFY(WriteDuplicateValues(FindDuplicates(*t, t->fieldIndex("Spalte1")), path, &why));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("m\xfcller\r\nx\r\n"));
        f.close();
        // A value beyond the code page: the file is UTF-8.
        QVERIFY(t->updateFields(5, {{"Spalte1", "X"}}) && t->updateFields(2, {{"Spalte1", "Ωmega"}}) &&
                t->updateFields(4, {{"Spalte1", "ωMEGA"}}));
        QVERIFY(WriteDuplicateValues(FindDuplicates(*t, t->fieldIndex("Spalte1")), path, &why));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\xef\xbb\xbfm\xc3\xbcller\r\n\xcf\x89mega\r\n"));
    }

    void markingByText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::newRow("anywhere, any case") << "GMBH" << QList<qint64>{1, 3};
        QTest::newRow("umlaut") << "MÜLL" << QList<qint64>{2};
        QTest::newRow("booleans take part") << "e" << QList<qint64>{1, 2, 3, 4};
        QTest::newRow("true") << "tru" << QList<qint64>{4};
        QTest::newRow("date text") << "12.2023" << QList<qint64>{3};
        QTest::newRow("the ID") << "4" << QList<qint64>{4};
        QTest::newRow("quote") << "o'n" << QList<qint64>{2};
        QTest::newRow("empty") << "" << QList<qint64>{};
        QTest::newRow("nowhere") << "zzz" << QList<qint64>{};
    }
    void markingByText()
    {
        QFETCH(QString, text);
        QFETCH(QList<qint64>, marked);
        // Only record 4 is marked before, and it has blank booleans otherwise.
        auto t =
            table({{{"Name", "Beispiel GmbH"}, {"Selected", false}, {"Invalid", false}},
                   {{"Name", "Müller"}, {"Mail", "o'neill@x.de"}, {"Selected", false}, {"Invalid", false}},
                   {{"Spalte1", "gmbh & co"}, {"Geburt", QDate(2023, 12, 1)}, {"Selected", false}, {"Invalid", false}},
                   {{"Selected", true}}});
        QVERIFY(t);
        const BulkResult r = MarkRecordsContaining(*t, text);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QList<qint64> expected = marked;
        if (!expected.contains(4))
            expected.append(4);
        std::sort(expected.begin(), expected.end());
        QCOMPARE(idsWhere(*t, "Selected"), expected);
        QCOMPARE(r.count, marked.size());
    }

    void marksInTheOrderOfAColumn_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<qint64>>("rows"); // IDs in the order of the column Name
        QTest::newRow("marked") << "Selected='True'" << QList<qint64>{4, 2, 5};
        QTest::newRow("not marked") << "Selected<>'True'" << QList<qint64>{3, 1, 6};
        QTest::newRow("blank mark") << "Selected=''" << QList<qint64>{6};
        QTest::newRow("marks and ID") << "Selected='True' AND ID > '2'" << QList<qint64>{4, 5};
        QTest::newRow("marks or name") << "Selected='True' OR Name='c*'" << QList<qint64>{4, 3, 2, 5};
    }
    void marksInTheOrderOfAColumn()
    {
        QFETCH(QString, filter);
        QFETCH(QList<qint64>, rows);
        auto t = table({{{"Name", "e"}, {"Selected", false}},
                        {{"Name", "d"}, {"Selected", true}},
                        {{"Name", "C"}, {"Selected", false}},
                        {{"Name", "a"}, {"Selected", true}},
                        {{"Name", "e"}, {"Selected", true}},
                        {{"Name", "z"}}});
        QVERIFY(t);
        QVERIFY(t->setIndexName("Name"));
        QVERIFY(t->setFilterText(filter) && t->setFiltered(true));
        QList<qint64> shown;
        for (qint64 r = 0; r < t->recordCount(); ++r)
            shown.append(t->idAt(r));
        QCOMPARE(shown, rows);
    }

    void markingByTextStaysUnderTheFilter()
    {
        auto t = table({{{"Name", "gmbh eins"}, {"Anrede", "Herr"}},
                        {{"Name", "gmbh zwei"}, {"Anrede", "Frau"}},
                        {{"Name", "drei"}, {"Anrede", "Frau"}}});
        QVERIFY(t);
        QVERIFY(t->setFilterText("Anrede='Frau'") && t->setFiltered(true));
        const BulkResult r = MarkRecordsContaining(*t, "GmbH");
        QVERIFY(r.ok());
        QCOMPARE(r.count, 1);
        QCOMPARE(idsWhere(*t, "Selected"), QList<qint64>{2});
    }
};

QTEST_GUILESS_MAIN(TestBulkTools)
#include "tst_bulktools.moc"
