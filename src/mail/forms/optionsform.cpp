#include "optionsform.h"
#include "importaccountsform.h"
#include "importaccountsoutlookform.h"
#include "ui_optionsform.h"

#include "convert.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"
#include "systools.h"
#include "text.h"

#include <QMouseEvent>
#include <QShowEvent>

namespace vt {

namespace {

constexpr int kMaxDelaySeconds = 3600;

QString digitsOr(const QString &text, const char *fallback)
{
    return IsDigitsOnly(text) ? text : QString::fromLatin1(fallback);
}

} // namespace

QString SmtpPortRule(const QString &text)
{
    return digitsOr(text, "25");
}

QString PopPortRule(const QString &text)
{
    return digitsOr(text, "110");
}

QString DelayRule(const QString &text)
{
    return digitsOr(text, "0");
}

QString ProxyPortRule(const QString &text)
{
    const QString t = Trimmed(text);
    return t.isEmpty() ? t : digitsOr(t, "3128");
}

TOptionsForm::TOptionsForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TOptionsForm)
{
    ui->setupUi(this);
    wireFields();
    connect(ui->UebernehmenButton, &QPushButton::clicked, this, &TOptionsForm::UebernehmenButtonClick);
    connect(ui->AbbrechenButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->DBSettingsButton, &QPushButton::clicked, this, &TOptionsForm::DBSettingsButtonClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TOptionsForm::HilfeBitBtnClick);
    connect(ui->ExchangeBitBtn, &QPushButton::clicked, this, &TOptionsForm::ExchangeBitBtnClick);
    connect(ui->ImportAccountBitBtn, &QPushButton::clicked, this, &TOptionsForm::showAccountPicker);
    connect(ui->OutlookImport, &QPushButton::clicked, this, &TOptionsForm::OutlookImportClick);
    connect(ui->TryConnetionButton, &QPushButton::clicked, this, &TOptionsForm::connectionTestRequested);
    const QList<QPair<QPushButton *, const char *>> providers = {
        {ui->GMXBitBtn, "gmx.html"},         {ui->WEBBitBtn, "web.html"},       {ui->TOnlineBitBtn, "t-online.html"},
        {ui->PuretecBitBtn, "puretec.html"}, {ui->StratoBitBtn, "strato.html"},
    };
    for (const auto &[button, page] : providers) {
        const QString name = QString::fromLatin1(page);
        connect(button, &QPushButton::clicked, this, [this, name] { OpenHelpPage(name); });
    }
    ui->ImportAccountsLabel->installEventFilter(this);
    ui->AuthPanel->setVisible(false);
    ui->POPPanel->setVisible(false);
}

TOptionsForm::~TOptionsForm()
{
    delete ui;
}

void TOptionsForm::setPickers(TImportAccountsForm *accounts, TFImportAccountsOutlook *outlookAccounts)
{
    m_accountPicker = accounts;
    m_outlookPicker = outlookAccounts;
}

void TOptionsForm::wireFields()
{
    auto text = [this](QLineEdit *edit, QString *field, bool trimmed) {
        connect(edit, &QLineEdit::textChanged, this,
                [field, trimmed](const QString &t) { *field = trimmed ? Trimmed(t) : t; });
    };
    text(ui->SMTPHostEdit, &SMTPHost, false);
    text(ui->SMTPPortEdit, &SMTPPort, false);
    text(ui->SMTPUserNameEdit, &SMTPUserName, false);
    text(ui->SMTPPasswordEdit, &SMTPPassword, false);
    text(ui->POPHostEdit, &POPHost, false);
    text(ui->POPKontoEdit, &POPKonto, false);
    text(ui->POPPasswordEdit, &POPPassword, false);
    text(ui->POPPortEdit, &POPPort, false);
    // The proxy: Edit8 its server, Edit9 its port, Edit4 the user name, MaskEdit1 the password.
    text(ui->Edit8, &ProxyServer, true);
    text(ui->Edit9, &ProxyPort, true);
    text(ui->Edit4, &ProxyUsername, true);
    text(ui->MaskEdit1, &ProxyPassword, true);
    connect(ui->DelayEdit, &QLineEdit::textChanged, this,
            [this](const QString &t) { DelaySeconds = IsDigitsOnly(t) ? t.toInt() : 0; });
    connect(ui->AuthentificationCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        Authentification = on;
        ui->AuthPanel->setVisible(on);
    });
    connect(ui->POPvorSMTPCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        POPvorSMTP = on;
        ui->POPPanel->setVisible(on);
    });
    connect(ui->ProxyCheckBox, &QCheckBox::toggled, this, [this](bool on) { UseProxy = on; });
    connect(ui->EmuComboBox, &QComboBox::currentIndexChanged, this, [this](int i) { XMailerType = qMax(0, i); });

    // The number rules apply when a field is left, so that clearing a field to
    // type a new number does not put the default in front of the digits.
    for (const auto &[edit, rule] : numberFields()) {
        QLineEdit *e = edit;
        auto r = rule;
        connect(e, &QLineEdit::editingFinished, this, [this, e, r] { applyNumberRule(e, r); });
    }
}

QList<QPair<QLineEdit *, TOptionsForm::NumberRule>> TOptionsForm::numberFields() const
{
    return {
        {ui->SMTPPortEdit, &SmtpPortRule},
        {ui->POPPortEdit, &PopPortRule},
        {ui->DelayEdit, &DelayRule},
        {ui->Edit9, &ProxyPortRule},
    };
}

bool TOptionsForm::applyNumberRule(QLineEdit *edit, NumberRule rule)
{
    const QString ruled = rule(edit->text());
    if (ruled != edit->text())
        edit->setText(ruled);
    return checkRange(edit, edit != ui->DelayEdit);
}

bool TOptionsForm::checkRange(QLineEdit *edit, bool isPort)
{
    const QString t = Trimmed(edit->text());
    if (t.isEmpty() && edit == ui->Edit9)
        return true;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (isPort && (!ok || n < 1 || n > 65535)) {
        information(QStringLiteral("Bitte geben Sie als Port eine Zahl von 1 bis 65535 ein!"));
        return false;
    }
    if (!isPort && (!ok || n < 0 || n > kMaxDelaySeconds)) {
        information(QStringLiteral("Bitte geben Sie als Wartepause eine Zahl von 0 bis %1 Sekunden ein!")
                        .arg(kMaxDelaySeconds));
        return false;
    }
    return true;
}

bool TOptionsForm::checkNumbers()
{
    for (const auto &[edit, rule] : numberFields()) {
        if (!applyNumberRule(edit, rule)) {
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    return true;
}

void TOptionsForm::FormCreate()
{
    // The web requests use the proxy the dialog holds: from the start that of
    // "proxy.ini", not only once the dialog has been opened.
    putProxyIntoControls(files().readProxy());
}

MailSettingsFiles TOptionsForm::files() const
{
    const TMainState &m = MainState();
    return MailSettingsFiles(m.AppFolder, m.DataFolder, m.DatabaseIniName);
}

bool TOptionsForm::ownScopePossible() const
{
    return files().canHaveOwnSettings();
}

MailSettings TOptionsForm::enteredSettings() const
{
    MailSettings s;
    s.smtpHost = SMTPHost;
    s.smtpPort = SMTPPort;
    s.smtpUserName = SMTPUserName;
    s.smtpPassword = SMTPPassword;
    s.popHost = POPHost;
    s.popAccount = POPKonto;
    s.popPassword = POPPassword;
    s.popPort = POPPort;
    s.xmailerType = XMailerType;
    s.sslActive = ui->SSLActiveCheckBox->isChecked();
    s.charsetIndex = qMax(0, ui->ComboBox1->currentIndex()); // the character-set list
    s.popBeforeSmtp = POPvorSMTP;
    s.authentication = Authentification;
    s.delaySeconds = DelaySeconds;
    return s;
}

ProxySettings TOptionsForm::proxySettings() const
{
    ProxySettings p;
    p.basicAuthentication = UseProxy;
    p.server = ProxyServer;
    p.port = ProxyPort;
    p.userName = ProxyUsername;
    p.password = ProxyPassword;
    return p;
}

Sender TOptionsForm::enteredSender() const
{
    return {Trimmed(ui->EmailEdit->text()), Trimmed(ui->NameEdit->text())};
}

TestMailValues TOptionsForm::testMailValues(const QString &recipient) const
{
    return {ConnectionSettingsOf(enteredSettings()), enteredSender(), recipient};
}

void TOptionsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
    // The stored values are loaded each time the dialog is opened, not when the
    // user comes back from the connection test: what was typed and not yet saved
    // stays.
    FormActivate();
}

bool TOptionsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->ImportAccountsLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        showAccountPicker();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionsForm::FormShow()
{
    const MailSettingsFiles f = files();
    const bool own = f.canHaveOwnSettings();
    // Label21 is the heading "Einstellungsgültigkeit".
    for (QWidget *w : {static_cast<QWidget *>(ui->Label21), static_cast<QWidget *>(ui->DBSettingsLabel),
                       static_cast<QWidget *>(ui->DBSettings), static_cast<QWidget *>(ui->DBSettingsButton)})
        w->setVisible(own);
    ui->ScopePanel->setVisible(own);
    if (own) {
        ui->DBSettings->setText(MainState().OpenDatabaseCaption);
        const bool hasOwnList = IsFile(f.databaseSenderList());
        ui->DBSettingsButton->setEnabled(hasOwnList);
        ui->DBSettingsButton->setToolTip(
            hasOwnList ? QStringLiteral("Einstellungen für diese Datenbank löschen und allgemeine Einstellungen "
                                        "verwenden")
                       : QStringLiteral("Diese Datenbank besitzt keine eigenen Einstellungen und verwendet die "
                                        "Standardeinstellungen!"));
    }
    if (IsVistaOrLater()) {
        if (IsWindows7())
            ui->ImportAccountBitBtn->setEnabled(false);
        else
            ui->ImportAccountBitBtn->setText(QStringLiteral("Windows Mail"));
    }
}

void TOptionsForm::FormActivate()
{
    TMainState &m = MainState();
    ui->OutlookImport->setEnabled(m.OutlookAvailable);
    const MailSettingsFiles f = files();
    if (!f.generalFileExists())
        error(f.missingGeneralFileText());

    const MailSettings s = f.read();
    const ProxySettings p = f.readProxy();
    putFieldsIntoControls(s, p);
    m.CharsetIndex = ui->ComboBox1->currentIndex();
    m.SslActive = ui->SSLActiveCheckBox->isChecked();

    // A missing list is an empty one: saving makes it.
    const MailSettingsFiles::SenderList list = f.readSenderList();
    const Sender first = list.ok && !list.lines.isEmpty() ? ParseSenderLine(list.lines.first()) : Sender();
    ui->EmailEdit->setText(first.address);
    ui->NameEdit->setText(first.name);

    // Offered only where there is a mail program to take the account from.
    if (!m.FirstSettingsDone && InternetAccountsAvailable() &&
        question(QStringLiteral("Postfacheinstellungen von Outlook Express übernehmen? (empfohlen)"), MsgButton::Yes))
        showAccountPicker();
}

void TOptionsForm::putFieldsIntoControls(const MailSettings &s, const ProxySettings &p)
{
    ui->SMTPHostEdit->setText(s.smtpHost);
    ui->SMTPPortEdit->setText(SmtpPortRule(s.smtpPort));
    ui->SMTPUserNameEdit->setText(s.smtpUserName);
    ui->SMTPPasswordEdit->setText(s.smtpPassword);
    ui->POPHostEdit->setText(s.popHost);
    ui->POPKontoEdit->setText(s.popAccount);
    ui->POPPasswordEdit->setText(s.popPassword);
    ui->POPPortEdit->setText(PopPortRule(s.popPort));
    ui->DelayEdit->setText(QString::number(s.delaySeconds));
    ui->EmuComboBox->setCurrentIndex(s.xmailerType);
    XMailerType = qMax(0, ui->EmuComboBox->currentIndex());
    ui->ComboBox1->setCurrentIndex(s.charsetIndex);
    ui->SSLActiveCheckBox->setChecked(s.sslActive);
    // setChecked emits only on a change; the fields and panels follow the stored values in any case.
    ui->AuthentificationCheckBox->setChecked(s.authentication);
    Authentification = s.authentication;
    ui->AuthPanel->setVisible(s.authentication);
    ui->POPvorSMTPCheckBox->setChecked(s.popBeforeSmtp);
    POPvorSMTP = s.popBeforeSmtp;
    ui->POPPanel->setVisible(s.popBeforeSmtp);
    putProxyIntoControls(p);
}

void TOptionsForm::putProxyIntoControls(const ProxySettings &p)
{
    ui->ProxyCheckBox->setChecked(p.basicAuthentication);
    UseProxy = p.basicAuthentication;
    ui->Edit8->setText(p.server);
    ui->Edit9->setText(ProxyPortRule(p.port));
    ui->Edit4->setText(p.userName);
    ui->MaskEdit1->setText(p.password);
}

void TOptionsForm::UebernehmenButtonClick()
{
    const QString address = ui->EmailEdit->text();
    if (Trimmed(address).isEmpty()) {
        information(QStringLiteral("Bitte geben Sie Ihre Absender-E-Mail-Adresse ein!"));
        return;
    }
    if (!IsValidEmailAddress(address)) {
        information(QStringLiteral("Absender-E-Mail-Adresse ungültig!"));
        return;
    }
    if (Trimmed(ui->NameEdit->text()).isEmpty()) {
        information(QStringLiteral("Bitte geben Sie Ihren Absender-Namen ein!"));
        return;
    }
    const QString upper = AsciiUpper(address);
    for (const char *blocked : {"WEBMASTER@", "POSTMASTER@", "MAILMASTER@"}) {
        if (upper.contains(QLatin1String(blocked))) {
            error(QStringLiteral("webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit "
                                 "Vantrel werden von vielen Mail-Providern blockiert. Bitte verwenden Sie eine "
                                 "andere E-Mail-Adresse!"));
            return;
        }
    }
    if (!checkNumbers())
        return;

    if (!ownScopePossible()) {
        if (SaveSettings(false))
            accept();
        return;
    }
    const MsgButton answer = questionYesNoAbort(
        QStringLiteral("Möchten Sie diese Einstellungen nur für\rdie Datenbank ") + MainState().OpenDatabaseCaption +
            QStringLiteral(" benutzen [JA]") + QStringLiteral("\r") +
            QStringLiteral("oder als Allgemeine Einstellungen [Nein] benutzen?"),
        MsgButton::Yes);
    bool saved = true;
    if (answer == MsgButton::Yes) {
        saved = SaveSettings(true);
    } else if (answer == MsgButton::No) {
        deleteDatabaseSettings();
        saved = SaveSettings(false);
    } else if (answer == MsgButton::None) {
        // Closed without an answer: the general settings, and the database's own stay.
        saved = SaveSettings(false);
    }
    // Abort saves nothing. The dialog stays open only when a file could not be
    // written, so nothing typed is lost.
    if (saved)
        accept();
}

bool TOptionsForm::SaveSettings(bool forOpenDatabase)
{
    const MailSettingsFiles::SaveResult r =
        files().save(forOpenDatabase, enteredSettings(), proxySettings(), enteredSender());
    if (!r.ok) {
        error(r.error);
        return false;
    }
    MainState().FirstSettingsDone = true;
    emit settingsSaved(r.senderLines);
    return true;
}

void TOptionsForm::DBSettingsButtonClick()
{
    if (!question(QStringLiteral("Möchten Sie wirklich die Einstellungen für Datenbank ") +
                  MainState().OpenDatabaseCaption +
                  QStringLiteral(" löschen und die allgemeinen Einstellungen verwenden?")))
        return;
    deleteDatabaseSettings();
    reject();
}

void TOptionsForm::deleteDatabaseSettings()
{
    if (!files().deleteDatabaseSettings())
        error(QStringLiteral("Die Einstellungen der Datenbank ") + MainState().OpenDatabaseCaption +
              QStringLiteral(" konnten nicht gelöscht werden!"));
}

void TOptionsForm::HilfeBitBtnClick()
{
    OpenHelpPage(ProductInfo().HelpFile);
}

void TOptionsForm::ExchangeBitBtnClick()
{
    if (question(QStringLiteral("Um Vantrel an einem Exchange-Server (5.5/2000/2003/2008) zu betreiben, müssen Sie "
                                "die Funktionalität \"SMTP-Connector\" im Exchange-Server aktivieren. Eine Anleitung "
                                "hierzu finden Sie im Vantrel FAQ Bereich!\r\rMöchten Sie den FAQ-Bereich jetzt "
                                "besuchen?"),
                 MsgButton::Yes, QStringLiteral("Vantrel und Exchange Server")))
        ShellOpen(ProductInfo().SerialMailPageUrl + QStringLiteral("#exchange"));
}

void TOptionsForm::showAccountPicker()
{
    if (!m_accountPicker)
        return;
    m_accountPicker->Options = this;
    Modal::exec(m_accountPicker);
}

void TOptionsForm::OutlookImportClick()
{
    if (!m_outlookPicker)
        return;
    m_outlookPicker->Options = this;
    Modal::exec(m_outlookPicker);
}

void TOptionsForm::ImportOutlookExpressAccount(const QString &accountKey)
{
    const std::optional<QVariantMap> values = InternetAccountSource::instance().openAccount(accountKey);
    if (!values)
        return;
    auto text = [&](const char *name) { return values->value(QString::fromLatin1(name)).toString(); };
    auto number = [&](const char *name, int def) {
        const QVariant v = values->value(QString::fromLatin1(name));
        return v.isValid() ? v.toInt() : def;
    };
    ui->SMTPPortEdit->setText(QString::number(number("SMTP Port", 25)));
    ui->SMTPHostEdit->setText(text("SMTP Server"));
    ui->EmailEdit->setText(text("SMTP Email Address"));
    ui->NameEdit->setText(text("SMTP Display Name"));
    const bool auth = number("SMTP Use Sicily", 0) > 0;
    ui->AuthentificationCheckBox->setChecked(auth);
    if (auth)
        ui->SMTPUserNameEdit->setText(text("SMTP User Name"));
    ui->POPKontoEdit->setText(text("POP3 User Name"));
    ui->POPHostEdit->setText(text("POP3 Server"));
    ui->POPPortEdit->setText(QString::number(number("POP3 Port", 110)));
}

void TOptionsForm::ImportOutlookAccount(const OutlookAccount &a, const QString &accountType)
{
    // Each property on its own: one the library cannot give is passed over.
    if (a.SMTP_Port)
        ui->SMTPPortEdit->setText(QString::number(*a.SMTP_Port));
    if (a.SMTP_Server)
        ui->SMTPHostEdit->setText(*a.SMTP_Server);
    if (a.SMTPAddress)
        ui->EmailEdit->setText(*a.SMTPAddress);
    if (a.UserName)
        ui->NameEdit->setText(*a.UserName);
    ui->AuthentificationCheckBox->setChecked(false);
    ui->SMTPUserNameEdit->clear();
    if (a.SMTP_UseAuth.value_or(false)) {
        ui->AuthentificationCheckBox->setChecked(true);
        if (a.SMTP_UserName)
            ui->SMTPUserNameEdit->setText(*a.SMTP_UserName);
    }
    if (accountType == QLatin1String("POP")) {
        if (a.POP3_UserName)
            ui->POPKontoEdit->setText(*a.POP3_UserName);
        if (a.POP3_Server)
            ui->POPHostEdit->setText(*a.POP3_Server);
        if (a.POP3_Port)
            ui->POPPortEdit->setText(*a.POP3_Port > 0 ? QString::number(*a.POP3_Port) : QStringLiteral("110"));
    } else {
        ui->POPKontoEdit->clear();
        ui->POPHostEdit->clear();
        ui->POPPortEdit->setText(QStringLiteral("110"));
    }
}

} // namespace vt
