// The e-mail composer: loading, composing in four character sets, attachments,
// HTML files with pictures, unpacking for display. Every written message is read
// back by Python's e-mail package.
#include "mailmessage.h"
#include "mimeoracle.h"
#include "testfolder.h"
#include "textfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimeZone>

using vt::MailMessage;

namespace {

QString sha256(const QByteArray &b)
{
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
}

MailMessage loaded(const QString &name)
{
    MailMessage m;
    QString error;
    if (!m.loadFile(MailTestData(name), &error))
        qWarning() << error;
    return m;
}

} // namespace

class TestMailMessage : public QObject
{
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::addColumn<int>("attachments");
        QTest::newRow("related with picture and attachment")
            << "related.eml"
            << "Newsletter $NAME"
            << "Hallo $NAME, Grüße!\n"
            << "<p>Hallo $NAME</p><img src=\"cid:bild1@example.org\">" << 1;
        QTest::newRow("windows-1252, LF only") << "alternative-lf.eml"
                                               << "Einladung zum Sommerfest – € 5"
                                               << "Liebe Mitglieder, das Fest kostet 5 € – Grüße\n"
                                               << "<p>Liebe Mitglieder, das Fest kostet 5 € – Grüße</p>" << 0;
        QTest::newRow("closing boundary missing") << "broken.eml"
                                                  << "Ohne Ende"
                                                  << "Text ohne schließende Grenze"
                                                  << "" << 1;
    }
    void load()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QString, html);
        const MailMessage m = loaded(file);
        QTEST(m.subject(), "subject");
        QVERIFY2(m.textBody().startsWith(text), qPrintable(m.textBody()));
        QVERIFY2(m.htmlBody().contains(html), qPrintable(m.htmlBody()));
        QCOMPARE(m.hasHtmlBody(), !html.isEmpty());
        QTEST(m.attachmentCount(), "attachments");
        QVERIFY(m.size() > 0);
    }

    void loadFailure()
    {
        MailMessage m;
        QString error;
        QVERIFY(!m.loadFile(MailTestData("fehlt.eml"), &error));
        QCOMPARE(error, "Die Datei " + MailTestData("fehlt.eml") + " kann nicht geöffnet werden!");
    }

    void unreadableFilesRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the file is a mail
        const QByteArray mail = "Subject: Hallo\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>x</p>\r\n";
        const QString bom = "Die Datei beginnt mit einer Byte-Order-Markierung (BOM). Speichern Sie sie ohne BOM.";
        const QString noMail = "Die Datei enthält keine E-Mail!";
        const QString noHeaders = "Die Kopfzeilen der Datei sind nicht lesbar: sie enthält keine E-Mail!";
        QTest::newRow("mail") << mail << QString();
        QTest::newRow("mail after a mailbox line")
            << "From versand@example.com Mon Jan  1 10:00:00 2024\r\n" + mail << QString();
        QTest::newRow("UTF-8 byte-order mark") << "\xEF\xBB\xBF" + mail << bom;
        QTest::newRow("UTF-16 byte-order mark")
            << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"Subject: x\r\n\r\nx"), 26) << bom;
        QTest::newRow("field name beyond ASCII") << QByteArray("Betr\xC3\xA4"
                                                               "ff: x\r\nSubject: Hallo\r\n\r\nText\r\n")
                                                 << noHeaders;
        QTest::newRow("HTML page") << QByteArray("<html><body><p>Hallo</p></body></html>\r\n") << noMail;
        QTest::newRow("plain text") << QByteArray("Hallo Welt\r\nZweite Zeile\r\n") << noMail;
        QTest::newRow("blank in a field name") << QByteArray("Sub ject: x\r\n\r\nText\r\n") << noMail;
        QTest::newRow("empty") << QByteArray() << noMail;
    }
    void unreadableFilesRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        MailMessage m;
        QString problem;
        QCOMPARE(m.loadBytes(bytes, &problem), error.isEmpty());
        QCOMPARE(problem, error);
        if (error.isEmpty())
            QCOMPARE(m.subject(), "Hallo");
    }

    void whatTheParserLosesIsKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("kept"); // stands in the message written after a new body and subject
        const QByteArray head =
            "Subject: s\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
            "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Hallo $NAME</p>\r\n";
        const QByteArray file = "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                                "Content-Transfer-Encoding: base64\r\n";
        const QByteArray noBlankLine =
            file + "Content-Disposition: attachment; filename=\"a.bin\"\r\nAAECAwQFBgcICQ==\r\n--b--\r\n";
        QTest::newRow("attachment without an empty line") << head + "--b\r\n" + noBlankLine << noBlankLine;
        const QByteArray strayInPart = file + "X-Note: eins\r\nzwei\r\n\r\nAAECAwQFBgcICQ==\r\n--b--\r\n";
        QTest::newRow("stray line in a part's fields") << head + "--b\r\n" + strayInPart << strayInPart;
        QTest::newRow("stray line in the message's fields")
            << QByteArray("Subject: s\r\nX-Note: erster Teil\r\nzweiter Teil\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: text/html; charset=utf-8\r\n\r\n<p>x</p>\r\n")
            << QByteArray("X-Note: erster Teil\r\nzweiter Teil\r\nMIME-Version: 1.0\r\n");
        const QByteArray longField = "X-Long: " + QByteArray(1200, 'y') + "\r\n";
        QTest::newRow("long field") << "Subject: s\r\n" + longField + "Content-Type: text/html\r\n\r\n<p>x</p>\r\n"
                                    << longField;
        // A field of an attached message that runs on in a line of its own; as
        // a part of a multipart and as the whole body.
        const QByteArray attached = "Subject: innen\r\nX-Note: erster Teil\r\nzweiter Teil\r\nFrom: a@example.de\r\n"
                                    "Content-Type: text/plain\r\n\r\nInnerer Text\r\n";
        QTest::newRow("stray line in an attached message's fields")
            << head + "--b\r\nContent-Type: message/rfc822\r\n\r\n" + attached + "--b--\r\n"
            << attached;
        QTest::newRow("stray line in the fields of the message that is the body")
            << "Subject: s\r\nMIME-Version: 1.0\r\nContent-Type: message/rfc822\r\n\r\n" + attached << attached;
        // A delimiter ending in a bare LF: the part before it gains no stray CR.
        const QByteArray plain = "Content-Type: text/plain; charset=utf-8\r\n\r\nAnhang als Text\r\n";
        QTest::newRow("delimiter with a bare LF")
            << head + "--b\r\n" + plain + "--b\n" + file + "\r\nAAECAwQFBgcICQ==\r\n--b--\r\n"
            << plain + "--b\r\n" + file + "\r\nAAECAwQFBgcICQ==\r\n--b--\r\n";
    }
    void whatTheParserLosesIsKept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, kept);
        MailMessage m;
        QVERIFY(m.loadBytes(bytes));
        QByteArray asLoaded = bytes;
        asLoaded.replace("--b\n", "--b\r\n");
        QCOMPARE(m.toBytes(), asLoaded);
        m.setHtmlBody("<p>Neu</p>");
        m.setSubject("Neu");
        const QByteArray written = m.toBytes();
        QVERIFY2(written.contains(kept), written.constData());
        QVERIFY(written.contains("<p>Neu</p>"));
        QVERIFY(written.contains("Subject: Neu\r\n"));
    }

    // A multipart whose closing delimiter is missing ends where its parent's next
    // delimiter or the file ends; the parts in it that the parser cannot give back
    // as they stood are kept as well, above all an attachment after the texts.
    void missingClosingDelimitersLoseNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("kept");
        const QByteArray open = "Subject: s\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
                                "--outer\r\nContent-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
                                "--inner\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHallo\r\n"
                                "--inner\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Hallo</p>\r\n";
        const QByteArray noBlankLine = "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                                       "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
                                       "Content-Transfer-Encoding: base64\r\nAAECAwQFBgcICQ==\r\n";
        const QByteArray strayLine = "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                                     "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
                                     "X-Note: erster Teil\r\nzweiter Teil\r\n"
                                     "Content-Transfer-Encoding: base64\r\n\r\nAAECAwQFBgcICQ==\r\n";
        QTest::newRow("attachment under the open alternative") << open + "--inner\r\n" + noBlankLine + "--outer--\r\n"
                                                               << noBlankLine;
        QTest::newRow("attachment after the open alternative, nothing closed")
            << open + "--outer\r\n" + noBlankLine << noBlankLine;
        QTest::newRow("stray line in an attachment after the open alternative, nothing closed")
            << open + "--outer\r\n" + strayLine << strayLine;
    }
    void missingClosingDelimitersLoseNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, kept);
        MailMessage m;
        QVERIFY(m.loadBytes(bytes));
        QCOMPARE(m.toBytes(), bytes);
        QCOMPARE(m.attachmentCount(), 1);
        m.setHtmlBody("<p>Neu</p>");
        m.setTextBody("Neu");
        m.setSubject("Neu");
        const QByteArray written = m.toBytes();
        QVERIFY2(written.contains(kept), written.constData());
        READ_BACK(v, written);
        QCOMPARE(v.part("text/html").value("text").toString().trimmed(), "<p>Neu</p>");
        QCOMPARE(v.part("text/plain").value("text").toString().trimmed(), "Neu");
        // The attachment reads as it read in the loaded file.
        READ_BACK(original, bytes);
        const QJsonObject file = v.part("application/octet-stream");
        QCOMPARE(file.value("filename").toString(), "a.bin");
        QCOMPARE(file.value("sha256"), original.part("application/octet-stream").value("sha256"));
    }

    void untouchedMessageWrittenAsLoaded()
    {
        const QByteArray original = FileBytes(MailTestData("related.eml"));
        QCOMPARE(loaded("related.eml").toBytes(), original);
    }

    void compose_data()
    {
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("textCharset"); // declared by the plain-text part
        QTest::addColumn<QString>("htmlText");    // the HTML as a reader decodes it
        QTest::newRow("iso-8859-1") << "iso-8859-1"
                                    << "utf-8"
                                    << "<p>Grüße &#8364; &#128512; &#8222;Zitat&#8220;</p>";
        QTest::newRow("windows-1252") << "windows-1252"
                                      << "utf-8"
                                      << "<p>Grüße € &#128512; „Zitat“</p>";
        QTest::newRow("utf-7") << "utf-7"
                               << "utf-7"
                               << "<p>Grüße € 😀 „Zitat“</p>";
        QTest::newRow("utf-8") << "utf-8"
                               << "utf-8"
                               << "<p>Grüße € 😀 „Zitat“</p>";
    }
    void compose()
    {
        // The steps of an HTML serial mail, on a loaded template.
        QFETCH(QString, charset);
        QFETCH(QString, textCharset);
        QFETCH(QString, htmlText);
        MailMessage m = loaded("related.eml");
        const QString html = m.htmlBody().replace("$NAME", "Grüße € 😀 „Zitat“").replace("<p>Hallo ", "<p>");
        m.setHtmlBody(html);
        m.setTextBody("Grüße € 😀 „Zitat“ ü");
        m.setSubject("Grüße € 😀 „Zitat“ ü");
        m.setCharset(charset);
        m.setHeader("X-Priority", "1");
        m.setMailer("Microsoft Outlook 14.0");
        m.clearTo();
        m.clearCc();
        m.clearBcc();
        for (const char *name : {"Delivery-Date", "Received", "Thread-Index", "Return-Path"})
            m.removeHeader(name);
        m.setFromName("Müller & Söhne");
        m.setFromAddress("info@example.com");
        m.addTo("", "kunde@example.net");
        m.setDate(QDateTime(QDate(2024, 3, 5), QTime(8, 0), QTimeZone::utc()));

        const QByteArray bytes = m.toBytes();
        READ_BACK(v, bytes);
        QCOMPARE(v.defects(), QStringList());
        QCOMPARE(v.structure(),
                 "multipart/mixed(multipart/alternative(text/plain,multipart/related(text/html,image/png)),"
                 "application/pdf)");
        const QJsonObject htmlPart = v.part("text/html");
        QCOMPARE(htmlPart.value("charset").toString(), charset);
        QVERIFY2(htmlPart.value("text").toString().contains(htmlText), qPrintable(htmlPart.value("text").toString()));
        // The HTML's own declaration follows the set it is written in.
        QVERIFY(htmlPart.value("text").toString().contains("charset=" + charset));
        QVERIFY(htmlPart.value("text").toString().contains("src=\"cid:bild1@example.org\""));
        const QJsonObject textPart = v.part("text/plain");
        QCOMPARE(textPart.value("charset").toString(), textCharset);
        QCOMPARE(textPart.value("text").toString(), "Grüße € 😀 „Zitat“ ü");
        QCOMPARE(v.subject(), "Grüße € 😀 „Zitat“ ü");

        // Pictures and attachments unchanged, the picture still found by its reference.
        const QJsonObject png = v.part("image/png");
        QCOMPARE(png.value("sha256").toString(), sha256(FileBytes(MailTestData("bild.png"))));
        QCOMPARE(png.value("content_id").toString(), "<bild1@example.org>");
        QCOMPARE(v.part("application/pdf").value("sha256").toString(), sha256(FileBytes(MailTestData("preise.pdf"))));

        QCOMPARE(v.mailboxes("To"), QStringList{" <kunde@example.net>"});
        QCOMPARE(v.mailboxes("From"), QStringList{"Müller & Söhne <info@example.com>"});
        QCOMPARE(v.mailboxes("Cc"), QStringList());
        QCOMPARE(v.mailboxes("Bcc"), QStringList());
        for (const char *gone : {"Received", "Return-Path", "Thread-Index", "Delivery-Date", "X-Unsent"})
            QVERIFY2(v.headers(gone).isEmpty(), gone);
        QCOMPARE(v.headers("X-Priority"), QStringList{"1"});
        QCOMPARE(v.headers("X-Mailer"), QStringList{"Microsoft Outlook 14.0"});
        QCOMPARE(v.headers("Date"), QStringList{"Tue, 05 Mar 2024 08:00:00 +0000"});
        const QStringList ids = v.headers("Message-ID");
        QCOMPARE(ids.size(), 1);
        QVERIFY(ids.first() != "<vorlage-1@example.org>");
        QVERIFY(ids.first().endsWith("@example.com>"));
        QVERIFY(v.json.value("longest_line").toInt() <= 998);
        QCOMPARE(v.json.value("bare_lf").toInt(), 0);
    }

    void eachCompositionGetsItsOwnId()
    {
        MailMessage m = loaded("related.eml");
        m.setSubject("eins");
        const QString first = m.header("Message-ID");
        m.setSubject("zwei");
        const QString second = m.header("Message-ID");
        QVERIFY(!first.isEmpty());
        QVERIFY(first != second);
    }

    void headerValuesStayOnOneLine()
    {
        MailMessage m;
        m.setSubject("Hallo\r\nBcc: opfer@example.net");
        m.setFromName("Name\nX-Evil: 1");
        m.setFromAddress("a@example.com");
        m.addTo("x", "b@example.com>\r\nBcc: c@example.net");
        m.addHeader("X-Info", "eins\rzwei");
        m.setTextBody("x");
        READ_BACK(v, m.toBytes());
        QCOMPARE(v.headers("Bcc"), QStringList());
        QCOMPARE(v.headers("X-Evil"), QStringList());
        QCOMPARE(v.subject(), "Hallo  Bcc: opfer@example.net");
        QCOMPARE(v.headers("X-Info"), QStringList{"eins zwei"});
    }

    void metaDeclarationsFollowTheCharset()
    {
        // Every declaration names the set the part is written in; text that only looks
        // like one ("<metal", a declaration inside a later tag) is left as it is.
        MailMessage m;
        m.setFromAddress("a@example.com");
        m.setCharset("iso-8859-1");
        m.setHtmlBody("<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
                      "<meta charset='windows-1252'><metal charset=utf-8></head>\n"
                      "<body><p>Grüße <meta charset = \"utf-7\"></p></body></html>");
        READ_BACK(v, m.toBytes());
        QCOMPARE(v.part("text/html").value("text").toString(),
                 "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
                 "<meta charset='iso-8859-1'><metal charset=utf-8></head>\r\n"
                 "<body><p>Grüße <meta charset = \"iso-8859-1\"></p></body></html>\r\n");
    }

    void addedPartsMakeTheirStructure_data()
    {
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("attachment");
        QTest::addColumn<QString>("structure");
        QTest::newRow("text") << true << false << false << "text/plain";
        QTest::newRow("html") << false << true << false << "text/html";
        QTest::newRow("text and html") << true << true << false << "multipart/alternative(text/plain,text/html)";
        QTest::newRow("text and attachment") << true << false << true << "multipart/mixed(text/plain,application/pdf)";
        QTest::newRow("all") << true << true << true
                             << "multipart/mixed(multipart/alternative(text/plain,text/html),application/pdf)";
    }
    void addedPartsMakeTheirStructure()
    {
        QFETCH(bool, text);
        QFETCH(bool, html);
        QFETCH(bool, attachment);
        TestFolder dir;
        QFile::copy(MailTestData("preise.pdf"), dir.file("Prüfung Mai.pdf"));
        MailMessage m;
        if (text)
            m.setTextBody("Text");
        if (attachment)
            QCOMPARE(m.addFileAttachment(dir.file("Prüfung Mai.pdf")), "Prüfung Mai.pdf");
        if (html)
            m.setHtmlBody("<p>HTML</p>");
        READ_BACK(v, m.toBytes());
        QTEST(v.structure(), "structure");
        QCOMPARE(m.attachmentCount(), attachment ? 1 : 0);
        if (attachment) {
            const QJsonObject pdf = v.part("application/pdf");
            QCOMPARE(pdf.value("filename").toString(), "Prüfung Mai.pdf");
            QCOMPARE(pdf.value("disposition").toString(), "attachment");
            QCOMPARE(pdf.value("sha256").toString(), sha256(FileBytes(MailTestData("preise.pdf"))));
        }
    }

    void textBodyJoinsAnHtmlWithPictures()
    {
        // An HTML mail with its pictures gets the text part beside them, not between.
        TestFolder dir;
        QFile::copy(MailTestData("bild.png"), dir.file("logo.png"));
        dir.write("seite.html", "<p><img src=\"logo.png\"></p>");
        std::optional<MailMessage> m = MailMessage::fromHtmlFile(dir.file("seite.html"));
        QVERIFY(m);
        m->setTextBody("Text");
        READ_BACK(v, m->toBytes());
        QCOMPARE(v.structure(), "multipart/alternative(text/plain,multipart/related(text/html,image/png))");
        QCOMPARE(m->attachmentCount(), 0);
    }

    void htmlFileWithPictures()
    {
        TestFolder dir;
        QDir().mkpath(dir.file("bilder"));
        QFile::copy(MailTestData("bild.png"), dir.file("bilder/logo.png"));
        dir.write("notiz.txt", "kein Bild");
        dir.write("seite.html", "<html><body><img src=\"bilder/logo.png\"><img src='bilder/logo.png'>"
                                "<img src=\"http://example.com/x.png\"><img src=\"fehlt.png\">"
                                "<a href=\"notiz.txt\">x</a><td background=\"notiz.txt\"></td></body></html>");
        QString error;
        std::optional<MailMessage> m = MailMessage::fromHtmlFile(dir.file("seite.html"), &error);
        QVERIFY2(m, qPrintable(error));
        READ_BACK(v, m->toBytes());
        QCOMPARE(v.structure(), "multipart/related(text/html,image/png)");
        const QJsonObject png = v.part("image/png");
        const QString cid = png.value("content_id").toString().mid(1).chopped(1);
        const QString html = v.part("text/html").value("text").toString();
        QCOMPARE(html.count("src=\"cid:" + cid + "\""), 1);
        QCOMPARE(html.count("src='cid:" + cid + "'"), 1);
        QVERIFY(html.contains("src=\"http://example.com/x.png\""));
        QVERIFY(html.contains("src=\"fehlt.png\""));
        QVERIFY(html.contains("background=\"notiz.txt\""));
        QCOMPARE(png.value("sha256").toString(), sha256(FileBytes(MailTestData("bild.png"))));

        QVERIFY(!MailMessage::fromHtmlFile(dir.file("nichts.html"), &error));
        QCOMPARE(error, "Die Datei " + dir.file("nichts.html") + " kann nicht geöffnet werden!");
    }

    void unpackForDisplay()
    {
        TestFolder dir;
        const MailMessage m = loaded("related.eml");
        QString error;
        QVERIFY2(m.unpackHtml(dir.path() + "vorschau", "innerpreview1.html", "images1", &error), qPrintable(error));
        const QString html = vt::ReadTextFile(dir.file("vorschau/innerpreview1.html"));
        // The part named "../../evil.png" lands inside the parts folder, nowhere else.
        QVERIFY2(html.contains("src=\"images1/evil.png\""), qPrintable(html));
        QCOMPARE(FileBytes(dir.file("vorschau/images1/evil.png")), FileBytes(MailTestData("bild.png")));
        QVERIFY(!QFileInfo::exists(dir.file("evil.png")));
        QVERIFY(!QFileInfo::exists(QDir::cleanPath(dir.path() + "../evil.png")));
        QVERIFY(html.contains("charset=utf-8"));
        // The attachment is not part of the page.
        QVERIFY(!QFileInfo::exists(dir.file("vorschau/images1/preise.pdf")));
    }
};

QTEST_GUILESS_MAIN(TestMailMessage)
#include "tst_mailmessage.moc"
