#pragma once
// The start wizard's choices and the rules that follow from them, apart from the
// window: which panels and boxes show, when "Weiter" may be pressed, and what
// "Weiter" does. The main window's StartMailer and the serial e-mail window read
// the choice flags.
#include <QString>

namespace vt {

struct TStartWizardChoice
{
    // Step 1: what to do (exclusive).
    bool NewMailChosen = false;
    bool OpenTemplateChosen = false;
    bool ImportHtmlChosen = false;
    // Step 2: the kind of mail (exclusive).
    bool TextMailChosen = false;
    bool HtmlMailChosen = false;
    bool SampleTemplateChosen = false;
    // Step 3: the mail client was started to compose a new HTML mail.
    bool MailClientStarted = false;
    // The text of the wizard's file name field.
    QString FileName;
};
// The choices of the program's one start wizard. They stay from one mailing to the
// next, as the wizard does; the main window's StartMailer and the serial e-mail
// window read them.
TStartWizardChoice &StartWizardChoice();

enum class WizardPanel { NeueMail, VorlageOeffnen, ImportMail, TextMail, HtmlMail, VorlagenMail };

// The flags a click on the panel sets and clears; returns the step (1 to 3) that
// becomes current.
int ChoosePanel(TStartWizardChoice &choice, WizardPanel panel);
// Whether the panel's own flag is set.
bool PanelChosen(const TStartWizardChoice &choice, WizardPanel panel);

// What the window shows for the choice and the two file fields.
struct WizardView
{
    bool weiterEnabled = false;
    bool openBoxVisible = false;  // choosing an existing template or mail file
    QString extraOpenText;        // the hint in that box
    bool newBoxVisible = false;   // composing a new HTML mail in the mail client
    bool sampleBoxVisible = false; // choosing a shipped sample mail
    bool textPanelVisible = false;
    bool htmlPanelVisible = false;
    bool samplePanelVisible = false;
};
WizardView EvaluateWizard(const TStartWizardChoice &choice, const QString &fileName, const QString &sampleFileName);

// What "Weiter" does: the first of these that applies, and only that one.
enum class WizardAction {
    None,
    ImportHtml,       // the HTML import dialog builds the mail
    SampleMail,       // a shipped sample mail, used as it is
    OpenHtmlMail,     // a work copy of a chosen mail file
    OpenTextTemplate, // a ".mail" template or a ".txt" file
    NewTextMail,      // an empty text mail
    NewHtmlMail,      // a mail saved from the mail client, chosen now
};
WizardAction DecideWeiter(const TStartWizardChoice &choice);

// "Serien-E-Mail wird an ... gesendet."
QString MarkedCountText(int markedCount);

} // namespace vt
