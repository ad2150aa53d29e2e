#pragma once
// The picker "Konto auswählen" of the numbered mail accounts: the chosen account
// is taken over into the options dialog (passwords are never read).
#include <QDialog>
#include <QPointer>
#include <QStringList>

namespace Ui {
class TImportAccountsForm;
}

namespace vt {

class TOptionsForm;

// What both account pickers share: the chosen account, the dialog it goes into,
// and a window that closes through its buttons only.
class AccountPicker : public QDialog
{
    Q_OBJECT
public:
    using QDialog::QDialog;

    QString SelectedAccount;
    // The answer to closing the window; set by the buttons only, so the window
    // cannot be closed by its frame before one of them was used.
    bool CanCloseFlag = false;
    // The dialog the account goes into.
    QPointer<TOptionsForm> Options;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    // The cancel button: closes without an account.
    void cancel();
};

class TImportAccountsForm : public AccountPicker
{
    Q_OBJECT
public:
    explicit TImportAccountsForm(QWidget *parent = nullptr);
    ~TImportAccountsForm() override;
    void FormCreate() {}

    QStringList AccountKeys; // the account keys, parallel to the list lines

public slots:
    void FormActivate();
    void OkBitBtnClick();
    void AbordBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TImportAccountsForm *ui;
};

// The texts both pickers show.
QString PasswordsNotReadText();
QString NoAccountSelectedText();
QString NoAccountsFoundText();

} // namespace vt
