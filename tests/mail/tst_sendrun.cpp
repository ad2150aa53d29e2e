// The send run without its window, against aiosmtpd on loopback: what survives
// the end of the process, records unmarked or deleted during a run, the pauses,
// the table's journal, the errors that end a run and those that do not.
#include "addresstable.h"
#include "clock.h"
#include "connection.h"
#include "messagerecorder.h"
#include "runjournal.h"
#include "sendrun.h"
#include "smtpclient.h"
#include "smtpserver.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace vt;

Q_DECLARE_METATYPE(SendRun::Mode)
Q_DECLARE_METATYPE(SendRun::Outcome)

namespace {

// A table of marked recipients in a program folder with a salutation table.
struct Fixture
{
    TestFolder dir;
    AddressTable table;
    std::unique_ptr<SmtpServer> server;
    SmtpClient client;
    explicit Fixture(const QStringList &addresses)
    {
        WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr", "{LEER}|Hallo"});
        if (!makeTable(dir.file("Kunden.DB"), definitionWith()) || !table.open(dir.file("Kunden.DB")))
            return;
        QList<FieldValues> records;
        for (const QString &a : addresses)
            records.append(
                {{"Selected", true}, {"Invalid", false}, {"Mail", a}, {"Anrede", "Herr"}, {"Name", a.left(3)}});
        fill(table, records);
    }
    // Starts the loopback server the runs send to.
    bool serve(const SmtpServer::Options &options = SmtpServer::Options())
    {
        server = SmtpServer::startOrFail(options);
        return server != nullptr;
    }
    SendRun::Config config(SendRun::Mode mode = SendRun::Mode::Text)
    {
        ConnectionSettings s;
        s.host = "127.0.0.1";
        s.port = QString::number(server ? server->port() : 1);
        ConfigureSmtpClient(client, s);
        SendRun::Config c;
        c.mode = mode;
        c.table = &table;
        c.salutationTable = dir.file("Grussformel.txt");
        c.sentLog = dir.file("Gesendete_Mails.log");
        c.senderAddress = "versand@example.com";
        c.subject = "Hallo $NAME";
        c.body = {"$ANREDE $NAME,", "Text."};
        if (mode == SendRun::Mode::Html) {
            dir.write("mail.eml", "Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                                  "<p>$ANREDE $NAME</p>\r\n");
            c.htmlMailPath = dir.file("mail.eml");
        }
        return c;
    }
    QStringList selected() { return column(table, "Selected"); }
};

// Runs to its end; the outcome.
SendRun::Outcome runToEnd(SendRun &run)
{
    QSignalSpy finished(&run, &SendRun::finished);
    if (!run.start()) {
        qWarning("run did not start: %s", qPrintable(run.errorText()));
        return SendRun::Outcome::LocalError;
    }
    if (finished.isEmpty() && !finished.wait(60000))
        return SendRun::Outcome::Running;
    return run.outcome();
}

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
    SendRun::Config c;
    c.table = &table;
    c.salutationTable = folder + "Grussformel.txt";
    c.sentLog = folder + "Gesendete_Mails.log";
    c.senderAddress = "versand@example.com";
    c.subject = "Hallo";
    c.body = {"Text"};
    SendRun run(c, &client);
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

class TestSendRun : public QObject
{
    Q_OBJECT

private slots:
    void crashAfterTheThirdCommit()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net", "d@example.net", "e@example.net"});
        QVERIFY(f.serve());
        f.table.close();
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--crash-child", f.dir.path(), QString::number(f.server->port())});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        // The committed records are finished, every other one is still marked.
        QVERIFY(f.table.open(f.dir.file("Kunden.DB")));
        QCOMPARE(f.selected(), (QStringList{"False", "False", "False", "True", "True"}));
        QCOMPARE(column(f.table, "LetztesMail"), (QStringList{today(), today(), today(), "", ""}));
        QCOMPARE(f.server->received().size(), 3);
        // Opening the table again folds the run's log back into the one file.
        f.table.close();
        QVERIFY(!QFile::exists(f.dir.file("Kunden.DB-wal")));
    }

    void recordsChangedDuringTheRun()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net", "d@example.net"});
        QVERIFY(f.serve());
        SendRun run(f.config(), &f.client);
        // While the first mail goes, the user unmarks the third record and deletes the fourth.
        connect(&run, &SendRun::recordSent, this, [&f](qint64 id) {
            if (id != 1)
                return;
            f.table.updateFields(3, {{"Selected", false}});
            QVERIFY(f.table.gotoId(4) && f.table.remove());
        });
        QCOMPARE(runToEnd(run), SendRun::Outcome::Completed);
        QCOMPARE(run.total(), 2);
        QCOMPARE(f.server->received().size(), 2);
        QCOMPARE(f.selected(), (QStringList{"False", "False", "False"}));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "False", "False"}));
        QCOMPARE(column(f.table, "LetztesMail"), (QStringList{today(), today(), ""}));
    }

    void pausesAndJournal()
    {
        // Four records, one of them failing the address check: three pauses, none after the last.
        Fixture f({"a@example.net", "kein-at", "c@example.net", "d@example.net"});
        QVERIFY(f.serve());
        SendRun::Config c = f.config();
        c.delayMs = 20;
        SendRun run(c, &f.client);
        QSignalSpy pauses(&run, &SendRun::pauseStarted);
        QStringList modes;
        connect(&run, &SendRun::recordCommitted, this, [&] { modes.append(RunJournal::journalMode(f.table)); });
        QCOMPARE(runToEnd(run), SendRun::Outcome::Completed);
        QCOMPARE(pauses.count(), 3);
        QCOMPARE(run.sentCount(), 3);
        QCOMPARE(run.failedCount(), 1);
        // Commits go to a write-ahead log during the run only.
        QCOMPARE(modes, QStringList(4, "wal"));
        QCOMPARE(RunJournal::journalMode(f.table), QStringLiteral("delete"));
        QVERIFY(!QFile::exists(f.dir.file("Kunden.DB-wal")));
        QCOMPARE(f.dir.read("Gesendete_Mails.log"), QByteArray("a@example.net\r\nc@example.net\r\nd@example.net\r\n"));
    }

    void stopDuringThePause()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        QVERIFY(f.serve());
        SendRun::Config c = f.config();
        c.delayMs = 60000;
        SendRun run(c, &f.client);
        connect(&run, &SendRun::pauseStarted, &run, &SendRun::stop);
        QCOMPARE(runToEnd(run), SendRun::Outcome::Aborted);
        QCOMPARE(f.selected(), (QStringList{"False", "True", "True"}));
    }

    void serverFailsDuringTheRun_data()
    {
        QTest::addColumn<SendRun::Mode>("mode");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<bool>("ignore");
        QTest::addColumn<QList<MsgButton>>("answers");
        QTest::addColumn<SendRun::Outcome>("outcome");
        QTest::addColumn<QStringList>("boxes"); // the start of each box's text
        const QString ask = "Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler: ERROR WITH "
                            "CONNECTING SERVER";
        const QString end = "Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen Sie Ihre "
                            "Verbindung zum SMTP-Server!\n\nERROR WITH CONNECTING SERVER";
        QTest::newRow("text run: stop") << SendRun::Mode::Text << false << false << QList<MsgButton>{MsgButton::Yes}
                                        << SendRun::Outcome::ConnectionError << QStringList{ask};
        QTest::newRow("text run: go on") << SendRun::Mode::Text << false << false
                                         << QList<MsgButton>{MsgButton::No, MsgButton::No}
                                         << SendRun::Outcome::Completed << QStringList{ask, ask};
        QTest::newRow("text run with SSL") << SendRun::Mode::Text << true << false << QList<MsgButton>{}
                                           << SendRun::Outcome::ConnectionError << QStringList{end};
        QTest::newRow("HTML run") << SendRun::Mode::Html << false << false << QList<MsgButton>{}
                                  << SendRun::Outcome::ConnectionError << QStringList{end};
        QTest::newRow("problems ignored") << SendRun::Mode::Html << false << true << QList<MsgButton>{}
                                          << SendRun::Outcome::Completed << QStringList{};
    }
    void serverFailsDuringTheRun()
    {
        QFETCH(SendRun::Mode, mode);
        QFETCH(bool, ignore);
        QFETCH(QList<MsgButton>, answers);
        QFETCH(QStringList, boxes);
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        SmtpServer::Options o;
        o.failMailAfter = 1;
        QVERIFY(f.serve(o));
        MessageRecorder recorder;
        for (MsgButton b : answers)
            recorder.answer(b);
        SendRun::Config c = f.config(mode);
        // The switch alone decides here; the connection itself stays plain.
        QFETCH(bool, ssl);
        c.sslActive = ssl;
        c.ignoreConnectionProblems = ignore;
        SendRun run(c, &f.client);
        QTEST(runToEnd(run), "outcome");
        const QStringList texts = recorder.takeTexts();
        QCOMPARE(texts.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(texts.at(i).startsWith(boxes.at(i)), qPrintable(texts.at(i)));
        // The first recipient is finished; the server's trouble is no fault of the others.
        QCOMPARE(f.selected(), (QStringList{"False", "True", "True"}));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "False", "False"}));
        QCOMPARE(f.server->received().size(), 1);
    }

    void localErrorEndsTheRun()
    {
        Fixture f({"a@example.net", "b@example.net"});
        QVERIFY(f.serve());
        MessageRecorder recorder;
        SendRun run(f.config(), &f.client);
        connect(&run, &SendRun::recordSent, this, [&f] { QFile::remove(f.dir.file("Grussformel.txt")); });
        QCOMPARE(runToEnd(run), SendRun::Outcome::LocalError);
        QVERIFY(recorder.takeExpected(MsgKind::Error,
                                      "Die Datei " + f.dir.file("Grussformel.txt") + " kann nicht geöffnet werden!"));
        QCOMPARE(f.selected(), (QStringList{"False", "True"}));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "False"}));
    }

    void cannotStart_data()
    {
        QTest::addColumn<bool>("salutations");
        QTest::addColumn<QString>("attachment");
        QTest::addColumn<QString>("error"); // the salutation table's path stands for "%1"
        QTest::newRow("no salutation table") << false << ""
                                             << "Die Datei %1 kann nicht geöffnet werden!";
        QTest::newRow("attachment gone") << true << "/nonexistent/anhang.pdf"
                                         << "Die Datei /nonexistent/anhang.pdf kann nicht geöffnet werden!";
    }
    void cannotStart()
    {
        QFETCH(bool, salutations);
        QFETCH(QString, attachment);
        QFETCH(QString, error);
        Fixture f({"a@example.net"});
        if (!salutations)
            QFile::remove(f.dir.file("Grussformel.txt"));
        SendRun::Config c = f.config();
        c.attachmentPath = attachment;
        SendRun run(c, &f.client);
        QVERIFY(!run.start());
        QCOMPARE(run.errorText(), error.contains("%1") ? error.arg(f.dir.file("Grussformel.txt")) : error);
        QCOMPARE(f.selected(), QStringList{"True"});
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--crash-child") == 0) {
        QCoreApplication app(argc, argv);
        return crashChild(QString::fromLocal8Bit(argv[2]), quint16(QByteArray(argv[3]).toUInt()));
    }
    QCoreApplication app(argc, argv);
    TestSendRun test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendrun.moc"
