// INI files with profile semantics, the checked reads and the registry store.
#include "checkedini.h"
#include "inifile.h"
#include "messagerecorder.h"
#include "registry.h"
#include "testfolder.h"

#include <QFile>
#include <QTest>

using namespace vt;

static const QByteArray kSample = "; settings\r\n"
                                  "[SMTP]\r\n"
                                  "Server = mail.example.de \r\n"
                                  "Port=587\r\n"
                                  "Quoted=\" two blanks \"\r\n"
                                  "Single='x'\r\n"
                                  "Half=\"open\r\n"
                                  "Hex=$1F\r\n"
                                  "Word=True\r\n"
                                  "Plus=+12\r\n"
                                  "Trail=12abc\r\n"
                                  "Empty=\r\n"
                                  "server=second\r\n"
                                  "\r\n"
                                  "[smtp]\r\n"
                                  "Server=later section\r\n"
                                  "Extra=only here\r\n"
                                  "[Other]\r\n"
                                  "Key=1\r\n";

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("trimmed") << "SMTP"
                                 << "Server"
                                 << "mail.example.de";
        QTest::newRow("names without regard to case") << "smtp"
                                                      << "SERVER"
                                                      << "mail.example.de";
        QTest::newRow("double quotes removed") << "SMTP"
                                               << "Quoted"
                                               << " two blanks ";
        QTest::newRow("single quotes removed") << "SMTP"
                                               << "Single"
                                               << "x";
        QTest::newRow("unpaired quote kept") << "SMTP"
                                             << "Half"
                                             << "\"open";
        QTest::newRow("empty value") << "SMTP"
                                     << "Empty"
                                     << "";
        QTest::newRow("first section wins") << "SMTP"
                                            << "Extra"
                                            << "<default>";
        QTest::newRow("missing key") << "SMTP"
                                     << "Nothing"
                                     << "<default>";
        QTest::newRow("missing section") << "Nothing"
                                         << "Server"
                                         << "<default>";
        QTest::newRow("comment is no key") << "SMTP"
                                           << "; settings"
                                           << "<default>";
    }
    void reads()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        TestFolder dir;
        dir.write("a.ini", kSample);
        IniFile ini(dir.file("a.ini"));
        QCOMPARE(ini.readString(section, key, QStringLiteral("<default>")), value);
    }

    void integers_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "Port" << 587;
        QTest::newRow("hexadecimal") << "Hex" << 31;
        QTest::newRow("sign") << "Plus" << 12;
        QTest::newRow("a word is no number") << "Word" << -1;
        QTest::newRow("trailing letters are no number") << "Trail" << -1;
        QTest::newRow("empty is no number") << "Empty" << -1;
        QTest::newRow("missing") << "Nothing" << -1;
    }
    void integers()
    {
        QFETCH(QString, key);
        QFETCH(int, value);
        TestFolder dir;
        dir.write("a.ini", kSample);
        IniFile ini(dir.file("a.ini"));
        QCOMPARE(ini.readInteger(QStringLiteral("SMTP"), key, -1), value);
    }

    void booleansAreIntegers()
    {
        TestFolder dir;
        dir.write("a.ini", "[S]\r\nOn=1\r\nOff=0\r\nTwo=2\r\nWord=True\r\n");
        IniFile ini(dir.file("a.ini"));
        QVERIFY(ini.readBool("S", "On", false));
        QVERIFY(!ini.readBool("S", "Off", true));
        QVERIFY(ini.readBool("S", "Two", false));
        // "True" is no number: the default decides.
        QVERIFY(!ini.readBool("S", "Word", false));
        QVERIFY(ini.readBool("S", "Word", true));
    }

    void writesKeepOtherLines()
    {
        TestFolder dir;
        dir.write("a.ini", "; comment\r\n[A]\r\nx=1\r\nY=2\r\n\r\n[B]\r\nz=3\r\n");
        IniFile ini(dir.file("a.ini"));
        QVERIFY(ini.writeString("a", "y", "neu"));    // existing key, other spelling: replaced in place
        QVERIFY(ini.writeInteger("A", "w", 7));       // new key: at the end of its section
        QVERIFY(ini.writeBool("C", "Flag", true));    // new section: at the end
        QVERIFY(ini.writeString("B", "z", "a\r\nb")); // no line break gets into the file
        QCOMPARE(dir.read("a.ini"), QByteArray("; comment\r\n[A]\r\nx=1\r\ny=neu\r\nw=7\r\n\r\n[B]\r\nz=a  b\r\n"
                                               "[C]\r\nFlag=1\r\n"));
        QVERIFY(ini.deleteKey("A", "X"));
        QVERIFY(ini.eraseSection("b"));
        QCOMPARE(dir.read("a.ini"), QByteArray("; comment\r\n[A]\r\ny=neu\r\nw=7\r\n\r\n[C]\r\nFlag=1\r\n"));
        QCOMPARE(ini.sections(), (QStringList{"A", "C"}));
        QCOMPARE(ini.keys("a"), (QStringList{"y", "w"}));
    }

    void writesWin1252AndReadsItBack()
    {
        TestFolder dir;
        {
            IniFile ini(dir.file("u.ini"));
            QVERIFY(!ini.fileExisted());
            QVERIFY(ini.writeString(QStringLiteral("Grüße"), QStringLiteral("Straße"), QStringLiteral("Köln €")));
        }
        QCOMPARE(dir.read("u.ini"), QByteArray("[Gr\xFC\xDF\x65]\r\nStra\xDF\x65=K\xF6ln \x80\r\n"));
        IniFile again(dir.file("u.ini"));
        QCOMPARE(again.readString(QStringLiteral("GRÜßE"), QStringLiteral("straße")), QStringLiteral("Köln €"));
    }

    void ownerOnlyFile()
    {
        TestFolder dir;
        dir.write("p.ini", "[A]\r\nx=1\r\n");
        QFile::setPermissions(dir.file("p.ini"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        IniFile ini(dir.file("p.ini"));
        ini.setOwnerOnly(true);
        QVERIFY(ini.writeString("A", "Password", "geheim"));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(dir.file("p.ini")) & others, QFile::Permissions());
        QVERIFY(QFile::permissions(dir.file("p.ini")).testFlags(QFile::ReadOwner | QFile::WriteOwner));
        // A new file is made that way from the start.
        IniFile fresh(dir.file("new.ini"));
        fresh.setOwnerOnly(true);
        QVERIFY(fresh.writeString("A", "Password", "geheim"));
        QCOMPARE(QFile::permissions(dir.file("new.ini")) & others, QFile::Permissions());
    }

    void savingInOneGo()
    {
        TestFolder dir;
        IniFile ini(dir.file("b.ini"));
        ini.setAutoSave(false);
        ini.writeString("A", "x", "1");
        ini.writeString("A", "y", "2");
        QVERIFY(!QFile::exists(dir.file("b.ini")));
        QVERIFY(ini.save());
        QCOMPARE(dir.read("b.ini"), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
    }

    void unwritableFileReportsFailure()
    {
        IniFile ini(QStringLiteral("/nonexistent-folder/x.ini"));
        QVERIFY(!ini.writeString("A", "x", "1"));
        QVERIFY(!ini.lastError().isEmpty());
    }

    // The checked reads report what the file lacks, by their own looser rules.
    void checkedReads_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("boxes");
        const QString block = QStringLiteral("Block %1 not found in %2");
        const QString item = QStringLiteral("Item %1 not found in %2");
        QTest::newRow("present") << "FIRSTSETTINGS"
                                 << "FirstSettingsDone"
                                 << "Done" << QStringList{};
        QTest::newRow("missing section gives both boxes in order")
            << "SMTP"
            << "Server"
            << "<d>" << QStringList{block.arg("SMTP"), item.arg("Server")};
        QTest::newRow("missing key") << "FIRSTSETTINGS"
                                     << "Other"
                                     << "<d>" << QStringList{item.arg("Other")};
        QTest::newRow("key only in a later section is not reported") << "FIRSTSETTINGS"
                                                                     << "Later"
                                                                     << "<d>" << QStringList{};
        QTest::newRow("lower-case key reported, value still read") << "FIRSTSETTINGS"
                                                                   << "Lowercase"
                                                                   << "yes" << QStringList{item.arg("Lowercase")};
        QTest::newRow("section in other case reported, value still read")
            << "firstsettings"
            << "FirstSettingsDone"
            << "Done" << QStringList{block.arg("firstsettings"), item.arg("FirstSettingsDone")};
    }
    void checkedReads()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QStringList, boxes);
        TestFolder dir;
        dir.write("Vantrel.ini", "[FIRSTSETTINGS]\r\nFirstSettingsDone=Done\r\nlowercase = yes\r\n"
                                 "[Second]\r\nLater=1\r\n");
        const QString file = dir.file("Vantrel.ini");
        IniFile ini(file);
        MessageRecorder msgs;
        QCOMPARE(CheckedReadString(ini, section, key, QStringLiteral("<d>")), value);
        for (const QString &text : boxes)
            QVERIFY(msgs.takeExpected(MsgKind::Error, text.arg(file)));
    }

    void checkedIntegerRead()
    {
        TestFolder dir;
        dir.write("c.ini", "[Server]\r\nPort=abc\r\n");
        IniFile ini(dir.file("c.ini"));
        MessageRecorder msgs;
        QCOMPARE(CheckedReadInteger(ini, "Server", "Port", 25), 25); // present but no number: no box
        QCOMPARE(CheckedReadInteger(ini, "Server", "Timeout", 30), 30);
        QVERIFY(msgs.takeExpected(MsgKind::Error, "Item Timeout not found in " + dir.file("c.ini")));
    }

    void checkedReadOfMissingFile()
    {
        TestFolder dir;
        IniFile ini(dir.file("missing.ini"));
        MessageRecorder msgs; // no box: whoever opened the file reports that it is missing
        QCOMPARE(CheckedReadString(ini, "A", "B", "def"), QStringLiteral("def"));
        QCOMPARE(CheckedReadInteger(ini, "A", "B", 4), 4);
    }

    void registryStore()
    {
        TestFolder dir;
        Registry::setFileName(dir.file("config/registry.ini"));
        const QString key = QStringLiteral("Software\\Halvicor\\WindowPos");
        QCOMPARE(Registry::readInteger(key, "Left", -5), -5);
        QVERIFY(!Registry::keyExists(key));
        QVERIFY(Registry::writeInteger(key, "Left", 120));
        QVERIFY(Registry::writeString(key, "", "standard"));
        QVERIFY(Registry::writeString(key, "Padded", "  x  "));
        QVERIFY(Registry::writeString(key, "Quoted", "\"q\""));
        // Key paths and names without regard to case, as in the registry.
        QCOMPARE(Registry::readInteger("software\\HALVICOR\\windowpos", "left"), 120);
        QCOMPARE(Registry::readString(key, ""), QStringLiteral("standard"));
        QCOMPARE(Registry::readString(key, "Padded"), QStringLiteral("  x  "));
        QCOMPARE(Registry::readString(key, "Quoted"), QStringLiteral("\"q\""));
        QVERIFY(Registry::valueExists(key, "Left"));
        QVERIFY(Registry::deleteValue(key, "Left"));
        QVERIFY(!Registry::valueExists(key, "Left"));
        QVERIFY(dir.read("config/registry.ini").startsWith("[Software\\Halvicor\\WindowPos]\r\n"));
        // A key exists once anything below it holds a value; a key that only
        // starts with the same letters is another key.
        QVERIFY(!Registry::keyExists("Software\\Halvicor\\Other"));
        QVERIFY(Registry::writeString("Software\\Halvicor\\Other\\Sub", "v", "1"));
        QVERIFY(Registry::keyExists("software\\halvicor\\other"));
        QVERIFY(!Registry::keyExists("Software\\Halvicor\\Oth"));
        Registry::setFileName(QString());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
