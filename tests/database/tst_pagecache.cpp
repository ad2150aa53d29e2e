// The rows of a view and their pages: a page is read once while it is held,
// only the pages used last are kept, and a page that may be stale is read anew.
// Small pages over a loader that answers from a formula and logs what it read.
#include "pagecache.h"

#include <QTest>

#include <numeric>

using namespace vt;

namespace {

constexpr int kFields = 3;

// Record id holds id * 10 + field, except the IDs listed as missing.
struct Loader
{
    QList<QList<qint64>> reads; // the IDs of each page read
    QList<qint64> missing;

    PageCache::Loader function()
    {
        return [this](const qint64 *ids, int count, QVariant *values) {
            reads.append(QList<qint64>(ids, ids + count));
            for (int r = 0; r < count; ++r)
                if (!missing.contains(ids[r]))
                    for (int f = 0; f < kFields; ++f)
                        values[r * kFields + f] = ids[r] * 10 + f;
        };
    }
};

// IDs 101, 102, ... for count rows.
std::vector<qint64> rowIds(int count)
{
    std::vector<qint64> ids(static_cast<size_t>(count));
    std::iota(ids.begin(), ids.end(), qint64(101));
    return ids;
}

} // namespace

class TestPageCache : public QObject
{
    Q_OBJECT

private slots:
    void readsWholePagesOnce()
    {
        Loader loader;
        PageCache cache(4, 2, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(10));
        QCOMPARE(cache.value(5, 2), QVariant(qint64(1062)));
        QCOMPARE(cache.value(4, 0), QVariant(qint64(1050)));
        QCOMPARE(cache.value(7, 1), QVariant(qint64(1081)));
        // The last page is short.
        QCOMPARE(cache.value(9, 1), QVariant(qint64(1101)));
        QCOMPARE(loader.reads, (QList<QList<qint64>>{{105, 106, 107, 108}, {109, 110}}));
        QCOMPARE(cache.fetches(), 2);
        QCOMPARE(cache.heldRows(), 8);
    }

    void blankWithoutReading_data()
    {
        QTest::addColumn<qint64>("row");
        QTest::addColumn<int>("field");
        QTest::newRow("row before the first") << qint64(-1) << 0;
        QTest::newRow("row after the last") << qint64(10) << 0;
        QTest::newRow("field before the first") << qint64(0) << -1;
        QTest::newRow("field after the last") << qint64(0) << kFields;
    }
    void blankWithoutReading()
    {
        QFETCH(qint64, row);
        QFETCH(int, field);
        Loader loader;
        PageCache cache(4, 2, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(10));
        QVERIFY(!cache.value(row, field).isValid());
        QCOMPARE(cache.fetches(), 0);
    }

    void recordNotFoundStaysBlank()
    {
        Loader loader;
        loader.missing = {102};
        PageCache cache(4, 2, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(4));
        QVERIFY(!cache.value(1, 0).isValid());
        QCOMPARE(cache.value(2, 0), QVariant(qint64(1030)));
    }

    void keepsThePagesUsedLast()
    {
        Loader loader;
        PageCache cache(4, 2, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(12));
        cache.value(0, 0); // page 0
        cache.value(4, 0); // page 1
        cache.value(1, 0); // page 0 again: held, and now used last
        QCOMPARE(cache.fetches(), 2);
        cache.value(8, 0); // page 2 pushes out page 1, not page 0
        QCOMPARE(cache.heldRows(), 8);
        QCOMPARE(cache.heldRowOfId(101), qint64(0));
        QCOMPARE(cache.heldRowOfId(105), qint64(-1));
        QCOMPARE(cache.heldRowOfId(109), qint64(8));
        cache.value(3, 0);
        QCOMPARE(cache.fetches(), 3);
        cache.value(5, 0);
        QCOMPARE(cache.fetches(), 4);
        QCOMPARE(loader.reads.last(), (QList<qint64>{105, 106, 107, 108}));
    }

    void droppedPagesAreReadAnew()
    {
        Loader loader;
        PageCache cache(4, 3, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(12));
        cache.value(0, 0);
        cache.value(4, 0);
        // One page: only that one is read again.
        cache.dropPageOf(6);
        cache.value(0, 0);
        cache.value(5, 0);
        QCOMPARE(cache.fetches(), 3);
        QCOMPARE(loader.reads.last(), (QList<qint64>{105, 106, 107, 108}));
        // All of them.
        cache.dropPages();
        QCOMPARE(cache.heldRows(), 0);
        cache.value(0, 0);
        QCOMPARE(cache.fetches(), 4);
    }

    void newRowsReplaceThePages()
    {
        Loader loader;
        PageCache cache(4, 2, loader.function());
        cache.setFieldCount(kFields);
        cache.setRows(rowIds(8));
        QCOMPARE(cache.value(2, 0), QVariant(qint64(1030)));
        cache.setRows({203, 201, 202});
        QCOMPARE(cache.rowCount(), qint64(3));
        QCOMPARE(cache.value(2, 0), QVariant(qint64(2020)));
        QCOMPARE(cache.fetches(), 2);
        // A row taken out moves the ones after it up, and their values with them.
        cache.removeRow(0);
        QCOMPARE(cache.idAt(0), qint64(201));
        QCOMPARE(cache.value(0, 1), QVariant(qint64(2011)));
        QCOMPARE(cache.idAt(2), qint64(-1));
        cache.clear();
        QVERIFY(cache.isEmpty());
        QCOMPARE(cache.heldRows(), 0);
    }

    void rowOfId_data()
    {
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<qint64>("row");
        const QList<qint64> sorted{2, 5, 9, 14};
        const QList<qint64> byName{9, 2, 14, 5};
        QTest::newRow("ascending, first") << sorted << true << qint64(2) << qint64(0);
        QTest::newRow("ascending, last") << sorted << true << qint64(14) << qint64(3);
        QTest::newRow("ascending, between two") << sorted << true << qint64(6) << qint64(-1);
        QTest::newRow("ascending, after the last") << sorted << true << qint64(20) << qint64(-1);
        QTest::newRow("other order") << byName << false << qint64(5) << qint64(3);
        QTest::newRow("other order, missing") << byName << false << qint64(6) << qint64(-1);
        QTest::newRow("no rows") << QList<qint64>{} << true << qint64(1) << qint64(-1);
    }
    void rowOfId()
    {
        QFETCH(QList<qint64>, ids);
        QFETCH(bool, ascending);
        QFETCH(qint64, id);
        QFETCH(qint64, row);
        Loader loader;
        PageCache cache(4, 2, loader.function());
        cache.setRows(std::vector<qint64>(ids.begin(), ids.end()));
        QCOMPARE(cache.rowOfId(id, ascending), row);
        QCOMPARE(cache.fetches(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPageCache)
#include "tst_pagecache.moc"
