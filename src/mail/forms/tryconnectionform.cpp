#include "tryconnectionform.h"
#include "ui_tryconnectionform.h"

#include "mailerform.h"
#include "mailing.h"
#include "messages.h"
#include "optionsform.h"

#include <QApplication>
#include <QFile>

namespace vt {

TFTryconnection::TFTryconnection(QWidget *parent) : QDialog(parent), ui(new Ui::TFTryconnection)
{
    ui->setupUi(this);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TFTryconnection::HilfeBitBtnClick);
}

TFTryconnection::~TFTryconnection()
{
    delete ui;
}

void TFTryconnection::HilfeBitBtnClick()
{
    const QString text = ui->EmailEdit->text();
    if (text == QLatin1String("Emailadresse eingeben")) {
        plain(QStringLiteral("Bitte geben Sie eine Emailadresse ein"));
    } else if (!text.contains(QLatin1Char('@')) || !text.contains(QLatin1Char('.'))) {
        plain(QStringLiteral("Bitte geben Sie eine gültige Emailadresse ein"));
    } else if (Options && Options->checkNumbers()) {
        QFile::remove(TransactionLogPath());
        // Saved without asking: for the open database when it may have settings of its own.
        if (Options->SaveSettings(Options->ownScopePossible())) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            TestRecipient = text;
            TestMailValues values = Options->testMailValues(TestRecipient);
            values.priorityIndex = MailerForm()->priorityIndex();
            const bool sent = SendTestMail(values, [](const QString &problem) { error(problem); });
            QApplication::restoreOverrideCursor();
            if (sent)
                information(QStringLiteral("Test-E-Mail wurde gesendet!"));
            else
                error(QStringLiteral("Test-E-Mail konnte nicht gesendet werden!"));
        }
    }
    // The address stays for the next test.
    close();
}

} // namespace vt
