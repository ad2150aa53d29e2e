#pragma once
// The dialog "Optionen": the mail account of the serial e-mail (SMTP server,
// authentication, SSL, POP before SMTP, the pause between two mails, character
// set, client identity, sender) and the proxy for web requests, saved for the
// open database alone or as the general settings.
#include "mailaccounts.h"
#include "mailerform.h"
#include "mailsettings.h"

#include <QDialog>
#include <QPointer>

namespace Ui {
class TOptionsForm;
}

class QLineEdit;

namespace vt {

class TImportAccountsForm;
class TFImportAccountsOutlook;

class TOptionsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget *parent = nullptr);
    ~TOptionsForm() override;
    void FormCreate();

    // The values behind the controls, kept in step by the controls' change
    // handlers; what is entered is taken from them, saved or not.
    QString SMTPHost;
    QString SMTPPort;
    bool Authentification = false;
    QString SMTPUserName;
    QString SMTPPassword;
    bool POPvorSMTP = false;
    QString POPHost;
    QString POPKonto;
    QString POPPassword;
    QString POPPort = QStringLiteral("110");
    int DelaySeconds = 0;
    int XMailerType = 0;
    bool UseProxy = false;
    QString ProxyServer;
    QString ProxyPort;
    QString ProxyUsername;
    QString ProxyPassword;

    // The settings as they are entered now (SSL and character set from their controls).
    MailSettings enteredSettings() const;
    ProxySettings proxySettings() const;
    Sender enteredSender() const;
    // What the connection test sends with: the values entered now.
    TestMailValues testMailValues(const QString &recipient) const;

    // The pickers and the connection test reached from here (the program's single
    // instances; tests may give their own).
    void setPickers(TImportAccountsForm *accounts, TFImportAccountsOutlook *outlookAccounts);

    // Saves what is entered: for the open database alone, or as the general
    // settings. False (after the message) when a file cannot be written.
    bool SaveSettings(bool forOpenDatabase);
    // The number rules of the port and pause fields, and their ranges; false after
    // a message when a number is out of range.
    bool checkNumbers();

    // Takes an account over from the account sources (passwords are never read).
    void ImportOutlookExpressAccount(const QString &accountKey);
    void ImportOutlookAccount(const OutlookAccount &account, const QString &accountType);

    // Runs the account picker of the numbered accounts modally.
    void showAccountPicker();

    // Whether the settings may be saved for the open database alone.
    bool ownScopePossible() const;

public slots:
    void FormShow();
    void FormActivate();
    void UebernehmenButtonClick();
    void DBSettingsButtonClick();
    void HilfeBitBtnClick();
    void ExchangeBitBtnClick();
    void OutlookImportClick();

signals:
    // "Verbindung testen" was pressed (the connection-test window answers it).
    void connectionTestRequested();
    // The settings were saved; the new sender list, default sender first.
    void settingsSaved(const QStringList &senderLines);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MailSettingsFiles files() const;
    // Drops the open database's own settings; says so when they cannot be deleted.
    void deleteDatabaseSettings();
    void putFieldsIntoControls(const MailSettings &s, const ProxySettings &p);
    void putProxyIntoControls(const ProxySettings &p);
    void wireFields();
    bool checkRange(QLineEdit *edit, bool isPort);
    using NumberRule = QString (*)(const QString &);
    // The number fields with their rules, in the order they are checked.
    QList<QPair<QLineEdit *, NumberRule>> numberFields() const;
    // Puts the field's rule into force; false after a message when out of range.
    bool applyNumberRule(QLineEdit *edit, NumberRule rule);

    Ui::TOptionsForm *ui;
    QPointer<TImportAccountsForm> m_accountPicker;
    QPointer<TFImportAccountsOutlook> m_outlookPicker;
};

// The number rules of the dialog's fields: a text that is not digits only becomes
// the default; the proxy port keeps an empty text.
QString SmtpPortRule(const QString &text);
QString PopPortRule(const QString &text);
QString DelayRule(const QString &text);
QString ProxyPortRule(const QString &text);

} // namespace vt
