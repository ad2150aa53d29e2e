// The POP3 logon of "POP vor SMTP" against dovecot, and against a scripted server
// for silence and dropped connections.
#include "pop3client.h"
#include "pop3server.h"
#include "testcertificates.h"
#include "testfolder.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using vt::Pop3Client;
using vt::TlsMode;

Q_DECLARE_METATYPE(vt::TlsMode)

namespace {

// Answers POP3 commands from a script: command word -> answer; an empty answer is
// silence, "CLOSE" closes the connection.
class FakePop3 : public QObject
{
public:
    FakePop3()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *s = m_server.nextPendingConnection();
            answer(s, "GREETING");
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                while (s->canReadLine()) {
                    const QByteArray line = s->readLine().trimmed();
                    commands.append(line);
                    answer(s, line.split(' ').first().toUpper());
                }
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QMap<QByteArray, QByteArray> answers;
    QList<QByteArray> commands;

private:
    void answer(QTcpSocket *s, const QByteArray &verb)
    {
        const QByteArray a = answers.value(verb, verb == "GREETING" ? "+OK ready" : "+OK");
        if (a == "CLOSE")
            s->disconnectFromHost();
        else if (!a.isEmpty())
            s->write(a + "\r\n");
    }
    QTcpServer m_server;
};

std::unique_ptr<Pop3Client> makeClient(quint16 port, const QString &password, int replyMs = 10000)
{
    auto c = std::make_unique<Pop3Client>();
    c->setServer("127.0.0.1", port);
    c->setCredentials("kunde", password);
    c->setTimeouts(10000, replyMs);
    c->setSslConfiguration(TestCertificates::instance().trustingClient());
    return c;
}

} // namespace

class TestPop3Client : public QObject
{
    Q_OBJECT
    std::unique_ptr<Pop3Server> m_server;

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<Pop3Server>("kunde", "Geheim§1");
        const QString why = m_server->start();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanupTestCase() { m_server.reset(); }

    void logon_data()
    {
        QTest::addColumn<bool>("tlsPort");
        QTest::addColumn<TlsMode>("mode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("ok");
        QTest::newRow("plain") << false << TlsMode::Off << "Geheim§1" << true;
        QTest::newRow("STLS") << false << TlsMode::Auto << "Geheim§1" << true;
        QTest::newRow("TLS from the start") << true << TlsMode::Implicit << "Geheim§1" << true;
        QTest::newRow("wrong password") << false << TlsMode::Auto << "falsch" << false;
    }
    void logon()
    {
        QFETCH(bool, tlsPort);
        QFETCH(TlsMode, mode);
        QFETCH(QString, password);
        QFETCH(bool, ok);
        TestFolder dir;
        auto c = makeClient(tlsPort ? m_server->tlsPort() : m_server->plainPort(), password);
        c->setTlsMode(mode);
        c->setLogFileName(dir.file("Logfile.txt"));
        QCOMPARE(c->logon(), ok);
        if (!ok)
            QVERIFY2(c->lastErrorText().endsWith("-ERR [AUTH] Authentication failed."), qPrintable(c->lastErrorText()));
        QVERIFY(!c->isConnected());
        const QByteArray log = dir.read("Logfile.txt");
        QVERIFY(log.contains("> USER kunde"));
        QVERIFY(log.contains("> PASS ********"));
        QVERIFY(!log.contains(password.toUtf8()));
    }

    void untrustedCertificate_data()
    {
        QTest::addColumn<bool>("tlsPort");
        QTest::addColumn<TlsMode>("mode");
        QTest::newRow("STLS") << false << TlsMode::StartTls;
        QTest::newRow("TLS from the start") << true << TlsMode::Implicit;
    }
    void untrustedCertificate()
    {
        QFETCH(bool, tlsPort);
        QFETCH(TlsMode, mode);
        auto c = makeClient(tlsPort ? m_server->tlsPort() : m_server->plainPort(), "Geheim§1");
        c->setSslConfiguration(QSslConfiguration::defaultConfiguration());
        c->setTlsMode(mode);
        QVERIFY(!c->logon());
        QVERIFY2(c->lastErrorText().contains("TLS: "), qPrintable(c->lastErrorText()));
    }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<TlsMode>("mode");
        QTest::addColumn<QString>("error");
        QTest::newRow("no greeting") << QByteArray("GREETING") << QByteArray() << TlsMode::Off
                                     << "127.0.0.1:%1: time-out, no answer within 0.3 s";
        QTest::newRow("refused greeting")
            << QByteArray("GREETING") << QByteArray("-ERR busy") << TlsMode::Off << "127.0.0.1:%1: -ERR busy";
        QTest::newRow("closed after USER") << QByteArray("USER") << QByteArray("CLOSE") << TlsMode::Off
                                           << "127.0.0.1:%1: connection closed by the server";
        QTest::newRow("no answer to PASS")
            << QByteArray("PASS") << QByteArray() << TlsMode::Off << "127.0.0.1:%1: time-out, no answer within 0.3 s";
        QTest::newRow("line too long") << QByteArray("USER") << QByteArray("+OK " + QByteArray(600, 'x'))
                                       << TlsMode::Off
                                       << "127.0.0.1:%1: the server sends a line longer than 512 characters";
        QTest::newRow("no STLS") << QByteArray("STLS") << QByteArray("-ERR unknown command") << TlsMode::StartTls
                                 << "127.0.0.1:%1: the server offers no STLS: -ERR unknown command";
    }
    void faults()
    {
        QFETCH(QByteArray, verb);
        QFETCH(QByteArray, answer);
        QFETCH(TlsMode, mode);
        QFETCH(QString, error);
        FakePop3 fake;
        fake.answers.insert(verb, answer);
        auto c = makeClient(fake.port(), "geheim", 300);
        c->setTlsMode(mode);
        QVERIFY(!c->logon());
        QCOMPARE(c->lastErrorText(), error.arg(fake.port()));
        QVERIFY(!fake.commands.contains("PASS geheim") || verb == "PASS");
    }

    void serverThatClosesAfterQuit()
    {
        FakePop3 fake;
        fake.answers.insert("QUIT", "CLOSE");
        auto c = makeClient(fake.port(), "geheim", 2000);
        QVERIFY(c->logon());
        QCOMPARE(fake.commands, (QList<QByteArray>{"USER kunde", "PASS geheim", "QUIT"}));
    }

    void lineBreakInPasswordRefused()
    {
        FakePop3 fake;
        auto c = makeClient(fake.port(), "geheim\r\nDELE 1");
        QVERIFY(!c->logon());
        QVERIFY(fake.commands.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPop3Client)
#include "tst_pop3client.moc"
