// The import windows over the shipped base database: the wizard's choices,
// the text import with its preview and column map, and the Windows Mail,
// Outlook and address book dialogs over their sources, each importing into
// the open table.
#include "fakecontactsources.h"
#include "filedialogrecorder.h"
#include "importfixture.h"
#include "importform.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "modal.h"
#include "outlookimportform.h"
#include "productinfo.h"
#include "shellrecorder.h"
#include "wabform.h"
#include "wizardimportform.h"
#include "wmimportform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace vt;

namespace {

struct CountingMainWindow : TMainWindowOps
{
    int refreshes = 0;
    void StartMailer() override {}
    void ExportGridToExcel() override {}
    void SetColumnValue(const QString &, const QString &, bool) override {}
    void DeleteSelectedDatabase() override {}
    void refreshGrid() override { ++refreshes; }
};

// The program folder with the base database open and empty.
struct Program
{
    TestFolder dir{true};
    CountingMainWindow ops;
    QStringList statusTexts;
    QMetaObject::Connection status;

    Program()
    {
        TMainState &s = MainState();
        s.setAppFolder(dir.path());
        s.loadDatabaseCatalog();
        s.Ops = &ops;
        if (!s.OpenDatabase("Database.ini"))
            QTest::qFail("the base database does not open", __FILE__, __LINE__);
        table().deleteWhere(Filter());
        status =
            QObject::connect(&s, &TMainState::statusTextChanged, [this](const QString &t) { statusTexts.append(t); });
    }
    ~Program()
    {
        QObject::disconnect(status);
        MainState().Ops = nullptr;
        MainState().FreeTableComponents();
        Modal::setHandler({});
    }
    AddressTable &table() { return *MainState().CurrentTable; }
    QStringList records(const QStringList &names)
    {
        QStringList out;
        AddressTable &t = table();
        t.refresh();
        for (qint64 r = 0; r < t.recordCount(); ++r) {
            QStringList v;
            for (const QString &n : names)
                v.append(t.textAt(r, t.fieldIndex(n)));
            out.append(v.join('|'));
        }
        return out;
    }
};

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        QTest::qFail(qPrintable(QString("no control ") + name), __FILE__, __LINE__);
    return c;
}

void click(QWidget *w, const char *name)
{
    child<QAbstractButton>(w, name)->click();
}

// Runs the dialog as the modal loop would: shown, driven, hidden again.
int runModal(QDialog *dialog, const std::function<void()> &drive)
{
    dialog->setResult(0);
    dialog->show();
    QCoreApplication::processEvents();
    drive();
    const int result = dialog->result();
    dialog->hide();
    return result;
}

} // namespace

class TestImportForms : public QObject
{
    Q_OBJECT

private slots:
    void wizardChoices_data()
    {
        QTest::addColumn<bool>("vista");
        QTest::addColumn<bool>("win7");
        QTest::addColumn<bool>("liveMail");
        QTest::addColumn<bool>("outlook");
        QTest::addColumn<QString>("enabled"); // O(E) W(indows Mail) A(ndere) (Outloo)K
        QTest::addColumn<QString>("mailCaption");
        const QString wm = "Windows Mail Kontakte importieren";
        QTest::newRow("before Vista") << false << false << false << true << "OAK" << wm;
        QTest::newRow("before Vista, Live Mail") << false << false << true << false << "OWA"
                                                 << "Windows Live Mail Kontakte importieren";
        QTest::newRow("Vista and later (this system)") << true << false << false << false << "WA" << wm;
        QTest::newRow("Windows 7 without Outlook") << true << true << false << false << "A" << wm;
    }
    void wizardChoices()
    {
        QFETCH(bool, vista);
        QFETCH(bool, win7);
        QFETCH(bool, liveMail);
        QFETCH(bool, outlook);
        QFETCH(QString, enabled);
        QFETCH(QString, mailCaption);
        TWizardImportForm w;
        w.Platform = {vista, win7, liveMail, outlook, false};
        w.FormCreate();
        runModal(&w, [] {});
        QString got;
        const QList<QPair<const char *, QChar>> buttons{
            {"OERadioButton", 'O'}, {"WindowsMailRadioButton", 'W'}, {"OtherRadioButton", 'A'}, {"OutlookButton", 'K'}};
        for (const auto &[name, letter] : buttons)
            if (child<QRadioButton>(&w, name)->isEnabled())
                got += letter;
        QCOMPARE(got, enabled);
        QCOMPARE(child<QRadioButton>(&w, "WindowsMailRadioButton")->text(), mailCaption);
    }

    void wizardWeiter()
    {
        MessageRecorder boxes;
        TWizardImportForm w;
        w.Platform = {true, false, false, true, true};
        w.FormCreate();
        QDialog text;
        int textShown = 0;
        w.TextDialog = [&] { return &text; };
        w.OutlookDialog = [&] { return &text; };
        Modal::setHandler([&](QDialog *d) {
            textShown += d == &text;
            return 1;
        });
        runModal(&w, [&] {
            click(&w, "WeiterBitBtn");
            QVERIFY(boxes.takeExpected(MsgKind::Information, "Bitte zuerst eine Auswahl treffen!"));
            QVERIFY(w.isVisible());
            // "No" to the 64-bit warning keeps the wizard open with Outlook ticked.
            child<QRadioButton>(&w, "OutlookButton")->setChecked(true);
            boxes.answer(MsgButton::No);
            click(&w, "WeiterBitBtn");
            QVERIFY(boxes.takeExpected(MsgKind::Question,
                                       "Achtung beim Import aus Outlook 2010 64Bit muss Outlook, vor dem Start von "
                                       "Vantrel geschlossen sein! Möchten Sie fortfahren?"));
            QVERIFY(w.isVisible());
            QVERIFY(child<QRadioButton>(&w, "OutlookButton")->isChecked());
            QCOMPARE(textShown, 0);
            child<QRadioButton>(&w, "OtherRadioButton")->setChecked(true);
            click(&w, "WeiterBitBtn");
        });
        QVERIFY(!w.isVisible());
        QCOMPARE(textShown, 1);
        Modal::setHandler({});
    }

    // A semicolon file through the whole dialog: file chosen, columns typed,
    // preview, import, column map written; the chosen file stays chosen when a
    // message box over the dialog closes.
    void textImportDialog()
    {
        Program p;
        MessageRecorder boxes;
        FileDialogRecorder files;
        p.dir.write("kunden.csv", "Mail;Name;Ort\nanna@x.de;Anna Alt;Ulm\nbert@x.de;\"Bert; B.\";Köln\n"
                                  "muster@x.de;Max Muster;Bonn\n");
        p.dir.write("sperre.txt", "MUSTER\n");
        TImportForm form;
        runModal(&form, [&] {
            QCOMPARE(child<QLineEdit>(&form, "FilenameEdit")->text(), QString("Noch keine Datei gewählt"));
            QVERIFY(!child<QPushButton>(&form, "ImportBitBtn")->isEnabled());
            QCOMPARE(child<QLabel>(&form, "Label_Str")->text(), QString("\"Straße\" ist in Spalte"));
            files.answer(p.dir.file("kunden.csv"));
            click(&form, "OpenBitBtn");
            files.answer(p.dir.file("sperre.txt"));
            click(&form, "Blacklistbtn");
            click(&form, "BlacklistInfobtn");
            QVERIFY(boxes.take().text.startsWith("Was ist eine Blacklist?"));
            QCOMPARE(child<QLineEdit>(&form, "FilenameEdit")->text(), QString("kunden.csv"));
            child<QLineEdit>(&form, "Edit_Mail")->setText("1");
            child<QLineEdit>(&form, "Edit_Name")->setText("2");
            child<QLineEdit>(&form, "Edit_Ort")->setText("3");
            child<QComboBox>(&form, "ComboBox1")->setCurrentText("\"");
            child<QCheckBox>(&form, "SkipCheckBox")->setChecked(true);
            click(&form, "BitBtn1");
            child<QComboBox>(&form, "PreviewComboBox")->setCurrentIndex(1);
            auto *grid = child<QTableWidget>(&form, "StringGrid1");
            QCOMPARE(grid->rowCount(), 5);
            QCOMPARE(grid->item(1, 0)->text(), QString("bert@x.de"));
            QCOMPARE(grid->item(1, 3)->text(), QString("Bert; B."));
            QVERIFY(!grid->item(2, 0)); // the blacklisted line is not shown
            click(&form, "ImportBitBtn");
        });
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(p.records({"Mail", "Name", "Ort", "Selected"}),
                 (QStringList{"anna@x.de|Anna Alt|Ulm|True", "bert@x.de|Bert; B.|Köln|True"}));
        QVERIFY(p.ops.refreshes > 0);
        QCOMPARE(p.statusTexts.value(1), QString("Import: 1 von 4"));
        QCOMPARE(p.statusTexts.last(), QString());
        const QStringList map = ReadLines(p.dir.file("Data/Database.imp"));
        QCOMPARE(map.mid(0, 4), (QStringList{"1", "0", "0", "2"}));
        QCOMPARE(map.last(), QString(";"));
    }

    // What the text import tells before and after: a record of several lines
    // is marked in the preview and named in the end message; a file whose later
    // bytes are no UTF-8 is asked about before anything is stored, and "No"
    // leaves the dialog open with nothing imported.
    void textImportTellsAboutTheFile()
    {
        Program p;
        MessageRecorder boxes;
        FileDialogRecorder files;
        p.dir.write("mehrzeilig.csv", "a@x.de;Anna\nb@x.de;\"Bert\nBraun\"\nc@x.de;Carl\n");
        QByteArray late = "m@x.de;Müller\n";
        while (late.size() <= (1 << 20) + 100)
            late += "f@x.de;Füller\n";
        late += "j@x.de;J\xF6rg\n";
        p.dir.write("spaet.csv", late);
        TImportForm form;
        runModal(&form, [&] {
            files.answer(p.dir.file("mehrzeilig.csv"));
            click(&form, "OpenBitBtn");
            child<QLineEdit>(&form, "Edit_Mail")->setText("1");
            child<QLineEdit>(&form, "Edit_Name")->setText("2");
            child<QComboBox>(&form, "ComboBox1")->setCurrentText("\"");
            click(&form, "BitBtn1");
            child<QComboBox>(&form, "PreviewComboBox")->setCurrentIndex(1);
            auto *note = child<QLabel>(&form, "PreviewNoteLabel");
            QVERIFY(note->isVisible());
            QVERIFY2(note->text().startsWith("In der Vorschau: 1 Datensatz geht über mehrere Zeilen der Datei "
                                             "(Zeilen 2 bis 3)"),
                     qPrintable(note->text()));
            auto *grid = child<QTableWidget>(&form, "StringGrid1");
            // The note has room of its own below the grid.
            QCoreApplication::processEvents();
            QVERIFY(note->mapTo(&form, QPoint(0, 0)).y() >= grid->mapTo(&form, QPoint(0, grid->height())).y());
            QVERIFY(note->mapTo(&form, QPoint(0, note->height())).y() <= form.height());
            QCOMPARE(grid->item(1, 3)->text(), QString("Bert\nBraun"));
            QCOMPARE(grid->item(1, 3)->toolTip(), QString("Zeilen 2 bis 3 der Datei"));
            QVERIFY(grid->item(0, 3)->toolTip().isEmpty());
            click(&form, "ImportBitBtn");
            QVERIFY(boxes.takeExpected(
                MsgKind::Warning,
                "1 Datensatz geht über mehrere Zeilen der Datei (Zeilen 2 bis 3), weil ein Wert in Anführungszeichen "
                "Zeilenumbrüche enthält. Fehlt dort ein schließendes Anführungszeichen, sind mehrere Zeilen zu einem "
                "Datensatz geworden: bitte prüfen Sie diese Datensätze."));
        });
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(p.records({"Name"}), (QStringList{"Anna", "Bert\nBraun", "Carl"}));

        p.table().deleteWhere(Filter());
        runModal(&form, [&] {
            files.answer(p.dir.file("spaet.csv"));
            click(&form, "OpenBitBtn");
            click(&form, "BitBtn1");
            QCOMPARE(child<QTableWidget>(&form, "StringGrid1")->item(0, 3)->text(), QString("Müller"));
            boxes.answer(MsgButton::No);
            click(&form, "ImportBitBtn");
            const MessageRecorder::Box asked = boxes.take();
            QCOMPARE(asked.kind, MsgKind::Question);
            QVERIFY2(asked.text.contains("ist an ihrem Anfang UTF-8-kodiert"), qPrintable(asked.text));
            QVERIFY(form.isVisible());
            QCOMPARE(p.table().recordCount(), 0);
            boxes.answer(MsgButton::Yes);
            click(&form, "ImportBitBtn");
            QCOMPARE(boxes.take().kind, MsgKind::Question);
        });
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const QStringList names = p.records({"Name"});
        QCOMPARE(names.first(), QString("Müller"));
        QCOMPARE(names.last(), QString("Jörg"));
    }

    // The dialog's help links open pages the program ships; a page that is
    // missing is said to be missing, naming its file, and nothing is opened.
    void helpLinksOpenShippedPages()
    {
        Program p;
        MessageRecorder boxes;
        ShellRecorder shell;
        SetProductInfo(MakeProductInfo(p.dir.file("vantrel"), QString()));
        TImportForm form;
        runModal(&form, [&] {
            for (const char *label : {"ExcelHelpLabel", "AccessHelpLabel", "DatabasesHelpLabel", "TextHelpLabel"})
                emit child<QLabel>(&form, label)->linkActivated("x");
        });
        QStringList pages;
        for (const QUrl &url : std::as_const(shell.opened)) {
            pages.append(QFileInfo(url.toLocalFile()).fileName());
            QVERIFY2(QFileInfo(url.toLocalFile()).isFile(), qPrintable(url.toLocalFile() + " is not shipped"));
            QVERIFY(url.toLocalFile().startsWith(p.dir.file("help/")));
        }
        QCOMPARE(pages, (QStringList{"excel.html", "access.html", "datenbanken.html", "textimport.html"}));

        QVERIFY(QFile::remove(p.dir.file("help/access.html")));
        shell.opened.clear();
        runModal(&form, [&] { emit child<QLabel>(&form, "AccessHelpLabel")->linkActivated("x"); });
        QVERIFY(shell.opened.isEmpty());
        QVERIFY(boxes.takeExpected(MsgKind::Warning, "Die Hilfeseite kann nicht angezeigt werden: die Datei \"" +
                                                         p.dir.file("help/access.html") + "\" fehlt."));
    }

    // A column box without a whole number: said, and nothing imported.
    void textImportRefusesBadColumn()
    {
        Program p;
        MessageRecorder boxes;
        FileDialogRecorder files;
        p.dir.write("a.csv", "a@x.de\n");
        TImportForm form;
        runModal(&form, [&] {
            files.answer(p.dir.file("a.csv"));
            click(&form, "OpenBitBtn");
            child<QLineEdit>(&form, "Edit_Mail")->setText("eins");
            click(&form, "ImportBitBtn");
            QVERIFY(boxes.takeExpected(MsgKind::Information, "Bei \"E-Mail\" steht keine ganze Zahl als Spalte!\n"
                                                             "Geben Sie 0 für nicht vorhandene Spalten ein."));
            QVERIFY(form.isVisible());
        });
        QCOMPARE(p.table().recordCount(), 0);
    }

    void windowsMailDialog()
    {
        Program p;
        MessageRecorder boxes;
        FileDialogRecorder files;
        p.dir.write("kontakte/anna.contact",
                    "<?xml version=\"1.0\"?><c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">"
                    "<c:Address>anna@x.de</c:Address><c:FormattedName>Anna</c:FormattedName></c:contact>");
        p.dir.write("kontakte/Bert.CONTACT",
                    "<?xml version=\"1.0\"?><c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">"
                    "<c:Address>bert@x.de</c:Address></c:contact>");
        p.dir.write("kontakte/carl.contact", "<?xml version=\"1.0\"?><c:contact><c:Address>carl@x.de</c:Adr");
        TWMImport form;
        runModal(&form, [&] {
            click(&form, "startbutton");
            QVERIFY(boxes.takeExpected(MsgKind::Plain, "Bitte wählen Sie zuerst Datensätze zum Importieren aus!"));
            files.answer(p.dir.file("kontakte"));
            click(&form, "Loadbutton");
            QCOMPARE(child<QLineEdit>(&form, "Edit1")->text(), p.dir.file("kontakte/"));
            QCOMPARE(child<QListWidget>(&form, "chklst1")->count(), 3);
            click(&form, "BitBtn1");
            click(&form, "startbutton");
            // The file that is no contact file is skipped and named in the end message.
            const QString end = boxes.take().text;
            QVERIFY2(end.startsWith("Es wurden 2 Datensätze erfolgreich importiert!\n\n1 Datei wurde übersprungen, "
                                    "weil sie nicht gelesen werden konnte: carl.contact.\nDie Kontaktdatei \"" +
                                    p.dir.file("kontakte/carl.contact") + "\" ist fehlerhaft"),
                     qPrintable(end));
        });
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(p.records({"Name", "Mail"}), (QStringList{"Anna|anna@x.de", "|bert@x.de"}));
    }

    void outlookDialog()
    {
        Program p;
        MessageRecorder boxes;
        FakeContactStore store;
        store.subfolders = {"Kunden"};
        store.folders[""] = {
            FakeContactStore::contact(
                {{"Email1Address", "a@x.de"}, {"FirstName", "Eva"}, {"LastName", "Alt"}, {"CompanyName", "Alt GmbH"}}),
            FakeContactStore::contact({{"LastName", "Ohne Adresse"}}),
            FakeContactStore::contact({{"Email2Address", "b@x.de"}, {"LastName", "Berg"}})};
        store.folders["Kunden"] = {FakeContactStore::contact({{"Email1Address", "k@x.de"}, {"LastName", "Kunz"}})};
        TOutlookImportForm form;
        runModal(&form, [&] {
            QCOMPARE(child<QLabel>(&form, "Anzeigelabel")->text(), QString("Datensätze: 2"));
            QCOMPARE(child<QComboBox>(&form, "ComboBox3")->findText("Firma") > 0, true);
            // Options work on the folder read once.
            child<QComboBox>(&form, "Import1Comboxbox")->setCurrentIndex(21); // "Firma"
            QVERIFY(child<QComboBox>(&form, "Import2Comboxbox")->isEnabled());
            child<QCheckBox>(&form, "CheckBox1")->setChecked(false);
            QCOMPARE(store.reads, 1);
            auto *grid = child<QTableWidget>(&form, "StringGrid1");
            QCOMPARE(grid->columnCount(), 3);
            QCOMPARE(grid->item(0, 2)->text(), QString("Alt GmbH"));
            child<QComboBox>(&form, "ComboBox3")->setCurrentText("Firma");
            child<QComboBox>(&form, "Import2Comboxbox")->setCurrentIndex(1);
            child<QComboBox>(&form, "ComboBox4")->setCurrentText("Firma");
            click(&form, "StartImportBitBtn");
            QVERIFY(boxes.takeExpected(MsgKind::Plain,
                                       "Sie haben mehrmals das gleiche Zielfeld angegeben! Bitte korrigieren dieses!"));
            child<QComboBox>(&form, "ComboBox4")->setCurrentText("Vorname");
            click(&form, "StartImportBitBtn");
        });
        QCOMPARE(p.records({"Name", "Mail", "Firma", "Vorname"}),
                 (QStringList{"Alt|a@x.de|Alt GmbH|Eva", "Berg|b@x.de||"}));

        // Opened again: each target once, on the main folder; a subfolder is read when chosen.
        runModal(&form, [&] {
            auto *targets = child<QComboBox>(&form, "ComboBox3");
            QCOMPARE(targets->count(), 1 + int(OutlookTargets(MainState().FieldDefinitions).size()));
            QCOMPARE(child<QComboBox>(&form, "cbOutlookFolder")->currentText(), QString("Kontakt Hauptordner"));
            child<QComboBox>(&form, "cbOutlookFolder")->setCurrentText("Kunden");
            QCOMPARE(child<QLabel>(&form, "Anzeigelabel")->text(), QString("Datensätze: 1"));
        });
    }

    // A real Outlook data file the whole way: chosen in the wizard, its contact
    // listed in the Outlook dialog, and imported into the open table.
    void outlookDataFileRoad()
    {
        Program p;
        MessageRecorder boxes;
        FileDialogRecorder files;
        TWizardImportForm w;
        w.Platform = ImportPlatform::current();
        QVERIFY(w.Platform.outlookAvailable);
        w.FormCreate();
        TOutlookImportForm outlook;
        w.OutlookDialog = [&] { return &outlook; };
        int shown = 0;
        Modal::setHandler([&](QDialog *d) {
            ++shown;
            return runModal(d, [&] {
                QCOMPARE(child<QLabel>(d, "Anzeigelabel")->text(), QString("Datensätze: 1"));
                auto *grid = child<QTableWidget>(d, "StringGrid1");
                QCOMPARE(grid->item(0, 0)->text() + "|" + grid->item(0, 1)->text(),
                         QString("contact 1|contact1@rjohnson.id.au"));
                child<QComboBox>(d, "Import1Comboxbox")->setCurrentIndex(1); // "Vorname"
                child<QComboBox>(d, "ComboBox3")->setCurrentText("Vorname");
                click(d, "StartImportBitBtn");
            });
        });
        runModal(&w, [&] {
            child<QRadioButton>(&w, "OutlookButton")->setChecked(true);
            files.answer(p.dir.file("nichts.pst"));
            click(&w, "WeiterBitBtn");
            QVERIFY(boxes.takeExpected(MsgKind::Error, "Die Datei \"" + p.dir.file("nichts.pst") +
                                                           "\" ist keine lesbare Outlook-Datendatei."));
            QVERIFY(w.isVisible());
            files.answer(TestFolder::fixture("pst/dist-list.pst"));
            click(&w, "WeiterBitBtn");
        });
        QCOMPARE(shown, 1);
        QCOMPARE(files.requests.value(0).section('|', 0, 1), QString("open|Outlook-Datendatei wählen"));
        QCOMPARE(p.records({"Name", "Mail", "Vorname", "Selected", "LetztesMail"}),
                 QStringList{"contact 1|contact1@rjohnson.id.au|contact|True|"});
    }

    void addressBookDialog()
    {
        Program p;
        MessageRecorder boxes;
        FakeWabSource wab;
        wab.add("1", kWabContact, "Anna", "a@x.de", {{kPrHomeAddressStreet, "Heimweg 2"}});
        wab.add("2", kWabDistributionList, "Liste", "");
        p.dir.write("adressen.wab", "WAB");
        TWabForm form;
        form.WabFileName = p.dir.file("adressen.wab");
        runModal(&form, [&] {
            QCOMPARE(wab.opened, QStringList{p.dir.file("CopyOfadressen.wab")});
            auto *list = child<QTreeWidget>(&form, "AdrBookListView");
            QCOMPARE(list->topLevelItemCount(), 2);
            click(&form, "AlleButton");
            click(&form, "ImportButton");
            QVERIFY(boxes.takeExpected(MsgKind::Information, "Importvorgang war erfolgreich!"));
            QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
            // Ticked again and imported again: appended a second time.
            list->topLevelItem(0)->setCheckState(0, Qt::Checked);
            click(&form, "ImportButton");
            QVERIFY(boxes.takeExpected(MsgKind::Information, "Importvorgang war erfolgreich!"));
            click(&form, "CloseButton");
            QVERIFY(boxes.takeExpected(MsgKind::Information,
                                       "Die Datensätze wurden nur mit den im Windows Adressbuch zur Verfügung "
                                       "stehenden Daten importiert. Zusätzliche Informationen wie z.B. die Anrede "
                                       "müssen selbst ergänzt werden."));
        });
        QCOMPARE(p.records({"Mail", "Str", "Kategorie"}),
                 (QStringList{"a@x.de|Heimweg 2|Windows Addressbook", "a@x.de|Heimweg 2|Windows Addressbook"}));

        form.WabFileName = p.dir.file("fehlt.wab");
        runModal(&form, [&] {
            QVERIFY(boxes.takeExpected(MsgKind::Error, "Addressbook not found"));
            QTest::qWait(10);
            QCOMPARE(form.result(), int(QDialog::Rejected));
        });
    }
};

QTEST_MAIN(TestImportForms)
#include "tst_importforms.moc"
