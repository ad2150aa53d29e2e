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
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &TUpdateProgressForm::showTimes);
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
    m_received = m_total = 0;
    m_ticker.start();
}

void TUpdateProgressForm::showProgress(qint64 received, qint64 total)
{
    ui->StatusLabel->setText(UpdateMessage(UpdateText::Downloading));
    ui->ProgressBar->setValue(total > 0 ? int(received * 1000 / total) : 0);
    m_received = received;
    m_total = total;
    showTimes();
}

void TUpdateProgressForm::showTimes()
{
    if (m_total > 0)
        ui->ProgressLabel->setText(UpdateProgressText(m_clock.elapsed(), m_received, m_total));
}

void TUpdateProgressForm::finish()
{
    m_finished = true;
    m_ticker.stop();
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
    m_ticker.stop();
    QDialog::reject();
    emit cancelConfirmed();
}

} // namespace vt
