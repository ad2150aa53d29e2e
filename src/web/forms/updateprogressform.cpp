#include "updateprogressform.h"
#include "ui_updateprogressform.h"

#include "messages.h"
#include "updatecheck.h"

namespace vt {

TUpdateProgressForm::TUpdateProgressForm(QWidget *parent) : QDialog(parent), ui(new Ui::TUpdateProgressForm)
{
    ui->setupUi(this);
    setWindowTitle(UpdateMessage(UpdateText::Caption));
    connect(ui->CancelButton, &QPushButton::clicked, this, &TUpdateProgressForm::reject);
}

TUpdateProgressForm::~TUpdateProgressForm()
{
    delete ui;
}

void TUpdateProgressForm::start(const QString &fileName, const QString &source, const QString &targetFolder)
{
    m_finished = false;
    m_clock.start();
    ui->StatusLabel->setText(UpdateMessage(UpdateText::ReceivingInfo));
    ui->FileLabel->setText(UpdateMessage(UpdateText::File).arg(fileName));
    ui->SourceLabel->setText(UpdateMessage(UpdateText::Source).arg(source));
    ui->TargetLabel->setText(UpdateMessage(UpdateText::Target).arg(targetFolder));
    ui->ProgressBar->setValue(0);
    ui->ProgressLabel->clear();
}

void TUpdateProgressForm::showProgress(qint64 received, qint64 total)
{
    ui->StatusLabel->setText(UpdateMessage(UpdateText::Downloading));
    ui->ProgressBar->setValue(total > 0 ? int(received * 1000 / total) : 0);
    ui->ProgressLabel->setText(UpdateProgressText(m_clock.elapsed(), received, total));
}

void TUpdateProgressForm::finish()
{
    m_finished = true;
    QDialog::reject();
}

void TUpdateProgressForm::reject()
{
    if (m_finished)
        return;
    // The download may end while the question is open.
    if (!question(UpdateMessage(UpdateText::ReallyCancel)) || m_finished)
        return;
    m_finished = true;
    QDialog::reject();
    emit cancelConfirmed();
}

} // namespace vt
