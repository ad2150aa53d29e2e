// The main window's information windows and hand-overs: the about box, the
// help pages, the tips window at close, the multi-user instructions, the layout
// application with its notice, the repair tool, and the update commands.
#include "aboutbox.h"
#include "externaltools.h"
#include "forms.h"
#include "inifile.h"
#include "mainformfixture.h"
#include "mehrplatzform.h"
#include "modal.h"
#include "nolayoutwerkform.h"
#include "onlineupdate.h"
#include "paths.h"
#include "shellrecorder.h"
#include "updateserver.h"
#include "werbungform.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vt;

namespace {

// A stand-in for an outside program: a shell script that notes its working
// folder in "ran.txt" beside it; with "--stay" it keeps running instead.
QString writeTool(const QString &folder, const QString &name)
{
    const QString path = folder + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\nif [ \"$1\" = --stay ]; then while :; do sleep 0.1; done; fi\npwd > \"" +
            QFile::encodeName(folder) + "ran.txt\"\n");
    f.setPermissions(f.permissions() | QFile::ExeOwner);
    return path;
}

QString uninstallKey(const char *name)
{
    return QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + QLatin1String(name);
}

// Clicks a label or picture of a dialog that is on screen.
void clickOn(QWidget *w)
{
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// Shows a dialog the way the program would and waits for it.
void showAndWait(QDialog *d)
{
    d->show();
    d->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d));
}

// The dialogs shown modally during a test, each handled by the function
// given for it (the result code); the class names in order.
struct Dialogs
{
    QStringList shown;
    explicit Dialogs(std::function<int(QDialog *)> handle)
    {
        Modal::setHandler([this, handle](QDialog *d) {
            shown << QString::fromLatin1(d->metaObject()->className()).remove("vt::");
            return handle(d);
        });
    }
    ~Dialogs() { Modal::setHandler({}); }
};

} // namespace

class TestInfoWindows : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        UsePrivateHome(m_home);
        TOnlineUpdate::setStartDelay(10);
    }
    void cleanup()
    {
        // The uninstall keys go with the store (a key without values still exists).
        QFile::remove(Registry::fileName());
        QFile::remove(BrandingFolder() + kResellerIdFileName);
    }

    void aboutBox_data()
    {
        QTest::addColumn<QString>("resellerId");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("mail");
        QTest::newRow("maker") << ""
                               << "www.halvicor.example"
                               << "support@halvicor.example";
        QTest::newRow("reseller id") << "r42"
                                     << "Kontakt"
                                     << "";
    }
    void aboutBox()
    {
        QFETCH(QString, resellerId);
        QFETCH(QString, link);
        QFETCH(QString, mail);
        if (!resellerId.isEmpty()) {
            QVERIFY(EnsureFolder(BrandingFolder()));
            QFile id(BrandingFolder() + kResellerIdFileName);
            QVERIFY(id.open(QIODevice::WriteOnly));
            id.write(resellerId.toUtf8());
        }
        StartedMain m;
        ShellRecorder shell;
        AboutBox()->FormCreate(); // as made under this product information
        QString name, version, linkText, mailText;
        Dialogs dialogs([&](QDialog *d) {
            auto *box = qobject_cast<TAboutBox *>(d);
            if (!box)
                return int(QDialog::Rejected);
            showAndWait(box);
            name = box->findChild<QLabel *>("ProductName")->text();
            version = box->findChild<QLabel *>("VersionLabel")->text();
            linkText = box->findChild<QLabel *>("URLLabel")->text();
            mailText = box->findChild<QLabel *>("MailLabel")->text();
            clickOn(box->findChild<QLabel *>("URLLabel"));
            box->MailLabelClick(); // an empty label offers nothing to click
            box->hide();
            return int(QDialog::Accepted);
        });
        m.form->commandAction("Info1")->trigger();
        QCOMPARE(dialogs.shown, QStringList{"TAboutBox"});
        QCOMPARE(AboutBox()->windowTitle(), ProductInfo().DisplayName);
        QCOMPARE(name, ProductInfo().DisplayName);
        QCOMPARE(version, QStringLiteral("Version 1.0"));
        QCOMPARE(linkText, link);
        QCOMPARE(mailText, mail);
        // The product page, for a reseller its variant with the id.
        const QString page = resellerId.isEmpty()
                                 ? "https://www.halvicor.example/vantrel/"
                                 : "https://www.halvicor.example/reseller/vantrel.php?id=" + resellerId;
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl(page), QUrl("mailto:support@halvicor.example")}));
    }

    void aboutBoxChecksForAnUpdate()
    {
        UpdateServer s;
        s.offer("1.0");
        StartedMain m;
        TProductInfo p = ProductInfo();
        p.UpdateServer = s.server.hostAndPort();
        SetProductInfo(p);
        m.form->show();
        OnlineUpdate()->updateCheck().setSslConfiguration(TestCertificates::instance().trustingClient());
        AboutBox()->findChild<QPushButton *>("UpdateButton")->click();
        QTRY_VERIFY(!m.boxes.isEmpty());
        QCOMPARE(m.boxes.takeTexts(), QStringList{"Es ist keine neuere Version verfügbar!"});
        QCOMPARE(s.descriptionRequests(), 1);
        m.form->hide();
    }

    void helpOpensItsPage()
    {
        StartedMain m;
        ShellRecorder shell;
        m.form->commandAction("Hilfedatei1")->trigger();
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(m.dir.file("help/help.html"))});
        QVERIFY(QFile::exists(shell.opened.first().toLocalFile()));
    }

    void tipsWindowAtClose_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::newRow("ticked") << true;
        QTest::newRow("not ticked") << false;
    }
    void tipsWindowAtClose()
    {
        QFETCH(bool, ticked);
        StartedMain m;
        ShellRecorder shell;
        // The user's folder is made when the marker goes into it.
        QVERIFY(QDir(m.state().UserDataFolder).removeRecursively());
        bool onTop = false, maximised = false;
        Dialogs dialogs([&](QDialog *d) {
            onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            maximised = d->windowState().testFlag(Qt::WindowMaximized);
            d->findChild<QPushButton *>("BitBtn3")->click();
            d->findChild<QCheckBox *>("CheckBox1")->setChecked(ticked);
            d->reject();
            return d->result();
        });
        m.form->close();
        QCOMPARE(dialogs.shown, QStringList{"TWerbungForm"});
        QVERIFY(onTop && maximised);
        QCOMPARE(shell.opened, QList<QUrl>{QUrl("https://www.halvicor.example/produkte/adressklar/")});
        QCOMPARE(QFile::exists(NoTipsFile()), ticked);
        if (ticked)
            QCOMPARE(QFileInfo(NoTipsFile()).size(), 0);
        // The next close asks the marker again.
        WerbungForm()->findChild<QCheckBox *>("CheckBox1")->setChecked(false);
        m.form->show();
        m.form->close();
        QCOMPARE(dialogs.shown.size(), ticked ? 1 : 2);
    }

    void multiUserInstructions()
    {
        StartedMain m;
        ShellRecorder shell;
        QString first;
        Dialogs dialogs([&](QDialog *d) {
            showAndWait(d);
            first = d->findChild<QLabel *>("Label1")->text();
            clickOn(d->findChild<QLabel *>("Label4"));
            d->hide();
            return int(QDialog::Accepted);
        });
        m.form->commandAction("BetriebsanleitungMehrplatzversion1")->trigger();
        QCOMPARE(dialogs.shown, QStringList{"TMehrplatzForm"});
        QCOMPARE(first, QStringLiteral("Kopieren Sie den kompletten Ordner \"/opt/vantrel\" mit allen Inhalten auf "
                                       "Ihren Server."));
        QCOMPARE(shell.opened, QList<QUrl>{QUrl(ProductInfo().ClientSetupUrl)});
    }

    void layoutApplication_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("key");  // empty: not installed
        QTest::addColumn<QString>("file"); // the program file in its folder
        QTest::addColumn<int>("notice");   // the notice's answer; -1: no notice
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("ran");
        QTest::addColumn<int>("pages");
        QTest::newRow("not installed, to the page") << "Halvicor"
                                                    << ""
                                                    << "" << int(QDialog::Accepted) << false << false << 1;
        QTest::newRow("not installed, notice left") << "Halvicor"
                                                    << ""
                                                    << "" << int(QDialog::Rejected) << false << false << 0;
        QTest::newRow("installed") << "Halvicor"
                                   << "Layoutwerk_is1"
                                   << "LAYOUTWERK.EXE" << -1 << false << true << 0;
        QTest::newRow("installed, name in another case") << "Halvicor"
                                                         << "Layoutwerk_is1"
                                                         << "Layoutwerk.exe" << -1 << false << true << 0;
        QTest::newRow("already running") << "Halvicor"
                                         << "Layoutwerk_is1"
                                         << "LAYOUTWERK.EXE" << -1 << true << false << 0;
        QTest::newRow("reseller brand") << "Qentra"
                                        << "Qentra Layoutwerk_is1"
                                        << "QENTRA-LAYOUTWERK.EXE" << -1 << false << true << 0;
        QTest::newRow("reseller brand, maker's program only")
            << "Qentra"
            << "Layoutwerk_is1"
            << "LAYOUTWERK.EXE" << int(QDialog::Accepted) << false << false << 1;
    }
    void layoutApplication()
    {
        QFETCH(QString, brand);
        QFETCH(QString, key);
        QFETCH(QString, file);
        QFETCH(int, notice);
        QFETCH(bool, running);
        QFETCH(bool, ran);
        QFETCH(int, pages);
        StartedMain m;
        TProductInfo p = ProductInfo();
        p.BrandCode = brand;
        SetProductInfo(p);
        ShellRecorder shell;
        QTemporaryDir tools;
        const QString folder = tools.path() + "/Layoutwerk pro/";
        QVERIFY(QDir().mkpath(folder));
        QProcess other;
        if (!key.isEmpty()) {
            const QString program = writeTool(folder, file);
            QVERIFY(!program.isEmpty());
            Registry::writeString(uninstallKey(qPrintable(key)), "InstallLocation", folder);
            if (running) {
                other.start(program, {"--stay"});
                QVERIFY(other.waitForStarted());
            }
        }
        Dialogs dialogs([&](QDialog *) { return notice; });
        // The button below the grid and the menu entry are one command.
        m.child<QPushButton>("Exe")->click();
        other.kill();
        other.waitForFinished();
        QCOMPARE(dialogs.shown, notice >= 0 ? QStringList{"TNoLayoutwerkForm"} : QStringList());
        QCOMPARE(m.boxes.takeTexts(), running ? QStringList{"Achtung! Layoutwerk ist bereits aktiv!"} : QStringList());
        QCOMPARE(QFile::exists(folder + "ran.txt"), ran);
        if (ran) {
            QFile f(folder + "ran.txt");
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromLocal8Bit(f.readAll()).trimmed() + "/", folder); // started in its folder
        }
        QCOMPARE(shell.opened, QList<QUrl>(pages, QUrl(ProductInfo().DesignerPageUrl)));
        SetProductInfo(MakeProductInfo(m.dir.file("vantrel"), BrandingFolder()));
    }

    // While the layout application runs the main window takes the user's input;
    // only starting it a second time is refused.
    void layoutApplicationLeavesTheWindowUsable()
    {
        MainOnScreen m({{{"Mail", "a@example.de"}}, {{"Mail", "b@example.de"}}, {{"Mail", "c@example.de"}}});
        ShellRecorder shell;
        QTemporaryDir tools;
        const QString folder = tools.path() + "/Layoutwerk pro/";
        QVERIFY(QDir().mkpath(folder));
        // Notes each start, then runs until told to end.
        QFile tool(folder + "LAYOUTWERK.EXE");
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\necho start >> started.txt\nwhile [ ! -f stop ]; do sleep 0.05; done\n");
        tool.close();
        tool.setPermissions(tool.permissions() | QFile::ExeOwner);
        Registry::writeString(uninstallKey("Layoutwerk_is1"), "InstallLocation", folder);
        m.goTo(0, "Mail");
        // Whatever goes wrong, the stand-in ends within a while.
        QTimer failsafe;
        failsafe.setInterval(20000);
        QObject::connect(&failsafe, &QTimer::timeout, [&] { QFile(folder + "stop").open(QIODevice::WriteOnly); });
        failsafe.start();

        int rowWhileRunning = -1;
        QStringList saidWhileRunning;
        QTimer::singleShot(0, m.form.get(), [&] {
            QTRY_VERIFY(QFile::exists(folder + "started.txt"));
            QTest::keyClick(m.grid(), Qt::Key_Down);
            QTest::keyClick(m.grid(), Qt::Key_Down);
            rowWhileRunning = m.grid()->currentIndex().row();
            m.child<QPushButton>("Exe")->click();
            saidWhileRunning = m.boxes.takeTexts();
            QFile stop(folder + "stop");
            QVERIFY(stop.open(QIODevice::WriteOnly));
        });
        m.child<QPushButton>("Exe")->click();
        QCOMPARE(rowWhileRunning, 2);
        QCOMPARE(saidWhileRunning, QStringList{"Achtung! Layoutwerk ist bereits aktiv!"});
        QFile started(folder + "started.txt");
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), QByteArray("start\n"));
        // Once it has ended, it starts again.
        QFile::remove(folder + "stop");
        QTimer::singleShot(0, m.form.get(), [&] {
            QTRY_COMPARE(QFileInfo(folder + "started.txt").size(), qint64(12));
            QFile stop(folder + "stop");
            QVERIFY(stop.open(QIODevice::WriteOnly));
        });
        m.child<QPushButton>("Exe")->click();
        QVERIFY(m.boxes.isEmpty());
    }

    void noticeLeadsToThePageBothWays()
    {
        StartedMain m;
        TNoLayoutwerkForm *notice = NoLayoutwerkForm();
        QVERIFY(!notice->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        for (const char *way : {"BitBtn1", "Label4"}) {
            showAndWait(notice);
            notice->setResult(QDialog::Rejected);
            if (QByteArray(way) == "BitBtn1")
                notice->findChild<QPushButton *>(way)->click();
            else
                clickOn(notice->findChild<QLabel *>(way));
            QCOMPARE(notice->result(), int(QDialog::Accepted));
            QVERIFY(!notice->isVisible());
        }
    }

    void repairTool_data()
    {
        QTest::addColumn<bool>("database");
        QTest::addColumn<int>("tool"); // 0 no key, 1 key without file, 2 the tool, 3 a file that cannot run
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("ran");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("pages");
        const QString ask = "ACHTUNG! Vantrel müsste zum Start der Reparatur beendet werden! Jetzt Vantrel beenden und "
                            "Reparaturprogramm starten?";
        const int yes = int(MsgButton::Yes), no = int(MsgButton::No);
        QTest::newRow("no database") << false << 2 << -1 << QStringList() << false << false << 0;
        QTest::newRow("not installed: its page") << true << 0 << -1 << QStringList() << false << false << 1;
        QTest::newRow("key without the program") << true << 1 << -1 << QStringList() << false << false << 0;
        QTest::newRow("declined") << true << 2 << no << QStringList{ask} << false << false << 0;
        QTest::newRow("started, program closed") << true << 2 << yes << QStringList{ask} << true << true << 0;
        QTest::newRow("does not start: program stays")
            << true << 3 << yes << QStringList{ask, "Das Reparaturprogramm \"%1\" konnte nicht gestartet werden:"}
            << false << false << 0;
    }
    void repairTool()
    {
        QFETCH(bool, database);
        QFETCH(int, tool);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        QFETCH(bool, ran);
        QFETCH(bool, closed);
        QFETCH(int, pages);
        StartedMain m;
        ShellRecorder shell;
        QTemporaryDir tools;
        const QString folder = tools.path() + "/Mendora/";
        QVERIFY(QDir().mkpath(folder));
        QString program = folder + "mendora.exe";
        if (tool >= 1)
            Registry::writeString(uninstallKey("Mendora_is1"), "InstallLocation", folder);
        if (tool == 2)
            QCOMPARE(writeTool(folder, "mendora.exe"), program);
        if (tool == 3) {
            QFile f(program);
            QVERIFY(f.open(QIODevice::WriteOnly)); // not executable
        }
        if (!database)
            m.state().FreeTableComponents();
        if (answer >= 0)
            m.boxes.answer(MsgButton(answer));
        QFile::remove(NoTipsFile()); // a hand-over shows no tips window
        m.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m.form.get()));
        Dialogs dialogs([](QDialog *) { return int(QDialog::Accepted); });
        m.form->commandAction("DatenbankWartung1")->trigger();
        QStringList said = m.boxes.takeTexts();
        if (!boxes.isEmpty() && said.size() == boxes.size())
            said.last() = said.last().section('\n', 0, 0);
        QCOMPARE(said, QStringList(boxes).replaceInStrings("%1", program));
        if (ran)
            QTRY_VERIFY(QFile::exists(folder + "ran.txt"));
        else
            QVERIFY(!QFile::exists(folder + "ran.txt"));
        QCOMPARE(m.form->isVisible(), !closed);
        QVERIFY(dialogs.shown.isEmpty());
        // The normal close saved the settings.
        QCOMPARE(IniFile(m.dir.file("config.ini")).valueExists("Database", "Checkdoublettes"), closed);
        QCOMPARE(shell.opened, QList<QUrl>(pages, QUrl(ProductInfo().RepairToolPageUrl)));
        m.form->hide();
    }

    void checkAtStartSwitch_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("on");
        QTest::newRow("no Update.ini") << QByteArray() << false;
        QTest::newRow("on") << QByteArray("[Update]\r\nActive=1\r\n") << true;
    }
    void checkAtStartSwitch()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, on);
        UpdateServer s;
        s.offer("1.0");
        StartedMain m([&](TestFolder &dir) {
            if (!settings.isEmpty())
                dir.write("Update.ini", settings);
        });
        TProductInfo p = ProductInfo();
        p.UpdateServer = s.server.hostAndPort();
        SetProductInfo(p);
        OnlineUpdate()->updateCheck().setSslConfiguration(TestCertificates::instance().trustingClient());
        m.form->show();
        QAction *entry = m.form->commandAction("NachUpdatessuchen1");
        QCOMPARE(entry->isChecked(), on);
        QCOMPARE(OnlineUpdate()->startCheckArmed(), on);
        QTRY_VERIFY(!OnlineUpdate()->startCheckArmed() && !OnlineUpdate()->updateCheck().isBusy());
        QCOMPARE(s.descriptionRequests(), on ? 1 : 0);
        QVERIFY(m.boxes.isEmpty());
        // The entry switches the check and writes it at once.
        entry->trigger();
        QCOMPARE(entry->isChecked(), !on);
        QCOMPARE(IniFile(m.dir.file("Update.ini")).readString("Update", "Active"), on ? "0" : "1");
        entry->trigger();
        QCOMPARE(IniFile(m.dir.file("Update.ini")).readString("Update", "Active"), on ? "1" : "0");
        // "Jetzt auf Updates überprüfen" says when nothing is new.
        m.form->commandAction("Update1")->trigger();
        QTRY_VERIFY(!m.boxes.isEmpty());
        QCOMPARE(m.boxes.takeTexts(), QStringList{"Es ist keine neuere Version verfügbar!"});
        m.form->hide();
    }

    void theUpdaterEndsTheProgramThroughItsNormalClose()
    {
        UpdateServer s;
        s.offer("2.0");
        QTemporaryDir tools;
        const QString updater = writeTool(tools.path() + "/", "updater");
        StartedMain m(
            [&](TestFolder &dir) { dir.write("Update.ini", "[Update]\r\nUpdater=" + updater.toUtf8() + "\r\n"); });
        TProductInfo p = ProductInfo();
        p.UpdateServer = s.server.hostAndPort();
        SetProductInfo(p);
        OnlineUpdate()->updateCheck().setSslConfiguration(TestCertificates::instance().trustingClient());
        OnlineUpdate()->DownloadFolder = tools.path() + "/Downloads";
        QFile::remove(NoTipsFile());
        m.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m.form.get()));
        m.boxes.answer(MsgButton::Yes);
        Dialogs dialogs([](QDialog *) { return int(QDialog::Accepted); });
        m.form->commandAction("Update1")->trigger();
        QTRY_VERIFY(!m.form->isVisible());
        QTRY_VERIFY(QFile::exists(tools.filePath("ran.txt")));
        QCOMPARE(m.boxes.takeTexts().size(), 2); // the question and the note before the hand-over
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(IniFile(m.dir.file("config.ini")).valueExists("Database", "Checkdoublettes"));
        OnlineUpdate()->DownloadFolder.clear();
    }
};

QTEST_MAIN(TestInfoWindows)
#include "tst_infowindows.moc"
