// Opening databases: the catalogue, definition files, creating missing tables
// with their log, the grid layout per database, the labels the main window
// shows, and what a failed opening leaves behind.
#include "mainstate.h"
#include "messagerecorder.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace vt;

namespace {

QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

} // namespace

class TestMainState : public QObject
{
    Q_OBJECT

    // A program folder with the shipped files, and the state over it.
    struct Fixture
    {
        TestFolder dir{true};
        TMainState state;
        Fixture()
        {
            state.setAppFolder(dir.path());
            state.loadDatabaseCatalog();
        }
        // A second database "zwei" with the shipped templates' definitions.
        void addDatabase(const QString &base, const QString &caption, const QStringList &tables = {})
        {
            for (const char *ext : {".pro", ".cb", ".fil"})
                QFile::copy(dir.file(QStringLiteral("Data/database") + QLatin1String(ext)),
                            dir.file("Data/" + base + QLatin1String(ext)));
            QStringList def = NewDatabaseDefinition(base);
            for (const QString &t : tables)
                def.append("Table" + QString::number(def.size()) + "      |" + t);
            QVERIFY(WriteLines(dir.file("Data/" + base + ".ini"), def));
            QVERIFY(AppendLines(dir.file("Buttons.ini"), {CatalogLine(caption, base + ".ini")}));
            QVERIFY(state.loadDatabaseCatalog());
        }
    };

private slots:
    void opensTheShippedDatabase()
    {
        Fixture f;
        MessageRecorder boxes;
        QSignalSpy opened(&f.state, &TMainState::databaseOpened), presets(&f.state, &TMainState::filterBoxChanged);
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        QCOMPARE(opened.count(), 1);
        QVERIFY(QFile::exists(f.dir.file("Data/Database.DB")));
        QVERIFY(f.dir.read("Data/Database.log").startsWith("FieldDefs.Add(ID,ftAutoInc,0,FALSE);\r\n"));
        QVERIFY(f.state.CurrentTable && f.state.CurrentTable->isOpen());
        QCOMPARE(f.state.CurrentTable->objectName(), QStringLiteral("Table1"));
        QCOMPARE(f.state.CurrentDataSource->objectName(), QStringLiteral("DataSource1"));
        QCOMPARE(f.state.CurrentTableName, QStringLiteral("Database"));
        QCOMPARE(f.state.CurrentTableFile, f.dir.file("Data/Database.DB"));
        QCOMPARE(f.state.DatabaseIniName, QStringLiteral("Database.ini"));
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Hauptdatenbank"));
        QCOMPARE(f.state.DatabaseLabelText, QStringLiteral("Geöffnete Datenbank: Hauptdatenbank"));
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("0 Datensätze"));
        QCOMPARE(f.state.CurrentTable->fieldCount(), f.state.FieldDefinitions.size() - 1);
        QCOMPARE(f.state.FilterBoxItems.first(), QStringLiteral("Alle Datensätze"));
        QCOMPARE(presets.last().first().toStringList(), f.state.FilterBoxItems);
        QVERIFY(!f.state.CurrentTable->isFiltered()); // showing the first preset does not apply it
        // Every preset that ships is a valid filter of the shipped table.
        for (const FilterPreset &p : FilterPresetsFromLines(f.state.FilterPresets))
            QVERIFY2(f.state.CurrentTable->count(Filter::parse(p.expression)) >= 0, qPrintable(p.expression));
        // Titles are the display names.
        const AddressModel *m = f.state.CurrentDataSource;
        QCOMPARE(m->columns().at(m->columnOfField("Mail")).title, QStringLiteral("E-Mail"));
        QCOMPARE(m->columns().at(m->columnOfField("Str")).title, QStringLiteral("Straße"));
        QVERIFY(!f.state.Links1Enabled && !f.state.NeueEintrageabholen1Enabled);
        QVERIFY(!f.state.hasSeveralDatabases());
    }

    void creationLogAndTypes()
    {
        Fixture f;
        f.dir.write("Data/Klein.pro", crlf({"FELD|TYP|PFLICHT|GROESSE|INDEX|INDEXFELDER|PRIMAER|SORTIERBAR|ANZEIGENAME",
                                            "ID| ftAutoInc | False |0| ID | ID | Primaer | FALSE | ID",
                                            "Selected| ftBoolean | False |0| | | | FALSE | Selected",
                                            "Bild| ftPicture | False |500| | | | FALSE | Bild",
                                            "Falsch| FtString | False |20| | | | FALSE | Falsch",
                                            "Spalte3| ftString   | False      |80     | Spalte3 | Spalte3    |"
                                            "                     | TRUE        | Alter"}));
        QVERIFY(f.state.CreateTableFromDefinition("Klein"));
        QCOMPARE(f.dir.read("Data/Klein.log"),
                 crlf({"FieldDefs.Add(ID,ftAutoInc,0,FALSE);", "FieldDefs.Add(Selected,ftBoolean,0,FALSE);",
                       "FieldDefs.Add(Bild,ftPicture,500,FALSE);", "FieldDefs.Add(Falsch,FtString,20,FALSE);",
                       "FieldDefs.Add(Spalte3,ftString,80,FALSE);", "IndexDefs.Add(ID,ID,[ixPrimary,ixUnique]);",
                       "IndexDefs.Add(Spalte3,Spalte3,[]);"}));
        AddressTable t;
        QVERIFY(t.open(f.dir.file("Data/Klein.DB")));
        QCOMPARE(t.fieldCount(), 4); // no field for the misspelt type
        QCOMPARE(t.field(2).name, QStringLiteral("Bild"));
        QCOMPARE(t.field(2).size, 2);
        QCOMPARE(t.indexes().at(1).name, QStringLiteral("Spalte3"));
        QVERIFY(!t.indexes().at(1).primary);
    }

    void creationFailure_data()
    {
        QTest::addColumn<QByteArray>("pro");
        QTest::addColumn<QString>("lastLogLine");
        QTest::newRow("size no number") << crlf({"header", "X| ftString | False |abc| | | | FALSE | X"})
                                        << "Fehler: Zeile 1: die Größe \"abc\" des Felds \"X\" ist keine Zahl.";
        QTest::newRow("index on a missing field")
            << crlf({"header", "X| ftString | False |10| Ort | Ort | | TRUE | X"})
            << "Fehler: Der Index \"Ort\" verweist auf das unbekannte Feld \"Ort\".";
        QTest::newRow("string longer than 255") << crlf({"header", "X| ftString | False |-1| | | | FALSE | X"})
                                                << "Fehler: Das Feld \"X\" hat eine ungültige Größe (65535).";
        QTest::newRow("no field definition file") << QByteArray()
                                                  << "Fehler: Die Felddefinitionsdatei \"Kaputt.pro\" kann nicht "
                                                     "gelesen werden.";
    }
    void creationFailure()
    {
        QFETCH(QByteArray, pro);
        QFETCH(QString, lastLogLine);
        Fixture f;
        if (!pro.isEmpty())
            f.dir.write("Data/Kaputt.pro", pro);
        MessageRecorder boxes;
        QVERIFY(!f.state.CreateTableFromDefinition("Kaputt"));
        QCOMPARE(f.state.errorText(), QStringLiteral("Database not created!"));
        QVERIFY(!QFile::exists(f.dir.file("Data/Kaputt.DB")));
        QCOMPARE(ReadLines(f.dir.file("Data/Kaputt.log")).last(), lastLogLine);
    }

    void twoTablesOnlyTheFirstShown()
    {
        Fixture f;
        f.addDatabase("zwei", "Zwei Tabellen", {"zweib"});
        for (const char *ext : {".pro", ".cb", ".fil"})
            QFile::copy(f.dir.file(QStringLiteral("Data/database") + QLatin1String(ext)),
                        f.dir.file(QStringLiteral("Data/zweib") + QLatin1String(ext)));
        // Records first, so that opening shows where the cursor goes.
        QVERIFY(f.state.CreateTableFromDefinition("zwei"));
        {
            AddressTable t;
            QVERIFY(t.open(f.dir.file("Data/zwei.DB")));
            QVERIFY(fill(t, {{{"Name", "a"}}, {{"Name", "b"}}, {{"Name", "c"}}}));
        }
        QVERIFY(f.state.OpenDatabase("zwei.ini"));
        QCOMPARE(f.state.TableComponents.size(), 2);
        QCOMPARE(f.state.TableComponents.at(1).table->objectName(), QStringLiteral("Table2"));
        QCOMPARE(f.state.TableComponents.at(1).dataSource->objectName(), QStringLiteral("DataSource2"));
        QVERIFY(QFile::exists(f.dir.file("Data/zweib.DB")));
        QVERIFY(!f.state.TableComponents.at(1).table->isOpen());
        QCOMPARE(f.state.CurrentTable, f.state.TableComponents.at(0).table);
        QCOMPARE(f.state.CurrentTable->row(), 2);
        QCOMPARE(f.state.CurrentTable->text("Name"), QStringLiteral("c"));
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("3 Datensätze"));
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Zwei Tabellen"));
        QVERIFY(f.state.hasSeveralDatabases());
        // The second table can be made current by number; there is no third.
        QVERIFY(f.state.ActivateTable(2));
        QCOMPARE(f.state.CurrentTableName, QStringLiteral("zweib"));
        QVERIFY(f.state.CurrentTable->isOpen());
        QVERIFY(!f.state.ActivateTable(3));
    }

    void recordCountFollowsChanges()
    {
        Fixture f;
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        AddressTable *t = f.state.CurrentTable;
        QVERIFY(t->append() && t->setText("Name", "a") && t->post());
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("1 Datensätze"));
        QVERIFY(fill(*t, {{{"Name", "b"}}, {{"Name", "c"}}}));
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("3 Datensätze"));
        QVERIFY(t->remove());
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("2 Datensätze"));
        QVERIFY(t->setFilterText("Name='b'") && t->setFiltered(true));
        f.state.ShowRecordCount();
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("1 Datensätze"));
    }

    void webSettings_data()
    {
        QTest::addColumn<QByteArray>("web");
        QTest::addColumn<bool>("links");
        QTest::addColumn<bool>("fetch");
        QTest::newRow("no web settings file") << QByteArray() << false << false;
        QTest::newRow("statistics only") << QByteArray("[SETTINGS]\r\nOnlinePath=\r\nStatsURL=http://x/stats.php\r\n")
                                         << true << false;
        QTest::newRow("both") << QByteArray("[SETTINGS]\r\nOnlinePath=http://x/\r\nStatsURL=http://x/s.php\r\n") << true
                              << true;
        QTest::newRow("server path only") << QByteArray("[settings]\r\nonlinepath=http://x/\r\n") << true << true;
        QTest::newRow("both empty") << QByteArray("[SETTINGS]\r\nOnlinePath=\r\n") << false << false;
    }
    void webSettings()
    {
        QFETCH(QByteArray, web);
        QFETCH(bool, links);
        QFETCH(bool, fetch);
        Fixture f;
        if (!web.isEmpty())
            f.dir.write("Data/Database.web", web);
        QSignalSpy menus(&f.state, &TMainState::webMenusChanged);
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        QCOMPARE(f.state.Links1Enabled, links);
        QCOMPARE(f.state.NeueEintrageabholen1Enabled, fetch);
        QCOMPARE(menus.last(), (QList<QVariant>{links, fetch}));
    }

    void captionFromTheExactCatalogueLine()
    {
        Fixture f;
        f.addDatabase("a", "Kurz");
        f.addDatabase("kunda", "Kunden A");
        QVERIFY(f.state.OpenDatabase("a.ini"));
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Kurz"));
        // A definition file the catalogue does not list shows the base database's name.
        f.addDatabase("fremd", "Fremd");
        QVERIFY(WriteLines(f.dir.file("Buttons.ini"), ReadLines(f.dir.file("Buttons.ini")).mid(0, 4)));
        QVERIFY(f.state.loadDatabaseCatalog());
        QVERIFY(f.state.OpenDatabase("FREMD.INI")); // found without regard to case
        QCOMPARE(f.state.DatabaseIniName, QStringLiteral("FREMD.INI"));
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Hauptdatenbank"));
    }

    void failedOpeningKeepsTheOpenDatabase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("no definition file") << "fehlt.ini"
                                            << "Die Datenbank-Definitionsdatei \"fehlt.ini\" wurde "
                                               "nicht gefunden!";
        QTest::newRow("path instead of a name") << "../Buttons.ini"
                                                << "Die Datenbank-Definitionsdatei "
                                                   "\"../Buttons.ini\" wurde nicht gefunden!";
        QTest::newRow("no table named") << "leer.ini"
                                        << "Die Datenbank-Definitionsdatei \"leer.ini\" nennt keine "
                                           "Tabelle!";
        QTest::newRow("table name with a path") << "pfad.ini"
                                                << "Die Datenbank-Definitionsdatei \"pfad.ini\" nennt "
                                                   "einen ungültigen Tabellennamen: \"../x\"";
        QTest::newRow("table name with a NUL") << "nul.ini"
                                               << "Die Datenbank-Definitionsdatei \"nul.ini\" nennt "
                                                  "einen ungültigen Tabellennamen: \"Database?x\"";
        QTest::newRow("table name with a control character")
            << "steuer.ini"
            << "Die Datenbank-Definitionsdatei \"steuer.ini\" nennt einen ungültigen Tabellennamen: \"neu?tab\"";
        QTest::newRow("table not created") << "kaputt.ini"
                                           << "Database not created!";
        QTest::newRow("combo definitions missing") << "ohnecb.ini"
                                                   << "Die Definitionsdatei \"ohnecb.cb\" kann "
                                                      "nicht gelesen werden!";
        QTest::newRow("table file not ours") << "fremd.ini"
                                             << "Die Tabelle \"%1\" kann nicht geöffnet werden: die "
                                                "Datei ist keine Adresstabelle dieses Programms";
    }
    void failedOpeningKeepsTheOpenDatabase()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        Fixture f;
        f.dir.write("Data/leer.ini", "TABLE        TABELNAME\r\n");
        f.dir.write("Data/pfad.ini", "TABLE        TABELNAME\r\nTable1      |../x\r\n");
        // "Database" followed by a NUL would name the open database's table file to SQLite.
        f.dir.write("Data/nul.ini", QByteArray("TABLE        TABELNAME\r\nTable1      |Database\0x\r\n", 49));
        f.dir.write("Data/steuer.ini", "TABLE        TABELNAME\r\nTable1      |neu\x1btab\r\n");
        f.addDatabase("kaputt", "Kaputt");
        f.dir.write("Data/kaputt.pro", "header\r\nX| ftString | False |abc| | | | FALSE | X\r\n");
        f.addDatabase("ohnecb", "Ohne");
        QFile::remove(f.dir.file("Data/ohnecb.cb"));
        f.addDatabase("fremd", "Fremd");
        f.dir.write("Data/fremd.DB", "");
        message.replace("%1", f.dir.file("Data/fremd.DB"));

        QVERIFY(f.state.OpenDatabase("Database.ini"));
        AddressTable *table = f.state.CurrentTable;
        const QStringList fields = f.state.FieldDefinitions, presets = f.state.FilterPresets;
        QSignalSpy closed(&f.state, &TMainState::databaseClosed);
        MessageRecorder boxes;
        const QStringList dataFiles = QDir(f.dir.file("Data")).entryList(QDir::Files);
        QVERIFY(!f.state.OpenDatabase(name));
        QCOMPARE(f.state.errorText(), message);
        // One message, and the database that was open is open as it was.
        QVERIFY(f.state.CurrentTable == table && table->isOpen());
        QCOMPARE(f.state.FieldDefinitions, fields);
        QCOMPARE(f.state.FilterPresets, presets);
        QCOMPARE(f.state.DatabaseIniName, QStringLiteral("Database.ini"));
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Hauptdatenbank"));
        QCOMPARE(f.state.TableComponents.size(), 1);
        QCOMPARE(closed.count(), 0);
        // A name that is refused makes no file.
        if (message.contains("ungültigen Tabellennamen"))
            QCOMPARE(QDir(f.dir.file("Data")).entryList(QDir::Files), dataFiles);
    }

    void emptyNameChangesNothing()
    {
        Fixture f;
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        f.state.CurrentDataSource->setColumnWidth(0, 99);
        MessageRecorder boxes;
        QSignalSpy opened(&f.state, &TMainState::databaseOpened), loaded(&f.state, &TMainState::gridLayoutLoaded);
        QVERIFY(!f.state.OpenDatabase(QString()));
        QCOMPARE(opened.count() + loaded.count(), 0);
        QCOMPARE(f.state.CurrentDataSource->columns().first().width, 99);
        QCOMPARE(f.state.OpenDatabaseCaption, QStringLiteral("Hauptdatenbank"));
        QVERIFY(!QFile::exists(f.dir.file("Data/.grd")));
    }

    void layoutIsKeptPerDatabase()
    {
        Fixture f;
        f.addDatabase("zwei", "Zwei");
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        AddressModel *m = f.state.CurrentDataSource;
        // The window writes its header into the model before a save.
        connect(&f.state, &TMainState::aboutToSaveGridLayout, this, [&f] {
            AddressModel *model = f.state.CurrentDataSource;
            model->setColumnWidth(model->columnOfField("Mail"), 222);
        });
        QList<GridColumn> cols = m->columns();
        cols.move(cols.size() - 1, 0);
        cols[1].visible = false;
        m->setColumns(cols);
        m->setSortMarker("Name");
        QVERIFY(f.state.OpenDatabase("zwei.ini"));
        // The layout left went into the file of the database left, and only there.
        QVERIFY(QFile::exists(f.dir.file("Data/Database.grd")));
        QVERIFY(!QFile::exists(f.dir.file("Data/zwei.grd")));
        QCOMPARE(f.state.CurrentDataSource->columns().first().field, QStringLiteral("ID"));
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        m = f.state.CurrentDataSource;
        QCOMPARE(m->columns().first().field, QStringLiteral("Kategorie"));
        QVERIFY(!m->columns().at(1).visible);
        QCOMPARE(m->columns().at(m->columnOfField("Mail")).width, 222);
        QCOMPARE(m->columns().at(m->columnOfField("Mail")).title, QStringLiteral("E-Mail"));
        QCOMPARE(m->sortMarker(), QString()); // the sort marking is not stored
        QVERIFY(QFile::exists(f.dir.file("Data/zwei.grd")));
        // Closing the window saves the open database's layout.
        f.state.saveOpenDatabase();
        QCOMPARE(ReadGridLayoutFile(f.dir.file("Data/Database.grd"))->first().field, QStringLiteral("Kategorie"));
    }

    void layoutThatIsNotOursShowsAllFields()
    {
        Fixture f;
        f.dir.write("Data/Database.grd", QByteArray(300, '\x07'));
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        QCOMPARE(f.state.CurrentDataSource->columnCount(), f.state.CurrentTable->fieldCount());
        // Columns for fields the table lacks are dropped; none left means all fields.
        QVERIFY(WriteGridLayoutFile(f.dir.file("Data/Database.grd"), {{"Gibtsnicht", "x", 10, true}}));
        f.state.LoadGridLayout(f.dir.file("Data/Database.grd"));
        QCOMPARE(f.state.CurrentDataSource->columnCount(), f.state.CurrentTable->fieldCount());
    }

    void columnCaptions()
    {
        Fixture f;
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        AddressModel *m = f.state.CurrentDataSource;
        const int mail = m->columnOfField("Mail");
        // Without "ANZEIGENAME" in the header the titles stay the field names.
        f.state.FieldDefinitions[0] = "FELDNAME | TYP";
        m->resetColumns();
        f.state.ApplyColumnCaptions();
        QCOMPARE(m->columns().at(mail).title, QStringLiteral("Mail"));
        // With it, an empty display name gives an empty title.
        f.state.FieldDefinitions[0] = "x ANZEIGENAME";
        f.state.FieldDefinitions[5] = "Mail| ftString | False |100| Mail | Mail | | TRUE | ";
        f.state.ApplyColumnCaptions();
        QCOMPARE(m->columns().at(mail).title, QString());
        QCOMPARE(m->columns().at(m->columnOfField("Name")).title, QStringLiteral("Name"));
    }

    void definitionsAllOrNothing()
    {
        Fixture f;
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        f.dir.write("Data/nurkopf.fil", "NAME | FILTER\r\n");
        f.dir.write("Data/nurkopf.cb", "FELD | WERTE\r\n");
        f.dir.write("Data/nurkopf.pro", "FELDNAME\r\n");
        QSignalSpy presets(&f.state, &TMainState::filterBoxChanged);
        QVERIFY(f.state.LoadTableDefinitions("nurkopf"));
        QCOMPARE(presets.count(), 1);
        QVERIFY(f.state.FilterBoxItems.isEmpty());
        QCOMPARE(f.state.FieldDefinitions, QStringList{"FELDNAME"});
        MessageRecorder boxes;
        QVERIFY(!f.state.LoadTableDefinitions("gibtsnicht"));
        QCOMPARE(f.state.errorText(),
                 QStringLiteral("Die Definitionsdatei \"gibtsnicht.fil\" kann nicht gelesen werden!"));
        QVERIFY(f.state.FieldDefinitions.isEmpty() && f.state.ComboDefinitions.isEmpty() &&
                f.state.FilterPresets.isEmpty());
    }

    void databaseToOpenAtStart_data()
    {
        QTest::addColumn<QByteArray>("lastOpen"); // "-" for no file
        QTest::addColumn<QString>("name");
        QTest::newRow("no file") << QByteArray("-") << "Database.ini";
        QTest::newRow("remembered") << QByteArray(" zwei.ini \r\n") << "zwei.ini";
        QTest::newRow("other case") << QByteArray("ZWEI.INI\r\n") << "ZWEI.INI";
        QTest::newRow("file gone") << QByteArray("weg.ini\r\n") << "Database.ini";
        QTest::newRow("empty line") << QByteArray("\r\n") << "Database.ini";
        QTest::newRow("path") << QByteArray("../Buttons.ini\r\n") << "Database.ini";
    }
    void databaseToOpenAtStart()
    {
        QFETCH(QByteArray, lastOpen);
        QFETCH(QString, name);
        Fixture f;
        f.addDatabase("zwei", "Zwei");
        if (lastOpen != "-")
            f.dir.write("LastopenDB.inc", lastOpen);
        QCOMPARE(f.state.databaseToOpenAtStart(), name);
    }

    void lastOpenWrittenAsOneLine()
    {
        Fixture f;
        QVERIFY(f.state.writeLastOpenDatabase("kunden_2010.ini"));
        QCOMPARE(f.dir.read("LastopenDB.inc"), QByteArray("kunden_2010.ini\r\n"));
    }

    void freeingAndClearing()
    {
        Fixture f;
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        QVERIFY(fill(*f.state.CurrentTable, {{{"Name", "a"}}}));
        QVERIFY(f.state.CurrentTable->first() && f.state.CurrentTable->edit());
        QVERIFY(f.state.CurrentTable->setText("Name", "b"));
        QSignalSpy closed(&f.state, &TMainState::databaseClosed);
        f.state.FreeTableComponents();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!f.state.CurrentTable && !f.state.CurrentDataSource);
        QVERIFY(f.state.FieldDefinitions.isEmpty() && f.state.DatabaseIniName.isEmpty());
        QCOMPARE(f.state.StatusPanelText, QString());
        // The pending edit was posted; the file is free to be deleted, and
        // opening again makes a new, empty table.
        {
            AddressTable t;
            QVERIFY(t.open(f.dir.file("Data/Database.DB")));
            QCOMPARE(column(t, "Name"), QStringList{"b"});
        }
        QVERIFY(QFile::remove(f.dir.file("Data/Database.DB")));
        QVERIFY(f.state.OpenDatabase("Database.ini"));
        QCOMPARE(f.state.StatusPanelText, QStringLiteral("0 Datensätze"));
    }

    void statusText()
    {
        TMainState s;
        QSignalSpy spy(&s, &TMainState::statusTextChanged);
        s.setStatusText("Checkmail: 1 von 3");
        QCOMPARE(s.StatusBarText, QStringLiteral("Checkmail: 1 von 3"));
        QCOMPARE(spy.last().first().toString(), s.StatusBarText);
        s.setAppFolder("/opt/vantrel");
        QCOMPARE(s.DataFolder, QStringLiteral("/opt/vantrel/Data/"));
        QCOMPARE(s.LettersFolder, QStringLiteral("/opt/vantrel/Briefe/"));
        QCOMPARE(s.TemplatesCopySource, QStringLiteral("/opt/vantrel/Vorlagen/"));
        QVERIFY(s.SystemTempFolder.endsWith('/'));
    }
};

QTEST_GUILESS_MAIN(TestMainState)
#include "tst_mainstate.moc"
