#include "doidform.h"
#include "ui_doidform.h"

#include "messages.h"
#include "text.h"

#include <QRegularExpressionValidator>

#include <limits>

namespace vt {

TDoIDForm::TDoIDForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ui(new Ui::TDoIDForm)
{
    ui->setupUi(this);
    // Up to eleven digits, as the edits have room for.
    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,11}")), this);
    ui->MaskEdit1->setValidator(digits);
    ui->MaskEdit2->setValidator(digits);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TDoIDForm::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TDoIDForm::~TDoIDForm()
{
    delete ui;
}

void TDoIDForm::setHeading(const QString &text)
{
    ui->DoLabel->setText(text);
}

void TDoIDForm::BitBtn1Click()
{
    auto number = [](const QString &text, qint32 *out) {
        bool ok = false;
        const qlonglong n = Trimmed(text).toLongLong(&ok);
        if (!ok || n < 0 || n > std::numeric_limits<qint32>::max())
            return false;
        *out = qint32(n);
        return true;
    };
    qint32 start = 0, end = 0;
    const bool startOk = number(ui->MaskEdit1->text(), &start);
    if (!startOk || !number(ui->MaskEdit2->text(), &end)) {
        information(QStringLiteral("Bitte geben Sie als Start ID und End ID ganze Zahlen von 0 bis 2147483647 ein!"));
        (startOk ? ui->MaskEdit2 : ui->MaskEdit1)->setFocus();
        return;
    }
    StartId = start;
    EndId = end;
    accept();
}

} // namespace vt
