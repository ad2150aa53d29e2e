// The error reporter: version field, texts per language, the send assistant,
// the guard, the dialog, the report file and the report of a fatal signal.
#include "crashdialogrecorder.h"
#include "crashdialogs.h"
#include "filedialogrecorder.h"
#include "modal.h"
#include "registry.h"
#include "shellrecorder.h"
#include "testfolder.h"
#include "textfile.h"

#include <QDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <QWizard>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

using namespace vt;

static const QString kVersion = QStringLiteral("Programm Version");

// The test program doubles as a program that dies of a signal:
//   --fatal <report file> <signal number>
static int dieOfSignal(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    CrashReportStartup();
    SetBugReportFile(QString::fromLocal8Bit(argv[2]));
    SetupCrashReport(1, QStringLiteral("Version 9.9"));
    const int sig = std::atoi(argv[3]);
    if (sig == SIGSEGV) {
        volatile int *nowhere = nullptr;
        return *nowhere; // a real fault, not a raise()
    }
    if (sig == SIGABRT)
        std::abort();
    std::raise(sig);
    return 0;
}

class Thrower : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("thrown in an event");
        return QObject::event(e);
    }
};

class TestCrashReport : public QObject
{
    Q_OBJECT
    TestFolder m_dir;

private slots:
    void initTestCase()
    {
        SetBugReportFile(m_dir.file("reports/bugreport.txt"));
        Registry::setFileName(m_dir.file("registry.ini"));
    }

    // First: nothing has chosen a language yet.
    void beforeTheMainWindowIsActivated()
    {
        QCOMPARE(ReportLanguage(), 0);
        QCOMPARE(CrashSettings().texts, CrashTextsForLanguage(0));
        QVERIFY(BuildBugReport("x", "c", "m").field(kVersion).isEmpty()); // not registered before start-up
        CrashReportStartup();
        QCOMPARE(BuildBugReport("x", "c", "m").field(kVersion), QStringLiteral("No Version Information found"));
        // The reporter's own texts stay until the main window sets its language.
        QCOMPARE(CrashSettings().texts, CrashTextsForLanguage(0));
        const CrashReportSettings &s = CrashSettings();
        QVERIFY(s.AutoSave && s.AutoSaveIfNotSent && s.AppendBugReps && s.MailViaMapi);
        QVERIFY(!s.PrintBtnVis && s.SendBtnVis && s.ShowBtnVis && s.SaveBtnVis);
        QVERIFY(!s.MailViaMailto && !s.MailAsSmtpClient && !s.MailAsSmtpServer && !s.SendInBackgr);
    }

    void versionField()
    {
        CrashReportStartup();
        SetupCrashReport(1, QStringLiteral(" Version 1.0 "));
        QCOMPARE(ReportVersion(), QStringLiteral("Version 1.0"));
        QCOMPARE(BuildBugReport("x", "c", "m").field(kVersion), QStringLiteral("Version 1.0"));
        // An empty version later keeps the earlier one.
        SetupCrashReport(1, QStringLiteral("  "));
        QCOMPARE(BuildBugReport("x", "c", "m").field(kVersion), QStringLiteral("Version 1.0"));
        // The field comes after the reporter's own fields and shows in the text.
        const BugReport r = BuildBugReport("x", "c", "m");
        QCOMPARE(r.header.last().first, kVersion);
        QVERIFY(r.text().contains(QRegularExpression("Programm Version\\s+: Version 1.0\n")));
        CrashReportShutdown();
        QVERIFY(ReportVersion().isEmpty());
        QVERIFY(BuildBugReport("x", "c", "m").field(kVersion).isEmpty());
    }

    void textsPerLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::newRow("German") << 1 << "%appname% - Ein Fehler ist aufgetreten"
                                << "%appname% - %exceptMsg% - Fehlermeldung - Bugreport ist im Anhang";
        QTest::newRow("English") << 2 << "%appname% - An error occured"
                                 << QStringLiteral(
                                        "%appname% - %exceptMsg% - Error Message \u2013 Bug Report is attached");
        QTest::newRow("French") << 3 << "%appname% - Une erreur s'est produite"
                                << "";
        QTest::newRow("Italian") << 4 << "%appname% - Si è verificato un errore"
                                 << "";
        QTest::newRow("Spanish") << 5 << "%appname% - Se ha producido un error"
                                 << "";
    }
    void textsPerLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(QString, body);
        SetupCrashReport(language, QString());
        QCOMPARE(ReportLanguage(), language);
        const CrashDialogTexts &t = CrashSettings().texts;
        QCOMPARE(t.TitleBar, title);
        if (!body.isEmpty())
            QCOMPARE(t.MailBody, body);
        QCOMPARE(t.MailSubj, QStringLiteral("%appname% BugReport"));
        // Every text is set, in every language.
        for (const QString *s : {&t.ContinueBtnTxt, &t.DetailsBtnTxt, &t.RestartBtnTxt, &t.CloseBtnTxt, &t.ShowBtnTxt,
                                 &t.SaveBtnTxt, &t.SendBtnTxt, &t.OkBtnTxt, &t.FrozenMsg, &t.ExceptMsg, &t.BitFaultMsg,
                                 &t.SendFailMsg, &t.AuthMsg, &t.SendMailMsg})
            QVERIFY(!s->isEmpty());
        QVERIFY(t.BitFaultMsg.contains(QLatin1String("%modname%")));
        QVERIFY(t.MailBody.contains(QLatin1String("%exceptMsg%")));
    }

    void germanKeepsTwoEnglishTexts()
    {
        const CrashDialogTexts t = CrashTextsForLanguage(1);
        QCOMPARE(t.FieldMsg, QStringLiteral("Setting Fields..."));
        QCOMPARE(t.MxLookMsg, QStringLiteral("Searching for mail server..."));
        QCOMPARE(t.CloseBtnTxt, QStringLiteral("Programm Schliessen"));
        QCOMPARE(t.SendAttMsg, QStringLiteral("Sende Anhänge..."));
    }

    void otherLanguageNumbersChangeNothing()
    {
        SetupCrashReport(1, QString());
        SetupCrashReport(0, QString());
        SetupCrashReport(6, QString());
        QCOMPARE(ReportLanguage(), 1);
        QCOMPARE(CrashSettings().texts, CrashTextsForLanguage(1));
    }

    void translateAssistant_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("next3");
        QTest::addColumn<QString>("email");
        QTest::newRow("German") << 1 << QStringList{"Ihre Daten", "Weitere Informationen", "Screenshot hinzufügen"}
                                << "Senden"
                                << "Ihre E-Mail Adresse";
        QTest::newRow("English") << 2 << QStringList{"Your Data", "More Informations", "Add screenshot"} << "Send"
                                 << "Your Email Adress";
        QTest::newRow("Spanish") << 5 << QStringList{"Sus datos", "Más información", "Añadir captura de pantalla"}
                                 << "Enviar"
                                 << "Su dirección de correo electrónico";
    }
    void translateAssistant()
    {
        QFETCH(int, language);
        QFETCH(QStringList, titles);
        QFETCH(QString, next3);
        QFETCH(QString, email);
        SetupCrashReport(language, QString());
        Assistant a = MakeSendAssistant();
        CurrentAssistantHandler()(a, CrashSettings());
        QCOMPARE(a.pages.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(a.pages.at(i).title, titles.at(i));
        QCOMPARE(a.pages.at(2).nextText, next3);
        QCOMPARE(a.pages.at(0).labels.value("Label2"), email);
        QCOMPARE(a.pages.at(2).labels.value("Label1"), QStringLiteral("  "));
    }

    void translateAssistantWithFewerPages()
    {
        SetupCrashReport(1, QString());
        Assistant a = MakeSendAssistant();
        const AssistantPage third = a.pages.takeLast();
        TranslateAssistant(a, CrashSettings());
        QCOMPARE(a.pages.at(0).title, QStringLiteral("Ihre Daten"));
        QCOMPARE(a.pages.at(1).labels.value("Label1"), QStringLiteral("Wann ist der Fehler aufgetreten?"));
        QCOMPARE(a.pages.at(0).checkBoxes.value("MemCheck"), QStringLiteral("Daten speichern"));
        // A page without the named label is left as it is.
        Assistant b;
        b.pages = {AssistantPage{}, AssistantPage{}, AssistantPage{}};
        TranslateAssistant(b, CrashSettings());
        QVERIFY(b.pages.at(2).labels.isEmpty());
        QCOMPARE(b.pages.at(2).skipText, QStringLiteral("Überspringen"));
        Q_UNUSED(third);
    }

    void guardCatchesAndTheProgramGoesOn()
    {
        CrashReportStartup();
        SetupCrashReport(1, QStringLiteral("Version 2.0"));
        QFile::remove(BugReportFile());
        CrashDialogRecorder dialogs;
        int after = 0;
        QVERIFY(!Guard("first", [] { throw std::runtime_error("Datei fehlt"); }));
        QVERIFY(!Guard("second", [] { throw 42; }));
        QVERIFY(Guard("third", [&] { ++after; }));
        QCOMPARE(after, 1);
        QCOMPARE(RequestedExit(), CrashExit::None);

        const auto shown = dialogs.takeAll();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).title, QStringLiteral("Vantrel - Ein Fehler ist aufgetreten"));
        QCOMPARE(shown.at(0).report.exceptionClass, QStringLiteral("std::runtime_error"));
        QCOMPARE(shown.at(0).report.exceptionMessage, QStringLiteral("Datei fehlt"));
        QVERIFY(shown.at(0).message.startsWith(QLatin1String("Ein Fehler ist aufgetreten")));
        QCOMPARE(shown.at(0).report.field("location"), QStringLiteral("first"));
        QCOMPARE(shown.at(1).report.exceptionClass, QStringLiteral("int"));
        QCOMPARE(shown.at(1).report.field(kVersion), QStringLiteral("Version 2.0"));

        // Both reports were saved, one after the other.
        const QString saved = ReadTextFile(BugReportFile());
        QCOMPARE(saved.count(QLatin1String("Programm Version")), 2);
        QVERIFY(saved.indexOf(QLatin1String("Datei fehlt")) < saved.indexOf(QRegularExpression("location +: second")));
    }

    // Before any choice of Close or Restart: those tell the event loops to end,
    // and a dialog's own loop would then end at once.
    void theDialogOffersNoPrintButton()
    {
        CrashReportStartup();
        SetupCrashReport(1, QString());
        QString title;
        QStringList texts;
        QTimer::singleShot(0, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() != QLatin1String("CrashReportDialog") || !w->isVisible())
                    continue;
                title = w->windowTitle();
                for (QPushButton *b : w->findChildren<QPushButton *>())
                    texts.append(b->text());
                w->findChild<QPushButton *>("CloseBtn")->click();
            }
        });
        Guard("real dialog", [] { throw std::runtime_error("echt"); });
        texts.sort();
        QCOMPARE(title, QStringLiteral("Vantrel - Ein Fehler ist aufgetreten"));
        QCOMPARE(texts, (QStringList{"Anzeigen", "Programm Schliessen", "Programm fortfahren", "Programm neu starten",
                                     "Senden", "Speichern"}));
        QCOMPARE(RequestedExit(), CrashExit::Close);
        ClearRequestedExit();
    }

    void closeAndRestartAreRemembered()
    {
        CrashDialogRecorder dialogs;
        dialogs.answer(CrashChoice::Restart);
        Guard("x", [] { throw std::logic_error("a"); });
        QCOMPARE(RequestedExit(), CrashExit::Restart);
        ClearRequestedExit();
        dialogs.answer(CrashChoice::Close);
        Guard("x", [] { throw std::logic_error("b"); });
        QCOMPARE(RequestedExit(), CrashExit::Close);
        QCOMPARE(dialogs.takeAll().size(), 2);
    }

    void noExceptionCrossesTheEventLoop()
    {
        CrashDialogRecorder dialogs;
        Thrower thrower;
        QCoreApplication::sendEvent(&thrower, new QEvent(QEvent::User)); // straight through notify()
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User)); // through the event loop
        QCoreApplication::processEvents();
        const auto shown = dialogs.takeAll();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(1).report.exceptionMessage, QStringLiteral("thrown in an event"));
        QVERIFY(shown.at(1).report.where.contains(QLatin1String("QObject")));
    }

    void errorInsideTheDialogIsNotShownAgain()
    {
        CrashDialogRecorder dialogs;
        dialogs.onShow([](CrashReportSession &) { Guard("inner", [] { throw std::runtime_error("inner"); }); });
        Guard("outer", [] { throw std::runtime_error("outer"); });
        const auto shown = dialogs.takeAll();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).report.exceptionMessage, QStringLiteral("outer"));
        QVERIFY(ReadTextFile(BugReportFile()).contains(QLatin1String("inner")));
    }

    void sendOpensTheMailProgram()
    {
        SetupCrashReport(1, QStringLiteral("Version 3.1"));
        ShellRecorder shell;
        Modal::setHandler([](QDialog *d) {
            auto *wizard = qobject_cast<QWizard *>(d);
            if (!wizard)
                return int(QDialog::Rejected);
            // The assistant in German, the third page's note blanked.
            if (wizard->page(0)->title() != QStringLiteral("Ihre Daten") ||
                wizard->page(2)->buttonText(QWizard::FinishButton) != QStringLiteral("Senden"))
                return int(QDialog::Rejected);
            wizard->findChild<QLineEdit *>("NameEdit")->setText("Anna");
            wizard->findChild<QLineEdit *>("EmailEdit")->setText("anna@example.de");
            return int(QDialog::Accepted);
        });
        CrashDialogRecorder dialogs;
        bool sent = false;
        dialogs.onShow([&](CrashReportSession &s) { sent = RunSendAssistant(s); });
        Guard("send", [] { throw std::runtime_error("Fehler & mehr"); });
        Modal::setHandler({});
        QVERIFY(sent);
        QCOMPARE(dialogs.takeAll().size(), 1);
        QCOMPARE(shell.opened.size(), 1);
        const QUrl mail = shell.opened.first();
        QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
        QCOMPARE(mail.path(), CrashSettings().MailAddr);
        const QUrlQuery q(mail);
        QCOMPARE(q.queryItemValue("subject", QUrl::FullyDecoded), QStringLiteral("Vantrel BugReport"));
        const QString body = q.queryItemValue("body", QUrl::FullyDecoded);
        QVERIFY(body.startsWith(QLatin1String("Vantrel - Fehler & mehr - Fehlermeldung - Bugreport ist im Anhang")));
        QVERIFY(body.contains(QLatin1String("Anna <anna@example.de>")));
        QVERIFY(body.contains(QRegularExpression("Programm Version\\s+: Version 3.1")));
    }

    void saveWritesTheReportWhereTheUserSays()
    {
        FileDialogRecorder files;
        files.answer(m_dir.file("saved.txt"));
        CrashDialogRecorder dialogs;
        dialogs.onShow([](CrashReportSession &s) { QVERIFY(s.save()); });
        Guard("save", [] { throw std::runtime_error("zu speichern"); });
        QCOMPARE(dialogs.takeAll().size(), 1);
        QVERIFY(ReadTextFile(m_dir.file("saved.txt")).contains(QLatin1String("zu speichern")));
    }

    void fatalSignalAppendsAReport_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("segmentation fault") << int(SIGSEGV) << "SIGSEGV";
        QTest::newRow("abort") << int(SIGABRT) << "SIGABRT";
        QTest::newRow("floating point") << int(SIGFPE) << "SIGFPE";
        QTest::newRow("bus error") << int(SIGBUS) << "SIGBUS";
    }
    void fatalSignalAppendsAReport()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        TestFolder dir;
        const QString file = dir.file("bugreport.txt");
        dir.write("bugreport.txt", "earlier report\r\n");
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--fatal", file, QString::number(signal)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), signal); // the signal still ends the process
        const QString report = ReadTextFile(file);
        QVERIFY(report.startsWith(QLatin1String("earlier report")));
        QVERIFY(report.contains("fatal signal       : " + name + " (" + QString::number(signal) + ")"));
        QVERIFY(report.contains(QLatin1String("Programm Version   : Version 9.9")));
        QVERIFY(
            report.contains(QRegularExpression("date/time          : \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC")));
    }
};

int main(int argc, char **argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--fatal") == 0)
        return dieOfSignal(argc, argv);
    GuardedApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    TestCrashReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashreport.moc"
