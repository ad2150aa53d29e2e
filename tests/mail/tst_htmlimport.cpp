// Turning an HTML page into a mail: decoding the page, its plain text, which local
// files it may take in (and which it must not), the project file, and the mail
// composed in both picture modes, read back by Python's e-mail package.
#include "htmlimport.h"
#include "htmlpage.h"
#include "inifile.h"
#include "mimeoracle.h"
#include "testfolder.h"
#include "textfile.h"
#include "win1252.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace vt;

namespace {

const QByteArray kGif = QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c000000000100010000"
                                            "02024401003b");

QStringList cidsIn(const QString &html)
{
    QStringList out;
    static const QRegularExpression cid(QStringLiteral("cid:([^\"')\\s>]+)"));
    for (QRegularExpressionMatchIterator it = cid.globalMatch(html); it.hasNext();)
        out.append(it.next().captured(1));
    return out;
}

} // namespace

class TestHtmlImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = MissingProgram("/usr/bin/python3", "python3");
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF<p>Gr\xC3\xBC\xC3\x9F"
                                                       "e</p>")
                                         << "<p>Grüße</p>";
        QTest::newRow("meta charset windows-1252") << QByteArray("<meta charset=\"windows-1252\"><p>Gr\xFC\xDF"
                                                                 "e \x80</p>")
                                                   << "<meta charset=\"windows-1252\"><p>Grüße €</p>";
        QTest::newRow("iso-8859-1 is read as windows-1252")
            << QByteArray("<meta charset=iso-8859-1>\x80") << "<meta charset=iso-8859-1>€";
        QTest::newRow("http-equiv iso-8859-15")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-15\">\xA4")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-15\">€";
        QTest::newRow("no declaration, UTF-8") << QByteArray("<p>\xE2\x82\xAC</p>") << "<p>€</p>";
        QTest::newRow("no declaration, not UTF-8") << QByteArray("<p>\xE4\x80</p>") << "<p>ä€</p>";
        QTest::newRow("claims UTF-8 but is not")
            << QByteArray("<meta charset=utf-8><p>\xE4</p>") << "<meta charset=utf-8><p>ä</p>";
        QTest::newRow("unknown set") << QByteArray("<meta charset=x-erfunden><p>\xC3\xA4</p>")
                                     << "<meta charset=x-erfunden><p>ä</p>";
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QTEST(DecodeHtml(bytes), "text");
    }

    void strip_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("blanks before tags and blanks") << "a  <b>x</b>  y"
                                                       << "ax y";
        QTest::newRow("lines are joined") << "<p>eins</p>\r\n<p>zwei</p>\n"
                                          << "einszwei";
        QTest::newRow("blank before a line break") << "Wort \r\nzwei"
                                                   << "Wortzwei";
        QTest::newRow("tabs") << "a\t\tb\t<i>c</i>"
                              << "a\tbc";
        QTest::newRow("nothing decoded twice") << "&amp;lt;"
                                               << "&lt;";
        QTest::newRow("the five entities") << "&quot;a&quot; &apos;b&apos; 1 &gt; 0 &lt; 2 &amp; 3"
                                           << "\"a\" 'b' 1 > 0 < 2 & 3";
        QTest::newRow("other entities and styles stay") << "<style>p{}</style>a&nbsp;b"
                                                        << "p{}a&nbsp;b";
        QTest::newRow("blank at the end") << "ende "
                                          << "ende ";
        QTest::newRow("empty") << ""
                               << "";
    }
    void strip()
    {
        QFETCH(QString, html);
        QTEST(StripHTMLTags(html), "text");
    }

    void pageTakesInItsOwnFilesOnly()
    {
        TestFolder dir;
        const QByteArray png = FileBytes(MailTestData("bild.png"));
        const QByteArray secret = "geheim" + png; // a picture, so only where it lies keeps it out
        dir.write("news/logo.png", png);
        dir.write("news/bilder/Foto.GIF", kGif);
        dir.write("news/mein bild.png", png + "2");
        dir.write("news/css/kopf.png", png + "3");
        dir.write("news/css/style.css", "body { background: url('../bilder/Foto.GIF') }\n"
                                        "h1 { background: url(kopf.png) } /* </style><script> */\n");
        dir.write("news/css/notiz.txt", "kein Stylesheet");
        dir.write("geheim.png", secret);
        QVERIFY(QFile::link(dir.file("geheim.png"), dir.file("news/link.png")));
        const QString outsideUrl = QUrl::fromLocalFile(dir.file("geheim.png")).toString();
        dir.write("news/index.html",
                  ("<html><head><link rel=\"stylesheet\" href=\"css/style.css\" media=\"screen\">"
                   "<link rel=stylesheet href=\"css/notiz.txt\"><style>.k { background:url(\"logo.png\") }</style>"
                   "<script src=\"../x.js\">var s = '<img src=\"../geheim.png\">';</script></head><body>"
                   "<!-- <img src=\"../geheim.png\"> -->"
                   "<img src=\"logo.png\"><img src=logo.png alt=x><img src=\"Bilder/foto.gif\">"
                   "<img src='bilder\\Foto.GIF'><img src=\"mein%20bild.png\">"
                   "<td style=\"background-image: url('logo.png')\" background=\"../geheim.png\"></td>"
                   "<img src=\"" +
                   outsideUrl +
                   "\"><img src=\"link.png\"><img src=\"C:\\Bilder\\x.png\"><img src=\"fehlt.png\">"
                   "<img src=\"https://example.com/r.png\"><img src=\"//cdn.example.com/c.png\">"
                   "<img src=\"data:image/png;base64,AAAA\"><img src=\"cid:alt@example.org\">"
                   "<a href=\"../geheim.png\">Link</a></body></html>")
                      .toUtf8());

        QString error;
        const std::optional<HtmlPage> page = LoadHtmlPage(dir.file("news/index.html"), &error);
        QVERIFY2(page, qPrintable(error));
        QCOMPARE(page->outside, (QStringList{"../geheim.png", outsideUrl, "link.png", "C:\\Bilder\\x.png"}));
        QCOMPARE(page->missing, QStringList{"fehlt.png"});

        // Four files, each once, and nothing of the secret.
        QStringList names;
        for (const EmbeddedPart &p : page->parts) {
            names.append(p.fileName + " " + p.mimeType);
            QVERIFY(!p.data.startsWith("geheim"));
        }
        QCOMPARE(names, (QStringList{"Foto.GIF image/gif", "kopf.png image/png", "logo.png image/png",
                                     "mein bild.png image/png"}));
        QHash<QString, QString> cidOf;
        for (const EmbeddedPart &p : page->parts)
            cidOf.insert(p.fileName, p.contentId);
        // Every reference of the page names one of them, and each is used.
        const QString &html = page->html;
        QStringList used = cidsIn(html);
        used.removeAll("alt@example.org");
        QCOMPARE(QSet<QString>(used.begin(), used.end()), QSet<QString>(cidOf.cbegin(), cidOf.cend()));
        QCOMPARE(html.count("cid:" + cidOf["logo.png"]), 4);
        QCOMPARE(html.count("cid:" + cidOf["Foto.GIF"]), 3);
        // The style sheet stands in the page, with its own references from its folder.
        QVERIFY2(html.contains("<style type=\"text/css\" media=\"screen\">\nbody { background: url('cid:" +
                               cidOf["Foto.GIF"] + "') }\nh1 { background: url(cid:" + cidOf["kopf.png"] +
                               ") } /* <\\/style><script> */\n\n</style>"),
                 qPrintable(html));
        QVERIFY(!html.contains("css/style.css"));
        QVERIFY(html.contains("<link rel=stylesheet href=\"css/notiz.txt\">"));
        // What is not taken in stands as it was.
        for (const QString &kept :
             {QString("<script src=\"../x.js\">var s = '<img src=\"../geheim.png\">';</script>"),
              QString("<!-- <img src=\"../geheim.png\"> -->"), QString("background=\"../geheim.png\""),
              QString("src=\"" + outsideUrl + "\""), QString("src=\"link.png\""), QString("src=\"fehlt.png\""),
              QString("src=\"https://example.com/r.png\""), QString("src=\"//cdn.example.com/c.png\""),
              QString("src=\"data:image/png;base64,AAAA\""), QString("<a href=\"../geheim.png\">")})
            QVERIFY2(html.contains(kept), qPrintable(kept));

        QVERIFY(!LoadHtmlPage(dir.file("news/nichts.html"), &error));
        QCOMPARE(error, "Die Datei " + dir.file("news/nichts.html") + " kann nicht geöffnet werden!");
    }

    // Oversized files (sparse here) are not read: a picture is named, a page is refused for both kinds of mail.
    void oversizedFilesAreNotRead()
    {
        TestFolder dir;
        const auto grow = [&dir](const QString &name, qint64 size) {
            QFile f(dir.file(name));
            QVERIFY(f.open(QIODevice::ReadWrite) && f.resize(size));
        };
        dir.write("news/riesig.png", FileBytes(MailTestData("bild.png")));
        grow("news/riesig.png", kMaxPageFileBytes + 1);
        dir.write("news/logo.png", FileBytes(MailTestData("bild.png")));
        dir.write("news/index.html", "<img src=\"riesig.png\"><img src=\"logo.png\">");
        QString error;
        const std::optional<HtmlPage> page = LoadHtmlPage(dir.file("news/index.html"), &error);
        QVERIFY2(page, qPrintable(error));
        QCOMPARE(page->tooLarge, QStringList{"riesig.png"});
        QCOMPARE(page->parts.size(), 1);
        QCOMPARE(page->parts.at(0).fileName, "logo.png");
        QVERIFY(page->html.contains("<img src=\"riesig.png\">"));

        dir.write("gross.html", "<p>x</p>");
        grow("gross.html", kMaxPageFileBytes + 1);
        for (const bool embed : {true, false}) {
            HtmlImportProject p;
            p.htmlFile = dir.file("gross.html");
            p.embedPictures = embed;
            QVERIFY(!ComposeImportedMail(p, &error));
            QCOMPARE(error,
                     "Die Datei " + dir.file("gross.html") + " ist mit mehr als 20 MB zu groß für eine HTML-Seite!");
        }
    }

    void projectRoundTrip()
    {
        TestFolder dir;
        HtmlImportProject p;
        p.htmlFile = dir.file("Ω news/seite.html");
        p.embedPictures = false;
        p.textFile = dir.file("text.txt");
        p.subject = "Grüße zum Sommerfest";
        for (int n = 0; n < 25; ++n)
            p.attachments.append(dir.file(QString("anhang%1.pdf").arg(n)));
        dir.write("projekt.vtp", "[Andere]\r\nWert=1\r\n[Vantrel]\r\nITEM30=alt.pdf\r\n");
        QString error;
        QVERIFY2(SaveHtmlImportProject(dir.file("projekt.vtp"), p, &error), qPrintable(error));
        // Every attachment comes back, and the character that Windows-1252 lacks too.
        const std::optional<HtmlImportProject> back = LoadHtmlImportProject(dir.file("projekt.vtp"));
        QVERIFY(back);
        QCOMPARE(back->htmlFile, p.htmlFile);
        QCOMPARE(back->embedPictures, false);
        QCOMPARE(back->textFile, p.textFile);
        QCOMPARE(back->subject, p.subject);
        QCOMPARE(back->attachments, p.attachments);
        QCOMPARE(IniFile(dir.file("projekt.vtp")).readString("Andere", "Wert"), "1");
        QVERIFY(dir.read("projekt.vtp").startsWith("\xEF\xBB\xBF"));

        // A project that Windows-1252 holds is written in it.
        p.htmlFile = dir.file("seite.html");
        p.attachments = {};
        QVERIFY(SaveHtmlImportProject(dir.file("west.vtp"), p, &error));
        QVERIFY(dir.read("west.vtp")
                    .contains("Betreff=Gr\xFC\xDF"
                              "e zum Sommerfest\r\n"));
        QCOMPARE(LoadHtmlImportProject(dir.file("west.vtp"))->attachments, QStringList());
    }

    void projectValues_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("embedded");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("attachments");
        QTest::newRow("empty section") << QByteArray("[Vantrel]\r\n") << true << "Meine neue Serien-E-Mail"
                                       << QStringList();
        QTest::newRow("any non-zero number embeds")
            << QByteArray("[vantrel]\r\nBilder=2\r\nBetreff=\"  x \"\r\n") << true << "  x " << QStringList();
        QTest::newRow("external pictures")
            << QByteArray("[Vantrel]\r\nBilder=0\r\n") << false << "Meine neue Serien-E-Mail" << QStringList();
        QTest::newRow("numbered, with gaps and empty values")
            << QByteArray("[Vantrel]\r\nITEM10=/z\r\nITEM2=/b\r\nITEM1=\r\nITEM0=/a\r\n[Sonst]\r\nITEM5=/n\r\n") << true
            << "Meine neue Serien-E-Mail" << QStringList{"/a", "/b", "/z"};
    }
    void projectValues()
    {
        QFETCH(QByteArray, file);
        TestFolder dir;
        dir.write("p.vtp", file);
        const std::optional<HtmlImportProject> p = LoadHtmlImportProject(dir.file("p.vtp"));
        QVERIFY(p);
        QTEST(p->embedPictures, "embedded");
        QTEST(p->subject, "subject");
        QTEST(p->attachments, "attachments");
    }

    void notAProject()
    {
        TestFolder dir;
        dir.write("andere.ini", "[SMTP]\r\nhost=x\r\n");
        QDir().mkpath(dir.file("ordner.vtp"));
        for (const char *name : {"fehlt.vtp", "andere.ini", "ordner.vtp"})
            QVERIFY2(!LoadHtmlImportProject(dir.file(name)), name);
    }

    void projectNames()
    {
        QCOMPARE(DefaultProjectFileName(QDate(2024, 3, 5)), "Newsletter_05.03.2024.vtp");
        QCOMPARE(WithProjectSuffix("/p/news"), "/p/news.vtp");
        QCOMPARE(WithProjectSuffix("/p/news.VTP"), "/p/news.VTP");
        QCOMPARE(WithProjectSuffix("/p/news.vtp.alt"), "/p/news.vtp.alt");
    }

    void composeWithEmbeddedPictures()
    {
        TestFolder dir;
        dir.write("logo.png", FileBytes(MailTestData("bild.png")));
        dir.write("seite.html", "<meta charset=\"windows-1252\"><p>Gr\xFC\xDF"
                                "e an $NAME</p><img src=\"logo.png\">");
        dir.write("text.txt", "Gr\xFC\xDF"
                              "e an $NAME\r\n");
        dir.write("preise.pdf", FileBytes(MailTestData("preise.pdf")));
        dir.write("liste.csv", "a;b\r\n");
        HtmlImportProject p;
        p.htmlFile = dir.file("seite.html");
        p.textFile = dir.file("text.txt");
        p.subject = "Neues für $NAME";
        p.attachments = {dir.file("preise.pdf"), dir.file("weg.pdf"), dir.file("liste.csv")};
        QString error;
        std::optional<ImportedMail> made = ComposeImportedMail(p, &error);
        QVERIFY2(made, qPrintable(error));
        READ_BACK(v, made->mail.toBytes());
        QCOMPARE(v.structure(), "multipart/mixed(multipart/alternative(text/plain,multipart/related(text/html,"
                                "image/png)),application/pdf,text/csv)");
        QCOMPARE(v.subject(), "Neues für $NAME");
        QCOMPARE(v.part("text/plain").value("text").toString(), "Grüße an $NAME\r\n");
        const QString html = v.part("text/html").value("text").toString();
        QVERIFY2(html.contains("<p>Grüße an $NAME</p><img src=\"cid:" +
                               v.part("image/png").value("content_id").toString().mid(1).chopped(1) + "\">"),
                 qPrintable(html));
        // The page now says the set it is written in.
        QVERIFY(html.contains("<meta charset=\"utf-8\">"));
        QCOMPARE(v.part("application/pdf").value("filename").toString(), "preise.pdf");
        QCOMPARE(v.part("text/csv").value("filename").toString(), "liste.csv");

        // Without a text file there is no empty text part.
        p.textFile.clear();
        p.attachments.clear();
        made = ComposeImportedMail(p, &error);
        QVERIFY(made);
        READ_BACK(w, made->mail.toBytes());
        QCOMPARE(w.structure(), "multipart/related(text/html,image/png)");

        p.htmlFile = dir.file("weg.html");
        QVERIFY(!ComposeImportedMail(p, &error));
        QCOMPARE(error, "Die Datei " + dir.file("weg.html") + " kann nicht geöffnet werden!");
    }

    void composeWithExternalPictures()
    {
        TestFolder dir;
        // Windows-1252 without a declaration, a remote picture and a local one.
        const QByteArray page = "<html><body>\r\n<p>Gr\xFC\xDF"
                                "e &amp; mehr</p>  <img src=\"https://example.com/a.png\"><img src=\"logo.png\">\r\n"
                                "</body></html>";
        dir.write("seite.html", page);
        dir.write("logo.png", FileBytes(MailTestData("bild.png")));
        dir.write("text.txt", "wird nicht benutzt");
        HtmlImportProject p;
        p.htmlFile = dir.file("seite.html");
        p.embedPictures = false;
        p.textFile = dir.file("text.txt");
        QString error;
        std::optional<ImportedMail> made = ComposeImportedMail(p, &error);
        QVERIFY2(made, qPrintable(error));
        READ_BACK(v, made->mail.toBytes());
        QCOMPARE(v.structure(), "multipart/alternative(text/plain,text/html)");
        QCOMPARE(v.subject(), "Meine neue Serien-E-Mail");
        const QString html = DecodeWin1252(page);
        QCOMPARE(v.part("text/html").value("text").toString(), html);
        QCOMPARE(v.part("text/plain").value("text").toString(), "Grüße & mehr");
    }
};

QTEST_GUILESS_MAIN(TestHtmlImport)
#include "tst_htmlimport.moc"
