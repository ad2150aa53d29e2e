#include "exportwizardform.h"
#include "ui_exportwizardform.h"

#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"

#include <QPixmap>

namespace vt {

TExportWizzard1Form::TExportWizzard1Form(QWidget *parent)
    : ExportDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TExportWizzard1Form)
{
    ui->setupUi(this);
    connect(ui->WeiterBitBtn, &QPushButton::clicked, this, &TExportWizzard1Form::WeiterBitBtnClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TExportWizzard1Form::HilfeBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TExportWizzard1Form::~TExportWizzard1Form()
{
    delete ui;
}

void TExportWizzard1Form::FormCreate()
{
    const QPixmap picture(PathJoin(MainState().AppFolder, QStringLiteral("recom/") + ProductInfo().WizardImage));
    if (!picture.isNull())
        ui->Image1->setPixmap(picture.scaledToWidth(qMin(picture.width(), 160), Qt::SmoothTransformation));
}

void TExportWizzard1Form::WeiterBitBtnClick()
{
    if (ui->ExcelRadioButton->isChecked()) {
        accept();
        if (TMainWindowOps *ops = MainState().Ops)
            ops->ExportGridToExcel();
    } else if (ui->OtherRadioButton->isChecked()) {
        accept();
        if (TextExport)
            TextExport();
    } else {
        information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
    }
}

void TExportWizzard1Form::HilfeBitBtnClick()
{
    OpenHelpPage();
}

QList<QAbstractButton *> TExportWizzard1Form::gradientBoxes() const
{
    return {ui->ExcelRadioButton, ui->OtherRadioButton};
}

} // namespace vt
