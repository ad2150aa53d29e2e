// The dataset helpers: finding fields by name and joining the marked addresses.
#include "datasettools.h"
#include "messagerecorder.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QTest>

using namespace vt;

using Records = QList<QPair<QString, QVariant>>; // address, marked (invalid: blank)

class TestDatasetTools : public QObject
{
    Q_OBJECT

    TestFolder m_dir;
    int m_files = 0;

    bool openWith(AddressTable &t, const Records &records, const QStringList &pro)
    {
        const QString path = m_dir.file(QStringLiteral("D%1.DB").arg(++m_files));
        QList<FieldValues> rows;
        for (const auto &[mail, marked] : records) {
            FieldValues r{{"Mail", mail}};
            if (pro.join(' ').contains("Selected"))
                r.append({"Selected", marked});
            rows.append(r);
        }
        return makeTable(path, pro) && t.open(path) && fill(t, rows);
    }

private slots:
    void findFields()
    {
        AddressTable t;
        QCOMPARE(FindMailField(nullptr), -1);
        QCOMPARE(FindMailField(&t), -1); // not open
        QVERIFY(openWith(t, {}, definitionWith()));
        QCOMPARE(FindMailField(&t), 4);
        QCOMPARE(FindFieldByName("letztesmail", &t), 3);
        QCOMPARE(FindFieldByName("Ort", &t), -1);
        QCOMPARE(FindFieldByName("Name", nullptr), -1);
    }

    void addressString_data()
    {
        QTest::addColumn<Records>("records");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("list");
        using R = Records;
        // A longer address that ends with a shorter one is another address,
        // whichever comes first.
        QTest::newRow("short first") << R{{"a@b.de", true}, {"xa@b.de", true}} << ", "
                                     << "a@b.de, xa@b.de";
        QTest::newRow("long first") << R{{"xa@b.de", true}, {"a@b.de", true}} << ", "
                                    << "xa@b.de, a@b.de";
        QTest::newRow("each once, trimmed") << R{{" a@b.de", true}, {"a@b.de ", true}} << "; "
                                            << "a@b.de";
        QTest::newRow("letter case counts") << R{{"A@b.de", true}, {"a@b.de", true}} << "; "
                                            << "A@b.de; a@b.de";
        QTest::newRow("only marked ones") << R{{"a@b.de", false}, {"c@d.de", QVariant()}, {"e@f.de", true}} << ", "
                                          << "e@f.de";
        QTest::newRow("bad address stands as -1") << R{{"x@y.", true}, {"a@b.de", true}, {"x@y.", true}} << ", "
                                                  << "-1, a@b.de, -1";
        QTest::newRow("no @ or no full stop") << R{{"ab.de", true}, {"a@bde", true}, {"", true}} << ", "
                                              << "";
        QTest::newRow("none marked") << R{{"a@b.de", false}} << ", "
                                     << "";
    }
    void addressString()
    {
        QFETCH(Records, records);
        QFETCH(QString, separator);
        QFETCH(QString, list);
        AddressTable t;
        QVERIFY(openWith(t, records, definitionWith()));
        QVERIFY(t.setFilterText("Mail<>'zz*'") && t.setFiltered(true));
        QVERIFY(t.first());
        QCOMPARE(BuildAddressString(&t, FindMailField(&t), separator), list);
        // The table is left unfiltered on its last record.
        QVERIFY(!t.isFiltered());
        QCOMPARE(t.row(), t.recordCount() - 1);
    }

    void addressStringFollowsTheFilter()
    {
        AddressTable t;
        QVERIFY(openWith(t, {{"a@b.de", true}, {"c@d.de", true}}, definitionWith()));
        QVERIFY(t.setFilterText("Mail='c*'") && t.setFiltered(true));
        QCOMPARE(BuildAddressString(&t, FindMailField(&t), ", "), QStringLiteral("c@d.de"));
        QCOMPARE(BuildAddressString(&t, FindMailField(&t), ", "), QStringLiteral("a@b.de, c@d.de"));
    }

    void withoutSelectionField()
    {
        AddressTable t;
        QVERIFY(
            openWith(t, {{"a@b.de", {}}, {"x@y.", {}}},
                     {"header", "ID| ftAutoInc | False |0| | | | FALSE | ID", "Mail| ftString | False |80| | | | | "}));
        MessageRecorder boxes;
        QCOMPARE(BuildAddressString(&t, FindMailField(&t), ", "), QStringLiteral("a@b.de, Þ"));
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Falsche E-Mail-Adresse: x@y."));
    }
};

QTEST_GUILESS_MAIN(TestDatasetTools)
#include "tst_datasettools.moc"
