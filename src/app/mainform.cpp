#include "mainform.h"
#include "activation.h"
#include "crashreport.h"
#include "forms.h"
#include "hostform.h"
#include "productinfo.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

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
    // The header picture of the brand; a missing picture leaves the band empty.
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *head = new QLabel;
    head->setObjectName(QStringLiteral("HeadImage"));
    head->setPixmap(QPixmap(ProductInfo().ProgramDir + QStringLiteral("recom/") + ProductInfo().HeadImage));
    layout->addWidget(head);
    layout->addStretch(1);
    setCentralWidget(central);
    ActivationTracker::instance().install(
        this, [this] { FormActivate(); }, true);
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
