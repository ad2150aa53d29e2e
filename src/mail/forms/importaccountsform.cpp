#include "importaccountsform.h"
#include "ui_importaccountsform.h"

#include "mailaccounts.h"
#include "messages.h"
#include "optionsform.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace vt {

QString PasswordsNotReadText()
{
    return QStringLiteral(
        "ACHTUNG! Aus Sicherheitsgründen werden Ihre Passwörter nicht ausgelesen, bitte ergänzen Sie diese noch!");
}

QString NoAccountSelectedText()
{
    return QStringLiteral("Bitte wählen Sie ein Konto aus!");
}

QString NoAccountsFoundText()
{
    return QStringLiteral("ACHTUNG! Es wurden keine Konten, die benutzt werden können, gefunden!");
}

void AccountPicker::reject()
{
    if (CanCloseFlag)
        QDialog::reject();
}

void AccountPicker::closeEvent(QCloseEvent *event)
{
    if (CanCloseFlag)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void AccountPicker::cancel()
{
    CanCloseFlag = true;
    SelectedAccount.clear();
    QDialog::reject();
}

TImportAccountsForm::TImportAccountsForm(QWidget *parent) : AccountPicker(parent), ui(new Ui::TImportAccountsForm)
{
    ui->setupUi(this);
    connect(ui->OkBitBtn, &QPushButton::clicked, this, &TImportAccountsForm::OkBitBtnClick);
    connect(ui->AbordBitBtn, &QPushButton::clicked, this, &TImportAccountsForm::AbordBitBtnClick);
    // ListBox1: the accounts found, one line each.
    connect(ui->ListBox1, &QListWidget::itemDoubleClicked, this, &TImportAccountsForm::OkBitBtnClick);
}

TImportAccountsForm::~TImportAccountsForm()
{
    delete ui;
}

void TImportAccountsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TImportAccountsForm::FormActivate()
{
    AccountKeys.clear();
    SelectedAccount.clear();
    ui->ListBox1->clear();
    const QList<InternetAccount> accounts = ListInternetAccounts();
    for (const InternetAccount &a : accounts) {
        ui->ListBox1->addItem(a.values.value(QStringLiteral("SMTP Display Name")).toString() + QLatin1Char('<') +
                              a.values.value(QStringLiteral("SMTP Email Address")).toString() + QLatin1Char('>'));
        AccountKeys.append(a.key);
    }
    // Without the mail program there is nothing to choose; say so rather than show a bare list.
    if (accounts.isEmpty())
        information(NoAccountsFoundText());
}

void TImportAccountsForm::OkBitBtnClick()
{
    const int row = ui->ListBox1->currentRow();
    SelectedAccount =
        row >= 0 && row < AccountKeys.size() && ui->ListBox1->item(row)->isSelected() ? AccountKeys.at(row) : QString();
    if (SelectedAccount.isEmpty()) {
        information(NoAccountSelectedText());
        CanCloseFlag = false;
        return;
    }
    CanCloseFlag = true;
    if (Options)
        Options->ImportOutlookExpressAccount(SelectedAccount);
    information(PasswordsNotReadText());
    accept();
}

void TImportAccountsForm::AbordBitBtnClick()
{
    cancel();
}

} // namespace vt
