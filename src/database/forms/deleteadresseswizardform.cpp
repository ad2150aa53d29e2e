#include "deleteadresseswizardform.h"
#include "ui_deleteadresseswizardform.h"

#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"

#include <QApplication>
#include <QShowEvent>

namespace vt {

TDeleteAdressesWizardForm::TDeleteAdressesWizardForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ui(new Ui::TDeleteAdressesWizardForm)
{
    ui->setupUi(this);
    connect(ui->DeleteSofortRadioButton, &QRadioButton::toggled, ui->ComboBox1, &QWidget::setEnabled);
    connect(ui->WeiterBitBtn, &QPushButton::clicked, this, &TDeleteAdressesWizardForm::WeiterBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &TDeleteAdressesWizardForm::AbortBitBtnClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TDeleteAdressesWizardForm::HilfeBitBtnClick);
}

TDeleteAdressesWizardForm::~TDeleteAdressesWizardForm()
{
    delete ui;
}

void TDeleteAdressesWizardForm::FormCreate()
{
    WizardAccepted = false;
    const QString picture =
        ResolveExisting(PathJoin(MainState().AppFolder, QStringLiteral("recom/")), ProductInfo().WizardImage);
    ui->Image1->setPixmap(QPixmap(picture));
}

KeepRecord TDeleteAdressesWizardForm::keepRecord() const
{
    return ui->ComboBox1->currentIndex() == 1 ? KeepRecord::Newest : KeepRecord::Oldest;
}

void TDeleteAdressesWizardForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!ui->DeleteSofortRadioButton->isChecked() && !ui->ManuellDeleteRadioButton->isChecked())
        ui->DeleteSofortRadioButton->setChecked(true);
    ui->ComboBox1->setEnabled(ui->DeleteSofortRadioButton->isChecked());
}

void TDeleteAdressesWizardForm::WeiterBitBtnClick()
{
    if (!ui->DeleteSofortRadioButton->isChecked() && !ui->ManuellDeleteRadioButton->isChecked()) {
        information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
        return;
    }
    DeleteAtOnce = ui->DeleteSofortRadioButton->isChecked();
    WizardAccepted = true;
    accept();
}

void TDeleteAdressesWizardForm::AbortBitBtnClick()
{
    reject();
}

void TDeleteAdressesWizardForm::reject()
{
    WizardAccepted = false;
    QDialog::reject();
}

void TDeleteAdressesWizardForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

} // namespace vt
