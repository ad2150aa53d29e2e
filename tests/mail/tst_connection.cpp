// The mail server set-up of a run and the connection test: the settings in force
// and their reports, authentication, POP before SMTP against dovecot, and the
// test mail with the values of the options dialog.
#include "children.h"
#include "connection.h"
#include "mailerfixture.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "pop3client.h"
#include "pop3server.h"
#include "smtpserver.h"
#include "testcertificates.h"

#include <QApplication>

using namespace vt;

class TestConnection : public QObject
{
    Q_OBJECT

    std::unique_ptr<Pop3Server> m_pop;

private slots:
    void initTestCase()
    {
        const TestCertificates &certs = TestCertificates::instance();
        QVERIFY2(certs.error.isEmpty(), qPrintable(certs.error));
        SetMailSslConfiguration(certs.trustingClient());
        m_pop = std::make_unique<Pop3Server>("kunde", "Geheim1");
        const QString why = m_pop->start();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanupTestCase() { m_pop.reset(); }

    void authenticationFollowsTheSwitch_data()
    {
        QTest::addColumn<QString>("authentication");
        QTest::addColumn<QString>("login");
        // A password stored while the switch is off is neither read nor used.
        QTest::newRow("off") << "False"
                             << "";
        QTest::newRow("on") << "True"
                            << "kunde";
    }
    void authenticationFollowsTheSwitch()
    {
        QFETCH(QString, authentication);
        MailerProgram p;
        SmtpServer::Options o;
        o.user = "kunde";
        o.password = "Geheim1";
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        p.settings(
            server->port(),
            {{"AUT/Authentification", authentication}, {"SMTP/username", "kunde"}, {"SMTP/password", "Geheim1"}});
        p.records({{{"Mail", "a@example.net"}}});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        QVERIFY(MailerProgram::send(w));
        QCOMPARE(server->received().size(), 1);
        QTEST(server->received().at(0).login, "login");
    }

    void missingKeysAreReportedInTheirOrder()
    {
        MailerProgram p;
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        p.settings(server->port());
        IniFile ini(p.dir.file("Vantrel.ini"));
        ini.eraseSection("DELAY");
        ini.deleteKey("POP", "konto");
        p.records({{{"Mail", "a@example.net"}}});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        QVERIFY(MailerProgram::send(w));
        const QString file = " not found in " + p.dir.file("Vantrel.ini");
        QCOMPARE(boxes.takeTexts(), (QStringList{"Item konto" + file, "Block DELAY" + file, "Item delay" + file}));
        // The defaults serve: the mail has gone.
        QCOMPARE(server->received().size(), 1);
    }

    void popBeforeSmtp_data()
    {
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sent");
        QTest::newRow("plain") << false << "Geheim1" << true;
        QTest::newRow("SSL: STLS for POP3, STARTTLS for SMTP") << true << "Geheim1" << true;
        QTest::newRow("wrong password") << false << "falsch" << false;
    }
    void popBeforeSmtp()
    {
        QFETCH(bool, ssl);
        QFETCH(QString, password);
        QFETCH(bool, sent);
        MailerProgram p;
        SmtpServer::Options o;
        o.tls = ssl ? SmtpServer::Tls::StartTls : SmtpServer::Tls::Plain;
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        p.settings(server->port(), {{"POPvorSMTP/POPvorSMTP", "True"},
                                    {"POP/host", "127.0.0.1"},
                                    {"POP/port", QString::number(m_pop->plainPort())},
                                    {"POP/konto", "kunde"},
                                    {"POP/password", password},
                                    {"SSL/active", ssl ? "1" : "0"}});
        p.records({{{"Mail", "a@example.net"}}});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        QVERIFY(MailerProgram::send(w));
        QCOMPARE(server->received().size(), sent ? 1 : 0);
        QCOMPARE(column(p.table(), "Selected"), QStringList{sent ? "False" : "True"});
        if (sent) {
            QCOMPARE(server->received().at(0).tls, ssl);
            QVERIFY(!w->isVisible());
        } else {
            // Said once; the run does not start and the window stays open.
            QVERIFY(boxes.takeExpected(MsgKind::Error, kPopLogonFailedText));
            QVERIFY(w->isVisible());
            w->AbortBitBtnClick();
        }
        QVERIFY(boxes.isEmpty());
    }

    void testMailWithTheDialogsValues()
    {
        MailerProgram p;
        SmtpServer::Options o;
        o.user = "kunde";
        o.password = "Geheim1";
        o.rejectRecipients = {"nein@example.net"};
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        // The stored settings point nowhere: the test uses what the dialog holds.
        p.settings(1);
        TMailerForm *w = MailerForm();
        child<QComboBox>(w, "PrioComobox")->setCurrentIndex(0);
        TestMailValues v;
        v.account.host = "127.0.0.1";
        v.account.port = QString::number(server->port());
        v.account.authentication = true;
        v.account.userName = "kunde";
        v.account.password = "Geheim1";
        v.account.charsetIndex = 3;
        v.sender = {"ich@example.com", "Ich"};
        v.testRecipient = "test@example.net";
        MainState().SslActive = true;
        QVERIFY(w->SendTestMail(v));
        QCOMPARE(MainState().CharsetIndex, 3);
        QVERIFY(!MainState().SslActive);
        QCOMPARE(server->received().size(), 1);
        const SmtpServer::Received got = server->received().at(0);
        QCOMPARE(got.login, QStringLiteral("kunde"));
        QCOMPARE(got.rcptTo, QStringList{"test@example.net"});
        READ_BACK(mail, got.data);
        QCOMPARE(mail.subject(), QStringLiteral("Vantrel Test-E-Mail"));
        QCOMPARE(mail.mailboxes("From"), QStringList{"Ich <ich@example.com>"});
        QCOMPARE(mail.headers("X-Priority"), QStringList{"1"});
        QVERIFY(mail.part("text/plain")
                    .value("text")
                    .toString()
                    .startsWith("Dies ist eine Test-E-Mail versendet mit "
                                "Vantrel!"));
        // A refused test mail is a false, without a box of its own.
        MessageRecorder boxes;
        v.testRecipient = "nein@example.net";
        QVERIFY(!w->SendTestMail(v));
        QVERIFY(boxes.isEmpty());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestConnection test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_connection.moc"
