#pragma once
// The hand-over from the main window to the serial e-mail window.
//
// The start wizard and the HTML import keep their choices here; they stay from one
// use to the next, as those windows do. The main window's StartMailer() calls
// vt::StartMailer(), which lays out and shows the serial e-mail window for the mail
// chosen.
#include <QString>

namespace vt {

struct TStartWizardChoice
{
    // Step 1 (one of them): a new mail, an existing template or mail file, an HTML import.
    bool NewMailChosen = false;
    bool OpenTemplateChosen = false;
    bool ImportHtmlChosen = false;
    // Step 2 (one of them): a text mail, an HTML mail, a shipped sample mail.
    bool TextMailChosen = false;
    bool HtmlMailChosen = false;
    bool SampleTemplateChosen = false;
    // The user started the mail client to compose a new HTML mail.
    bool MailClientStarted = false;
    // The text of the wizard's file name field.
    QString FileName;
};
TStartWizardChoice &StartWizardChoice();

struct THtmlImportChoice
{
    // Set by the HTML import's "Weiter"; the end of a send run clears it.
    bool HtmlImported = false;
    // The subject typed in the HTML import.
    QString Subject;
};
THtmlImportChoice &HtmlImportChoice();

// Points the serial e-mail window at the open table, lays it out for a text or an
// HTML mail as the wizard chose, and shows it. While a run is going the window is
// only brought to the front.
void StartMailer();

} // namespace vt
