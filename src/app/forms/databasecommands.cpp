// The main window's commands for databases and single records: opening,
// creating, deleting and clearing databases, the record editor, the search,
// backup and restore, and the transfer between databases.
#include "backupform.h"
#include "databasefiles.h"
#include "dbgrid.h"
#include "definitionfiles.h"
#include "edform.h"
#include "forms.h"
#include "hvldbsearchform.h"
#include "mainform.h"
#include "messages.h"
#include "migrationform.h"
#include "modal.h"
#include "newdatabaseform.h"
#include "recordeditor.h"
#include "selectdatabaseform.h"
#include "sendrunguard.h"
#include "text.h"

#include <QApplication>

namespace vt {

namespace {

const QString kBaseDatabase = QStringLiteral("Database.ini");

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void TMainForm::wireDatabaseCommands()
{
    const struct
    {
        const char *name;
        void (TMainForm::*handler)();
    } commands[] = {
        {"NewRec", &TMainForm::NewRecord},
        {"EditRec", &TMainForm::EditRecord},
        {"DeleteRec", &TMainForm::DeleteRecord},
        {"Suchen1", &TMainForm::Suchen1Click},
        {"SearchTB", &TMainForm::SearchTBClick},
        {"ImportBitBtn", &TMainForm::ImportBitBtnClick},
        {"Datenbankffnen2", &TMainForm::OpenModeClick},
        {"Datenbanklschen2", &TMainForm::Datenbanklschen2Click},
        {"NeueDatenbankerzeugen1", &TMainForm::NeueDatenbankerzeugen1Click},
        {"Datenbankkomplettleeren1", &TMainForm::Datenbankkomplettleeren1Click},
        {"Backup2", &TMainForm::Backup2Click},
        {"Restore1", &TMainForm::Restore1Click},
        {"Datentransfer1", &TMainForm::Datentransfer1Click},
    };
    for (const auto &c : commands)
        setCommandHandler(QLatin1String(c.name), [this, handler = c.handler] { (this->*handler)(); });
}

// ---------------------------------------------------------------------------
// Single records

void TMainForm::recordEditor(int mode)
{
    TMainState &s = MainState();
    if (!s.CurrentTable) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    // The grid's double click comes here without the command's own check.
    if (CommandRefusedDuringSendRun())
        return;
    if (mode != 1 && s.CurrentTable->currentId() < 0) {
        information(QStringLiteral("Die Datenbank enthält keinen Datensatz!"));
        return;
    }
    // The addresses already there, for the user to look at; the editor's own
    // check reads the table itself when the record is saved, so a list another
    // workstation wrote meanwhile cannot mislead it.
    if (mode == 1 && s.CheckNewAddresses) {
        QString why;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool written =
            WriteStoredAddresses(*s.CurrentTable, s.AppFolder + QStringLiteral("SchonInDB.list"), &why);
        QApplication::restoreOverrideCursor();
        if (!written)
            error(why);
    }
    EdForm()->ExecuteEditor(mode);
    DBGrid1->setFocus();
}

void TMainForm::NewRecord()
{
    recordEditor(1);
}

void TMainForm::EditRecord()
{
    recordEditor(0);
}

void TMainForm::DeleteRecord()
{
    recordEditor(2);
}

void TMainForm::showSearch(const QColor &start, const QColor &end)
{
    THVL_DB_SearchForm *form = HVL_DB_SearchForm();
    // The record editor opens over the dialog for the record found.
    form->EditRecord = [this] { runCommand(QStringLiteral("EditRec")); };
    form->DeleteRecord = [this] { runCommand(QStringLiteral("DeleteRec")); };
    form->ShowSearchDialog(start, end, true);
}

void TMainForm::Suchen1Click()
{
    // The colours of the gradient behind the toolbar.
    showSearch(QColor(0xdf, 0xe9, 0xf5), QColor(0xa9, 0xc6, 0xe8));
}

void TMainForm::SearchTBClick()
{
    TMainState &s = MainState();
    s.CurrentTable->first();
    Suchen1Click();
    s.ShowRecordCount();
}

void TMainForm::ImportBitBtnClick()
{
    showSearch(Qt::white, QColor(218, 218, 218));
}

// ---------------------------------------------------------------------------
// Databases

void TMainForm::OpenModeClick()
{
    TSelectDatabaseForm *form = SelectDatabaseForm();
    form->SelectMode = 0;
    // Cancelling leaves the open database as it is.
    if (Modal::exec(form) != QDialog::Accepted || form->SelectedDefinitionFile.isEmpty())
        return;
    TMainState &s = MainState();
    if (s.OpenDatabase(form->SelectedDefinitionFile))
        s.writeLastOpenDatabase(form->SelectedDefinitionFile);
}

void TMainForm::Datenbanklschen2Click()
{
    TSelectDatabaseForm *form = SelectDatabaseForm();
    form->SelectMode = 1;
    Modal::exec(form);
}

void TMainForm::DeleteSelectedDatabase()
{
    TMainState &s = MainState();
    const QString name = SelectDatabaseForm()->SelectedDefinitionFile;
    if (AsciiUpper(name) == QLatin1String("DATABASE.INI")) {
        information(QStringLiteral("Diese Datenbank ist die Grundstockdatenbank von Vantrel!\r\rDiese Datenbank kann "
                                   "nicht gelöscht werden!\r\rWollen Sie diese Daten trotzdem löschen, gehen Sie auf "
                                   "den Menüpunkt \"Löschen --> Datenbank komplett leeren\""));
        s.OpenDatabase(kBaseDatabase);
        return;
    }
    if (!question(QStringLiteral("Wollen Sie diese Datenbank wirklich löschen?")) ||
        !question(QStringLiteral("Alle Daten dieser Datenbank gehen verloren! Wirklich löschen?")))
        return;
    s.saveOpenDatabase();
    s.FreeTableComponents();
    QString problem;
    const bool deleted = DeleteDatabase(s.AppFolder, s.DataFolder, name, &problem);
    s.loadDatabaseCatalog();
    if (!deleted)
        error(problem);
    s.writeLastOpenDatabase(kBaseDatabase);
    s.OpenDatabase(kBaseDatabase);
}

void TMainForm::NeueDatenbankerzeugen1Click()
{
    TNewDatabaseForm *form = NewDatabaseForm();
    if (Modal::exec(form) != QDialog::Accepted)
        return;
    TMainState &s = MainState();
    QString problem;
    if (!CreateDatabase(s.AppFolder, s.DataFolder,
                        {form->NewDatabaseCaption, form->NewDatabaseFileName, form->columnLines()}, &problem)) {
        error(QStringLiteral("Die Datenbank wurde nicht erzeugt!\r\r") + problem);
        return;
    }
    s.loadDatabaseCatalog();
    information(QStringLiteral("Datenbank wurde erzeugt!"));
    const QString created = CatalogEntryOf(s.DatabaseCatalog.value(s.DatabaseCatalog.size() - 1)).definitionFile;
    if (s.OpenDatabase(created))
        s.writeLastOpenDatabase(created);
    showMultiDatabaseCommands(true);
}

void TMainForm::Datenbankkomplettleeren1Click()
{
    TMainState &s = MainState();
    if (!s.CurrentTable) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    if (!question(QStringLiteral("Datenbank komplett leeren? Alle Datensätze gehen dabei verloren!")) ||
        !question(QStringLiteral("Wollen Sie wirklich alle Datensätze in dieser Datenbank löschen?")))
        return;
    QString problem;
    bool cleared;
    {
        const WaitCursor wait;
        const QString database = s.DatabaseIniName, table = s.CurrentTableName;
        s.saveOpenDatabase();
        s.FreeTableComponents();
        // A new empty table from the field definitions replaces the old file whole.
        cleared = CreateTableFile(s.DataFolder, table, &problem);
        s.OpenDatabase(database);
    }
    if (!cleared)
        error(QStringLiteral("Die Datenbank konnte nicht geleert werden!\r\r") + problem);
}

void TMainForm::Backup2Click()
{
    TBackupForm *form = BackupForm();
    form->BackupMode = 0;
    Modal::exec(form);
}

void TMainForm::Restore1Click()
{
    TBackupForm *form = BackupForm();
    form->BackupMode = 1;
    Modal::exec(form);
    if (MainState().hasSeveralDatabases())
        showMultiDatabaseCommands(true);
}

void TMainForm::Datentransfer1Click()
{
    Modal::exec(MigrationForm());
}

} // namespace vt
