#include "forms.h"
#include "aboutbox.h"
#include "asciiform.h"
#include "backupform.h"
#include "crashreport.h"
#include "deleteadresseswizardform.h"
#include "deletecolumnform.h"
#include "doidform.h"
#include "edform.h"
#include "enterpriselinksform.h"
#include "enterpriseoptionsform.h"
#include "exportwizardform.h"
#include "filter2form.h"
#include "filterform.h"
#include "grussformelform.h"
#include "hostform.h"
#include "htmlimportform.h"
#include "hvldbsearchform.h"
#include "importaccountsform.h"
#include "importaccountsoutlookform.h"
#include "importform.h"
#include "logforms.h"
#include "mailerform.h"
#include "mainform.h"
#include "mainstate.h"
#include "mehrplatzform.h"
#include "migrationform.h"
#include "modal.h"
#include "newdatabaseform.h"
#include "newwizform.h"
#include "nolayoutwerkform.h"
#include "onlineupdate.h"
#include "optionsform.h"
#include "outlookimportform.h"
#include "previewform.h"
#include "productinfo.h"
#include "selectdatabaseform.h"
#include "selectiveduplicateform.h"
#include "statsform.h"
#include "suscribeform.h"
#include "tryconnectionform.h"
#include "wabform.h"
#include "werbungform.h"
#include "wheelhook.h"
#include "wizardimportform.h"
#include "wmimportform.h"

#include <QList>
#include <QPointer>
#include <QWidget>

namespace vt {

namespace {

QList<QPointer<QWidget>> g_made; // in the order made
// Each slot empties itself when its window is destroyed.
QPointer<THostForm> g_hostForm;
QPointer<TMainForm> g_mainForm;
QPointer<TGrussformelForm> g_grussformelForm;
QPointer<TOptionsForm> g_optionsForm;
QPointer<TImportAccountsForm> g_importAccountsForm;
QPointer<TFImportAccountsOutlook> g_importAccountsOutlookForm;
QPointer<TFTryconnection> g_tryconnectionForm;
QPointer<TNewWizForm> g_newWizForm;
QPointer<TWizardImportForm> g_wizardImportForm;
QPointer<TImportForm> g_importForm;
QPointer<TWabForm> g_wabForm;
QPointer<TOutlookImportForm> g_outlookImportForm;
QPointer<TWMImport> g_wmImportForm;
QPointer<TAboutBox> g_aboutBox;
QPointer<TNoLayoutwerkForm> g_noLayoutwerkForm;
QPointer<TMehrplatzForm> g_mehrplatzForm;
QPointer<TWerbungForm> g_werbungForm;
QPointer<TOnlineUpdate> g_onlineUpdate;
QPointer<TAsciiForm> g_asciiForm;
QPointer<TExportWizzard1Form> g_exportWizzard1Form;
QPointer<TSuscribeForm> g_suscribeForm;
QPointer<TEnterpriseOptionsForm> g_enterpriseOptionsForm;
QPointer<TEnterpriseLinksForm> g_enterpriseLinksForm;
QPointer<TStatsForm> g_statsForm;
QPointer<TDoIDForm> g_doIDForm;
QPointer<TFilterForm> g_filterForm;
QPointer<TFilter2Form> g_filter2Form;
QPointer<TDeleteAdressesWizardForm> g_deleteAdressesWizardForm;
QPointer<TDeleteColumnForm> g_deleteColumnForm;
QPointer<TSelectiveDuplicateForm> g_selectiveDuplicateForm;
QPointer<THTMLImportForm> g_htmlImportForm;
QPointer<TEdForm> g_edForm;
QPointer<TSelectDatabaseForm> g_selectDatabaseForm;
QPointer<TNewDatabaseForm> g_newDatabaseForm;
QPointer<THVL_DB_SearchForm> g_searchForm;
QPointer<TBackupForm> g_backupForm;
QPointer<TMigrationForm> g_migrationForm;

} // namespace

void RememberForm(QWidget *window)
{
    g_made.append(window);
}

THostForm *HostForm()
{
    return FormInstance(g_hostForm, "THostForm.FormCreate");
}

THostForm *ExistingHostForm()
{
    return g_hostForm;
}

TMainForm *MainForm()
{
    return FormInstance(g_mainForm, "TMainForm.FormCreate");
}

TGrussformelForm *GrussformelForm()
{
    if (!g_grussformelForm) {
        // It works on the salutation table of the program folder the main window set.
        g_grussformelForm = new TGrussformelForm(MainState().AppFolder);
        if (!ProductInfo().HelpFile.isEmpty())
            g_grussformelForm->setHelpFile(ProductInfo().HelpFile);
        RememberForm(g_grussformelForm);
    }
    return g_grussformelForm;
}

TOptionsForm *OptionsForm()
{
    if (g_optionsForm)
        return g_optionsForm;
    TOptionsForm *form = FormInstance(g_optionsForm, "TOptionsForm.FormCreate");
    QObject::connect(form, &TOptionsForm::connectionTestRequested, form, [] {
        TFTryconnection *test = TryconnectionForm();
        test->Options = OptionsForm();
        test->show();
        test->raise();
        test->activateWindow();
    });
    // An open serial e-mail window offers the senders just saved; a run going on
    // keeps the sender it started with.
    QObject::connect(form, &TOptionsForm::settingsSaved, form, [] {
        TMailerForm *mailer = MailerForm();
        if (mailer->isVisible() && !mailer->runActive())
            mailer->loadSenderList();
    });
    return form;
}

TImportAccountsForm *ImportAccountsForm()
{
    return FormInstance(g_importAccountsForm, "TImportAccountsForm.FormCreate");
}

TFImportAccountsOutlook *ImportAccountsOutlookForm()
{
    return FormInstance(g_importAccountsOutlookForm, "TFImportAccountsOutlook.FormCreate");
}

TFTryconnection *TryconnectionForm()
{
    if (!g_tryconnectionForm) {
        // A child window of the options dialog, so the dialog's modal state does not block it.
        g_tryconnectionForm = new TFTryconnection(OptionsForm());
        g_tryconnectionForm->setWindowFlag(Qt::Window);
        RememberForm(g_tryconnectionForm);
    }
    return g_tryconnectionForm;
}

TNewWizForm *NewWizForm()
{
    if (g_newWizForm)
        return g_newWizForm;
    TNewWizForm *wizard = FormInstance(g_newWizForm, "TNewWizForm.FormCreate");
    wizard->showPlaceholders = [] { MainForm()->runCommand(QStringLiteral("Platzhalter")); };
    wizard->htmlImport = [] { Modal::exec(HTMLImportForm()); };
    return wizard;
}

TWizardImportForm *WizardImportForm()
{
    if (g_wizardImportForm)
        return g_wizardImportForm;
    TWizardImportForm *wizard = FormInstance(g_wizardImportForm, "TWizardImportForm.FormCreate");
    wizard->WabDialog = [] { return WabForm(); };
    wizard->OutlookDialog = [] { return OutlookImportForm(); };
    wizard->WindowsMailDialog = [] { return WMImportForm(); };
    wizard->TextDialog = [] { return ImportForm(); };
    return wizard;
}

TImportForm *ImportForm()
{
    return FormInstance(g_importForm, "TImportForm.FormCreate");
}

TWabForm *WabForm()
{
    return FormInstance(g_wabForm, "TWabForm.FormCreate");
}

TOutlookImportForm *OutlookImportForm()
{
    return FormInstance(g_outlookImportForm, "TOutlookImportForm.FormCreate");
}

TWMImport *WMImportForm()
{
    return FormInstance(g_wmImportForm, "TWMImport.FormCreate");
}

TAboutBox *AboutBox()
{
    if (g_aboutBox)
        return g_aboutBox;
    TAboutBox *box = FormInstance(g_aboutBox, "TAboutBox.FormCreate");
    // What "Jetzt auf Updates überprüfen" of the main window does.
    box->CheckForUpdate = [] { OnlineUpdate()->CheckForUpdate(true); };
    return box;
}

TNoLayoutwerkForm *NoLayoutwerkForm()
{
    return FormInstance(g_noLayoutwerkForm, "TNoLayoutwerkForm.FormCreate");
}

TMehrplatzForm *MehrplatzForm()
{
    return FormInstance(g_mehrplatzForm, "TMehrplatzForm.FormCreate");
}

TWerbungForm *WerbungForm()
{
    return FormInstance(g_werbungForm, "TWerbungForm.FormCreate");
}

TOnlineUpdate *OnlineUpdate()
{
    return FormInstance(g_onlineUpdate, "TOnlineUpdate.FormCreate");
}

TAsciiForm *AsciiForm()
{
    return FormInstance(g_asciiForm, "TAsciiForm.FormCreate");
}

TExportWizzard1Form *ExportWizzard1Form()
{
    if (g_exportWizzard1Form)
        return g_exportWizzard1Form;
    TExportWizzard1Form *wizard = FormInstance(g_exportWizzard1Form, "TExportWizzard1Form.FormCreate");
    wizard->TextExport = [] { Modal::exec(AsciiForm()); };
    return wizard;
}

TSuscribeForm *SuscribeForm()
{
    return FormInstance(g_suscribeForm, "TSuscribeForm.FormCreate");
}

TEnterpriseOptionsForm *EnterpriseOptionsForm()
{
    return FormInstance(g_enterpriseOptionsForm, "TEnterpriseOptionsForm.FormCreate");
}

TEnterpriseLinksForm *EnterpriseLinksForm()
{
    return FormInstance(g_enterpriseLinksForm, "TEnterpriseLinksForm.FormCreate");
}

TStatsForm *StatsForm()
{
    return FormInstance(g_statsForm, "TStatsForm.FormCreate");
}

TDoIDForm *DoIDForm()
{
    return FormInstance(g_doIDForm, "TDoIDForm.FormCreate");
}

TFilterForm *FilterForm()
{
    return FormInstance(g_filterForm, "TFilterForm.FormCreate");
}

TFilter2Form *Filter2Form()
{
    return FormInstance(g_filter2Form, "TFilter2Form.FormCreate");
}

TDeleteAdressesWizardForm *DeleteAdressesWizardForm()
{
    return FormInstance(g_deleteAdressesWizardForm, "TDeleteAdressesWizardForm.FormCreate");
}

TDeleteColumnForm *DeleteColumnForm()
{
    return FormInstance(g_deleteColumnForm, "TDeleteColumnForm.FormCreate");
}

TSelectiveDuplicateForm *SelectiveDuplicateForm()
{
    if (g_selectiveDuplicateForm)
        return g_selectiveDuplicateForm;
    TSelectiveDuplicateForm *form = FormInstance(g_selectiveDuplicateForm, "TSelectiveDuplicateForm.FormCreate");
    form->Options = DeleteAdressesWizardForm();
    // The options are shown without the main window's message hook.
    form->ExecOptions = [](QDialog *d) {
        const WheelHookSuspender hook;
        return Modal::exec(d);
    };
    return form;
}

THTMLImportForm *HTMLImportForm()
{
    return FormInstance(g_htmlImportForm, "THTMLImportForm.FormCreate");
}

TEdForm *EdForm()
{
    return FormInstance(g_edForm, "TEdForm.FormCreate");
}

TSelectDatabaseForm *SelectDatabaseForm()
{
    return FormInstance(g_selectDatabaseForm, "TSelectDatabaseForm.FormCreate");
}

TNewDatabaseForm *NewDatabaseForm()
{
    return FormInstance(g_newDatabaseForm, "TNewDatabaseForm.FormCreate");
}

THVL_DB_SearchForm *HVL_DB_SearchForm()
{
    return FormInstance(g_searchForm, "THVL_DB_SearchForm.FormCreate");
}

TBackupForm *BackupForm()
{
    if (g_backupForm)
        return g_backupForm;
    TBackupForm *form = FormInstance(g_backupForm, "TBackupForm.FormCreate");
    form->DefaultFolder = TMainForm::documentsWorkFolder();
    return form;
}

TMigrationForm *MigrationForm()
{
    return FormInstance(g_migrationForm, "TMigrationForm.FormCreate");
}

void CreateWindowsInOrder()
{
    // One line per window in the fixed order; a window not built yet keeps its
    // place as a comment until it is.
    HostForm();           //  1 host window, holder of the product information
    MainForm();           //  2 main window with the address grid
    FilterForm();         //  3 filter builder
    EdForm();             //  4 record editor
    SelectDatabaseForm(); //  5 choosing a database to open or delete
    // TDoUpdatesForm               //  6 the record editor's rules, which the editor holds
    RememberForm(MailerForm());    //  7 serial e-mail window
    DoIDForm();                    //  8 ID range dialog
    AboutBox();                    //  9 about box
    OptionsForm();                 // 10 mail-server options
    ImportForm();                  // 11 delimited text and table import
    RememberForm(LogForm());       // 12 sent-log viewer
    RememberForm(ErrorMailForm()); // 13 list of rejected addresses
    BackupForm();                  // 14 backup and restore
    GrussformelForm();             // 15 salutation table
    ImportAccountsForm();          // 16 picker of mail accounts to import
    RememberForm(PreviewForm());   // 17 preview of the personalised mail
    Filter2Form();                 // 18 marking records by text
    AsciiForm();                   // 19 delimited text export
    WabForm();                     // 20 address book import
    WizardImportForm();            // 21 import wizard
    ExportWizzard1Form();          // 22 export wizard
    DeleteAdressesWizardForm();    // 23 duplicate removal options
    NewDatabaseForm();             // 24 new database
    NoLayoutwerkForm();            // 25 notice about the separate design application
    SuscribeForm();                // 26 fetching subscriptions and unsubscriptions
    EnterpriseOptionsForm();       // 27 web settings and page generator
    EnterpriseLinksForm();         // 28 web information links
    MehrplatzForm();               // 29 multi-user instructions
    MigrationForm();               // 30 record transfer between databases
    OutlookImportForm();           // 31 Outlook contacts import
    ImportAccountsOutlookForm();   // 32 picker of Outlook mail accounts
    WerbungForm();                 // 33 tips window shown at close
    TryconnectionForm();           // 34 connection test
    StatsForm();                   // 35 click-tracking set-up
    OnlineUpdate();                // 36 owner of the update check
    DeleteColumnForm();            // 37 setting or clearing a column
    HVL_DB_SearchForm();           // 38 record search
    WMImportForm();                // 39 Windows Mail contacts import
    HTMLImportForm();              // 40 HTML import
    SelectiveDuplicateForm();      // 41 selective duplicate removal
    NewWizForm();                  // 42 start wizard of a serial e-mail
}

void DestroyWindows()
{
    for (qsizetype i = g_made.size() - 1; i >= 0; --i)
        delete g_made.at(i).data();
    g_made.clear();
}

} // namespace vt
