// Reading the definition files: field definition lines with their creation
// log, combo value lists, filter presets, the catalogue, database definition
// files and grid layout files.
#include "definitionfiles.h"
#include "testfolder.h"

#include <QTest>

using namespace vt;

class TestDefinitionFiles : public QObject
{
    Q_OBJECT

private slots:
    void fieldDefinitionLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<bool>("required");
        QTest::addColumn<bool>("primary");
        QTest::addColumn<bool>("sortable");
        QTest::newRow("user column as written")
            << UserColumnDefinitionLine(3, "Alter")
            << QStringList{"Spalte3", "ftString", "False", "80", "Spalte3", "Spalte3", "", "TRUE", "Alter"} << false
            << false << true;
        // An empty column written as nothing is no column: the later ones move up.
        QTest::newRow("empty primary mark written as ||")
            << "Spalte4| ftString   | False      |80     | Spalte4 | Spalte4    || TRUE        | Alter"
            << QStringList{"Spalte4", "ftString", "False", "80", "Spalte4", "Spalte4", "TRUE", "Alter", ""} << false
            << true << false;
        QTest::newRow("marks in any case")
            << "ID|ftAutoInc|true|0|ID|ID|x|true|Nr"
            << QStringList{"ID", "ftAutoInc", "true", "0", "ID", "ID", "x", "true", "Nr"} << true << true << true;
        QTest::newRow("short line") << "Name | ftString" << QStringList{"Name", "ftString", "", "", "", "", "", "", ""}
                                    << false << false << false;
    }
    void fieldDefinitionLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, columns);
        QFETCH(bool, required);
        QFETCH(bool, primary);
        QFETCH(bool, sortable);
        const FieldDefinitionLine d = ParseFieldDefinitionLine(line);
        QCOMPARE((QStringList{d.name, d.typeWord, d.requiredMark, d.sizeText, d.indexName, d.indexFields, d.primaryMark,
                              d.sortableMark, d.displayName}),
                 columns);
        QCOMPARE(d.required(), required);
        QCOMPARE(d.primary(), primary);
        QCOMPARE(d.sortable(), sortable);
    }

    void userColumnLineIsExact()
    {
        QCOMPARE(UserColumnDefinitionLine(3, "Alter"),
                 QStringLiteral("Spalte3| ftString   | False      |80     | Spalte3 | Spalte3    |                     "
                                "| TRUE        | Alter"));
    }

    void typeMapAndLog()
    {
        const QStringList pro{
            "FELD|TYP|PFLICHT|GROESSE|INDEX|INDEXFELDER|PRIMAER|SORTIERBAR|ANZEIGENAME",
            "ID| ftAutoInc | False |0| ID | ID | Primaer | FALSE | ID",
            "Bild| ftPicture | False |500| | | | FALSE | Bild",
            "Falsch| FtString | False |20| | | | FALSE | Falsch",
            "P1| ftString | true |10| | | | FALSE | P1",
            "P2| ftString | TRUE |10| | | | FALSE | P2",
            "P3| ftString | ja |10| | | | FALSE | P3",
            "P4| ftString |   |10| | | | FALSE | P4",
            "Zahl| ftInteger | False |-1| | | | FALSE | Zahl",
            "Flag| ftBoolean | False |0| | | | FALSE | Flag",
            "Wann| ftDate | False |0| | | | FALSE | Wann",
            "Um| ftTime | False |0| | | | FALSE | Um",
            "Wert| ftFloat | False |0| | | | FALSE | Wert",
            "Geld| ftCurrency | False |0| | | | FALSE | Geld",
            "Text| ftMemo | False |40| | | | FALSE | Text",
            UserColumnDefinitionLine(3, "Alter"),
            "Paar| ftString | False |30| Paar | Spalte3;Zahl | | FALSE | Paar",
        };
        const TableDefinition t = TableDefinitionFromLines(pro);
        QVERIFY2(t.ok(), qPrintable(t.error));
        QStringList fields;
        for (const FieldDef &f : t.fields)
            fields.append(QStringLiteral("%1 %2 %3 %4").arg(f.name, FieldTypeName(f.type)).arg(f.size).arg(f.required));
        QCOMPARE(fields, (QStringList{"ID AutoInc 0 0", "Bild String 2 0", "P1 String 10 1", "P2 String 10 1",
                                      "P3 String 10 0", "P4 String 10 0", "Zahl Integer 0 0", "Flag Boolean 0 0",
                                      "Wann Date 0 0", "Um Time 0 0", "Wert Float 0 0", "Geld Currency 0 0",
                                      "Text Memo 0 0", "Spalte3 String 80 0", "Paar String 30 0"}));
        QCOMPARE(t.indexes.size(), 3);
        QCOMPARE(t.indexes.at(0).primary, true);
        QCOMPARE(t.indexes.at(2).fields, (QStringList{"Spalte3", "Zahl"}));
        QCOMPARE(t.log, (QStringList{
                            "FieldDefs.Add(ID,ftAutoInc,0,FALSE);",
                            "FieldDefs.Add(Bild,ftPicture,500,FALSE);",
                            "FieldDefs.Add(Falsch,FtString,20,FALSE);",
                            "FieldDefs.Add(P1,ftString,10,TRUE);",
                            "FieldDefs.Add(P2,ftString,10,TRUE);",
                            "FieldDefs.Add(P3,ftString,10,JA);",
                            "FieldDefs.Add(P4,ftString,10,);",
                            "FieldDefs.Add(Zahl,ftInteger,65535,FALSE);",
                            "FieldDefs.Add(Flag,ftBoolean,0,FALSE);",
                            "FieldDefs.Add(Wann,ftDate,0,FALSE);",
                            "FieldDefs.Add(Um,ftTime,0,FALSE);",
                            "FieldDefs.Add(Wert,ftFloat,0,FALSE);",
                            "FieldDefs.Add(Geld,ftCurrency,0,FALSE);",
                            "FieldDefs.Add(Text,ftMemo,40,FALSE);",
                            "FieldDefs.Add(Spalte3,ftString,80,FALSE);",
                            "FieldDefs.Add(Paar,ftString,30,FALSE);",
                            "IndexDefs.Add(ID,ID,[ixPrimary,ixUnique]);",
                            "IndexDefs.Add(Spalte3,Spalte3,[]);",
                            "IndexDefs.Add(Paar,Spalte3;Zahl,[]);",
                        }));
    }

    void sizeThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("error");
        QTest::newRow("letters") << "X| ftString | False |abc| | | | FALSE | X"
                                 << "FieldDefs.Add(X,ftString,abc,FALSE);"
                                 << "Zeile 1: die Größe \"abc\" des Felds \"X\" ist keine Zahl.";
        // A missing size column lets the next column take its place.
        QTest::newRow("missing") << "X| ftString | False || X | X | | FALSE | X"
                                 << "FieldDefs.Add(X,ftString,X,FALSE);"
                                 << "Zeile 1: die Größe \"X\" des Felds \"X\" ist keine Zahl.";
    }
    void sizeThatIsNoNumber()
    {
        QFETCH(QString, line);
        QFETCH(QString, log);
        QFETCH(QString, error);
        const TableDefinition t = TableDefinitionFromLines({"header", line});
        QVERIFY(!t.ok());
        QCOMPARE(t.error, error);
        QCOMPARE(t.log.first(), log);
    }

    void comboItems_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("items");
        const QString header = "FELD|WERTE";
        QTest::newRow("empty entries vanish") << QStringList{header, "Anrede|Herr;Frau;;Firma"} << "Anrede" << true
                                              << QStringList{"Herr", "Frau", "Firma"};
        QTest::newRow("values of pairs") << QStringList{header, "Land|D=Deutschland;A=Österreich"} << "Land" << true
                                         << QStringList{"D", "A"};
        QTest::newRow("pairs and plain values, trimmed")
            << QStringList{header, "Land | D=Deutschland; Schweiz ;A = Österreich "} << "Land" << true
            << QStringList{"D", "Schweiz", "A"};
        QTest::newRow("the last line counts") << QStringList{header, "Anrede|Herr", "Name|x", "Anrede|Frau;Herr"}
                                              << "Anrede" << true << QStringList{"Frau", "Herr"};
        QTest::newRow("names with case") << QStringList{header, "anrede|Herr"} << "Anrede" << false << QStringList{};
        QTest::newRow("header is no line") << QStringList{"Anrede|Herr"} << "Anrede" << false << QStringList{};
    }
    void comboItems()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, field);
        QFETCH(bool, found);
        QFETCH(QStringList, items);
        const auto got = ComboItems(lines, field);
        QCOMPARE(got.has_value(), found);
        if (found)
            QCOMPARE(*got, items);
    }

    void filterPresets()
    {
        QVERIFY(FilterPresetsFromLines({"NAME|FILTER"}).isEmpty());
        const QList<FilterPreset> p = FilterPresetsFromLines(
            {"NAME|FILTER", " Markierte | Selected='True' ", "Alle |  ", "Noch nie|LetztesMail=''"});
        QCOMPARE(p.size(), 3);
        QCOMPARE(p.at(0).name, QStringLiteral("Markierte"));
        QCOMPARE(p.at(0).expression, QStringLiteral("Selected='True'"));
        QCOMPARE(p.at(1).expression, QString());
        QCOMPARE(p.at(2).expression, QStringLiteral("LetztesMail=''"));
    }

    void catalogue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("line");
        QTest::newRow("exact name") << "a.ini" << 2;
        QTest::newRow("not inside another name") << "unda.ini" << -1;
        QTest::newRow("without regard to case") << "DATABASE.INI" << 1;
        QTest::newRow("header is no database") << "DEFINITIONSDATEI" << -1;
        QTest::newRow("the last of two lines") << "doppelt.ini" << 5;
        QTest::newRow("empty name") << "" << -1;
    }
    void catalogue()
    {
        QFETCH(QString, name);
        QFETCH(int, line);
        const QStringList catalog{"NAME | BILD | DEFINITIONSDATEI", "Hauptdatenbank| cddrive.bmp|Database.ini",
                                  "Kurz| cddrive.bmp|a.ini",        "Kunden A| cddrive.bmp| kunda.ini ",
                                  "Erste| cddrive.bmp|doppelt.ini", "Zweite| cddrive.bmp|doppelt.ini"};
        QCOMPARE(FindCatalogLine(catalog, name), line);
    }

    void catalogueAndDefinitionLines()
    {
        QCOMPARE(CatalogLine("Kunden 2010", "kunden_2010.ini"),
                 QStringLiteral("Kunden 2010| cddrive.bmp|kunden_2010.ini"));
        const CatalogEntry e = CatalogEntryOf(CatalogLine("Kunden 2010", "kunden_2010.ini"));
        QCOMPARE(e.displayName, QStringLiteral("Kunden 2010"));
        QCOMPARE(e.picture, QStringLiteral("cddrive.bmp"));
        QCOMPARE(e.definitionFile, QStringLiteral("kunden_2010.ini"));
        QCOMPARE(NewDatabaseDefinition("kunden"), (QStringList{"TABLE        TABELNAME", "Table1      |kunden"}));
        QCOMPARE(DefinitionTableNames({"TABLE        TABELNAME", "Table1      |Database", "Zwei | zwei "}),
                 (QStringList{"Database", "zwei"}));
        QCOMPARE(NameBeforeFirstDot("kunden.2010.ini"), QStringLiteral("kunden"));
        QCOMPARE(NameBeforeFirstDot("ohne"), QStringLiteral("ohne"));
    }

    void gridLayoutRoundTrip()
    {
        TestFolder dir;
        const QList<GridColumn> cols{{"Mail", "E-Mail", 180, true},
                                     {"Name", "  Name = \"Nachname\"  ", -1, true},
                                     {"ID", "", 40, false},
                                     {"Spalte1", "Größe", 77, true}};
        QVERIFY(WriteGridLayoutFile(dir.file("Database.grd"), cols));
        const auto back = ReadGridLayoutFile(dir.file("Database.grd"));
        QVERIFY(back.has_value());
        QCOMPARE(*back, cols);
    }

    void gridLayoutNotOurs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("framework's binary stream") << QByteArray("TPF0\x0eTDBGridColumns\x00\x01\x06\x04Mail", 30);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("no columns") << QByteArray("[VantrelGridLayout]\r\nVersion=1\r\nColumns=0\r\n");
        QTest::newRow("other version") << QByteArray("[VantrelGridLayout]\r\nVersion=2\r\nColumns=1\r\n"
                                                     "[Column1]\r\nField=Mail\r\n");
    }
    void gridLayoutNotOurs()
    {
        QFETCH(QByteArray, bytes);
        TestFolder dir;
        dir.write("x.grd", bytes);
        QVERIFY(!ReadGridLayoutFile(dir.file("x.grd")).has_value());
        QVERIFY(!ReadGridLayoutFile(dir.file("missing.grd")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestDefinitionFiles)
#include "tst_definitionfiles.moc"
