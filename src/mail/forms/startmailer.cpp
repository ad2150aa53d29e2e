#include "startmailer.h"

#include "mailerform.h"
#include "mainstate.h"
#include "messages.h"
#include "text.h"
#include "textfile.h"

namespace vt {

THtmlImportChoice &HtmlImportChoice()
{
    static THtmlImportChoice choice;
    return choice;
}

void StartMailer()
{
    TMailerForm *w = MailerForm();
    // A run goes on: its window is not laid out anew, only brought to the front.
    if (w->runActive()) {
        w->show();
        w->raise();
        return;
    }
    TMainState &st = MainState();
    if (!st.CurrentTable) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    TStartWizardChoice &choice = StartWizardChoice();
    // Nothing chosen yet (no start wizard has run): a new text mail.
    if (!choice.TextMailChosen && !choice.HtmlMailChosen && !choice.SampleTemplateChosen && !choice.ImportHtmlChosen) {
        choice.NewMailChosen = true;
        choice.TextMailChosen = true;
    }
    w->showToEdit();
    if (choice.TextMailChosen) {
        w->setBusyCursor(true);
        w->layOutFor(false);
        // An existing template stays chosen only when the wizard opened one.
        if (!choice.OpenTemplateChosen)
            w->TextTemplatePath.clear();
        if (AsciiUpper(w->TextTemplatePath).contains(QStringLiteral(".TXT"))) {
            // A plain text file is the body; a ".mail" template is loaded by the window.
            w->setBodyLines(ReadLines(w->TextTemplatePath));
            w->TextTemplatePath.clear();
        }
        w->MailTable = st.CurrentTable;
        w->MailMode = 0;
        w->PrepareAndShow();
        w->ResetSendDisplay();
    }
    if (!choice.HtmlMailChosen && !choice.SampleTemplateChosen && !choice.ImportHtmlChosen)
        return;
    w->setBusyCursor(true);
    w->TextTemplatePath.clear();
    w->layOutFor(true);
    w->MailTable = st.CurrentTable;
    w->MailMode = 1;
    w->PrepareAndShow();
    w->ResetSendDisplay();
}

} // namespace vt
