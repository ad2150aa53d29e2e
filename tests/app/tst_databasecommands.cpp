// The main window's commands for databases and single records, each dialog
// driven by its controls' names: creating a database and finding it among
// those to open, opening and cancelling, deleting, clearing, the record editor
// and the search from the window, a backup restored into a fresh program
// folder, a restore that fails on the way, a transfer between databases, and
// the refusals while a send run is going.
#include "backupform.h"
#include "clock.h"
#include "databasebackup.h"
#include "databasefiles.h"
#include "mainformfixture.h"
#include "modal.h"
#include "paths.h"
#include "tablefixture.h"
#include "textfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QToolButton>

using namespace vt;

namespace {

// Drives the dialogs in the order they are shown, one driver each; a dialog
// nobody expected fails the test. A dialog still open after its driver is cancelled.
struct Dialogs
{
    QList<std::function<void(QDialog *)>> drivers;
    QStringList shown;
    Dialogs()
    {
        Modal::setHandler([this](QDialog *d) {
            shown.append(d->objectName());
            if (drivers.isEmpty()) {
                QTest::qFail(qPrintable("unexpected dialog " + d->objectName()), __FILE__, __LINE__);
                return int(QDialog::Rejected);
            }
            const auto drive = drivers.takeFirst();
            d->show();
            drive(d);
            const int result = d->isVisible() ? int(QDialog::Rejected) : d->result();
            d->hide();
            return result;
        });
    }
    ~Dialogs()
    {
        Modal::setHandler({});
        if (!drivers.isEmpty())
            QTest::qFail("a dialog that was expected was not shown", __FILE__, __LINE__);
    }
    void then(const std::function<void(QDialog *)> &drive) { drivers.append(drive); }
};

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        QTest::qFail(qPrintable(QStringLiteral("no control ") + QLatin1String(name)), __FILE__, __LINE__);
    return c;
}

QStringList items(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// Prepares a second database "Kunden" with three columns of its own and its
// records in the program folder, before the window is made.
std::function<void(TestFolder &)> withCustomers(const QList<FieldValues> &records)
{
    return [records](TestFolder &dir) {
        QString error;
        QVERIFY2(
            CreateDatabase(dir.path(), dir.file("Data/"), {"Kunden", "kunden", {"Firma", "Telefon", "Notiz"}}, &error),
            qPrintable(error));
        AddressTable t;
        QVERIFY(t.open(dir.file("Data/kunden.DB")));
        QVERIFY(fill(t, records));
    };
}

qint64 countIn(const QString &tableFile)
{
    return readOnce(tableFile, "SELECT count(*) FROM address").toLongLong();
}

QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        out.insert(f.fileName(), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?"));
    }
    return out;
}

const QList<FieldValues> kCustomers = {
    {{"Mail", "a@kunde.de"}, {"Name", "Adler"}, {"Selected", true}, {"Spalte1", "Adler GmbH"}, {"Spalte2", "030"}},
    {{"Mail", "b@kunde.de"}, {"Name", "Berg"}, {"Selected", false}, {"Spalte1", "Berg AG"}, {"Spalte3", "intern"}},
    {{"Mail", "c@kunde.de"}, {"Name", "Cordes"}, {"Selected", true}, {"Spalte2", "040"}, {"Spalte3", "intern"}}};

const QList<FieldValues> kFour = {{{"Mail", "anna@example.de"}, {"Name", "Zorn"}, {"Ort", "Berlin"}},
                                  {{"Mail", "bert@example.de"}, {"Name", "Adler"}},
                                  {{"Mail", "carl@example.de"}, {"Name", "Maier"}, {"Ort", "Berlin"}},
                                  {{"Mail", "dora@example.de"}, {"Name", "Berg"}}};

const QString kRestoreQuestion = QStringLiteral(
    "Wollen Sie diese Backup wirklich wieder herstellen?\n\nHinweis: Damit wird die derzeitige Datenbank "
    "überschrieben. Derzeitige Daten gehen somit verloren!");

} // namespace

class TestDatabaseCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    void cleanup() { Clock::setFixed({}); }

    void creatingADatabaseWithThreeColumns()
    {
        StartedMain m;
        Dialogs dialogs;
        QVERIFY(!m.child<QPushButton>("OpenModeBitBtn")->isVisibleTo(m.form.get()));
        dialogs.then([](QDialog *d) {
            QCOMPARE(d->objectName(), QStringLiteral("TNewDatabaseForm"));
            QCOMPARE(child<QPlainTextEdit>(d, "Memo2")->toPlainText().split('\n').size(), 9);
            child<QLineEdit>(d, "Edit1")->setText("Kunden 2010");
            child<QPlainTextEdit>(d, "Memo2")->setPlainText("Firma\nTelefon\nNotiz\n");
            child<QPushButton>(d, "BitBtn1")->click();
        });
        m.form->commandAction("NeueDatenbankerzeugen1")->trigger();
        QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Datenbank wurde erzeugt!"));
        QCOMPARE(ReadLines(m.dir.file("Buttons.ini")).last(),
                 QStringLiteral("Kunden 2010| cddrive.bmp|kunden_2010.ini"));
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("kunden_2010.ini"));
        QCOMPARE(m.child<QLabel>("DatabaseLabel")->text(), QStringLiteral("Geöffnete Datenbank: Kunden 2010"));
        QCOMPARE(m.table()->fieldNames().mid(8), (QStringList{"Spalte1", "Spalte2", "Spalte3"}));
        QCOMPARE(ReadFirstLine(m.dir.file("LastopenDB.inc")), QStringLiteral("kunden_2010.ini"));
        QVERIFY(m.child<QPushButton>("OpenModeBitBtn")->isVisibleTo(m.form.get()));
        QVERIFY(m.form->commandAction("Datentransfer1")->isEnabled());

        // The name is taken now: said, and the dialog stays until it is cancelled.
        dialogs.then([&](QDialog *d) {
            child<QLineEdit>(d, "Edit1")->setText("  KUNDEN 2010");
            child<QPushButton>(d, "BitBtn1")->click();
            QVERIFY(d->isVisible());
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Eine Datenbank mit dem Namen \"kunden_2010\" existiert "
                                                               "bereits. Bitte wählen Sie einen anderen Namen!"));
            child<QPushButton>(d, "BitBtn2")->click();
        });
        m.form->commandAction("NeueDatenbankerzeugen1")->trigger();

        // It is among the databases to open; cancelling opens nothing.
        dialogs.then([](QDialog *d) {
            QCOMPARE(child<QLabel>(d, "TopLabel")->text(), QStringLiteral("Öffnen Datenbank"));
            QCOMPARE(items(child<QListWidget>(d, "ListBox1")), (QStringList{"Hauptdatenbank", "Kunden 2010"}));
            QVERIFY(child<QPushButton>(d, "OpenBitBtn")->isVisible());
            QVERIFY(!child<QPushButton>(d, "DeleteBitBtn")->isVisible());
            child<QPushButton>(d, "AbortBitBtn")->click();
        });
        m.form->commandAction("Datenbankffnen2")->trigger();
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("kunden_2010.ini"));
        QCOMPARE(dialogs.shown, (QStringList{"TNewDatabaseForm", "TNewDatabaseForm", "TSelectDatabaseForm"}));
    }

    void openingAnotherDatabase()
    {
        StartedMain m(withCustomers(kCustomers));
        Dialogs dialogs;
        dialogs.then([&](QDialog *d) {
            child<QPushButton>(d, "OpenBitBtn")->click();
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Bitte treffen Sie zuerst eine Auswahl!"));
            child<QListWidget>(d, "ListBox1")->setCurrentRow(1);
            child<QPushButton>(d, "OpenBitBtn")->click();
        });
        m.form->commandAction("Datenbankffnen2")->trigger();
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("kunden.ini"));
        QCOMPARE(m.table()->recordCount(), 3);
        QCOMPARE(ReadFirstLine(m.dir.file("LastopenDB.inc")), QStringLiteral("kunden.ini"));
        // A later cancel keeps it, whatever was chosen before.
        dialogs.then([](QDialog *d) {
            child<QListWidget>(d, "ListBox1")->setCurrentRow(0);
            child<QPushButton>(d, "AbortBitBtn")->click();
        });
        m.form->commandAction("Datenbankffnen2")->trigger();
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("kunden.ini"));
    }

    void deletingADatabase()
    {
        StartedMain m(withCustomers(kCustomers));
        QVERIFY(m.state().OpenDatabase("kunden.ini"));
        Dialogs dialogs;
        auto choose = [&](int row) {
            dialogs.then([row](QDialog *d) {
                QCOMPARE(child<QLabel>(d, "TopLabel")->text(), QStringLiteral("Löschen Datenbank"));
                QVERIFY(!child<QPushButton>(d, "OpenBitBtn")->isVisible());
                child<QListWidget>(d, "ListBox1")->setCurrentRow(row);
                child<QPushButton>(d, "DeleteBitBtn")->click();
            });
            m.form->commandAction("Datenbanklschen2")->trigger();
        };
        const QString first = "Wollen Sie diese Datenbank wirklich löschen?";
        const QString second = "Alle Daten dieser Datenbank gehen verloren! Wirklich löschen?";
        // No at either question changes nothing.
        m.boxes.answer(MsgButton::No);
        choose(1);
        QVERIFY(m.boxes.takeExpected(MsgKind::Question, first));
        m.boxes.answer(MsgButton::Yes);
        m.boxes.answer(MsgButton::No);
        choose(1);
        QVERIFY(m.boxes.takeExpected(MsgKind::Question, first));
        QVERIFY(m.boxes.takeExpected(MsgKind::Question, second));
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("kunden.ini"));
        QVERIFY(IsFile(m.state().DataFolder + "kunden.DB"));
        // Yes to both.
        m.boxes.answer(MsgButton::Yes);
        m.boxes.answer(MsgButton::Yes);
        choose(1);
        QCOMPARE(m.boxes.takeTexts(), (QStringList{first, second}));
        QCOMPARE(m.state().DatabaseIniName, QStringLiteral("Database.ini"));
        QCOMPARE(ReadFirstLine(m.dir.file("LastopenDB.inc")), QStringLiteral("Database.ini"));
        QCOMPARE(QDir(m.state().DataFolder).entryList({"kunden.*"}), QStringList());
        QCOMPARE(m.state().DatabaseCatalog.size(), 2);
        // The base database cannot be deleted.
        choose(0);
        QVERIFY(m.boxes.takeExpected(MsgKind::Information,
                                     "Diese Datenbank ist die Grundstockdatenbank von Vantrel!\n\nDiese Datenbank kann "
                                     "nicht gelöscht werden!\n\nWollen Sie diese Daten trotzdem löschen, gehen Sie auf "
                                     "den Menüpunkt \"Löschen --> Datenbank komplett leeren\""));
        QVERIFY(IsFile(m.state().DataFolder + "Database.DB"));
    }

    void clearingTheOpenDatabase()
    {
        MainOnScreen m(kFour);
        const QByteArray pro = m.dir.read("Data/Database.pro");
        const QString ask1 = "Datenbank komplett leeren? Alle Datensätze gehen dabei verloren!";
        const QString ask2 = "Wollen Sie wirklich alle Datensätze in dieser Datenbank löschen?";
        m.boxes.answer(MsgButton::Yes);
        m.boxes.answer(MsgButton::No);
        m.form->commandAction("Datenbankkomplettleeren1")->trigger();
        QCOMPARE(m.boxes.takeTexts(), (QStringList{ask1, ask2}));
        QCOMPARE(m.table()->recordCount(), 4);
        m.boxes.answer(MsgButton::Yes);
        m.boxes.answer(MsgButton::Yes);
        m.form->commandAction("Datenbankkomplettleeren1")->trigger();
        QCOMPARE(m.boxes.takeTexts(), (QStringList{ask1, ask2}));
        QCOMPARE(m.table()->recordCount(), 0);
        QCOMPARE(m.statusPanel(), QStringLiteral("0 Datensätze"));
        QCOMPARE(m.dir.read("Data/Database.pro"), pro);
        QVERIFY(IsFile(m.dir.file("Data/Database.grd")));
        // The numbering starts again.
        m.add({{{"Mail", "neu@example.de"}}});
        QCOMPARE(column(*m.table(), "ID"), QStringList{"1"});
    }

    void recordsThroughTheEditor()
    {
        MainOnScreen m(kFour);
        Dialogs dialogs;
        // Edit the current record.
        m.goTo(1, "Name");
        dialogs.then([](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, "Edit_Name")->text(), QStringLiteral("Adler"));
            child<QLineEdit>(d, "Edit_Name")->setText("Adlerhorst");
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        m.child<QPushButton>("EditBitBtn")->click();
        QCOMPARE(m.table()->textAt(1, m.table()->fieldIndex("Name")), QStringLiteral("Adlerhorst"));
        // A new one becomes the current record of the grid.
        dialogs.then([](QDialog *d) {
            child<QLineEdit>(d, "Edit_Mail")->setText("emil@example.de");
            child<QToolButton>(d, "OKSpeedButton")->click();
        });
        m.child<QPushButton>("NewBitBtn")->click();
        QCOMPARE(m.table()->recordCount(), 5);
        QCOMPARE(m.grid()->currentIndex().row(), 4);
        QCOMPARE(m.statusPanel(), QStringLiteral("5 Datensätze"));
        QVERIFY(m.grid()->hasFocus());
        // Delete the current record, after the question.
        m.goTo(0, "Mail");
        m.boxes.answer(MsgButton::Yes);
        dialogs.then([](QDialog *d) { child<QToolButton>(d, "OKSpeedButton")->click(); });
        m.child<QPushButton>("DeleteBitBtn")->click();
        QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Datensatz wirklich löschen?"));
        QCOMPARE(m.table()->recordCount(), 4);
        QVERIFY(!column(*m.table(), "Mail").contains("anna@example.de"));
        QCOMPARE(dialogs.shown, (QStringList{"TEdForm", "TEdForm", "TEdForm"}));
    }

    void aNewRecordListsTheAddressesAlreadyThere()
    {
        QList<FieldValues> records = kFour;
        records.append(FieldValues{{"Name", "Ahrens"}, {"Ort", "Berlin"}});
        records.append(FieldValues{{"Mail", "jürgen@example.de"}, {"Name", "Kurz"}, {"Ort", "Berlin"}});
        MainOnScreen m(records);
        Dialogs dialogs;
        const QString list = m.state().AppFolder + "SchonInDB.list";
        auto cancel = [](QDialog *d) { child<QToolButton>(d, "AbortSpeedButton")->click(); };
        // The records the grid shows, in its order: a blank address is an empty line.
        m.clickTitle("Name");
        QVERIFY(m.table()->setFilterText("Ort='Berlin'") && m.table()->setFiltered(true));
        dialogs.then(cancel);
        m.form->commandAction("NewRec")->trigger();
        QFile f(list);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\r\nj\xfcrgen@example.de\r\ncarl@example.de\r\nanna@example.de\r\n"));
        f.close();
        // An address beyond the code page: UTF-8.
        QVERIFY(m.table()->updateFields(1, {{"Mail", "ωmega@example.de"}}));
        dialogs.then(cancel);
        m.form->commandAction("NewRec")->trigger();
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith("carl@example.de\r\n\xcf\x89mega@example.de\r\n"));
        f.close();
        // Without the address check no list is written.
        QVERIFY(QFile::remove(list));
        m.state().CheckNewAddresses = false;
        dialogs.then(cancel);
        m.form->commandAction("NewRec")->trigger();
        QVERIFY(!QFileInfo::exists(list));
        QCOMPARE(m.table()->recordCount(), 4);
        QVERIFY(m.boxes.isEmpty());
    }

    void anEmptyTableHasNoRecordToEdit()
    {
        StartedMain m;
        m.form->commandAction("EditRec")->trigger();
        m.form->commandAction("DeleteRec")->trigger();
        QCOMPARE(m.boxes.takeTexts(), QStringList(2, "Die Datenbank enthält keinen Datensatz!"));
    }

    void searchingFromTheWindow()
    {
        MainOnScreen m(kFour);
        Dialogs dialogs;
        dialogs.then([&](QDialog *d) {
            QCOMPARE(d->objectName(), QStringLiteral("THVL_DB_SearchForm"));
            child<QLineEdit>(d, "Edit1")->setText("berlin");
            child<QPushButton>(d, "OKButton")->click();
            child<QPushButton>(d, "OKButton")->click();
            QCOMPARE(child<QLabel>(d, "ResultLabel1")->text(), QStringLiteral("ID = 3"));
            QCOMPARE(m.grid()->currentIndex().row(), 2);
            // The editor opens over the dialog for the record found.
            child<QPushButton>(d, "BearbeitenBitBtn")->click();
            child<QPushButton>(d, "BitBtn1")->click();
        });
        dialogs.then([](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, "Edit_Mail")->text(), QStringLiteral("carl@example.de"));
            child<QToolButton>(d, "AbortSpeedButton")->click();
        });
        m.form->commandAction("Suchen1")->trigger();
        QCOMPARE(dialogs.shown, (QStringList{"THVL_DB_SearchForm", "TEdForm"}));
        QCOMPARE(m.table()->row(), 2);
        // The toolbar's search starts from the first record.
        dialogs.then([&](QDialog *) { QCOMPARE(m.table()->row(), 0); });
        m.form->commandAction("SearchTB")->trigger();
        QCOMPARE(m.statusPanel(), QStringLiteral("4 Datensätze"));
    }

    void aBackupRestoredIntoAFreshProgramFolder()
    {
        QTemporaryDir target;
        Clock::setFixed(QDateTime(QDate(2012, 5, 6), QTime(9, 0)));
        {
            MainOnScreen m(kFour, withCustomers(kCustomers));
            Dialogs dialogs;
            auto backup = [&] {
                dialogs.then([&](QDialog *d) {
                    QCOMPARE(child<QLabel>(d, "DoLabel")->text(),
                             QStringLiteral("Backup soll im folgendem Ordner erstellt werden:"));
                    QCOMPARE(child<QPushButton>(d, "SaveBitBtn")->text(), QStringLiteral("Speichern"));
                    QVERIFY(!child<QListWidget>(d, "ListBox1")->isVisible());
                    static_cast<TBackupForm *>(d)->selectFolder(target.path());
                    child<QLineEdit>(d, "FileNameEdit")->setText("Sicherung");
                    child<QPushButton>(d, "SaveBitBtn")->click();
                });
                m.form->commandAction("Backup2")->trigger();
            };
            backup();
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Backup wurde durchgeführt!"));
            QCOMPARE(ReadFirstLine(m.dir.file("BackupPath.ini")), target.path());
            QCOMPARE(countIn(target.filePath("Sicherung/kunden.DB")), 3);
            // A second backup there asks first; No copies nothing.
            m.boxes.answer(MsgButton::No);
            QFile::remove(target.filePath("Sicherung/Vantrel_Backup.bup"));
            backup();
            QVERIFY(m.boxes.takeExpected(MsgKind::Question, "Altes Backup überschreiben?"));
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Backup wurde nicht durchgeführt! Wählen Sie einen "
                                                               "neuen Ordner für das neue Backup!"));
            QVERIFY(!QFile::exists(target.filePath("Sicherung/Vantrel_Backup.bup")));
            m.boxes.answer(MsgButton::Yes);
            backup();
            QVERIFY(m.boxes.takeExpected(MsgKind::Question, "Altes Backup überschreiben?"));
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Backup wurde durchgeführt!"));
        }
        // Another program folder, with nothing but the empty base database.
        StartedMain fresh;
        QCOMPARE(fresh.table()->recordCount(), 0);
        Dialogs dialogs;
        fresh.boxes.answer(MsgButton::Yes);
        dialogs.then([&](QDialog *d) {
            QCOMPARE(child<QLabel>(d, "DoLabel")->text(), QStringLiteral("Ordner mit Backup auswählen:"));
            QCOMPARE(child<QPushButton>(d, "SaveBitBtn")->text(), QStringLiteral("Öffnen"));
            QVERIFY(!child<QLineEdit>(d, "FileNameEdit")->isVisible());
            static_cast<TBackupForm *>(d)->selectFolder(target.filePath("Sicherung"));
            QCOMPARE(items(child<QListWidget>(d, "ListBox1")), (QStringList{"Vantrel Backup", "06.05.2012"}));
            child<QPushButton>(d, "SaveBitBtn")->click();
        });
        fresh.form->commandAction("Restore1")->trigger();
        QVERIFY(fresh.boxes.takeExpected(MsgKind::Question, kRestoreQuestion));
        QVERIFY(fresh.boxes.takeExpected(MsgKind::Information, "Backup wurde erfolgreich wiederhergestellt!"));
        // Every record of both databases, the open one opened again, the catalogue's buttons shown.
        QCOMPARE(fresh.state().DatabaseIniName, QStringLiteral("Database.ini"));
        QCOMPARE(column(*fresh.table(), "Mail"),
                 (QStringList{"anna@example.de", "bert@example.de", "carl@example.de", "dora@example.de"}));
        QCOMPARE(fresh.child<QLabel>("StatusPanel")->text(), QStringLiteral("4 Datensätze"));
        QVERIFY(fresh.child<QPushButton>("OpenModeBitBtn")->isVisibleTo(fresh.form.get()));
        QVERIFY(fresh.state().OpenDatabase("kunden.ini"));
        QCOMPARE(column(*fresh.table(), "Spalte1"), (QStringList{"Adler GmbH", "Berg AG", ""}));
        QCOMPARE(ReadFirstLine(fresh.dir.file("BackupPath.ini")), target.filePath("Sicherung"));
    }

    void aRestoreThatFailsChangesNothing()
    {
        QTemporaryDir target;
        {
            MainOnScreen m(kFour, withCustomers(kCustomers));
            QString error;
            QVERIFY(CreateBackup(m.dir.path(), m.state().DataFolder, target.path() + "/", {}, &error));
        }
        // One file of the backup cannot be read any more.
        const QString spoiled = target.filePath("kunden.fil");
        QFile::remove(spoiled);
        QVERIFY(QFile::link(target.filePath("weg"), spoiled));
        MainOnScreen current(QList<FieldValues>{{{"Mail", "einzig@example.de"}}});
        current.state().saveOpenDatabase();
        const auto before = snapshot(current.dir.path());
        Dialogs dialogs;
        current.boxes.answer(MsgButton::Yes);
        dialogs.then([&](QDialog *d) {
            static_cast<TBackupForm *>(d)->selectFolder(target.path());
            child<QPushButton>(d, "SaveBitBtn")->click();
        });
        current.form->commandAction("Restore1")->trigger();
        QVERIFY(current.boxes.takeExpected(MsgKind::Question, kRestoreQuestion));
        QVERIFY(
            current.boxes.takeExpected(MsgKind::Error, "Das Backup wurde nicht wiederhergestellt, die Datenbanken sind "
                                                       "unverändert.\n\nDie Datei " +
                                                           spoiled + " kann nicht geöffnet werden!"));
        auto after = snapshot(current.dir.path());
        after.remove(current.dir.file("BackupPath.ini"));
        QCOMPARE(after, before);
        QCOMPARE(column(*current.table(), "Mail"), QStringList{"einzig@example.de"});
    }

    void aTransferLeavingAColumnOut()
    {
        MainOnScreen m(QList<FieldValues>{{{"Mail", "schon@example.de"}}}, withCustomers(kCustomers));
        Dialogs dialogs;
        m.boxes.answer(MsgButton::No);
        m.boxes.answer(MsgButton::Yes);
        dialogs.then([&](QDialog *d) {
            auto *source = child<QComboBox>(d, "ComboBox1");
            auto *target = child<QComboBox>(d, "ComboBox2");
            QCOMPARE(target->currentText(), QStringLiteral("Hauptdatenbank"));
            QVERIFY(!target->isEnabled());
            QCOMPARE(source->currentIndex(), -1);
            QVERIFY(!child<QPushButton>(d, "StartBitBtn")->isEnabled());
            QCOMPARE(child<QLabel>(d, "Label_Firma")->text(),
                     QStringLiteral("----->  wird übernommen in das Feld \"Firma\""));
            // Every row's text is shown whole; the box scrolls sideways when a row is wider than it.
            for (QLabel *l : d->findChildren<QLabel *>(QRegularExpression("^Label_"))) {
                QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
                QVERIFY2(l->geometry().right() < l->parentWidget()->width(), qPrintable(l->text()));
            }
            // Into itself: refused.
            source->setCurrentIndex(0);
            emit source->activated(0);
            QVERIFY(m.boxes.takeExpected(MsgKind::Information, "Quell und Zieldatenbank identisch! Datensätze können "
                                                               "nicht in sich selbst übernommen werden!"));
            QVERIFY(!child<QPushButton>(d, "StartBitBtn")->isEnabled());
            source->setCurrentIndex(1);
            emit source->activated(1);
            auto *firma = child<QComboBox>(d, "Combo_Firma");
            QStringList offered;
            for (int i = 0; i < firma->count(); ++i)
                offered << firma->itemText(i);
            QCOMPARE(offered, (QStringList{"Nichts", "Firma", "Telefon", "Notiz"}));
            // Nothing mapped: asked, and No keeps the dialog.
            child<QPushButton>(d, "StartBitBtn")->click();
            QVERIFY(d->isVisible());
            QVERIFY(m.boxes.takeExpected(MsgKind::Question, "Wollen Sie wirklich keine weiteren Felder zuordnen?"));
            // Firma and Telefon, Notiz left out; only the marked records.
            firma->setCurrentIndex(1);
            child<QComboBox>(d, "Combo_Tel")->setCurrentIndex(2);
            child<QRadioButton>(d, "SeletctierteRadioButton")->setChecked(true);
            child<QPushButton>(d, "StartBitBtn")->click();
        });
        m.form->commandAction("Datentransfer1")->trigger();
        QVERIFY(m.boxes.takeExpected(MsgKind::Question, "Es werden 2 Datensätze aus der Datenbank \"Kunden\" in die "
                                                        "Datenbank \"Hauptdatenbank \" übernommen.\nWollen Sie den "
                                                        "Transfer starten?"));
        AddressTable &t = *m.table();
        QCOMPARE(column(t, "Mail"), (QStringList{"schon@example.de", "a@kunde.de", "c@kunde.de"}));
        QCOMPARE(column(t, "Firma"), (QStringList{"", "Adler GmbH", ""}));
        QCOMPARE(column(t, "Tel"), (QStringList{"", "030", "040"}));
        for (const FieldDef &f : t.fields())
            QVERIFY2(!column(t, f.name).contains("intern"), qPrintable(f.name));
        QCOMPARE(m.statusPanel(), QStringLiteral("3 Datensätze"));
    }

    void commandsThatChangeTheTableWaitForASendRun()
    {
        MainOnScreen m(kFour, withCustomers({}));
        Dialogs dialogs; // no dialog may open
        m.state().SendRunActive = true;
        const QString refused = QString(TMainState::sendRunActiveText()).replace('\r', '\n');
        const QStringList commands{"NewRec",          "EditRec",          "DeleteRec",
                                   "Datenbankffnen2", "Datenbanklschen2", "NeueDatenbankerzeugen1",
                                   "Datentransfer1",  "Restore1",         "Datenbankkomplettleeren1"};
        for (const QString &c : commands)
            m.form->commandAction(c)->trigger();
        QTest::mouseDClick(m.grid()->viewport(), Qt::LeftButton, {}, m.cell(1, "Name"));
        QCOMPARE(m.boxes.takeTexts(), QStringList(commands.size() + 1, refused));
        QCOMPARE(m.table()->recordCount(), 4);
        // A backup changes nothing and may be made.
        dialogs.then([](QDialog *d) { child<QPushButton>(d, "AbortBitBtn")->click(); });
        m.form->commandAction("Backup2")->trigger();
        QCOMPARE(dialogs.shown, QStringList{"TBackupForm"});
        m.state().SendRunActive = false;
    }
};

QTEST_MAIN(TestDatabaseCommands)
#include "tst_databasecommands.moc"
