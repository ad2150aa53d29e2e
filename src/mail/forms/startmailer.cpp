#include "startmailer.h"
#include "ui_mailerform.h"

#include "mailerform.h"
#include "mainstate.h"
#include "messages.h"
#include "text.h"
#include "textfile.h"

namespace vt {

namespace {

void layoutFor(Ui::TMailerForm *ui, bool html)
{
    ui->MessageMemo->setVisible(!html);
    ui->CheckBox1->setVisible(!html);
    ui->NewButton->hide();
    ui->SubjectEdit->show();
    ui->SubjectLabel->show();
    ui->ToLabel->hide();
    ui->ToEdit->hide();
    ui->SelectVariablesPanel->show();
    ui->TopPanel->setFixedHeight(ui->TopPanel->sizeHint().height());
    ui->VorlagePanel->setVisible(html);
    ui->SaveMailButton->setVisible(!html);
}

} // namespace

THtmlImportChoice &HtmlImportChoice()
{
    static THtmlImportChoice choice;
    return choice;
}

void StartMailer()
{
    TMailerForm *w = MailerForm();
    // A run goes on: its window is not laid out anew, only brought to the front.
    if (w->RunActive()) {
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
    w->ui->ToEdit->show();
    if (choice.TextMailChosen) {
        w->SetBusyCursor(true);
        layoutFor(w->ui, false);
        // An existing template stays chosen only when the wizard opened one.
        if (!choice.OpenTemplateChosen)
            w->TextTemplatePath.clear();
        if (AsciiUpper(w->TextTemplatePath).contains(QStringLiteral(".TXT"))) {
            // A plain text file is the body; a ".mail" template is loaded by the window.
            w->SetBodyLines(ReadLines(w->TextTemplatePath));
            w->TextTemplatePath.clear();
        }
        w->MailTable = st.CurrentTable;
        w->MailMode = 0;
        w->PrepareAndShow();
        w->ResetSendDisplay();
    }
    if (!choice.HtmlMailChosen && !choice.SampleTemplateChosen && !choice.ImportHtmlChosen)
        return;
    w->SetBusyCursor(true);
    w->TextTemplatePath.clear();
    layoutFor(w->ui, true);
    w->MailTable = st.CurrentTable;
    w->MailMode = 1;
    w->PrepareAndShow();
    w->ResetSendDisplay();
}

} // namespace vt
