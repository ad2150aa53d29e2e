// The main window's commands that work on many records at once: marking and
// unmarking, the ID range, the address check, deleting the marked or invalid
// records, setting a column, duplicate removal, the BCC lists, the placeholder
// list, the filter dialog with F9, and marking by text. Each asks before it
// changes records and changes them in one transaction, its progress in the
// status bar.
#include "bccfiles.h"
#include "bulkrun.h"
#include "bulktools.h"
#include "datasettools.h"
#include "dbgrid.h"
#include "deleteadresseswizardform.h"
#include "deletecolumnform.h"
#include "doidform.h"
#include "duplicaterun.h"
#include "filter2form.h"
#include "filterform.h"
#include "forms.h"
#include "mainform.h"
#include "messages.h"
#include "modal.h"
#include "placeholderlist.h"
#include "selectiveduplicateform.h"
#include "text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QToolButton>

namespace vt {

namespace {

const QString kSelected = QStringLiteral("Selected");
const QString kInvalid = QStringLiteral("Invalid");
const QString kWorking = QStringLiteral("Arbeite...");

// Runs a tool with the grid detached; a failure is said once the grid is back.
BulkResult runBulk(AddressTable *t, const QString &status,
                   const std::function<BulkResult(AddressTable &, BulkRun &)> &work)
{
    BulkResult r;
    {
        BulkRun run(t, status);
        r = work(*t, run);
    }
    if (!r.ok())
        error(r.error);
    return r;
}

BulkResult runBulk(AddressTable *t, const QString &status, const std::function<BulkResult(AddressTable &)> &work)
{
    return runBulk(t, status, [&](AddressTable &table, BulkRun &) { return work(table); });
}

// "Delete: " and the records deleted so far.
QString deletedText(qint64 done, qint64)
{
    return QStringLiteral("Delete: %1").arg(done);
}

BulkResult deleteWhereTrue(AddressTable *t, const QString &field)
{
    return runBulk(t, QString(), [&](AddressTable &table, BulkRun &run) {
        return DeleteWhereTrue(table, field, run.progress(&deletedText));
    });
}

// The tools that run on the whole table start from it unfiltered.
void showAllRecords(AddressTable *t)
{
    t->setFiltered(false);
    t->setFilterText(QString());
}

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void TMainForm::wireRecordCommands()
{
    auto on = [this](const char *name, void (TMainForm::*handler)()) {
        setCommandHandler(QLatin1String(name), [this, handler] { (this->*handler)(); });
    };
    on("SelectAllTB", &TMainForm::SelectAllTBClick);
    on("UnselectAllTB", &TMainForm::UnselectAllTBClick);
    on("MarkierenvonIDbisID1", &TMainForm::MarkierenvonIDbisID1Click);
    on("EmailAdressenaufGltigkeitberprfen2", &TMainForm::EmailAdressenaufGltigkeitberprfen2Click);
    on("AlleInvalidzurcksetzen1", &TMainForm::AlleInvalidzurcksetzen1Click);
    on("AllemarkiertenDatenstzelschen2", &TMainForm::AllemarkiertenDatenstzelschen2Click);
    on("AlleinvalidenDatenstzelschen1", &TMainForm::AlleinvalidenDatenstzelschen1Click);
    on("Spalteninhaltlschensetzen1", &TMainForm::Spalteninhaltlschensetzen1Click);
    on("DoppelteEmailAdressenlschen1", &TMainForm::DoppelteEmailAdressenlschen1Click);
    on("SelektivesLschendoppelterDatenstze1", &TMainForm::SelektivesLschendoppelterDatenstze1Click);
    on("BCCinsClipbord1", &TMainForm::BCCinsClipbord1Click);
    on("N250erBCCStringinDateien", &TMainForm::N250erBCCStringinDateienClick);
    on("Platzhalter", &TMainForm::PlatzhalterClick);
    on("Filter1", &TMainForm::Filter1Click);
    on("FilterBtn", &TMainForm::FilterBtnClick);
    on("MarkierenallerDatenstzemitbestimmtenWortlaut1", &TMainForm::MarkierenallerDatenstzemitbestimmtenWortlaut1Click);
    if (auto *b = findChild<QToolButton *>(QStringLiteral("FilterBtn")))
        b->setCheckable(true);
}

// ---------------------------------------------------------------------------
// Marks

void TMainForm::SelectAllTBClick()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t || !question(QStringLiteral("Alle markierten Datensätze markieren?")))
        return;
    const qint64 id = t->currentId();
    runBulk(t, QStringLiteral("Alle Datensätze werden markiert"),
            [](AddressTable &table) { return SetBooleanColumn(table, kSelected, true); });
    t->gotoId(id);
}

void TMainForm::UnselectAllTBClick()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t || !question(QStringLiteral("Alle markierten Datensätze unmarkieren?")))
        return;
    const qint64 id = t->currentId();
    runBulk(t, QStringLiteral("Alle Datensätze werden unmarkiert"),
            [](AddressTable &table) { return SetBooleanColumn(table, kSelected, false); });
    t->gotoId(id);
}

void TMainForm::MarkierenvonIDbisID1Click()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t)
        return;
    // The marks go only once the range is chosen: cancelling the range keeps them.
    const bool unmarkFirst =
        t->count(IsTrue(kSelected)) > 0 &&
        question(QStringLiteral("Es sind bereits Datensätze markiert, möchten Sie zuvor alle Datensätze unmarkieren?"));
    s.setStatusText(QString());
    TDoIDForm *range = DoIDForm();
    range->setHeading(QStringLiteral("Markieren"));
    range->setWindowTitle(QStringLiteral("Markieren von ID bis ID"));
    if (Modal::exec(range) != QDialog::Accepted)
        return;
    // The IDs' own order, the whole table.
    s.ResetTitleFonts();
    t->setIndexName(QString());
    showAllRecords(t);
    const qint64 start = range->StartId, end = range->EndId;
    runBulk(t, unmarkFirst ? QStringLiteral("Alle Datensätze unmarkieren...") : QString(),
            [&](AddressTable &table, BulkRun &run) {
                return MarkIdRange(table, start, end, unmarkFirst, run.progress([&](qint64 marked, qint64 records) {
                    return QStringLiteral("Noch zu markieren: %1 aus %2 Datensätzen")
                        .arg(end - start + 1 - marked)
                        .arg(records);
                }));
            });
    t->first();
}

void TMainForm::AlleInvalidzurcksetzen1Click()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t || !question(QStringLiteral("Alle als \"Invaild\" markierten Datensätze als gültig zurücksetzen?")))
        return;
    const qint64 id = t->currentId();
    runBulk(t, kWorking, [](AddressTable &table) { return SetBooleanColumn(table, kInvalid, false); });
    t->gotoId(id);
}

// ---------------------------------------------------------------------------
// Address check and deletions

void TMainForm::EmailAdressenaufGltigkeitberprfen2Click()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t)
        return;
    showAllRecords(t);
    const BulkResult check =
        runBulk(t, QStringLiteral("Alle Datensätze werden unmarkiert"), [](AddressTable &table, BulkRun &run) {
            return CheckAllAddresses(table, run.progress([](qint64 checked, qint64 records) {
                return QStringLiteral("Checkmail: %1 von %2").arg(checked).arg(records);
            }));
        });
    t->first();
    if (!check.ok())
        return;
    information(QStringLiteral("Prüfung ist abgeschlossen! %1 ungültige (invalid) E-Mail-Adressen wurden markiert!")
                    .arg(check.count));
    // Every invalid record goes, also one marked so before this check.
    if (check.count == 0 || !question(QStringLiteral("Wollen Sie alle ungültigen E-Mail-Adressen löschen?")))
        return;
    deleteWhereTrue(t, kInvalid);
    t->first();
}

void TMainForm::AllemarkiertenDatenstzelschen2Click()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t || !question(QStringLiteral("Wollen Sie wirklich alle markierten Datensätze löschen?")))
        return;
    showAllRecords(t);
    deleteWhereTrue(t, kSelected);
    t->first();
}

void TMainForm::AlleinvalidenDatenstzelschen1Click()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t || !question(QStringLiteral("Wollen Sie wirklich alle invaliden Datensätze löschen?")))
        return;
    showAllRecords(t);
    deleteWhereTrue(t, kInvalid);
    t->first();
}

// ---------------------------------------------------------------------------
// Columns and duplicates

void TMainForm::Spalteninhaltlschensetzen1Click()
{
    Modal::exec(DeleteColumnForm());
}

void TMainForm::SetColumnValue(const QString &fieldName, const QString &value, bool onlyMarked)
{
    AddressTable *t = MainState().CurrentTable;
    if (!t)
        return;
    showAllRecords(t);
    runBulk(t, QString(), [&](AddressTable &table, BulkRun &run) {
        return SetColumnText(table, fieldName, value, onlyMarked, run.progress([](qint64 done, qint64 records) {
            return QStringLiteral("Spaltenbearbeitung: %1 von %2").arg(done).arg(records);
        }));
    });
    t->first();
}

void TMainForm::DoppelteEmailAdressenlschen1Click()
{
    AddressTable *t = MainState().CurrentTable;
    if (t)
        RunDuplicateRemoval(DuplicateCommand::Mail, FindMailField(t), DeleteAdressesWizardForm(), &Modal::exec);
}

void TMainForm::SelektivesLschendoppelterDatenstze1Click()
{
    Modal::exec(SelectiveDuplicateForm());
}

// ---------------------------------------------------------------------------
// BCC lists and placeholders

void TMainForm::BCCinsClipbord1Click()
{
    AddressTable *t = MainState().CurrentTable;
    const int mail = FindMailField(t);
    if (!t || mail < 0) {
        information(NoMailColumnText());
        return;
    }
    const QString separator = QStringLiteral(", ");
    QString list;
    {
        const WaitCursor wait;
        list = BuildAddressString(t, mail, separator);
        QGuiApplication::clipboard()->setText(list);
    }
    information(ClipboardCopiedText(list, separator));
}

void TMainForm::N250erBCCStringinDateienClick()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    const int mail = FindMailField(t);
    if (!t || mail < 0) {
        information(NoMailColumnText());
        return;
    }
    QString why;
    bool written = false;
    {
        const WaitCursor wait;
        const QString list = BuildAddressString(t, mail, QStringLiteral("; "));
        QGuiApplication::clipboard()->setText(list);
        int files = 0;
        written = WriteBccFiles(s.ExportFolder, list, &files, &why);
    }
    if (!written) {
        error(why);
        return;
    }
    information(QStringLiteral("BCC-Dateien wurden unter ") + s.ExportFolder + QStringLiteral(" gespeichert!"));
}

void TMainForm::PlatzhalterClick()
{
    plain(PlaceholderListText(MainState().FieldDefinitions));
}

// ---------------------------------------------------------------------------
// Filters and marking by text

void TMainForm::Filter1Click()
{
    Modal::exec(FilterForm());
    MainState().ShowRecordCount();
}

void TMainForm::FilterBtnClick()
{
    AddressTable *t = MainState().CurrentTable;
    const QString expression = Trimmed(FilterForm()->expressionText());
    if (!t)
        return;
    if (expression.isEmpty()) {
        plain(QStringLiteral(
            "Achtung Sie haben noch keinen Filter eigestellt! Öffnen Sie zuerst die Filtereinstellungen."));
        showFilterSwitch();
        return;
    }
    // The switch follows the table: a filter that is on, whichever, goes off.
    TFilterForm::switchFilter(!t->isFiltered(), expression);
    showFilterSwitch();
}

void TMainForm::MarkierenallerDatenstzemitbestimmtenWortlaut1Click()
{
    TMainState &s = MainState();
    s.CurrentTable->first();
    TFilter2Form *form = Filter2Form();
    form->UnselectAll = [this] { runCommand(QStringLiteral("UnselectAllTB")); };
    form->DeleteMarked = [this] { runCommand(QStringLiteral("AllemarkiertenDatenstzelschen2")); };
    Modal::exec(form);
    s.ShowRecordCount();
}

void TMainForm::followFilterSwitch()
{
    if (AddressTable *t = MainState().CurrentTable)
        connect(t, &AddressTable::rowsReset, this, &TMainForm::showFilterSwitch, Qt::UniqueConnection);
    showFilterSwitch();
}

void TMainForm::showFilterSwitch()
{
    auto *b = findChild<QToolButton *>(QStringLiteral("FilterBtn"));
    if (!b)
        return;
    const AddressTable *t = MainState().CurrentTable;
    const bool on = t && t->isFiltered();
    b->setChecked(on);
    b->setToolTip(on ? QStringLiteral("Gewählten Filter ausschalten (F9)")
                     : QStringLiteral("Gewählten Filter einschalten (F9)"));
}

} // namespace vt
