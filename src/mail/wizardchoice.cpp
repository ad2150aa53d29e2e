#include "wizardchoice.h"
#include "systools.h"

namespace vt {

TStartWizardChoice &StartWizardChoice()
{
    static TStartWizardChoice choice;
    return choice;
}

int ChoosePanel(TStartWizardChoice &c, WizardPanel panel)
{
    switch (panel) {
    case WizardPanel::NeueMail:
    case WizardPanel::VorlageOeffnen:
    case WizardPanel::ImportMail:
        c.NewMailChosen = panel == WizardPanel::NeueMail;
        c.OpenTemplateChosen = panel == WizardPanel::VorlageOeffnen;
        c.ImportHtmlChosen = panel == WizardPanel::ImportMail;
        // An HTML import needs no kind of mail: it goes straight to the file.
        return c.ImportHtmlChosen ? 3 : 2;
    case WizardPanel::TextMail:
    case WizardPanel::HtmlMail:
    case WizardPanel::VorlagenMail:
        c.TextMailChosen = panel == WizardPanel::TextMail;
        c.HtmlMailChosen = panel == WizardPanel::HtmlMail;
        c.SampleTemplateChosen = panel == WizardPanel::VorlagenMail;
        // A mail started in the mail client belongs to the kind chosen then.
        c.MailClientStarted = false;
        return 3;
    }
    return 1;
}

bool PanelChosen(const TStartWizardChoice &c, WizardPanel panel)
{
    switch (panel) {
    case WizardPanel::NeueMail: return c.NewMailChosen;
    case WizardPanel::VorlageOeffnen: return c.OpenTemplateChosen;
    case WizardPanel::ImportMail: return c.ImportHtmlChosen;
    case WizardPanel::TextMail: return c.TextMailChosen;
    case WizardPanel::HtmlMail: return c.HtmlMailChosen;
    case WizardPanel::VorlagenMail: return c.SampleTemplateChosen;
    }
    return false;
}

WizardView EvaluateWizard(const TStartWizardChoice &c, const QString &fileName, const QString &sampleFileName)
{
    WizardView v;
    v.weiterEnabled = (c.HtmlMailChosen && !fileName.isEmpty()) || (c.TextMailChosen && !fileName.isEmpty()) ||
                      c.ImportHtmlChosen || (c.SampleTemplateChosen && !sampleFileName.isEmpty()) ||
                      (c.NewMailChosen && c.TextMailChosen) || (c.NewMailChosen && c.MailClientStarted);

    v.openBoxVisible = (c.HtmlMailChosen || c.TextMailChosen) && c.OpenTemplateChosen;
    if (v.openBoxVisible && !c.TextMailChosen) {
        v.extraOpenText =
            IsVistaOrLater()
                ? QStringLiteral("Sie können hierzu .EML-Dateien (Windows Mail/Thunderbird) oder .MSG-Dateien (MS "
                                 "Outlook) benutzen!\n\nFür .MSG-Dateien muss auf dem PC auch MS Outlook installiert "
                                 "sein!")
                : QStringLiteral("Sie können hierzu .EML-Dateien (MS Outlook Express/Thunderbird) oder .MSG-Dateien "
                                 "(MS Outlook) benutzen!\n\nFür .MSG-Dateien muss auf dem PC auch MS Outlook "
                                 "installiert sein!");
    }

    if (c.OpenTemplateChosen || c.NewMailChosen) {
        v.textPanelVisible = true;
        v.htmlPanelVisible = true;
        v.samplePanelVisible = !c.NewMailChosen;
    }
    v.sampleBoxVisible = c.SampleTemplateChosen && c.OpenTemplateChosen;
    v.newBoxVisible = c.NewMailChosen && c.HtmlMailChosen;
    return v;
}

WizardAction DecideWeiter(const TStartWizardChoice &c)
{
    if (c.ImportHtmlChosen)
        return WizardAction::ImportHtml;
    if (c.SampleTemplateChosen && !c.NewMailChosen)
        return WizardAction::SampleMail;
    if (c.OpenTemplateChosen)
        return c.HtmlMailChosen ? WizardAction::OpenHtmlMail : WizardAction::OpenTextTemplate;
    if (c.NewMailChosen)
        return c.TextMailChosen ? WizardAction::NewTextMail : WizardAction::NewHtmlMail;
    return WizardAction::None;
}

QString MarkedCountText(int markedCount)
{
    if (markedCount < 2)
        return QStringLiteral("Serien-E-Mail wird an einen markierten Datensatz gesendet.");
    return QStringLiteral("Serien-E-Mail wird an ") + QString::number(markedCount) +
           QStringLiteral(" markierte Datensätze gesendet.");
}

} // namespace vt
