// What the record editor is built from: the control and caption of each field,
// the hidden rows, the drop-down items; and the stored addresses a new one repeats.
#include "recordeditor.h"
#include "tablefixture.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vt;

class TestRecordEditor : public QObject
{
    Q_OBJECT

private slots:
    void rowsOfTheEditor()
    {
        const QStringList pro = definitionWith({
            "KundenID| ftInteger | False |0| | | | FALSE | Kunden-Nr.",
            "Video| ftString | False |20| | | | FALSE | ",
            "archive| ftString | False |20| | | | FALSE | Archiv",
            "Aktiv| ftBoolean | False |0| | | | FALSE | Aktiv",
            "Land| ftString | False |40| | | | FALSE | Land",
        });
        const QStringList combos{"FELDNAME | WERTE", "Land | X;Y", "Aktiv | True;False",
                                 "Land | D=Deutschland; A = Österreich ;CH", "anrede | Herr;Frau"};
        const QList<EditorField> rows = EditorFields(pro, combos);
        QCOMPARE(rows.size(), pro.size() - 1);
        auto row = [&](const QString &name) {
            for (const EditorField &f : rows)
                if (f.name == name)
                    return f;
            return EditorField{};
        };
        using C = EditorField::Control;
        QCOMPARE(row("ID").line, 1);
        QVERIFY(row("ID").hidden && row("KundenID").hidden && row("archive").hidden);
        QVERIFY(!row("Video").hidden && !row("Mail").hidden);
        QCOMPARE(row("Video").caption, QStringLiteral("Video"));
        QCOMPARE(row("LetztesMail").caption, QStringLiteral("Letztes Mail"));
        QCOMPARE(row("Selected").control, C::Check);
        QCOMPARE(row("Mail").control, C::Edit);
        // A boolean with a line of its own gets a combo box; the last line of a field counts.
        QCOMPARE(row("Aktiv").control, C::Combo);
        QCOMPARE(row("Land").control, C::Combo);
        QCOMPARE(row("Land").items, (QStringList{"D", "A", "CH"}));
        // Field names are compared with case.
        QCOMPARE(row("Anrede").control, C::Edit);
    }

    void storedAddressesANewOneRepeats()
    {
        QTemporaryDir dir;
        AddressTable t;
        QVERIFY(makeTable(dir.filePath("t.DB"), definitionWith()) && t.open(dir.filePath("t.DB")));
        QVERIFY(fill(t, {{{"Mail", "anna@x.de"}, {"Selected", true}},
                         {{"Mail", "bert@x.de"}},
                         {{"Mail", "marianna@x.de"}},
                         {{"Mail", "ANNA@X.DE"}, {"Selected", true}},
                         {{"Name", "ohne Adresse"}}}));
        QStringList found;
        QVERIFY(StoredAddressesHolding(t, "Anna@x.de", &found));
        QCOMPARE(found, (QStringList{"anna@x.de", "marianna@x.de", "ANNA@X.DE"}));
        QVERIFY(StoredAddressesHolding(t, "", &found));
        QCOMPARE(found, QStringList());
        // Only the records the filter shows take part, in the table's order.
        QVERIFY(t.setFilterText("Selected='True'") && t.setFiltered(true));
        QVERIFY(t.setIndexName("Mail"));
        QVERIFY(StoredAddressesHolding(t, "anna@x.de", &found));
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.first().toLower(), found.last().toLower());
    }
};

QTEST_GUILESS_MAIN(TestRecordEditor)
#include "tst_recordeditor.moc"
