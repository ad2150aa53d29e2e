// The send run end to end, through the SMTP component to aiosmtpd on loopback, in
// a process of its own that ends abruptly in the middle of the run: what survives
// the end of the process.
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
#include <QTest>

#include <unistd.h>

using namespace vt;

namespace {

QString today()
{
    return Clock::today().toString("dd.MM.yyyy");
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
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--crash-child") == 0)
        return crashChild(QString::fromLocal8Bit(argv[2]), quint16(QByteArray(argv[3]).toUInt()));
    TestSendRunServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendrunserver.moc"
