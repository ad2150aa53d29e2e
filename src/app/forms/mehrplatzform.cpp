#include "mehrplatzform.h"
#include "ui_mehrplatzform.h"

#include "activation.h"
#include "linklabel.h"
#include "productinfo.h"
#include "shell.h"

namespace vt {

TMehrplatzForm::TMehrplatzForm(QWidget *parent) : QDialog(parent), ui(new Ui::TMehrplatzForm)
{
    ui->setupUi(this);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    MakeLink(ui->Label4, [this] { Label4Click(); });
}

TMehrplatzForm::~TMehrplatzForm()
{
    delete ui;
}

void TMehrplatzForm::FormCreate()
{
    ActivationTracker::instance().install(
        this, [this] { FormActivate(); }, false);
}

void TMehrplatzForm::FormActivate()
{
    ui->Label1->setText(QStringLiteral("Kopieren Sie den kompletten Ordner \"") + ProductInfo().DefaultInstallDir +
                        QStringLiteral("\" mit allen Inhalten auf Ihren Server."));
}

void TMehrplatzForm::Label4Click()
{
    ShellOpen(ProductInfo().ClientSetupUrl);
}

} // namespace vt
