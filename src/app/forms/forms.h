#pragma once
// The windows of the program: each has one instance, reached through its
// accessor, made on first use and kept until the program ends.
#include "crashreport.h"

#include <QPointer>

class QWidget;

namespace vt {

class THostForm;
class TMainForm;
class TGrussformelForm;
class TOptionsForm;
class TImportAccountsForm;
class TFImportAccountsOutlook;
class TFTryconnection;
class TNewWizForm;
class TWizardImportForm;
class TImportForm;
class TWabForm;
class TOutlookImportForm;
class TWMImport;
class TAboutBox;
class TNoLayoutwerkForm;
class TMehrplatzForm;
class TWerbungForm;
class TOnlineUpdate;
class TAsciiForm;
class TExportWizzard1Form;
class TSuscribeForm;
class TEnterpriseOptionsForm;
class TEnterpriseLinksForm;
class TStatsForm;
class TDoIDForm;
class TFilterForm;
class TFilter2Form;
class TDeleteAdressesWizardForm;
class TDeleteColumnForm;
class TSelectiveDuplicateForm;
class THTMLImportForm;

THostForm *HostForm();
// The host window when it has been made; never makes it.
THostForm *ExistingHostForm();
TMainForm *MainForm();
TGrussformelForm *GrussformelForm();
TOptionsForm *OptionsForm();
TImportAccountsForm *ImportAccountsForm();
TFImportAccountsOutlook *ImportAccountsOutlookForm();
// The connection test belongs to the options dialog, over which it is shown.
TFTryconnection *TryconnectionForm();
TNewWizForm *NewWizForm();
// The import wizard opens the four importers' dialogs.
TWizardImportForm *WizardImportForm();
TImportForm *ImportForm();
TWabForm *WabForm();
TOutlookImportForm *OutlookImportForm();
TWMImport *WMImportForm();
TAboutBox *AboutBox();
TNoLayoutwerkForm *NoLayoutwerkForm();
TMehrplatzForm *MehrplatzForm();
TWerbungForm *WerbungForm();
TOnlineUpdate *OnlineUpdate();
TAsciiForm *AsciiForm();
TExportWizzard1Form *ExportWizzard1Form();
// The web dialogs; the web settings dialog holds the settings the subscription
// and links dialogs read (the main window hands it to them).
TSuscribeForm *SuscribeForm();
TEnterpriseOptionsForm *EnterpriseOptionsForm();
TEnterpriseLinksForm *EnterpriseLinksForm();
TStatsForm *StatsForm();
// The dialogs of the tools for many records at once and of the filters.
TDoIDForm *DoIDForm();
TFilterForm *FilterForm();
TFilter2Form *Filter2Form();
TDeleteAdressesWizardForm *DeleteAdressesWizardForm();
TDeleteColumnForm *DeleteColumnForm();
TSelectiveDuplicateForm *SelectiveDuplicateForm();
// The HTML import, shown by the start wizard.
THTMLImportForm *HTMLImportForm();

// The window in the slot, made and set up on first use. The slot is filled
// before the set-up (FormCreate) runs, so a set-up that reaches for its own
// window through the accessor finds it; a set-up that fails is reported and
// leaves the window in place, set up as far as it got.
template <class T> T *FormInstance(QPointer<T> &slot, const char *setupName);
void RememberForm(QWidget *window);

template <class T> T *FormInstance(QPointer<T> &slot, const char *setupName)
{
    if (!slot) {
        slot = new T;
        RememberForm(slot);
        Guard(setupName, [&slot] { slot->FormCreate(); });
    }
    return slot;
}

// Makes every window in the program's fixed order (the host first, then the
// main window, then the dialogs). A window whose set-up fails is reported and
// kept as far as it got; the next one is made all the same.
void CreateWindowsInOrder();
// Destroys every window, the last made first (at the end of the run).
void DestroyWindows();

} // namespace vt
