// The grid's model: rows read in pages and never the whole table, the column
// layout and titles, and editing in a cell that posts at once.
#include "addressmodel.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QBrush>
#include <QFont>
#include <QSignalSpy>
#include <QTest>

using namespace vt;

class TestAddressModel : public QObject
{
    Q_OBJECT

    TestFolder m_dir;
    int m_files = 0;

    bool openNew(AddressTable &t, int records)
    {
        const QString path = m_dir.file(QStringLiteral("M%1.DB").arg(++m_files));
        if (!makeTable(path, definitionWith()) || !t.open(path))
            return false;
        QList<FieldValues> rows;
        for (int i = 1; i <= records; ++i)
            rows.append({{"Name", QStringLiteral("n%1").arg(i)}, {"Selected", i % 2 == 0}});
        return fill(t, rows);
    }

private slots:
    void readsPagesOnly()
    {
        AddressTable t;
        const int n = 3000;
        QVERIFY(openNew(t, n));
        AddressModel m(&t);
        QCOMPARE(m.rowCount(), n);
        const int before = t.pageFetches();
        // The first screen takes one page.
        for (int r = 0; r < 40; ++r)
            for (int c = 0; c < m.columnCount(); ++c)
                m.data(m.index(r, c));
        QCOMPARE(t.pageFetches() - before, 1);
        // Jumping to the end takes one more; going back to the start none.
        QCOMPARE(m.data(m.index(n - 1, m.columnOfField("Name"))).toString(), QStringLiteral("n3000"));
        m.data(m.index(5, 0));
        QCOMPARE(t.pageFetches() - before, 2);
        // A walk over every row reads each page at most once and keeps only a few.
        const int pages = (n + AddressTable::kPageRows - 1) / AddressTable::kPageRows;
        const int beforeWalk = t.pageFetches();
        for (int r = 0; r < n; ++r)
            m.data(m.index(r, 0));
        QVERIFY(t.pageFetches() - beforeWalk <= pages);
        QVERIFY(t.cachedRowCount() <= AddressTable::kMaxPages * AddressTable::kPageRows);
        QVERIFY(t.cachedRowCount() < n);
    }

    void roles()
    {
        AddressTable t;
        QVERIFY(openNew(t, 2));
        AddressModel m(&t);
        const int sel = m.columnOfField("selected");
        QCOMPARE(m.data(m.index(1, sel)).toString(), QStringLiteral("True"));
        QCOMPARE(m.data(m.index(0, sel), AddressModel::ValueRole), QVariant(false));
        QCOMPARE(m.data(m.index(1, 0), AddressModel::IdRole).toLongLong(), 2);
        QCOMPARE(m.data(m.index(0, m.columnOfField("Mail"))).toString(), QString());
        QCOMPARE(m.headerData(sel, Qt::Horizontal).toString(), QStringLiteral("Selected"));
        QVERIFY(!m.headerData(0, Qt::Vertical).isValid());
    }

    void columnsAndSortMarker()
    {
        AddressTable t;
        QVERIFY(openNew(t, 1));
        AddressModel m(&t);
        QCOMPARE(m.columnCount(), t.fieldCount());
        m.setColumns({{"Name", "Nachname", 100, true}, {"Gibtsnicht", "x", 1, true}, {"Mail", "E-Mail", -1, false}});
        QCOMPARE(m.columnCount(), 2);
        QCOMPARE(m.fieldOfColumn(1), QStringLiteral("Mail"));
        QCOMPARE(m.fieldIndexOfColumn(1), t.fieldIndex("Mail"));
        QCOMPARE(m.data(m.index(0, 0)).toString(), QStringLiteral("n1"));
        QSignalSpy header(&m, &QAbstractItemModel::headerDataChanged);
        m.setSortMarker("name");
        QCOMPARE(header.count(), 1);
        QVERIFY(m.headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(m.headerData(0, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
        QVERIFY(!m.headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(m.headerData(1, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::black));
        m.resetColumns();
        QCOMPARE(m.columnCount(), t.fieldCount());
    }

    void followsTheTable()
    {
        AddressTable t;
        QVERIFY(openNew(t, 4));
        AddressModel m(&t);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset), changed(&m, &QAbstractItemModel::dataChanged);
        QVERIFY(t.setFilterText("Selected='True'") && t.setFiltered(true));
        QCOMPARE(reset.count(), 1);
        QCOMPARE(m.rowCount(), 2);
        QVERIFY(t.last() && t.edit() && t.setText("Name", "neu") && t.post());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
        QCOMPARE(m.data(m.index(1, m.columnOfField("Name"))).toString(), QStringLiteral("neu"));
        t.close();
        QCOMPARE(m.rowCount(), 0);
    }

    void editingInCells()
    {
        AddressTable t;
        QVERIFY(openNew(t, 3));
        AddressModel m(&t);
        const QModelIndex name = m.index(1, m.columnOfField("Name"));
        QVERIFY(!(m.flags(name) & Qt::ItemIsEditable));
        QVERIFY(!m.setData(name, "x"));
        m.setEditable(true);
        QVERIFY(m.flags(name) & Qt::ItemIsEditable);
        QVERIFY(!(m.flags(m.index(1, m.columnOfField("ID"))) & Qt::ItemIsEditable));
        QVERIFY(m.setData(name, "geändert"));
        // Posted at once, on the record of that row.
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.readRecord(2)->at(t.fieldIndex("Name")), QVariant("geändert"));
        QCOMPARE(t.currentId(), 2);
        QSignalSpy failed(&m, &AddressModel::editFailed);
        QVERIFY(!m.setData(m.index(0, m.columnOfField("LetztesMail")), "morgen"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("'morgen' ist kein gültiges Datum."));
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QVERIFY(t.readRecord(1)->at(t.fieldIndex("LetztesMail")).isNull());
        QVERIFY(m.setData(m.index(0, m.columnOfField("Selected")), "True"));
        QCOMPARE(t.readRecord(1)->at(t.fieldIndex("Selected")), QVariant(true));
    }

    // A new row is a record that does not exist yet: its first value stores it;
    // a value the table refuses stays there; without values it goes.
    void newRow()
    {
        AddressTable t;
        const QString path = m_dir.file(QStringLiteral("M%1.DB").arg(++m_files));
        QVERIFY(makeTable(path, definitionWith({"Pflicht| ftString | True |20| | | | FALSE | Pflicht"})));
        QVERIFY(t.open(path) && fill(t, {{{"Name", "a"}, {"Pflicht", "x"}}, {{"Name", "b"}, {"Pflicht", "y"}}}));
        AddressModel m(&t);
        QVERIFY(!m.beginNewRow()); // only while cells are editable
        m.setEditable(true);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        QVERIFY(m.beginNewRow());
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(m.rowCount(), 3);
        QCOMPARE(m.newRow(), 2);
        QCOMPARE(t.state(), AddressTable::State::Insert);
        QCOMPARE(m.index(2, m.columnOfField("Selected")).data(AddressModel::ValueRole), QVariant(false));
        QCOMPARE(m.index(2, m.columnOfField("Name")).data().toString(), QString());

        QSignalSpy failed(&m, &AddressModel::editFailed);
        QVERIFY(!m.setData(m.index(2, m.columnOfField("Name")), "neu"));
        QCOMPARE(failed.count(), 1);
        QVERIFY(m.newRowHasValues());
        QCOMPARE(m.index(2, m.columnOfField("Name")).data().toString(), QStringLiteral("neu"));
        QVERIFY(!m.leaveNewRow());
        QCOMPARE(failed.count(), 2);
        QCOMPARE(t.count({}), 2);

        QVERIFY(m.setData(m.index(2, m.columnOfField("Pflicht")), "z"));
        QVERIFY(!m.hasNewRow());
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(m.rowCount(), 3);
        const QList<QVariant> stored = *t.readRecord(3);
        QCOMPARE(stored.at(t.fieldIndex("Name")), QVariant("neu"));
        QCOMPARE(stored.at(t.fieldIndex("Pflicht")), QVariant("z"));
        QCOMPARE(stored.at(t.fieldIndex("Selected")), QVariant(false));
        QCOMPARE(stored.at(t.fieldIndex("Invalid")), QVariant(false));
        QCOMPARE(t.currentId(), 3);

        // Without values it leaves nothing behind, also when editing ends.
        QVERIFY(m.beginNewRow());
        QVERIFY(m.leaveNewRow());
        QVERIFY(m.beginNewRow());
        m.setEditable(false);
        QVERIFY(!m.hasNewRow());
        QCOMPARE(m.rowCount(), 3);
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.count({}), 3);
    }
};

QTEST_MAIN(TestAddressModel)
#include "tst_addressmodel.moc"
