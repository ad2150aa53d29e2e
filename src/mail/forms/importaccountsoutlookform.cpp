#include "importaccountsoutlookform.h"
#include "ui_importaccountsoutlookform.h"

#include "messages.h"
#include "optionsform.h"
#include "text.h"

#include <QShowEvent>

namespace vt {

TFImportAccountsOutlook::TFImportAccountsOutlook(QWidget *parent)
    : AccountPicker(parent), ui(new Ui::TFImportAccountsOutlook)
{
    ui->setupUi(this);
    connect(ui->OkButton, &QPushButton::clicked, this, &TFImportAccountsOutlook::OkButtonClick);
    connect(ui->Cancelbtn, &QPushButton::clicked, this, &TFImportAccountsOutlook::CancelbtnClick);
    // ListBox1: the accounts found, one line each.
    connect(ui->ListBox1, &QListWidget::itemDoubleClicked, this, &TFImportAccountsOutlook::OkButtonClick);
}

TFImportAccountsOutlook::~TFImportAccountsOutlook()
{
    delete ui;
}

void TFImportAccountsOutlook::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFImportAccountsOutlook::FormShow()
{
    ui->ListBox1->clear();
    OutlookAccounts.clear();
    const bool ok = OutlookAccountSource::instance().accounts(OutlookAccounts);
    for (const OutlookAccount &a : std::as_const(OutlookAccounts))
        if (a.AccountTypeStr.contains(QLatin1String("POP")) || a.AccountTypeStr.contains(QLatin1String("IMAP")))
            ui->ListBox1->addItem(a.Name);
    if (!ok)
        information(NoAccountsFoundText());
}

void TFImportAccountsOutlook::OkButtonClick()
{
    AccountType.clear();
    QListWidgetItem *item = ui->ListBox1->currentItem();
    SelectedAccount = item && item->isSelected() ? item->text() : QString();
    if (SelectedAccount.isEmpty()) {
        information(NoAccountSelectedText());
        CanCloseFlag = false;
        return;
    }
    CanCloseFlag = true;
    for (const OutlookAccount &a : std::as_const(OutlookAccounts))
        if (a.Name == SelectedAccount)
            AccountType =
                a.AccountTypeStr.contains(QLatin1String("IMAP")) ? QStringLiteral("IMAP") : QStringLiteral("POP");
    // Several accounts of one name: each is taken over in turn, so the last one wins.
    if (Options)
        for (const OutlookAccount &a : std::as_const(OutlookAccounts))
            if (a.Name == SelectedAccount)
                Options->ImportOutlookAccount(a, AccountType);
    accept();
    if (Options && !Trimmed(Options->SMTPUserName).isEmpty())
        information(PasswordsNotReadText());
}

void TFImportAccountsOutlook::CancelbtnClick()
{
    cancel();
}

} // namespace vt
