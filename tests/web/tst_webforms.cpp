// The web dialogs: the web settings with their checks and the files they have
// written, the subscription dialog against the scripts under PHP's built-in
// server, the click-tracking set-up and the web links.
#include "addressfixture.h"
#include "enterpriselinksform.h"
#include "enterpriseoptionsform.h"
#include "filedialogrecorder.h"
#include "inifile.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "optionsform.h"
#include "paths.h"
#include "productinfo.h"
#include "scriptedhttpserver.h"
#include "shellrecorder.h"
#include "sitefixture.h"
#include "statsform.h"
#include "suscribeform.h"
#include "waitwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace vt;

namespace {

// The main window's state over a program folder with a database "Kunden".
struct State
{
    TestFolder dir{true};
    MessageRecorder messages;
    FileDialogRecorder dialogs;
    ShellRecorder shell;

    explicit State(const QStringList &userFields = {QStringLiteral("Ort| ftString | False |20| | | | FALSE | Ort")})
    {
        TMainState &m = MainState();
        m.setAppFolder(dir.path());
        m.UserDataFolder = dir.file("user/");
        m.DatabaseIniName = QStringLiteral("Kunden.ini");
        m.OpenDatabaseCaption = QStringLiteral("Kunden");
        m.FieldDefinitions = definitionWith(userFields);
        m.WebSettingsFile.clear();
        m.StatsUrl.clear();
        m.StatsPassword.clear();
        m.TrackingActive = false;
        m.Links1Enabled = m.NeueEintrageabholen1Enabled = false;
        m.CurrentTable = nullptr;
    }
    QString web() const { return dir.file("Data/Kunden.web"); }
};

template <class T> T *child(QWidget *form, const char *name)
{
    T *w = form->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// The subscription dialog shown over a table, fetching from a server path with a password.
struct SubscriptionDialog
{
    TEnterpriseOptionsForm holder;
    TSuscribeForm form;

    SubscriptionDialog(AddressTable &table, const QString &path)
    {
        MainState().CurrentTable = &table;
        holder.Values.OnlinePath = path;
        holder.Values.OnlinePassword = kPassword;
        form.Settings = &holder;
        form.show();
    }
    ~SubscriptionDialog() { MainState().CurrentTable = nullptr; }
    void fetch() { child<QPushButton>(&form, "GetOrdersBitBtn")->click(); }
    QString status() { return child<QLabel>(&form, "StatusLabel")->text(); }
};

} // namespace

class TestWebForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TProductInfo info;
        info.DisplayName = QStringLiteral("Vantrel Professional");
        info.HelpFile = QStringLiteral("help.html");
        info.VersionText = QStringLiteral("Version 1.0");
        info.SupportEmail = QStringLiteral("support@example.com");
        SetProductInfo(info);
    }

    void settingsOfADatabaseWithoutFile()
    {
        State st;
        TEnterpriseOptionsForm form;
        form.FormCreate();
        // The database before had a password and captcha; nothing of it stays.
        IniFile(st.dir.file("Data/Alt.web")).writeString("SETTINGS", "OnlinePassword", "altes1");
        MainState().DatabaseIniName = QStringLiteral("Alt.ini");
        form.LoadWebSettings();
        QCOMPARE(form.Values.OnlinePassword, QStringLiteral("altes1"));
        // A file without the key asks for confirmation mails.
        QVERIFY(child<QCheckBox>(&form, "CheckBox1")->isChecked());
        MainState().DatabaseIniName = QStringLiteral("Kunden.ini");
        form.LoadWebSettings();
        QCOMPARE(MainState().WebSettingsFile, st.web());
        QCOMPARE(child<QLineEdit>(&form, "NewsletterEdit")->text(), QStringLiteral("Newsletter"));
        QCOMPARE(child<QLineEdit>(&form, "PasswordEdit")->text(), QString());
        QCOMPARE(child<QComboBox>(&form, "ComboBox1")->currentText(),
                 QStringLiteral("Verdana, Arial, Helvetica, sans-serif"));
        QCOMPARE(child<QComboBox>(&form, "ComboBox2")->currentText(), QStringLiteral("10"));
        QVERIFY(!child<QCheckBox>(&form, "CheckBox1")->isChecked());
        QVERIFY(child<QWidget>(&form, "DoubleOptInPanel")->isHidden());
        QVERIFY(!form.Values.DoubleOptIn);
        QVERIFY(!child<QCheckBox>(&form, "CapchtaBox")->isChecked());
        QCOMPARE(form.Values.BorderColor, QStringLiteral("#004080"));
        // A file with Invalid=True ticks the box without its notice (the recorder fails on any box).
        IniFile(st.web()).writeString("SETTINGS", "Invalid", "True");
        form.LoadWebSettings();
        QVERIFY(child<QCheckBox>(&form, "OnlyInvalidCheckBox")->isChecked());
        QVERIFY(child<QLineEdit>(&form, "NewsletterEdit")->text().isEmpty());
        // Ticked by the user, the box explains itself.
        form.LoadingSettings = false;
        child<QCheckBox>(&form, "OnlyInvalidCheckBox")->setChecked(false);
        child<QCheckBox>(&form, "OnlyInvalidCheckBox")->click();
        QVERIFY(st.messages.take().text.startsWith("Durch diese Einstellung werden Abbestellungen nur noch"));
    }

    void speichernChecks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("no path") << " "
                                 << "abc"
                                 << "Keinen Serverpfad für die Online-Datenbank eingegeben!";
        QTest::newRow("no password") << "http://a.de/news/"
                                     << ""
                                     << "Sie haben kein Passwort für die Newslettersynchronisation eingegeben!";
        QTest::newRow("pasted password") << "http://a.de/news/"
                                         << "a\"b"
                                         << "Bitte geben Sie nur Buchstaben und "
                                            "Zahlen ein!";
        QTest::newRow("no scheme") << "a.de/news/"
                                   << "abc"
                                   << "Sie haben die  Zeichen \"http://\" vor dem Serverpfad vergessen!";
        QTest::newRow("host only") << "http://a.de/"
                                   << "abc"
                                   << "Ungültigen Serverpfad eingegenben!\nBitte geben Sie den Serverpfad "
                                      "folgendermaßen ein:\n\"http://www.ihre-internetseite.de/ihrpfad/\"";
        QTest::newRow("no closing slash")
            << "http://a.de/news"
            << "abc"
            << "Das Zeichen \"/\" am Ende der Zeichenkette wurde vergessen. Bitte fügen Sie ein \"/\" an";
    }
    void speichernChecks()
    {
        QFETCH(QString, path);
        QFETCH(QString, password);
        QFETCH(QString, message);
        State st;
        TEnterpriseOptionsForm form;
        form.FormCreate();
        form.LoadWebSettings();
        child<QLineEdit>(&form, "OnlineDBEdit")->setText(path);
        form.Values.OnlinePassword = password;
        child<QPushButton>(&form, "FormularErzeugenBitBtn1")->click();
        QVERIFY(st.messages.takeExpected(MsgKind::Error, message));
        QCOMPARE(form.result(), 0);
        QVERIFY(!IsFile(st.web()));
        QVERIFY(st.dialogs.requests.isEmpty());
    }

    void speichernWritesTheFilesAndSettings()
    {
        State st;
        st.dir.write("enterprise_fields.ini", "1\r\n");
        QVERIFY(WriteTrackingSettingsFile(st));
        TEnterpriseOptionsForm form;
        form.FormCreate();
        form.LoadWebSettings();
        form.show();
        // The Mail box is always offered; the field file is shorter than the list: Ort is not ticked.
        auto *mail = child<QCheckBox>(&form, "Check_Mail");
        QVERIFY(mail->isChecked() && !mail->isEnabled());
        QCOMPARE(child<QLabel>(&form, "Label_Ort")->text(), QStringLiteral("Ort"));
        // A click on a box reaches the box, not the label beside it.
        auto *ort = child<QCheckBox>(&form, "Check_Ort");
        QCOMPARE(ort->parentWidget()->childAt(ort->geometry().topLeft() + QPoint(8, 10)), ort);
        QVERIFY(!ort->isChecked());
        ort->setChecked(true);
        child<QLineEdit>(&form, "OnlineDBEdit")->setText(QStringLiteral(" http://www.verein.de/news/ "));
        QTest::keyClicks(child<QLineEdit>(&form, "PasswordEdit"), QStringLiteral("Ab1"));
        // A key that cannot stand in the password is refused with a word.
        QTest::keyClick(child<QLineEdit>(&form, "PasswordEdit"), Qt::Key_Space, Qt::NoModifier);
        QVERIFY(st.messages.takeExpected(MsgKind::Information, "Bitte geben Sie nur Buchstaben und Zahlen ein!"));
        QCOMPARE(form.Values.OnlinePassword, QStringLiteral("Ab1"));
        child<QPlainTextEdit>(&form, "subscribemessage_Memo")->setPlainText(QStringLiteral("Danke,\nbis bald!"));
        QSignalSpy menus(&MainState(), &TMainState::webMenusChanged);

        QVERIFY(pressSpeichern(form, st, MsgButton::Yes));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(st.dialogs.requests.value(0), "folder|Ausgabeverzeichnis auswählen|" + st.dir.file("user/online"));
        QCOMPARE(st.shell.opened.value(0).toLocalFile(), st.dir.file("einbau.html"));
        const QByteArray page = st.dir.read("upload/news/subscribe.html");
        QVERIFY(page.contains("name=\"Ort\"") && page.contains("action=\"http://www.verein.de/news/mailin.php\""));
        QCOMPARE(st.dir.read("upload/news/subscribemessage.txt"), QByteArray("Danke, bis bald!\r\n"));
        QCOMPARE(menus.size(), 1);
        QVERIFY(MainState().NeueEintrageabholen1Enabled && MainState().Links1Enabled);

        const IniFile ini(st.web());
        QCOMPARE(ini.readString("SETTINGS", "OnlinePath"), QStringLiteral("http://www.verein.de/news/"));
        QCOMPARE(ini.readString("SETTINGS", "OnlinePassword"), QStringLiteral("Ab1"));
        QCOMPARE(ini.readString("SETTINGS", "StatsURL"), QStringLiteral("https://s.de/st/"));
        form.hide();
        QCOMPARE(st.dir.read("enterprise_fields.ini"), QByteArray("1\r\n0\r\n0\r\n0\r\n1\r\n"));

        // The texts edited in the upload folder come back with the settings.
        st.dir.write("upload/news/email_subject.txt", "Geänderter Betreff\r\n");
        form.LoadWebSettings();
        QCOMPARE(child<QLineEdit>(&form, "SubjectEdit")->text(), QStringLiteral("Geänderter Betreff"));
    }

    void cancellingTheFolderStillSaves()
    {
        State st;
        TEnterpriseOptionsForm form;
        form.FormCreate();
        form.LoadWebSettings();
        child<QLineEdit>(&form, "OnlineDBEdit")->setText(QStringLiteral("https://verein.de/news/"));
        form.Values.OnlinePassword = QStringLiteral("x1");
        st.dialogs.answer(QString());
        child<QPushButton>(&form, "FormularErzeugenBitBtn1")->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(IniFile(st.web()).readString("SETTINGS", "OnlinePath"), QStringLiteral("https://verein.de/news/"));
        QVERIFY(!QFile::exists(st.dir.file("einbau.html")));
        // An old configuration without a password is pointed out.
        IniFile(st.web()).writeString("SETTINGS", "OnlinePassword", "");
        form.LoadWebSettings();
        form.FormActivate();
        QVERIFY(st.messages.take().text.startsWith("Achtung! Sie verwenden noch eine alte (unsichere) Konfiguration."));
    }

    // Files that could not be written leave the settings, the menus and the dialog as they were.
    void unwrittenFilesStoreNothing()
    {
        State st;
        IniFile(st.web()).writeString("SETTINGS", "OnlinePath", "http://alt.de/news/");
        TEnterpriseOptionsForm form;
        form.FormCreate();
        form.LoadWebSettings();
        form.show();
        child<QLineEdit>(&form, "OnlineDBEdit")->setText(QStringLiteral("http://www.verein.de/news/"));
        form.Values.OnlinePassword = QStringLiteral("Ab1");
        // A file stands where the upload folder would be made.
        st.dir.write("upload/news", "kein Ordner");
        QSignalSpy menus(&MainState(), &TMainState::webMenusChanged);
        st.dialogs.answer(st.dir.file("upload"));
        child<QPushButton>(&form, "FormularErzeugenBitBtn1")->click();
        QVERIFY(st.messages.takeExpected(MsgKind::Error,
                                         "Der Ordner " + st.dir.file("upload/news") + " kann nicht angelegt werden!"));
        QCOMPARE(form.result(), 0);
        QVERIFY(form.isVisible());
        QCOMPARE(IniFile(st.web()).readString("SETTINGS", "OnlinePath"), QStringLiteral("http://alt.de/news/"));
        QVERIFY(!IniFile(st.web()).valueExists("SETTINGS", "OnlinePassword"));
        QCOMPARE(form.Values.OnlinePath, QStringLiteral("http://alt.de/news/"));
        QCOMPARE(menus.size(), 0);
        QVERIFY(!MainState().Links1Enabled && !MainState().NeueEintrageabholen1Enabled);

        // Once the way is clear, the same press saves.
        QVERIFY(QFile::remove(st.dir.file("upload/news")));
        QVERIFY(pressSpeichern(form, st, MsgButton::No));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(IniFile(st.web()).readString("SETTINGS", "OnlinePath"), QStringLiteral("http://www.verein.de/news/"));
        QCOMPARE(menus.size(), 1);
        form.hide();
    }

    void subscriptionDialog()
    {
        State st;
        Site site;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "anna@verein.de"}, {"Name", "Anna Müller"}}).ok);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "nein@verein.de"}}).ok);
        QVERIFY(site.submit("unsubscribe.html", {{"Mail", "old@verein.de"}}).ok);
        AddressFixture t({{"old@verein.de", "Alt"}, {"kept@verein.de", "Bleibt"}});
        MainState().CurrentTable = &t.table;
        TEnterpriseOptionsForm holder;
        holder.Values.OnlinePath = site.base();
        holder.Values.OnlinePassword = kPassword;
        TSuscribeForm form;
        form.Settings = &holder;
        form.FormCreate();
        form.show();
        auto *list = child<QListWidget>(&form, "CheckListBox1");
        auto *apply = child<QPushButton>(&form, "InDatabaseBitBtn");
        QVERIFY(!apply->isEnabled());

        child<QPushButton>(&form, "GetOrdersBitBtn")->click();
        QCOMPARE(child<QLabel>(&form, "StatusLabel")->text(),
                 QStringLiteral("Bestellungen / Abbestellungen abgeholt - fertig"));
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Bestellung | anna@verein.de"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("Bestellung | nein@verein.de"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("Abbestellung | old@verein.de"));
        QCOMPARE(child<QLabel>(&form, "SuscribeLabel")->text(),
                 QStringLiteral("Davon neue Bestellungen: 67% (2 Stück)"));
        QCOMPARE(child<QLabel>(&form, "GesamtLabel")->text(), QStringLiteral("Gesamteinträge: 100% (3 Stück)"));
        QVERIFY(child<QPlainTextEdit>(&form, "SuscribeMemo")->toPlainText().contains("anna@verein.de|"));
        QVERIFY(apply->isEnabled());

        // A subscription that comes in now stays on the server.
        QVERIFY(site.submit("subscribe.html", {{"Mail", "spaet@verein.de"}}).ok);
        list->item(1)->setCheckState(Qt::Unchecked);
        apply->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(t.mails(), QStringList({"kept@verein.de", "anna@verein.de"}));
        QCOMPARE(t.field("anna@verein.de", "Name"), QStringLiteral("Anna Müller"));
        const Site::Fetched after = site.fetch(t.table);
        QCOMPARE(after.in.lines.size(), 1);
        QVERIFY(after.in.lines.first().startsWith("spaet@verein.de|"));
        QVERIFY(after.out.lines.isEmpty());
        MainState().CurrentTable = nullptr;
    }

    void subscriptionDialogFailures()
    {
        State st;
        Site site;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "anna@verein.de"}}).ok);
        AddressFixture t;
        MainState().CurrentTable = &t.table;
        TEnterpriseOptionsForm holder;
        holder.Values.OnlinePath = site.base();
        holder.Values.OnlinePassword = QStringLiteral("falsch");
        TSuscribeForm form;
        form.Settings = &holder;
        form.show();
        auto *fetch = child<QPushButton>(&form, "GetOrdersBitBtn");
        auto *apply = child<QPushButton>(&form, "InDatabaseBitBtn");

        fetch->click();
        QVERIFY(st.messages.take().text.startsWith("FEHLER!\nDas online hinterlegte Passwort stimmt nicht"));
        QVERIFY(!apply->isEnabled());

        // Without a password the dialog asks first.
        holder.Values.OnlinePassword.clear();
        st.messages.answer(MsgButton::No);
        const qsizetype requests = site.server.log().count("GET /news/");
        fetch->click();
        QCOMPARE(st.messages.take().kind, MsgKind::Warning);
        QCOMPARE(site.server.log().count("GET /news/"), requests);

        // Applying fails: nothing is emptied on the server, and the dialog can try again.
        holder.Values.OnlinePassword = kPassword;
        fetch->click();
        QVERIFY(apply->isEnabled());
        t.table.close();
        apply->click();
        QVERIFY(st.messages.take().text.startsWith("Die Bestellungen und Abbestellungen konnten nicht in die "
                                                   "Datenbank übernommen werden"));
        QVERIFY(apply->isEnabled() && form.isVisible());
        QCOMPARE(site.scripts().fetchList(true).lines.size(), 1);

        // A stopped server.
        site.server.stop();
        fetch->click();
        const MessageRecorder::Box box = st.messages.take();
        QCOMPARE(box.kind, MsgKind::Error);
        QVERIFY2(box.text.startsWith("FEHLER!\n\nEntweder:\n\nIm angegebenen Onlinepfad\n" + site.base()),
                 qPrintable(box.text));
        QCOMPARE(child<QLabel>(&form, "StatusLabel")->text(),
                 QStringLiteral("Bestellungen / Abbestellungen abholen - Fehler!"));
        QVERIFY(!apply->isEnabled() && form.isVisible());
        MainState().CurrentTable = nullptr;
    }

    // A server that closes the connection in the middle of a list, without
    // having said how long it is: the cut last line of a subscription would read
    // as the unsubscription of a known address.
    void aCutListChangesNothing()
    {
        State st;
        ScriptedHttpServer server;
        server.answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"
                        "neu@verein.de|20240101120000|Herr|_|Neu|x\r\nknown@verein.de|20240102";
        AddressFixture t({{"known@verein.de", "Bekannt"}});
        SubscriptionDialog d(t.table, server.url("/news/"));
        d.fetch();
        const MessageRecorder::Box box = st.messages.take();
        QCOMPARE(box.kind, MsgKind::Error);
        QVERIFY2(box.text.startsWith("FEHLER!\nDie Liste der Bestellungen ist nicht vollständig angekommen"),
                 qPrintable(box.text));
        QVERIFY(box.text.contains("Es wurde nichts in die Datenbank übernommen und auf dem Server nichts gelöscht."));
        QCOMPARE(child<QListWidget>(&d.form, "CheckListBox1")->count(), 0);
        auto *apply = child<QPushButton>(&d.form, "InDatabaseBitBtn");
        QVERIFY(!apply->isEnabled());
        d.form.InDatabaseBitBtnClick();
        QCOMPARE(t.mails(), QStringList({"known@verein.de"}));
        // Nothing was asked of the server after the list (which the network layer may send twice
        // when a connection breaks before its answer).
        for (qsizetype i = 0; i < server.requests.size(); ++i)
            QVERIFY2(!server.requestLine(i).contains("email_list_out") && !server.requestLine(i).contains("wipe"),
                     server.requestLine(i).constData());

        // A whole list, and a server that then empties only one of the two lists: the
        // message says exactly that.
        server.answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"
                        "neu@verein.de|20240101120000|Herr|_|Neu|x\r\n#upto=0a:43\r\n";
        d.fetch();
        QVERIFY(apply->isEnabled());
        server.answer = "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\nwiped=in unwritable\r\n";
        apply->click();
        QVERIFY(st.messages.takeExpected(
            MsgKind::Error,
            "Die Einträge wurden in die Datenbank übernommen, aber auf dem Server wurde nur die Liste der Bestellungen "
            "geleert, die Liste der Abbestellungen nicht:\nDie Listen auf dem Server können nicht geschrieben werden."
            "\n\nHolen Sie die Bestellungen später erneut ab: bereits übernommene Einträge werden dabei erkannt und "
            "nicht noch einmal eingetragen."));
        QCOMPARE(d.status(), QStringLiteral("Übernommen - die Liste der Abbestellungen wurde nicht geleert!"));
        QVERIFY(d.form.isVisible());
        QCOMPARE(t.mails(), QStringList({"known@verein.de", "neu@verein.de"}));
        QVERIFY(server.requestLine(server.requests.size() - 1).contains("upto_in=0a%3A43&upto_out=0a%3A43"));
    }

    // The proxy of "proxy.ini" is used before the options dialog has ever been opened.
    void theProxyOfTheSettingsFileFromTheStart()
    {
        State st;
        ScriptedHttpServer proxy;
        proxy.answer = "HTTP/1.1 200 OK\r\nContent-Length: 12\r\nConnection: close\r\n\r\n#upto=0a:0\r\n";
        IniFile ini(st.dir.file("proxy.ini"));
        QVERIFY(ini.writeString("PROXY", "BasicAuthentification", "1") &&
                ini.writeString("PROXY", "ProxyServer", "127.0.0.1") &&
                ini.writeString("PROXY", "ProxyPort", QString::number(proxy.serverPort())));
        TOptionsForm options;
        options.FormCreate();
        // The web server itself is not reachable: only the proxy is.
        quint16 closedPort = 0;
        {
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost));
            closedPort = gone.serverPort();
        }
        AddressFixture t;
        SubscriptionDialog d(t.table, QStringLiteral("http://127.0.0.1:%1/news/").arg(closedPort));
        d.form.Options = &options;
        d.fetch();
        QCOMPARE(d.status(), QStringLiteral("Bestellungen / Abbestellungen abgeholt - fertig"));
        // The requests went through the proxy, the list's among them.
        QList<QByteArray> lines;
        for (qsizetype i = 0; i < proxy.requests.size(); ++i)
            lines.append(proxy.requestLine(i));
        QVERIFY(lines.contains(QStringLiteral("GET http://127.0.0.1:%1/news/email_list_in.php?password=%2 HTTP/1.1")
                                   .arg(closedPort)
                                   .arg(kPassword)
                                   .toLatin1()));
    }

    // A server that sends a byte now and then is given up after the limit; one
    // that does not answer at all can be left with "Abbrechen" in the window of
    // the wait.
    void slowServers()
    {
        State st;
        ScriptedHttpServer trickling;
        trickling.answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(1000, 'x');
        trickling.trickleMs = 50;
        AddressFixture t;
        SubscriptionDialog d(t.table, trickling.url("/news/"));
        d.form.RequestLimits = {1000, 500};
        d.fetch();
        const MessageRecorder::Box box = st.messages.take();
        QVERIFY2(box.text.contains("(Der Server hat seine Antwort nicht innerhalb von 1 Sekunde gesendet; die Anfrage "
                                   "wurde abgebrochen.)"),
                 qPrintable(box.text));
        QCOMPARE(d.status(), QStringLiteral("Bestellungen / Abbestellungen abholen - Fehler!"));

        // The window of the wait, as the user sees it.
        WaitWindows::setDefault(WidgetWaitWindows());
        ScriptedHttpServer silent;
        d.holder.Values.OnlinePath = silent.url("/news/");
        d.form.RequestLimits = {60000, 60000};
        QString shown;
        QTimer look;
        connect(&look, &QTimer::timeout, &look, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("WaitWindow") && w->isVisible()) {
                    look.stop();
                    shown = child<QLabel>(w, "WaitLabel")->text();
                    QTest::mouseClick(child<QPushButton>(w, "WaitCancelButton"), Qt::LeftButton);
                }
            }
        });
        look.start(50);
        d.fetch();
        WaitWindows::setDefault(nullptr);
        QCOMPARE(shown, QStringLiteral("Verbindung mit Ihrer Internetseite wird aufgenommen...\n\nServer: 127.0.0.1"));
        QCOMPARE(d.status(), QStringLiteral("Bestellungen / Abbestellungen abholen - abgebrochen"));
        QCOMPARE(silent.requests.size(), 1);
        QVERIFY(st.messages.isEmpty());
    }

    void trackingSetUp()
    {
        State st;
        IniFile(st.web()).writeString("SETTINGS", "OnlinePath", "http://www.verein.de/news/");
        TStatsForm form;
        form.FormCreate();
        form.Ectivate();
        auto *url = child<QLineEdit>(&form, "URLEdit");
        auto *password = child<QLineEdit>(&form, "PasswdEdit");
        auto *use = child<QPushButton>(&form, "BitBtn1");
        url->setText(QStringLiteral("http://www.verein.de/stats"));
        password->setText(QStringLiteral("Stat1"));
        use->click();
        QVERIFY(st.messages.takeExpected(
            MsgKind::Error,
            "Das Zeichen \"/\" am Ende der Zeichenkette wurde vergessen. Bitte fügen Sie ein \"/\" an"));

        url->setText(QStringLiteral(" http://www.verein.de/stats/ "));
        child<QCheckBox>(&form, "TrackingCheckBox")->setChecked(true);
        st.dialogs.answer(st.dir.file("upload"));
        st.messages.answer(MsgButton::Yes);
        use->click();
        QVERIFY(st.messages.takeExpected(MsgKind::Information,
                                         "Dateien wurden erstellt! Möchten Sie nun die Einbauanleitung starten?"));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(st.shell.opened.value(0).toLocalFile(), st.dir.file("stats-einbau.html"));
        const IniFile ini(st.web());
        QCOMPARE(ini.readString("SETTINGS", "StatsURL"), QStringLiteral("http://www.verein.de/stats/"));
        QCOMPARE(ini.readString("SETTINGS", "StatsActive"), QStringLiteral("1"));
        QCOMPARE(ini.readString("SETTINGS", "OnlinePath"), QStringLiteral("http://www.verein.de/news/"));
        // The statistics script gets the key the mails sign their links with.
        const QString key = ini.readString("SETTINGS", "StatsKey");
        QCOMPARE(key.size(), 64);
        QCOMPARE(st.dir.read("upload/stats/stats_pw.php"),
                 QByteArray("<?php $my_pass = 'Stat1'; $my_key = '" + key.toLatin1() + "'; $my_keys = array('" +
                            key.toLatin1() + "'); ?>\r\n"));
        QVERIFY(QFile::exists(st.dir.file("upload/stats/stats.php")));
        QVERIFY(QFile::exists(st.dir.file("upload/stats/red_point.gif")));
        QVERIFY(st.dir.read("stats-einbau.html").contains("http://www.verein.de/stats/auswertung.php?password=Stat1"));
        QCOMPARE(QFile(st.dir.file("stats-einbau.html")).permissions() & QFile::ReadOther, QFile::Permissions());
        QVERIFY(MainState().Links1Enabled);
        QCOMPARE(MainState().StatsUrl, QStringLiteral("http://www.verein.de/stats/"));

        // Shown again, the dialog shows what is stored.
        url->clear();
        form.Ectivate();
        QCOMPARE(url->text(), QStringLiteral("http://www.verein.de/stats/"));
        QVERIFY(child<QCheckBox>(&form, "TrackingCheckBox")->isChecked());

        // A second database with the same address keeps the folder's key.
        MainState().DatabaseIniName = QStringLiteral("Zweite.ini");
        form.Ectivate();
        QVERIFY(url->text().isEmpty());
        url->setText(QStringLiteral("http://www.verein.de/stats/"));
        password->setText(QStringLiteral("Stat1"));
        st.dialogs.answer(st.dir.file("upload"));
        st.messages.answer(MsgButton::No);
        use->click();
        QVERIFY(st.messages.takeExpected(MsgKind::Information,
                                         "Dateien wurden erstellt! Möchten Sie nun die Einbauanleitung starten?"));
        QCOMPARE(IniFile(st.dir.file("Data/Zweite.web")).readString("SETTINGS", "StatsKey"), key);
        QVERIFY(st.dir.read("upload/stats/stats_pw.php").contains("$my_key = '" + key.toLatin1() + "'"));
    }

    void webLinks()
    {
        State st;
        TEnterpriseOptionsForm holder;
        TEnterpriseLinksForm form;
        form.Settings = &holder;
        auto *sub = child<QLineEdit>(&form, "SubEdit");
        auto *stats = child<QLineEdit>(&form, "OnlineStats");
        auto *statsButton = child<QPushButton>(&form, "OnlineStatsBtn");

        holder.Values.OnlinePath = QStringLiteral("http://www.verein.de/news/");
        form.FormActivate();
        QCOMPARE(child<QLabel>(&form, "DBLabel")->text(), QStringLiteral("Kunden"));
        QCOMPARE(sub->text(), QStringLiteral("http://www.verein.de/news/subscribe.html"));
        QCOMPARE(child<QLineEdit>(&form, "UnsubEdit")->text(),
                 QStringLiteral("http://www.verein.de/news/unsubscribe.html"));
        QVERIFY(sub->isEnabled() && !stats->isEnabled() && !statsButton->isEnabled() && stats->text().isEmpty());

        child<QPushButton>(&form, "SubLinkBitBtn")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), sub->text());
        child<QPushButton>(&form, "BitBtn1")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://www.verein.de/news/unsubscribe.html"));
        child<QPushButton>(&form, "BitBtn3")->click();
        QCOMPARE(st.shell.opened.value(0), QUrl(sub->text()));

        MainState().StatsUrl = QStringLiteral("https://s.de/st/");
        MainState().StatsPassword = QStringLiteral("Stat1");
        form.FormActivate();
        QVERIFY(stats->isEnabled() && statsButton->isEnabled());
        QCOMPARE(stats->text(), QStringLiteral("https://s.de/st/auswertung.php?password=Stat1"));
        statsButton->click();
        QCOMPARE(st.shell.opened.value(1), QUrl(stats->text()));
        // The field can be edited, but only a web address is opened.
        stats->setText(QStringLiteral("/etc/passwd"));
        statsButton->click();
        QVERIFY(st.messages.take().text.startsWith("Bitte geben Sie eine Internetadresse ein"));
        QCOMPARE(st.shell.opened.size(), 2);

        // Another database without settings: nothing of the links before stays in view.
        holder.Values.OnlinePath.clear();
        MainState().StatsUrl.clear();
        form.FormActivate();
        QVERIFY(!sub->isEnabled() && sub->text().isEmpty() && !stats->isEnabled() && stats->text().isEmpty());
    }

private:
    // "Speichern" with the upload folder in "upload": true when the files were reported written.
    static bool pressSpeichern(TEnterpriseOptionsForm &form, State &st, MsgButton preview)
    {
        st.dialogs.answer(st.dir.file("upload"));
        st.messages.answer(preview);
        child<QPushButton>(&form, "FormularErzeugenBitBtn1")->click();
        return st.messages.takeExpected(MsgKind::Information, "Bestellformular, Abbestellformular und Einbauanleitung "
                                                              "wurden erstellt! Möchten Sie die Voransicht nun "
                                                              "starten?");
    }

    // The tracking keys written before the web settings, which must keep them.
    static bool WriteTrackingSettingsFile(const State &st)
    {
        IniFile ini(st.web());
        return ini.writeString("SETTINGS", "StatsURL", "https://s.de/st/");
    }
};

QTEST_MAIN(TestWebForms)
#include "tst_webforms.moc"
