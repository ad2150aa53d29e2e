// Filter expressions: the grammar, its errors, and what each filter selects on
// a real table (case, umlauts, blanks, quotes, stars, AND before OR).
#include "filter.h"
#include "sqlitefunctions.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "text.h"

#include <QDate>
#include <QTest>

using namespace vt;

namespace {

// The condition inside n pairs of parentheses.
QString nested(int n, const QString &condition)
{
    return QString(n, u'(') + condition + QString(n, u')');
}

// "ID=1 OR ID=2 OR ... ID=n"
QString runOfIds(int n)
{
    QStringList parts;
    for (int i = 1; i <= n; ++i)
        parts.append(QStringLiteral("ID=%1").arg(i));
    return parts.join(QStringLiteral(" OR "));
}

// The filters joined by OR, in pairs (joining one at a time copies the run each time).
Filter anyOf(const QList<Filter> &filters, qsizetype from, qsizetype to)
{
    if (to - from == 1)
        return filters.at(from);
    const qsizetype mid = from + (to - from) / 2;
    return anyOf(filters, from, mid) || anyOf(filters, mid, to);
}

// Groups that alternate AND and OR inside each other, each adding two levels.
QString alternating(int groups)
{
    QString text = QStringLiteral("Name='a'");
    for (int i = 0; i < groups; ++i)
        text = QStringLiteral("(Name='b' AND %1 OR Name='c')").arg(text);
    return text;
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

    TestFolder m_dir;
    AddressTable m_table;

    // The IDs the filter selects, ascending.
    QList<qint64> select(const Filter &f)
    {
        QList<qint64> out;
        for (qint64 id : m_table.ids(f))
            out.append(id);
        return out;
    }

private slots:
    void initTestCase()
    {
        const QString path = m_dir.file("Filter.DB");
        QVERIFY(makeTable(path, definitionWith()));
        QVERIFY(m_table.open(path));
        const QString n = QStringLiteral("Name"), s = QStringLiteral("Selected"), i = QStringLiteral("Invalid"),
                      m = QStringLiteral("Mail"), l = QStringLiteral("LetztesMail");
        QVERIFY(fill(m_table, {
                                  {{n, "Müller"}, {s, true}, {i, false}, {m, "mueller@x.de"}, {l, QDate(2010, 2, 1)}},
                                  {{n, "MÜLLERSEN"}, {s, false}, {i, false}},
                                  {{n, "Meier"}, {m, "o'brien@x.de"}},
                                  {{n, "O'Brien"}, {s, true}, {i, false}},
                                  {{s, false}, {i, true}},
                              }));
    }

    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint64>>("ids");
        using L = QList<qint64>;
        QTest::newRow("boolean true") << "Selected='True'" << L{1, 4};
        QTest::newRow("names and words in any case") << "selected = 'true'" << L{1, 4};
        QTest::newRow("false leaves blanks out") << "Selected='False'" << L{2, 5};
        QTest::newRow("empty value is the blank") << "Selected=''" << L{3};
        QTest::newRow("not equal takes blanks") << "Selected<>'True'" << L{2, 3, 5};
        QTest::newRow("not empty") << "Selected<>''" << L{1, 2, 4, 5};
        QTest::newRow("umlaut without case") << "Name='müller'" << L{1};
        QTest::newRow("star matches the start") << "Name='mü*'" << L{1, 2};
        QTest::newRow("upper-case umlaut prefix") << "Name='MÜ*' AND Selected='True'" << L{1};
        QTest::newRow("star alone matches all") << "Name='*'" << L{1, 2, 3, 4, 5};
        QTest::newRow("not starting with") << "Name<>'m*'" << L{4, 5};
        QTest::newRow("doubled quote") << "Name='O''Brien'" << L{4};
        QTest::newRow("doubled quote in an address") << "Mail='o''brien@x.de'" << L{3};
        QTest::newRow("AND before OR") << "Selected='True' AND Name='Müller' OR Invalid='True'" << L{1, 5};
        QTest::newRow("parentheses") << "Selected='True' AND (Name='Müller' OR Invalid='True')" << L{1};
        QTest::newRow("OR of an AND") << "Name='Meier' OR Name='O''Brien' AND Selected='False'" << L{3};
        QTest::newRow("lower-case keywords") << "Name='x*' or Name='meier'" << L{3};
        QTest::newRow("date literal") << "LetztesMail='01.02.2010'" << L{1};
        QTest::newRow("date order leaves blanks out") << "LetztesMail<'1.1.2011'" << L{1};
        QTest::newRow("blank date") << "LetztesMail=''" << L{2, 3, 4, 5};
        QTest::newRow("numbers without quotes") << "ID>=3 AND ID<5" << L{3, 4};
        QTest::newRow("text order") << "Name>'M'" << L{1, 2, 3, 4};
        QTest::newRow("star dropped when ordering") << "Name<'N*'" << L{1, 2, 3};
        QTest::newRow("star on a date's text") << "LetztesMail='01.02*'" << L{1};
        QTest::newRow("star on a number's text") << "ID='1*'" << L{1};
        QTest::newRow("blank text is no filter") << "  " << L{1, 2, 3, 4, 5};
        QTest::newRow("groups as deep as allowed") << nested(kMaxFilterDepth, "Name='Meier'") << L{3};
        // SQLite nests "a OR b OR c ..." as deep as it is long; a long run must still run.
        QTest::newRow("a long run of one keyword") << runOfIds(kMaxFilterConditions) << L{1, 2, 3, 4, 5};
        QTest::newRow("a long run of ANDs")
            << QStringList(kMaxFilterConditions - 1, "Name<>'x'").join(" AND ") + " AND Invalid='True'" << L{5};
        QTest::newRow("equalities of one field among others")
            << "Name='Meier' OR Invalid='True' OR Name='müller' OR Name='' OR Name='O''B*'" << L{1, 3, 4, 5};
        QTest::newRow("equalities of one field under AND")
            << "Selected='True' AND (Name='Meier' OR Name='o''brien' OR Name='MÜLLER')" << L{1, 4};
    }
    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QList<qint64>, ids);
        const Filter f = Filter::parse(text);
        QVERIFY2(f.isValid(), qPrintable(f.error()));
        QCOMPARE(select(f), ids);
        QCOMPARE(m_table.count(f), qint64(ids.size()));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("no value") << "Selected="
                                  << "Wert in Hochkommas erwartet nach \"Selected =\"";
        QTest::newRow("no operator") << "Selected 'True'"
                                     << "Vergleichsoperator (=, <>, <, >, <=, >=) erwartet";
        QTest::newRow("open quote") << "Name='abc"
                                    << "schließendes Hochkomma fehlt (Wert ab Stelle 6)";
        QTest::newRow("open parenthesis") << "(Name='a'"
                                          << "schließende Klammer zu Stelle 1 fehlt";
        QTest::newRow("dangling AND") << "Name='a' AND"
                                      << "Feldname erwartet am Ende des Ausdrucks";
        QTest::newRow("leading AND") << "AND Name='a'"
                                     << "Feldname erwartet an Stelle 1";
        QTest::newRow("two conditions without AND") << "Name='a' Mail='b'"
                                                    << "unerwartetes \"Mail\" an Stelle 10";
        QTest::newRow("doubled equals") << "Name=='a'"
                                        << "Wert in Hochkommas erwartet";
        QTest::newRow("unknown field") << "Nmae='a'"
                                       << "unbekanntes Feld \"Nmae\"";
        QTest::newRow("no boolean") << "Selected='ja'"
                                    << "'ja' ist kein gültiger Wahrheitswert.";
        QTest::newRow("no date") << "LetztesMail='31.02.2010'"
                                 << "'31.02.2010' ist kein gültiges Datum.";
        QTest::newRow("no number") << "ID>'x'"
                                   << "'x' ist kein gültiger Ganzzahlwert.";
        const QString tooDeep = "Ausdruck zu tief geschachtelt (mehr als 200 Ebenen) an Stelle ";
        QTest::newRow("groups nested too deep") << nested(kMaxFilterDepth + 1, "Name='a'") << tooDeep + "201";
        // Far beyond what the stack of a recursive parser would hold.
        QTest::newRow("groups nested far too deep") << nested(1000000, "Name='a'") << tooDeep + "201";
        QTest::newRow("AND and OR nested too deep") << alternating(120) << tooDeep;
    }
    void errors()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        const Filter f = Filter::parse(text);
        // Grammar errors show when parsing, field and value errors when the
        // filter meets the table; both reach the caller the same way.
        QCOMPARE(m_table.count(f), qint64(-1));
        // A message quotes the first 200 characters of a longer text.
        const QString quoted = text.size() <= 200 ? text : text.left(200) + QStringLiteral("…");
        QVERIFY2(m_table.lastError().startsWith(QStringLiteral("Fehler im Filterausdruck \"%1\": ").arg(quoted)),
                 qPrintable(m_table.lastError()));
        QVERIFY2(m_table.lastError().contains(message), qPrintable(m_table.lastError()));
        QVERIFY(m_table.ids(f).empty());
    }

    // A run of equalities on one field is one IN list, planned in time that grows
    // with its length; more conditions than the limit are refused at the first
    // one too many, however long the text (SQLite plans a run of ORs in time that
    // grows with its square: a run of 100,000 took minutes).
    void longFilters()
    {
        auto where = [this](const Filter &f) {
            const CompiledFilter c = CompileFilter(f, m_table.fields(), [](int) { return QStringLiteral("x"); });
            return c.ok() ? c.where : c.error;
        };
        const QString atLimit = runOfIds(kMaxFilterConditions);
        const QString list = QStringList(kMaxFilterConditions, QStringLiteral("?")).join(u',');
        QCOMPARE(where(Filter::parse(atLimit)), QStringLiteral("x IN (%1)").arg(list));
        QCOMPARE(where(Filter::parse("Name='Meier' OR Invalid='True' OR Name='müller' OR Name=''")),
                 QStringLiteral("((x IS NULL OR x IN (?,?)) OR x = ?)"));

        for (const int conditions : {kMaxFilterConditions + 1, 100000}) {
            const QString text = runOfIds(conditions);
            const int at = int(text.indexOf(QStringLiteral(" OR ID=%1").arg(kMaxFilterConditions + 1))) + 5;
            QCOMPARE(m_table.count(Filter::parse(text)), qint64(-1));
            const QString error = m_table.lastError();
            QVERIFY2(error.endsWith(QStringLiteral(": Ausdruck mit zu vielen Bedingungen (mehr als %1) an Stelle %2")
                                        .arg(kMaxFilterConditions)
                                        .arg(at)),
                     qPrintable(error));
            // The message quotes the start of the text, not a megabyte of it.
            QVERIFY2(error.startsWith(QStringLiteral("Fehler im Filterausdruck \"%1…\"").arg(text.left(200))),
                     qPrintable(error));
        }

        // Built in code: a run of equalities is one list whatever its length, and
        // other conditions are held to the limit.
        QList<Filter> each;
        for (int i = 1; i <= 100000; ++i)
            each.append(Filter::equals("ID", i));
        const Filter ids = anyOf(each, 0, each.size());
        QVERIFY(where(ids).startsWith(QStringLiteral("x IN (?,?,")));
        QCOMPARE(select(ids), (QList<qint64>{1, 2, 3, 4, 5}));
        Filter orders = Filter::compare("ID", CompareOp::Less, "1");
        for (int i = 2; i <= kMaxFilterConditions + 1; ++i)
            orders = orders || Filter::compare("ID", CompareOp::Less, QString::number(i));
        QCOMPARE(where(orders), QStringLiteral("Fehler im Filter: Ausdruck mit zu vielen Bedingungen (mehr als %1)")
                                    .arg(kMaxFilterConditions));
        QCOMPARE(m_table.count(orders), qint64(-1));
        QCOMPARE(m_table.lastError(), QStringLiteral("Fehler im Filter: Ausdruck mit zu vielen Bedingungen (mehr als "
                                                     "%1)")
                                          .arg(kMaxFilterConditions));
    }

    void builtFromValues()
    {
        using L = QList<qint64>;
        // Values never become expression text: quotes and keywords in them are data.
        QCOMPARE(select(Filter::equals("Mail", "o'brien@x.de")), L{3});
        QCOMPARE(select(Filter::equals("Name", "x' OR Name<>'")), L{});
        QCOMPARE(select(Filter::equals("Selected", QVariant())), L{3});
        QCOMPARE(select(Filter::compare("Name", CompareOp::Equal, "mü", true) && Filter::equals("Selected", true)),
                 L{1});
        QCOMPARE(select(Filter::equals("Name", "Meier") || Filter::equals("Invalid", true)), (L{3, 5}));
        // An empty filter on either side of a join leaves the other.
        QCOMPARE(select(Filter() && Filter::equals("Invalid", true)), L{5});
        const Filter bad = Filter::parse("Name=") || Filter::equals("Invalid", true);
        QVERIFY(!bad.isValid());
        QCOMPARE(m_table.count(Filter::equals("Nmae", "x")), qint64(-1));
        QVERIFY(m_table.lastError().startsWith("Fehler im Filter: unbekanntes Feld"));
    }

    void builtFiltersHaveTheSameLimit()
    {
        Filter deep = Filter::equals("Name", "a");
        for (int i = 0; i < kMaxFilterDepth; ++i)
            deep = (deep || Filter::equals("Name", "b")) && Filter::equals("Invalid", true);
        QCOMPARE(m_table.count(deep), qint64(-1));
        QCOMPARE(m_table.lastError(), QStringLiteral("Fehler im Filter: Ausdruck zu tief geschachtelt (mehr als 200 "
                                                     "Ebenen)"));
        // A long run built in code stays one level.
        Filter run = Filter::equals("Name", "Meier");
        for (int i = 0; i < 2000; ++i)
            run = run || Filter::equals("Mail", QStringLiteral("x%1@x.de").arg(i));
        QCOMPARE(select(run), QList<qint64>{3});
    }

    // A filter that parses but that SQLite refuses to run is reported, and the table shows what it showed.
    void filterTheDatabaseCannotRunChangesNothing()
    {
        // Within the limits of the grammar, but nested deeper than SQLite's parser takes.
        const QString deep = alternating(60);
        QVERIFY(Filter::parse(deep).isValid());
        QCOMPARE(m_table.count(Filter::parse(deep)), qint64(-1));

        QVERIFY(m_table.setFilterText("Selected='True'") && m_table.setFiltered(true));
        QVERIFY(m_table.last());
        QVERIFY(!m_table.setFilterText(deep));
        QVERIFY2(m_table.lastError().startsWith("Der Filter kann nicht angewendet werden. "),
                 qPrintable(m_table.lastError()));
        QCOMPARE(m_table.filterText(), QStringLiteral("Selected='True'"));
        QVERIFY(m_table.isFiltered());
        QCOMPARE(m_table.recordCount(), qint64(2));
        QCOMPARE(m_table.currentId(), qint64(4));
        QCOMPARE(m_table.valueAt(0, m_table.fieldIndex("Name")).toString(), QStringLiteral("Müller"));
        QVERIFY(!m_table.setFilter(Filter::parse(deep)));
        QCOMPARE(m_table.recordCount(), qint64(2));
        QVERIFY(!m_table.isFiltered() || m_table.filterText() == QLatin1String("Selected='True'"));

        // Switching on a text that cannot run leaves the filter off and every record shown.
        QVERIFY(m_table.setFiltered(false));
        QVERIFY(m_table.setFilterText(deep));
        QVERIFY(!m_table.setFiltered(true));
        QVERIFY(!m_table.isFiltered());
        QCOMPARE(m_table.recordCount(), qint64(5));
        QVERIFY(m_table.setFilterText(QString()));
    }

    // The collation of the file must order exactly as FoldCase does in C++, or
    // index ranges and C++ comparisons would disagree.
    void collationAgreesWithFoldCase()
    {
        const QStringList words{"",       "a",      "A",      "ab",      "aB", "b", "ä",      "Ä",
                                "äb",     "Äc",     "ß",      "ss",      "SS", "z", "Zürich", "zurich",
                                "müller", "MÜLLER", "muell",  "Mueller", "é",  "É", "€uro",   "x\U0001F600",
                                "ärger",  "Ärger",  "Ørsted", "ørsted",  "I",  "ı", "İ",      "ǅ"};
        for (const QString &a : words)
            for (const QString &b : words) {
                const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
                const int got = CompareFoldedUtf8(ua.constData(), int(ua.size()), ub.constData(), int(ub.size()));
                const int want = FoldCase(a).compare(FoldCase(b));
                QVERIFY2((got < 0) == (want < 0) && (got == 0) == (want == 0),
                         qPrintable(QStringLiteral("%1 vs %2: %3, expected %4").arg(a, b).arg(got).arg(want)));
            }
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
