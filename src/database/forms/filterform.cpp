#include "filterform.h"
#include "ui_filterform.h"

#include "fieldbox.h"
#include "filterexpression.h"
#include "mainstate.h"
#include "messages.h"

#include <QShowEvent>

namespace vt {

namespace {

// The preselected columns of a box without a choice: the 14th and the 10th
// field, or the last one of a table with fewer fields.
constexpr int kPreselected1 = 13;
constexpr int kPreselected2 = 9;

} // namespace

TFilterForm::TFilterForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ExpressionParts(7),
      ui(new Ui::TFilterForm)
{
    ui->setupUi(this);
    connect(ui->OnBitBtn, &QPushButton::clicked, this, &TFilterForm::OnBitBtnClick);
    connect(ui->OffBitBtn, &QPushButton::clicked, this, &TFilterForm::OffBitBtnClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TFilterForm::HilfeBitBtnClick);
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Operate1Btn, &QPushButton::clicked, this, &TFilterForm::Operate1BtnClick);
    connect(ui->Operate2Btn, &QPushButton::clicked, this, &TFilterForm::Operate2BtnClick);
    connect(ui->ConectorBtn, &QPushButton::clicked, this, &TFilterForm::ConectorBtnClick);
    connect(ui->Field1ComboBox, &QComboBox::currentIndexChanged, this, [this] {
        takeCondition1();
        UpdateExpressionEdit();
    });
    connect(ui->Field2ComboBox, &QComboBox::currentIndexChanged, this, [this] {
        takeCondition2();
        UpdateExpressionEdit();
    });
    connect(ui->Exp1Edit, &QLineEdit::textChanged, this, [this] {
        takeCondition1();
        UpdateExpressionEdit();
    });
    connect(ui->Exp2Edit, &QLineEdit::textChanged, this, [this] {
        takeCondition2();
        UpdateExpressionEdit();
    });
}

TFilterForm::~TFilterForm()
{
    delete ui;
}

void TFilterForm::FormCreate()
{
    ui->Field1ComboBox->setCurrentIndex(-1);
    ui->Field2ComboBox->setCurrentIndex(-1);
    Operator1Index = Operator2Index = ConnectorIndex = 1;
    ui->Operate1Btn->setText(FilterOperatorText(1));
    ui->Operate2Btn->setText(FilterOperatorText(1));
    ui->ConectorBtn->setText(FilterConnectorCaption(1));
    enableCondition2();
}

QString TFilterForm::expressionText() const
{
    return ui->ExpressionEdit->text();
}

void TFilterForm::UpdateExpressionEdit()
{
    ui->ExpressionEdit->setText(JoinFilterParts(ExpressionParts));
}

void TFilterForm::takeCondition1()
{
    const int pos = ui->Field1ComboBox->currentIndex();
    ExpressionParts[0] = ChosenFieldName(ui->Field1ComboBox, FilterFieldNames);
    ExpressionParts[1] = FilterOperatorText(Operator1Index);
    ExpressionParts[2] = FilterValuePart(ui->Exp1Edit->text(), pos);
}

void TFilterForm::takeCondition2()
{
    if (ConnectorIndex == 1)
        return;
    const int pos = ui->Field2ComboBox->currentIndex();
    ExpressionParts[4] = ChosenFieldName(ui->Field2ComboBox, FilterFieldNames);
    ExpressionParts[5] = FilterOperatorText(Operator2Index);
    ExpressionParts[6] = FilterValuePart(ui->Exp2Edit->text(), pos);
}

void TFilterForm::takeConnector()
{
    ExpressionParts[3] = FilterConnectorWord(ConnectorIndex);
    if (ConnectorIndex == 1)
        for (int i = 4; i < 7; ++i)
            ExpressionParts[i].clear();
    else
        takeCondition2();
}

void TFilterForm::enableCondition2()
{
    const bool on = ConnectorIndex != 1;
    ui->Field2ComboBox->setEnabled(on);
    ui->Operate2Btn->setEnabled(on);
    ui->Exp2Edit->setEnabled(on);
}

void TFilterForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // The columns of the open table, the choices kept where they still exist.
    int pos1 = ui->Field1ComboBox->currentIndex();
    int pos2 = ui->Field2ComboBox->currentIndex();
    {
        const QSignalBlocker b1(ui->Field1ComboBox), b2(ui->Field2ComboBox);
        FillFieldBox(ui->Field1ComboBox, &FilterFieldNames, MainState().FieldDefinitions, 1);
        QStringList again;
        FillFieldBox(ui->Field2ComboBox, &again, MainState().FieldDefinitions, 1);
        const int last = int(FilterFieldNames.size()) - 1;
        if (pos1 < 0 || pos1 > last)
            pos1 = std::min(kPreselected1, last);
        if (pos2 < 0 || pos2 > last)
            pos2 = std::min(kPreselected2, last);
        ui->Field1ComboBox->setCurrentIndex(pos1);
        ui->Field2ComboBox->setCurrentIndex(pos2);
    }
    takeCondition1();
    ExpressionParts[3] = FilterConnectorWord(ConnectorIndex);
    UpdateExpressionEdit();
}

void TFilterForm::done(int result)
{
    FilterFieldNames.clear();
    QDialog::done(result);
}

void TFilterForm::Operate1BtnClick()
{
    Operator1Index = NextFilterOperator(Operator1Index);
    ui->Operate1Btn->setText(FilterOperatorText(Operator1Index));
    ExpressionParts[1] = FilterOperatorText(Operator1Index);
    UpdateExpressionEdit();
}

void TFilterForm::Operate2BtnClick()
{
    Operator2Index = NextFilterOperator(Operator2Index);
    ui->Operate2Btn->setText(FilterOperatorText(Operator2Index));
    ExpressionParts[5] = FilterOperatorText(Operator2Index);
    UpdateExpressionEdit();
}

void TFilterForm::ConectorBtnClick()
{
    ConnectorIndex = NextFilterConnector(ConnectorIndex);
    ui->ConectorBtn->setText(FilterConnectorCaption(ConnectorIndex));
    enableCondition2();
    takeConnector();
    UpdateExpressionEdit();
}

bool TFilterForm::switchFilter(bool on, const QString &text)
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t)
        return false;
    if (on) {
        // A text that is no filter leaves the table as it was, filtered or not.
        const QString before = t->filterText();
        const bool wasOn = t->isFiltered();
        if (!t->setFilterText(text) || !t->setFiltered(true)) {
            const QString why = t->lastError();
            if (!wasOn)
                t->setFilterText(before);
            error(why);
            return false;
        }
    } else {
        t->setFiltered(false);
        t->setFilterText(QString());
    }
    s.ShowRecordCount();
    return true;
}

void TFilterForm::OnBitBtnClick()
{
    switchFilter(true, expressionText());
}

void TFilterForm::OffBitBtnClick()
{
    switchFilter(false, QString());
}

void TFilterForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

} // namespace vt
