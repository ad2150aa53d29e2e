// The send run end to end, through the SMTP component to aiosmtpd on loopback, in
// a process of its own that ends abruptly in the middle of the run: what survives
// the end of the process. The same against a server of the test's own that offers
// PIPELINING, where the next message's envelope goes with a message's end.
#include "addresstable.h"
#include "clock.h"
#include "connection.h"
#include "sendrun.h"
#include "smtpclient.h"
#include "smtpserver.h"
#include "smtpsubmission.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

#include <unistd.h>

using namespace vt;

namespace {

QString today()
{
    return Clock::today().toString("dd.MM.yyyy");
}

// A mail server in the test's process that offers PIPELINING or not: it refuses
// the recipients it is told to, and it can keep the reply to one message's end to
// itself, so the message stays in flight with the next envelope after it.
class LoopbackSmtp : public QObject
{
public:
    explicit LoopbackSmtp(bool pipelining) : m_pipelining(pipelining)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                accept(s);
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // What the last connection sent that is not handled yet.
    QByteArray buffered() const { return m_buffer ? *m_buffer : QByteArray(); }

    QStringList refused;   // recipients answered "550 5.1.1"
    int silentAfter = -1;  // the message of this number (from 1) gets no reply to its end
    QStringList delivered; // the recipient of every message taken, in order
    QList<QByteArray> commands;
    int envelopesAhead = 0; // MAIL commands that came in one piece with a message's end
    bool stalled = false;   // silent since the message of silentAfter

private:
    void accept(QTcpSocket *s)
    {
        auto buffer = std::make_shared<QByteArray>();
        m_buffer = buffer;
        auto inData = std::make_shared<bool>(false);
        auto recipient = std::make_shared<QString>();
        connect(s, &QTcpSocket::readyRead, this, [=, this] {
            *buffer += s->readAll();
            if (stalled)
                return;
            bool afterEnd = false;
            for (;;) {
                if (*inData) {
                    const qsizetype end = buffer->indexOf("\r\n.\r\n");
                    if (end < 0)
                        return;
                    buffer->remove(0, end + 5);
                    *inData = false;
                    delivered.append(*recipient);
                    afterEnd = true;
                    if (delivered.size() == silentAfter) {
                        // Stalled: what follows waits, as it does behind a reply not given.
                        stalled = true;
                        return;
                    }
                    s->write("250 2.0.0 Ok: queued\r\n");
                    continue;
                }
                const qsizetype nl = buffer->indexOf("\r\n");
                if (nl < 0)
                    return;
                const QByteArray line = buffer->left(nl);
                buffer->remove(0, nl + 2);
                commands.append(line);
                const QByteArray verb = line.left(4).toUpper();
                if (verb == "EHLO")
                    s->write(m_pipelining ? "250-loopback\r\n250-PIPELINING\r\n250 8BITMIME\r\n"
                                          : "250-loopback\r\n250 8BITMIME\r\n");
                else if (verb == "MAIL") {
                    envelopesAhead += afterEnd ? 1 : 0;
                    recipient->clear();
                    s->write("250 2.1.0 Ok\r\n");
                } else if (verb == "RCPT") {
                    const QString to = QString::fromLatin1(line.mid(9).chopped(1));
                    if (refused.contains(to)) {
                        s->write("550 5.1.1 <" + to.toLatin1() + ">: Recipient address rejected\r\n");
                    } else {
                        *recipient = to;
                        s->write("250 2.1.5 Ok\r\n");
                    }
                } else if (verb == "DATA") {
                    *inData = !recipient->isEmpty();
                    s->write(*inData ? "354 End data with <CR><LF>.<CR><LF>\r\n" : "554 5.5.1 No valid recipients\r\n");
                } else if (verb == "QUIT") {
                    s->write("221 2.0.0 Bye\r\n");
                    s->disconnectFromHost();
                    return;
                } else {
                    s->write("250 2.0.0 Ok\r\n");
                }
            }
        });
        s->write("220 loopback ESMTP\r\n");
    }

    bool m_pipelining;
    QTcpServer m_server;
    std::shared_ptr<QByteArray> m_buffer;
};

// Five marked records a@ to e@example.net.
bool makeFiveRecords(const QString &path)
{
    AddressTable table;
    if (!makeTable(path, definitionWith()) || !table.open(path))
        return false;
    QList<FieldValues> records;
    for (const char *a : {"a@example.net", "b@example.net", "c@example.net", "d@example.net", "e@example.net"})
        records.append({{"Selected", true}, {"Invalid", false}, {"Mail", a}});
    return fill(table, records);
}

SendRun::Config runConfig(const QString &folder, AddressTable *table)
{
    SendRun::Config c;
    c.table = table;
    c.salutationTable = folder + "Grussformel.txt";
    c.sentLog = folder + "Gesendete_Mails.log";
    c.senderAddress = "versand@example.com";
    c.subject = "Hallo";
    c.body = {"Text"};
    return c;
}

// A whole run over the table in the folder, in this process.
SendRun::Outcome runToEnd(const QString &folder, quint16 port, QStringList *failed)
{
    AddressTable table;
    if (!table.open(folder + "Kunden.DB"))
        return SendRun::Outcome::LocalError;
    SmtpClient client;
    ConnectionSettings s;
    s.host = "127.0.0.1";
    s.port = QString::number(port);
    ConfigureSmtpClient(client, s);
    SmtpClientSubmission submission(client);
    SendRun run(runConfig(folder, &table), &submission);
    QObject::connect(&run, &SendRun::recordFailed, [failed](qint64, const QString &line) { failed->append(line); });
    QSignalSpy finished(&run, &SendRun::finished);
    if (!run.start() || !finished.wait(20000))
        return SendRun::Outcome::LocalError;
    return run.outcome();
}

// The child of crashAfterTheThirdCommit: sends to the table and ends the process,
// without any of the usual ending, right after the third record is committed.
int crashChild(const QString &folder, quint16 port)
{
    AddressTable table;
    if (!table.open(folder + "Kunden.DB"))
        return 2;
    SmtpClient client;
    ConnectionSettings s;
    s.host = "127.0.0.1";
    s.port = QString::number(port);
    ConfigureSmtpClient(client, s);
    SmtpClientSubmission submission(client);
    SendRun::Config c;
    c.table = &table;
    c.salutationTable = folder + "Grussformel.txt";
    c.sentLog = folder + "Gesendete_Mails.log";
    c.senderAddress = "versand@example.com";
    c.subject = "Hallo";
    c.body = {"Text"};
    SendRun run(c, &submission);
    QObject::connect(&run, &SendRun::recordCommitted, [](int n) {
        if (n == 3)
            _exit(0);
    });
    QObject::connect(&run, &SendRun::finished, [] { _exit(3); });
    if (!run.start())
        return 4;
    return QCoreApplication::exec();
}

} // namespace

class TestSendRunServer : public QObject
{
    Q_OBJECT

private slots:
    void crashAfterTheThirdCommit()
    {
        TestFolder dir;
        WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr"});
        {
            AddressTable table;
            QVERIFY(makeTable(dir.file("Kunden.DB"), definitionWith()) && table.open(dir.file("Kunden.DB")));
            QList<FieldValues> records;
            for (const char *a : {"a@example.net", "b@example.net", "c@example.net", "d@example.net", "e@example.net"})
                records.append({{"Selected", true}, {"Invalid", false}, {"Mail", a}});
            QVERIFY(fill(table, records));
        }
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--crash-child", dir.path(), QString::number(server->port())});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        // The committed records are finished, every other one is still marked.
        AddressTable table;
        QVERIFY(table.open(dir.file("Kunden.DB")));
        QCOMPARE(column(table, "Selected"), (QStringList{"False", "False", "False", "True", "True"}));
        QCOMPARE(column(table, "LetztesMail"), (QStringList{today(), today(), today(), "", ""}));
        QCOMPARE(server->received().size(), 3);
        QCOMPARE(server->received().at(2).rcptTo, QStringList{"c@example.net"});
        // Opening the table again folds the run's log back into the one file.
        table.close();
        QVERIFY(!QFile::exists(dir.file("Kunden.DB-wal")));
    }

    void killedWithAGroupInFlight()
    {
        // The third message has reached the server, the fourth one's envelope with its
        // end, and the reply to the third is still out when the process is killed.
        TestFolder dir;
        WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr"});
        QVERIFY(makeFiveRecords(dir.file("Kunden.DB")));
        LoopbackSmtp server(true);
        server.silentAfter = 3;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--run-child", dir.path(), QString::number(server.port())});
        QTRY_COMPARE_WITH_TIMEOUT(server.delivered.size(), 3, 20000);
        QTRY_VERIFY(server.stalled);
        QTRY_VERIFY(
            server.buffered().startsWith("MAIL FROM:<versand@example.com>\r\nRCPT TO:<d@example.net>\r\nDATA\r\n"));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        {
            AddressTable table;
            QVERIFY(table.open(dir.file("Kunden.DB")));
            QCOMPARE(column(table, "Selected"), (QStringList{"False", "False", "True", "True", "True"}));
            QCOMPARE(column(table, "LetztesMail"), (QStringList{today(), today(), "", "", ""}));
        }
        QCOMPARE(ReadLines(dir.file("Gesendete_Mails.log")), (QStringList{"a@example.net", "b@example.net"}));
        // The run started again finishes the rest: only the message in flight goes twice.
        server.silentAfter = -1;
        server.stalled = false;
        QStringList failed;
        QCOMPARE(runToEnd(dir.path(), server.port(), &failed), SendRun::Outcome::Completed);
        QCOMPARE(server.delivered, (QStringList{"a@example.net", "b@example.net", "c@example.net", "c@example.net",
                                                "d@example.net", "e@example.net"}));
        AddressTable table;
        QVERIFY(table.open(dir.file("Kunden.DB")));
        QCOMPARE(column(table, "Selected"), QStringList(5, "False"));
    }

    void refusedRecipientAsWithoutPipelining()
    {
        // The second recipient is refused, its envelope sent ahead with the first
        // message's end: the run ends as one over a server without PIPELINING does.
        struct Result
        {
            QStringList selected, invalid, lastMail, sentLog, failed, delivered;
        };
        auto runWith = [](bool pipelining, Result *r) {
            TestFolder dir;
            WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr"});
            QVERIFY(makeFiveRecords(dir.file("Kunden.DB")));
            LoopbackSmtp server(pipelining);
            server.refused = QStringList{"b@example.net"};
            QCOMPARE(runToEnd(dir.path(), server.port(), &r->failed), SendRun::Outcome::Completed);
            AddressTable table;
            QVERIFY(table.open(dir.file("Kunden.DB")));
            r->selected = column(table, "Selected");
            r->invalid = column(table, "Invalid");
            r->lastMail = column(table, "LetztesMail");
            r->sentLog = ReadLines(dir.file("Gesendete_Mails.log"));
            r->delivered = server.delivered;
            QCOMPARE(server.envelopesAhead > 0, pipelining);
        };
        Result plain, pipelined;
        runWith(false, &plain);
        runWith(true, &pipelined);
        QCOMPARE(plain.invalid, (QStringList{"False", "True", "False", "False", "False"}));
        QCOMPARE(plain.delivered, (QStringList{"a@example.net", "c@example.net", "d@example.net", "e@example.net"}));
        QCOMPARE(pipelined.selected, plain.selected);
        QCOMPARE(pipelined.invalid, plain.invalid);
        QCOMPARE(pipelined.lastMail, plain.lastMail);
        QCOMPARE(pipelined.sentLog, plain.sentLog);
        QCOMPARE(pipelined.failed, plain.failed);
        QCOMPARE(pipelined.delivered, plain.delivered);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--crash-child") == 0)
        return crashChild(QString::fromLocal8Bit(argv[2]), quint16(QByteArray(argv[3]).toUInt()));
    if (argc == 4 && qstrcmp(argv[1], "--run-child") == 0) {
        QStringList failed;
        runToEnd(QString::fromLocal8Bit(argv[2]), quint16(QByteArray(argv[3]).toUInt()), &failed);
        return 3;
    }
    TestSendRunServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendrunserver.moc"
