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
        QCOMPARE(steps.last(), 3);
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

    void valuesOfAnotherTypeGoThroughTheirText()
    {
        Databases d({});
        // A table of another layout: a number and a date among its user columns.
        const QString other = d.dir.file("Data/anders.DB");
        QVERIFY(makeTable(other, definitionWith({"Alter| ftInteger | False |0| | | | FALSE | Alter",
                                                 "Seit| ftDate | False |0| | | | FALSE | Seit"})));
        {
            AddressTable s;
            QVERIFY(s.open(other));
            QVERIFY(fill(s, {{{"Mail", "x@example.de"}, {"Alter", 42}, {"Seit", QDate(2010, 12, 24)}},
                             {{"Mail", "y@example.de"}, {"Selected", true}}}));
        }
        QString error;
        qint64 copied = 0;
        QVERIFY2(
            TransferRecords(d.target, other, false, {{"Vorname", "Alter"}, {"Firma", "Seit"}}, {}, &copied, &error),
            qPrintable(error));
        QCOMPARE(copied, 2);
        QCOMPARE(column(d.target, "Vorname"), (QStringList{"", "42", ""}));
        QCOMPARE(column(d.target, "Firma"), (QStringList{"", "24.12.2010", ""}));
        QCOMPARE(column(d.target, "Selected"), (QStringList{"", "", "True"}));
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

    // A target with a column that must have a value, its e-mail addresses unique or not.
    void aRecordTheTargetRefusesAppendsNothing_data()
    {
        QTest::addColumn<bool>("uniqueMail");
        QTest::addColumn<ColumnMapping>("mapping");
        QTest::addColumn<QString>("message");
        const QString leftOut =
            "Der Datensatz mit der ID 1 kann nicht übernommen werden: Feld \"Pflicht\" muss einen Wert haben.";
        QTest::newRow("required column left out") << false << ColumnMapping{{"Firma", "Spalte1"}} << leftOut;
        QTest::newRow("required column left out, unique addresses")
            << true << ColumnMapping{{"Firma", "Spalte1"}} << leftOut;
        QTest::newRow("required column blank in one record")
            << false << ColumnMapping{{"Pflicht", "Spalte1"}}
            << "Der Datensatz mit der ID 3 kann nicht übernommen werden: Feld \"Pflicht\" muss einen Wert haben.";
        QTest::newRow("address there already")
            << true << ColumnMapping{{"Pflicht", "Spalte2"}}
            << "Der Datensatz mit der ID 2 kann nicht übernommen werden: Schlüsselverletzung: \"schon@example.de\" "
               "ist im Index \"Mail\" bereits vorhanden.";
    }
    void aRecordTheTargetRefusesAppendsNothing()
    {
        QFETCH(bool, uniqueMail);
        QFETCH(ColumnMapping, mapping);
        QFETCH(QString, message);
        QList<FieldValues> records = kSource;
        records[1] = {{"Mail", "schon@example.de"}, {"Spalte1", "Berg AG"}, {"Spalte2", "030 5"}};
        Databases d(records);
        const QString file = d.dir.file("Data/eindeutig.DB");
        QStringList pro = definitionWith({"Pflicht| ftString | True |20| | | | FALSE | Pflicht",
                                          "Firma| ftString | False |40| | | | FALSE | Firma"});
        if (uniqueMail) {
            pro[1] = "ID| ftAutoInc | False |0| | | | FALSE | ID";
            pro[5] = "Mail| ftString | False |100| Mail | Mail | Primaer | TRUE | E-Mail";
        }
        QVERIFY(makeTable(file, pro));
        AddressTable target;
        QVERIFY(target.open(file));
        QVERIFY(fill(target, {{{"Mail", "schon@example.de"}, {"Pflicht", "x"}}}));
        QString error;
        qint64 copied = 0;
        QVERIFY(!TransferRecords(target, d.source, false, mapping, {}, &copied, &error));
        QCOMPARE(copied, 0);
        QCOMPARE(error, message + "\r\rEs wurden keine Datensätze übernommen.");
        QCOMPARE(readOnce(file, "SELECT count(*) FROM address").toLongLong(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordTransfer)
#include "tst_recordtransfer.moc"
