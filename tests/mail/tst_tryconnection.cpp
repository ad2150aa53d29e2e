// The connection test of the options dialog against aiosmtpd on loopback: plain,
// STARTTLS, TLS from the start (port 465), with AUTH and with a wrong password;
// what it saves before it sends, its refusals, and the dialog's unsaved values
// that survive coming back from it.
#include "inifile.h"
#include "mailerfixture.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "optionsform.h"
#include "smtpserver.h"
#include "testcertificates.h"
#include "tryconnectionform.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

using namespace vt;

Q_DECLARE_METATYPE(SmtpServer::Tls)

namespace {

struct Dialogs
{
    MailerProgram program;
    TOptionsForm options;
    TFTryconnection test{&options};

    Dialogs()
    {
        test.setWindowFlag(Qt::Window);
        test.Options = &options;
        options.show();
    }
    QLineEdit *edit(const char *name) { return options.findChild<QLineEdit *>(QLatin1String(name)); }
    QLineEdit *address() { return test.findChild<QLineEdit *>(QStringLiteral("EmailEdit")); }
    void account(quint16 port, bool ssl, const QString &user = {}, const QString &password = {})
    {
        edit("SMTPHostEdit")->setText(QStringLiteral("127.0.0.1"));
        edit("SMTPPortEdit")->setText(QString::number(port));
        options.findChild<QCheckBox *>(QStringLiteral("SSLActiveCheckBox"))->setChecked(ssl);
        options.findChild<QCheckBox *>(QStringLiteral("AuthentificationCheckBox"))->setChecked(!user.isEmpty());
        edit("SMTPUserNameEdit")->setText(user);
        edit("SMTPPasswordEdit")->setText(password);
        edit("EmailEdit")->setText(QStringLiteral("versand@example.com"));
        edit("NameEdit")->setText(QStringLiteral("Versand"));
    }
    void sendTo(const QString &recipient)
    {
        test.show();
        address()->setText(recipient);
        test.findChild<QPushButton *>(QStringLiteral("HilfeBitBtn"))->click();
    }
};

} // namespace

class TestTryconnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const TestCertificates &certs = TestCertificates::instance();
        QVERIFY2(certs.error.isEmpty(), qPrintable(certs.error));
        SetMailSslConfiguration(certs.trustingClient());
    }

    void testMail_data()
    {
        QTest::addColumn<SmtpServer::Tls>("tls");
        QTest::addColumn<quint16>("port");     // 0: any free port
        QTest::addColumn<QString>("password"); // typed in the dialog; the server wants "Geheim1" when not empty
        QTest::addColumn<bool>("sent");
        QTest::newRow("plain") << SmtpServer::Tls::Plain << quint16(0) << "" << true;
        QTest::newRow("STARTTLS") << SmtpServer::Tls::StartTls << quint16(0) << "" << true;
        QTest::newRow("TLS from the start on 465") << SmtpServer::Tls::Implicit << quint16(465) << "" << true;
        QTest::newRow("AUTH") << SmtpServer::Tls::StartTls << quint16(0) << "Geheim1" << true;
        QTest::newRow("wrong password") << SmtpServer::Tls::StartTls << quint16(0) << "falsch" << false;
    }
    void testMail()
    {
        QFETCH(SmtpServer::Tls, tls);
        QFETCH(quint16, port);
        QFETCH(QString, password);
        QFETCH(bool, sent);
        SmtpServer::Options o;
        o.tls = tls;
        o.port = port;
        if (!password.isEmpty()) {
            o.user = QStringLiteral("kunde");
            o.password = QStringLiteral("Geheim1");
            o.requireAuth = true;
        }
        if (port != 0) {
            // Below 1024 a port may need privileges this user lacks.
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, port) &&
                probe.serverError() == QAbstractSocket::SocketAccessError)
                QSKIP("this user may not listen on port 465");
        }
        auto server = SmtpServer::startOrFail(o);
        QVERIFY2(server, port ? "port 465 on 127.0.0.1 must be free" : "");
        Dialogs d;
        MessageRecorder boxes;
        d.program.dir.write("Transaction.log", "alt\r\n");
        d.account(server->port(), tls != SmtpServer::Tls::Plain, password.isEmpty() ? QString() : "kunde", password);
        d.sendTo(QStringLiteral("test@example.net"));

        if (sent) {
            QVERIFY(boxes.takeExpected(MsgKind::Information, QStringLiteral("Test-E-Mail wurde gesendet!")));
            QCOMPARE(server->received().size(), 1);
            const SmtpServer::Received got = server->received().at(0);
            QCOMPARE(got.rcptTo, QStringList{"test@example.net"});
            QCOMPARE(got.mailFrom, QStringLiteral("versand@example.com"));
            QCOMPARE(got.tls, tls != SmtpServer::Tls::Plain);
            QCOMPARE(got.login, password.isEmpty() ? QString() : QStringLiteral("kunde"));
            READ_BACK(mail, got.data);
            QCOMPARE(mail.subject(), QStringLiteral("Vantrel Test-E-Mail"));
        } else {
            QVERIFY(boxes.takeExpected(MsgKind::Error, QStringLiteral("Test-E-Mail konnte nicht gesendet werden!")));
            QVERIFY(server->received().isEmpty());
        }
        // Saved before the test in either case; the window closes and keeps the address.
        QCOMPARE(IniFile(d.program.dir.file("Vantrel.ini")).readString("SMTP", "port"),
                 QString::number(server->port()));
        QVERIFY(!QFile::exists(d.program.dir.file("Transaction.log")));
        QVERIFY(!d.test.isVisible());
        QCOMPARE(d.address()->text(), QStringLiteral("test@example.net"));
        QVERIFY(d.options.isVisible());
    }

    void refusedAddresses_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("the hint itself") << "Emailadresse eingeben"
                                         << "Bitte geben Sie eine Emailadresse ein";
        QTest::newRow("no @") << "test.example.net"
                              << "Bitte geben Sie eine gültige Emailadresse ein";
        QTest::newRow("no dot") << "test@example"
                                << "Bitte geben Sie eine gültige Emailadresse ein";
    }
    void refusedAddresses()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        Dialogs d;
        MessageRecorder boxes;
        const QByteArray before = d.program.dir.read("Vantrel.ini");
        d.sendTo(typed);
        QVERIFY(boxes.takeExpected(MsgKind::Plain, text));
        QVERIFY(!d.test.isVisible());
        QCOMPARE(d.program.dir.read("Vantrel.ini"), before);
    }

    void anotherDatabaseGetsItsOwnSettingsWithoutAQuestion()
    {
        auto server = SmtpServer::startOrFail();
        QVERIFY(server);
        Dialogs d;
        MainState().DatabaseIniName = QStringLiteral("Kunden.ini");
        MainState().OpenDatabaseCaption = QStringLiteral("Kunden");
        MessageRecorder boxes;
        d.options.hide();
        d.options.show();
        d.account(server->port(), false);
        const QByteArray general = d.program.dir.read("Vantrel.ini");
        d.sendTo(QStringLiteral("test@example.net"));
        QVERIFY(boxes.takeExpected(MsgKind::Information, QStringLiteral("Test-E-Mail wurde gesendet!")));
        QCOMPARE(IniFile(d.program.dir.file("Kunden.ini")).readString("SMTP", "host"), QStringLiteral("127.0.0.1"));
        QCOMPARE(ReadFirstLine(d.program.dir.file("Data/Absender-Kunden.ini")),
                 QStringLiteral("versand@example.com <Versand>"));
        QCOMPARE(d.program.dir.read("Vantrel.ini"), general);
        MainState().DatabaseIniName = QStringLiteral("Database.ini");
    }

    void unsavedValuesSurviveComingBackFromTheTest()
    {
        Dialogs d;
        MessageRecorder boxes;
        d.edit("SMTPHostEdit")->setText(QStringLiteral("noch.nicht.gespeichert"));
        d.test.show();
        d.test.activateWindow();
        QTest::qWait(50);
        d.test.close();
        d.options.activateWindow();
        QTest::qWait(50);
        QCOMPARE(d.edit("SMTPHostEdit")->text(), QStringLiteral("noch.nicht.gespeichert"));
        QCOMPARE(d.options.SMTPHost, QStringLiteral("noch.nicht.gespeichert"));
        // Opening the dialog anew loads what is stored (the shipped host here).
        d.options.hide();
        d.options.show();
        QCOMPARE(d.edit("SMTPHostEdit")->text(), QStringLiteral("Ihr SMTP Server"));
    }
};

QTEST_MAIN(TestTryconnection)
#include "tst_tryconnection.moc"
