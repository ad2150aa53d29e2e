// The SMTP component against a real server (aiosmtpd: plain, STARTTLS, implicit
// TLS, AUTH, refused recipients and senders) and against a scripted server for
// the faults real servers do not produce.
#include "mailmessage.h"
#include "mimeoracle.h"
#include "smtpclient.h"
#include "smtpserver.h"
#include "testcertificates.h"
#include "testfolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

using vt::SmtpClient;
using vt::SmtpErrorClass;

Q_DECLARE_METATYPE(SmtpErrorClass)
Q_DECLARE_METATYPE(vt::TlsMode)
Q_DECLARE_METATYPE(SmtpServer::Tls)

namespace {

// A scripted SMTP server: answers every command as a willing server would,
// unless told otherwise for a command word ("GREETING", "EHLO", "MAIL", "RCPT",
// "DATA", "." for the end of the message, "AUTH"). An empty answer is silence;
// "CLOSE" closes the connection; "TRICKLE" sends continuation lines without end,
// one every 50 ms.
class FakeSmtp : public QObject
{
public:
    FakeSmtp()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                accept(s);
        });
    }
    quint16 port() const { return m_server.serverPort(); }

    QMap<QByteArray, QByteArray> answers;
    // Answers for one command word on one connection (numbered from 1) and one
    // occurrence; nullopt leaves it to `answers`.
    std::function<std::optional<QByteArray>(const QByteArray &verb, int connection)> hook;
    QList<QByteArray> extensions{"AUTH PLAIN LOGIN", "8BITMIME"};
    bool dropInData = false;
    bool holdUntilData = false; // answers nothing before DATA arrives (a test of pipelining)

    QList<QByteArray> commands;
    QList<QByteArray> messages; // the DATA bytes as they came over the wire
    int connections = 0;
    QTcpSocket *current = nullptr;

private:
    void accept(QTcpSocket *s)
    {
        ++connections;
        current = s;
        const int number = connections;
        auto buffer = std::make_shared<QByteArray>();
        auto inData = std::make_shared<bool>(false);
        auto held = std::make_shared<QByteArray>();
        connect(s, &QTcpSocket::readyRead, this, [=, this] {
            *buffer += s->readAll();
            for (;;) {
                if (*inData) {
                    if (dropInData) {
                        s->abort();
                        return;
                    }
                    const qsizetype end = buffer->startsWith(".\r\n") ? 0 : buffer->indexOf("\r\n.\r\n");
                    if (end < 0)
                        return;
                    const qsizetype cut = end == 0 ? 3 : end + 5;
                    messages.append(buffer->left(end == 0 ? 0 : end + 2));
                    buffer->remove(0, cut);
                    *inData = false;
                    reply(s, ".", number, held);
                    continue;
                }
                const qsizetype nl = buffer->indexOf("\r\n");
                if (nl < 0)
                    return;
                const QByteArray line = buffer->left(nl);
                buffer->remove(0, nl + 2);
                commands.append(line);
                const QByteArray verb = line.split(' ').first().toUpper();
                if (verb == "DATA" && holdUntilData) {
                    s->write(*held);
                    held->clear();
                }
                const QByteArray answer = reply(s, verb, number, held);
                if (verb == "DATA" && answer.startsWith("354"))
                    *inData = true;
                if (s->state() != QAbstractSocket::ConnectedState)
                    return;
            }
        });
        reply(s, "GREETING", number, held);
    }

    QByteArray reply(QTcpSocket *s, const QByteArray &verb, int connection, const std::shared_ptr<QByteArray> &held)
    {
        std::optional<QByteArray> answer = hook ? hook(verb, connection) : std::nullopt;
        if (!answer)
            answer = answers.contains(verb) ? answers.value(verb) : standard(verb);
        if (answer->isEmpty())
            return *answer;
        if (*answer == "CLOSE") {
            s->disconnectFromHost();
            return *answer;
        }
        if (*answer == "TRICKLE") {
            auto *t = new QTimer(s);
            connect(t, &QTimer::timeout, s, [s] { s->write("250-still busy\r\n"); });
            t->start(50);
            return *answer;
        }
        const QByteArray bytes = *answer + "\r\n";
        if (holdUntilData && (verb == "MAIL" || verb == "RCPT"))
            *held += bytes;
        else
            s->write(bytes);
        if (verb == "QUIT")
            s->disconnectFromHost();
        return *answer;
    }

    QByteArray standard(const QByteArray &verb) const
    {
        if (verb == "GREETING")
            return "220 fake.test ESMTP";
        if (verb == "EHLO") {
            QByteArray r = "250-fake.test";
            for (const QByteArray &e : extensions)
                r += "\r\n250-" + e;
            return r + "\r\n250 SIZE 10000000";
        }
        if (verb == "AUTH")
            return "235 2.7.0 Authentication successful";
        if (verb == "DATA")
            return "354 End data with <CR><LF>.<CR><LF>";
        if (verb == "QUIT")
            return "221 Bye";
        return "250 OK";
    }

    QTcpServer m_server;
};

std::unique_ptr<SmtpClient> makeClient(quint16 port, int replyMs = 10000)
{
    auto c = std::make_unique<SmtpClient>();
    c->setServer("127.0.0.1", port);
    c->setTimeouts(10000, replyMs, replyMs);
    c->setSslConfiguration(TestCertificates::instance().trustingClient());
    c->setFromAddr("versand@example.com");
    c->setFrom("Vantrel Versand");
    c->addRecipient("kunde@example.net", "kunde@example.net");
    c->setSubject("Hallo");
    c->setBodyText("Guten Tag\r\n");
    return c;
}

} // namespace

#define START(server)                                                                                                  \
    do {                                                                                                               \
        const QString why = (server).start();                                                                          \
        QVERIFY2(why.isEmpty(), qPrintable(why));                                                                      \
    } while (0)

class TestSmtpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString why = TestCertificates::instance().error;
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    // --- a real server ---

    void sessions_data()
    {
        QTest::addColumn<SmtpServer::Tls>("serverTls");
        QTest::addColumn<vt::TlsMode>("clientTls");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QStringList>("exclude");
        QTest::newRow("plain") << SmtpServer::Tls::Plain << vt::TlsMode::Off << false << QStringList();
        QTest::newRow("STARTTLS, AUTH PLAIN")
            << SmtpServer::Tls::StartTls << vt::TlsMode::Auto << true << QStringList();
        QTest::newRow("STARTTLS, AUTH LOGIN")
            << SmtpServer::Tls::StartTls << vt::TlsMode::Auto << true << QStringList{"PLAIN"};
        QTest::newRow("implicit TLS, AUTH")
            << SmtpServer::Tls::Implicit << vt::TlsMode::Implicit << true << QStringList();
    }
    void sessions()
    {
        QFETCH(SmtpServer::Tls, serverTls);
        QFETCH(vt::TlsMode, clientTls);
        QFETCH(bool, auth);
        QFETCH(QStringList, exclude);
        SmtpServer server({serverTls, "kunde", "Geheim&Passwört", auth, exclude, {}, {}});
        START(server);
        auto c = makeClient(server.port());
        c->setTlsMode(clientTls);
        if (auth)
            c->setCredentials("kunde", "Geheim&Passwört");
        QVERIFY(c->addAttachment(MailTestData("preise.pdf")));
        QSignalSpy connected(c.get(), &SmtpClient::connected);

        // Three personalised mails over one connection.
        const QStringList to{"eins@example.net", "zwei@example.net", "drei@example.net"};
        for (const QString &address : to) {
            c->reset();
            c->addRecipient(address, address);
            c->setSubject("Grüße an " + address);
            c->setBodyText("Hallo " + address + ",\r\nviele Grüße\r\n");
            QCOMPARE(c->send(), 0);
            QCOMPARE(c->lastErrorClass(), SmtpErrorClass::None);
        }
        QCOMPARE(connected.count(), 1);

        const QList<SmtpServer::Received> got = server.received();
        QCOMPARE(got.size(), 3);
        const QByteArray pdfHash =
            QCryptographicHash::hash(FileBytes(MailTestData("preise.pdf")), QCryptographicHash::Sha256).toHex();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(got[i].mailFrom, "versand@example.com");
            QCOMPARE(got[i].rcptTo, QStringList{to[i]});
            QCOMPARE(got[i].tls, serverTls != SmtpServer::Tls::Plain);
            QCOMPARE(got[i].login, auth ? "kunde" : "");
            const MimeView v = ReadWithPython(got[i].data);
            QVERIFY2(v.error.isEmpty(), qPrintable(v.error));
            QCOMPARE(v.subject(), "Grüße an " + to[i]);
            QCOMPARE(v.part("text/plain").value("text").toString(), "Hallo " + to[i] + ",\r\nviele Grüße\r\n");
            // The run's attachment goes with every message.
            QCOMPARE(v.part("application/pdf").value("sha256").toString(), QString::fromLatin1(pdfHash));
        }
    }

    void authenticationRefused_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("wrong password") << "falsch" << 535;
        QTest::newRow("no credentials where they are required") << "" << 530;
    }
    void authenticationRefused()
    {
        QFETCH(QString, password);
        SmtpServer server({SmtpServer::Tls::StartTls, "kunde", "richtig", true, {}, {}, {}});
        START(server);
        auto c = makeClient(server.port());
        c->prepareSecure();
        c->setCredentials(password.isEmpty() ? QString() : "kunde", password);
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Authentication);
        QTEST(c->lastReplyCode(), "code");
        QVERIFY2(c->lastErrorText().startsWith("MUST BE AUTHENTICATED: "), qPrintable(c->lastErrorText()));
        QVERIFY(vt::EndsRun(c->lastErrorClass()));
        QCOMPARE(server.received().size(), 0);
    }

    void refusedRecipientKeepsTheConnection()
    {
        SmtpServer server({SmtpServer::Tls::Plain, {}, {}, false, {}, {"weg@example.net"}, {}});
        START(server);
        auto c = makeClient(server.port());
        QSignalSpy connected(c.get(), &SmtpClient::connected);
        c->reset();
        c->addRecipient("", "weg@example.net");
        QCOMPARE(c->send(), 550);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Recipient);
        QVERIFY(!vt::EndsRun(c->lastErrorClass()));
        QVERIFY2(c->lastErrorText().startsWith("RECIPIENT REJECTED: <weg@example.net>: 550 5.1.1"),
                 qPrintable(c->lastErrorText()));
        QVERIFY(!c->lastErrorText().contains("ERROR WITH CONNECTING SERVER"));
        c->reset();
        c->addRecipient("", "da@example.net");
        QCOMPARE(c->send(), 0);
        QCOMPARE(connected.count(), 1);
        const QList<SmtpServer::Received> got = server.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].rcptTo, QStringList{"da@example.net"});
    }

    void refusedSenderEndsTheRun()
    {
        SmtpServer server({SmtpServer::Tls::Plain, {}, {}, false, {}, {}, {"versand@example.com"}});
        START(server);
        auto c = makeClient(server.port());
        QCOMPARE(c->send(), 553);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Sender);
        QVERIFY(vt::EndsRun(c->lastErrorClass()));
        QVERIFY2(c->lastErrorText().startsWith("ERROR WITH CONNECTING SERVER: "), qPrintable(c->lastErrorText()));
        QCOMPARE(server.received().size(), 0);
    }

    void untrustedCertificate_data()
    {
        QTest::addColumn<SmtpServer::Tls>("serverTls");
        QTest::addColumn<vt::TlsMode>("clientTls");
        QTest::newRow("STARTTLS") << SmtpServer::Tls::StartTls << vt::TlsMode::StartTls;
        QTest::newRow("implicit") << SmtpServer::Tls::Implicit << vt::TlsMode::Implicit;
    }
    void untrustedCertificate()
    {
        QFETCH(SmtpServer::Tls, serverTls);
        QFETCH(vt::TlsMode, clientTls);
        SmtpServer server({serverTls, {}, {}, false, {}, {}, {}});
        START(server);
        auto c = makeClient(server.port());
        // Only the system's authorities: the test authority is unknown.
        c->setSslConfiguration(QSslConfiguration::defaultConfiguration());
        c->setTlsMode(clientTls);
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Connection);
        QVERIFY2(c->lastErrorText().startsWith("ERROR WITH CONNECTING SERVER: 127.0.0.1:"),
                 qPrintable(c->lastErrorText()));
        QVERIFY2(c->lastErrorText().contains("TLS: "), qPrintable(c->lastErrorText()));
        QCOMPARE(server.received().size(), 0);
    }

    void rawMailArrivesAsComposed()
    {
        SmtpServer server({SmtpServer::Tls::Plain, {}, {}, false, {}, {}, {}});
        START(server);
        vt::MailMessage m;
        QVERIFY(m.loadFile(MailTestData("related.eml")));
        m.setHtmlBody(m.htmlBody().replace("$NAME", "Müller"));
        m.setCharset("utf-8");
        const QByteArray bytes = m.toBytes();
        auto c = makeClient(server.port());
        c->setMailFormat(SmtpClient::RawMail);
        c->setRawContent(bytes);
        QCOMPARE(c->send(), 0);
        const QList<SmtpServer::Received> got = server.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].data, bytes);

        // Eight-bit bytes are announced where the server offers it.
        c->setRawContent(
            "Subject: x\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
            "Gr\xC3\xBC\xC3\x9F\x65\r\n");
        QCOMPARE(c->send(), 0);
        QCOMPARE(server.received().value(1).mailOptions, QStringList{"BODY=8BITMIME"});
    }

    void valuesCannotEndTheMessage()
    {
        SmtpServer server({SmtpServer::Tls::Plain, {}, {}, false, {}, {}, {}});
        START(server);
        auto c = makeClient(server.port());
        const QString evil = "x\r\n.\r\nRSET\r\nMAIL FROM:<evil@example.org>\r\nRCPT TO:<opfer@example.org>\r\n.";
        c->setSubject("Hallo\r\nBcc: opfer@example.org");
        c->setBodyText("Hallo " + evil + "\n.punkt\rEnde");
        QCOMPARE(c->send(), 0);
        const QList<SmtpServer::Received> got = server.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].rcptTo, QStringList{"kunde@example.net"});
        const MimeView v = ReadWithPython(got[0].data);
        QCOMPARE(v.headers("Bcc"), QStringList());
        QCOMPARE(v.part("text/plain").value("text").toString(),
                 "Hallo x\r\n.\r\nRSET\r\nMAIL FROM:<evil@example.org>\r\nRCPT "
                 "TO:<opfer@example.org>\r\n.\r\n.punkt\r\nEnde\r\n");
    }

    void protocolLogHoldsNoPassword_data()
    {
        QTest::addColumn<QStringList>("exclude");
        QTest::newRow("PLAIN") << QStringList();
        QTest::newRow("LOGIN") << QStringList{"PLAIN"};
    }
    void protocolLogHoldsNoPassword()
    {
        QFETCH(QStringList, exclude);
        TestFolder dir;
        SmtpServer server({SmtpServer::Tls::StartTls, "kunde", "Sehr:Geheim", true, exclude, {}, {}});
        START(server);
        auto c = makeClient(server.port());
        c->prepareSecure();
        c->setCredentials("kunde", "Sehr:Geheim");
        c->setLogFileName(dir.file("Logfile.txt"));
        c->setBodyText("Vertraulicher Inhalt");
        QCOMPARE(c->send(), 0);
        c->disconnectFromServer();
        QTRY_VERIFY(!c->isConnected());
        const QByteArray log = dir.read("Logfile.txt");
        for (const char *expected : {"> EHLO [127.0.0.1]", "> STARTTLS", "< 250", "> MAIL FROM:<versand@example.com>",
                                     "> RCPT TO:<kunde@example.net>", "[message, ", "> QUIT"})
            QVERIFY2(log.contains(expected), expected);
        QVERIFY(log.contains(exclude.isEmpty() ? "> AUTH PLAIN ********" : "> ********"));
        for (const QByteArray &secret :
             {QByteArray("Sehr:Geheim"), QByteArray("Sehr:Geheim").toBase64(),
              QByteArray("\0kunde\0Sehr:Geheim", 18).toBase64(), QByteArray("Vertraulicher Inhalt")})
            QVERIFY2(!log.contains(secret), secret.constData());
    }

    // --- a scripted server ---

    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<SmtpErrorClass>("kind");
        QTest::newRow("line break") << "versand@example.com"
                                    << "a@example.net\r\nRCPT TO:<b@example.net>" << SmtpErrorClass::Recipient;
        QTest::newRow("blank") << "versand@example.com"
                               << "a b@example.net" << SmtpErrorClass::Recipient;
        QTest::newRow("brackets") << "versand@example.com"
                                  << "<a@example.net>" << SmtpErrorClass::Recipient;
        QTest::newRow("closing bracket") << "versand@example.com"
                                         << "a@example.net>" << SmtpErrorClass::Recipient;
        QTest::newRow("tab") << "versand@example.com"
                             << "a@example.net\t" << SmtpErrorClass::Recipient;
        QTest::newRow("non-ASCII") << "versand@example.com"
                                   << "müller@example.net" << SmtpErrorClass::Recipient;
        QTest::newRow("empty") << "versand@example.com"
                               << "" << SmtpErrorClass::Recipient;
        QTest::newRow("bad sender") << "versand@example.com>\r\nRSET"
                                    << "a@example.net" << SmtpErrorClass::Sender;
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(SmtpErrorClass, kind);
        FakeSmtp fake;
        auto c = makeClient(fake.port());
        c->setFromAddr(from);
        c->reset();
        c->addRecipient("", to);
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), kind);
        QCOMPARE(fake.connections, 0);
    }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<SmtpErrorClass>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        using E = SmtpErrorClass;
        const QString conn = "ERROR WITH CONNECTING SERVER: ";
        QTest::newRow("421 greeting") << QByteArray("GREETING") << QByteArray("421 4.3.2 Try later") << E::Connection
                                      << 421 << conn + "127.0.0.1:%1: 421 4.3.2 Try later";
        QTest::newRow("421 at MAIL") << QByteArray("MAIL") << QByteArray("421 4.7.0 Closing") << E::Connection << 421
                                     << conn + "sender <versand@example.com> refused: 421 4.7.0 Closing";
        QTest::newRow("451 at RCPT") << QByteArray("RCPT") << QByteArray("451 4.7.1 Greylisted") << E::Connection << 451
                                     << conn + "<kunde@example.net>: 451 4.7.1 Greylisted";
        QTest::newRow("530 at MAIL") << QByteArray("MAIL") << QByteArray("530 5.7.0 Authentication required")
                                     << E::Authentication << 530
                                     << "MUST BE AUTHENTICATED: sender <versand@example.com> refused: 530 5.7.0 "
                                        "Authentication required";
        QTest::newRow("535 at AUTH") << QByteArray("AUTH") << QByteArray("535 5.7.8 Bad credentials")
                                     << E::Authentication << 535
                                     << "MUST BE AUTHENTICATED: 127.0.0.1:%1: 535 5.7.8 Bad credentials";
        QTest::newRow("550 at RCPT") << QByteArray("RCPT") << QByteArray("550 5.1.1 No such user") << E::Recipient
                                     << 550 << "RECIPIENT REJECTED: <kunde@example.net>: 550 5.1.1 No such user";
        // A refusal of the account or the server, not of the address: the run ends
        // and no recipient is called invalid for it.
        const QString auth = "MUST BE AUTHENTICATED: <kunde@example.net>: ";
        QTest::newRow("relay denied at RCPT") << QByteArray("RCPT") << QByteArray("554 5.7.1 Relay access denied")
                                              << E::Authentication << 554 << auth + "554 5.7.1 Relay access denied";
        QTest::newRow("policy 5.7 with 550") << QByteArray("RCPT") << QByteArray("550 5.7.1 Client host rejected")
                                             << E::Authentication << 550 << auth + "550 5.7.1 Client host rejected";
        QTest::newRow("relaying without a code") << QByteArray("RCPT") << QByteArray("550 Relaying denied")
                                                 << E::Authentication << 550 << auth + "550 Relaying denied";
        QTest::newRow("authentication without a code")
            << QByteArray("RCPT") << QByteArray("550 Authentication required") << E::Authentication << 550
            << auth + "550 Authentication required";
        QTest::newRow("530 at RCPT") << QByteArray("RCPT") << QByteArray("530 Must authenticate") << E::Authentication
                                     << 530 << auth + "530 Must authenticate";
        QTest::newRow("554 without a code at RCPT")
            << QByteArray("RCPT") << QByteArray("554 Transaction failed") << E::Connection << 554
            << conn + "<kunde@example.net>: 554 Transaction failed";
        // The address itself: the recipient's fault, whatever else the text says.
        QTest::newRow("unknown in the relay table")
            << QByteArray("RCPT") << QByteArray("550 5.1.1 <kunde@example.net>: User unknown in relay recipient table")
            << E::Recipient << 550
            << "RECIPIENT REJECTED: <kunde@example.net>: 550 5.1.1 <kunde@example.net>: User unknown in relay "
               "recipient table";
        QTest::newRow("mailbox disabled")
            << QByteArray("RCPT") << QByteArray("554 5.2.1 Mailbox disabled") << E::Recipient << 554
            << "RECIPIENT REJECTED: <kunde@example.net>: 554 5.2.1 Mailbox disabled";
        QTest::newRow("551 without a code") << QByteArray("RCPT") << QByteArray("551 User not local") << E::Recipient
                                            << 551 << "RECIPIENT REJECTED: <kunde@example.net>: 551 User not local";
        QTest::newRow("553 without a code")
            << QByteArray("RCPT") << QByteArray("553 Mailbox name not allowed") << E::Recipient << 553
            << "RECIPIENT REJECTED: <kunde@example.net>: 553 Mailbox name not allowed";
        QTest::newRow("552 at DATA") << QByteArray("DATA") << QByteArray("552 5.3.4 Too big") << E::Message << 552
                                     << conn + "message refused: 552 5.3.4 Too big";
        QTest::newRow("554 after the message") << QByteArray(".") << QByteArray("554 5.7.1 Spam") << E::Message << 554
                                               << conn + "message refused: 554 5.7.1 Spam";
        QTest::newRow("451 after the message") << QByteArray(".") << QByteArray("451 4.3.0 Try again") << E::Connection
                                               << 451 << conn + "message refused: 451 4.3.0 Try again";
        QTest::newRow("no greeting") << QByteArray("GREETING") << QByteArray() << E::Connection << 0
                                     << conn + "127.0.0.1:%1: time-out, no answer within 0.3 s";
        QTest::newRow("no answer to the message") << QByteArray(".") << QByteArray() << E::Connection << 0
                                                  << conn + "127.0.0.1:%1: time-out, no answer within 0.3 s";
        QTest::newRow("closed at MAIL") << QByteArray("MAIL") << QByteArray("CLOSE") << E::Connection << 0
                                        << conn + "127.0.0.1:%1: connection closed by the server";
        // Replies without bounds: the run must not wait or grow without end.
        QTest::newRow("line too long") << QByteArray("EHLO") << QByteArray("250 " + QByteArray(600, 'x'))
                                       << E::Connection << 0
                                       << conn + "127.0.0.1:%1: the server sends a line longer than 512 characters";
        QTest::newRow("reply without end")
            << QByteArray("EHLO") << QByteArray("250-x\r\n").repeated(250) + "250 x" << E::Connection << 0
            << conn + "127.0.0.1:%1: a reply of more than 200 lines";
        QTest::newRow("reply trickling") << QByteArray("EHLO") << QByteArray("TRICKLE") << E::Connection << 0
                                         << conn + "127.0.0.1:%1: time-out, the reply did not end within 0.3 s";
        QTest::newRow("garbage greeting") << QByteArray("GREETING") << QByteArray("hello there") << E::Connection << 0
                                          << conn + "127.0.0.1:%1: unexpected answer \"hello there\"";
    }
    void faults()
    {
        QFETCH(QByteArray, verb);
        QFETCH(QByteArray, answer);
        QFETCH(SmtpErrorClass, kind);
        QFETCH(int, code);
        QFETCH(QString, text);
        FakeSmtp fake;
        fake.answers.insert(verb, answer);
        auto c = makeClient(fake.port(), 300);
        c->setCredentials("kunde", "geheim");
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), kind);
        QCOMPARE(c->lastReplyCode(), code);
        QCOMPARE(c->lastErrorText(), text.contains("%1") ? text.arg(fake.port()) : text);
        QCOMPARE(vt::EndsRun(kind), kind != SmtpErrorClass::Recipient);
        QVERIFY(fake.messages.isEmpty() || verb == ".");
    }

    void protocolLogWrittenWhileTheServerTalks()
    {
        // A long exchange reaches the file as it goes, not all at the session's end.
        TestFolder dir;
        FakeSmtp fake;
        fake.answers.insert("EHLO", QByteArray("250-" + QByteArray(400, 'e') + "\r\n").repeated(190) + "250 SIZE 1000");
        qint64 logSizeAtMail = -1;
        fake.hook = [&](const QByteArray &verb, int) -> std::optional<QByteArray> {
            if (verb == "MAIL")
                logSizeAtMail = QFileInfo(dir.file("Logfile.txt")).size();
            return std::nullopt;
        };
        auto c = makeClient(fake.port());
        c->setLogFileName(dir.file("Logfile.txt"));
        QCOMPARE(c->send(), 0);
        QVERIFY2(logSizeAtMail > 64 * 1024, qPrintable(QString::number(logSizeAtMail)));
    }

    void droppedInTheMiddleOfData()
    {
        FakeSmtp fake;
        fake.dropInData = true;
        auto c = makeClient(fake.port(), 2000);
        c->setBodyText(QString(200000, QLatin1Char('x')));
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Connection);
        QVERIFY2(c->lastErrorText().startsWith("ERROR WITH CONNECTING SERVER: 127.0.0.1:"),
                 qPrintable(c->lastErrorText()));
        QVERIFY(!c->isConnected());
    }

    void serverLacksWhatTheSettingsNeed_data()
    {
        QTest::addColumn<bool>("secure");
        QTest::addColumn<bool>("credentials");
        QTest::addColumn<SmtpErrorClass>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("no STARTTLS") << true << false << SmtpErrorClass::Connection
                                     << "ERROR WITH CONNECTING SERVER: 127.0.0.1:%1: the server offers no STARTTLS";
        QTest::newRow("no AUTH") << false << true << SmtpErrorClass::Authentication
                                 << "MUST BE AUTHENTICATED: 127.0.0.1:%1: the server offers no authentication";
    }
    void serverLacksWhatTheSettingsNeed()
    {
        QFETCH(bool, secure);
        QFETCH(bool, credentials);
        QFETCH(QString, text);
        FakeSmtp fake;
        fake.extensions = {"8BITMIME"};
        auto c = makeClient(fake.port());
        if (secure)
            c->prepareSecure();
        if (credentials)
            c->setCredentials("kunde", "geheim");
        QVERIFY(c->send() != 0);
        QTEST(c->lastErrorClass(), "kind");
        QCOMPARE(c->lastErrorText(), text.arg(fake.port()));
        QVERIFY(!fake.commands.contains("MAIL FROM:<versand@example.com>"));
    }

    void connectionRefused()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        auto c = makeClient(port);
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Connection);
        QVERIFY2(c->lastErrorText().startsWith(QString("ERROR WITH CONNECTING SERVER: 127.0.0.1:%1: ").arg(port)),
                 qPrintable(c->lastErrorText()));

        c->setServer("127.0.0.1", 0); // a port that was no number
        QVERIFY(c->send() != 0);
        QCOMPARE(c->lastErrorText(), "ERROR WITH CONNECTING SERVER: 127.0.0.1:0: invalid port");
    }

    void heloWhenEhloIsUnknown()
    {
        FakeSmtp fake;
        fake.answers.insert("EHLO", "502 5.5.1 Unrecognized command");
        auto c = makeClient(fake.port());
        QCOMPARE(c->send(), 0);
        QVERIFY(fake.commands.contains("HELO [127.0.0.1]"));
        QCOMPARE(fake.messages.size(), 1);
    }

    void pipelining()
    {
        // The server answers nothing before DATA: only a client that sends the
        // envelope in one go gets through.
        FakeSmtp fake;
        fake.extensions.append("PIPELINING");
        fake.holdUntilData = true;
        auto c = makeClient(fake.port(), 2000);
        QCOMPARE(c->send(), 0);
        const qsizetype mail = fake.commands.indexOf("MAIL FROM:<versand@example.com>");
        QCOMPARE(fake.commands.mid(mail, 3),
                 (QList<QByteArray>{"MAIL FROM:<versand@example.com>", "RCPT TO:<kunde@example.net>", "DATA"}));
    }

    void envelopeSentAhead()
    {
        // Each message's end carries the envelope announced for the next one.
        FakeSmtp fake;
        fake.extensions.append("PIPELINING");
        bool refused = false;
        fake.hook = [&fake, &refused](const QByteArray &verb, int) -> std::optional<QByteArray> {
            if (verb == "RCPT")
                refused = fake.commands.last().contains("k2@");
            if (verb == "RCPT" && refused)
                return QByteArray("550 5.1.1 <k2@example.net>: user unknown");
            if (verb == "DATA" && refused)
                return QByteArray("554 5.5.1 No valid recipients");
            return std::nullopt;
        };
        auto c = makeClient(fake.port());
        auto sendTo = [&c](const QString &to, const QString &next) {
            c->reset();
            c->addRecipient(to, to);
            c->setSubject("Hallo");
            c->setBodyText("Text\r\n");
            if (!next.isEmpty())
                c->setNextEnvelope("versand@example.com", {next});
            return c->send();
        };
        auto envelopesOf = [&fake](const char *address) {
            return fake.commands.count(QByteArray("RCPT TO:<") + address + '>');
        };
        QCOMPARE(sendTo("k1@example.net", "k2@example.net"), 0);
        QTRY_COMPARE(envelopesOf("k2@example.net"), 1);
        QVERIFY(!c->isBusy());
        // Refused ahead, the recipient is refused to its message as well, which goes
        // the usual way; the connection stays.
        QCOMPARE(sendTo("k2@example.net", "k3@example.net"), 550);
        QCOMPARE(c->lastErrorClass(), SmtpErrorClass::Recipient);
        QCOMPARE(sendTo("k3@example.net", "k4@example.net"), 0);
        // Another message than the one announced: the server already waits for the
        // contents of k4, so the connection ends and k5 goes over a new one.
        QTRY_COMPARE(envelopesOf("k4@example.net"), 1);
        QCOMPARE(sendTo("k5@example.net", "k6@example.net"), 0);
        QCOMPARE(fake.connections, 2);
        // The session ends with a transaction sent ahead: no QUIT that would become
        // part of a message, the connection closed.
        QTRY_COMPARE(envelopesOf("k6@example.net"), 1);
        c->disconnectFromServer();
        QTRY_VERIFY(!c->isConnected());
        QVERIFY(!fake.commands.contains("QUIT"));
        QCOMPARE(fake.messages.size(), 3);
        for (const char *to : {"k1@", "k3@", "k5@"})
            QVERIFY2(std::count_if(fake.messages.cbegin(), fake.messages.cend(),
                                   [to](const QByteArray &m) { return m.contains(QByteArray("<") + to); }) == 1,
                     to);
    }

    void keptConnectionRenewed()
    {
        FakeSmtp fake;
        // The kept connection says 421 to the second message's MAIL.
        int mails = 0;
        fake.hook = [&mails](const QByteArray &verb, int connection) -> std::optional<QByteArray> {
            if (verb == "MAIL" && connection == 1 && ++mails == 2)
                return QByteArray("421 4.4.2 Idle too long");
            return std::nullopt;
        };
        auto c = makeClient(fake.port());
        QCOMPARE(c->send(), 0);
        QCOMPARE(c->send(), 0);
        QCOMPARE(fake.connections, 2);
        // The server closes the kept connection while the client waits between mails.
        fake.current->disconnectFromHost();
        QTRY_VERIFY(!c->isConnected());
        QCOMPARE(c->send(), 0);
        QCOMPARE(fake.connections, 3);
        QCOMPARE(fake.messages.size(), 3);
    }

    void dotStuffingOnTheWire()
    {
        FakeSmtp fake;
        auto c = makeClient(fake.port());
        c->setBodyText(".erste\r\n.\r\n..zwei\nx\r\n.\r\n");
        QCOMPARE(c->send(), 0);
        QCOMPARE(fake.messages.size(), 1);
        QVERIFY2(fake.messages[0].endsWith("\r\n..erste\r\n..\r\n...zwei\r\nx\r\n..\r\n"),
                 fake.messages[0].right(60).constData());
        // After the message the server saw no further command but the next one.
        QCOMPARE(fake.commands.last(), "DATA");
        QCOMPARE(vt::SmtpDataPayload("a\r\n.\r\nb"), QByteArray("a\r\n..\r\nb\r\n.\r\n"));
        QCOMPARE(vt::SmtpDataPayload("a\rb\n"), QByteArray("a\r\nb\r\n.\r\n"));
    }

    void asynchronousUse()
    {
        FakeSmtp fake;
        auto c = makeClient(fake.port());
        QSignalSpy connected(c.get(), &SmtpClient::connected);
        QSignalSpy sending(c.get(), &SmtpClient::sending);
        QSignalSpy finished(c.get(), &SmtpClient::sendFinished);
        QSignalSpy closed(c.get(), &SmtpClient::closed);
        QSignalSpy errors(c.get(), &SmtpClient::errorOccurred);
        c->sendAsync();
        QVERIFY(c->isBusy());
        QCOMPARE(finished.count(), 0);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toInt(), 0);
        QCOMPARE(connected.count(), 1);
        QVERIFY(!sending.isEmpty());
        QCOMPARE(sending.last().at(0), sending.last().at(1));
        QCOMPARE(errors.count(), 0);

        c->reset();
        c->addRecipient("", "a b@example.net");
        c->sendAsync();
        QVERIFY(finished.wait(10000));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(1).toString(), c->lastErrorText());

        // The session ends for the client at once; the server gets its QUIT.
        c->disconnectFromServer();
        QCOMPARE(closed.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(fake.commands.last(), QByteArray("QUIT"), 10000);

        // A message handed over before the server has answered the QUIT goes over a new connection.
        c->reset();
        c->addRecipient("", "b@example.net");
        c->sendAsync();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.last().at(0).toInt(), 0);
        QCOMPARE(fake.connections, 2);
    }
};

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
