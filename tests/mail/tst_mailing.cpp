// The serial e-mail without its window: the mail server set-up reports what the
// user must be told instead of showing it, puts the account into force and
// configures the SMTP component; a run's configuration is made of what the window
// holds and the settings read.
#include "inifile.h"
#include "mailing.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "pop3client.h"
#include "testfolder.h"

#include <QTest>

using namespace vt;

namespace {

// The program folder with the shipped files and a mail settings file of our own.
struct Program
{
    TestFolder dir{true};
    Program() { MainState().setAppFolder(dir.path()); }
    ~Program() { MainState().SendRunActive = false; }
    void settings(const QList<QPair<QString, QString>> &values)
    {
        QFile::remove(dir.file("Vantrel.ini"));
        IniFile ini(dir.file("Vantrel.ini"));
        ini.setAutoSave(false);
        for (const auto &[key, value] : values) {
            const QStringList parts = key.split('/');
            ini.writeString(parts.at(0), parts.at(1), value);
        }
        ini.save();
    }
};

// Everything a run reads, so that nothing is reported missing.
QList<QPair<QString, QString>> completeSettings()
{
    return {{"SMTP/host", "mail.example.com"},
            {"SMTP/port", "2525"},
            {"SMTP/username", "kunde"},
            {"SMTP/password", "Geheim1"},
            {"AUT/Authentification", "False"},
            {"POP/host", "127.0.0.1"},
            {"POP/konto", "kunde"},
            {"POP/password", "x"},
            {"POP/port", "1"},
            {"DELAY/delay", "3"},
            {"POPvorSMTP/POPvorSMTP", "False"},
            {"SSL/active", "1"},
            {"CodeSet/Index", "2"}};
}

} // namespace

class TestMailing : public QObject
{
    Q_OBJECT

private slots:
    void prepareConnection()
    {
        Program p;
        p.settings(completeSettings());
        MessageRecorder boxes;
        Mailing mailing;
        QStringList said;
        QVERIFY(mailing.PrepareConnection([&said](const QString &text) { said.append(text); }));
        QVERIFY(said.isEmpty());
        // The account is in force and the component points at its server.
        QVERIFY(MainState().SslActive);
        QCOMPARE(MainState().CharsetIndex, 2);
        QCOMPARE(mailing.IdSMTP1.serverAddr(), QStringLiteral("mail.example.com"));
        QCOMPARE(mailing.IdSMTP1.serverPort(), quint16(2525));
        QCOMPARE(mailing.IdSMTP1.tlsMode(), TlsMode::Auto);
        // Authentication is off: the password stored is not even read.
        QVERIFY(mailing.settings().password.isEmpty());
        QCOMPARE(mailing.settings().delaySeconds, 3);
    }

    void prepareConnectionReports_data()
    {
        QTest::addColumn<bool>("generalFile");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("said"); // "%1" stands for the settings file
        QTest::newRow("no settings file") << false << true << QStringList{"Inifile %1 not found!"};
        QTest::newRow("keys missing, POP3 server away")
            << true << false
            << QStringList{"Item konto not found in %1", "Block DELAY not found in %1", "Item delay not found in %1",
                           kPopLogonFailedText};
    }
    void prepareConnectionReports()
    {
        QFETCH(bool, generalFile);
        QFETCH(bool, connected);
        QFETCH(QStringList, said);
        Program p;
        QList<QPair<QString, QString>> values = completeSettings();
        values.removeIf([](const auto &v) { return v.first.startsWith("DELAY") || v.first == "POP/konto"; });
        values.append(qMakePair(QStringLiteral("POPvorSMTP/POPvorSMTP"), QStringLiteral("True")));
        p.settings(values);
        if (!generalFile)
            QFile::remove(p.dir.file("Vantrel.ini"));
        MessageRecorder boxes;
        Mailing mailing;
        QStringList reported;
        QCOMPARE(mailing.PrepareConnection([&reported](const QString &text) { reported.append(text); }), connected);
        for (QString &text : said)
            text.replace("%1", p.dir.file("Vantrel.ini"));
        QCOMPARE(reported, said);
    }

    void runConfiguration()
    {
        Program p;
        p.settings(completeSettings());
        Mailing mailing;
        QVERIFY(mailing.PrepareConnection([](const QString &text) { QFAIL(qPrintable(text)); }));
        mailing.delayUnitMs = 10;
        MailerContent content;
        content.senderAddress = "versand@example.com";
        content.subject = "Hallo $NAME";
        content.priorityIndex = 2;
        content.body = {"Zeile"};
        content.attachmentPath = "/anhang.pdf";
        content.htmlMailPath = p.dir.file("mail.eml");
        QString problem;
        MainState().TransactionLogOn = false;
        const std::optional<SendRun::Config> text = mailing.runConfig(SendRun::Mode::Text, content, &problem);
        QVERIFY(text);
        QCOMPARE(text->delayMs, 30);
        QCOMPARE(text->sentLog, p.dir.file("Temp/Gesendete_Mails.log"));
        QCOMPARE(text->salutationTable, p.dir.file("Grussformel.txt"));
        QVERIFY(text->transactionLog.isEmpty());
        QCOMPARE(text->body, QStringList{"Zeile"});
        QCOMPARE(text->attachmentPath, QStringLiteral("/anhang.pdf"));
        QCOMPARE(text->charsetIndex, 2);
        QVERIFY(text->sslActive);
        MainState().TransactionLogOn = true;
        const std::optional<SendRun::Config> html = mailing.runConfig(SendRun::Mode::Html, content, &problem);
        MainState().TransactionLogOn = false;
        QVERIFY(html);
        QCOMPARE(html->transactionLog, p.dir.file("Transaction.log"));
        QCOMPARE(html->htmlMailPath, content.htmlMailPath);
        QCOMPARE(html->html.priorityIndex, 2);
        QVERIFY(html->body.isEmpty());
        // The attachment goes with an HTML mail too.
        QCOMPARE(html->attachmentPath, QStringLiteral("/anhang.pdf"));

        // Tracking whose key cannot be kept: no HTML run, and why.
        content.tracking = true;
        MainState().WebSettingsFile = "/nonexistent/Database.web";
        QVERIFY(!mailing.runConfig(SendRun::Mode::Html, content, &problem));
        MainState().WebSettingsFile.clear();
        QCOMPARE(problem, QStringLiteral("Die Datei /nonexistent/stats_keys.list kann nicht geschrieben werden!"));

        // While a run goes on, no mail is composed for the preview.
        MainState().SendRunActive = true;
        QVERIFY(!mailing.BuildHtmlMail(content, &problem));
        QCOMPARE(problem, TMainState::sendRunActiveText());
    }
};

QTEST_GUILESS_MAIN(TestMailing)

#include "tst_mailing.moc"
