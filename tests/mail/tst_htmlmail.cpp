// The HTML message of one recipient, composed from a loaded mail and read back
// with Python's e-mail parser.
#include "htmlmail.h"
#include "mailsettings.h"
#include "mimeoracle.h"
#include "testfolder.h"
#include "textfile.h"

#include <QTest>

using namespace vt;

namespace {

struct Recipient
{
    TestFolder dir;
    PlaceholderValues values;
    explicit Recipient(const QString &name = "Müller", const QString &anrede = "Herr")
    {
        WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr", "{LEER}|Hallo"});
        const MapRecipientValues record(
            {{"Mail", "kunde@example.net"}, {"Anrede", anrede}, {"Name", name}, {"Spalte2", "Gold"}});
        const Personalizer p(record.fieldNames(), dir.file("Grussformel.txt"));
        p.values(record, values);
    }
};

HtmlMailOptions options(int priority = 1, int xmailer = 0, int charset = 3)
{
    HtmlMailOptions o;
    o.charsetIndex = charset;
    o.priorityIndex = priority;
    o.xmailerType = xmailer;
    o.senderName = "Versand Team";
    o.senderAddress = "versand@example.com";
    return o;
}

QString sha(const MimeView &v, const QString &type)
{
    return v.part(type).value("sha256").toString();
}

} // namespace

class TestHtmlMail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = MissingProgram("/usr/bin/python3", "python3");
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void oneRecipientAndTheLoadedMailKept()
    {
        const QByteArray original = FileBytes(MailTestData("related.eml"));
        READ_BACK(before, original);
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes(original));
        Recipient r;
        const QByteArray bytes = b.build(r.values, "Newsletter für $NAME", "  kunde@example.net ", options());
        READ_BACK(mail, bytes);
        QVERIFY2(mail.defects().isEmpty(), qPrintable(mail.defects().join(",")));
        // The loaded mail had three To, a Cc and a Bcc: only the record's address is left.
        QCOMPARE(mail.mailboxes("To"), QStringList{" <kunde@example.net>"});
        QVERIFY(mail.mailboxes("Cc").isEmpty());
        QVERIFY(mail.mailboxes("Bcc").isEmpty());
        QCOMPARE(mail.mailboxes("From"), QStringList{"Versand Team <versand@example.com>"});
        for (const char *gone : {"Received", "Return-Path", "Delivery-Date", "Thread-Index", "X-Unsent"})
            QVERIFY2(mail.headers(gone).isEmpty(), gone);
        QVERIFY(mail.headers("Date").value(0).endsWith("+0000"));
        QVERIFY(!mail.headers("Message-ID").value(0).contains("vorlage-1"));
        QCOMPARE(mail.subject(), QStringLiteral("Newsletter für Müller"));
        QCOMPARE(mail.structure(), before.structure());
        QVERIFY(mail.part("text/html").value("text").toString().contains("<p>Hallo Müller</p>"));
        QVERIFY(mail.part("text/plain").value("text").toString().startsWith("Hallo Müller, Grüße!"));
        // Picture and attachment go out byte for byte.
        QCOMPARE(sha(mail, "image/png"), sha(before, "image/png"));
        QCOMPARE(sha(mail, "application/pdf"), sha(before, "application/pdf"));

        // The next recipient's message holds nothing of the first.
        Recipient second("Schmidt");
        READ_BACK(next, b.build(second.values, "Newsletter für $NAME", "zwei@example.net", options()));
        QCOMPARE(next.mailboxes("To"), QStringList{" <zwei@example.net>"});
        QCOMPARE(next.subject(), QStringLiteral("Newsletter für Schmidt"));
        QVERIFY(!next.part("text/html").value("text").toString().contains("Müller"));
    }

    void placeholdersEveryOccurrenceInExactCase()
    {
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes("Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                            "<p>$ANREDE $NAME, $NAME und $NAME; $name $SPALTE2</p>\r\n"));
        Recipient r;
        READ_BACK(mail, b.build(r.values, "$Name $NAME", "kunde@example.net", options()));
        QCOMPARE(mail.part("text/html").value("text").toString().trimmed(),
                 QStringLiteral("<p>Sehr geehrter Herr Müller, Müller und Müller; $name Gold</p>"));
        QCOMPARE(mail.subject(), QStringLiteral("$Name Müller"));
        // A mail without a text part gets none made up.
        QCOMPARE(mail.structure(), QStringLiteral("text/html"));
    }

    void priorityAndIdentity_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("xmailer");
        QTest::addColumn<QStringList>("xPriority");
        QTest::addColumn<QStringList>("msPriority");
        QTest::addColumn<QStringList>("mailer");
        QTest::addColumn<QStringList>("mimeOle");
        // The loaded mail has "X-Priority: 3" and "X-Mailer: Irgendein Programm".
        QTest::newRow("Hoch, Vantrel") << 0 << 0 << QStringList{"1"} << QStringList{"High"}
                                       << QStringList{"Irgendein Programm"} << QStringList{};
        QTest::newRow("Normal, Outlook Express")
            << 1 << 1 << QStringList{"3"} << QStringList{} << QStringList{"Microsoft Outlook Express 6.00.2900.5931"}
            << QStringList{"Produced By Microsoft MimeOLE V6.00.2900.5994"};
        QTest::newRow("Niedrig, Outlook 2010") << 2 << 5 << QStringList{"5"} << QStringList{"Low"}
                                               << QStringList{"Microsoft Outlook 14.0"} << QStringList{};
    }
    void priorityAndIdentity()
    {
        QFETCH(int, priority);
        QFETCH(int, xmailer);
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes(FileBytes(MailTestData("related.eml"))));
        Recipient r;
        READ_BACK(mail, b.build(r.values, "s", "kunde@example.net", options(priority, xmailer)));
        QTEST(mail.headers("X-Priority"), "xPriority");
        QTEST(mail.headers("X-MSMail-Priority"), "msPriority");
        QTEST(mail.headers("X-Mailer"), "mailer");
        QTEST(mail.headers("X-MimeOLE"), "mimeOle");
    }

    void characterSets_data()
    {
        QTest::addColumn<int>("charset");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("iso-8859-1") << 0 << "iso-8859-1"
                                    << "Grüße";
        QTest::newRow("windows-1252") << 1 << "windows-1252"
                                      << "Preis 5 €";
        QTest::newRow("utf-7, ending in ü") << 2 << "utf-7"
                                            << "Grü";
        QTest::newRow("utf-8") << 3 << "utf-8"
                               << "Café € „gut“";
    }
    void characterSets()
    {
        QFETCH(int, charset);
        QFETCH(QString, name);
        QFETCH(QString, text);
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes(FileBytes(MailTestData("related.eml"))));
        Recipient r(text);
        READ_BACK(mail, b.build(r.values, "$NAME", "kunde@example.net", options(1, 0, charset)));
        QCOMPARE(mail.subject(), text);
        QCOMPARE(mail.part("text/html").value("charset").toString(), name);
        QVERIFY(mail.part("text/html").value("text").toString().contains("Hallo " + text));
        QVERIFY(mail.part("text/plain").value("text").toString().startsWith("Hallo " + text));
    }

    void trackingRewritesTheHtmlPartOnly()
    {
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes("Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=b\r\n\r\n"
                            "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nhttp://a.de/$NAME\r\n"
                            "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                            "<a href=\"http://a.de/$NAME\">a</a>\r\n--b--\r\n"));
        Recipient r("Maier");
        HtmlMailOptions o = options();
        o.tracking = true;
        o.statsUrl = "https://s.example.com/";
        o.mailingId = "202401020304";
        o.trackingKey = QByteArray(64, 'k');
        READ_BACK(mail, b.build(r.values, "s", "kunde@example.net", o));
        // The personalised address is the one signed.
        QVERIFY(mail.part("text/html")
                    .value("text")
                    .toString()
                    .contains(
                        "href=\"https://s.example.com/stats.php?nid=202401020304&url=http%3A%2F%2Fa.de%2FMaier&sig="));
        QCOMPARE(mail.part("text/plain").value("text").toString().trimmed(), QStringLiteral("http://a.de/Maier"));
    }

    void valuesBringNeitherMarkupNorTrackedLinks()
    {
        // Names and subjects come from a public web form.
        HtmlMailBuilder b;
        QVERIFY(b.loadBytes("Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                            "<p>Hallo $NAME</p><a href=\"https://a.de/?n=$NAME\">a</a><a href=\"$NAME\">b</a>\r\n"));
        HtmlMailOptions o = options();
        o.tracking = true;
        o.statsUrl = "https://s.example.com/";
        o.mailingId = "202401020304";
        o.trackingKey = QByteArray(64, 'k');
        const QString evil = "https://evil.example/";
        Recipient r("<a href=\"" + evil + "\">hier</a>");
        READ_BACK(mail, b.build(r.values, "Für $NAME", "kunde@example.net", o));
        const QString html = mail.part("text/html").value("text").toString();
        QVERIFY2(html.startsWith("<p>Hallo &lt;a href=&quot;https://evil.example/&quot;&gt;hier&lt;/a&gt;</p>"),
                 qPrintable(html));
        // The template's link is signed with the value inside it encoded; the other
        // link, made of the value alone, is neither a web address nor signed.
        QCOMPARE(html.count("stats.php"), 1);
        QVERIFY(html.contains("&url=https%3A%2F%2Fa.de%2F%3Fn%3D%253Ca%2520href"));
        QVERIFY(html.contains("<a href=\"%3Ca%20href%3D%22https%3A%2F%2Fevil.example%2F%22%3Ehier%3C%2Fa%3E\">b</a>"));
        QCOMPARE(mail.subject(), "Für <a href=\"" + evil + "\">hier</a>");

        Recipient plain(evil);
        READ_BACK(next, b.build(plain.values, "s", "kunde@example.net", o));
        const QString second = next.part("text/html").value("text").toString();
        QCOMPARE(second.count("stats.php"), 1);
        QVERIFY2(second.contains("<a href=\"https%3A%2F%2Fevil.example%2F\">b</a>"), qPrintable(second));
    }
};

QTEST_GUILESS_MAIN(TestHtmlMail)
#include "tst_htmlmail.moc"
