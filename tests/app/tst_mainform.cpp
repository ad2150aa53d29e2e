// The main window's life cycle: what its start sets up (folders, switches,
// catalogue, the guard against a second workstation, the database used last,
// the templates), its activation and its close.
#include "crashreport.h"
#include "dbgrid.h"
#include "definitionfiles.h"
#include "inifile.h"
#include "mainformfixture.h"
#include "outlook.h"
#include "paths.h"
#include "textfile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>

using namespace vt;

namespace {

// A second database "Zweite" beside the shipped one.
void addSecondDatabase(TestFolder &dir)
{
    for (const char *ext : {".pro", ".cb", ".fil"})
        QFile::copy(dir.file(QStringLiteral("Data/database") + QLatin1String(ext)),
                    dir.file(QStringLiteral("Data/Zweite") + QLatin1String(ext)));
    dir.write("Data/Zweite.ini", "TABLE        TABELNAME\r\nTable1      |Zweite\r\n");
    dir.write("Buttons.ini", dir.read("Buttons.ini") + "Zweite Datenbank| cddrive.bmp|Zweite.ini\r\n");
}

class FakeOutlook : public OutlookBackend
{
public:
    bool first = false, second = false;
    QString bitness;
    int prepared = 0;
    void prepareLibrary() override { ++prepared; }
    bool connectOverOutlookSession() override { return first; }
    bool connectWithOwnLogon() override { return second; }
    QString outlookBitness() override { return bitness; }
};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }

    void startOnTheShippedFolder()
    {
        StartedMain m;
        QVERIFY(m.boxes.isEmpty());
        const TMainState &s = m.state();
        QCOMPARE(s.AppFolder, m.dir.path());
        QCOMPARE(s.DataFolder, m.dir.file("Data/"));
        QCOMPARE(s.UserDataFolder, WindowsInfo().AppDataDir + "/Halvicor/Vantrel/");
        QVERIFY(QDir(s.UserDataFolder).exists());
        QCOMPARE(s.LettersFolder, m.dir.file("Briefe/"));
        QVERIFY(QDir(s.LettersFolder).exists());
        QCOMPARE(m.form->windowTitle(), ProductInfo().DisplayName);
        QCOMPARE(s.DatabaseIniName, QStringLiteral("Database.ini"));
        QCOMPARE(m.child<QLabel>("DatabaseLabel")->text(), QStringLiteral("Geöffnete Datenbank: Hauptdatenbank"));
        QCOMPARE(m.child<QLabel>("StatusPanel")->text(), QStringLiteral("0 Datensätze"));
        QCOMPARE(m.form->DBGrid1->dataSource(), s.CurrentDataSource);
        QVERIFY(!m.form->TrueGlyph.isNull() && !m.form->FalseGlyph.isNull());
        // One database: the commands for several are hidden or off.
        QVERIFY(m.child<QPushButton>("OpenModeBitBtn")->isHidden());
        for (const char *name : {"Datenbankffnen2", "Datenbanklschen2", "Datentransfer1"})
            QVERIFY2(!m.form->commandAction(name)->isEnabled(), name);
        // There is no Outlook here.
        QVERIFY(!s.OutlookAvailable && !s.Outlook64Bit);
        // The shipped templates are in the documents work folder.
        const QStringList shipped = QDir(m.dir.file("Vorlagen")).entryList(QDir::Files);
        QCOMPARE(shipped.size(), 5);
        QCOMPARE(QDir(TMainForm::documentsWorkFolder()).entryList(QDir::Files), shipped);
    }

    // At the first start the window fills the screen's work area but for the
    // bottom 27 pixels, with its frame, even where the work area is smaller than
    // the window's design size (as the offscreen screen of the tests is).
    void firstStartFitsTheWorkArea()
    {
        const QString registry = Registry::fileName();
        Registry::setFileName(m_home.path() + "/first-start.ini");
        {
            StartedMain m;
            m.form->show();
            QVERIFY(QTest::qWaitForWindowExposed(m.form.get()));
            const QRect area = m.form->screen()->availableGeometry();
            QVERIFY2(area.width() < 994 || area.height() < 673 + 27, "the screen is large enough to hold the window");
            QCOMPARE(m.form->frameGeometry(), QRect(area.left(), area.top(), area.width(), area.height() - 27));
            m.form->close();
        }
        Registry::setFileName(registry);
    }

    void severalDatabasesOfferTheirCommands()
    {
        StartedMain m(addSecondDatabase);
        QVERIFY(!m.child<QPushButton>("OpenModeBitBtn")->isHidden());
        for (const char *name : {"Datenbankffnen2", "Datenbanklschen2", "Datentransfer1"})
            QVERIFY2(m.form->commandAction(name)->isEnabled(), name);
    }

    void webMenusFollowTheWebSettings_data()
    {
        QTest::addColumn<QByteArray>("web"); // "-" for no file
        QTest::addColumn<bool>("links");
        QTest::addColumn<bool>("fetch");
        QTest::newRow("no web settings") << QByteArray("-") << false << false;
        QTest::newRow("statistics only") << QByteArray("[SETTINGS]\r\nOnlinePath=\r\nStatsURL=https://x/s\r\n") << true
                                         << false;
        QTest::newRow("both") << QByteArray("[SETTINGS]\r\nOnlinePath=/web\r\nStatsURL=https://x/s\r\n") << true
                              << true;
    }
    void webMenusFollowTheWebSettings()
    {
        QFETCH(QByteArray, web);
        QFETCH(bool, links);
        QFETCH(bool, fetch);
        StartedMain m([&](TestFolder &dir) {
            if (web != "-")
                dir.write("Data/Database.web", web);
        });
        QCOMPARE(m.form->commandAction("Links1")->isEnabled(), links);
        QCOMPARE(m.form->commandAction("NeueEintrageabholen1")->isEnabled(), fetch);
    }

    void databaseUsedLast_data()
    {
        QTest::addColumn<QByteArray>("lastOpen"); // "-" for no file
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no file") << QByteArray("-") << "Database.ini"
                                 << "Hauptdatenbank";
        QTest::newRow("empty file") << QByteArray() << "Database.ini"
                                    << "Hauptdatenbank";
        QTest::newRow("empty line") << QByteArray("\r\n") << "Database.ini"
                                    << "Hauptdatenbank";
        QTest::newRow("names a file that is gone") << QByteArray("Weg.ini\r\n") << "Database.ini"
                                                   << "Hauptdatenbank";
        QTest::newRow("names the data folder itself") << QByteArray(".\r\n") << "Database.ini"
                                                      << "Hauptdatenbank";
        QTest::newRow("names the second database") << QByteArray("  Zweite.ini \r\n") << "Zweite.ini"
                                                   << "Zweite Datenbank";
    }
    void databaseUsedLast()
    {
        QFETCH(QByteArray, lastOpen);
        QFETCH(QString, opened);
        QFETCH(QString, caption);
        StartedMain m([&](TestFolder &dir) {
            addSecondDatabase(dir);
            if (lastOpen != "-")
                dir.write("LastopenDB.inc", lastOpen);
        });
        QVERIFY(m.table() && m.table()->isOpen());
        QCOMPARE(m.state().DatabaseIniName, opened);
        QCOMPARE(m.state().OpenDatabaseCaption, caption);
    }

    void switchesOfConfigAtStart_data()
    {
        QTest::addColumn<QByteArray>("config"); // "-" for no file
        QTest::addColumn<bool>("checkAddresses");
        QTest::addColumn<bool>("transactionLog");
        QTest::addColumn<bool>("gridEdit");
        QTest::newRow("no config.ini") << QByteArray("-") << true << false << false;
        QTest::newRow("all on") << QByteArray("[Database]\r\nCheckdoublettes=1\r\nTransActLog=1\r\nGridEdit=1\r\n")
                                << true << true << true;
        QTest::newRow("all off") << QByteArray("[Database]\r\nCheckdoublettes=0\r\nTransActLog=0\r\nGridEdit=0\r\n")
                                 << false << false << false;
        // Booleans are numbers: a word counts as missing.
        QTest::newRow("words") << QByteArray("[database]\r\ncheckdoublettes=False\r\nTransActLog=True\r\n") << true
                               << false << false;
    }
    void switchesOfConfigAtStart()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, checkAddresses);
        QFETCH(bool, transactionLog);
        QFETCH(bool, gridEdit);
        StartedMain m([&](TestFolder &dir) {
            if (config != "-")
                dir.write("config.ini", config);
        });
        const TMainState &s = m.state();
        QCOMPARE(s.CheckNewAddresses, checkAddresses);
        QCOMPARE(s.TransactionLogOn, transactionLog);
        QCOMPARE(s.GridEditMode, gridEdit);
        QCOMPARE(m.form->commandAction("NachdoppeltenEmailadressenprfen1")->isChecked(), checkAddresses);
        QCOMPARE(m.form->commandAction("TransactionlogwrdendesMailversandes1")->isChecked(), transactionLog);
        QCOMPARE(m.form->commandAction("BearbeitenimGrid1")->isChecked(), gridEdit);
        QCOMPARE(s.CurrentDataSource->isEditable(), gridEdit);
        // A switch found on is written again when it is applied; nothing else is written at start.
        const IniFile ini(m.dir.file("config.ini"));
        if (transactionLog)
            QCOMPARE(ini.readString("Database", "TransActLog"), QStringLiteral("1"));
        if (gridEdit)
            QCOMPARE(ini.readString("Database", "GridEdit"), QStringLiteral("1"));
        if (config == "-")
            QVERIFY(!QFile::exists(m.dir.file("config.ini")));
    }

    void secondWorkstationEndsTheStart()
    {
        QDir(TMainForm::documentsWorkFolder()).removeRecursively();
        // Another running copy holds the data folder.
        std::unique_ptr<QLockFile> held;
        StartedMain m([&](TestFolder &dir) {
            held = std::make_unique<QLockFile>(dir.file("Data/Vantrel.lck"));
            QVERIFY(held->tryLock(0));
        });
        // The box names who holds the folder.
        const QDateTime renewed = QFileInfo(m.dir.file("Data/Vantrel.lck")).lastModified();
        QVERIFY(m.boxes.takeExpected(
            MsgKind::Information,
            QStringLiteral("Datenbank ist in Benutzung durch einen anderen Benutzer!\n\nBitte warten Sie bis der "
                           "andere Benutzer die Datenbank wieder geschlossen hat!\n\nIn Benutzung auf dem Arbeitsplatz "
                           "\"%1\" (Prozess %2), zuletzt bestätigt am %3 um %4 Uhr.\n\nEine Sperre, die 5 Minuten lang "
                           "nicht bestätigt wurde (etwa nach einem Absturz des anderen Arbeitsplatzes), übernimmt der "
                           "nächste Start.")
                .arg(QSysInfo::machineHostName())
                .arg(QCoreApplication::applicationPid())
                .arg(renewed.toString("dd.MM.yyyy"), renewed.toString("HH:mm"))));
        QVERIFY(m.form->startEnded());
        // Nothing was opened, made or copied, and closing writes nothing either.
        QVERIFY(!m.table());
        QVERIFY(!QFile::exists(m.dir.file("Data/Database.DB")));
        QVERIFY(!QDir(TMainForm::documentsWorkFolder()).exists());
        m.form->close();
        QVERIFY(!QFile::exists(m.dir.file("config.ini")));
        QVERIFY(!QFile::exists(m.dir.file("Data/Database.grd")));
        held.reset();
    }

    void lockOfACrashedRunIsTakenOver()
    {
        StartedMain m([](TestFolder &dir) { WriteLockOfEndedRun(dir.file("Data/Vantrel.lck")); });
        QVERIFY(!m.form->startEnded());
        QVERIFY(m.table() && m.table()->isOpen());
        // While this run holds the folder, another copy is told so.
        QLockFile second(m.dir.file("Data/Vantrel.lck"));
        QVERIFY(!second.tryLock(0));
    }

    void missingShippedFilesAreSaidAndTheStartGoesOn()
    {
        StartedMain m([](TestFolder &dir) {
            QFile::remove(dir.file("recom/head.png"));
            QFile::remove(dir.file("Images/True.bmp"));
            QFile::remove(dir.file("Buttons.ini"));
        });
        QCOMPARE(m.boxes.takeTexts(),
                 QStringList({"Die Datei \"" + m.dir.file("recom/head.png") + "\" wurde nicht gefunden!",
                              "Die Datei \"" + m.dir.file("Buttons.ini") + "\" kann nicht gelesen werden!",
                              "Die Datei \"" + m.dir.file("Images/True.bmp") + "\" wurde nicht gefunden!"}));
        QVERIFY(m.table() && m.table()->isOpen());
        QVERIFY(m.form->TrueGlyph.isNull() && !m.form->FalseGlyph.isNull());
    }

    void databaseThatCannotOpenIsSaidAtTheStart()
    {
        StartedMain m([](TestFolder &dir) { dir.write("Data/Database.ini", "TABLE        TABELNAME\r\n"); });
        QCOMPARE(m.boxes.takeTexts(),
                 QStringList{"Die Datenbank-Definitionsdatei \"Database.ini\" nennt keine Tabelle!"});
        QVERIFY(!m.table());
    }

    void templatesReplaceOlderCopies()
    {
        const QString target = TMainForm::documentsWorkFolder();
        QDir(target).removeRecursively();
        QVERIFY(QDir().mkpath(target + "Unterordner"));
        QVERIFY(WriteLines(target + "Vantrel_Bsp1.eml", {"alt"}));
        QVERIFY(WriteLines(target + "Eigene.eml", {"meine"}));
        StartedMain m([](TestFolder &dir) {
            dir.write("Vorlagen/.versteckt", "x");
            dir.write("Vorlagen/Ordner/innen.eml", "x");
        });
        QCOMPARE(ReadTextFile(target + "Vantrel_Bsp1.eml"), ReadTextFile(m.dir.file("Vorlagen/Vantrel_Bsp1.eml")));
        QCOMPARE(ReadTextFile(target + "Eigene.eml"), QStringLiteral("meine\r\n"));
        QVERIFY(!QFile::exists(target + ".versteckt"));
        QVERIFY(!QFile::exists(target + "Ordner") && !QFile::exists(target + "innen.eml"));
    }

    void outlookProbe_data()
    {
        QTest::addColumn<bool>("first");
        QTest::addColumn<bool>("second");
        QTest::addColumn<QString>("bitness");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("is64");
        QTest::newRow("none") << false << false << "" << false << false;
        QTest::newRow("first attempt") << true << false << "x86" << true << false;
        QTest::newRow("second attempt") << false << true << "" << true << false;
        QTest::newRow("64-bit without a session") << false << false << "x64" << true << true;
        QTest::newRow("upper case is not 64-bit") << false << false << "X64" << false << false;
    }
    void outlookProbe()
    {
        QFETCH(bool, first);
        QFETCH(bool, second);
        QFETCH(QString, bitness);
        QFETCH(bool, available);
        QFETCH(bool, is64);
        FakeOutlook outlook;
        outlook.first = first;
        outlook.second = second;
        outlook.bitness = bitness;
        OutlookBackend *previous = OutlookBackend::setInstance(&outlook);
        StartedMain m;
        OutlookBackend::setInstance(previous);
        QCOMPARE(outlook.prepared, 1);
        QCOMPARE(m.state().OutlookAvailable, available);
        QCOMPARE(m.state().Outlook64Bit, is64);
    }

    void activation_data()
    {
        QTest::addColumn<QByteArray>("mailSettings"); // "-" for no file
        QTest::addColumn<bool>("done");
        QTest::addColumn<QStringList>("boxes"); // "%1" is the file
        QTest::newRow("shipped") << QByteArray("-shipped") << false << QStringList();
        QTest::newRow("done") << QByteArray("[FIRSTSETTINGS]\r\nFirstSettingsDone=Done\r\n") << true << QStringList();
        QTest::newRow("done in lower case")
            << QByteArray("[FIRSTSETTINGS]\r\nFirstSettingsDone=done\r\n") << false << QStringList();
        QTest::newRow("no section") << QByteArray("[SMTP]\r\nhost=x\r\n") << false
                                    << QStringList{"Block FIRSTSETTINGS not found in %1",
                                                   "Item FirstSettingsDone not found in %1"};
        QTest::newRow("no file") << QByteArray("-") << false << QStringList{"Inifile %2Vantrel.ini not found!"};
    }
    void activation()
    {
        QFETCH(QByteArray, mailSettings);
        QFETCH(bool, done);
        QFETCH(QStringList, boxes);
        StartedMain m([&](TestFolder &dir) {
            if (mailSettings == "-")
                QFile::remove(dir.file("Vantrel.ini"));
            else if (mailSettings != "-shipped")
                dir.write("Vantrel.ini", mailSettings);
        });
        m.state().FirstSettingsDone = !done;
        SetupCrashReport(2, QString());
        // Shown, the window runs its activation once; closing a box does not run it again.
        m.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m.form.get()));
        QTRY_COMPARE(ReportLanguage(), 1);
        QTest::qWait(50);
        QStringList expected;
        for (const QString &b : boxes)
            expected << QString(b).replace("%1", m.dir.file("Vantrel.ini")).replace("%2", m.dir.path());
        QCOMPARE(m.boxes.takeTexts(), expected);
        QCOMPARE(m.state().FirstSettingsDone, done);
        QCOMPARE(m.child<QLabel>("AdvVersionLabel")->text(), ProductInfo().ProductLabel);
        QCOMPARE(ReportVersion(), ProductInfo().VersionText);
        m.form->hide();
    }

    void theGridHasTheKeysFromTheStart()
    {
        StartedMain m;
        m.add({{{"Mail", "a@example.de"}}});
        m.form->show();
        m.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m.form.get()));
        // No toolbar button takes the focus: the grid's keys work before any click.
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m.form->DBGrid1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        QCOMPARE(
            m.boxes.takeTexts(),
            QStringList{"Achtung Sie haben noch keinen Filter eigestellt! Öffnen Sie zuerst die Filtereinstellungen."});
        m.form->hide();
    }

    void closeWritesConfigAndLayout()
    {
        StartedMain m;
        m.add({{{"Mail", "a@example.de"}}, {{"Mail", "b@example.de"}}});
        QTRY_COMPARE(m.form->DBGrid1->model()->rowCount(), 2);
        const int mailColumn = m.state().CurrentDataSource->columnOfField("Mail");
        m.form->commandAction("NachdoppeltenEmailadressenprfen1")->trigger();
        QVERIFY(!m.state().CheckNewAddresses);
        m.form->DBGrid1->horizontalHeader()->resizeSection(mailColumn, 321);
        m.form->close();
        QCOMPARE(IniFile(m.dir.file("config.ini")).readString("Database", "Checkdoublettes"), QStringLiteral("0"));
        const auto layout = ReadGridLayoutFile(m.dir.file("Data/Database.grd"));
        QVERIFY(layout);
        QCOMPARE(layout->at(mailColumn).field, QStringLiteral("Mail"));
        QCOMPARE(layout->at(mailColumn).width, 321);
    }

    void closeSavesWhatIsTypedIntoACell()
    {
        StartedMain m([](TestFolder &dir) { dir.write("config.ini", "[Database]\r\nGridEdit=1\r\n"); });
        m.add({{{"Mail", "a@example.de"}, {"Name", "Alt"}}});
        TDBGrid *grid = m.form->DBGrid1;
        m.form->show();
        QVERIFY(QTest::qWaitForWindowActive(m.form.get()));
        const int nameColumn = m.state().CurrentDataSource->columnOfField("Name");
        grid->setCurrentIndex(grid->model()->index(0, nameColumn));
        grid->edit(grid->currentIndex());
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor && grid->isEditing());
        editor->setText("Neu");
        m.form->close();
        QVERIFY(!m.form->isVisible());
        QCOMPARE(m.table()->text("Name"), QStringLiteral("Neu"));
    }

    void aRefusedCellValueKeepsTheWindowOpen()
    {
        StartedMain m([](TestFolder &dir) { dir.write("config.ini", "[Database]\r\nGridEdit=1\r\n"); });
        m.add({{{"Mail", "a@example.de"}}});
        TDBGrid *grid = m.form->DBGrid1;
        m.form->show();
        QVERIFY(QTest::qWaitForWindowActive(m.form.get()));
        grid->setCurrentIndex(grid->model()->index(0, m.state().CurrentDataSource->columnOfField("LetztesMail")));
        grid->edit(grid->currentIndex());
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("kein Datum");
        m.form->close();
        QCOMPARE(m.boxes.take().kind, MsgKind::Error);
        QVERIFY(m.form->isVisible());
        QVERIFY(!QFile::exists(m.dir.file("Data/Database.grd")));
        QVERIFY(m.table()->isBlank(m.table()->fieldIndex("LetztesMail")));
        m.form->close();
        QVERIFY(!m.form->isVisible());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
