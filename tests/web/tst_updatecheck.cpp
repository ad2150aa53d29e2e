// The update check without windows: version numbers, the description file, the
// updater command, and checks and downloads against an HTTPS server on loopback.
#include "updatecheck.h"
#include "updateserver.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vt;

namespace {

const QString kSha = QString(64, QLatin1Char('a'));

// The message with the server's address in place of "%1".
QString withAddress(const QString &message, const QUrl &address)
{
    return QString(message).replace(QLatin1String("%1"), address.toString());
}

// A check against the server, trusting the test authority.
struct Check
{
    UpdateCheck check;
    QSignalSpy upToDate{&check, &UpdateCheck::upToDate};
    QSignalSpy newer{&check, &UpdateCheck::newerVersion};
    QSignalSpy failed{&check, &UpdateCheck::failed};
    QSignalSpy downloaded{&check, &UpdateCheck::downloaded};
    QSignalSpy progress{&check, &UpdateCheck::progress};

    Check(const UpdateServer &s, const QString &version)
    {
        check.setCurrentVersion(version);
        check.setDescriptionUrl(s.server.url(UpdateServer::descriptionPath));
        check.setSslConfiguration(TestCertificates::instance().trustingClient());
    }
    // Runs the check to its end.
    void run()
    {
        check.check();
        QTRY_VERIFY(!check.isBusy());
    }
    QString failure() const { return failed.isEmpty() ? QString() : failed.last().at(0).toString(); }
    UpdateDescription offered() const { return newer.last().at(0).value<UpdateDescription>(); }
};

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<UpdateDescription>(); }

    void versionNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number");
        QTest::newRow("blanks around") << " Version 9.7.4 "
                                       << "9.7.4";
        QTest::newRow("without the word") << " 9.7.4\t"
                                          << "9.7.4";
        QTest::newRow("any case") << "version 9"
                                  << "9";
        QTest::newRow("word inside") << "Professional Version 2.1"
                                     << "Professional 2.1";
    }
    void versionNumbers()
    {
        QFETCH(QString, text);
        QFETCH(QString, number);
        QCOMPARE(UpdateVersionNumber(text), number);
    }

    void serverPaths_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "www.example.de/downloads/inf/"
                               << "www.example.de/downloads/inf/";
        QTest::newRow("http") << "http://www.example.de/downloads/inf/"
                              << "www.example.de/downloads/inf/";
        QTest::newRow("HTTP, twice") << "HTTP://http://h/d/"
                                     << "h/d/";
        QTest::newRow("https") << "https://h/d/"
                               << "h/d/";
    }
    void serverPaths()
    {
        QFETCH(QString, given);
        QFETCH(QString, stored);
        QCOMPARE(UpdateServerPath(given), stored);
    }

    void versionOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("numbers, not text") << "9.10"
                                           << "9.9" << 1;
        QTest::newRow("equal") << "9.7.4"
                               << "9.7.4" << 0;
        QTest::newRow("missing parts are 0") << "1.0"
                                             << "1.0.0" << 0;
        QTest::newRow("longer is newer") << "1.0.1"
                                         << "1.0" << 1;
        QTest::newRow("older") << "1.9.9"
                               << "2" << -1;
        QTest::newRow("leading zero") << "1.01"
                                      << "1.1" << 0;
    }
    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(std::clamp(CompareVersions(a, b), -1, 1), order);
        QCOMPARE(std::clamp(CompareVersions(b, a), -1, 1), -order);
    }

    void descriptions_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("problem"); // empty: sound
        QTest::addColumn<QString>("file");    // the address it resolves to
        QTest::addColumn<QString>("name");
        const QByteArray sha = kSha.toLatin1();
        QTest::newRow("relative file") << UpdateServer::description("2.0", "../v-2.0.tar.gz", 10, sha) << ""
                                       << "https://h.example/downloads/v-2.0.tar.gz"
                                       << "v-2.0.tar.gz";
        QTest::newRow("absolute file") << UpdateServer::description("2.0", "https://cdn.example/x/v.deb", 10, sha) << ""
                                       << "https://cdn.example/x/v.deb"
                                       << "v.deb";
        QTest::newRow("keys in any case")
            << QByteArray("[UPDATE]\nversion = 2.0\nFILE=v.deb\nsize=10\nsha256=" + sha + "\n") << ""
            << "https://h.example/downloads/inf/v.deb"
            << "v.deb";
        QTest::newRow("no section") << QByteArray("Version=2.0\nFile=v.deb\nSize=10\nSHA256=" + sha) << "Version"
                                    << ""
                                    << "";
        QTest::newRow("version not numbers") << UpdateServer::description("2.0beta", "v.deb", 10, sha) << "Version"
                                             << ""
                                             << "";
        QTest::newRow("plain http file") << UpdateServer::description("2.0", "http://h.example/v.deb", 10, sha)
                                         << "File"
                                         << ""
                                         << "";
        QTest::newRow("no file") << UpdateServer::description("2.0", "", 10, sha) << "File"
                                 << ""
                                 << "";
        QTest::newRow("a folder in the name")
            << UpdateServer::description("2.0", "..%2F..%2F.profile", 10, sha) << "File"
            << ""
            << "";
        QTest::newRow("hidden file") << UpdateServer::description("2.0", ".bashrc", 10, sha) << "File"
                                     << ""
                                     << "";
        QTest::newRow("size not a number") << UpdateServer::description("2.0", "v.deb", 0, sha) << "Size"
                                           << ""
                                           << "";
        QTest::newRow("negative size") << QByteArray("[Update]\nVersion=2\nFile=v.deb\nSize=-5\nSHA256=" + sha)
                                       << "Size"
                                       << ""
                                       << "";
        QTest::newRow("short hash") << UpdateServer::description("2.0", "v.deb", 10, "abc") << "SHA256"
                                    << ""
                                    << "";
    }
    void descriptions()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        QFETCH(QString, file);
        QFETCH(QString, name);
        QString error;
        const UpdateDescription d =
            ParseUpdateDescription(text, QUrl("https://h.example/downloads/inf/vantrel_update.inf"), &error);
        if (!problem.isEmpty()) {
            QCOMPARE(
                error,
                QStringLiteral("Die Beschreibung der neuen Version auf dem Server ist fehlerhaft (%1).").arg(problem));
            return;
        }
        QCOMPARE(error, QString());
        QCOMPARE(d.version, QStringLiteral("2.0"));
        QCOMPARE(d.file.toString(), file);
        QCOMPARE(d.fileName, name);
        QCOMPARE(d.size, 10);
        QCOMPARE(d.sha256, QByteArray::fromHex(kSha.toLatin1()));
    }

    void updaterCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("line");
        QTest::newRow("file appended") << "/opt/up/install --quiet"
                                       << QStringList{"/opt/up/install", "--quiet", "/d/v.deb"};
        QTest::newRow("placeholders, quoted") << "\"/opt/my updater\" --wait {pid} --file={file}"
                                              << QStringList{"/opt/my updater", "--wait", "4711", "--file=/d/v.deb"};
        QTest::newRow("no shell") << "sh -c 'rm x'; reboot"
                                  << QStringList{"sh", "-c", "'rm", "x';", "reboot", "/d/v.deb"};
        QTest::newRow("none") << "" << QStringList{};
    }
    void updaterCommand()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, line);
        QCOMPARE(UpdaterCommandLine(command, "/d/v.deb", 4711), line);
    }

    void progressLine()
    {
        // 65 s for half of 1 MiB: as long again to go.
        QCOMPARE(UpdateProgressText(65000, 512 * 1024, 1024 * 1024),
                 QStringLiteral("Fortschritt: 1.05 min, Verbleibend: 1.05 min  (512,00 von 1.024,00 Kb)"));
        QCOMPARE(UpdateProgressText(1500, 0, 2048),
                 QStringLiteral("Fortschritt: 0.01 min, Verbleibend: 0.00 min  (0,00 von 2,00 Kb)"));
    }

    void settings()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Update.ini");
        QCOMPARE(UpdateSettings::readCheckAtStart(ini, false), false); // missing file
        QCOMPARE(UpdateSettings::readCheckAtStart(ini, true), true);
        QVERIFY(UpdateSettings::writeCheckAtStart(ini, true));
        QCOMPARE(UpdateSettings::readCheckAtStart(ini, false), true);
        QVERIFY(UpdateSettings::writeCheckAtStart(ini, false));
        QCOMPARE(UpdateSettings::readCheckAtStart(ini, true), false);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Update]\r\nActive=0\r\n"));
    }

    void checkAgainstTheServer_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("newer");
        QTest::newRow("newer") << "Version 1.9.9"
                               << "2.0" << true;
        QTest::newRow("9.10 after 9.9") << "9.9"
                                        << "9.10" << true;
        QTest::newRow("same") << "2.0"
                              << "2.0" << false;
        QTest::newRow("older on the server") << "2.1"
                                             << "2.0.5" << false;
    }
    void checkAgainstTheServer()
    {
        QFETCH(QString, current);
        QFETCH(QString, offered);
        QFETCH(bool, newer);
        UpdateServer s;
        s.offer(offered.toLatin1());
        Check c(s, UpdateVersionNumber(current));
        c.run();
        QCOMPARE(c.newer.size(), newer ? 1 : 0);
        QCOMPARE(c.upToDate.size(), newer ? 0 : 1);
        QCOMPARE(c.failure(), QString());
        QCOMPARE(s.fileRequests(), 0); // nothing is fetched before the user agreed
        if (newer) {
            QCOMPARE(c.offered().version, offered);
            QCOMPARE(c.offered().file, s.server.url(UpdateServer::filePath));
        }
    }

    void failedChecks_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("server stopped")
            << 0 << "Zielserver ist nicht erreichbar. Bitte überprüfen Sie Ihre Internet Einstellungen.";
        QTest::newRow("no description")
            << 1
            << "Fehler 404 - auf folgende Datei kann nicht zugegriffen werden:\n%1/downloads/inf/vantrel_update.inf";
        QTest::newRow("server error")
            << 2 << "Der Update-Server meldet den Fehler 500 für:\n%1/downloads/inf/vantrel_update.inf";
        QTest::newRow("broken description")
            << 3 << "Die Beschreibung der neuen Version auf dem Server ist fehlerhaft (SHA256).";
        QTest::newRow("endless description")
            << 4 << "Die Beschreibung der neuen Version auf dem Server ist fehlerhaft (Größe).";
    }
    void failedChecks()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        UpdateServer s;
        Check c(s, "1.0");
        switch (fault) {
        case 0: s.server.stop(); break;
        case 1: break;
        case 2: s.server.serve(UpdateServer::descriptionPath, HttpsServer::Answer{500, "kaputt", -1, -1, {}}); break;
        case 3: s.offer("2.0", "zz"); break;
        case 4:
            s.server.serve(UpdateServer::descriptionPath,
                           "[Update]\r\n" + QByteArray(UpdateCheck::MaxDescriptionSize, ';'));
            break;
        }
        c.run();
        QCOMPARE(c.failure().replace('\r', '\n'), withAddress(message, s.server.url("")));
        QVERIFY(c.newer.isEmpty() && c.upToDate.isEmpty());
    }

    void aServerWithoutATrustedCertificateIsRefused()
    {
        UpdateServer s;
        s.offer("2.0");
        Check c(s, "1.0");
        c.check.setSslConfiguration(QSslConfiguration::defaultConfiguration());
        c.run();
        QVERIFY2(c.failure().startsWith("Die Verbindung zum Update-Server ist nicht sicher ("),
                 qPrintable(c.failure()));
        QCOMPARE(s.descriptionRequests(), 0);
    }

    void downloads_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message"); // empty: the file arrives
        const QString corrupt = "Aktualisierung abgebrochen. Datei korrupt: vantrel-2.0.tar.gz";
        QTest::newRow("sound") << 0 << "";
        QTest::newRow("wrong hash") << 1 << corrupt;
        QTest::newRow("more than announced") << 2 << corrupt;
        QTest::newRow("less than announced") << 3 << corrupt;
        QTest::newRow("connection lost") << 4
                                         << "Verbindung zum Server wurde unterbrochen. Bitte stellen Sie diese wieder "
                                            "her und versuchen Sie es erneut.";
        QTest::newRow("file gone") << 5 << "Fehler 404 - auf folgende Datei kann nicht zugegriffen werden:\n%1";
    }
    void downloads()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        UpdateServer s;
        s.offer("2.0");
        Check c(s, "1.0");
        c.run();
        QCOMPARE(c.newer.size(), 1);
        UpdateDescription d = c.offered();
        const QByteArray file = s.file;
        switch (fault) {
        case 1: d.sha256[0] = char(d.sha256[0] ^ 1); break;
        case 2: s.server.serve(UpdateServer::filePath, file + "x"); break;
        case 3: s.server.serve(UpdateServer::filePath, file.left(file.size() - 1)); break;
        case 4: s.server.serve(UpdateServer::filePath, HttpsServer::Answer{200, file, 100000, -1, {}}); break;
        case 5: s.server.serve(UpdateServer::filePath, HttpsServer::Answer{404, "weg", -1, -1, {}}); break;
        }
        QTemporaryDir target;
        const QString folder = target.path() + "/Downloads/"; // made when missing
        c.check.download(d, folder);
        QTRY_VERIFY(!c.check.isBusy());
        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        if (message.isEmpty()) {
            QCOMPARE(c.failure(), QString());
            QCOMPARE(c.downloaded.size(), 1);
            QCOMPARE(c.downloaded.last().at(0).toString(), folder + "vantrel-2.0.tar.gz");
            QCOMPARE(left, QStringList{"vantrel-2.0.tar.gz"});
            QFile f(folder + "vantrel-2.0.tar.gz");
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), file);
            QVERIFY(!c.progress.isEmpty());
            QCOMPARE(c.progress.last().at(0).toLongLong(), file.size());
            QCOMPARE(c.progress.last().at(1).toLongLong(), file.size());
        } else {
            QCOMPARE(c.failure().replace('\r', '\n'), withAddress(message, s.server.url(UpdateServer::filePath)));
            QVERIFY(c.downloaded.isEmpty());
            QCOMPARE(left, QStringList()); // nothing half-written stays behind
        }
    }

    // A server that trickles a byte now and then is given up: the description
    // after its whole limit, a download once too little came within a window.
    void slowServersAreGivenUp()
    {
        UpdateServer s;
        s.offer("2.0");
        Check c(s, "1.0");
        c.check.setLimits({500, 400, 500, 4096});
        const QByteArray description =
            UpdateServer::description("2.0", "../vantrel-2.0.tar.gz", s.file.size(), s.fileHash());
        s.server.serve(UpdateServer::descriptionPath, HttpsServer::Answer{200, description, -1, -1, {}, 40});
        c.run();
        QCOMPARE(c.failure(), QStringLiteral("Der Update-Server hat die Beschreibung der neuen Version nicht innerhalb "
                                             "von 1 Sekunde gesendet; die Suche nach Aktualisierungen wurde "
                                             "abgebrochen."));
        QVERIFY(c.newer.isEmpty());

        s.offer("2.0");
        c.run();
        QCOMPARE(c.newer.size(), 1);
        s.server.serve(UpdateServer::filePath, HttpsServer::Answer{200, s.file, -1, -1, {}, 20});
        QTemporaryDir target;
        c.check.download(c.offered(), target.path());
        QTRY_VERIFY(!c.check.isBusy());
        QCOMPARE(c.failure(), QStringLiteral("Die Verbindung zum Update-Server ist zu langsam (weniger als 2 KB in 1 "
                                             "Sekunde); der Download wurde abgebrochen. Bitte versuchen Sie es später "
                                             "noch einmal."));
        QVERIFY(c.downloaded.isEmpty());
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void cancellingDropsTheFile()
    {
        UpdateServer s;
        s.offer("2.0");
        s.server.serve(UpdateServer::filePath, HttpsServer::Answer{200, s.file, -1, 50000, {}});
        Check c(s, "1.0");
        c.run();
        QTemporaryDir target;
        c.check.download(c.offered(), target.path());
        QTRY_VERIFY(!c.progress.isEmpty());
        QVERIFY(c.check.isBusy());
        c.check.cancel();
        QVERIFY(!c.check.isBusy());
        QTest::qWait(50);
        QVERIFY(c.failed.isEmpty() && c.downloaded.isEmpty());
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
