// Plain-text messages: character sets, header safety, line lengths, attachments.
#include "mimeoracle.h"
#include "testfolder.h"
#include "textmail.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

using vt::TextMail;

namespace {

TextMail sample()
{
    TextMail m;
    m.fromName = "Vantrel Versand";
    m.fromAddress = "versand@example.com";
    m.recipients = {{"kunde@example.net", "kunde@example.net", vt::RecipientKind::To}};
    m.subject = "Hallo";
    m.body = "Zeile 1\nZeile 2\n";
    return m;
}

} // namespace

class TestTextMail : public QObject
{
    Q_OBJECT
private slots:
    void charsets_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("declared");
        // UTF-7 texts that end in a non-ASCII letter catch an encoder that loses its last run.
        QTest::newRow("latin1") << 0 << "Grüße an Mü"
                                << "iso-8859-1";
        QTest::newRow("latin1 cannot hold the euro") << 0 << "Preis 5 € für Mü"
                                                     << "utf-8";
        QTest::newRow("windows-1252 with euro and quotes") << 1 << "5 € „Zitat“ Mü"
                                                           << "windows-1252";
        QTest::newRow("windows-1252 cannot hold Polish") << 1 << "Łódź"
                                                         << "utf-8";
        QTest::newRow("utf-7") << 2 << "Grüße € Mü"
                               << "utf-7";
        QTest::newRow("utf-8") << 3 << "é € „“ – 😀 ü"
                               << "utf-8";
        QTest::newRow("ascii") << 3 << "plain"
                               << "utf-8";
        // Long enough for several encoded words in the subject and soft breaks in the body.
        const QString longText = QString("Grüße an Müller = 100 % – ").repeated(8);
        QTest::newRow("long latin1") << 0 << QString(longText).replace("–", "-") << "iso-8859-1";
        QTest::newRow("long utf-8") << 3 << longText << "utf-8";
        QTest::newRow("long utf-7") << 2 << longText << "utf-7";
    }
    void charsets()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, declared);
        TextMail m = sample();
        m.charsetIndex = index;
        m.subject = text;
        m.fromName = "Müller";
        m.body = text + "\n" + text;
        READ_BACK(v, vt::ComposeTextMail(m));
        QCOMPARE(v.defects(), QStringList());
        QCOMPARE(v.structure(), "text/plain");
        QCOMPARE(v.subject(), text);
        QCOMPARE(v.mailboxes("From"), QStringList{"Müller <versand@example.com>"});
        const QJsonObject part = v.part("text/plain");
        QCOMPARE(part.value("charset").toString(), declared);
        QCOMPARE(part.value("text").toString(), text + "\r\n" + text);
    }

    void headersAndPriority_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<QStringList>("xPriority");
        QTest::addColumn<QStringList>("msPriority");
        QTest::newRow("high") << 1 << QStringList{"1"} << QStringList{"High"};
        QTest::newRow("normal") << 3 << QStringList() << QStringList();
        QTest::newRow("low") << 5 << QStringList{"5"} << QStringList{"Low"};
    }
    void headersAndPriority()
    {
        QFETCH(int, priority);
        TextMail m = sample();
        m.priority = priority;
        m.mailer = "XMailer";
        m.recipients.append({"", "kopie@example.net", vt::RecipientKind::Cc});
        m.recipients.append({"", "blind@example.net", vt::RecipientKind::Bcc});
        READ_BACK(v, vt::ComposeTextMail(m));
        QTEST(v.headers("X-Priority"), "xPriority");
        QTEST(v.headers("X-MSMail-Priority"), "msPriority");
        QCOMPARE(v.headers("X-Mailer"), QStringList{"XMailer"});
        QCOMPARE(v.mailboxes("To"), QStringList{"kunde@example.net <kunde@example.net>"});
        QCOMPARE(v.mailboxes("Cc"), QStringList{" <kopie@example.net>"});
        // A blind copy never shows in the message.
        QCOMPARE(v.headers("Bcc"), QStringList());
        QCOMPARE(v.headers("MIME-Version"), QStringList{"1.0"});
        QVERIFY(v.headers("Message-ID").value(0).endsWith("@example.com>"));
        QCOMPARE(v.headers("Date").size(), 1);
    }

    void valuesCannotMakeHeaders()
    {
        TextMail m = sample();
        m.subject = "Hallo\r\nBcc: opfer@example.net";
        m.fromName = "Max \"der Große\" Muster\nX-Evil: 1";
        m.recipients = {{"a\r\nb", "kunde@example.net>\r\nRCPT TO:<x@y>", vt::RecipientKind::To}};
        READ_BACK(v, vt::ComposeTextMail(m));
        QCOMPARE(v.headers("Bcc"), QStringList());
        QCOMPARE(v.headers("X-Evil"), QStringList());
        QCOMPARE(v.subject(), "Hallo  Bcc: opfer@example.net");
        QCOMPARE(v.mailboxes("From"), QStringList{"Max \"der Große\" Muster X-Evil: 1 <versand@example.com>"});
        QCOMPARE(v.headers("To").size(), 1);
    }

    void longAndOddLines()
    {
        TextMail m = sample();
        const QString longLine(1500, QLatin1Char('x'));
        m.body = longLine + "\r\n.\r\nEnde mit Blank \rletzte";
        READ_BACK(v, vt::ComposeTextMail(m));
        QVERIFY(v.json.value("longest_line").toInt() <= 998);
        QCOMPARE(v.json.value("bare_lf").toInt(), 0);
        QCOMPARE(v.part("text/plain").value("cte").toString(), "quoted-printable");
        QCOMPARE(v.part("text/plain").value("text").toString(), longLine + "\r\n.\r\nEnde mit Blank \r\nletzte");
    }

    void longHeadersFolded_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("encodedName");
        const QString run(1200, QLatin1Char('x'));
        QTest::newRow("values without blanks") << "Hallo " + run + " und " + run << "Max" << false;
        QTest::newRow("umlauts without blanks") << QString(1200, QChar(0xFC)) << QString(1200, QChar(0xE4)) << true;
        QTest::newRow("long name with blanks") << "Hallo" << QString("Max Muster ").repeated(150).trimmed() << false;
        QTest::newRow("long quoted name") << "Hallo" << QString("a,b ").repeated(300).trimmed() << false;
        QTest::newRow("long name without blanks") << "Hallo" << run << true;
    }
    void longHeadersFolded()
    {
        QFETCH(QString, subject);
        QFETCH(QString, name);
        QFETCH(bool, encodedName);
        TextMail m = sample();
        m.subject = subject;
        m.fromName = name;
        m.recipients = {{name, "kunde@example.net", vt::RecipientKind::To}};
        READ_BACK(v, vt::ComposeTextMail(m));
        const int longest = v.json.value("longest_line").toInt();
        QVERIFY2(longest <= 998, qPrintable(QString::number(longest)));
        QCOMPARE(v.defects(), QStringList());
        QCOMPARE(v.subject(), subject);
        // Python's address parser keeps the blank between two encoded words that
        // RFC 2047 6.2 has readers drop; such a name is compared without blanks.
        auto comparable = [&](QString box) { return encodedName ? box.remove(QLatin1Char(' ')) : box; };
        QCOMPARE(comparable(v.mailboxes("From").value(0)), comparable(name + " <versand@example.com>"));
        QCOMPARE(comparable(v.mailboxes("To").value(0)), comparable(name + " <kunde@example.net>"));
    }

    void attachmentEncodedOnceServesEveryMessage()
    {
        TestFolder dir;
        const QString pdf = MailTestData("preise.pdf");
        QFile::copy(pdf, dir.file("Angebot März.pdf"));
        QString error;
        const vt::MimeAttachment a = vt::MimeAttachment::fromFile(dir.file("Angebot März.pdf"), &error);
        QVERIFY2(!a.isNull(), qPrintable(error));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        for (const char *to : {"eins@example.net", "zwei@example.net"}) {
            TextMail m = sample();
            m.recipients = {{"", QString::fromLatin1(to), vt::RecipientKind::To}};
            READ_BACK(v, vt::ComposeTextMail(m, {a}));
            QCOMPARE(v.defects(), QStringList());
            QCOMPARE(v.structure(), "multipart/mixed(text/plain,application/pdf)");
            QCOMPARE(v.part("text/plain").value("text").toString(), "Zeile 1\r\nZeile 2\r\n");
            QCOMPARE(v.part("application/pdf").value("filename").toString(), "Angebot März.pdf");
            QCOMPARE(v.part("application/pdf").value("sha256").toString(), hash);
        }
        QVERIFY(vt::MimeAttachment::fromFile(dir.file("fehlt.pdf"), &error).isNull());
        QCOMPARE(error, "Die Datei " + dir.file("fehlt.pdf") + " kann nicht geöffnet werden!");
    }
};

QTEST_GUILESS_MAIN(TestTextMail)
#include "tst_textmail.moc"
