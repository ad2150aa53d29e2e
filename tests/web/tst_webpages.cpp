// The files of a subscription folder and the installation pages: the pages as
// the forms need them, the scripts that PHP must be able to read, and what a
// second run must leave alone.
#include "testfolder.h"
#include "webpages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace vt;

namespace {

WebFilesInput fixture()
{
    WebFilesInput in;
    in.serverPath = QStringLiteral("http://www.verein.de/news/");
    in.folderName = QStringLiteral("news");
    in.title = QStringLiteral("Tipps & <Neues>");
    in.fontColor = QStringLiteral("#000000");
    in.bkgColor = QStringLiteral("#FFFFFF");
    in.borderColor = QStringLiteral("#004080");
    in.fontFamily = QStringLiteral("Verdana, Arial, Helvetica, sans-serif");
    in.pixelSize = 10;
    in.doubleOptIn = true;
    in.captcha = false;
    in.offeredFields = {{5, QStringLiteral("Mail"), QStringLiteral("Mail")},
                        {6, QStringLiteral("Anrede"), QStringLiteral("Anrede")},
                        {12, QStringLiteral("Str"), QStringLiteral("Str")},
                        {14, QStringLiteral("Ort"), QStringLiteral("Wohnort \"aktuell\"")}};
    in.password = QStringLiteral("Geheim42");
    in.texts = {{QStringLiteral("Vielen Dank"), QStringLiteral("für Ihr Interesse. ")},
                QStringLiteral("Ihre Bestellung"),
                {QStringLiteral("Bitte bestätigen:")}};
    in.senderAddress = QStringLiteral("info@verein.de");
    in.versionText = QStringLiteral("Version 9.7.4");
    in.productName = QStringLiteral("Vantrel Professional");
    in.supportEmail = QStringLiteral("support@example.com");
    in.databaseCaption = QStringLiteral("Mitglieder");
    in.pairs = {{QStringLiteral("Eins"), QStringLiteral("https://m.example/1/")},
                {QStringLiteral("Zwei"), QStringLiteral("https://m.example/2/")},
                {QStringLiteral("Drei"), QStringLiteral("https://m.example/3/")}};
    auto counter = std::make_shared<int>(0);
    in.pick = [counter](int n) { return (*counter)++ % n; };
    return in;
}

struct Generated
{
    TestFolder dir;
    WebFilesResult result;

    explicit Generated(const WebFilesInput &in = fixture())
    {
        QDir().mkpath(dir.file("app"));
        for (const char *name : {"mailin.php", "wipe_files.php", "captcha.png"})
            QFile::copy(TestFolder::resourcesDir() + QLatin1String(name), dir.file(QStringLiteral("app/") + name));
        result = WriteWebFiles(in, dir.file("up/news"), dir.file("app/"));
    }
    QByteArray upload(const QString &name) const { return dir.read("up/news/" + name); }
    QByteArray app(const QString &name) const { return dir.read("app/" + name); }
};

// What PHP makes of a generated script: the value of a variable it defines.
QString phpValue(const QString &file, const QString &variable)
{
    QProcess php;
    php.start(QStringLiteral("php"),
              {QStringLiteral("-r"), QStringLiteral("include $argv[1]; echo %1;").arg(variable), file});
    if (!php.waitForFinished(20000))
        return QStringLiteral("<php does not run: install the Debian package php-cli>");
    return QString::fromUtf8(php.readAllStandardOutput());
}

} // namespace

class TestWebPages : public QObject
{
    Q_OBJECT

private slots:
    void subscriptionPage()
    {
        const Generated g;
        QVERIFY2(g.result.ok, qPrintable(g.result.error));
        const QByteArray expected =
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"><title>Eins</title>"
            "<LINK href=\"layout.css\" rel=\"stylesheet\" type=\"text/css\"></head>\r\n"
            "<body><br><br>\r\n \r\n"
            "<div align=\"center\"><table width=\"300\" class=\"rahmen\" cellspacing=\"1\" border=\"0\"><tr><td>\r\n"
            "<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>\r\n"
            "&nbsp;<span class=\"headline\">Tipps &amp; &lt;Neues&gt;</span><br><br>\r\n"
            "<form name=\"subscribe\" method=\"get\" action=\"http://www.verein.de/news/mailin.php\" "
            "accept-charset=\"UTF-8\">\r\n"
            "<input type=\"hidden\" name=\"send\" value=\"ok\">\r\n"
            "<input type=\"hidden\" name=\"action\" value=\"sign\" checked>\r\n"
            "<input type=\"hidden\" name=\"double\" value=\"on\">\r\n"
            "<input type=\"hidden\" name=\"cap\" value=\"0\">\r\n"
            "<table width=\"100%\" border=\"0\">\r\n"
            "<tr>\r\n<td class=\"label\">Emailadresse</td>\r\n<td><input type=\"text\" name=\"Mail\" size=30></td>\r\n"
            "</tr>\r\n"
            "<tr>\r\n<td class=\"label\">Anrede</td>\r\n<td>\r\n<select name=\"Anrede\" size=\"1\">\r\n"
            "<option>Herr</option>\r\n<option>Frau</option>\r\n<option>Firma</option>\r\n</select> </td>\r\n"
            "</tr>\r\n"
            "<tr>\r\n<td class=\"label\">Strasse</td>\r\n<td><input type=\"text\" name=\"Str\" size=30></td>\r\n"
            "</tr>\r\n"
            "<tr>\r\n<td class=\"label\">Wohnort \"aktuell\"</td>\r\n<td><input type=\"text\" name=\"Ort\" "
            "size=30></td>\r\n</tr>\r\n"
            "<tr>\r\n<td class=\"label\">&nbsp;</td>\r\n<td><input type=\"submit\" value=\"Bestellen\"></td>\r\n"
            "</tr>\r\n</table></form>\r\n"
            "</td></tr></table></td></tr></table></div>\r\n"
            "<script type=\"text/javascript\"> var Jetzt = new Date(); var Start = Jetzt.getTime(); </script>\r\n"
            "<noscript><a href=\"https://m.example/1/\"> powered by Eins Vantrel</a></noscript>\r\n"
            "</body></html>\r\n";
        QCOMPARE(g.upload("subscribe.html"), expected);
    }

    void snippetAndOtherPages()
    {
        const Generated g;
        const QString snippet = QString::fromUtf8(g.app("quelltext-version.html"));
        const QString font = "<font face=\"Verdana, Arial, Helvetica, sans-serif\" size=\"1\" color=\"#000000\">";
        QVERIFY(snippet.startsWith("<!-- Beginn Vantrel Quelltext -->\r\n<form name=\"subscribe\""));
        QVERIFY(snippet.contains("<tr><td>" + font +
                                 "Ihre Email</font></td><td><input type=\"text\" name=\"Mail\" "
                                 "size=20></td></tr>\r\n"));
        QVERIFY(snippet.contains("<b>Tipps &amp; &lt;Neues&gt;</b>"));
        QVERIFY(snippet.contains("<td>" + font + "<a href=\"http://www.verein.de/news/unsubscribe.html\">Abbestellen"));
        QVERIFY(snippet.contains("<noscript><a href=\"https://m.example/2/\">powered by Zwei Vantrel</a>"));
        QVERIFY(snippet.endsWith("<!-- Ende Vantrel Quelltext -->\r\n"));
        // The source guide shows the snippet as text in the box, then as a form.
        const QString guide = QString::fromUtf8(g.app("integriert-einbau.html"));
        QVERIFY(guide.contains("<textarea name=\"holdtext\" rows=\"12\" cols=\"100\">\r\n&lt;!-- Beginn Vantrel"));
        QVERIFY(guide.contains("&lt;td&gt;&amp;nbsp;&lt;/td&gt;"));
        QVERIFY(guide.contains("Vorschau:</b></font><br>\r\n<!-- Beginn Vantrel Quelltext -->"));
        // Unsubscription and index share the third pair.
        QVERIFY(g.upload("unsubscribe.html").contains("<title>Drei</title>"));
        QVERIFY(
            g.upload("unsubscribe.html").contains("<input type=\"hidden\" name=\"action\" value=\"delete\" checked>"));
        QVERIFY(g.upload("index.html").contains("<title>Drei</title>"));
        QVERIFY(g.app("einbau.html").contains("<a href=\"mailto:support@example.com\">support@example.com</a>"));
        QVERIFY(g.app("extra-einbau.html").contains("Mitglieder"));
        QVERIFY(g.app("extra.html").contains("Voransicht Bestellformular"));
        // The texts of the confirmation, one line each.
        QCOMPARE(g.upload("subscribemessage.txt"), QByteArray("Vielen Dank für Ihr Interesse.\r\n"));
        QCOMPARE(g.upload("email_subject.txt"), QByteArray("Ihre Bestellung\r\n"));
        QCOMPARE(g.upload("hashes.csv"), QByteArray("\r\r\n"));
    }

    void styleSheet_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("headline");
        QTest::newRow("10") << 10 << "16px";
        QTest::newRow("20") << 20 << "26px";
    }
    void styleSheet()
    {
        QFETCH(int, pixels);
        QFETCH(QString, headline);
        WebFilesInput in = fixture();
        in.pixelSize = pixels;
        const Generated g(in);
        const QStringList css = QString::fromUtf8(g.upload("layout.css")).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(css.size(), 12);
        QCOMPARE(css.at(0), "BODY \t{FONT-FAMILY: verdana, helvetica; FONT-SIZE: 10px; COLOR: #000000; "
                            "BACKGROUND-COLOR: #FFFFFF;}");
        QCOMPARE(css.at(3), QStringLiteral("INPUT\t{font-family: Verdana, Arial, Helvetica, sans-serif; color:#000000; "
                                           "font-size: %1px; font-weight: bold; border-style: groove}")
                                .arg(pixels));
        QCOMPARE(css.at(10), ".headline \t{FONT-FAMILY: Verdana, Arial, Helvetica, sans-serif; FONT-SIZE: " + headline +
                                 "; Color: #000000; font : bold; }");
    }

    void onlyMailAndNoTitle()
    {
        WebFilesInput in = fixture();
        in.offeredFields = {{5, QStringLiteral("Mail"), QStringLiteral("Mail")}};
        in.title.clear();
        const Generated g(in);
        const QByteArray page = g.upload("subscribe.html");
        QCOMPARE(page.count("<input type=\"text\""), 1);
        QVERIFY(page.contains("&nbsp;<span class=\"headline\"></span><br><br>"));
        QVERIFY(g.upload("unsubscribe.html").contains("&nbsp;<span class=\"headline\"></span><br><br>"));
        QVERIFY(!g.app("quelltext-version.html").contains("<b>"));
    }

    void scriptsReadAsPhpReadsThem()
    {
        WebFilesInput in = fixture();
        in.serverPath = QStringLiteral("http://verein.de/o'brien\\news/");
        in.senderAddress = QStringLiteral("a'b@x.de");
        const Generated g(in);
        QCOMPARE(g.upload("mailin_pw.php"), QByteArray("<?php $my_pass = 'Geheim42'; ?>\r\n"));
        QCOMPARE(QFile(g.dir.file("up/news/mailin_pw.php")).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        const QString folder = g.dir.file("up/news/");
        QCOMPARE(phpValue(folder + "mailin_pw.php", "$my_pass"), QStringLiteral("Geheim42"));
        QCOMPARE(phpValue(folder + "version.php", "$vantrel_version"), QStringLiteral("9.7.4"));
        QCOMPARE(phpValue(folder + "mailin_cfg.php", "$vt_base"), in.serverPath);
        QCOMPARE(phpValue(folder + "mailin_cfg.php", "$vt_from"), in.senderAddress);
        QCOMPARE(phpValue(folder + "mailin_cfg.php", "implode(',', $vt_fields)"),
                 QStringLiteral("Mail,Anrede,Str,Ort"));
        QCOMPARE(phpValue(folder + "mailin_cfg.php", "var_export($vt_double, true)"), QStringLiteral("true"));
        // Including the password file prints nothing, so scripts can still send headers.
        QCOMPARE(phpValue(folder + "mailin_pw.php", "''"), QString());
    }

    void secondRunLeavesTheCollectedEntries()
    {
        Generated g;
        g.dir.write("up/news/email_list_in.dat.php", "<?php exit; ?>ab\na@x.de|1\n");
        g.dir.write("up/news/email_pending.dat.php", "<?php exit; ?>cd\n");
        QVERIFY(WriteWebFiles(fixture(), g.dir.file("up/news"), g.dir.file("app/")).ok);
        QCOMPARE(g.upload("email_list_in.dat.php"), QByteArray("<?php exit; ?>ab\na@x.de|1\n"));
        QCOMPARE(g.upload("email_pending.dat.php"), QByteArray("<?php exit; ?>cd\n"));
        // Nothing of the set is a data file, and the shipped scripts are copied (a missing one is passed over).
        const QStringList written = QDir(g.dir.file("up/news")).entryList(QDir::Files);
        QVERIFY(written.contains("mailin.php") && written.contains("wipe_files.php") &&
                written.contains("captcha.png"));
        QVERIFY(!written.contains("captcha.php"));
        QCOMPARE(g.upload("mailin.php"), g.app("mailin.php"));
    }

    void writeFailureNamesTheFile()
    {
        TestFolder dir;
        QDir().mkpath(dir.file("app"));
        QDir().mkpath(dir.file("up/news/index.html")); // a folder where the page should go
        const WebFilesResult r = WriteWebFiles(fixture(), dir.file("up/news"), dir.file("app/"));
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("index.html"), qPrintable(r.error));
    }
};

QTEST_GUILESS_MAIN(TestWebPages)
#include "tst_webpages.moc"
