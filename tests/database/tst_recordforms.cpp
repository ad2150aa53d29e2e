// The record editor and the search dialog over the base database, driven by
// their controls' names: new records with their start values and the question
// about an address already stored, editing, refused values, deleting, the
// rules' hooks, the keys; exact and fuzzy search steps both ways with their
// result lines.
#include "backupform.h"
#include "doupdatesform.h"
#include "edform.h"
#include "hvldbsearchform.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "modal.h"
#include "paths.h"
#include "productinfo.h"
#include "shellrecorder.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace vt;

namespace {

const QList<FieldValues> kAddresses = {
    {{"Mail", "anna@example.de"}, {"Name", "Adler"}, {"Ort", "Berlin"}, {"Selected", true}},
    {{"Mail", "marianna@example.de"}, {"Name", "Meier"}, {"Ort", "Hamburg"}},
    {{"Mail", "carl@example.de"}, {"Name", "Cordes"}, {"Ort", "Berlin"}}};

// The program folder with the base database open and three addresses in it.
struct Program
{
    MessageRecorder boxes; // made first, gone last
    TestFolder dir{true};
    Program()
    {
        TMainState &s = MainState();
        s.setAppFolder(dir.path());
        s.loadDatabaseCatalog();
        s.CheckNewAddresses = true;
        if (!s.OpenDatabase(QStringLiteral("Database.ini")))
            QTest::qFail("the base database does not open", __FILE__, __LINE__);
        else
            QVERIFY(fill(table(), kAddresses));
    }
    ~Program()
    {
        Modal::setHandler({});
        MainState().FreeTableComponents();
    }
    AddressTable &table() const { return *MainState().CurrentTable; }
};

template <class T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        QTest::qFail(qPrintable("no control " + name), __FILE__, __LINE__);
    return c;
}

// Shows the dialog when it is run and hands it to the test; what the test
// returns is the dialog's result unless the dialog closed with its own.
void whenShown(const std::function<void(QDialog *)> &drive)
{
    Modal::setHandler([drive](QDialog *d) {
        d->show();
        drive(d);
        const int result = d->isVisible() ? int(QDialog::Rejected) : d->result();
        d->hide();
        return result;
    });
}

// Counts the calls of the rules and refuses every record when told to.
struct CountingRules : TDoUpdatesForm
{
    explicit CountingRules(int *starts, QStringList *defaults, bool accept)
        : TDoUpdatesForm(MainState()), starts(starts), defaults(defaults), accept(accept)
    {
    }
    int *starts;
    QStringList *defaults;
    bool accept;
    bool ValidateRecord() override { return accept; }
    void StartNewRecord() override { ++*starts; }
    void SetFieldDefault(const QString &name) override { defaults->append(name); }
};

QString duplicateQuestion(const QString &stored)
{
    return "Ein Datensatz mit der Emailadresse " + stored +
           " befindet sich bereits in der Datenbank! Wollen Sie diesen Datensatz trotzdem hinzufügen???";
}

} // namespace

class TestRecordForms : public QObject
{
    Q_OBJECT
    TEdForm *m_editor = nullptr;
    THVL_DB_SearchForm *m_search = nullptr;

private slots:
    void initTestCase()
    {
        m_editor = new TEdForm;
        m_search = new THVL_DB_SearchForm;
    }
    void cleanupTestCase()
    {
        delete m_editor;
        delete m_search;
    }

    void aNewRecordWithItsStartValues()
    {
        Program p;
        QStringList seen;
        whenShown([&](QDialog *d) {
            seen << child<QLabel>(d, "ESLabel1")->text() << child<QToolButton>(d, "OKSpeedButton")->text();
            QVERIFY(child<QCheckBox>(d, "Check_Selected")->isChecked());
            QVERIFY(!child<QCheckBox>(d, "Check_Invalid")->isChecked());
            // The row of ID stays empty; every other row lies 20 pixels below the one before.
            QVERIFY(!child<QLineEdit>(d, "Edit_ID")->isVisibleTo(d));
            const QRect selected = child<QCheckBox>(d, "Check_Selected")->geometry();
            QCOMPARE(QRect(0, selected.y(), selected.width(), selected.height()), QRect(0, 20, 250, 20));
            QVERIFY(selected.x() >= 120);
            // No caption is cut, and the fields start right of the longest.
            for (QLabel *l : d->findChildren<QLabel *>(QRegularExpression("^Label_"))) {
                QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
                QVERIFY2(l->geometry().right() < selected.x(), qPrintable(l->text()));
            }
            QCOMPARE(child<QLabel>(d, "Label_LetztesMail")->text(), QStringLiteral("Letztes Mail"));
            QCOMPARE(child<QLabel>(d, "Label_LetztesMail")->y(), 62);
            QCOMPARE(child<QComboBox>(d, "Combo_Land")->count(), 5);
            QCOMPARE(child<QComboBox>(d, "Combo_Land")->itemText(1), QStringLiteral("A"));
            child<QLineEdit>(d, "Edit_Mail")->setText("neu@example.de");
            child<QLineEdit>(d, "Edit_Name")->setText("Neumann");
            child<QComboBox>(d, "Combo_Anrede")->setEditText("Frau Dr.");
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        QCOMPARE(m_editor->ExecuteEditor(1), int(QDialog::Accepted));
        QCOMPARE(seen, (QStringList{"Neueingabe", "Speichern (F2)"}));
        AddressTable &t = p.table();
        QCOMPARE(t.recordCount(), 4);
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.text("Mail"), QStringLiteral("neu@example.de"));
        QCOMPARE(t.text("Anrede"), QStringLiteral("Frau Dr."));
        QCOMPARE(t.text("Selected"), QStringLiteral("True"));
        QCOMPARE(t.text("Invalid"), QStringLiteral("False"));
        QCOMPARE(t.text("LetztesMail"), QString());
        // The rows are gone with the dialog.
        QVERIFY(!m_editor->findChild<QLineEdit *>("Edit_Mail"));
    }

    void anAddressAlreadyStoredIsAskedFor()
    {
        Program p;
        // Two stored addresses hold it; the answer to the last question counts.
        p.boxes.answer(MsgButton::Yes);
        p.boxes.answer(MsgButton::No);
        whenShown([&](QDialog *d) {
            child<QLineEdit>(d, "Edit_Mail")->setText("ANNA@example.de");
            child<QToolButton>(d, "OKSpeedButton")->click();
            QVERIFY(d->isVisible());
            QCOMPARE(p.table().state(), AddressTable::State::Insert);
            QVERIFY(p.boxes.takeExpected(MsgKind::Question, duplicateQuestion("anna@example.de")));
            QVERIFY(p.boxes.takeExpected(MsgKind::Question, duplicateQuestion("marianna@example.de")));
            // Corrected, it is saved without a question.
            child<QLineEdit>(d, "Edit_Mail")->setText("anna@example.com");
            QTest::keyClick(child<QLineEdit>(d, "Edit_Name"), Qt::Key_F2);
        });
        QCOMPARE(m_editor->ExecuteEditor(1), int(QDialog::Accepted));
        QCOMPARE(column(p.table(), "Mail").last(), QStringLiteral("anna@example.com"));
        // With the check switched off nobody is asked.
        MainState().CheckNewAddresses = false;
        whenShown([&](QDialog *d) {
            child<QLineEdit>(d, "Edit_Mail")->setText("anna@example.de");
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        QCOMPARE(m_editor->ExecuteEditor(1), int(QDialog::Accepted));
        QCOMPARE(p.table().recordCount(), 5);
    }

    void editingTheCurrentRecord()
    {
        Program p;
        AddressTable &t = p.table();
        t.moveTo(1);
        QSignalSpy posts(&t, &AddressTable::afterPost);
        // Nothing changed: closed without a post.
        whenShown([&](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, "Edit_Name")->text(), QStringLiteral("Meier"));
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        QCOMPARE(m_editor->ExecuteEditor(0), int(QDialog::Accepted));
        QCOMPARE(posts.count(), 0);
        // A value the field cannot hold is said and the dialog stays; Esc gives up.
        whenShown([&](QDialog *d) {
            QCOMPARE(child<QLabel>(d, "ESLabel1")->text(), QStringLiteral("Bearbeiten"));
            child<QLineEdit>(d, "Edit_Name")->setText("Maier");
            child<QLineEdit>(d, "Edit_LetztesMail")->setText("31.02.2011");
            child<QToolButton>(d, "OKSpeedButton")->click();
            QVERIFY(d->isVisible());
            const MessageRecorder::Box box = p.boxes.take();
            QCOMPARE(box.kind, MsgKind::Error);
            QVERIFY2(box.text.startsWith("Letztes Mail: "), qPrintable(box.text));
            QTest::keyClick(child<QLineEdit>(d, "Edit_Mail"), Qt::Key_Escape);
        });
        QCOMPARE(m_editor->ExecuteEditor(0), int(QDialog::Rejected));
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.text("Name"), QStringLiteral("Meier"));
        QCOMPARE(posts.count(), 0);
        // Changed and saved; a blank boolean left alone stays blank.
        whenShown([&](QDialog *d) {
            child<QLineEdit>(d, "Edit_Name")->setText("Maier");
            child<QCheckBox>(d, "Check_Invalid")->setChecked(true);
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        QCOMPARE(m_editor->ExecuteEditor(0), int(QDialog::Accepted));
        QCOMPARE(t.row(), 1);
        QCOMPARE(t.text("Name"), QStringLiteral("Maier"));
        QCOMPARE(t.text("Invalid"), QStringLiteral("True"));
        QCOMPARE(t.text("Selected"), QString());
    }

    void deletingTheCurrentRecord()
    {
        Program p;
        AddressTable &t = p.table();
        t.moveTo(0);
        p.boxes.answer(MsgButton::No);
        p.boxes.answer(MsgButton::Yes);
        for (int i = 0; i < 2; ++i) {
            whenShown([&](QDialog *d) {
                QCOMPARE(child<QLabel>(d, "ESLabel1")->text(), QStringLiteral("Löschen"));
                QCOMPARE(child<QToolButton>(d, "OKSpeedButton")->text(), QStringLiteral("Löschen (F2)"));
                QVERIFY(child<QLineEdit>(d, "Edit_Name")->isReadOnly());
                QVERIFY(!child<QCheckBox>(d, "Check_Selected")->isEnabled());
                child<QToolButton>(d, "OKSpeedButton")->click();
            });
            QCOMPARE(m_editor->ExecuteEditor(2), int(QDialog::Accepted));
            const MessageRecorder::Box box = p.boxes.take();
            QCOMPARE(box.kind, MsgKind::Information);
            QCOMPARE(box.text, QStringLiteral("Datensatz wirklich löschen?"));
            QCOMPARE(box.buttons, (QList<MsgButton>{MsgButton::Yes, MsgButton::No}));
            QCOMPARE(t.recordCount(), i == 0 ? 3 : 2);
        }
        QCOMPARE(column(t, "Mail"), (QStringList{"marianna@example.de", "carl@example.de"}));
    }

    void theRulesAreAskedAtTheirPoints()
    {
        Program p;
        int starts = 0;
        QStringList defaults;
        m_editor->setRules(std::make_unique<CountingRules>(&starts, &defaults, false));
        whenShown([&](QDialog *d) {
            child<QLineEdit>(d, "Edit_Mail")->setText("x@example.de");
            child<QToolButton>(d, "OKSpeedButton")->click();
            QVERIFY(d->isVisible());
            child<QToolButton>(d, "AbortSpeedButton")->click();
        });
        QCOMPARE(m_editor->ExecuteEditor(1), int(QDialog::Rejected));
        m_editor->setRules(nullptr);
        QCOMPARE(starts, 1);
        // Every field but the check boxes.
        QCOMPARE(defaults.size(), p.table().fieldCount() - 2);
        QVERIFY(defaults.contains("Mail") && !defaults.contains("Selected"));
        QCOMPARE(p.table().recordCount(), 3);
        QCOMPARE(p.table().state(), AddressTable::State::Browse);
    }

    void theHelpPage()
    {
        Program p;
        ShellRecorder shell;
        TProductInfo info = ProductInfo();
        info.HelpFile = QStringLiteral("help.html");
        SetProductInfo(info);
        whenShown([&](QDialog *d) {
            child<QPushButton>(d, "HilfeBitBtn")->click();
            child<QToolButton>(d, "AbortSpeedButton")->click();
        });
        m_editor->ExecuteEditor(0);
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(p.dir.file("help/help.html"))});
    }

    // -----------------------------------------------------------------------
    // The search dialog

    void exactSearchBothWays()
    {
        Program p;
        QStringList lines;
        auto result = [&](QDialog *d) {
            QStringList r;
            for (const char *name : {"ResultLabel1", "ResultLabel2", "ResultLabel3"})
                r << child<QLabel>(d, name)->text();
            return r.join('|') + (child<QPushButton>(d, "BearbeitenBitBtn")->isEnabled() ? "|E" : "") +
                   (child<QPushButton>(d, "DeleteBitBtn")->isEnabled() ? "|D" : "");
        };
        whenShown([&](QDialog *d) {
            QCOMPARE(child<QPushButton>(d, "OKButton")->text(), QStringLiteral("Suchen [F3]"));
            child<QLineEdit>(d, "Edit1")->setText(" berlin ");
            for (int i = 0; i < 3; ++i) {
                child<QPushButton>(d, "OKButton")->click();
                lines << result(d);
            }
            QCOMPARE(child<QPushButton>(d, "OKButton")->text(), QStringLiteral("Weiter suchen [F3]"));
            // Backward from the last record, by the key F3.
            child<QCheckBox>(d, "ReverseCheckbox")->setChecked(true);
            child<QLineEdit>(d, "Edit1")->setText("BERLIN");
            QTest::keyClick(child<QLineEdit>(d, "Edit1"), Qt::Key_F3);
            lines << result(d);
            // With case, nothing at all.
            child<QCheckBox>(d, "GrossKleinCheckBox")->setChecked(true);
            QTest::keyClick(child<QLineEdit>(d, "Edit1"), Qt::Key_Return);
            lines << result(d);
            child<QPushButton>(d, "BitBtn1")->click();
        });
        m_search->ShowSearchDialog(Qt::white, Qt::gray, true);
        QCOMPARE(lines, (QStringList{"ID = 1|Name = Adler|Berlin|E|D", "ID = 3|Name = Cordes|Berlin|E|D",
                                     "Kein weiteres Ergebnis gefunden!||", "ID = 3|Name = Cordes|Berlin|E|D",
                                     "Kein Ergebnis gefunden!||"}));
        QCOMPARE(p.table().row(), 0);
        QVERIFY(p.boxes.isEmpty());
    }

    void fuzzySearchAndTheKeys()
    {
        Program p;
        int edits = 0, deletes = 0;
        m_search->EditRecord = [&] { ++edits; };
        m_search->DeleteRecord = [&] { ++deletes; };
        QStringList lines;
        whenShown([&](QDialog *d) {
            // The search starts afresh at every showing.
            QCOMPARE(child<QLabel>(d, "ResultLabel1")->text(), QString());
            QVERIFY(!child<QPushButton>(d, "BearbeitenBitBtn")->isEnabled());
            child<QCheckBox>(d, "GrossKleinCheckBox")->setChecked(true);
            child<QCheckBox>(d, "ReverseCheckbox")->setChecked(false);
            child<QCheckBox>(d, "LDCheckBox")->setChecked(true);
            QVERIFY(!child<QCheckBox>(d, "GrossKleinCheckBox")->isChecked());
            QVERIFY(m_search->FuzzyMode);
            child<QLineEdit>(d, "Edit1")->setText("hamburk");
            child<QPushButton>(d, "OKButton")->click();
            lines << child<QLabel>(d, "ResultLabel1")->text() + "|" + child<QLabel>(d, "ResultLabel3")->text();
            // The next step by key while a check box has the focus.
            QTest::keyClick(child<QCheckBox>(d, "LDCheckBox"), Qt::Key_F3);
            lines << child<QLabel>(d, "ResultLabel1")->text();
            QTest::keyClick(child<QLineEdit>(d, "Edit1"), Qt::Key_F4);
            QTest::keyClick(child<QPushButton>(d, "OKButton"), Qt::Key_F8);
            QTest::keyClick(child<QLineEdit>(d, "Edit1"), Qt::Key_F1);
            QTest::keyClick(child<QLineEdit>(d, "Edit1"), Qt::Key_Escape);
        });
        p.table().moveTo(1);
        QCOMPARE(m_search->ShowSearchDialog(Qt::white, Qt::gray, true), int(QDialog::Rejected));
        m_search->EditRecord = m_search->DeleteRecord = nullptr;
        QCOMPARE(lines, (QStringList{"ID = 2|Hamburg", "Kein weiteres Ergebnis gefunden!"}));
        QCOMPARE(edits, 1);
        QCOMPARE(deletes, 1);
        QVERIFY(p.boxes.takeExpected(
            MsgKind::Information,
            "Was ist eine unscharfe Suche?\nMit dem Algorithmus der Levenshtein-Distanz werden nicht nur exakte "
            "Übereinstimmungen mit dem Suchbegriff angezeigt, sondern auch Näherungswerte miteinbezogen um "
            "beispielsweise Vertipper trotzdem zu finden."));
        m_search->findChild<QCheckBox *>("LDCheckBox")->setChecked(false);
    }

    void backupFolderListShowsItsFolder()
    {
        // Many folders load beside the chosen one after it was chosen; it must stay in view.
        TestFolder root;
        for (int i = 0; i < 80; ++i)
            QVERIFY(QDir(root.path()).mkpath(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0'))));
        QVERIFY(QDir(root.path()).mkpath("z/Sicherung"));
        TBackupForm form;
        form.DefaultFolder = root.file("z/Sicherung");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *tree = form.findChild<QTreeView *>("DirectoryListBox1");
        auto *model = static_cast<QFileSystemModel *>(tree->model());
        QTRY_COMPARE(model->rowCount(model->index(WithoutTrailingSlash(root.path()))), 81);
        // Sorting and loading go on in the background for a while, also under a busy machine.
        QTRY_COMPARE(model->filePath(tree->currentIndex()), root.file("z/Sicherung"));
        QTRY_VERIFY(tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())));
    }
};

QTEST_MAIN(TestRecordForms)
#include "tst_recordforms.moc"
