// The record search: the edit distance in percent, what a term matches in the
// text forms of the fields, the same answers from the table's own search in
// every order and under a filter, and the search dialog's steps.
#include "recordsearch.h"
#include "tablefixture.h"
#include "textsearch.h"

#include <QDate>
#include <QTemporaryDir>
#include <QTest>

using namespace vt;

namespace {

using Kind = TextSearch::Kind;

const QStringList kUserColumns{QStringLiteral("Ort| ftString | False |80| Ort | Ort | | TRUE | Ort")};

// Five addresses with a date, booleans, umlauts, two-word names and blanks.
const QList<FieldValues> kFive = {
    {{"Mail", "anna@example.de"}, {"Name", "Müller"}, {"Ort", "Berlin"}, {"Selected", true}},
    {{"Mail", "bert@example.de"}, {"Name", "Meier"}, {"Ort", "Hamburg"}, {"Selected", false}},
    {{"Mail", "carl@example.de"}, {"Name", "Schmidt"}, {"Ort", "München"}, {"LetztesMail", QDate(2010, 12, 24)}},
    {{"Mail", "dora@example.de"}, {"Name", "Mueller  Lüdenscheid"}, {"Ort", "Aachen"}},
    {{"Name", "Zorn"}, {"Ort", "Berlin Mitte"}, {"Anrede", "Herr"}}};

struct Table
{
    QTemporaryDir dir;
    AddressTable table;
    explicit Table(const QList<FieldValues> &records = kFive)
    {
        const QString path = dir.filePath("t.DB");
        if (makeTable(path, definitionWith(kUserColumns)) && table.open(path))
            QVERIFY(fill(table, records));
    }
    // Every row the table's search finds, walking forward from the first.
    QList<qint64> found(const TextSearch &s)
    {
        QList<qint64> rows;
        qint64 row = -1;
        for (qint64 from = 0; from < table.recordCount(); from = row + 1) {
            if (!table.findRow(s, from, false, &row))
                QTest::qFail(qPrintable(table.lastError()), __FILE__, __LINE__);
            if (row < 0)
                break;
            rows.append(row);
        }
        return rows;
    }
    // The rows whose text of some field matches, one record at a time.
    QList<qint64> matchingByText(const TextSearch &s)
    {
        QList<qint64> rows;
        for (qint64 r = 0; r < table.recordCount(); ++r)
            for (int f = 0; f < table.fieldCount(); ++f)
                if (s.matches(table.textAt(r, f))) {
                    rows.append(r);
                    break;
                }
        return rows;
    }
};

} // namespace

class TestTextSearch : public QObject
{
    Q_OBJECT

private slots:
    void levenshteinPercent_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("percent");
        QTest::newRow("equal") << "Berlin"
                               << "Berlin" << 0;
        QTest::newRow("4 letters, 1 wrong") << "Test"
                                            << "Tast" << 25;
        QTest::newRow("5 letters, 1 wrong") << "Maier"
                                            << "Meier" << 20;
        QTest::newRow("9 letters, 2 replaced") << "Hamborgxr"
                                               << "Hamburger" << 22;
        QTest::newRow("both empty") << ""
                                    << "" << 0;
        QTest::newRow("empty term") << ""
                                    << "Wort" << 100;
        QTest::newRow("empty word") << "Wort"
                                    << "" << 100;
        QTest::newRow("over 100") << "abcdef"
                                  << "ab" << 200;
        QTest::newRow("case counts") << "berlin"
                                     << "Berlin" << 16;
    }
    void levenshteinPercent()
    {
        QFETCH(QString, term);
        QFETCH(QString, word);
        QFETCH(int, percent);
        QCOMPARE(LevenshteinPercent(term, word), percent);
    }

    // The table's search in SQLite finds exactly the rows the text rule names,
    // and those are the rows expected.
    void termsFindTheirRecords_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QList<qint64>>("rows");
        using R = QList<qint64>;
        QTest::newRow("part, any case") << int(Kind::IgnoreCase) << "EXAMPLE.DE" << R{0, 1, 2, 3};
        QTest::newRow("umlauts fold") << int(Kind::IgnoreCase) << "MÜLLER" << R{0};
        QTest::newRow("blanks around the term") << int(Kind::IgnoreCase) << "  berlin " << R{0, 4};
        QTest::newRow("with case") << int(Kind::MatchCase) << "müller" << R{};
        QTest::newRow("with case, exact") << int(Kind::MatchCase) << "Müller" << R{0};
        QTest::newRow("empty term") << int(Kind::IgnoreCase) << "  " << R{};
        QTest::newRow("empty term with case") << int(Kind::MatchCase) << "" << R{};
        QTest::newRow("a date as shown") << int(Kind::IgnoreCase) << "24.12.2010" << R{2};
        QTest::newRow("a boolean as shown") << int(Kind::IgnoreCase) << "false" << R{1};
        QTest::newRow("an ID") << int(Kind::MatchCase) << "5" << R{4};
        QTest::newRow("fuzzy, one letter off") << int(Kind::Fuzzy) << "hamburk" << R{1};
        QTest::newRow("fuzzy, umlaut folded") << int(Kind::Fuzzy) << "MÜNCHEN" << R{2};
        QTest::newRow("fuzzy, a word of two") << int(Kind::Fuzzy) << "Lüdenschied" << R{3};
        QTest::newRow("fuzzy, too far") << int(Kind::Fuzzy) << "Tast" << R{};
        QTest::newRow("fuzzy, two words never") << int(Kind::Fuzzy) << "Berlin Mitte" << R{};
        // Every record has an empty field, and an empty field is one empty word.
        QTest::newRow("fuzzy, empty term") << int(Kind::Fuzzy) << "" << R{0, 1, 2, 3, 4};
        // The term is taken whole: its blanks count as letters.
        QTest::newRow("fuzzy, one blank more") << int(Kind::Fuzzy) << "Meier " << R{1};
        QTest::newRow("fuzzy, two blanks more") << int(Kind::Fuzzy) << "Meier  " << R{};
    }
    void termsFindTheirRecords()
    {
        QFETCH(int, kind);
        QFETCH(QString, term);
        QFETCH(QList<qint64>, rows);
        Table t;
        const TextSearch s(Kind(kind), term);
        QCOMPARE(t.matchingByText(s), rows);
        QCOMPARE(t.found(s), rows);
        // In another order and backward the same records.
        QVERIFY(t.table.setIndexName("Ort"));
        QList<qint64> ids, expected;
        for (qint64 r : t.found(s))
            ids.append(t.table.idAt(r));
        t.table.setIndexName(QString());
        for (qint64 r : rows)
            expected.append(t.table.idAt(r));
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, expected);
    }

    void findingWalksTheCurrentOrderBothWays()
    {
        Table t;
        const TextSearch berlin(Kind::IgnoreCase, "berlin");
        // By Ort: Aachen, Berlin, Berlin Mitte, Hamburg, München.
        QVERIFY(t.table.setIndexName("Ort"));
        qint64 row = -1;
        QVERIFY(t.table.findRow(berlin, 0, false, &row));
        QCOMPARE(row, 1);
        QVERIFY(t.table.findRow(berlin, 4, true, &row));
        QCOMPARE(row, 2);
        QVERIFY(t.table.findRow(berlin, 3, false, &row));
        QCOMPARE(row, -1);
        // Under a filter only its rows count.
        QVERIFY(t.table.setFilterText("Selected='True'") && t.table.setFiltered(true));
        QVERIFY(t.table.setIndexName(QString()));
        QVERIFY(t.table.findRow(berlin, 0, false, &row));
        QCOMPARE(row, 0);
        QCOMPARE(t.table.recordCount(), 1);
        QVERIFY(t.table.findRow(TextSearch(Kind::IgnoreCase, "hamburg"), 0, false, &row));
        QCOMPARE(row, -1);
    }

    void findingCrossesTheBatchesOfAnotherOrder()
    {
        QList<FieldValues> many;
        for (int i = 0; i < 2600; ++i)
            many.append({{"Mail", QStringLiteral("a%1@example.de").arg(i)},
                         {"Ort", QStringLiteral("Ort %1").arg(i, 4, 10, QLatin1Char('0'))}});
        many[2345] = {{"Mail", "treffer@example.de"}, {"Ort", "Ort 2345"}};
        Table t(many);
        QVERIFY(t.table.setIndexName("Ort"));
        const TextSearch s(Kind::IgnoreCase, "treffer");
        qint64 row = -1;
        QVERIFY(t.table.findRow(s, 0, false, &row));
        QCOMPARE(row, 2345);
        QVERIFY(t.table.findRow(s, 2599, true, &row));
        QCOMPARE(row, 2345);
        QVERIFY(t.table.findRow(s, 2346, false, &row));
        QCOMPARE(row, -1);
        QVERIFY(t.table.findRow(s, 2344, true, &row));
        QCOMPARE(row, -1);
    }

    void stepsOfTheSearch()
    {
        using O = SearchStepResult::Outcome;
        Table t;
        const TextSearch example(Kind::IgnoreCase, "example");
        // Forward from the first record, one find after the other, then no more.
        t.table.last();
        for (qint64 expected : {0, 1, 2, 3}) {
            const SearchStepResult r = SearchStep(t.table, example, false, expected > 0);
            QCOMPARE(r.outcome, O::Found);
            QCOMPARE(t.table.row(), expected);
            QCOMPARE(t.table.field(r.field).name, QStringLiteral("Mail"));
        }
        QCOMPARE(SearchStep(t.table, example, false, true).outcome, O::NoFurther);
        QCOMPARE(t.table.row(), 4);
        QCOMPARE(SearchStep(t.table, example, false, true).outcome, O::NoFurther);
        // Backward from the last record.
        QCOMPARE(SearchStep(t.table, example, true, false).outcome, O::Found);
        QCOMPARE(t.table.row(), 3);
        // The field shown is the first that matches.
        const SearchStepResult date = SearchStep(t.table, TextSearch(Kind::IgnoreCase, "12.2010"), false, false);
        QCOMPARE(t.table.field(date.field).name, QStringLiteral("LetztesMail"));
        QCOMPARE(t.table.row(), 2);
        // Nothing at all: said as such, and the walk ends at the end.
        QCOMPARE(SearchStep(t.table, TextSearch(Kind::IgnoreCase, "xyz"), false, false).outcome, O::NotFound);
        QCOMPARE(t.table.row(), 4);
        QCOMPARE(SearchStep(t.table, TextSearch(Kind::IgnoreCase, ""), true, false).outcome, O::NotFound);
        QCOMPARE(t.table.row(), 0);
    }

    void directionChangeAndFuzzyStart()
    {
        using O = SearchStepResult::Outcome;
        Table t;
        const TextSearch berlin(Kind::IgnoreCase, "berlin");
        QCOMPARE(SearchStep(t.table, berlin, false, false).outcome, O::Found);
        QCOMPARE(t.table.row(), 0);
        // The direction box moves to the last record; the search goes on from one before it.
        t.table.last();
        QCOMPARE(SearchStep(t.table, berlin, true, true).outcome, O::Found);
        QCOMPARE(t.table.row(), 0);
        // A fuzzy search forward starts at the current record, an exact one at the first.
        t.table.moveTo(2);
        QCOMPARE(SearchStep(t.table, TextSearch(Kind::Fuzzy, "berlin"), false, false).outcome, O::Found);
        QCOMPARE(t.table.row(), 4);
        t.table.moveTo(2);
        QCOMPARE(SearchStep(t.table, berlin, false, false).outcome, O::Found);
        QCOMPARE(t.table.row(), 0);
    }

    void anEmptyTableFindsNothing()
    {
        Table t(QList<FieldValues>{});
        for (Kind k : {Kind::IgnoreCase, Kind::Fuzzy}) {
            const SearchStepResult r = SearchStep(t.table, TextSearch(k, ""), false, false);
            QCOMPARE(r.outcome, SearchStepResult::Outcome::NotFound);
            QCOMPARE(SearchStep(t.table, TextSearch(k, ""), true, true).outcome, SearchStepResult::Outcome::NoFurther);
        }
        QCOMPARE(t.table.row(), -1);
    }
};

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
