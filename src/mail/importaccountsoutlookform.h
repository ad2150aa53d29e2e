#pragma once
// The picker "Konto auswählen" of the Outlook library's mail accounts: the chosen
// POP or IMAP account is taken over into the options dialog.
#include "mailaccounts.h"

#include <QDialog>
#include <QPointer>

namespace Ui {
class TFImportAccountsOutlook;
}

namespace vt {

class TOptionsForm;

class TFImportAccountsOutlook : public QDialog
{
    Q_OBJECT
public:
    explicit TFImportAccountsOutlook(QWidget *parent = nullptr);
    ~TFImportAccountsOutlook() override;
    void FormCreate() {}

    QList<OutlookAccount> OutlookAccounts;
    QString SelectedAccount;
    QString AccountType; // "POP" or "IMAP"
    bool CanCloseFlag = false;
    QPointer<TOptionsForm> Options;

public slots:
    void FormShow();
    void OkButtonClick();
    void CancelbtnClick();
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::TFImportAccountsOutlook *ui;
};

} // namespace vt
