// The export wizard and the text export dialog over the shipped base database:
// the choice and its hand-over, the dialog's fields and options, the file it
// asks for and writes, and the messages for what cannot be done.
#include "asciiform.h"
#include "exportrun.h"
#include "exportwizardform.h"
#include "filedialogrecorder.h"
#include "gradient.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "modal.h"
#include "productinfo.h"
#include "readback.h"
#include "shellrecorder.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace vt;

namespace {

struct CountingMainWindow : TMainWindowOps
{
    int workbookExports = 0;
    void StartMailer() override {}
    void ExportGridToExcel() override { ++workbookExports; }
    void SetColumnValue(const QString &, const QString &, bool) override {}
    void DeleteSelectedDatabase() override {}
    void refreshGrid() override {}
};

// The program folder with the base database open and three addresses in it.
struct Program
{
    TestFolder dir{true};
    CountingMainWindow ops;
    MessageRecorder boxes;
    FileDialogRecorder files;

    Program()
    {
        TMainState &s = MainState();
        s.setAppFolder(dir.path());
        s.loadDatabaseCatalog();
        s.Ops = &ops;
        if (!s.OpenDatabase(QStringLiteral("Database.ini"))) {
            QTest::qFail("the base database does not open", __FILE__, __LINE__);
            return;
        }
        fill(table(), {{{"Mail", "anna@example.de"}, {"Name", "Zorn"}, {"PLZ", "01067"}, {"Selected", true}},
                       {{"Mail", "bert@example.de"}, {"Name", "Adler"}, {"PLZ", "80331"}, {"Selected", false}},
                       {{"Mail", "carl@example.de"}, {"Name", "Maier"}, {"PLZ", "04109"}, {"Selected", true}}});
    }
    ~Program()
    {
        Modal::setHandler({});
        MainState().Ops = nullptr;
        MainState().FreeTableComponents();
    }
    AddressTable &table() { return *MainState().CurrentTable; }
};

template <class T> T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

// Leaves only these fields of the list ticked.
void tickOnly(QDialog *d, const QStringList &fields)
{
    auto *list = child<QListWidget>(d, "CheckListBox1");
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(fields.contains(list->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
}

} // namespace

class TestExportForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TProductInfo info;
        info.HelpFile = QStringLiteral("help.html");
        info.WizardImage = QStringLiteral("wizard.png");
        SetProductInfo(info);
    }

    void wizardHandsOverTheChoice()
    {
        Program p;
        ShellRecorder shell;
        TExportWizzard1Form wizard;
        wizard.FormCreate();
        QVERIFY(!child<QLabel>(&wizard, "Image1")->pixmap().isNull());
        int textExports = 0;
        wizard.TextExport = [&] { ++textExports; };
        auto *excel = child<QRadioButton>(&wizard, "ExcelRadioButton");
        auto *other = child<QRadioButton>(&wizard, "OtherRadioButton");
        auto *weiter = child<QPushButton>(&wizard, "WeiterBitBtn");

        wizard.show();
        QVERIFY(!excel->isChecked() && !other->isChecked());
        weiter->click();
        QVERIFY(p.boxes.takeExpected(MsgKind::Information, QStringLiteral("Bitte zuerst eine Auswahl treffen!")));
        QVERIFY(wizard.isVisible());

        excel->setChecked(true);
        weiter->click();
        QVERIFY(!wizard.isVisible());
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(p.ops.workbookExports, 1);
        QCOMPARE(textExports, 0);

        // The last choice stays.
        wizard.show();
        QVERIFY(excel->isChecked());
        other->setChecked(true);
        weiter->click();
        QCOMPARE(textExports, 1);
        QCOMPARE(p.ops.workbookExports, 1);

        wizard.show();
        child<QPushButton>(&wizard, "HilfeBitBtn")->click();
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(p.dir.file("help/help.html"))});
        child<QPushButton>(&wizard, "AbortBitBtn")->click();
        QCOMPARE(wizard.result(), int(QDialog::Rejected));
        QCOMPARE(textExports + p.ops.workbookExports, 2);
    }

    // Each box is painted in the gradient's colour at its top, not in the grey of
    // a button, so that it blends into the background.
    void boxesStandOnTheGradient()
    {
        Program p;
        TExportWizzard1Form wizard;
        TAsciiForm form;
        form.FormCreate();
        const QList<QPair<ExportDialog *, QStringList>> dialogs{
            {&wizard, {"ExcelRadioButton", "OtherRadioButton"}},
            {&form, {"TableHeaderCheckBox", "OnlyMarkedCheckBox", "TrimCheckBox"}}};
        for (const auto &[dialog, names] : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            const QImage picture = dialog->grab().toImage();
            const qreal ratio = picture.devicePixelRatio();
            for (const QString &name : names) {
                auto *box = dialog->findChild<QAbstractButton *>(name);
                QVERIFY2(box, qPrintable(name));
                // The box's right end, past its text.
                const QPoint spot = box->mapTo(dialog, QPoint(box->width() - 2, box->height() / 2));
                const int top = box->mapTo(dialog, QPoint(0, 0)).y();
                QCOMPARE(picture.pixelColor(spot * ratio),
                         GradientColorAt(dialog->GradientStart, dialog->GradientEnd, top, dialog->height()));
            }
            dialog->hide();
        }
    }

    void textExportWritesTheChosenFields()
    {
        Program p;
        // The grid shows the addresses with a "Z" or "M" filter on; the export of
        // the marked ones leaves it on.
        QVERIFY(p.table().setFilterText(QStringLiteral("Name='Z*' OR Name='A*'")) && p.table().setFiltered(true));
        TAsciiForm form;
        form.FormCreate();
        form.show();
        auto *list = child<QListWidget>(&form, "CheckListBox1");
        QTRY_COMPARE(list->count(), p.table().fieldCount());
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->item(i)->text(), p.table().field(i).name);
            QCOMPARE(list->item(i)->checkState(), Qt::Checked);
        }
        tickOnly(&form, {"Name", "PLZ"});
        child<QCheckBox>(&form, "TrimCheckBox")->setChecked(true);
        child<QCheckBox>(&form, "OnlyMarkedCheckBox")->setChecked(true);
        p.files.answer(p.dir.file("adressen"));
        child<QPushButton>(&form, "OKBitBtn")->click();
        QCOMPARE(p.files.requests, QStringList{"save|Speichern unter||Trennzeichen getrennte Datei (*.csv)"});
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        // The title keeps its padding (Name 80 + 10, PLZ 10 + 10); the marked values are bare.
        QCOMPARE(p.dir.read("adressen.csv"), QByteArray("Name") + QByteArray(86, ' ') + ";PLZ" + QByteArray(17, ' ') +
                                                 ";\r\nZorn;01067;\r\nMaier;04109;\r\n");
        QVERIFY(p.table().isFiltered());
        QCOMPARE(p.table().recordCount(), 2);
        QCOMPARE(MainState().StatusBarText, QStringLiteral("2 Datensätze exportiert"));

        // Shown again: every field ticked again, the options as they were left.
        form.show();
        QTRY_COMPARE(list->item(0)->checkState(), Qt::Checked);
        QVERIFY(child<QCheckBox>(&form, "TrimCheckBox")->isChecked());
        QVERIFY(child<QCheckBox>(&form, "TableHeaderCheckBox")->isChecked());
        // Without "only marked" the grid's filter decides, in its order.
        child<QCheckBox>(&form, "OnlyMarkedCheckBox")->setChecked(false);
        child<QCheckBox>(&form, "TableHeaderCheckBox")->setChecked(false);
        tickOnly(&form, {"Mail"});
        child<QLineEdit>(&form, "Edit1")->setText("\t");
        p.files.answer(p.dir.file("gefiltert.txt"));
        child<QPushButton>(&form, "OKBitBtn")->click();
        QCOMPARE(p.dir.read("gefiltert.txt"), QByteArray("anna@example.de\t\r\nbert@example.de\t\r\n"));
    }

    void textExportRefusalsAndCancel()
    {
        Program p;
        TAsciiForm form;
        form.FormCreate();
        form.show();
        QTRY_VERIFY(child<QListWidget>(&form, "CheckListBox1")->count() > 0);
        auto *ok = child<QPushButton>(&form, "OKBitBtn");

        tickOnly(&form, {});
        ok->click();
        QVERIFY(
            p.boxes.takeExpected(MsgKind::Information, QStringLiteral("Bitte zuerst mindestens ein Feld auswählen!")));
        QVERIFY(form.isVisible());

        tickOnly(&form, {"Name"});
        child<QLineEdit>(&form, "Edit1")->setText("\"");
        ok->click();
        QVERIFY(p.boxes.takeExpected(MsgKind::Information, TextExportDelimiterProblem("\"")));
        QVERIFY(form.isVisible());
        QVERIFY(p.files.requests.isEmpty());

        // The user cancels the file: nothing is written and the dialog closes.
        child<QLineEdit>(&form, "Edit1")->setText(";");
        p.files.answer(QString());
        ok->click();
        QCOMPARE(p.files.requests.size(), 1);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));

        // A file that cannot be written is told, and the dialog stays for another try.
        form.show();
        const QString nowhere = p.dir.file("fehlt/liste.csv");
        p.files.answer(nowhere);
        ok->click();
        const MessageRecorder::Box box = p.boxes.take();
        QCOMPARE(box.kind, MsgKind::Error);
        QVERIFY2(box.text.startsWith("Die Datei " + nowhere + " kann nicht geschrieben werden!\n"),
                 qPrintable(box.text));
        QVERIFY(form.isVisible());

        // A value beyond Windows-1252 makes the file UTF-8, and the user is told.
        fill(p.table(), {{{"Name", "Łukasiewicz"}}});
        p.files.answer(p.dir.file("utf8.csv"));
        ok->click();
        QVERIFY(p.boxes.takeExpected(
            MsgKind::Information,
            QStringLiteral("Einige Werte enthalten Zeichen, die der Windows-Zeichensatz nicht "
                           "darstellen kann. Die Datei wurde deshalb im Format UTF-8 gespeichert.")));
        QVERIFY(p.dir.read("utf8.csv").startsWith("\xEF\xBB\xBFName"));
        QVERIFY(p.dir.read("utf8.csv").contains(QStringLiteral("Łukasiewicz").toUtf8()));
    }

    void workbookThroughTheSaveDialog()
    {
        Program p;
        const QList<ExportColumn> columns{{p.table().fieldIndex("PLZ"), "PLZ"}, {p.table().fieldIndex("Name"), "Name"}};
        p.files.answer(QString());
        QVERIFY(!ExportGridToExcelFile(nullptr, columns));
        p.files.answer(p.dir.file("liste"));
        QVERIFY(ExportGridToExcelFile(nullptr, columns));
        QCOMPARE(p.files.requests.last(), QStringLiteral("save|Speichern unter||Excel-Datei (*.xlsx)"));
        READ_EXPORT(book, ReadWorkbook(p.dir.file("liste.xlsx")));
        QCOMPARE(book.sheets, QStringList{"Vantrel_Export"});
        QCOMPARE(book.rows,
                 (QList<QStringList>{{"PLZ", "Name"}, {"01067", "Zorn"}, {"80331", "Adler"}, {"04109", "Maier"}}));

        const QString nowhere = p.dir.file("fehlt/liste.xlsx");
        p.files.answer(nowhere);
        QVERIFY(!ExportGridToExcelFile(nullptr, columns));
        const MessageRecorder::Box box = p.boxes.take();
        QCOMPARE(box.kind, MsgKind::Error);
        QVERIFY2(box.text.startsWith("Die Datei " + nowhere + " kann nicht geschrieben werden!"), qPrintable(box.text));
        QVERIFY(MainState().StatusBarText.isEmpty());
    }
};

QTEST_MAIN(TestExportForms)
#include "tst_exportforms.moc"
