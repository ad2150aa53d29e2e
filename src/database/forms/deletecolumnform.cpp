#include "deletecolumnform.h"
#include "ui_deletecolumnform.h"

#include "fieldbox.h"
#include "mainstate.h"
#include "messages.h"
#include "sendrunguard.h"
#include "text.h"

#include <QApplication>
#include <QShowEvent>
#include <QStyle>

namespace vt {

TDeleteColumnForm::TDeleteColumnForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint),
      ui(new Ui::TDeleteColumnForm)
{
    ui->setupUi(this);
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    connect(ui->btnDo, &QPushButton::clicked, this, &TDeleteColumnForm::btnDoClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TDeleteColumnForm::~TDeleteColumnForm()
{
    delete ui;
}

void TDeleteColumnForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // From the field Mail on; the field after it is chosen.
    FillFieldBox(ui->cbDB, &FieldNameList, MainState().FieldDefinitions, 5);
    ui->cbDB->setCurrentIndex(ui->cbDB->count() > 1 ? 1 : 0);
}

void TDeleteColumnForm::btnDoClick()
{
    TMainState &s = MainState();
    const QString field = ChosenFieldName(ui->cbDB, FieldNameList);
    if (!s.CurrentTable || field.isEmpty() || !s.Ops)
        return;
    if (CommandRefusedDuringSendRun())
        return;
    const QString value = Trimmed(ui->Edit1->text());
    const bool onlyMarked = ui->chk1->isChecked();
    const QString text = QStringLiteral("Wollen Sie wirklich alle ") +
                         (onlyMarked ? QStringLiteral("selektierten ") : QString()) +
                         QStringLiteral("Felder in der Spalte \"") + ui->cbDB->currentText() + QStringLiteral("\" ") +
                         (value.isEmpty() ? QStringLiteral("leeren?")
                                          : QStringLiteral("mit dem Wert \"") + value + QStringLiteral("\" ersetzen?"));
    if (!question(text))
        return;
    s.Ops->SetColumnValue(field, value, onlyMarked);
}

} // namespace vt
