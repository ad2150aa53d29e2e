// The main window's commands that inform the user or hand over to other
// programs: the about box, the help pages, the multi-user instructions, the
// layout application and the database repair tool.
#include "aboutbox.h"
#include "externaltools.h"
#include "forms.h"
#include "mainform.h"
#include "mehrplatzform.h"
#include "messages.h"
#include "modal.h"
#include "nolayoutwerkform.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"

#include <QFileInfo>

namespace vt {

void TMainForm::Info1Click()
{
    Modal::exec(AboutBox());
}

void TMainForm::Hilfedatei1Click()
{
    OpenHelpPage();
}

void TMainForm::ExeClick()
{
    LayoutwerkDownload1Click();
}

void TMainForm::LayoutwerkDownload1Click()
{
    const QString path = InstalledProgramPath(LayoutApplication(ProductInfo().BrandCode));
    if (path.isEmpty()) {
        if (Modal::exec(NoLayoutwerkForm()) == QDialog::Accepted)
            ShellOpen(ProductInfo().DesignerPageUrl);
        return;
    }
    if (m_layoutApplicationRuns || ProgramRunning(path)) {
        plain(QStringLiteral("Achtung! Layoutwerk ist bereits aktiv!"));
        return;
    }
    // The window stays usable while it waits for the layout application's end;
    // only a second start of it is refused, above.
    m_layoutApplicationRuns = true;
    RunAndWait(QFileInfo(path).absolutePath(), path, QString());
    m_layoutApplicationRuns = false;
}

void TMainForm::BetriebsanleitungMehrplatzversion1Click()
{
    Modal::exec(MehrplatzForm());
}

void TMainForm::DatenbankWartung1Click()
{
    if (!MainState().CurrentTable)
        return;
    const ExternalProgram tool = RepairTool();
    if (!ProgramKeyExists(tool)) {
        ShellOpen(ProductInfo().RepairToolPageUrl);
        return;
    }
    const QString path = InstalledProgramPath(tool);
    if (path.isEmpty() || !IsFile(path))
        return;
    if (!question(
            QStringLiteral("ACHTUNG! Vantrel müsste zum Start der Reparatur beendet werden! Jetzt Vantrel beenden "
                           "und Reparaturprogramm starten?")))
        return;
    // Started first, so that a tool that cannot start leaves the program open;
    // then the normal close saves everything and frees the tables for it.
    const QString why = StartDetached(path, {}, QFileInfo(path).absolutePath());
    if (!why.isEmpty()) {
        error(QStringLiteral("Das Reparaturprogramm \"%1\" konnte nicht gestartet werden:\r%2").arg(path, why));
        return;
    }
    closeForHandOver();
}

} // namespace vt
