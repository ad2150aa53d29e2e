// New, deleted and cleared databases: the checks of a new database's name and
// columns, the files it gets and its catalogue line, all or nothing; the files
// and the one catalogue line a deletion removes.
#include "databasefiles.h"
#include "definitionfiles.h"
#include "paths.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QDir>
#include <QTest>

using namespace vt;

namespace {

QStringList numbered(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines.append(QStringLiteral("Feld %1").arg(i));
    return lines;
}

QStringList dataFiles(const TestFolder &dir)
{
    return QDir(dir.file("Data")).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestDatabaseFiles : public QObject
{
    Q_OBJECT

private slots:
    void checksOfANewDatabase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("message");
        const QString twice =
            QStringLiteral("Sie haben den Feldnamen %1 doppelt vergeben! Bitte korrigieren Sie dieses.");
        QTest::newRow("accepted") << "Kunden 2010" << QStringList{"Vorname", "Straße"} << "";
        QTest::newRow("no name") << "   " << QStringList{} << "Bitte geben Sie einen Namen für die neue Datenbank ein!";
        QTest::newRow("26 characters") << QString(26, 'a') << QStringList{} << "";
        QTest::newRow("27 characters") << " " + QString(27, 'a') + " " << QStringList{}
                                       << "Achtung! Es ist nur Datenbanknamen mit maximal 26 Zeichen zulässig!";
        QTest::newRow("170 columns") << "Kunden" << numbered(170) << "";
        QTest::newRow("171 columns")
            << "Kunden" << numbered(171)
            << "Sie können maximal 170 zusätzliche Datenbankfelder benutzen, Sie haben aber 171 "
               "eingegeben!";
        QTest::newRow("a fixed field") << "Kunden" << QStringList{"Ort", " Name "} << twice.arg("Name");
        QTest::newRow("case does not count") << "Kunden" << QStringList{"PLZ", "plz"} << twice.arg("plz");
        QTest::newRow("a second blank line") << "Kunden" << QStringList{"Ort", "", "  "} << twice.arg("");
        QTest::newRow("a bar in the name")
            << "Kunden|Alt" << QStringList{} << "Der Datenbankname darf das Zeichen \"|\" nicht enthalten!";
        QTest::newRow("a character without a place")
            << "Kunden Łódź" << QStringList{}
            << "Der Datenbankname enthält das Zeichen \"Ł\", das nicht gespeichert werden kann!";
        QTest::newRow("in a column") << "Kunden" << QStringList{"Ort", "Łódź"}
                                     << "Der Feldname \"Łódź\" enthält das Zeichen \"Ł\", das nicht gespeichert werden "
                                        "kann!";
    }
    void checksOfANewDatabase()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, columns);
        QFETCH(QString, message);
        QCOMPARE(CheckNewDatabaseInput(name, columns), message);
    }

    void userColumnLines()
    {
        const QStringList templ = ReadLines(TestFolder::resourcesDir() + "Data/database.pro");
        const QStringList lines = NewFieldDefinitionLines(templ, {"Feedback etc.", "a/b: c", "...", "  PLZ|Ort "});
        QCOMPARE(lines.mid(0, 9), templ.mid(0, 9));
        QCOMPARE(lines.mid(9),
                 (QStringList{
                     "Spalte1| ftString   | False      |80     | Spalte1 | Spalte1    |                     "
                     "| TRUE        | Feedback etc",
                     UserColumnDefinitionLine(2, "ab c"),
                     UserColumnDefinitionLine(4, "PLZOrt"),
                 }));
        QCOMPARE(ParseFieldDefinitionLine(lines.at(10)).displayName, QStringLiteral("ab c"));
    }

    void createsEveryFileAndTheCatalogueLine()
    {
        TestFolder dir(true);
        QString error;
        QVERIFY2(CreateDatabase(dir.path(), dir.file("Data/"), {"Kunden 2010", "kunden_2010", {"Vorname", "", "Ort"}},
                                &error),
                 qPrintable(error));
        for (const char *ext : {".ini", ".pro", ".cb", ".fil", ".DB", ".log"})
            QVERIFY2(IsFile(dir.file(QStringLiteral("Data/kunden_2010") + ext)), ext);
        QCOMPARE(ReadLines(dir.file("Data/kunden_2010.ini")),
                 (QStringList{"TABLE        TABELNAME", "Table1      |kunden_2010"}));
        QCOMPARE(dir.read("Data/kunden_2010.cb"), dir.read("Data/database.cb"));
        QCOMPARE(ReadLines(dir.file("Buttons.ini")).last(), QStringLiteral("Kunden 2010| cddrive.bmp|kunden_2010.ini"));
        AddressTable t;
        QVERIFY(t.open(dir.file("Data/kunden_2010.DB")));
        QCOMPARE(t.fieldNames().mid(7), (QStringList{"Name", "Spalte1", "Spalte3"}));
        QVERIFY(dir.read("Data/kunden_2010.log").startsWith("FieldDefs.Add(ID,ftAutoInc,0,FALSE);\r\n"));
    }

    void aFailedCreationLeavesNothing_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::newRow("no catalogue") << "Buttons.ini";
        QTest::newRow("no template") << "Data/database.pro";
        QTest::newRow("a table file in the way") << "Data/Kunden.db";
    }
    void aFailedCreationLeavesNothing()
    {
        QFETCH(QString, spoil);
        TestFolder dir(true);
        // In the way as a folder: nothing can read or replace it.
        QFile::remove(dir.file(spoil));
        QVERIFY(QDir().mkpath(dir.file(spoil)));
        const QStringList before = dataFiles(dir);
        const QByteArray catalog = IsFile(dir.file("Buttons.ini")) ? dir.read("Buttons.ini") : QByteArray();
        QString error;
        QVERIFY(!CreateDatabase(dir.path(), dir.file("Data/"), {"Kunden", "kunden", {"Ort"}}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(dataFiles(dir), before);
        if (!catalog.isEmpty())
            QCOMPARE(dir.read("Buttons.ini"), catalog);
    }

    void namesTaken()
    {
        TestFolder dir(true);
        dir.write("Data/Kunden.ini", "x");
        const QString app = dir.path(), data = dir.file("Data/");
        QVERIFY(DatabaseNameTaken(app, data, "kunden"));
        // The templates keep the name "database" for themselves.
        QVERIFY(DatabaseNameTaken(app, data, "database"));
        // So does a settings file of the program folder that the database's own settings would replace.
        QVERIFY(DatabaseNameTaken(app, data, "buttons"));
        QVERIFY(!DatabaseNameTaken(app, data, "kunden2"));
        QCOMPARE(DatabaseNameTakenText("kunden"),
                 QStringLiteral("Eine Datenbank mit dem Namen \"kunden\" existiert bereits. Bitte wählen Sie einen "
                                "anderen Namen!"));
    }

    void deletesExactlyItsFilesAndLine()
    {
        TestFolder dir(true);
        QString error;
        for (const auto &[caption, base] : {std::pair{"Kunden", "kunden"}, std::pair{"Altkunden", "altkunden"}})
            QVERIFY2(CreateDatabase(dir.path(), dir.file("Data/"), {caption, base, {"Ort"}}, &error),
                     qPrintable(error));
        dir.write("Data/kunden.DB-journal", "x");
        dir.write("Data/Kunden.grd", "x");
        dir.write("Data/Absender-kunden.ini", "a@b.de <A>");
        dir.write("Data/kundenalt.ini", "x");
        QVERIFY(DeleteDatabase(dir.path(), dir.file("Data/"), "kunden.ini", &error));
        const QStringList left = dataFiles(dir);
        for (const QString &f : left)
            QVERIFY2(!f.startsWith("kunden.", Qt::CaseInsensitive) && f != "Absender-kunden.ini", qPrintable(f));
        QVERIFY(left.contains("altkunden.DB") && left.contains("kundenalt.ini") && left.contains("Database.pro"));
        QCOMPARE(ReadLines(dir.file("Buttons.ini")),
                 (QStringList{"DATENBANKNAME | BILD | DEFINITIONSDATEI", "Hauptdatenbank| cddrive.bmp|Database.ini",
                              "Altkunden| cddrive.bmp|altkunden.ini"}));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseFiles)
#include "tst_databasefiles.moc"
