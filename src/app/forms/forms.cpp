#include "forms.h"
#include "crashreport.h"
#include "grussformelform.h"
#include "hostform.h"
#include "importaccountsform.h"
#include "importaccountsoutlookform.h"
#include "logforms.h"
#include "mailerform.h"
#include "mainform.h"
#include "mainstate.h"
#include "newwizform.h"
#include "optionsform.h"
#include "previewform.h"
#include "productinfo.h"
#include "tryconnectionform.h"

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
    wizard->showPlaceholders = [] { MainForm()->RunCommand(QStringLiteral("Platzhalter")); };
    return wizard;
}

void CreateWindowsInOrder()
{
    // One line per window in the fixed order; a window not built yet keeps its
    // place as a comment until it is.
    HostForm(); //  1 host window, holder of the product information
    MainForm(); //  2 main window with the address grid
    // TFilterForm                  //  3 filter builder
    // TEdForm                      //  4 record editor
    // TSelectDatabaseForm          //  5 choosing a database to open or delete
    // TDoUpdatesForm               //  6 hidden rule window of the record editor
    RememberForm(MailerForm()); //  7 serial e-mail window
    // TDoIDForm                    //  8 ID range dialog
    // TAboutBox                    //  9 about box
    OptionsForm(); // 10 mail-server options
    // TImportForm                  // 11 delimited text and table import
    RememberForm(LogForm());       // 12 sent-log viewer
    RememberForm(ErrorMailForm()); // 13 list of rejected addresses
    // TBackupForm                  // 14 backup and restore
    GrussformelForm();           // 15 salutation table
    ImportAccountsForm();        // 16 picker of mail accounts to import
    RememberForm(PreviewForm()); // 17 preview of the personalised mail
    // TFilter2Form                 // 18 marking records by text
    // TAsciiForm                   // 19 delimited text export
    // TWabForm                     // 20 address book import
    // TWizardImportForm            // 21 import wizard
    // TExportWizzard1Form          // 22 export wizard
    // TDeleteAdressesWizardForm    // 23 duplicate removal options
    // TNewDatabaseForm             // 24 new database
    // TNoLayoutwerkForm            // 25 notice about the separate design application
    // TSuscribeForm                // 26 fetching subscriptions and unsubscriptions
    // TEnterpriseOptionsForm       // 27 web settings and page generator
    // TEnterpriseLinksForm         // 28 web information links
    // TMehrplatzForm               // 29 multi-user instructions
    // TMigrationForm               // 30 record transfer between databases
    // TOutlookImportForm           // 31 Outlook contacts import
    ImportAccountsOutlookForm(); // 32 picker of Outlook mail accounts
    // TWerbungForm                 // 33 tips window shown at close
    TryconnectionForm(); // 34 connection test
    // TStatsForm                   // 35 click-tracking set-up
    // TOnlineUpdate                // 36 owner of the update check
    // TDeleteColumnForm            // 37 setting or clearing a column
    // THVL_DB_SearchForm           // 38 record search
    // TWMImport                    // 39 Windows Mail contacts import
    // THTMLImportForm              // 40 HTML import
    // TSelectiveDuplicateForm      // 41 selective duplicate removal
    NewWizForm(); // 42 start wizard of a serial e-mail
}

void DestroyWindows()
{
    for (qsizetype i = g_made.size() - 1; i >= 0; --i)
        delete g_made.at(i).data();
    g_made.clear();
}

} // namespace vt
