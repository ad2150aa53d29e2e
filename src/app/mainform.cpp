#include "mainform.h"
#include "activation.h"
#include "crashreport.h"
#include "hostform.h"
#include "productinfo.h"
#include "forms.h"

#include <QCloseEvent>

namespace vt {

TMainForm::TMainForm()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("."));
    resize(1000, 680);
}

void TMainForm::FormCreate()
{
    setWindowTitle(ProductInfo().DisplayName);
    ActivationTracker::instance().install(this, [this] { FormActivate(); }, true);
}

void TMainForm::FormActivate()
{
    // From now on error reports are German and carry the version.
    SetupCrashReport(1, ProductInfo().VersionText);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    // The host window's closing ends the program.
    if (THostForm *host = HostForm())
        host->close();
}

} // namespace vt
