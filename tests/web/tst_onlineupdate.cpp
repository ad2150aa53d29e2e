// The update window against an HTTPS server on loopback: the check at start and
// from the menu, the question, the download with its progress window, and the
// hand-over to the updater command.
#include "messagerecorder.h"
#include "onlineupdate.h"
#include "shellrecorder.h"
#include "updateserver.h"
#include "waitrecorder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vt;

namespace {

const QString kNoNewer = QStringLiteral("Es ist keine neuere Version verfügbar!");
const QString kUnreachable =
    QStringLiteral("Zielserver ist nicht erreichbar. Bitte überprüfen Sie Ihre Internet Einstellungen.");

// The update window of a program of version 1.0 over a program folder, with
// downloads going to a folder of its own.
struct Updater
{
    MessageRecorder boxes;
    ShellRecorder shell;
    QTemporaryDir dir;
    TOnlineUpdate window;
    int closes = 0;

    explicit Updater(const UpdateServer &s, const QByteArray &settings = {})
    {
        if (!settings.isEmpty()) {
            QFile f(dir.filePath("Update.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(settings);
        }
        window.DownloadFolder = downloads();
        window.CloseProgram = [this] {
            ++closes;
            return true;
        };
        window.updateCheck().setSslConfiguration(TestCertificates::instance().trustingClient());
        window.SetupUpdate(" Version 1.0 ", dir.filePath("Update.ini"), "http://" + s.serverPath(),
                           "vantrel_update.inf", 1);
    }
    QString downloads() const { return dir.filePath("Downloads") + '/'; }
    QStringList downloaded() const { return QDir(downloads()).entryList(QDir::Files | QDir::Hidden); }
    // Waits until the check, and a download it started, have ended.
    void settle()
    {
        QTRY_VERIFY(!window.startCheckArmed() && !window.updateCheck().isBusy());
        QTest::qWait(20);
    }
};

QString question(const char *last)
{
    return QStringLiteral("Eine neue Version ist verfügbar.\n\nAktuelle Version: 1.0\nNeue Version: 2.0\n\n") +
           QString::fromUtf8(last);
}

} // namespace

class TestOnlineUpdate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TOnlineUpdate::setStartDelay(10); }

    void switchForTheCheckAtStart_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("on");
        QTest::newRow("no file") << QByteArray() << false;
        QTest::newRow("on") << QByteArray("[Update]\r\nActive=1\r\n") << true;
        QTest::newRow("off") << QByteArray("[update]\r\nactive=0\r\n") << false;
    }
    void switchForTheCheckAtStart()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, on);
        UpdateServer s;
        s.offer("1.0");
        Updater u(s, settings);
        QCOMPARE(u.window.CheckAtStartIfEnabled(true), on);
        QCOMPARE(u.window.startCheckArmed(), on);
        u.settle();
        QCOMPARE(s.descriptionRequests(), on ? 1 : 0);
        QVERIFY(u.boxes.isEmpty()); // nothing new: silence at start
        u.window.SetCheckAtStart(!on);
        QCOMPARE(UpdateSettings::readCheckAtStart(u.window.settingsFile(), on), !on);
    }

    void nothingNewOrNoServer_data()
    {
        QTest::addColumn<bool>("now");
        QTest::addColumn<bool>("serverStopped");
        QTest::addColumn<QString>("box");
        QTest::newRow("same version, from the menu") << true << false << kNoNewer;
        QTest::newRow("same version, at start") << false << false << "";
        QTest::newRow("server stopped, from the menu") << true << true << kUnreachable;
        QTest::newRow("server stopped, at start") << false << true << "";
    }
    void nothingNewOrNoServer()
    {
        QFETCH(bool, now);
        QFETCH(bool, serverStopped);
        QFETCH(QString, box);
        UpdateServer s;
        s.offer("1.0.0");
        Updater u(s);
        if (serverStopped)
            s.server.stop();
        u.window.CheckForUpdate(now);
        u.settle();
        QCOMPARE(u.boxes.takeTexts(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    void aCheckFromTheMenuReplacesTheOneAtStart()
    {
        UpdateServer s;
        s.offer("1.0");
        Updater u(s, "[Update]\r\nActive=1\r\n");
        QVERIFY(u.window.CheckAtStartIfEnabled(true));
        u.window.CheckForUpdate(true);
        QVERIFY(!u.window.startCheckArmed());
        u.settle();
        QCOMPARE(s.descriptionRequests(), 1);
        QCOMPARE(u.boxes.takeTexts(), QStringList{kNoNewer});
    }

    // The check the user asked for shows what it does and can be ended; the check
    // at start goes on unseen.
    void aCheckFromTheMenuCanBeEnded()
    {
        WaitRecorder waits;
        waits.cancelAfterMs = 100;
        UpdateServer s;
        s.server.serve(UpdateServer::descriptionPath,
                       HttpsServer::Answer{200, UpdateServer::description("2.0", "x", 1, "aa"), -1, 5, {}});
        Updater u(s);
        u.window.CheckForUpdate(true);
        QVERIFY(u.window.updateCheck().isBusy());
        QTRY_COMPARE(waits.openWaits(), 0);
        QVERIFY(!u.window.updateCheck().isBusy());
        QCOMPARE(waits.texts, QStringList{"Suche nach Aktualisierungen..."});
        QVERIFY(u.boxes.isEmpty());

        s.offer("1.0");
        u.window.CheckForUpdate(false);
        u.settle();
        QCOMPARE(waits.texts.size(), 1);
    }

    void newerVersionIsFetchedAndItsFolderOpened_data()
    {
        QTest::addColumn<bool>("now");
        QTest::newRow("from the menu") << true;
        QTest::newRow("at start") << false;
    }
    void newerVersionIsFetchedAndItsFolderOpened()
    {
        QFETCH(bool, now);
        UpdateServer s;
        s.offer("2.0");
        Updater u(s);
        u.boxes.answer(MsgButton::Yes);
        u.window.CheckForUpdate(now);
        u.settle();
        const QString file = u.downloads() + "vantrel-2.0.tar.gz";
        QCOMPARE(u.boxes.takeTexts(),
                 (QStringList{question("Möchten Sie diese Installationsdatei herunterladen?"),
                              "Die Installationsdatei wurde heruntergeladen und geprüft:\n" + file +
                                  "\n\nInstallieren Sie die neue Version damit, nachdem Sie das Programm beendet "
                                  "haben. Der Ordner mit der Datei wird jetzt geöffnet."}));
        // The progress window went along to the end.
        TUpdateProgressForm *progress = u.window.progressForm();
        QVERIFY(progress && !progress->isVisible());
        QCOMPARE(progress->findChild<QLabel *>("FileLabel")->text(), QStringLiteral("Datei: vantrel-2.0.tar.gz"));
        QCOMPARE(progress->findChild<QProgressBar *>("ProgressBar")->value(), 1000);
        QCOMPARE(u.downloaded(), QStringList{"vantrel-2.0.tar.gz"});
        QCOMPARE(u.shell.opened, QList<QUrl>{QUrl::fromLocalFile(u.downloads())});
        QCOMPARE(u.closes, 0);
    }

    void declinedOrCorrupt_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("badHash");
        QTest::addColumn<QString>("box");
        QTest::newRow("declined") << false << false << "";
        QTest::newRow("wrong hash") << true << true << "Aktualisierung abgebrochen. Datei korrupt: vantrel-2.0.tar.gz";
    }
    void declinedOrCorrupt()
    {
        QFETCH(bool, accept);
        QFETCH(bool, badHash);
        QFETCH(QString, box);
        UpdateServer s;
        s.offer("2.0", badHash ? QByteArray(64, '0') : s.fileHash());
        Updater u(s);
        u.boxes.answer(accept ? MsgButton::Yes : MsgButton::No);
        u.window.CheckForUpdate(true);
        u.settle();
        QStringList expected{question("Möchten Sie diese Installationsdatei herunterladen?")};
        if (!box.isEmpty())
            expected << box;
        QCOMPARE(u.boxes.takeTexts(), expected);
        QCOMPARE(s.fileRequests(), accept ? 1 : 0);
        QCOMPARE(u.downloaded(), QStringList());
        QVERIFY(u.shell.opened.isEmpty());
        QVERIFY(!u.window.progressForm() || !u.window.progressForm()->isVisible());
    }

    void cancellingAsksFirst()
    {
        UpdateServer s;
        s.offer("2.0");
        s.server.serve(UpdateServer::filePath, HttpsServer::Answer{200, s.file, -1, 40000, {}});
        Updater u(s);
        u.boxes.answer(MsgButton::Yes);
        u.window.CheckForUpdate(true);
        QTRY_VERIFY(u.window.progressForm() && u.window.progressForm()->isVisible());
        auto *progress = u.window.progressForm()->findChild<QProgressBar *>("ProgressBar");
        QTRY_VERIFY(progress->value() > 0);
        auto *cancel = u.window.progressForm()->findChild<QPushButton *>("CancelButton");
        const QString really = "Die Aktualisierung ist noch nicht abgeschlossen. Möchten Sie wirklich abbrechen?";
        u.boxes.answer(MsgButton::No);
        cancel->click();
        QCOMPARE(u.boxes.takeTexts().last(), really);
        QVERIFY(u.window.updateCheck().isBusy() && u.window.progressForm()->isVisible());
        u.boxes.answer(MsgButton::Yes);
        cancel->click();
        QCOMPARE(u.boxes.takeTexts(), QStringList{really});
        QVERIFY(!u.window.updateCheck().isBusy() && !u.window.progressForm()->isVisible());
        QTest::qWait(50);
        QVERIFY(u.boxes.isEmpty());
        QCOMPARE(u.downloaded(), QStringList());
    }

    void theUpdaterTakesOver()
    {
        UpdateServer s;
        s.offer("2.0");
        QTemporaryDir tools;
        const QString script = tools.filePath("install-update");
        const QString said = tools.filePath("said.txt");
        {
            QFile f(script);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + said.toUtf8() + ".part\"\nmv \"" + said.toUtf8() +
                    ".part\" \"" + said.toUtf8() + "\"\n");
            f.setPermissions(f.permissions() | QFile::ExeOwner);
        }
        Updater u(s, "[Update]\r\nUpdater=\"" + script.toUtf8() + "\" --wait {pid}\r\n");
        u.boxes.answer(MsgButton::Yes);
        u.window.CheckForUpdate(true);
        u.settle();
        QCOMPARE(u.boxes.takeTexts(),
                 (QStringList{question("Möchten Sie diese Installationsdatei herunterladen und ausführen?"),
                              "Installationsdatei wurde erfolgreich heruntergeladen. Drücken Sie OK um das Setup zu "
                              "starten."}));
        QTRY_VERIFY(QFile::exists(said));
        QFile f(said);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"--wait", QString::number(QCoreApplication::applicationPid()),
                              u.downloads() + "vantrel-2.0.tar.gz"}));
        QCOMPARE(u.closes, 1);
        QVERIFY(u.shell.opened.isEmpty());
    }

    void anUpdaterThatDoesNotStartLeavesTheProgramOpen()
    {
        UpdateServer s;
        s.offer("2.0");
        QTemporaryDir tools;
        const QString missing = tools.filePath("no-such-updater");
        Updater u(s, "[Update]\r\nUpdater=" + missing.toUtf8() + "\r\n");
        u.boxes.answer(MsgButton::Yes);
        u.window.CheckForUpdate(true);
        u.settle();
        const QStringList boxes = u.boxes.takeTexts();
        QCOMPARE(boxes.size(), 3);
        const QString file = u.downloads() + "vantrel-2.0.tar.gz";
        QVERIFY2(boxes.last().startsWith("Das Aktualisierungsprogramm \"" + missing +
                                         "\" konnte nicht gestartet "
                                         "werden:\n"),
                 qPrintable(boxes.last()));
        QVERIFY(boxes.last().endsWith("Die Installationsdatei finden Sie hier:\n" + file));
        QCOMPARE(u.closes, 0);
        QVERIFY(QFile::exists(file));
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
