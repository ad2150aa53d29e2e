#include "hostform.h"
#include "forms.h"
#include "mainform.h"
#include "paths.h"
#include "productinfo.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace vt {

THostForm::THostForm()
{
    setObjectName(QStringLiteral("HostForm"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowFlag(Qt::Tool);
}

void THostForm::FormCreate()
{
    EnsureFolder(BrandingFolder());
    SetupProductInfo();
}

void THostForm::SetupProductInfo()
{
    SetProductInfo(MakeProductInfo(QCoreApplication::applicationFilePath(), BrandingFolder()));
}

void THostForm::FormActivate()
{
    if (TMainForm *main = MainForm())
        main->show();
}

void THostForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::quit();
}

} // namespace vt
