// The web settings file shared with the click tracking, the field selection,
// the confirmation texts, the colours and the checks of what the user enters.
#include "inifile.h"
#include "statssetup.h"
#include "testfolder.h"
#include "textfile.h"
#include "websettings.h"

#include <QFile>
#include <QTest>

using namespace vt;

class TestWebSettings : public QObject
{
    Q_OBJECT

private slots:
    void missingFileGivesTheDefaults()
    {
        bool exists = true;
        const WebSettings s = ReadWebSettings(QStringLiteral("/nonexistent/x.web"), &exists);
        QVERIFY(!exists);
        QCOMPARE(s.BKGColor, QStringLiteral("#FFFFFF"));
        QCOMPARE(s.BorderColor, QStringLiteral("#004080"));
        QCOMPARE(WebFontFamilies().at(s.Font.toInt()), QStringLiteral("Verdana, Arial, Helvetica, sans-serif"));
        QCOMPARE(WebFontSizes().at(s.FontSize.toInt()), QStringLiteral("10"));
        QVERIFY(!s.DoubleOptIn);
        QVERIFY(!s.Invalid);
        QVERIFY(!s.captchaOn());
    }

    void readsWhatTheFileHolds()
    {
        TestFolder dir;
        dir.write("Data/Kunden.web", "[SETTINGS]\r\nOnlinePath=http://a.de/news/\r\nCaptcha=on\r\n"
                                     "Invalid=True\r\nFont=9\r\n");
        const WebSettings s = ReadWebSettings(dir.file("Data/Kunden.web"));
        QCOMPARE(s.OnlinePath, QStringLiteral("http://a.de/news/"));
        QVERIFY(s.Title.isEmpty());
        // Only "On" with its case counts; a missing DoubleOptIn is on.
        QVERIFY(!s.captchaOn());
        QVERIFY(s.DoubleOptIn);
        QVERIFY(s.Invalid);
        // A font index out of the list gives the default.
        QCOMPARE(WebListIndex(s.Font, int(WebFontFamilies().size()), 4), 4);
    }

    void bothWritersKeepEachOthersKeys()
    {
        TestFolder dir;
        const QString file = dir.file("Kunden.web");
        QVERIFY(WriteTrackingSettings(file, QStringLiteral(" https://s.de/st/ "), QStringLiteral("Geheim1"), true));
        WebSettings s;
        s.OnlinePath = QStringLiteral("http://a.de/news/");
        s.OnlinePassword = QStringLiteral("abc123");
        s.Title = QStringLiteral("Tipps & Neues");
        QVERIFY(WriteWebSettings(file, s));
        QVERIFY(WriteTrackingSettings(file, QStringLiteral("https://s.de/neu/"), QStringLiteral("Geheim2"), false));

        const IniFile ini(file);
        for (const char *key : {"OnlinePath", "BKGColor", "FontColor", "BorderColor", "Font", "FontSize", "Title",
                                "OnlinePassword", "Captcha", "DoubleOptIn", "Invalid"})
            QVERIFY2(ini.valueExists("SETTINGS", key), key);
        QCOMPARE(ini.readString("SETTINGS", "StatsURL"), QStringLiteral("https://s.de/neu/"));
        QCOMPARE(ini.readString("SETTINGS", "StatsActive"), QStringLiteral("0"));
        const WebSettings back = ReadWebSettings(file);
        QCOMPARE(back.Title, s.Title);
        QCOMPARE(back.OnlinePassword, s.OnlinePassword);
        // The file holds passwords.
        QCOMPARE(QFile(file).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    }

    void colours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QColor>("color");
        QTest::newRow("with #") << "#004080" << true << QColor(0, 0x40, 0x80);
        QTest::newRow("without #") << "FFa001" << true << QColor(0xFF, 0xA0, 0x01);
        QTest::newRow("not hex") << "#GG0000" << false << QColor(Qt::black);
        QTest::newRow("too short") << "#12345" << false << QColor(Qt::black);
        QTest::newRow("sign") << "#+10000" << false << QColor(Qt::black);
    }
    void colours()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QColor, color);
        bool got = !ok;
        QCOMPARE(HtmlToColor(text, &got), color);
        QCOMPARE(got, ok);
        if (ok)
            QCOMPARE(HtmlToColor(ColorToHtml(color)), color);
    }

    void htmlFontSizes()
    {
        const QList<QPair<int, QString>> cases{{8, "1"},  {10, "1"}, {11, "1"}, {12, "2"}, {14, "2"},
                                               {15, "3"}, {17, "3"}, {18, "4"}, {19, "4"}, {20, "5"}};
        for (const auto &[px, size] : cases)
            QCOMPARE(HtmlFontSize(px), size);
    }

    void serverPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("good") << "http://www.verein.de/news/"
                              << "";
        QTest::newRow("https, two folders") << "https://verein.de/a/news/"
                                            << "";
        QTest::newRow("blanks around") << "  http://verein.de/news/ "
                                       << "";
        QTest::newRow("no scheme") << "www.verein.de/news/"
                                   << "Sie haben die  Zeichen";
        QTest::newRow("scheme inside") << "ftp://x/http://y/"
                                       << "Sie haben die  Zeichen";
        QTest::newRow("host only") << "http://www.verein.de/"
                                   << "Ungültigen Serverpfad";
        QTest::newRow("parent folder") << "http://verein.de/../"
                                       << "Ungültigen Serverpfad";
        QTest::newRow("query") << "http://verein.de/news/?x=/"
                               << "Ungültigen Serverpfad";
        QTest::newRow("odd folder name") << "http://verein.de/ne%22ws/"
                                         << "Ungültigen Serverpfad";
        QTest::newRow("no closing slash") << "http://verein.de/news"
                                          << "Das Zeichen \"/\" am Ende";
    }
    void serverPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, messageStart);
        const QString message = CheckServerPath(path);
        QVERIFY2(messageStart.isEmpty() ? message.isEmpty() : message.startsWith(messageStart), qPrintable(message));
    }

    void trackingInput_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("good") << "https://s.de/stats/"
                              << "abc1"
                              << "";
        QTest::newRow("no address") << " "
                                    << "abc1"
                                    << "Keinen Serverpfad für die Online-Statistik";
        QTest::newRow("no password") << "https://s.de/stats/"
                                     << "  "
                                     << "Sie haben kein Passwort eingegeben!";
        QTest::newRow("password for a PHP string") << "https://s.de/stats/"
                                                   << "ab\"c$x"
                                                   << "Bitte geben Sie nur";
        // Tracked links are this address and "stats.php": without the "/" every link would be dead.
        QTest::newRow("no closing slash") << "https://s.de/stats"
                                          << "abc1"
                                          << "Das Zeichen \"/\" am Ende";
        QTest::newRow("no scheme") << "s.de/stats/"
                                   << "abc1"
                                   << "Sie haben die  Zeichen";
    }
    void trackingInput()
    {
        QFETCH(QString, address);
        QFETCH(QString, password);
        QFETCH(QString, messageStart);
        const QString message = CheckTrackingInput(address, password);
        QVERIFY2(messageStart.isEmpty() ? message.isEmpty() : message.startsWith(messageStart), qPrintable(message));
    }

    void passwords()
    {
        QVERIFY(IsWebPassword(QStringLiteral("Abc123")));
        QVERIFY(IsWebPassword(QString(40, QLatin1Char('a'))));
        for (const QString &bad : {QString(), QString(41, QLatin1Char('a')), QStringLiteral("a b"), QStringLiteral("ß"),
                                   QStringLiteral("a'b"), QStringLiteral("a\\b"), QStringLiteral("$x")})
            QVERIFY2(!IsWebPassword(bad), qPrintable(bad));
    }

    void fieldsAndTheirSelection()
    {
        const QStringList defs{"HEADER|...",         "ID|ftAutoInc",
                               "Selected|ftBoolean", "Invalid|ftBoolean",
                               "LetztesMail|ftDate", "Mail| ftString | False |100| | | | | Mail",
                               "Anrede| ftString",   "Str| ftString | False |80| | | | | Str"};
        const QList<WebField> fields = WebFieldsOf(defs);
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields.at(0).line, 5);
        QCOMPARE(fields.at(1).label, QStringLiteral("Anrede")); // no display name: the field name
        QCOMPARE(fields.at(2).label, QStringLiteral("Str"));

        TestFolder dir;
        QVERIFY(ReadFieldSelection(dir.path()).isEmpty());
        QVERIFY(WriteFieldSelection(dir.path(), {true, false, true}));
        QCOMPARE(dir.read("enterprise_fields.ini"), QByteArray("1\r\n0\r\n1\r\n"));
        QCOMPARE(ReadFieldSelection(dir.path()), QList<bool>({true, false, true}));
    }

    void confirmationTexts()
    {
        TestFolder dir;
        ConfirmationTexts t = DefaultConfirmationTexts();
        dir.write("news/email_subject.txt", "Ihre Anmeldung beim Verein\r\nzweite Zeile\r\n");
        ReadConfirmationTexts(dir.file("news"), &t);
        QCOMPARE(t.subject, QStringLiteral("Ihre Anmeldung beim Verein"));
        // Texts without a file stay.
        QCOMPARE(t.message, DefaultConfirmationTexts().message);
        QCOMPARE(WebFolderName(QStringLiteral("http://a.de/x/news/")), QStringLiteral("news"));
    }
};

QTEST_GUILESS_MAIN(TestWebSettings)
#include "tst_websettings.moc"
