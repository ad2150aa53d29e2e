// The start wizard driven by its panels and buttons: each way to a mailing ends
// in the serial e-mail window with the right mail, once; the file choices with
// their folders and filters, .msg files converted by the real converter, the
// mail client started on the shipped empty mail, and what stays from one use to
// the next.
#include "children.h"
#include "filedialogrecorder.h"
#include "mailerfixture.h"
#include "mailfiles.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "msgconverter.h"
#include "msgfile.h"
#include "newwizform.h"
#include "optionpanel.h"
#include "shellrecorder.h"
#include "workfolder.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace vt;

namespace {

struct CountingMainWindow : FakeMainWindow
{
    int starts = 0;
    void StartMailer() override
    {
        ++starts;
        FakeMainWindow::StartMailer();
    }
};

// The program with its base database and the wizard shown as F2 shows it.
struct Wizard
{
    MailerProgram program;
    CountingMainWindow ops;
    TNewWizForm wizard;

    explicit Wizard(int marked = 3)
    {
        MainState().Ops = &ops;
        MainState().MarkedCount = marked;
        program.records({{{"Mail", "a@example.net"}, {"Name", "A"}}});
        wizard.FormCreate();
        wizard.show();
    }
    ~Wizard()
    {
        TMailerForm *w = MailerForm();
        w->CanCloseFlag = true;
        w->close();
        MainState().Ops = nullptr;
    }
    template <class T = QWidget> T *w(const char *name) { return child<T>(&wizard, name); }
    void click(const char *panel) { QTest::mouseClick(w<OptionPanel>(panel), Qt::LeftButton, {}, QPoint(5, 5)); }
    void press(const char *button) { w<QPushButton>(button)->click(); }
    bool weiter() { return w<QPushButton>("WeiterButton")->isEnabled(); }
    QString file() { return w<QLineEdit>("FilenameEdit")->text(); }
};

QString writeTemplate(const QString &path)
{
    WriteLines(path, {"[SUBJECT]", "Vorlage für $NAME", "[TEXT]", "Hallo $NAME,", "bis bald", "[ATTACHEMENT]", ""});
    return path;
}

} // namespace

class TestNewWizForm : public QObject
{
    Q_OBJECT

private slots:
    void init() { StartWizardChoice() = {}; }

    void newTextMailNeedsNoFile()
    {
        Wizard t;
        MessageRecorder boxes;
        QVERIFY(!t.weiter());
        t.click("NeueMailPanel");
        QVERIFY(!t.w("VorlagenMailPanel")->isVisible()); // no sample for a new mail
        QVERIFY(t.w("TextMailPanel")->isVisible() && t.w("HTMLMailPanel")->isVisible());
        // A click on a panel's text counts as a click on the panel.
        QTest::mouseClick(t.w("TextMailPanelHeading"), Qt::LeftButton);
        QCOMPARE(t.w<OptionPanel>("TextMailPanel")->state(), OptionPanel::State::Selected);
        QVERIFY(t.weiter());
        MailerForm()->TextTemplatePath = QStringLiteral("/alt/vorlage.mail");
        t.press("WeiterButton");
        QVERIFY(!t.wizard.isVisible());
        QCOMPARE(t.ops.starts, 1);
        TMailerForm *m = MailerForm();
        QVERIFY(m->isVisible());
        QCOMPARE(m->MailMode, 0);
        QVERIFY(m->TextTemplatePath.isEmpty());
        QCOMPARE(child<QLineEdit>(m, "SubjectEdit")->text(), QStringLiteral("Hier bitte Ihren Betreff eingeben"));
        QVERIFY(child<QPushButton>(m, "OpenButton")->isVisibleTo(m));
    }

    void existingTextTemplate()
    {
        Wizard t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        const QString letters = MainState().LettersFolder;
        QDir().mkpath(letters);
        const QString path = writeTemplate(letters + "brief.mail");
        t.click("VolageOeffnenPanel");
        QVERIFY(t.w("VorlagenMailPanel")->isVisible());
        t.click("TextMailPanel");
        QVERIFY(t.w("OpenMailGroupBox")->isVisible());
        QVERIFY(t.w<QLabel>("ExtraOpenLabel")->text().isEmpty());
        QVERIFY(!t.weiter());
        // Cancelling empties the field again.
        files.answer(path);
        files.answer(QString());
        t.press("BitBtn1");
        QCOMPARE(t.file(), path);
        QVERIFY(t.weiter());
        QTest::mouseClick(t.w("FilenameEdit"), Qt::LeftButton); // the field counts as "Datei wählen"
        QVERIFY(t.file().isEmpty());
        QVERIFY(!t.weiter());
        QCOMPARE(files.requests.first(), "open|Öffnen|" + letters + "|Text Mail (*.mail);;Text Dateien (*.txt)");
        files.answer(path);
        t.press("BitBtn1");
        t.press("WeiterButton");
        QCOMPARE(t.ops.starts, 1);
        TMailerForm *m = MailerForm();
        QCOMPARE(m->MailMode, 0);
        QCOMPARE(child<QLineEdit>(m, "SubjectEdit")->text(), QStringLiteral("Vorlage für $NAME"));
        QCOMPARE(m->bodyLines(), (QStringList{"Hallo $NAME,", "bis bald"}));
    }

    void existingHtmlMailIsCopied()
    {
        Wizard t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        t.click("VolageOeffnenPanel");
        t.click("HTMLMailPanel");
        QVERIFY(t.w<QLabel>("ExtraOpenLabel")->text().startsWith("Sie können hierzu .EML-Dateien"));
        files.answer(MailTestData("related.eml"));
        t.press("BitBtn1");
        QVERIFY(files.requests.first().endsWith(MsgConverter::available() ? "|Outlook / EML Datei (*.msg *.eml)"
                                                                          : "|EML Datei (*.eml)"));
        QCOMPARE(files.requests.first().section('|', 2, 2), DocumentsWorkFolder());
        QCOMPARE(t.file(), MailTestData("related.eml"));
        t.press("WeiterButton");
        QCOMPARE(t.ops.starts, 1);
        TMailerForm *m = MailerForm();
        QCOMPARE(m->MailMode, 1);
        // A work copy under ten random letters and digits, never the user's file.
        QVERIFY(m->HtmlMailPath.startsWith(MailWorkFolder()));
        QVERIFY(QFileInfo(m->HtmlMailPath).fileName().contains(QRegularExpression("^[A-Za-z0-9]{10}$")));
        QCOMPARE(FileBytes(m->HtmlMailPath), FileBytes(MailTestData("related.eml")));
        QVERIFY(
            QTest::qWaitFor([m] { return child<QLineEdit>(m, "SubjectEdit")->text() == "Newsletter $NAME"; }, 3000));
    }

    void msgFilesAreConvertedWhenChosen()
    {
        QVERIFY2(MsgConverter::available(), "msgconvert is missing: install libemail-outlook-message-perl");
        QTemporaryDir dir;
        const QString upper = dir.filePath("BRIEF.MSG"), broken = dir.filePath("kaputt.msg");
        QVERIFY(MakeMsgFile(upper, "Aus Outlook", "Text", "<p>Hallo $NAME</p>"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kein Outlook");
        f.close();
        Wizard t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        t.click("VolageOeffnenPanel");
        t.click("HTMLMailPanel");
        files.answer(upper);
        t.press("BitBtn1");
        const QString converted = t.file();
        QVERIFY(converted.startsWith(MailWorkFolder()) && converted.endsWith(".eml"));
        // A conversion that fails takes nothing, not even the file converted before.
        files.answer(broken);
        t.press("BitBtn1");
        QCOMPARE(boxes.take().kind, MsgKind::Error);
        QVERIFY(t.file().isEmpty());
        QVERIFY(!t.weiter());
        files.answer(upper);
        t.press("BitBtn1");
        QVERIFY(t.file() != converted);
        t.press("WeiterButton");
        MailMessage sent;
        QVERIFY(sent.loadFile(MailerForm()->HtmlMailPath));
        QCOMPARE(sent.subject(), QStringLiteral("Aus Outlook"));
    }

    void sampleMailIsUsedAsItIsAndStartsOnce()
    {
        Wizard t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        QDir(DocumentsWorkFolder()).removeRecursively();
        // A text template chosen in an earlier use stays in the other box.
        StartWizardChoice().FileName = writeTemplate(t.program.dir.file("alt.mail"));
        t.click("VolageOeffnenPanel");
        t.click("VorlagenMailPanel");
        QVERIFY(t.w("MusterGroupBox")->isVisible() && !t.w("OpenMailGroupBox")->isVisible());
        QVERIFY(!t.weiter());
        const QString sample = DocumentsWorkFolder() + SampleMailNames().at(1);
        files.answer(sample);
        t.press("BitBtn2");
        QCOMPARE(files.requests.first(), "open|Öffnen|" + DocumentsWorkFolder() + "|EML Datei (*.eml)");
        QVERIFY2(QFile::exists(sample), "the samples are copied into the new work folder");
        MailerForm()->TextTemplatePath.clear();
        t.press("WeiterButton");
        QCOMPARE(t.ops.starts, 1);
        TMailerForm *m = MailerForm();
        QCOMPARE(m->MailMode, 1);
        QCOMPARE(m->HtmlMailPath, sample);
        QVERIFY(m->TextTemplatePath.isEmpty());
    }

    void newHtmlMailFromTheMailClient()
    {
        Wizard t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        ShellRecorder shell;
        t.click("NeueMailPanel");
        t.click("HTMLMailPanel");
        QVERIFY(t.w("NewGroupBox")->isVisible());
        QVERIFY(!t.w("OutlookBitbtn")->isVisibleTo(&t.wizard));
        QVERIFY(!t.weiter());
        t.press("OEBitbtn");
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(t.program.dir.file("temp/dummy.eml"))});
        QVERIFY(QFile::exists(t.program.dir.file("temp/dummy.eml")));
        QVERIFY(t.weiter());
        // Cancelling the choice of the saved mail keeps the wizard open.
        files.answer(QString());
        t.press("WeiterButton");
        QVERIFY(t.wizard.isVisible());
        QCOMPARE(t.ops.starts, 0);
        files.answer(MailTestData("alternative-lf.eml"));
        t.press("WeiterButton");
        QCOMPARE(t.ops.starts, 1);
        QVERIFY(MailerForm()->HtmlMailPath.startsWith(MailWorkFolder()));
        QVERIFY(MailerForm()->HtmlMailPath.endsWith(".eml"));
        // Shown again: the choices stay, but the mail client counts as not started.
        t.wizard.show();
        QVERIFY(StartWizardChoice().NewMailChosen && StartWizardChoice().HtmlMailChosen);
        QVERIFY(!StartWizardChoice().MailClientStarted);
        QVERIFY(!t.weiter());
    }

    void aFileGoneSinceTheLastUseIsSaid()
    {
        Wizard t;
        MessageRecorder boxes;
        const QString gone = t.program.dir.file("weg.mail");
        StartWizardChoice().FileName = gone;
        TNewWizForm again; // made after the choice, as at the next start
        again.FormCreate();
        again.show();
        QCOMPARE(again.findChild<QLineEdit *>("FilenameEdit")->text(), gone);
        QTest::mouseClick(again.findChild<OptionPanel *>("VolageOeffnenPanel"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(again.findChild<OptionPanel *>("TextMailPanel"), Qt::LeftButton, {}, QPoint(5, 5));
        again.findChild<QPushButton *>("WeiterButton")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Die Datei " + gone + " existiert nicht mehr!"));
        QVERIFY(again.isVisible());
        QCOMPARE(t.ops.starts, 0);
    }

    void htmlImportIsOfferedWhenThereIsOne()
    {
        Wizard t;
        QVERIFY(!t.w("ImportMailPanel")->isVisible());
        int imports = 0;
        t.wizard.htmlImport = [&] { ++imports; };
        t.wizard.hide();
        t.wizard.show();
        QVERIFY(t.w("ImportMailPanel")->isVisible());
        t.click("ImportMailPanel");
        QVERIFY(!t.w("TextMailPanel")->isVisible());
        QVERIFY(t.weiter());
        t.press("WeiterButton");
        QCOMPARE(imports, 1);
        QCOMPARE(t.ops.starts, 0); // the import starts the serial e-mail window itself
        QVERIFY(!child<QPushButton>(MailerForm(), "OpenButton")->isVisibleTo(MailerForm()));
        QVERIFY(!t.wizard.isVisible());
    }

    void countOfMarkedRecords()
    {
        for (auto [marked, text] : {std::pair{1, "Serien-E-Mail wird an einen markierten Datensatz gesendet."},
                                    std::pair{2, "Serien-E-Mail wird an 2 markierte Datensätze gesendet."}}) {
            Wizard t(marked);
            QCOMPARE(t.w<QLabel>("NoOfMailsLabel")->text(), QString::fromUtf8(text));
        }
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    TestNewWizForm t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_newwizform.moc"
