#include "selectdatabaseform.h"
#include "ui_selectdatabaseform.h"

#include "definitionfiles.h"
#include "mainstate.h"
#include "messages.h"

#include <QShowEvent>

namespace vt {

TSelectDatabaseForm::TSelectDatabaseForm(QWidget *parent) : QDialog(parent), ui(new Ui::TSelectDatabaseForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TSelectDatabaseForm"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui->ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(ui->OpenBitBtn, &QPushButton::clicked, this, &TSelectDatabaseForm::OpenBitBtnClick);
    connect(ui->DeleteBitBtn, &QPushButton::clicked, this, &TSelectDatabaseForm::DeleteBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &TSelectDatabaseForm::AbortBitBtnClick);
}

TSelectDatabaseForm::~TSelectDatabaseForm()
{
    delete ui;
}

void TSelectDatabaseForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        FormActivate();
    }
}

void TSelectDatabaseForm::FormShow()
{
    ui->ListBox1->clear();
    const QStringList &catalog = MainState().DatabaseCatalog;
    for (int i = 1; i < catalog.size(); ++i)
        ui->ListBox1->addItem(CatalogEntryOf(catalog.at(i)).displayName);
}

void TSelectDatabaseForm::FormActivate()
{
    const bool open = SelectMode == 0;
    ui->TopLabel->setText(open ? QStringLiteral("Öffnen Datenbank") : QStringLiteral("Löschen Datenbank"));
    ui->OpenBitBtn->setVisible(open);
    ui->DeleteBitBtn->setVisible(!open);
}

QString TSelectDatabaseForm::chosenDefinitionFile() const
{
    // Entry i stands for catalogue line i + 1.
    return CatalogEntryOf(MainState().DatabaseCatalog.value(ui->ListBox1->currentRow() + 1)).definitionFile;
}

bool TSelectDatabaseForm::CheckSelected()
{
    if (ui->ListBox1->currentRow() >= 0 && ui->ListBox1->currentItem()->isSelected())
        return true;
    information(QStringLiteral("Bitte treffen Sie zuerst eine Auswahl!"));
    return false;
}

void TSelectDatabaseForm::ListBox1DblClick()
{
    if (ui->ListBox1->currentRow() < 0)
        return;
    SelectedDefinitionFile = chosenDefinitionFile();
    if (SelectMode == 0)
        accept();
}

void TSelectDatabaseForm::OpenBitBtnClick()
{
    if (CheckSelected())
        ListBox1DblClick();
}

void TSelectDatabaseForm::DeleteBitBtnClick()
{
    if (!CheckSelected())
        return;
    SelectedDefinitionFile = chosenDefinitionFile();
    if (TMainWindowOps *ops = MainState().Ops)
        ops->DeleteSelectedDatabase();
    accept();
}

void TSelectDatabaseForm::AbortBitBtnClick()
{
    reject();
}

} // namespace vt
