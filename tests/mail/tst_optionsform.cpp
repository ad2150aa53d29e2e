// The options dialog: what it loads and how its number rules treat stored and
// typed values, the refusals of "OK", where the settings are saved for each
// answer to the scope question, dropping a database's own settings, the help
// pages, and taking accounts over from the two account sources (fakes here).
#include "importaccountsform.h"
#include "importaccountsoutlookform.h"
#include "inifile.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "modal.h"
#include "optionsform.h"
#include "productinfo.h"
#include "shellrecorder.h"
#include "testfolder.h"
#include "textfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vt;

Q_DECLARE_METATYPE(vt::MsgKind)
Q_DECLARE_METATYPE(vt::MsgButton)

namespace {

class FakeInternetAccounts : public InternetAccountSource
{
public:
    QMap<QString, QVariantMap> keys;
    std::optional<QVariantMap> openAccount(const QString &key) const override
    {
        if (!keys.contains(key))
            return std::nullopt;
        return keys.value(key);
    }
};

class FakeOutlookAccounts : public OutlookAccountSource
{
public:
    QList<OutlookAccount> list;
    bool fails = false;
    bool accounts(QList<OutlookAccount> &out) const override
    {
        out = list;
        return !fails;
    }
};

// A program folder with the shipped files and the main window's state over it;
// the dialog with its two pickers.
struct Fixture
{
    TestFolder dir{true};
    TOptionsForm form;
    TImportAccountsForm accounts;
    TFImportAccountsOutlook outlook;

    explicit Fixture(const QString &database = QStringLiteral("Database.ini"),
                     const QString &caption = QStringLiteral("Hauptdatenbank"))
    {
        TMainState &m = MainState();
        m.setAppFolder(dir.path());
        m.DatabaseIniName = database;
        m.OpenDatabaseCaption = caption;
        m.FirstSettingsDone = true;
        m.OutlookAvailable = false;
        form.setPickers(&accounts, &outlook);
    }
    ~Fixture() { Modal::setHandler({}); }

    template <class T> T *w(const char *name) { return form.findChild<T *>(QLatin1String(name)); }
    QLineEdit *edit(const char *name) { return w<QLineEdit>(name); }
    void click(const char *name) { w<QPushButton>(name)->click(); }
    void setSender(const QString &address, const QString &name)
    {
        edit("EmailEdit")->setText(address);
        edit("NameEdit")->setText(name);
    }
    QString app(const QString &name) const { return dir.file(name); }
    QByteArray bytes(const QString &name) const { return QFile::exists(app(name)) ? dir.read(name) : QByteArray(); }
    QString ini(const QString &name, const QString &section, const QString &key) const
    {
        return IniFile(app(name)).readString(section, key, QStringLiteral("<none>"));
    }
};

} // namespace

class TestOptionsForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TProductInfo info;
        info.HelpFile = QStringLiteral("help.html");
        info.SerialMailPageUrl = QStringLiteral("https://www.example.com/serienmail.html");
        SetProductInfo(info);
    }

    void storedValuesGoThroughTheNumberRules_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty SMTP port") << "SMTP"
                                         << "port"
                                         << ""
                                         << "SMTPPortEdit"
                                         << "25"
                                         << "25";
        QTest::newRow("POP port with a letter") << "POP"
                                                << "port"
                                                << "11o"
                                                << "POPPortEdit"
                                                << "110"
                                                << "110";
        QTest::newRow("empty delay") << "DELAY"
                                     << "delay"
                                     << ""
                                     << "DelayEdit"
                                     << "0"
                                     << "0";
        QTest::newRow("proxy port with a letter") << "PROXY"
                                                  << "ProxyPort"
                                                  << "31x"
                                                  << "Edit9"
                                                  << "3128"
                                                  << "3128";
        QTest::newRow("empty proxy port") << "PROXY"
                                          << "ProxyPort"
                                          << ""
                                          << "Edit9"
                                          << ""
                                          << "";
        QTest::newRow("SMTP port kept") << "SMTP"
                                        << "port"
                                        << "587"
                                        << "SMTPPortEdit"
                                        << "587"
                                        << "587";
    }
    void storedValuesGoThroughTheNumberRules()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, control);
        Fixture f;
        const QString file =
            section == QLatin1String("PROXY") ? QStringLiteral("proxy.ini") : QStringLiteral("Vantrel.ini");
        QVERIFY(IniFile(f.app(file)).writeString(section, key, stored));
        MessageRecorder boxes;
        f.form.show();
        QTEST(f.edit(qPrintable(control))->text(), "shown");
        f.setSender(QStringLiteral("info@firma.de"), QStringLiteral("Firma"));
        f.click("UebernehmenButton");
        QCOMPARE(f.form.result(), int(QDialog::Accepted));
        QTEST(f.ini(file, section, key), "saved");
    }

    void loadsTheSettingsInForceAndTheSender()
    {
        Fixture f(QStringLiteral("Kunden.ini"), QStringLiteral("Kunden"));
        f.dir.write(QStringLiteral("Kunden.ini"),
                    "[SMTP]\r\nhost=smtp.kunden.de\r\n[AUT]\r\nAuthentification=True\r\n"
                    "[SSL]\r\nactive=1\r\n[CodeSet]\r\nIndex=3\r\n[XMAILER]\r\nType=4\r\n");
        f.dir.write(QStringLiteral("Data/Absender-Kunden.ini"),
                    "kunden@firma.de <Kundenservice>\r\nzwei@firma.de <Zwei>\r\n");
        MainState().SslActive = false;
        MainState().CharsetIndex = 0;
        MessageRecorder boxes;
        f.form.show();
        QCOMPARE(f.edit("SMTPHostEdit")->text(), QStringLiteral("smtp.kunden.de"));
        QVERIFY(f.w<QCheckBox>("AuthentificationCheckBox")->isChecked());
        QVERIFY(f.w<QWidget>("AuthPanel")->isVisibleTo(&f.form));
        QVERIFY(!f.w<QWidget>("POPPanel")->isVisibleTo(&f.form));
        QCOMPARE(f.form.XMailerType, 4);
        QCOMPARE(f.edit("EmailEdit")->text(), QStringLiteral("kunden@firma.de"));
        QCOMPARE(f.edit("NameEdit")->text(), QStringLiteral("Kundenservice"));
        // The main window follows the SSL switch and the character set at once.
        QVERIFY(MainState().SslActive);
        QCOMPARE(MainState().CharsetIndex, 3);
        QCOMPARE(f.edit("DBSettings")->text(), QStringLiteral("Kunden"));
        QVERIFY(f.w<QPushButton>("DBSettingsButton")->isEnabled());
    }

    void missingFilesAreReportedOrEmpty()
    {
        Fixture f;
        QFile::remove(f.app(QStringLiteral("Vantrel.ini")));
        QFile::remove(f.app(QStringLiteral("Data/AbsenderMails.ini")));
        MessageRecorder boxes;
        f.form.show();
        QVERIFY(boxes.takeExpected(MsgKind::Error, QStringLiteral("Inifile ") + f.dir.path() +
                                                       QStringLiteral("Vantrel.ini not found!")));
        // No sender list is an empty sender; saving makes the list.
        QVERIFY(f.edit("EmailEdit")->text().isEmpty());
        f.setSender(QStringLiteral("a@b.de"), QStringLiteral("A"));
        f.click("UebernehmenButton");
        QCOMPARE(ReadLines(f.app(QStringLiteral("Data/AbsenderMails.ini"))), QStringList{QStringLiteral("a@b.de <A>")});
        QCOMPARE(
            f.ini(QStringLiteral("Vantrel.ini"), QStringLiteral("FIRSTSETTINGS"), QStringLiteral("FirstSettingsDone")),
            QStringLiteral("Done"));
    }

    void okRefusesBadSenders_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<vt::MsgKind>("kind");
        QTest::addColumn<QString>("text");
        const QString blocked = QStringLiteral(
            "webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit Vantrel werden von vielen "
            "Mail-Providern blockiert. Bitte verwenden Sie eine andere E-Mail-Adresse!");
        QTest::newRow("blank address") << "  "
                                       << "Firma" << MsgKind::Information
                                       << "Bitte geben Sie Ihre Absender-E-Mail-Adresse ein!";
        QTest::newRow("invalid address") << "info.firma.de"
                                         << "Firma" << MsgKind::Information << "Absender-E-Mail-Adresse ungültig!";
        QTest::newRow("blank name") << "info@firma.de"
                                    << " " << MsgKind::Information << "Bitte geben Sie Ihren Absender-Namen ein!";
        QTest::newRow("webmaster inside a longer name") << "xWebMaster@firma.de"
                                                        << "Firma" << MsgKind::Error << blocked;
        QTest::newRow("postmaster") << "POSTMASTER@firma.de"
                                    << "Firma" << MsgKind::Error << blocked;
        QTest::newRow("mailmaster") << "mailmaster@firma.de"
                                    << "Firma" << MsgKind::Error << blocked;
        QTest::newRow("port out of range")
            << "info@firma.de"
            << "Firma" << MsgKind::Information << "Bitte geben Sie als Port eine Zahl von 1 bis 65535 ein!";
        QTest::newRow("delay out of range") << "info@firma.de"
                                            << "Firma" << MsgKind::Information
                                            << "Bitte geben Sie als Wartepause eine Zahl von 0 bis 3600 Sekunden ein!";
    }
    void okRefusesBadSenders()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(vt::MsgKind, kind);
        QFETCH(QString, text);
        Fixture f;
        MessageRecorder boxes;
        f.form.show();
        const QByteArray before = f.bytes(QStringLiteral("Vantrel.ini"));
        f.setSender(address, name);
        if (QByteArray(QTest::currentDataTag()) == "port out of range")
            f.edit("SMTPPortEdit")->setText(QStringLiteral("70000"));
        if (QByteArray(QTest::currentDataTag()) == "delay out of range")
            f.edit("DelayEdit")->setText(QStringLiteral("3601"));
        f.click("UebernehmenButton");
        QVERIFY(boxes.takeExpected(kind, text));
        QVERIFY(f.form.isVisible());
        QCOMPARE(f.bytes(QStringLiteral("Vantrel.ini")), before);
    }

    void aDotInsideTheBlockedWordsIsAccepted()
    {
        Fixture f;
        MessageRecorder boxes;
        f.form.show();
        f.setSender(QStringLiteral("web.master@firma.de"), QStringLiteral("Firma"));
        f.click("UebernehmenButton");
        QVERIFY(!f.form.isVisible());
        QCOMPARE(ReadFirstLine(f.app(QStringLiteral("Data/AbsenderMails.ini"))),
                 QStringLiteral("web.master@firma.de <Firma>"));
    }

    void rulesApplyWhenAFieldIsLeftNotWhileTyping()
    {
        Fixture f;
        MessageRecorder boxes;
        f.form.show();
        QLineEdit *port = f.edit("SMTPPortEdit");
        port->clear();
        QCOMPARE(port->text(), QString()); // no "25" in front of what comes next
        QTest::keyClicks(port, QStringLiteral("587"));
        QCOMPARE(f.form.SMTPPort, QStringLiteral("587"));
        QTest::keyClick(port, Qt::Key_Return);
        QCOMPARE(port->text(), QStringLiteral("587"));
        port->clear();
        QTest::keyClick(port, Qt::Key_Return);
        QCOMPARE(port->text(), QStringLiteral("25"));
        QCOMPARE(f.form.SMTPPort, QStringLiteral("25"));
        QLineEdit *delay = f.edit("DelayEdit");
        delay->setText(QStringLiteral("5s"));
        QCOMPARE(f.form.DelaySeconds, 0);
        QTest::keyClick(delay, Qt::Key_Return);
        QCOMPARE(delay->text(), QStringLiteral("0"));
        delay->setText(QStringLiteral("12"));
        QCOMPARE(f.form.DelaySeconds, 12);
        // Leaving a field with a number out of range says so at once.
        f.edit("POPPortEdit")->setText(QStringLiteral("0"));
        QTest::keyClick(f.edit("POPPortEdit"), Qt::Key_Return);
        QVERIFY(boxes.takeExpected(MsgKind::Information,
                                   QStringLiteral("Bitte geben Sie als Port eine Zahl von 1 bis 65535 ein!")));
        // Proxy values are held trimmed.
        f.edit("Edit8")->setText(QStringLiteral("  10.0.0.1 "));
        QCOMPARE(f.form.ProxyServer, QStringLiteral("10.0.0.1"));
    }

    void scopeQuestionDecidesWhereTheSettingsGo_data()
    {
        QTest::addColumn<vt::MsgButton>("answer");
        QTest::addColumn<QString>("generalHost"); // host in Vantrel.ini afterwards
        QTest::addColumn<QString>("ownHost");     // host in Kunden.ini afterwards
        QTest::addColumn<QString>("ownSender");   // first line of Data/Absender-Kunden.ini
        QTest::newRow("yes: this database") << MsgButton::Yes << "Ihr SMTP Server"
                                            << "smtp.neu.de"
                                            << "neu@firma.de <Neu>";
        QTest::newRow("no: general, own files dropped") << MsgButton::No << "smtp.neu.de"
                                                        << "<none>"
                                                        << "";
        QTest::newRow("abort: nothing") << MsgButton::Abort << "Ihr SMTP Server"
                                        << "smtp.alt.de"
                                        << "alt@firma.de <Alt>";
        QTest::newRow("closed without an answer: general, own files kept") << MsgButton::None << "smtp.neu.de"
                                                                           << "smtp.alt.de"
                                                                           << "alt@firma.de <Alt>";
    }
    void scopeQuestionDecidesWhereTheSettingsGo()
    {
        QFETCH(vt::MsgButton, answer);
        Fixture f(QStringLiteral("Kunden.ini"), QStringLiteral("Kunden"));
        f.dir.write(QStringLiteral("Kunden.ini"), "[SMTP]\r\nhost=smtp.alt.de\r\n");
        f.dir.write(QStringLiteral("Data/Absender-Kunden.ini"), "alt@firma.de <Alt>\r\n");
        MainState().FirstSettingsDone = false;
        MessageRecorder boxes;
        f.form.show();
        f.edit("SMTPHostEdit")->setText(QStringLiteral("smtp.neu.de"));
        f.setSender(QStringLiteral("neu@firma.de"), QStringLiteral("Neu"));
        boxes.answer(answer);
        f.click("UebernehmenButton");
        const MessageRecorder::Box scope = boxes.take();
        QCOMPARE(scope.text, QStringLiteral("Möchten Sie diese Einstellungen nur für\ndie Datenbank Kunden benutzen "
                                            "[JA]\noder als Allgemeine Einstellungen [Nein] benutzen?"));
        QCOMPARE(scope.buttons, (QList<MsgButton>{MsgButton::Yes, MsgButton::No, MsgButton::Abort}));
        QVERIFY(!f.form.isVisible());
        QTEST(f.ini(QStringLiteral("Vantrel.ini"), QStringLiteral("SMTP"), QStringLiteral("host")), "generalHost");
        QTEST(f.ini(QStringLiteral("Kunden.ini"), QStringLiteral("SMTP"), QStringLiteral("host")), "ownHost");
        QTEST(ReadFirstLine(f.app(QStringLiteral("Data/Absender-Kunden.ini"))), "ownSender");
        // Only a save counts as the first settings being done.
        QCOMPARE(MainState().FirstSettingsDone, answer != MsgButton::Abort);
    }

    void droppingADatabasesOwnSettings()
    {
        Fixture f(QStringLiteral("Kunden.ini"), QStringLiteral("Kunden"));
        MessageRecorder boxes;
        f.form.show();
        // Without an own sender list there is nothing to drop.
        QVERIFY(!f.w<QPushButton>("DBSettingsButton")->isEnabled());
        QCOMPARE(f.w<QPushButton>("DBSettingsButton")->toolTip(),
                 QStringLiteral(
                     "Diese Datenbank besitzt keine eigenen Einstellungen und verwendet die Standardeinstellungen!"));
        f.form.hide();

        f.dir.write(QStringLiteral("Kunden.ini"), "[SMTP]\r\nhost=smtp.alt.de\r\n");
        f.dir.write(QStringLiteral("Data/Absender-Kunden.ini"), "alt@firma.de <Alt>\r\n");
        f.form.show();
        QVERIFY(f.w<QPushButton>("DBSettingsButton")->isEnabled());
        const QString question = QStringLiteral("Möchten Sie wirklich die Einstellungen für Datenbank Kunden löschen "
                                                "und die allgemeinen Einstellungen verwenden?");
        boxes.answer(MsgButton::No);
        f.click("DBSettingsButton");
        QVERIFY(boxes.takeExpected(MsgKind::Question, question));
        QVERIFY(f.form.isVisible() && QFile::exists(f.app(QStringLiteral("Kunden.ini"))));
        boxes.answer(MsgButton::Yes);
        f.click("DBSettingsButton");
        QVERIFY(boxes.takeExpected(MsgKind::Question, question));
        QVERIFY(!f.form.isVisible());
        QVERIFY(!QFile::exists(f.app(QStringLiteral("Kunden.ini"))));
        QVERIFY(!QFile::exists(f.app(QStringLiteral("Data/Absender-Kunden.ini"))));
        QVERIFY(QFile::exists(f.app(QStringLiteral("Vantrel.ini"))));
    }

    void baseDatabaseShowsNoScope()
    {
        Fixture f;
        MessageRecorder boxes;
        f.form.show();
        QVERIFY(!f.w<QWidget>("DBSettings")->isVisibleTo(&f.form));
        QVERIFY(!f.w<QWidget>("Label21")->isVisibleTo(&f.form));
    }

    void helpButtonsOpenLocalPages_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("page");
        QTest::newRow("GMX") << "GMXBitBtn"
                             << "help/gmx.html";
        QTest::newRow("WEB.DE") << "WEBBitBtn"
                                << "help/web.html";
        QTest::newRow("T-Online") << "TOnlineBitBtn"
                                  << "help/t-online.html";
        QTest::newRow("1und1") << "PuretecBitBtn"
                               << "help/puretec.html";
        QTest::newRow("Strato") << "StratoBitBtn"
                                << "help/strato.html";
        QTest::newRow("Hilfe") << "HilfeBitBtn"
                               << "help/help.html";
    }
    void helpButtonsOpenLocalPages()
    {
        QFETCH(QString, button);
        QFETCH(QString, page);
        Fixture f;
        ShellRecorder shell;
        f.click(qPrintable(button));
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(f.app(page))});
        QVERIFY2(QFile::exists(f.app(page)), "the page ships with the program");
    }

    void exchangeOffersTheFaq()
    {
        Fixture f;
        ShellRecorder shell;
        MessageRecorder boxes;
        boxes.answer(MsgButton::No);
        boxes.answer(MsgButton::Yes);
        f.click("ExchangeBitBtn");
        f.click("ExchangeBitBtn");
        QCOMPARE(boxes.boxes().size(), 2);
        const MessageRecorder::Box box = boxes.take();
        QVERIFY(box.text.startsWith(QStringLiteral("Um Vantrel an einem Exchange-Server (5.5/2000/2003/2008)")));
        QCOMPARE(box.title, QStringLiteral("Vantrel und Exchange Server"));
        QCOMPARE(box.buttons, (QList<MsgButton>{MsgButton::Yes, MsgButton::No}));
        boxes.take();
        QCOMPARE(shell.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/serienmail.html#exchange"))});
    }

    void takesANumberedAccountOver()
    {
        FakeInternetAccounts source;
        source.keys[QStringLiteral("00000001")] = {
            {"SMTP Display Name", "Max Muster"}, {"SMTP Email Address", "max@firma.de"},
            {"SMTP Server", "smtp.firma.de"},    {"SMTP Use Sicily", 2},
            {"SMTP User Name", "max"},           {"POP3 Server", "pop.firma.de"},
            {"POP3 User Name", "maxpop"}};
        source.keys[QStringLiteral("0000000A")] = {{"SMTP Display Name", "Zweit"},
                                                   {"SMTP Email Address", "z@firma.de"},
                                                   {"SMTP Port", 465},
                                                   {"POP3 Port", 995},
                                                   {"SMTP User Name", "nie"}};
        const InternetAccountSource *previous = InternetAccountSource::setInstance(&source);
        Fixture f;
        MainState().FirstSettingsDone = false;
        MessageRecorder boxes;
        int row = 0;
        Modal::setHandler([&](QDialog *d) {
            d->show();
            auto *list = d->findChild<QListWidget *>(QStringLiteral("ListBox1"));
            [&] { QCOMPARE(list->count(), 2); }();
            [&] { QCOMPARE(list->item(0)->text(), QStringLiteral("Max Muster<max@firma.de>")); }();
            list->setCurrentRow(row);
            d->findChild<QPushButton *>(QStringLiteral("OkBitBtn"))->click();
            return d->result();
        });
        // Not done yet: the dialog offers the import when it opens.
        boxes.answer(MsgButton::Yes);
        f.form.show();
        QVERIFY(boxes.takeExpected(
            MsgKind::Question, QStringLiteral("Postfacheinstellungen von Outlook Express übernehmen? (empfohlen)")));
        QVERIFY(boxes.takeExpected(MsgKind::Information, PasswordsNotReadText()));
        QCOMPARE(f.accounts.SelectedAccount, QStringLiteral("00000001"));
        QCOMPARE(f.edit("SMTPHostEdit")->text(), QStringLiteral("smtp.firma.de"));
        QCOMPARE(f.edit("SMTPPortEdit")->text(), QStringLiteral("25"));
        QCOMPARE(f.edit("EmailEdit")->text(), QStringLiteral("max@firma.de"));
        QCOMPARE(f.edit("NameEdit")->text(), QStringLiteral("Max Muster"));
        QVERIFY(f.form.Authentification);
        QCOMPARE(f.edit("SMTPUserNameEdit")->text(), QStringLiteral("max"));
        QCOMPARE(f.edit("POPHostEdit")->text(), QStringLiteral("pop.firma.de"));
        QCOMPARE(f.edit("POPKontoEdit")->text(), QStringLiteral("maxpop"));
        QCOMPARE(f.edit("POPPortEdit")->text(), QStringLiteral("110"));

        // The second account: no authentication, so the user name stays; passwords are never touched.
        f.edit("SMTPPasswordEdit")->setText(QStringLiteral("geheim"));
        row = 1;
        f.form.showAccountPicker();
        QVERIFY(boxes.takeExpected(MsgKind::Information, PasswordsNotReadText()));
        QCOMPARE(f.accounts.SelectedAccount, QStringLiteral("0000000A"));
        QCOMPARE(f.edit("SMTPPortEdit")->text(), QStringLiteral("465"));
        QCOMPARE(f.edit("SMTPHostEdit")->text(), QString());
        QVERIFY(!f.form.Authentification);
        QCOMPARE(f.edit("SMTPUserNameEdit")->text(), QStringLiteral("max"));
        QCOMPARE(f.edit("SMTPPasswordEdit")->text(), QStringLiteral("geheim"));
        QCOMPARE(f.edit("POPPortEdit")->text(), QStringLiteral("995"));
        InternetAccountSource::setInstance(previous);
    }

    void pickerRefusesToCloseWithoutAChoice()
    {
        FakeInternetAccounts source;
        source.keys[QStringLiteral("00000002")] = {{"SMTP Display Name", "A"}, {"SMTP Email Address", "a@b.de"}};
        const InternetAccountSource *previous = InternetAccountSource::setInstance(&source);
        Fixture f;
        MessageRecorder boxes;
        TImportAccountsForm &picker = f.accounts;
        picker.Options = &f.form;
        picker.show();
        picker.findChild<QPushButton *>(QStringLiteral("OkBitBtn"))->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, NoAccountSelectedText()));
        QVERIFY(!picker.close());
        QVERIFY(picker.isVisible());
        picker.findChild<QPushButton *>(QStringLiteral("AbordBitBtn"))->click();
        QVERIFY(!picker.isVisible());
        QVERIFY(picker.SelectedAccount.isEmpty());
        // Once a button has let it close, its frame may close it too.
        picker.show();
        QVERIFY(picker.close());
        InternetAccountSource::setInstance(previous);
    }

    void withoutAccountsNothingIsOfferedButThePickerSaysSo()
    {
        Fixture f;
        MainState().FirstSettingsDone = false;
        MessageRecorder boxes;
        f.form.show(); // no question: there is no account to take over
        QVERIFY(boxes.isEmpty());
        QVERIFY(!f.w<QPushButton>("OutlookImport")->isEnabled());
        QCOMPARE(f.w<QPushButton>("ImportAccountBitBtn")->text(), QStringLiteral("Windows Mail"));
        Modal::setHandler([&](QDialog *d) {
            d->show();
            d->findChild<QPushButton *>(QStringLiteral("AbordBitBtn"))->click();
            return d->result();
        });
        QTest::mouseClick(f.w<QLabel>("ImportAccountsLabel"), Qt::LeftButton);
        QVERIFY(boxes.takeExpected(MsgKind::Information, NoAccountsFoundText()));
    }

    void takesAnOutlookAccountOver()
    {
        FakeOutlookAccounts source;
        auto account = [](const char *name, const char *type) {
            OutlookAccount a;
            a.Name = QString::fromLatin1(name);
            a.AccountTypeStr = QString::fromLatin1(type);
            return a;
        };
        OutlookAccount pop1 = account("Privat", "POP3");
        pop1.SMTP_Server = QStringLiteral("smtp.alt.de");
        pop1.POP3_Server = QStringLiteral("pop.alt.de");
        OutlookAccount imap = account("Firma", "IMAP");
        imap.SMTP_Server = QStringLiteral("smtp.firma.de");
        imap.SMTP_Port = 587;
        imap.SMTP_UseAuth = true;
        imap.SMTP_UserName = QStringLiteral("firma");
        OutlookAccount pop2 = account("Privat", "POP3");
        pop2.SMTP_Server = QStringLiteral("smtp.privat.de");
        pop2.SMTPAddress = QStringLiteral("ich@privat.de");
        pop2.UserName = QStringLiteral("Ich");
        pop2.SMTP_UseAuth = false;
        pop2.POP3_UserName = QStringLiteral("ich");
        pop2.POP3_Port = 0;
        // No SMTP or POP server given: those steps are passed over.
        source.list = {pop1, imap, account("Exchange", "EX"), pop2};
        const OutlookAccountSource *previous = OutlookAccountSource::setInstance(&source);
        Fixture f;
        MainState().OutlookAvailable = true;
        MessageRecorder boxes;
        QString choose;
        QStringList listed;
        Modal::setHandler([&](QDialog *d) {
            d->show();
            auto *list = d->findChild<QListWidget *>(QStringLiteral("ListBox1"));
            listed.clear();
            for (int i = 0; i < list->count(); ++i)
                listed.append(list->item(i)->text());
            list->setCurrentItem(list->findItems(choose, Qt::MatchExactly).constLast());
            d->findChild<QPushButton *>(QStringLiteral("OkButton"))->click();
            return d->result();
        });
        f.form.show();
        QVERIFY(f.w<QPushButton>("OutlookImport")->isEnabled());
        f.edit("POPHostEdit")->setText(QStringLiteral("pop.vorher.de"));

        choose = QStringLiteral("Firma");
        f.click("OutlookImport");
        QCOMPARE(listed, (QStringList{"Privat", "Firma", "Privat"}));
        QCOMPARE(f.outlook.AccountType, QStringLiteral("IMAP"));
        QVERIFY(boxes.takeExpected(MsgKind::Information, PasswordsNotReadText()));
        QCOMPARE(f.edit("SMTPHostEdit")->text(), QStringLiteral("smtp.firma.de"));
        QCOMPARE(f.edit("SMTPPortEdit")->text(), QStringLiteral("587"));
        QCOMPARE(f.edit("SMTPUserNameEdit")->text(), QStringLiteral("firma"));
        QCOMPARE(f.edit("POPHostEdit")->text(), QString()); // an IMAP account has no POP server
        QCOMPARE(f.edit("POPPortEdit")->text(), QStringLiteral("110"));

        choose = QStringLiteral("Privat");
        f.click("OutlookImport");
        QCOMPARE(f.outlook.AccountType, QStringLiteral("POP"));
        // No user name now, so no word about passwords; the last account of the name wins.
        QVERIFY(boxes.isEmpty());
        QCOMPARE(f.edit("SMTPHostEdit")->text(), QStringLiteral("smtp.privat.de"));
        QCOMPARE(f.edit("EmailEdit")->text(), QStringLiteral("ich@privat.de"));
        QVERIFY(!f.form.Authentification);
        QCOMPARE(f.edit("SMTPUserNameEdit")->text(), QString());
        QCOMPARE(f.edit("POPHostEdit")->text(), QStringLiteral("pop.alt.de")); // from the first "Privat" only
        QCOMPARE(f.edit("POPKontoEdit")->text(), QStringLiteral("ich"));
        QCOMPARE(f.edit("POPPortEdit")->text(), QStringLiteral("110"));

        // A failing library: the message, and the accounts read so far.
        source.list = {imap};
        source.fails = true;
        choose = QStringLiteral("Firma");
        f.click("OutlookImport");
        QVERIFY(boxes.takeExpected(MsgKind::Information, NoAccountsFoundText()));
        QVERIFY(boxes.takeExpected(MsgKind::Information, PasswordsNotReadText()));
        QCOMPARE(listed, QStringList{"Firma"});
        OutlookAccountSource::setInstance(previous);
    }
};

QTEST_MAIN(TestOptionsForm)
#include "tst_optionsform.moc"
