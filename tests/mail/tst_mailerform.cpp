// The serial e-mail window driven by its controls: runs of a text mail and of an
// HTML mail with click tracking to aiosmtpd on loopback, a server that gives up in
// the middle, "Abbrechen" in the middle, what the window refuses while a run goes
// on, the checks before a run, the template file and the placeholders.
#include "children.h"
#include "definitionfiles.h"
#include "filedialogrecorder.h"
#include "inifile.h"
#include "logforms.h"
#include "mailerfixture.h"
#include "mailtemplate.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "modal.h"
#include "smtpserver.h"
#include "text.h"
#include "tracking.h"
#include "trafficchart.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageAuthenticationCode>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

using namespace vt;

namespace {

const QString kSender = "versand@example.com <Versand Team>";

// The five recipients: two good ones (one with blanks around its address), one
// that fails the address check, one the server refuses, one marked invalid before;
// and the server that refuses the one.
std::unique_ptr<SmtpServer> fiveRecipients(MailerProgram &p)
{
    SmtpServer::Options o;
    o.rejectRecipients = {"abgelehnt@example.net"};
    p.records({
        {{"Invalid", false}, {"Mail", "anna@example.net"}, {"Anrede", "Frau"}, {"Name", "Älm"}},
        {{"Invalid", false}, {"Mail", "  bert@example.net "}, {"Anrede", "Herr"}, {"Name", "Berg"}},
        {{"Invalid", false}, {"Mail", "kein-gültiger"}, {"Anrede", "Herr"}, {"Name", "Kurz"}},
        {{"Invalid", false}, {"Mail", "abgelehnt@example.net"}, {"Anrede", ""}, {"Name", "Nein"}},
        {{"Invalid", true}, {"Mail", "eva@example.net"}, {"Anrede", "Frau"}, {"Name", "Ernst"}},
    });
    return SmtpServer::startOrFail(o);
}

// Records the lines of the rejected-address list each time it is shown, and
// whether it came up over the serial e-mail window, staying on top as that does.
struct RejectedList
{
    QList<QStringList> shown;
    bool overTheMailWindow = true;
    RejectedList()
    {
        Modal::setHandler([this](QDialog *d) {
            if (d != ErrorMailForm())
                return 0;
            overTheMailWindow = overTheMailWindow && d->parentWidget() == MailerForm() && d->isWindow() &&
                                d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            d->show(); // the list is filled when the window is shown
            shown.append(ErrorMailForm()->lines());
            d->hide();
            return int(QDialog::Accepted);
        });
    }
    ~RejectedList() { Modal::setHandler({}); }
};

QStringList ids(AddressTable &t)
{
    return column(t, "ID");
}

} // namespace

class TestMailerForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = MissingProgram("/usr/bin/python3", "python3");
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void textRun()
    {
        MailerProgram p;
        auto server = fiveRecipients(p);
        QVERIFY(server);
        p.settings(server->port(), {{"CodeSet/Index", "1"}});
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {kSender});
        MainState().TransactionLogOn = true;
        const QStringList id = ids(p.table());
        MessageRecorder boxes;
        FileDialogRecorder files;
        RejectedList rejected;

        MailerProgram::chooseText();
        TMailerForm *w = MailerProgram::open();
        // A new text mail starts with the two hints.
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Hier bitte Ihren Betreff eingeben"));
        QCOMPARE(w->bodyLines(), QStringList{"Hier bitte Ihren E-Mail-Text eingeben"});
        QCOMPARE(child<QComboBox>(w, "ComboBox1")->currentText(), kSender);
        child<QLineEdit>(w, "SubjectEdit")->setText("Angebot für $NAME");
        w->setBodyLines({"$ANREDE $NAME,", "Preis: 5 €"});
        files.answer(MailTestData("preise.pdf"));
        child<QPushButton>(w, "BitBtn1")->click();
        QCOMPARE(child<QListWidget>(w, "FAttachmentListBox")->item(0)->text(), QStringLiteral("preise.pdf"));

        QVERIFY(MailerProgram::send(w));
        QVERIFY(!w->isVisible());
        QVERIFY(!MainState().SendRunActive);

        // Two messages, each personalised, in Windows-1252, with the attachment.
        const QList<SmtpServer::Received> got = server->received();
        QCOMPARE(got.size(), 2);
        QCOMPARE(got.at(0).rcptTo, QStringList{"anna@example.net"});
        QCOMPARE(got.at(1).rcptTo, QStringList{"bert@example.net"});
        QCOMPARE(got.at(0).mailFrom, QStringLiteral("versand@example.com"));
        READ_BACK(first, got.at(0).data);
        QCOMPARE(first.subject(), QStringLiteral("Angebot für Älm"));
        QCOMPARE(first.mailboxes("From"), QStringList{"Versand Team <versand@example.com>"});
        QCOMPARE(first.part("text/plain").value("charset").toString(), QStringLiteral("windows-1252"));
        QCOMPARE(first.part("text/plain").value("text").toString(),
                 QStringLiteral("Sehr geehrte Frau Älm,\r\nPreis: 5 €\r\n"));
        QCOMPARE(
            first.part("application/pdf").value("sha256").toString(),
            QString::fromLatin1(
                QCryptographicHash::hash(FileBytes(MailTestData("preise.pdf")), QCryptographicHash::Sha256).toHex()));
        READ_BACK(second, got.at(1).data);
        QCOMPARE(second.subject(), QStringLiteral("Angebot für Berg"));

        // The records: sent ones finished, the others marked invalid, none still marked.
        QCOMPARE(column(p.table(), "Selected"), QStringList(5, "False"));
        QCOMPARE(column(p.table(), "Invalid"), (QStringList{"False", "False", "True", "True", "True"}));
        const QString t = MailerProgram::today();
        QCOMPARE(column(p.table(), "LetztesMail"), (QStringList{t, t, "", "", ""}));
        // The lists and logs.
        const QStringList failedLines{id.at(2) + ": kein-gültiger", id.at(3) + ": abgelehnt@example.net",
                                      id.at(4) + ": eva@example.net"};
        QCOMPARE(rejected.shown, QList<QStringList>{failedLines});
        QVERIFY(rejected.overTheMailWindow);
        QCOMPARE(ReadLines(MainState().AppTempFolder + "Gesendete_Mails.log"),
                 (QStringList{"anna@example.net", "bert@example.net"}));
        QCOMPARE(child<QListWidget>(w, "ListBox1")->count(), 2);
        QCOMPARE(child<QListWidget>(w, "ListBox1")->item(1)->text(), QStringLiteral("TO: bert@example.net"));
        // The labels and bars at the end agree: two of five sent, three invalid.
        QCOMPARE(child<QLabel>(w, "TotalLabel")->text(), QStringLiteral("5 von 5"));
        QCOMPARE(child<QLabel>(w, "eMailsLabel")->text(), QStringLiteral("40.00% (2 Stück)"));
        QCOMPARE(child<QProgressBar>(w, "ProgressBar1")->value(), 40);
        QCOMPARE(child<QLabel>(w, "InvalidMailsLabel")->text(), QStringLiteral("60.00% (3 Stück)"));
        QCOMPARE(child<QProgressBar>(w, "ProgressBar2")->value(), 60);
        QCOMPARE(child<QProgressBar>(w, "ProgressBar3")->value(), 100);
        const QStringList log = ReadLines(p.dir.file("Transaction.log"));
        auto block = [](const QString &to) {
            return QStringList{"--- START MAIL --- From: versand@example.com  To: " + to, "--- END MAIL ---", " "};
        };
        QCOMPARE(log.size(), 16);
        QCOMPARE(log.mid(0, 9), block("anna@example.net") + block("bert@example.net") + block("kein-gültiger"));
        QCOMPARE(log.at(9), block("abgelehnt@example.net").at(0));
        QVERIFY2(log.at(10).startsWith("RECIPIENT REJECTED: <abgelehnt@example.net>: 550"), qPrintable(log.at(10)));
        QCOMPARE(log.mid(11), block("abgelehnt@example.net").mid(1) + block("eva@example.net"));
        QVERIFY(QFile::exists(p.dir.file("Logfile.txt")));
        QCOMPARE(ParseMailTemplate(ReadLines(MainState().LettersFolder + "_Zuletzt versande Email.mail")).subject,
                 std::optional<QString>("Angebot für $NAME"));
        QVERIFY(p.ops.refreshes > 0);
        QVERIFY(boxes.isEmpty());

        // The sent-log viewer shows the last run.
        LogForm()->show();
        QCOMPARE(LogForm()->lines(), (QStringList{"anna@example.net", "bert@example.net"}));
        LogForm()->hide();
    }

    void htmlRunWithTracking()
    {
        MailerProgram p;
        auto server = fiveRecipients(p);
        QVERIFY(server);
        p.settings(server->port(), {{"CodeSet/Index", "3"}, {"XMAILER/Type", "4"}});
        p.dir.write("Data/Database.web", "[SETTINGS]\r\nStatsURL=https://stats.example.com/s/\r\n"
                                         "StatsPassword=geheim\r\nStatsActive=1\r\n");
        p.dir.write("news.eml", "Subject: Neuigkeiten für $NAME\r\nTo: alt@example.org\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
                                "Content-Type: text/plain; charset=utf-8\r\n\r\nHallo $NAME\r\n--b\r\n"
                                "Content-Type: text/html; charset=utf-8\r\n\r\n<p>$ANREDE $NAME</p>"
                                "<a href=\"https://shop.example.com/a?x=1&amp;y=2\">Shop</a> "
                                "<a href=\"mailto:info@example.com\">M</a>\r\n--b--\r\n");
        MessageRecorder boxes;
        FileDialogRecorder files;
        RejectedList rejected;
        Clock::setFixed(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));

        MailerProgram::chooseHtml(p.dir.file("news.eml"));
        TMailerForm *w = MailerProgram::open();
        // A file added in the window goes with the HTML mail.
        files.answer(MailTestData("preise.pdf"));
        child<QPushButton>(w, "BitBtn1")->click();
        QVERIFY(child<QCheckBox>(w, "TrackingCheckBox")->isChecked());
        QVERIFY(child<QCheckBox>(w, "TrackingCheckBox")->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Neuigkeiten für $NAME"));
        QVERIFY(child<QLabel>(w, "AdvOfficeStatusBar1")->text().startsWith("Anhänge: 0 | Gesamtgröße der E-Mail: "));
        QVERIFY(MailerProgram::send(w));
        Clock::setFixed({});
        QVERIFY(!w->isVisible());

        // The record marked invalid before gets the HTML mail, and is valid again.
        const QList<SmtpServer::Received> got = server->received();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.at(2).rcptTo, QStringList{"eva@example.net"});
        READ_BACK(first, got.at(0).data);
        QCOMPARE(first.subject(), QStringLiteral("Neuigkeiten für Älm"));
        QCOMPARE(first.mailboxes("To"), QStringList{" <anna@example.net>"});
        QCOMPARE(first.headers("X-Mailer"), QStringList{"Microsoft Office Outlook 12.0"});
        const QJsonObject html = first.part("text/html");
        QCOMPARE(html.value("charset").toString(), QStringLiteral("utf-8"));
        const QString text = html.value("text").toString();
        QVERIFY(text.contains("<p>Sehr geehrte Frau Älm</p>"));
        // The link goes through the statistics script, signed with the database's key.
        const QByteArray key = TrackingKey(p.dir.file("Data/Database.web"), "https://stats.example.com/s/");
        const QString target = "https://shop.example.com/a?x=1&y=2";
        const QString sig = QString::fromLatin1(
            QMessageAuthenticationCode::hash(("202403051430\n" + target).toUtf8(), key, QCryptographicHash::Sha256)
                .toHex());
        QVERIFY2(text.contains("href=\"https://stats.example.com/s/stats.php?nid=202403051430&url=" +
                               QUrl::toPercentEncoding(target) + "&sig=" + sig + "\""),
                 qPrintable(text));
        QVERIFY(text.contains("href=\"mailto:info@example.com\""));
        for (const SmtpServer::Received &r : got) {
            READ_BACK(sent, r.data);
            QCOMPARE(sent.part("application/pdf").value("filename").toString(), QStringLiteral("preise.pdf"));
        }

        const QStringList id = ids(p.table());
        QCOMPARE(column(p.table(), "Selected"), QStringList(5, "False"));
        QCOMPARE(column(p.table(), "Invalid"), (QStringList{"False", "False", "True", "True", "False"}));
        const QString t = "05.03.2024"; // the day of the run
        QCOMPARE(column(p.table(), "LetztesMail"), (QStringList{t, t, "", "", t}));
        const QStringList failedLines{id.at(2) + ": kein-gültiger", id.at(3) + ": abgelehnt@example.net"};
        QCOMPARE(rejected.shown, QList<QStringList>{failedLines});
        QCOMPARE(child<QListWidget>(w, "ListBox1")->item(2)->text(), QStringLiteral("An: eva@example.net"));
        QCOMPARE(ReadLines(MainState().AppTempFolder + "Gesendete_Mails.log"),
                 (QStringList{"anna@example.net", "bert@example.net", "eva@example.net"}));
        // No transaction log while the switch is off.
        QVERIFY(!QFile::exists(p.dir.file("Transaction.log")));
        QVERIFY(boxes.isEmpty());
    }

    void serverGivesUpInTheMiddle()
    {
        MailerProgram p;
        SmtpServer::Options o;
        o.failMailAfter = 2;
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        p.settings(server->port());
        p.records({{{"Mail", "a@example.net"}},
                   {{"Mail", "b@example.net"}},
                   {{"Mail", "c@example.net"}},
                   {{"Mail", "d@example.net"}}});
        p.dir.write("m.eml", "Subject: s\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n");
        MessageRecorder boxes;
        RejectedList rejected;
        MailerProgram::chooseHtml(p.dir.file("m.eml"));
        TMailerForm *w = MailerProgram::open();
        QVERIFY(MailerProgram::send(w));
        // One message: the server's failure and what was not reached.
        QCOMPARE(boxes.boxes().size(), 1);
        const QString box = boxes.take().text;
        QVERIFY(box.startsWith("Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen "
                               "Sie Ihre Verbindung zum SMTP-Server!\n\nERROR WITH CONNECTING SERVER: "));
        QVERIFY2(box.endsWith("\n\n" + CrToNewline(NotReachedText(2, 0, 4))), qPrintable(box));
        QVERIFY(!w->isVisible());
        // Two finished; the others keep their marks and are not called invalid.
        QCOMPARE(column(p.table(), "Selected"), (QStringList{"False", "False", "True", "True"}));
        QCOMPARE(column(p.table(), "Invalid"), (QStringList{"False", "False", "", ""}));
        QVERIFY(rejected.shown.isEmpty());
        QCOMPARE(server->received().size(), 2);
    }

    void serverRefusesTheWholeList()
    {
        MailerProgram p;
        SmtpServer::Options o;
        QList<FieldValues> records;
        for (int i = 1; i <= 7; ++i) {
            const QString a = QStringLiteral("kunde%1@example.net").arg(i);
            o.rejectRecipients.append(a);
            records.append({{"Mail", a}});
        }
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        p.settings(server->port());
        p.records(records);
        MessageRecorder boxes;
        RejectedList rejected;
        boxes.answer(MsgButton::No);
        TMailerForm *w = MailerProgram::openTextMail();
        QVERIFY(MailerProgram::send(w));
        // Asked at the fifth refusal; No ends the run with that record as it was.
        const MessageRecorder::Box asked = boxes.take();
        QCOMPARE(asked.kind, MsgKind::Question);
        QVERIFY2(
            asked.text.startsWith("Der Mailserver hat 5 Empfänger nacheinander mit derselben Antwort abgelehnt:\n\n"
                                  "RECIPIENT REJECTED: <kunde5@example.net>: 550 5.1.1"),
            qPrintable(asked.text));
        QVERIFY(boxes.takeExpected(MsgKind::Information, CrToNewline(NotReachedText(0, 4, 7))));
        QCOMPARE(column(p.table(), "Invalid"), (QStringList{"True", "True", "True", "True", "", "", ""}));
        QCOMPARE(column(p.table(), "Selected"),
                 (QStringList{"False", "False", "False", "False", "True", "True", "True"}));
        QCOMPARE(rejected.shown.size(), 1);
        QCOMPARE(rejected.shown.at(0).size(), 4);
        QVERIFY(!w->isVisible());
    }

    void textRunAsksWhenTheServerFails()
    {
        MailerProgram p;
        SmtpServer::Options o;
        o.failMailAfter = 1;
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        p.settings(server->port());
        p.records({{{"Mail", "a@example.net"}}, {{"Mail", "b@example.net"}}, {{"Mail", "c@example.net"}}});
        MessageRecorder boxes;
        RejectedList rejected;
        // Go on after the first failure, stop after the second.
        boxes.answer(MsgButton::No);
        boxes.answer(MsgButton::Yes);
        TMailerForm *w = MailerProgram::openTextMail();
        QVERIFY(MailerProgram::send(w));
        QCOMPARE(boxes.boxes().size(), 3);
        for (int i = 0; i < 2; ++i) {
            const MessageRecorder::Box box = boxes.take();
            QCOMPARE(box.kind, MsgKind::Question);
            QVERIFY2(box.text.startsWith("Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler: ERROR "
                                         "WITH CONNECTING SERVER: "),
                     qPrintable(box.text));
            QVERIFY(box.text.endsWith("\n\n! Möchten Sie den Versand abbrechen?\n\n(Falls Sie diese Meldungen nicht "
                                      "mehr wünschen, setzen Sie den Haken \"Verbindungsprobleme ignorieren\")"));
        }
        // The end of the run says what was not reached.
        QVERIFY(boxes.takeExpected(MsgKind::Information, CrToNewline(NotReachedText(1, 0, 3))));
        QVERIFY(!w->isVisible());
        // The server's trouble is no fault of the recipients.
        QCOMPARE(column(p.table(), "Selected"), (QStringList{"False", "True", "True"}));
        QVERIFY(rejected.shown.isEmpty());
        QCOMPARE(server->received().size(), 1);
    }

    void errorOfOurOwnEndsTheRun()
    {
        MailerProgram p;
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        p.settings(server->port());
        p.records({{{"Mail", "a@example.net"}}, {{"Mail", "b@example.net"}}});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(w->currentRun());
        // The salutation table goes while the first mail is sent.
        connect(w->currentRun(), &SendRun::recordSent, this, [&p] { QFile::remove(p.dir.file("Grussformel.txt")); });
        QVERIFY(QTest::qWaitFor([w] { return !w->runActive(); }, 60000));
        QVERIFY(boxes.takeExpected(MsgKind::Error, "Die Datei " + p.dir.file("Grussformel.txt") +
                                                       " kann nicht geöffnet werden!\n\n" +
                                                       CrToNewline(NotReachedText(1, 0, 2))));
        QVERIFY(!w->isVisible());
        QCOMPARE(column(p.table(), "Selected"), (QStringList{"False", "True"}));
        QCOMPARE(server->received().size(), 1);
    }

    void abortInTheMiddle()
    {
        MailerProgram p;
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        p.settings(server->port(), {{"DELAY/delay", "1"}});
        p.records({{{"Mail", "a@example.net"}}, {{"Mail", "b@example.net"}}, {{"Mail", "c@example.net"}}});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        SerialMailing().delayUnitMs = 20;
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(w->runActive());
        QVERIFY(MainState().SendRunActive);
        // During the pause after the first mail: a second "Senden", coming back to
        // the window and loading a template change nothing.
        QSignalSpy pauses(w->currentRun(), &SendRun::pauseStarted);
        QVERIFY(pauses.wait(10000));
        child<QLineEdit>(w, "SubjectEdit")->setText("anders");
        w->SendBitBtnClick();
        w->FormActivate();
        QVERIFY(w->SendingFlag);
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("anders"));
        QVERIFY(!child<QPushButton>(w, "SendBitBtn")->isEnabled());
        p.dir.write("t.mail", "[SUBJECT]\r\nx\r\n[TEXT]\r\n[ATTACHEMENT]\r\n\r\n");
        w->LoadMailTemplate(p.dir.file("t.mail"));
        QVERIFY(boxes.takeExpected(MsgKind::Information, CrToNewline(TMainState::sendRunActiveText())));
        QVERIFY(!w->BuildHtmlMail());
        QVERIFY(pauses.wait(10000));
        child<QPushButton>(w, "AbortBitBtn")->click();
        // The window goes at once; so does the run.
        QVERIFY(!w->isVisible());
        QVERIFY(!w->runActive());
        QVERIFY(!MainState().SendRunActive);
        QCOMPARE(column(p.table(), "Selected"), (QStringList{"False", "False", "True"}));
        QCOMPARE(server->received().size(), 2);
        QVERIFY(boxes.isEmpty());
    }

    void checksBeforeTheRun()
    {
        MailerProgram p;
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        p.settings(server->port());
        p.records({{{"Mail", "a@example.net"}}});
        MessageRecorder boxes;
        MailerProgram::chooseText();

        // Two senders: the question, and No leaves everything as it was.
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {kSender, "zwei@example.com <Zwei>"});
        TMailerForm *w = MailerProgram::open();
        child<QComboBox>(w, "ComboBox1")->setCurrentIndex(1);
        boxes.answer(MsgButton::No);
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Question, "Wollen Sie die Email mit dem Absender: zwei@example.com "
                                                      "<Zwei>versenden"));
        QVERIFY(w->isVisible());
        // Coming back to the window brings the default sender back.
        w->FormActivate();
        QCOMPARE(child<QComboBox>(w, "ComboBox1")->currentIndex(), 0);
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {kSender});
        w->FormActivate();

        // No subject: the window stays open.
        child<QLineEdit>(w, "SubjectEdit")->setText("  ");
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Kein Betreff eingegeben! - E-Mail wird nicht versendet!"));
        QVERIFY(w->isVisible());
        QVERIFY(!w->runActive());

        // A typed sender that is no address.
        child<QComboBox>(w, "ComboBox1")->setEditText("kein Absender");
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Error, "Absender-E-Mail-Adresse ungültig!"));
        w->FormActivate();

        // The account never set up: the window closes.
        IniFile(p.dir.file("Vantrel.ini")).writeString("SMTP", "host", "Ihr SMTP Server");
        child<QLineEdit>(w, "SubjectEdit")->setText("s");
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Sie haben die Einstellungen noch nicht bearbeitet!\nBitte "
                                                         "bearbeiten Sie diese im Menü unter Programm/Optionen!"));
        QVERIFY(!w->isVisible());

        // Settings never saved: the window closes too.
        w = MailerProgram::open();
        MainState().FirstSettingsDone = false;
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information,
                                   "Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt worden. Gehen Sie "
                                   "hierzu in den Menüpunkt \"Programm - Optionen\""));
        QVERIFY(!w->isVisible());
        QVERIFY(server->received().isEmpty());
        QCOMPARE(column(p.table(), "Selected"), QStringList{"True"});
        QVERIFY(!p.table().isFiltered());

        // An HTML run without a marked record closes the window with its box.
        MainState().FirstSettingsDone = true;
        p.table().updateWhere(Filter(), {{"Selected", false}});
        p.dir.write("m.eml", "Subject: s\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n");
        MailerProgram::chooseHtml(p.dir.file("m.eml"));
        w = MailerProgram::open();
        child<QPushButton>(w, "SendBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Keine Datensätze zum Versenden markiert!"));
        QVERIFY(!w->isVisible());
    }

    void theQuestionNamesTheSenderOfTheRun()
    {
        MailerProgram p;
        auto server = SmtpServer::startOrFail({});
        QVERIFY(server);
        p.settings(server->port());
        p.records({{{"Mail", "a@example.net"}}});
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {kSender, "zwei@example.com <Zwei>"});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        // The second entry chosen, then another sender typed over it.
        child<QComboBox>(w, "ComboBox1")->setCurrentIndex(1);
        child<QComboBox>(w, "ComboBox1")->setEditText("drei@example.com <Drei>");
        boxes.answer(MsgButton::Yes);
        QVERIFY(MailerProgram::send(w));
        QVERIFY(boxes.takeExpected(MsgKind::Question, "Wollen Sie die Email mit dem Absender: drei@example.com "
                                                      "<Drei>versenden"));
        QCOMPARE(server->received().size(), 1);
        QCOMPARE(server->received().at(0).mailFrom, QStringLiteral("drei@example.com"));
    }

    // Coming back to the window (from the preview, from the main window) fills
    // the sender list again; a sender the user typed or chose stays until the
    // user changes it, and each new opening starts from the list's first line.
    void theSenderChosenStays()
    {
        MailerProgram p;
        const QString second = "zwei@example.com <Zwei>";
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {kSender, second});
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        auto *senders = child<QComboBox>(w, "ComboBox1");
        QCOMPARE(senders->currentText(), kSender);

        // Typed.
        senders->lineEdit()->selectAll();
        QTest::keyClicks(senders->lineEdit(), "drei@example.com <Drei>");
        w->FormActivate();
        QCOMPARE(senders->currentText(), QStringLiteral("drei@example.com <Drei>"));
        QCOMPARE(senders->count(), 2);

        // Chosen from the list, which has changed meanwhile.
        w->AbortBitBtnClick();
        w = MailerProgram::openTextMail();
        QCOMPARE(senders->currentText(), kSender);
        QTest::keyClick(senders, Qt::Key_Down);
        QCOMPARE(senders->currentText(), second);
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {"neu@example.com <Neu>", kSender, second});
        w->FormActivate();
        QCOMPARE(senders->currentText(), second);
        QCOMPARE(senders->count(), 3);

        // Untouched, the list's first line.
        w->AbortBitBtnClick();
        w = MailerProgram::openTextMail();
        QCOMPARE(senders->currentText(), QStringLiteral("neu@example.com <Neu>"));
        WriteLines(p.dir.file("Data/AbsenderMails.ini"), {second});
        w->FormActivate();
        QCOMPARE(senders->currentText(), second);
        w->AbortBitBtnClick();
    }

    void templateWithAMissingAttachment()
    {
        MailerProgram p;
        MessageRecorder boxes;
        const QByteArray other = "[SUBJECT]\r\nanderer\r\n[TEXT]\r\n[ATTACHEMENT]\r\n/weg.pdf\r\n";
        p.dir.write("Briefe/andere.mail", other);
        p.dir.write("Briefe/vorlage.mail", "[SUBJECT]\r\nBetreff\r\n[TEXT]\r\nZeile\r\n[ATTACHEMENT]\r\n/weg.pdf\r\n");
        MailerProgram::chooseText();
        StartWizardChoice().NewMailChosen = false;
        StartWizardChoice().OpenTemplateChosen = true;
        MailerForm()->TextTemplatePath = p.dir.file("Briefe/vorlage.mail");
        vt::StartMailer();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Achtung! In der Vorlage haben Sie als Anhang die Datei "
                                                         "/weg.pdf angegeben. \nDie Datei existiert aber nicht mehr!"));
        TMailerForm *w = MailerForm();
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Betreff"));
        QCOMPARE(w->bodyLines(), QStringList{"Zeile"});
        QVERIFY(w->AttachmentPath.isEmpty());
        // The template is saved again without the attachment; another one is untouched.
        QCOMPARE(p.dir.read("Briefe/vorlage.mail"), QByteArray("[SUBJECT]\r\nBetreff\r\n[TEXT]\r\nZeile\r\n"
                                                               "[ATTACHEMENT]\r\n\r\n"));
        QCOMPARE(p.dir.read("Briefe/andere.mail"), other);
        // Removing an attachment saves the template at once, with the edits made since.
        QTRY_COMPARE(w->CurrentTemplateFile, p.dir.file("Briefe/vorlage.mail"));
        child<QLineEdit>(w, "SubjectEdit")->setText("neu");
        w->BitBtn2Click();
        QVERIFY(p.dir.read("Briefe/vorlage.mail").startsWith("[SUBJECT]\r\nneu\r\n"));
        w->AbortBitBtnClick();
        QVERIFY(!w->isVisible());
    }

    void startMailerLayouts()
    {
        MailerProgram p;
        MessageRecorder boxes;
        TMailerForm *w = MailerForm();
        // A text file chosen in the wizard becomes the body; the path is not kept.
        p.dir.write("Briefe/brief.txt", "Erste Zeile\r\nZweite Zeile\r\n");
        MailerProgram::chooseText();
        StartWizardChoice().NewMailChosen = false;
        StartWizardChoice().OpenTemplateChosen = true;
        StartWizardChoice().FileName = "brief.txt";
        w->TextTemplatePath = p.dir.file("Briefe/brief.txt");
        MailerProgram::open();
        QCOMPARE(w->bodyLines(), (QStringList{"Erste Zeile", "Zweite Zeile"}));
        QVERIFY(w->TextTemplatePath.isEmpty());
        QCOMPARE(w->MailMode, 0);
        QCOMPARE(w->MailTable, MainState().CurrentTable);
        QVERIFY(child<QPlainTextEdit>(w, "MessageMemo")->isEnabled());
        QVERIFY(child<QPushButton>(w, "SaveMailButton")->isVisible());
        QVERIFY(!child<QGroupBox>(w, "VorlagePanel")->isVisible());
        QVERIFY(child<QFrame>(w, "SelectVariablesPanel")->isVisible());
        QVERIFY(!child<QLineEdit>(w, "ToEdit")->isVisible());
        // Closing by the frame is refused while the window is in use.
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        w->AbortBitBtnClick();

        // A template path left from an earlier choice is dropped unless a template was opened.
        MailerProgram::chooseText();
        w->TextTemplatePath = p.dir.file("Briefe/alt.mail");
        MailerProgram::open();
        QVERIFY(w->TextTemplatePath.isEmpty());
        w->AbortBitBtnClick();

        // An HTML mail: no body, the preview, no template buttons.
        p.dir.write("m.eml", "Subject: Betreff der Mail\r\nContent-Type: text/html\r\n\r\n<p>Hallo</p>\r\n");
        MailerProgram::chooseHtml(p.dir.file("m.eml"));
        MailerProgram::open();
        QCOMPARE(w->MailMode, 1);
        QVERIFY(!child<QPlainTextEdit>(w, "MessageMemo")->isVisible());
        QVERIFY(child<QGroupBox>(w, "VorlagePanel")->isVisible());
        QVERIFY(!child<QPushButton>(w, "SaveMailButton")->isVisible());
        QVERIFY(!child<QPushButton>(w, "TextBitbtn")->isVisible());
        QVERIFY(child<QTextBrowser>(w, "WebBrowser1")->toPlainText().contains("Hallo"));
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Betreff der Mail"));
        QCOMPARE(w->HtmlBody.trimmed(), QStringLiteral("<p>Hallo</p>"));
        w->AbortBitBtnClick();
        QVERIFY(!w->isVisible());

        // The subject typed in the HTML import wins over the mail's own.
        HtmlImportChoice().HtmlImported = true;
        HtmlImportChoice().Subject = "  Aus dem Import ";
        MailerProgram::open();
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Aus dem Import"));
        HtmlImportChoice() = {};
        w->AbortBitBtnClick();

        // Without an open database there is nothing to send to.
        MainState().FreeTableComponents();
        vt::StartMailer();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Zuerst Datenbank öffnen!"));
        QVERIFY(!w->isVisible());
    }

    void trackingFollowsTheOpenDatabase()
    {
        MailerProgram p;
        MessageRecorder boxes;
        p.records({{{"Mail", "kunde@example.net"}, {"Name", "Kunde"}}});
        p.dir.write("Data/Database.web", "[SETTINGS]\r\nStatsURL=https://stats.example.com/s/\r\n"
                                         "StatsPassword=geheim\r\nStatsActive=1\r\n");
        // A second database, without web settings of its own.
        for (const char *ext : {".pro", ".cb", ".fil"})
            QVERIFY(QFile::copy(p.dir.file(QStringLiteral("Data/database") + ext),
                                p.dir.file(QStringLiteral("Data/zwei") + ext)));
        QVERIFY(WriteLines(p.dir.file("Data/zwei.ini"), NewDatabaseDefinition("zwei")));
        QVERIFY(AppendLines(p.dir.file("Buttons.ini"), {CatalogLine("Zwei", "zwei.ini")}));
        QVERIFY(MainState().loadDatabaseCatalog());
        QVERIFY(MainState().CreateTableFromDefinition("zwei"));
        p.dir.write("m.eml",
                    "Subject: s\r\nContent-Type: text/html\r\n\r\n<a href=\"https://shop.example/\">x</a>\r\n");

        // Each opening of the window reads the settings of the database open then.
        for (const QString database : {"Database.ini", "zwei.ini", "Database.ini"}) {
            const bool tracked = database == "Database.ini";
            QVERIFY(MainState().OpenDatabase(database));
            if (!tracked)
                fill(p.table(), {{{"Selected", true}, {"Mail", "zwei@example.net"}}});
            MailerProgram::chooseHtml(p.dir.file("m.eml"));
            TMailerForm *w = MailerProgram::open();
            QCOMPARE(child<QCheckBox>(w, "TrackingCheckBox")->isChecked(), tracked);
            QCOMPARE(child<QCheckBox>(w, "TrackingCheckBox")->isEnabled(), tracked);
            QCOMPARE(MainState().StatsUrl.isEmpty(), !tracked);
            QVERIFY(p.table().first());
            QString error;
            QVERIFY2(w->BuildHtmlMail(&error), qPrintable(error));
            READ_BACK(mail, FileBytes(w->SendTempFolder + "/Sending.eml"));
            QCOMPARE(mail.part("text/html").value("text").toString().contains("stats.example.com"), tracked);
            w->AbortBitBtnClick();
        }
    }

    void previewMessage()
    {
        MailerProgram p;
        p.records({{{"Mail", " erster@example.net "}, {"Name", "Erster"}}, {{"Mail", "zweiter@example.net"}}});
        p.dir.write("m.eml", "Subject: s\r\nTo: alt@example.org\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                             "<p>Hallo $NAME</p>\r\n");
        MessageRecorder boxes;
        MailerProgram::chooseHtml(p.dir.file("m.eml"));
        TMailerForm *w = MailerProgram::open();
        child<QLineEdit>(w, "SubjectEdit")->setText("Für $NAME");
        // The message of the record the grid stands on, as the preview shows it.
        QVERIFY(p.table().first());
        QString error;
        QVERIFY2(w->BuildHtmlMail(&error), qPrintable(error));
        READ_BACK(mail, FileBytes(w->SendTempFolder + "/Sending.eml"));
        QCOMPARE(mail.mailboxes("To"), QStringList{" <erster@example.net>"});
        QCOMPARE(mail.subject(), QStringLiteral("Für Erster"));
        QVERIFY(mail.part("text/html").value("text").toString().contains("<p>Hallo Erster</p>"));
        // The work files are the program's own.
        QCOMPARE(QFile::permissions(w->SendTempFolder) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
        w->AbortBitBtnClick();
    }

    void placeholders_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty body") << QStringList{} << 0 << 0 << QStringList{"$NAME"};
        QTest::newRow("column 0") << QStringList{"  Hallo"} << 0 << 0 << QStringList{"$NAME Hallo"};
        QTest::newRow("middle") << QStringList{"a", "Hallo  Welt"} << 1 << 6 << QStringList{"a", "Hallo $NAME Welt"};
        QTest::newRow("end of line") << QStringList{"Hallo"} << 0 << 5 << QStringList{"Hallo $NAME "};
        QTest::newRow("after the last line") << QStringList{"x"} << 3 << 0 << QStringList{"x", "$NAME"};
    }
    void placeholders()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, line);
        QFETCH(int, column);
        QTEST(InsertPlaceholder(lines, line, column, "$NAME"), "expected");
    }

    void placeholderList()
    {
        MailerProgram p;
        const QStringList list = PlaceholderListLines(MainState().FieldDefinitions);
        QCOMPARE(list.first(), QStringLiteral("$MAIL für E-Mail"));
        QVERIFY(list.contains("$STR für Straße"));
        QCOMPARE(list.last(), QStringLiteral("$DATUM"));
        // The button inserts the word before " für" at the caret.
        MessageRecorder boxes;
        MailerProgram::chooseText();
        TMailerForm *w = MailerProgram::open();
        w->setBodyLines({});
        child<QListWidget>(w, "VariablesListBox")->clearSelection();
        child<QToolButton>(w, "VariableSpeedButton")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Bitte markieren Sie zuerst einen Platzhalter zum einfügen!"));
        child<QListWidget>(w, "VariablesListBox")->setCurrentRow(0);
        child<QToolButton>(w, "VariableSpeedButton")->click();
        QCOMPARE(w->bodyLines(), QStringList{"$MAIL"});
        // Every caption of the shipped fields is seen whole, without scrolling.
        QListWidget *box = child<QListWidget>(w, "VariablesListBox");
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // The window makes room for the list: its panel holds it whole.
        QTRY_VERIFY(box->parentWidget()->contentsRect().contains(box->geometry()));
        for (int i = 0; i < box->count(); ++i) {
            const QString caption = box->item(i)->text();
            const int needed = box->fontMetrics().horizontalAdvance(caption) +
                               2 * box->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
            QVERIFY2(needed <= box->viewport()->width(),
                     qPrintable(QStringLiteral("%1: %2 > %3").arg(caption).arg(needed).arg(box->viewport()->width())));
        }
        w->AbortBitBtnClick();
    }

    void progressTexts_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("failed");
        QTest::addColumn<bool>("underWay");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("sentText");
        QTest::addColumn<int>("sentBar");
        QTest::addColumn<QString>("failedText");
        QTest::addColumn<int>("totalBar");
        // The share of sent mails counts the one under way, in the label and the bar alike.
        QTest::newRow("first mail under way") << 0 << 0 << true << "0 von 10"
                                              << "10.00% (0 Stück)" << 10 << "0.00% (0 Stück)" << 0;
        QTest::newRow("some done") << 6 << 3 << true << "9 von 10"
                                   << "70.00% (6 Stück)" << 70 << "30.00% (3 Stück)" << 90;
        QTest::newRow("in the pause") << 6 << 3 << false << "9 von 10"
                                      << "60.00% (6 Stück)" << 60 << "30.00% (3 Stück)" << 90;
        // At the end there is none under way, and never more than all.
        QTest::newRow("all sent") << 10 << 0 << false << "10 von 10"
                                  << "100.00% (10 Stück)" << 100 << "0.00% (0 Stück)" << 100;
    }
    void progressTexts()
    {
        QFETCH(int, sent);
        QFETCH(int, failed);
        QFETCH(bool, underWay);
        const SendProgress p = SendProgressTexts(sent, failed, 10, underWay);
        QTEST(p.total, "total");
        QTEST(p.sent, "sentText");
        QTEST(p.sentBar, "sentBar");
        QTEST(p.failed, "failedText");
        QTEST(p.totalBar, "totalBar");
    }

    void notReachedText()
    {
        QCOMPARE(NotReachedText(3, 2, 5), QString());
        QCOMPARE(NotReachedText(3, 2, 9), QStringLiteral("Nicht alle Empfänger wurden erreicht.\r\rVersendet: 3\r"
                                                         "Ungültige E-Mail-Adressen: 2\rNicht erreicht: 4\r\rDie nicht "
                                                         "erreichten Datensätze bleiben für einen neuen Versand "
                                                         "markiert."));
    }

    void trafficValueAbove100()
    {
        TMailerForm *w = MailerForm();
        child<vt::TrafficChart>(w, "Chart2")->clear();
        w->TrafficKB = 101;
        w->TrafficTimerTimer();
        QCOMPARE(child<vt::TrafficChart>(w, "Chart2")->points().last().value, 350);
        w->TrafficKB = 100;
        w->TrafficTimerTimer();
        QCOMPARE(child<vt::TrafficChart>(w, "Chart2")->points().last().value, 100);
        // Neighbouring bars differ in colour.
        QVERIFY(child<vt::TrafficChart>(w, "Chart2")->points().at(0).color !=
                child<vt::TrafficChart>(w, "Chart2")->points().at(1).color);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestMailerForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mailerform.moc"
