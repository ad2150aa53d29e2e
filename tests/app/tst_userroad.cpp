// A new user's whole road to a mailing through the real windows, from a fresh
// program folder: the mail account set up and saved in the options dialog, its
// connection test against a local server, three records marked in the grid, F2
// and a new text mail in the start wizard, the mail typed, the preview of the
// second recipient, "Senden", three personalised messages received and the grid
// showing the finished records.
//
// With VANTREL_TEST_PICTURES set to a folder, a picture of each window is saved
// there as the user sees it.
#include "addressmodel.h"
#include "clock.h"
#include "connection.h"
#include "forms.h"
#include "mailerform.h"
#include "mainformfixture.h"
#include "mimeoracle.h"
#include "modal.h"
#include "optionpanel.h"
#include "optionsform.h"
#include "previewform.h"
#include "smtpserver.h"
#include "testcertificates.h"
#include "tryconnectionform.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

using namespace vt;

namespace {

void picture(QWidget *w, const QString &name)
{
    const QString folder = qEnvironmentVariable("VANTREL_TEST_PICTURES");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(w->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

template <class T = QWidget> T *in(QWidget *w, const char *name)
{
    T *child = w->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no control %s in %s", name, qPrintable(w->objectName()));
    return child;
}

// Key presses for each character, umlauts included.
void keys(QWidget *w, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Types into a field as a user does: everything in it replaced.
void type(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    keys(edit, text);
}

void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
}

const QList<FieldValues> kAddresses = {
    {{"Mail", "anna@example.net"}, {"Name", "Alm"}, {"Anrede", "Frau"}},
    {{"Mail", "bert@example.net"}, {"Name", "Berg"}, {"Anrede", "Herr"}},
    {{"Mail", "cora@example.net"}, {"Name", "Clausen"}, {"Anrede", "Frau"}},
    {{"Mail", "dirk@example.net"}, {"Name", "Dorn"}, {"Anrede", "Herr"}},
};

} // namespace

class TestUserRoad : public QObject
{
    Q_OBJECT

    MainOnScreen *m_main = nullptr;
    SmtpServer *m_server = nullptr;
    MessageRecorder *m_boxes = nullptr;

    // The options dialog as "Programm - Optionen" shows it: the account typed,
    // the connection tested, the settings saved.
    void setUpTheAccount(QDialog *dialog)
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        type(in<QLineEdit>(dialog, "SMTPHostEdit"), QStringLiteral("127.0.0.1"));
        type(in<QLineEdit>(dialog, "SMTPPortEdit"), QString::number(m_server->port()));
        click(in<QCheckBox>(dialog, "SSLActiveCheckBox"));
        click(in<QCheckBox>(dialog, "AuthentificationCheckBox"));
        type(in<QLineEdit>(dialog, "SMTPUserNameEdit"), QStringLiteral("kunde"));
        type(in<QLineEdit>(dialog, "SMTPPasswordEdit"), QStringLiteral("Geheim1"));
        type(in<QLineEdit>(dialog, "EmailEdit"), QStringLiteral("versand@example.com"));
        type(in<QLineEdit>(dialog, "NameEdit"), QStringLiteral("Versand Team"));
        type(in<QLineEdit>(dialog, "DelayEdit"), QStringLiteral("0"));
        picture(dialog, QStringLiteral("1-optionen"));

        click(in<QPushButton>(dialog, "TryConnetionButton"));
        TFTryconnection *test = TryconnectionForm();
        QTRY_VERIFY(test->isVisible());
        type(in<QLineEdit>(test, "EmailEdit"), QStringLiteral("ich@example.com"));
        picture(test, QStringLiteral("2-verbindungstest"));
        click(in<QPushButton>(test, "HilfeBitBtn"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_boxes->isEmpty(), 20000);
        QVERIFY(m_boxes->takeExpected(MsgKind::Information, QStringLiteral("Test-E-Mail wurde gesendet!")));
        QCOMPARE(m_server->received().size(), 1);
        QCOMPARE(m_server->received().at(0).rcptTo, QStringList{"ich@example.com"});
        QVERIFY(m_server->received().at(0).tls);
        QCOMPARE(m_server->received().at(0).login, QStringLiteral("kunde"));
        test->close();

        // What was typed is still there after the test; "Übernehmen" saves it.
        QCOMPARE(in<QLineEdit>(dialog, "SMTPHostEdit")->text(), QStringLiteral("127.0.0.1"));
        click(in<QPushButton>(dialog, "UebernehmenButton"));
        QVERIFY(!dialog->isVisible());
    }

    // The start wizard as F2 shows it: a new mail, as text.
    void chooseANewTextMail(QDialog *wizard)
    {
        wizard->show();
        QVERIFY(QTest::qWaitForWindowExposed(wizard));
        picture(wizard, QStringLiteral("4-assistent-schritt1"));
        click(in<OptionPanel>(wizard, "NeueMailPanel"));
        click(in<OptionPanel>(wizard, "TextMailPanel"));
        picture(wizard, QStringLiteral("5-assistent-textmail"));
        QPushButton *weiter = in<QPushButton>(wizard, "WeiterButton");
        QVERIFY(weiter->isEnabled());
        click(weiter);
        QVERIFY(!wizard->isVisible());
    }

private slots:
    void initTestCase()
    {
        const TestCertificates &certs = TestCertificates::instance();
        QVERIFY2(certs.error.isEmpty(), qPrintable(certs.error));
        SetMailSslConfiguration(certs.trustingClient());
    }

    void fromTheAccountToTheSentMailing()
    {
        SmtpServer::Options o;
        o.tls = SmtpServer::Tls::StartTls;
        o.user = QStringLiteral("kunde");
        o.password = QStringLiteral("Geheim1");
        o.requireAuth = true;
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        m_server = server.get();

        MainOnScreen m(kAddresses);
        m_main = &m;
        MessageRecorder &boxes = m.boxes;
        m_boxes = &boxes;
        // A fresh program folder: the shipped settings, not yet made by the user.
        QVERIFY(!m.state().FirstSettingsDone);
        picture(m.form.get(), QStringLiteral("0-hauptfenster"));

        QStringList dialogs;
        Modal::setHandler([&](QDialog *d) {
            dialogs.append(d->objectName());
            if (d->objectName() == QLatin1String("TOptionsForm"))
                setUpTheAccount(d);
            else if (d->objectName() == QLatin1String("TNewWizForm"))
                chooseANewTextMail(d);
            return d->result();
        });
        auto restore = qScopeGuard([] { Modal::setHandler({}); });

        // 1. The mail account.
        m.form->findChild<QAction *>(QStringLiteral("Options"))->trigger();
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(dialogs, QStringList{"TOptionsForm"});
        QVERIFY(m.state().FirstSettingsDone);
        // Back in the main window, as after any dialog.
        m.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m.form.get()));

        // 2. Three records marked by double clicks on their "Selected" cells.
        for (int row : {0, 1, 2})
            QTest::mouseDClick(m.grid()->viewport(), Qt::LeftButton, {}, m.cell(row, "Selected"));
        picture(m.form.get(), QStringLiteral("3-markiert"));
        QList<qint64> ids;
        for (int row = 0; row < 4; ++row)
            ids.append(m.state().CurrentDataSource->index(row, 0).data(AddressModel::IdRole).toLongLong());

        // 3. F2: the wizard, then the serial e-mail window with a new text mail.
        m.goTo(0, "Mail");
        QTest::keyClick(m.form.get(), Qt::Key_F2);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(dialogs, (QStringList{"TOptionsForm", "TNewWizForm"}));
        QCOMPARE(m.state().MarkedCount, 3);
        TMailerForm *mailer = MailerForm();
        QTRY_VERIFY(mailer->isVisible());
        QLineEdit *subject = in<QLineEdit>(mailer, "SubjectEdit");
        QCOMPARE(subject->text(), QStringLiteral("Hier bitte Ihren Betreff eingeben"));
        // The window fills its sender list when it becomes active.
        QTRY_COMPARE(in<QComboBox>(mailer, "ComboBox1")->currentText(),
                     QStringLiteral("versand@example.com <Versand Team>"));
        type(subject, QStringLiteral("Neuigkeiten für $NAME"));
        QPlainTextEdit *body = in<QPlainTextEdit>(mailer, "MessageMemo");
        body->setFocus();
        body->selectAll();
        keys(body, QStringLiteral("$ANREDE $NAME,"));
        QTest::keyClick(body, Qt::Key_Return);
        keys(body, QStringLiteral("unser Angebot gilt bis Freitag."));
        picture(mailer, QStringLiteral("6-serienmail"));

        // 4. The preview, stepped to the second recipient; closing it leaves the grid as it was.
        click(in<QPushButton>(mailer, "PreviewBitBtn"));
        TPreviewForm *preview = PreviewForm();
        QTRY_VERIFY(preview->isVisible());
        click(in<QPushButton>(preview, "NextButton"));
        QCOMPARE(in<QLabel>(preview, "PreviewLabel")->text(), "Vorschau Datensatz Nr: " + QString::number(ids.at(1)));
        QCOMPARE(in<QLineEdit>(preview, "PreviewSubjectEdit")->text(), QStringLiteral("Neuigkeiten für Berg"));
        QCOMPARE(in<QPlainTextEdit>(preview, "PreviewMemo")->toPlainText(),
                 QStringLiteral("Sehr geehrter Herr Berg,\nunser Angebot gilt bis Freitag."));
        picture(preview, QStringLiteral("7-vorschau"));
        click(in<QPushButton>(preview, "Closebtn"));
        QVERIFY(!preview->isVisible());
        QVERIFY(!m.table()->isFiltered());
        QCOMPARE(m.table()->recordCount(), 4);
        QCOMPARE(subject->text(), QStringLiteral("Neuigkeiten für $NAME"));

        // 5. "Senden".
        click(in<QPushButton>(mailer, "SendBitBtn"));
        QTRY_VERIFY_WITH_TIMEOUT(!mailer->runActive(), 60000);
        picture(m.form.get(), QStringLiteral("8-nach-dem-versand"));
        const QStringList left = boxes.takeTexts();
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(" | "))));

        // Three messages after the test mail, each personalised.
        const QList<SmtpServer::Received> got = server->received();
        QCOMPARE(got.size(), 4);
        const QStringList to{"anna@example.net", "bert@example.net", "cora@example.net"};
        const QStringList greeting{"Sehr geehrte Frau Alm", "Sehr geehrter Herr Berg", "Sehr geehrte Frau Clausen"};
        const QStringList names{"Alm", "Berg", "Clausen"};
        for (int i = 0; i < 3; ++i) {
            const SmtpServer::Received &r = got.at(i + 1);
            QCOMPARE(r.rcptTo, QStringList{to.at(i)});
            QCOMPARE(r.mailFrom, QStringLiteral("versand@example.com"));
            READ_BACK(mail, r.data);
            QCOMPARE(mail.subject(), "Neuigkeiten für " + names.at(i));
            QCOMPARE(mail.part("text/plain").value("text").toString(),
                     greeting.at(i) + QStringLiteral(",\r\nunser Angebot gilt bis Freitag.\r\n"));
        }

        // The grid shows the finished records no longer marked and sent today; the fourth, never
        // marked, untouched.
        AddressModel *grid = m.state().CurrentDataSource;
        const QString today = Clock::today().toString(QStringLiteral("dd.MM.yyyy"));
        for (int row = 0; row < 4; ++row) {
            const QModelIndex selected = grid->index(row, m.column("Selected"));
            const QModelIndex last = grid->index(row, m.column("LetztesMail"));
            QCOMPARE(grid->data(selected, AddressModel::ValueRole), row < 3 ? QVariant(false) : QVariant());
            QCOMPARE(grid->data(last, Qt::DisplayRole).toString(), row < 3 ? today : QString());
        }
        QVERIFY(!m.table()->isFiltered());
    }
};

QTEST_MAIN(TestUserRoad)
#include "tst_userroad.moc"
