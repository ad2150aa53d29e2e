// The send run's bookkeeping against a scripted mail server: the records marked
// sent, invalid or left as they were, the logs, the counts, the pauses, the
// table's journal, stopping, the caller's decisions on a failing connection, and
// the errors that end a run. No run shows a box or asks a question itself.
#include "addresstable.h"
#include "clock.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "runjournal.h"
#include "scriptedsubmission.h"
#include "sendrun.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace vt;

Q_DECLARE_METATYPE(SendRun::Mode)
Q_DECLARE_METATYPE(SendRun::Outcome)

namespace {

using Reply = ScriptedSubmission;

const QString kConnectionFailure = "ERROR WITH CONNECTING SERVER: 127.0.0.1:25: 421 Service not available";

// A table of marked recipients in a program folder with a salutation table.
struct Fixture
{
    TestFolder dir;
    AddressTable table;
    ScriptedSubmission client;
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
    SendRun::Config config(SendRun::Mode mode = SendRun::Mode::Text)
    {
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
    if (finished.isEmpty() && !finished.wait(10000))
        return SendRun::Outcome::Running;
    return run.outcome();
}

QString today()
{
    return Clock::today().toString("dd.MM.yyyy");
}

// The caller's answers to a failing connection.
enum class Decision { Stop, GoOn, GoOnLater };

} // namespace

Q_DECLARE_METATYPE(Decision)

class TestSendRun : public QObject
{
    Q_OBJECT

private slots:
    void recordsChangedDuringTheRun()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net", "d@example.net"});
        MessageRecorder boxes;
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
        QCOMPARE(f.client.messages.size(), 2);
        QCOMPARE(f.selected(), (QStringList{"False", "False", "False"}));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "False", "False"}));
        QCOMPARE(column(f.table, "LetztesMail"), (QStringList{today(), today(), ""}));
        // The session ends with the run.
        QCOMPARE(f.client.quits, 1);
    }

    void pausesAndJournal()
    {
        // Four records, one of them failing the address check: three pauses, none after the last.
        Fixture f({"a@example.net", "kein-at", "c@example.net", "d@example.net"});
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
        SendRun::Config c = f.config();
        c.delayMs = 60000;
        SendRun run(c, &f.client);
        connect(&run, &SendRun::pauseStarted, &run, &SendRun::stop);
        QCOMPARE(runToEnd(run), SendRun::Outcome::Aborted);
        QCOMPARE(f.selected(), (QStringList{"False", "True", "True"}));
    }

    void stopWhileAMessageIsUnderWay()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        f.client.script({Reply::held()});
        SendRun run(f.config(), &f.client);
        QSignalSpy finished(&run, &SendRun::finished);
        QVERIFY(run.start());
        QTRY_VERIFY(f.client.isUnderWay());
        run.stop();
        // The message the server has is finished first.
        QVERIFY(run.isRunning());
        QCOMPARE(f.client.aborts, 0);
        f.client.release();
        QVERIFY(finished.wait(10000));
        QCOMPARE(run.outcome(), SendRun::Outcome::Aborted);
        QCOMPARE(f.selected(), (QStringList{"False", "True", "True"}));
        QCOMPARE(column(f.table, "LetztesMail"), (QStringList{today(), "", ""}));
        QCOMPARE(f.client.messages.size(), 1);
    }

    void refusedRecipientAndTheLogs()
    {
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        SendRun::Config c = f.config();
        c.transactionLog = f.dir.file("Transaction.log");
        // What follows a NUL in the server's text stays out of the log.
        const QString refusal = "RECIPIENT REJECTED: <b@example.net>: 550 unbekannt";
        f.client.script({Reply::accepted(), Reply::refused(SmtpErrorClass::Recipient, refusal + QChar(0) + "Rest")});
        MessageRecorder boxes;
        SendRun run(c, &f.client);
        QSignalSpy sent(&run, &SendRun::recordSent), failed(&run, &SendRun::recordFailed),
            committed(&run, &SendRun::recordCommitted);
        QCOMPARE(runToEnd(run), SendRun::Outcome::Completed);
        QCOMPARE(run.total(), 3);
        QCOMPARE(run.sentCount(), 2);
        QCOMPARE(run.failedCount(), 1);
        QCOMPARE(committed.count(), 3);
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.at(1), (QList<QVariant>{qint64(3), "c@example.net"}));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0), (QList<QVariant>{qint64(2), "2: b@example.net"}));
        QCOMPARE(f.selected(), QStringList(3, "False"));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "True", "False"}));
        QCOMPARE(column(f.table, "LetztesMail"), (QStringList{today(), "", today()}));
        QCOMPARE(f.dir.read("Gesendete_Mails.log"), QByteArray("a@example.net\r\nc@example.net\r\n"));
        auto start = [](const QString &to) { return "--- START MAIL --- From: versand@example.com  To: " + to; };
        QCOMPARE(ReadLines(c.transactionLog),
                 (QStringList{start("a@example.net"), "--- END MAIL ---", " ", start("b@example.net"), refusal,
                              "--- END MAIL ---", " ", start("c@example.net"), "--- END MAIL ---", " "}));
    }

    void addressLongerThanItsField()
    {
        // The field holds 100 characters; the address is stored and mailed whole,
        // never to the domain its first 100 characters would name.
        const QString longAddress = QString(60, 'a') + "@" + QString(38, 'b') + ".example.net";
        const QString tooLong = QString(64, 'c') + "@" + QString(187, 'd') + ".de"; // 255 characters
        Fixture f({longAddress, tooLong});
        QCOMPARE(column(f.table, "Mail"), (QStringList{longAddress, tooLong}));
        SendRun run(f.config(), &f.client);
        QCOMPARE(runToEnd(run), SendRun::Outcome::Completed);
        QCOMPARE(f.client.messages.size(), 1);
        QCOMPARE(f.client.messages.at(0).recipients, QStringList{longAddress});
        // More than SMTP carries is refused by the address check.
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "True"}));
    }

    void sameRefusalInARow_data()
    {
        QTest::addColumn<QString>("replies"); // per record: r (refused, one reply), o (another reply), a (accepted)
        QTest::addColumn<QList<Decision>>("decisions");
        QTest::addColumn<bool>("decided"); // somebody hears of it
        QTest::addColumn<SendRun::Outcome>("outcome");
        QTest::addColumn<QString>("invalid");  // the records' Invalid: 1, 0, or - (left as it was, still marked)
        QTest::addColumn<QList<int>>("asked"); // the counts of the questions
        const auto failed = SendRun::Outcome::ConnectionError, completed = SendRun::Outcome::Completed;
        QTest::newRow("stop before marking more")
            << "rrrrrrr" << QList<Decision>{Decision::Stop} << true << failed << "1111---" << QList<int>{5};
        QTest::newRow("go on, asked once")
            << "rrrrrrr" << QList<Decision>{Decision::GoOn} << true << completed << "1111111" << QList<int>{5};
        QTest::newRow("nobody to ask") << "rrrrrrr" << QList<Decision>{} << false << failed << "1111---"
                                       << QList<int>{};
        QTest::newRow("replies that differ")
            << "rororor" << QList<Decision>{} << true << completed << "1111111" << QList<int>{};
        QTest::newRow("a mail in between")
            << "rrrrarr" << QList<Decision>{} << true << completed << "1111011" << QList<int>{};
    }
    void sameRefusalInARow()
    {
        QFETCH(QString, replies);
        QFETCH(QList<Decision>, decisions);
        QFETCH(bool, decided);
        QStringList addresses;
        QList<Reply::Reply> script;
        for (int i = 0; i < replies.size(); ++i) {
            const QString a = QStringLiteral("k%1@example.net").arg(i + 1);
            addresses.append(a);
            // The server names the address in its reply; the replies are the same all the same.
            if (replies.at(i) == 'a')
                script.append(Reply::accepted());
            else
                script.append(
                    Reply::refused(SmtpErrorClass::Recipient,
                                   QStringLiteral("RECIPIENT REJECTED: <%1>: 550 5.1.1 <%1>: %2")
                                       .arg(a, replies.at(i) == 'r' ? "User unknown" : "Mailbox unavailable")));
        }
        Fixture f(addresses);
        f.client.script(script);
        SendRun run(f.config(), &f.client);
        QList<int> asked;
        if (decided)
            connect(&run, &SendRun::recipientsRefusedInARow, this, [&](const QString &reply, int count) {
                QVERIFY(reply.endsWith("550 5.1.1 <k5@example.net>: User unknown"));
                asked.append(count);
                if (decisions.isEmpty())
                    return;
                decisions.takeFirst() == Decision::Stop ? run.stop() : run.resume();
            });
        QTEST(runToEnd(run), "outcome");
        QVERIFY(decisions.isEmpty());
        // Asked at the fifth refusal, before it was marked.
        QTEST(asked, "asked");
        QFETCH(QString, invalid);
        QStringList marks, selected;
        for (const QChar c : invalid) {
            marks.append(c == '1' ? "True" : "False");
            selected.append(c == '-' ? "True" : "False");
        }
        QCOMPARE(column(f.table, "Invalid"), marks);
        QCOMPARE(f.selected(), selected);
        QCOMPARE(run.failedCount(), int(invalid.count('1')));
    }

    void messagesOfTheRun_data()
    {
        QTest::addColumn<SendRun::Mode>("mode");
        QTest::newRow("text") << SendRun::Mode::Text;
        QTest::newRow("HTML") << SendRun::Mode::Html;
    }
    void messagesOfTheRun()
    {
        QFETCH(SendRun::Mode, mode);
        Fixture f({"anna@example.net", " bert@example.net "});
        SendRun::Config c = f.config(mode);
        c.senderName = "Versand";
        c.priorityIndex = 0;
        c.attachmentPath = MailTestData("preise.pdf");
        SendRun run(c, &f.client);
        QCOMPARE(runToEnd(run), SendRun::Outcome::Completed);
        QCOMPARE(f.client.messages.size(), 2);
        // The envelope: the sender, the address trimmed.
        QCOMPARE(f.client.messages.at(1).sender, QStringLiteral("versand@example.com"));
        QCOMPARE(f.client.messages.at(1).recipients, QStringList{"bert@example.net"});
        for (const ScriptedSubmission::Message &m : std::as_const(f.client.messages)) {
            READ_BACK(mail, m.data);
            QCOMPARE(mail.mailboxes("From"), QStringList{"Versand <versand@example.com>"});
            QCOMPARE(mail.headers("X-Priority"), QStringList{"1"});
        }
        READ_BACK(first, f.client.messages.at(0).data);
        QCOMPARE(first.subject(), QStringLiteral("Hallo ann"));
        if (mode == SendRun::Mode::Text) {
            QCOMPARE(first.headers("X-Mailer"), QStringList{"XMailer"});
            QCOMPARE(first.part("text/plain").value("text").toString(),
                     QStringLiteral("Sehr geehrter Herr ann,\r\nText.\r\n"));
        } else {
            QVERIFY(first.part("text/html").value("text").toString().contains("<p>Sehr geehrter Herr ann</p>"));
        }
        // The attachment goes with every message, of an HTML run too.
        const QString pdf = QString::fromLatin1(
            QCryptographicHash::hash(FileBytes(MailTestData("preise.pdf")), QCryptographicHash::Sha256).toHex());
        for (const ScriptedSubmission::Message &m : std::as_const(f.client.messages)) {
            READ_BACK(mail, m.data);
            QCOMPARE(mail.part("application/pdf").value("sha256").toString(), pdf);
        }
    }

    void changesWhileTheMessageBeforeIsUnderWay_data() { messagesOfTheRun_data(); }
    void changesWhileTheMessageBeforeIsUnderWay()
    {
        // The next message may be composed while the one before is with the server:
        // the record and the salutation table as they are at its turn still decide.
        QFETCH(SendRun::Mode, mode);
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        f.client.script({Reply::held(), Reply::held()});
        SendRun run(f.config(mode), &f.client);
        QSignalSpy finished(&run, &SendRun::finished);
        QVERIFY(run.start());
        QTRY_VERIFY(f.client.isUnderWay());
        QVERIFY(f.table.updateFields(2, {{"Name", "Neu"}}));
        f.client.release();
        QTRY_VERIFY(f.client.messages.size() == 2 && f.client.isUnderWay());
        WriteLines(f.dir.file("Grussformel.txt"), {"Herr|Lieber Herr"});
        f.client.release();
        QVERIFY(finished.wait(10000));
        QCOMPARE(run.outcome(), SendRun::Outcome::Completed);
        QCOMPARE(f.client.messages.size(), 3);
        auto textOf = [mode](const MimeView &mail) {
            return mail.part(mode == SendRun::Mode::Text ? "text/plain" : "text/html").value("text").toString();
        };
        READ_BACK(second, f.client.messages.at(1).data);
        QCOMPARE(second.subject(), QStringLiteral("Hallo Neu"));
        QVERIFY2(textOf(second).contains("Sehr geehrter Herr Neu"), qPrintable(textOf(second)));
        READ_BACK(third, f.client.messages.at(2).data);
        QVERIFY2(textOf(third).contains("Lieber Herr c@e"), qPrintable(textOf(third)));
    }

    void connectionFails_data()
    {
        QTest::addColumn<SendRun::Mode>("mode");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<bool>("ignore");
        QTest::addColumn<bool>("decided"); // somebody hears of the failure
        QTest::addColumn<QList<Decision>>("decisions");
        QTest::addColumn<SendRun::Outcome>("outcome");
        QTest::addColumn<QList<bool>>("heard"); // mayGoOn of each failure the caller heard of
        QTest::addColumn<int>("messages");
        const auto text = SendRun::Mode::Text, html = SendRun::Mode::Html;
        const auto failed = SendRun::Outcome::ConnectionError, completed = SendRun::Outcome::Completed;
        QTest::newRow("text run: stop") << text << false << false << true << QList<Decision>{Decision::Stop} << failed
                                        << QList<bool>{true} << 2;
        QTest::newRow("text run: go on") << text << false << false << true
                                         << QList<Decision>{Decision::GoOn, Decision::GoOn} << completed
                                         << QList<bool>{true, true} << 3;
        QTest::newRow("text run: go on, decided later")
            << text << false << false << true << QList<Decision>{Decision::GoOnLater, Decision::Stop} << failed
            << QList<bool>{true, true} << 3;
        QTest::newRow("text run: nobody to decide")
            << text << false << false << false << QList<Decision>{} << failed << QList<bool>{} << 2;
        QTest::newRow("text run with SSL")
            << text << true << false << true << QList<Decision>{} << failed << QList<bool>{false} << 2;
        QTest::newRow("HTML run") << html << false << false << true << QList<Decision>{} << failed << QList<bool>{false}
                                  << 2;
        QTest::newRow("problems ignored")
            << html << false << true << true << QList<Decision>{} << completed << QList<bool>{} << 3;
    }
    void connectionFails()
    {
        QFETCH(SendRun::Mode, mode);
        QFETCH(bool, decided);
        QFETCH(QList<Decision>, decisions);
        QFETCH(SendRun::Outcome, outcome);
        Fixture f({"a@example.net", "b@example.net", "c@example.net"});
        // The first message goes; then the server fails for every one.
        f.client.script({Reply::accepted(), Reply::refused(SmtpErrorClass::Connection, kConnectionFailure),
                         Reply::refused(SmtpErrorClass::Connection, kConnectionFailure)});
        MessageRecorder boxes;
        SendRun::Config c = f.config(mode);
        // The switch alone decides here.
        QFETCH(bool, ssl);
        c.sslActive = ssl;
        QFETCH(bool, ignore);
        c.ignoreConnectionProblems = ignore;
        SendRun run(c, &f.client);
        QList<bool> heard;
        if (decided)
            connect(&run, &SendRun::connectionFailed, this, [&](const QString &error, bool mayGoOn) {
                QCOMPARE(error, kConnectionFailure);
                heard.append(mayGoOn);
                if (!mayGoOn || decisions.isEmpty())
                    return;
                switch (decisions.takeFirst()) {
                case Decision::Stop: run.stop(); break;
                case Decision::GoOn: run.resume(); break;
                case Decision::GoOnLater: QTimer::singleShot(10, &run, &SendRun::resume); break;
                }
            });
        QCOMPARE(runToEnd(run), outcome);
        QTEST(heard, "heard");
        QVERIFY(decisions.isEmpty());
        QTEST(int(f.client.messages.size()), "messages");
        if (outcome == SendRun::Outcome::ConnectionError)
            QCOMPARE(run.errorText(), kConnectionFailure);
        // The first recipient is finished; the server's trouble is no fault of the others.
        QCOMPARE(f.selected(), (QStringList{"False", "True", "True"}));
        QCOMPARE(column(f.table, "Invalid"), (QStringList{"False", "False", "False"}));
        QCOMPARE(run.failedCount(), 0);
        QCOMPARE(f.client.quits, 1);
    }

    void localErrorEndsTheRun_data()
    {
        QTest::addColumn<bool>("salutationsGo");
        QTest::addColumn<QString>("error"); // the salutation table's path stands for "%1"
        QTest::newRow("salutation table gone") << true << "Die Datei %1 kann nicht geöffnet werden!";
        QTest::newRow("nothing to send") << false << "no recipient";
    }
    void localErrorEndsTheRun()
    {
        QFETCH(bool, salutationsGo);
        QFETCH(QString, error);
        Fixture f({"a@example.net", "b@example.net"});
        if (!salutationsGo)
            f.client.script({Reply::accepted(), Reply::refused(SmtpErrorClass::Local, "no recipient")});
        MessageRecorder boxes;
        SendRun run(f.config(), &f.client);
        if (salutationsGo)
            connect(&run, &SendRun::recordSent, this, [&f] { QFile::remove(f.dir.file("Grussformel.txt")); });
        QCOMPARE(runToEnd(run), SendRun::Outcome::LocalError);
        QCOMPARE(run.errorText(), error.contains("%1") ? error.arg(f.dir.file("Grussformel.txt")) : error);
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
        QVERIFY(f.client.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSendRun)

#include "tst_sendrun.moc"
