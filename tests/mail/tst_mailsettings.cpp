// The mail settings files: which file is in force, saving, garbage values, sender lists.
#include "inifile.h"
#include "mailsettings.h"
#include "testfolder.h"
#include "textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using vt::MailSettingsFiles;

namespace {

struct Folders
{
    TestFolder dir{true}; // the shipped files: Vantrel.ini, Data/AbsenderMails.ini ...
    QString app() const { return dir.path(); }
    QString data() const { return dir.path() + QStringLiteral("Data/"); }
    MailSettingsFiles files(const QString &databaseIniName) const { return {app(), data(), databaseIniName}; }
};

vt::MailSettings sample()
{
    vt::MailSettings s;
    s.smtpHost = QStringLiteral("smtp.example.com");
    s.smtpPort = QStringLiteral("587");
    s.smtpUserName = QStringLiteral("user");
    s.smtpPassword = QStringLiteral("p;w=\"ä€");
    s.popHost = QStringLiteral("pop.example.com");
    s.popAccount = QStringLiteral("konto");
    s.popPassword = QStringLiteral("geheim");
    s.popPort = QStringLiteral("995");
    s.xmailerType = 3;
    s.sslActive = true;
    s.charsetIndex = 3;
    s.popBeforeSmtp = true;
    s.authentication = false;
    s.delaySeconds = 2;
    return s;
}

} // namespace

class TestMailSettings : public QObject
{
    Q_OBJECT
private slots:
    void fileInForce_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QStringList>("appFiles"); // files made in the program folder
        QTest::addColumn<QString>("inForce");      // file name in force, relative to the program folder
        QTest::newRow("base database") << "Database.ini" << QStringList{} << "Vantrel.ini";
        QTest::newRow("base database ignores a file of its name")
            << "DATABASE.INI" << QStringList{"DATABASE.INI"} << "Vantrel.ini";
        QTest::newRow("other database without own file") << "kunden.ini" << QStringList{} << "Vantrel.ini";
        QTest::newRow("other database with own file") << "kunden.ini" << QStringList{"kunden.ini"} << "kunden.ini";
        QTest::newRow("own file found in other case") << "Kunden.INI" << QStringList{"kunden.ini"} << "kunden.ini";
        QTest::newRow("name of a program file") << "config.ini" << QStringList{"config.ini"} << "Vantrel.ini";
        QTest::newRow("program file in other case") << "buttons.ini" << QStringList{"Buttons.ini"} << "Vantrel.ini";
        QTest::newRow("the general file itself") << "vantrel.ini" << QStringList{} << "Vantrel.ini";
        QTest::newRow("not an ini name") << "kunden" << QStringList{"kunden"} << "Vantrel.ini";
        QTest::newRow("path outside the folder") << "../kunden.ini" << QStringList{} << "Vantrel.ini";
    }
    void fileInForce()
    {
        QFETCH(QString, database);
        QFETCH(QStringList, appFiles);
        QFETCH(QString, inForce);
        Folders f;
        for (const QString &name : appFiles)
            f.dir.write(name, "[SMTP]\r\nhost=own\r\n");
        const MailSettingsFiles files = f.files(database);
        QCOMPARE(files.settingsFileInForce(), f.app() + inForce);
        const bool own = inForce != QLatin1String("Vantrel.ini");
        QCOMPARE(files.databaseSettingsInForce(), own);
        QCOMPARE(files.read().smtpHost, own ? QStringLiteral("own") : QStringLiteral("Ihr SMTP Server"));
    }

    void saveForDatabaseThenDrop()
    {
        Folders f;
        const MailSettingsFiles files = f.files(QStringLiteral("kunden.ini"));
        QVERIFY(!files.databaseSettingsInForce());

        const auto r = files.save(true, sample(), {}, {QStringLiteral("a@b.de"), QStringLiteral("A")});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.target, f.app() + "kunden.ini");
        QVERIFY(files.databaseSettingsInForce());
        QCOMPARE(files.read().smtpHost, QStringLiteral("smtp.example.com"));
        // "Done" went into the database's file only; the general file still says the account is new.
        QVERIFY(files.read().firstSettingsDone);
        QVERIFY(!files.generalFirstSettingsDone());
        // The first save of a database's own list holds only the sender entered.
        QCOMPARE(vt::ReadLines(f.data() + "Absender-kunden.ini"), QStringList{"a@b.de <A>"});

        QVERIFY(files.deleteDatabaseSettings());
        QVERIFY(!files.databaseSettingsInForce());
        QVERIFY(!QFileInfo::exists(f.data() + "Absender-kunden.ini"));
        QCOMPARE(files.read().smtpHost, QStringLiteral("Ihr SMTP Server"));
    }

    void saveWritesEveryKeyInOrder()
    {
        TestFolder dir;
        QDir().mkpath(dir.file("Data"));
        const MailSettingsFiles files(dir.path(), dir.file("Data/"), QStringLiteral("Database.ini"));
        vt::MailSettings s = sample();
        s.smtpPassword = QStringLiteral("x");
        s.sslActive = false;
        QVERIFY(files.save(false, s, {}, {}).ok);
        QCOMPARE(dir.read("Vantrel.ini"),
                 QByteArray("[SMTP]\r\nhost=smtp.example.com\r\nport=587\r\nusername=user\r\npassword=x\r\n"
                            "[POP]\r\nhost=pop.example.com\r\nkonto=konto\r\npassword=geheim\r\nport=995\r\n"
                            "[XMAILER]\r\nType=3\r\n[SSL]\r\nactive=0\r\n[CodeSet]\r\nIndex=3\r\n"
                            "[POPvorSMTP]\r\nPOPvorSMTP=True\r\n[AUT]\r\nAuthentification=False\r\n"
                            "[DELAY]\r\ndelay=2\r\n[FIRSTSETTINGS]\r\nFirstSettingsDone=Done\r\n"));
        // Files with passwords are for their owner only.
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                            QFile::WriteOther | QFile::ExeOther;
        for (const char *name : {"Vantrel.ini", "proxy.ini"}) {
            const QFile::Permissions p = QFileInfo(dir.file(name)).permissions();
            QVERIFY(p.testFlags(QFile::ReadOwner | QFile::WriteOwner));
            QVERIFY2(!(p & others), name);
        }
    }

    void saveRoundTripKeepsForeignLines()
    {
        Folders f;
        f.dir.write("Vantrel.ini", "; Kommentar\r\n[Eigenes]\r\nwert=1\r\n[SMTP]\r\nhost=alt\r\nextra=bleibt\r\n");
        const MailSettingsFiles files = f.files(QStringLiteral("Database.ini"));
        vt::ProxySettings proxy{true, QStringLiteral(" proxy.local "), QStringLiteral("8080"), QStringLiteral("pu"),
                                QStringLiteral("pp")};
        QVERIFY(files.save(true, sample(), proxy, {QStringLiteral("a@b.de"), QStringLiteral("A")}).ok);

        const vt::MailSettings back = files.read();
        const vt::MailSettings want = sample();
        QCOMPARE(back.smtpPassword, want.smtpPassword); // ';', '=', '"', 'ä' and '€' survive
        QCOMPARE(back.smtpPort, want.smtpPort);
        QCOMPARE(back.popPort, want.popPort);
        QCOMPARE(back.xmailerType, 3);
        QCOMPARE(back.sslActive, true);
        QCOMPARE(back.charsetIndex, 3);
        QCOMPARE(back.popBeforeSmtp, true);
        QCOMPARE(back.authentication, false);
        QCOMPARE(back.delaySeconds, 2);
        QVERIFY(files.generalFirstSettingsDone());

        const vt::IniFile ini(files.generalFile());
        QCOMPARE(ini.readString("Eigenes", "wert"), QStringLiteral("1"));
        QCOMPARE(ini.readString("SMTP", "extra"), QStringLiteral("bleibt"));
        QVERIFY(f.dir.read("Vantrel.ini").startsWith("; Kommentar\r\n[Eigenes]\r\n"));

        const vt::ProxySettings p = files.readProxy();
        QVERIFY(p.basicAuthentication);
        QCOMPARE(p.server, QStringLiteral("proxy.local"));
        QCOMPARE(p.port, QStringLiteral("8080"));
    }

    void garbageGivesDefaults_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("xmailer");
        QTest::addColumn<int>("charset");
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<bool>("popBeforeSmtp");
        QTest::addColumn<QString>("popPort");
        QTest::newRow("empty file") << QByteArray() << 0 << 0 << 0 << false << false << "110";
        QTest::newRow("out of range") << QByteArray(
                                             "[XMAILER]\r\nType=9\r\n[CodeSet]\r\nIndex=4\r\n[DELAY]\r\ndelay=-3\r\n")
                                      << 0 << 0 << 0 << false << false << "110";
        QTest::newRow("not numbers")
            << QByteArray(
                   "[XMAILER]\r\nType=zwei\r\n[CodeSet]\r\nIndex=x\r\n[DELAY]\r\ndelay=5s\r\n[SSL]\r\nactive=ja\r\n")
            << 0 << 0 << 0 << false << false << "110";
        QTest::newRow("only exact True counts")
            << QByteArray("[POPvorSMTP]\r\nPOPvorSMTP=true\r\n[SSL]\r\nactive=2\r\n") << 0 << 0 << 0 << true << false
            << "110";
        QTest::newRow("good values") << QByteArray(
                                            "[XMAILER]\r\nType=5\r\n[CodeSet]\r\nIndex=2\r\n[DELAY]\r\ndelay=7\r\n"
                                            "[POPvorSMTP]\r\nPOPvorSMTP=True\r\n[POP]\r\nport=995\r\n")
                                     << 5 << 2 << 7 << false << true << "995";
    }
    void garbageGivesDefaults()
    {
        QFETCH(QByteArray, file);
        Folders f;
        f.dir.write("Vantrel.ini", file);
        const vt::MailSettings s = f.files("Database.ini").read();
        QTEST(s.xmailerType, "xmailer");
        QTEST(s.charsetIndex, "charset");
        QTEST(s.delaySeconds, "delay");
        QTEST(s.sslActive, "ssl");
        QTEST(s.popBeforeSmtp, "popBeforeSmtp");
        QTEST(s.popPort, "popPort");
    }

    void missingGeneralFile()
    {
        TestFolder dir;
        const MailSettingsFiles files(dir.path(), dir.file("Data/"), QStringLiteral("Database.ini"));
        QVERIFY(!files.generalFileExists());
        QCOMPARE(files.missingGeneralFileText(), "Inifile " + dir.path() + "Vantrel.ini not found!");
        QCOMPARE(files.read().smtpHost, QString());
        QCOMPARE(files.readProxy().server, QString()); // a missing proxy.ini reads as empty
    }

    void portNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("plain") << "25" << 25;
        QTest::newRow("blanks") << " 465 " << 465;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("words") << "fünfundzwanzig" << 0;
        QTest::newRow("too large") << "70000" << 0;
        QTest::newRow("negative") << "-25" << 0;
    }
    void portNumbers()
    {
        QFETCH(QString, text);
        QTEST(int(vt::PortNumber(text)), "port");
    }

    void senderLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("address and name") << "a@b.de <Max Muster>"
                                          << "a@b.de"
                                          << "Max Muster";
        QTest::newRow("no bracket") << "  a@b.de  "
                                    << "a@b.de"
                                    << "";
        QTest::newRow("blanks inside") << " a@b.de   <  Max  > "
                                       << "a@b.de"
                                       << "Max  ";
        QTest::newRow("closing bracket missing keeps the name") << "a@b.de <Max"
                                                                << "a@b.de"
                                                                << "Max";
        QTest::newRow("second bracket ends the name") << "a@b.de <Max <Moritz>"
                                                      << "a@b.de"
                                                      << "Max";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }
    void senderLines()
    {
        QFETCH(QString, line);
        const vt::Sender s = vt::ParseSenderLine(line);
        QTEST(s.address, "address");
        QTEST(s.name, "name");
    }

    void senderListCopiedWhenMissing()
    {
        Folders f;
        f.dir.write("kunden.ini", "[SMTP]\r\nhost=own\r\n");
        f.dir.write("Data/AbsenderMails.ini", "a@b.de <A>\r\nc@d.de <C>\r\n");
        const MailSettingsFiles files = f.files("kunden.ini");
        const auto list = files.readSenderList();
        QVERIFY(list.ok);
        QCOMPARE(list.lines, (QStringList{"a@b.de <A>", "c@d.de <C>"}));
        QCOMPARE(f.dir.read("Data/Absender-kunden.ini"), QByteArray("a@b.de <A>\r\nc@d.de <C>\r\n"));

        // A database's own list wins over the general one from then on.
        f.dir.write("Data/Absender-kunden.ini", "own@x.de <Own>\r\n");
        QCOMPARE(files.readSenderList().lines, QStringList{"own@x.de <Own>"});
    }

    void senderListMissingIsReported()
    {
        Folders f;
        QFile::remove(f.data() + "AbsenderMails.ini");
        for (const char *db : {"Database.ini", "kunden.ini"}) {
            f.dir.write("kunden.ini", "[SMTP]\r\n");
            const auto list = f.files(db).readSenderList();
            QVERIFY(!list.ok);
            QVERIFY2(list.error.contains(f.data() + "AbsenderMails.ini"), qPrintable(list.error));
        }
        QVERIFY(!QFileInfo::exists(f.data() + "Absender-kunden.ini"));
    }

    void generalSaveReplacesOnlyTheFirstSender()
    {
        Folders f;
        f.dir.write("Data/AbsenderMails.ini", "old <Old>\r\nzwei@x.de <Zwei>\r\ndrei@x.de\r\n");
        const auto r = f.files("Database.ini").save(false, sample(), {}, {" neu@x.de ", " Neu "});
        QVERIFY(r.ok);
        const QStringList want{"neu@x.de <Neu>", "zwei@x.de <Zwei>", "drei@x.de"};
        QCOMPARE(r.senderLines, want);
        QCOMPARE(vt::ReadLines(f.data() + "AbsenderMails.ini"), want);
    }

    void reservedNameCannotOverwriteProgramFile()
    {
        Folders f;
        f.dir.write("config.ini", "[Database]\r\nGridEdit=1\r\n");
        const QByteArray before = f.dir.read("config.ini");
        const auto r = f.files("config.ini").save(true, sample(), {}, {"a@b.de", "A"});
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("config.ini"));
        QCOMPARE(f.dir.read("config.ini"), before);
        QVERIFY(!QFileInfo::exists(f.data() + "Absender-config.ini"));
        QVERIFY(MailSettingsFiles::isReservedDatabaseName("Update.INI"));
        QVERIFY(!MailSettingsFiles::isReservedDatabaseName("kunden.ini"));
    }

    void unwritableTargetIsReported()
    {
        Folders f;
        // A folder where the database's file would go: the save cannot replace it.
        QDir().mkpath(f.app() + "kunden.ini");
        f.dir.write("kunden.ini/x", "");
        const auto r = f.files("kunden.ini").save(true, sample(), {}, {"a@b.de", "A"});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith("Die Datei " + f.app() + "kunden.ini"), qPrintable(r.error));
        QVERIFY(!QFileInfo::exists(f.data() + "Absender-kunden.ini"));
    }
};

QTEST_GUILESS_MAIN(TestMailSettings)
#include "tst_mailsettings.moc"
