// Copying the records of one database into another: the fixed fields, the user
// columns as mapped (one source column into two, a column left out), only the
// marked records, values kept whole, and a transfer that fails leaving the
// target as it was.
#include "databasefiles.h"
#include "recordtransfer.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QDate>
#include <QTest>

using namespace vt;

namespace {

// The base database (target, with the shipped user columns) and "Quelle" with three columns of its own.
struct Databases
{
    TestFolder dir{true};
    AddressTable target;
    QString source;
    Databases(const QList<FieldValues> &sourceRecords)
    {
        const QString data = dir.file("Data/");
        QString error;
        QVERIFY2(CreateTableFile(data, "Database", &error), qPrintable(error));
        QVERIFY2(CreateDatabase(dir.path(), data, {"Quelle", "quelle", {"Firma", "Telefon", "Notiz"}}, &error),
                 qPrintable(error));
        AddressTable s;
        QVERIFY(s.open(data + "quelle.DB"));
        QVERIFY(fill(s, sourceRecords));
        source = s.fileName();
        QVERIFY(target.open(data + "Database.DB"));
        QVERIFY(fill(target, {{{"Mail", "schon@example.de"}}}));
    }
};

const QList<FieldValues> kSource = {
    {{"Mail", "a@example.de"},
     {"Name", "Adler"},
     {"Selected", true},
     {"Invalid", false},
     {"LetztesMail", QDate(2010, 12, 24)},
     {"Spalte1", "Adler GmbH"},
     {"Spalte2", "030 123"},
     {"Spalte3", "geheim"}},
    {{"Mail", "b@example.de"}, {"Name", "Berg"}, {"Selected", false}, {"Spalte1", "Berg AG"}},
    {{"Mail", "c@example.de"}, {"Name", "Cordes"}, {"Selected", true}, {"Spalte2", "040 9"}}};

} // namespace

class TestRecordTransfer : public QObject
{
    Q_OBJECT

private slots:
    void theColumnsOfADatabase()
    {
        Databases d(kSource);
        DatabaseTable t;
        QString error;
        QVERIFY(ReadDatabaseTable(d.dir.file("Data/"), "QUELLE.INI", &t, &error));
        QCOMPARE(t.tableName, QStringLiteral("quelle"));
        QCOMPARE(t.tableFile, d.source);
        const QList<UserColumn> columns = UserColumns(t.fieldDefinitions);
        QCOMPARE(columns.size(), 3);
        QCOMPARE(columns.at(1).field, QStringLiteral("Spalte2"));
        QCOMPARE(columns.at(1).caption, QStringLiteral("Telefon"));
        QVERIFY(!ReadDatabaseTable(d.dir.file("Data/"), "fehlt.ini", &t, &error));
        QCOMPARE(error, QStringLiteral("Die Datenbank-Definitionsdatei \"fehlt.ini\" kann nicht gelesen werden!"));
    }

    void allRecordsWithTheirMapping()
    {
        Databases d(kSource);
        QString error;
        qint64 copied = 0;
        QList<qint64> steps;
        QCOMPARE(CountTransferRecords(d.source, false, &error), 3);
        // Firma and Ansprechpartner both from Firma, Tel from Telefon; Notiz goes nowhere.
        const ColumnMapping mapping{{"Firma", "Spalte1"}, {"Ansprechpartner", "Spalte1"}, {"Tel", "Spalte2"}};
        QVERIFY2(TransferRecords(
                     d.target, d.source, false, mapping, [&](qint64 i, qint64) { steps.append(i); }, &copied, &error),
                 qPrintable(error));
        QCOMPARE(copied, 3);
        QCOMPARE(steps, (QList<qint64>{1, 2, 3}));
        AddressTable &t = d.target;
        QCOMPARE(column(t, "ID"), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(column(t, "Mail"), (QStringList{"schon@example.de", "a@example.de", "b@example.de", "c@example.de"}));
        QCOMPARE(column(t, "Name"), (QStringList{"", "Adler", "Berg", "Cordes"}));
        QCOMPARE(column(t, "Firma"), (QStringList{"", "Adler GmbH", "Berg AG", ""}));
        QCOMPARE(column(t, "Ansprechpartner"), column(t, "Firma"));
        QCOMPARE(column(t, "Tel"), (QStringList{"", "030 123", "", "040 9"}));
        QCOMPARE(column(t, "LetztesMail"), (QStringList{"", "24.12.2010", "", ""}));
        QCOMPARE(column(t, "Selected"), (QStringList{"", "True", "False", "True"}));
        // A blank stays blank.
        QCOMPARE(column(t, "Invalid"), (QStringList{"", "False", "", ""}));
        for (const char *f : {"Vorname", "Str", "Kategorie"})
            QCOMPARE(column(t, f), QStringList(4, QString()));
        QVERIFY(!column(t, "Betreff").contains("geheim"));
    }

    void onlyTheMarkedRecords()
    {
        Databases d(kSource);
        QString error;
        qint64 copied = 0;
        QCOMPARE(CountTransferRecords(d.source, true, &error), 2);
        QVERIFY(TransferRecords(d.target, d.source, true, {}, {}, &copied, &error));
        QCOMPARE(copied, 2);
        QCOMPARE(column(d.target, "Mail"), (QStringList{"schon@example.de", "a@example.de", "c@example.de"}));
        QCOMPARE(column(d.target, "Selected"), (QStringList{"", "True", "True"}));
    }

    void anEmptySourceCopiesNothing()
    {
        Databases d({});
        QString error;
        qint64 copied = -1;
        QCOMPARE(CountTransferRecords(d.source, false, &error), 0);
        QVERIFY(TransferRecords(d.target, d.source, false, {{"Firma", "Spalte1"}}, {}, &copied, &error));
        QCOMPARE(copied, 0);
        QCOMPARE(d.target.recordCount(), 1);
    }

    void aTransferThatFailsAppendsNothing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("a value too long") << ""
                                          << "Der Datensatz mit der ID 3 kann nicht übernommen werden: der Wert des "
                                             "Felds \"Spalte2\" ist länger als die 10 Zeichen des Felds \"PLZ\".\r\rEs "
                                             "wurden keine Datensätze übernommen.";
        QTest::newRow("no source table") << "fehlt.DB"
                                         << "Die Tabelle der Quell-Datenbank \"%1\" wurde nicht gefunden!";
    }
    void aTransferThatFailsAppendsNothing()
    {
        QFETCH(QString, source);
        QFETCH(QString, message);
        QList<FieldValues> records = kSource;
        records[2].append(qMakePair(QStringLiteral("Spalte2"), QVariant("0049 40 123 456")));
        Databases d(records);
        const QString from = source.isEmpty() ? d.source : d.dir.file("Data/" + source);
        QString error;
        qint64 copied = 0;
        QVERIFY(!TransferRecords(d.target, from, false, {{"PLZ", "Spalte2"}}, {}, &copied, &error));
        QCOMPARE(copied, 0);
        QCOMPARE(error, message.contains("%1") ? message.arg(from) : message);
        QCOMPARE(d.target.recordCount(), 1);
        QCOMPARE(readOnce(d.target.fileName(), "SELECT count(*) FROM address").toLongLong(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordTransfer)
#include "tst_recordtransfer.moc"
