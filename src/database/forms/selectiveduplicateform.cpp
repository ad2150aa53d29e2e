#include "selectiveduplicateform.h"
#include "ui_selectiveduplicateform.h"

#include "datasettools.h"
#include "duplicaterun.h"
#include "fieldbox.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "sendrunguard.h"

#include <QShowEvent>
#include <QStyle>

namespace vt {

TSelectiveDuplicateForm::TSelectiveDuplicateForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint),
      ExecOptions(&Modal::exec), ui(new Ui::TSelectiveDuplicateForm)
{
    ui->setupUi(this);
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    connect(ui->btnDo, &QPushButton::clicked, this, &TSelectiveDuplicateForm::btnDoClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TSelectiveDuplicateForm::~TSelectiveDuplicateForm()
{
    delete ui;
}

void TSelectiveDuplicateForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FillFieldBox(ui->cbDB, &FieldNameList, MainState().FieldDefinitions, 5);
    ui->cbDB->setCurrentIndex(ui->cbDB->count() > 1 ? 1 : 0);
}

void TSelectiveDuplicateForm::btnDoClick()
{
    TMainState &s = MainState();
    if (!s.CurrentTable) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    if (CommandRefusedDuringSendRun() || !Options)
        return;
    const int field = FindFieldByName(ChosenFieldName(ui->cbDB, FieldNameList), s.CurrentTable);
    if (RunDuplicateRemoval(DuplicateCommand::Selective, field, Options, ExecOptions))
        accept();
}

} // namespace vt
