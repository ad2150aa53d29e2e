#pragma once
// The picker "Konto auswählen" of the Outlook library's mail accounts: the chosen
// POP or IMAP account is taken over into the options dialog.
#include "importaccountsform.h"
#include "mailaccounts.h"

namespace Ui {
class TFImportAccountsOutlook;
}

namespace vt {

class TFImportAccountsOutlook : public AccountPicker
{
    Q_OBJECT
public:
    explicit TFImportAccountsOutlook(QWidget *parent = nullptr);
    ~TFImportAccountsOutlook() override;
    void FormCreate() {}

    QList<OutlookAccount> OutlookAccounts;
    QString AccountType; // "POP" or "IMAP"

public slots:
    void FormShow();
    void OkButtonClick();
    void CancelbtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TFImportAccountsOutlook *ui;
};

} // namespace vt
