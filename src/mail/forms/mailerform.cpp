#include "mailerform.h"
#include "ui_mailerform.h"

#include "activation.h"
#include "addresstable.h"
#include "clock.h"
#include "convert.h"
#include "crashreport.h"
#include "datasettools.h"
#include "filedialogs.h"
#include "inifile.h"
#include "logforms.h"
#include "mailcharset.h"
#include "mailsettings.h"
#include "mailtemplate.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "paths.h"
#include "personalize.h"
#include "pop3client.h"
#include "sendrunguard.h"
#include "startmailer.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"
#include "tracking.h"
#include "workfolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QShowEvent>
#include <QTextBlock>

#include <cmath>

namespace vt {

namespace {

const QString kAttachmentFilter = QStringLiteral(
    "Dokumente (*.xls *.ppt *.pps *.doc *.xlt *.xlsx *.docx *.pptx *.odt *.ods *.txt *.sxc *.stc *.ots *.pdf);;"
    "Bilder (*.tif *.jpg *.jpeg *.gif *.png *.tiff *.bmp *.cdr *.psd);;"
    "Office Formate (*.xls *.ppt *.pps *.doc *.xlt *.xlsx *.docx *.pptx *.odt *.ods *.txt *.sxc *.stc *.ots *.pdf);;"
    "Daten Formate (*.csv *.db *.html *.xml);;E-Mail Nachrichten (*.eml *.msg);;"
    "Archive (*.zip *.rar *.ace *.tgz *.tar.gz)");
// The traffic bars alternate between these two colours.
const QColor kTrafficColors[2] = {QColor(0xDB, 0xE9, 0xF9), QColor(0xA6, 0xC7, 0xF0)};
constexpr int kTimer1Ticks = 5;

const QString kConnectionAbortText =
    QStringLiteral("Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen Sie Ihre Verbindung "
                   "zum SMTP-Server!\r\r");

QString connectionQuestion(const QString &error)
{
    return QStringLiteral("Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler: ") + error +
           QStringLiteral("\r\r! Möchten Sie den Versand abbrechen?\r\r(Falls Sie diese Meldungen nicht mehr "
                          "wünschen, setzen Sie den Haken \"Verbindungsprobleme ignorieren\")");
}

QString protocolLogPath()
{
    return MainState().AppFolder + QStringLiteral("Logfile.txt");
}

void sayAttachmentMissing(const QString &path)
{
    information(QStringLiteral("Achtung! In der Vorlage haben Sie als Anhang die Datei ") + path +
                QStringLiteral(" angegeben. \rDie Datei existiert aber nicht mehr!"));
}

// The lines of a file, or nothing after telling the user it cannot be read.
std::optional<QStringList> readOrSay(const QString &path)
{
    bool ok = false;
    QStringList lines = ReadLines(path, &ok);
    if (ok)
        return lines;
    error(CannotOpenFileText(path));
    return std::nullopt;
}

// Puts the account's SSL and character set into force and logs on to the POP3
// server for "POP vor SMTP"; false after the message when that logon fails.
bool takeAccount(const ConnectionSettings &s)
{
    TMainState &st = MainState();
    st.SslActive = s.sslActive;
    st.CharsetIndex = s.charsetIndex;
    if (s.popBeforeSmtp && !PopBeforeSmtpLogon({s.popHost, s.popPort, s.popAccount, s.popPassword, s.sslActive})) {
        error(kPopLogonFailedText);
        return false;
    }
    return true;
}

int percentBar(double part, qint64 whole)
{
    return int(qBound(0L, std::lround(part / double(whole) * 100.0), 100L));
}

} // namespace

QString SentMailsLogPath()
{
    return MainState().AppTempFolder + QStringLiteral("Gesendete_Mails.log");
}

QString TransactionLogPath()
{
    return MainState().AppFolder + QStringLiteral("Transaction.log");
}

QString SalutationTablePath()
{
    return MainState().AppFolder + QStringLiteral("Grussformel.txt");
}

QStringList InsertPlaceholder(const QStringList &lines, int caretLine, int caretColumn, const QString &placeholder)
{
    QStringList out = lines;
    if (caretLine < 0 || caretLine >= out.size()) {
        out.append(placeholder);
        return out;
    }
    const QString line = out.at(caretLine);
    if (caretColumn <= 0)
        out[caretLine] = placeholder + QLatin1Char(' ') + Trimmed(line);
    else
        out[caretLine] = Trimmed(line.left(caretColumn)) + QLatin1Char(' ') + placeholder + QLatin1Char(' ') +
                         Trimmed(line.mid(caretColumn));
    return out;
}

QStringList PlaceholderListLines(const QStringList &fieldDefinitions)
{
    QStringList out;
    const QString bar = QStringLiteral("|");
    // Line 5 is the field Mail (the header line counts as line 0).
    for (qsizetype i = 5; i < fieldDefinitions.size(); ++i) {
        const QString name = Trimmed(ExtractDelimitedWord(1, fieldDefinitions.at(i), bar));
        if (name.isEmpty())
            continue;
        const QString display = Trimmed(ExtractDelimitedWord(9, fieldDefinitions.at(i), bar));
        out.append(QLatin1Char('$') + AsciiUpper(name) +
                   (display.isEmpty() ? QString() : QStringLiteral(" für ") + display));
    }
    out.append(QStringLiteral("$DATUM"));
    return out;
}

SendProgress SendProgressTexts(int sent, int failed, qint64 marked)
{
    const qint64 m = qMax<qint64>(1, marked);
    SendProgress p;
    p.total = QString::number(sent + failed) + QStringLiteral(" von ") + QString::number(marked);
    p.totalBar = percentBar(sent + failed, m);
    // The share of sent mails counts the one under way.
    p.sent = FormatFixed(double(sent + 1) / double(m) * 100.0, 4, 2) + QStringLiteral("% (") + QString::number(sent) +
             QStringLiteral(" Stück)");
    p.sentBar = percentBar(sent, m);
    p.failed = FormatFixed(double(failed) / double(m) * 100.0, 4, 2) + QStringLiteral("% (") + QString::number(failed) +
               QStringLiteral(" Stück)");
    p.failedBar = percentBar(failed, m);
    return p;
}

TMailerForm::TMailerForm()
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(new Ui::TMailerForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TMailerForm"));
    setModal(false);
    ui->PrioComobox->setCurrentIndex(1);
    ProgressTimer.setInterval(500);
    TrafficTimer.setInterval(250);
    Timer1.setInterval(200);
    ProgressTimer.setObjectName(QStringLiteral("ProgressTimer"));
    TrafficTimer.setObjectName(QStringLiteral("TrafficTimer"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&ProgressTimer, &QTimer::timeout, this, &TMailerForm::ProgressTimerTimer);
    connect(&TrafficTimer, &QTimer::timeout, this, &TMailerForm::TrafficTimerTimer);
    connect(&Timer1, &QTimer::timeout, this, &TMailerForm::Timer1Timer);
    auto guarded = [this](const char *where, void (TMailerForm::*handler)()) {
        return [this, where, handler] { Guard(where, [this, handler] { (this->*handler)(); }); };
    };
    connect(ui->SendBitBtn, &QPushButton::clicked, this, guarded("SendBitBtnClick", &TMailerForm::SendBitBtnClick));
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, guarded("AbortBitBtnClick", &TMailerForm::AbortBitBtnClick));
    connect(ui->SaveMailButton, &QPushButton::clicked, this,
            guarded("SaveMailButtonClick", &TMailerForm::SaveMailButtonClick));
    connect(ui->NewButton, &QPushButton::clicked, this, guarded("NewButtonClick", &TMailerForm::NewButtonClick));
    connect(ui->VariableSpeedButton, &QToolButton::clicked, this,
            guarded("VariableSpeedButtonClick", &TMailerForm::VariableSpeedButtonClick));
    connect(ui->VariablesListBox, &QListWidget::itemDoubleClicked, this,
            guarded("VariableSpeedButtonClick", &TMailerForm::VariableSpeedButtonClick));
    connect(ui->TextBitbtn, &QPushButton::clicked, this, guarded("TextBitbtnClick", &TMailerForm::TextBitbtnClick));
    connect(ui->BitBtn1, &QPushButton::clicked, this, guarded("BitBtn1Click", &TMailerForm::BitBtn1Click));
    connect(ui->BitBtn2, &QPushButton::clicked, this, guarded("BitBtn2Click", &TMailerForm::BitBtn2Click));
    connect(ui->OpenButton, &QPushButton::clicked, this, guarded("OpenButtonClick", &TMailerForm::OpenButtonClick));
    connect(ui->PreviewBitBtn, &QPushButton::clicked, this,
            guarded("PreviewBitBtnClick", &TMailerForm::PreviewBitBtnClick));
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TMailerForm::CheckBox1Click);
    connect(ui->WebBrowser1, &QTextBrowser::sourceChanged, this, &TMailerForm::WebBrowser1NavigateComplete2);
    // The status texts of the SMTP component.
    connect(&IdSMTP1, &SmtpClient::connected, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Connected")); });
    connect(&IdSMTP1, &SmtpClient::closed, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Disconnected")); });
    connect(&IdSMTP1, &SmtpClient::sending, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Sending")); });
    // Every failed send is in the protocol; the run itself decides whether to ask.
    connect(&IdSMTP1, &SmtpClient::errorOccurred, this, [this](int, const QString &description) {
        if (MainState().TransactionLogOn)
            IdSMTP1.logText(description);
    });
    ui->BitBtn2->hide();
    ActivationTracker::instance().install(
        this, [this] { Guard("TMailerForm.FormActivate", [this] { FormActivate(); }); }, true);
}

TMailerForm::~TMailerForm()
{
    ActivationTracker::instance().remove(this);
    // A run still going ends now, while the SMTP component it uses still exists.
    if (m_run) {
        m_run->disconnect(this);
        delete m_run;
    }
    SetBusyCursor(false);
    delete ui;
}

void TMailerForm::FormCreate()
{
    SendTempFolder = WithoutTrailingSlash(MailWorkFolder());
}

void TMailerForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    SendTempFolder = WithoutTrailingSlash(MailWorkFolder());
    ui->SelectVariablesPanel->setVisible(MailMode == 0);
    m_timer1Ticks = 0;
    Timer1.start();
}

void TMailerForm::FormActivate()
{
    // Coming back to the window during a run changes nothing: the run goes on with
    // the sender, subject and mail it started with.
    if (m_runActive)
        return;
    TMainState &st = MainState();
    SendingFlag = false;
    LoadTrackingSettings(st);
    const bool tracking = st.TrackingActive && !Trimmed(st.StatsUrl).isEmpty() && !Trimmed(st.StatsPassword).isEmpty();
    ui->TrackingCheckBox->setChecked(tracking);
    ui->TrackingCheckBox->setEnabled(tracking);
    st.TrackingActive = tracking;

    const MailSettingsFiles files(st.AppFolder, st.DataFolder, st.DatabaseIniName);
    const MailSettingsFiles::SenderList senders = files.readSenderList();
    if (!senders.ok)
        error(senders.error);
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(senders.lines);
    ui->ComboBox1->setCurrentIndex(senders.lines.isEmpty() ? -1 : 0);

    if (MailMode == 1) {
        ui->PreviewBitBtn->setEnabled(true);
        RenderHtmlMail(true);
    }
    ui->VariablesListBox->clear();
    ui->VariablesListBox->addItems(PlaceholderListLines(st.FieldDefinitions));
    if (MailMode == 1) {
        ui->TextBitbtn->hide();
    } else {
        ui->TextBitbtn->show();
        ui->BitBtn2->setVisible(ui->FAttachmentListBox->count() > 0);
    }
    CurrentTemplateFile = TextTemplatePath;
    if (MailMode == 1) {
        const THtmlImportChoice &import = HtmlImportChoice();
        QString subject = m_mailSubject;
        if (import.HtmlImported && Trimmed(import.Subject) != Trimmed(m_mailSubject))
            subject = Trimmed(import.Subject);
        ui->SubjectEdit->setText(subject);
    }
}

void TMailerForm::RenderHtmlMail(bool activated)
{
    MailMessage mail;
    QString problem;
    if (!mail.loadFile(HtmlMailPath, &problem)) {
        error(problem);
        return;
    }
    if (activated)
        mail.setCharset(MailCharsetName(MainState().CharsetIndex));
    const int count = mail.attachmentCount();
    const qint64 size = mail.size();
    QString status = count == 1 ? QStringLiteral("Anhang: 1") : QStringLiteral("Anhänge: ") + QString::number(count);
    status += QStringLiteral(" | Gesamtgröße der E-Mail: ") + QString::number(std::lround(size / 1024.0)) +
              QStringLiteral(" kB");
    const qint64 threshold = activated ? 1000000 : 500000;
    if (size > threshold) {
        status += QStringLiteral(" | ACHTUNG! Diese E-Mail ist für einen Newsletter sehr groß!");
        ui->AdvOfficeStatusBar1->setStyleSheet(QStringLiteral("color: red;"));
    } else {
        ui->AdvOfficeStatusBar1->setStyleSheet(QStringLiteral("color: #00008B;"));
    }
    ui->AdvOfficeStatusBar1->setText(status);

    m_mailSubject = mail.subject();
    const QString shown = WritePreviewPages(mail);
    if (mail.hasHtmlBody()) {
        ui->WebBrowser1->setSource(QUrl::fromLocalFile(shown), QTextDocument::HtmlResource);
    } else {
        ui->WebBrowser1->setPlainText(ReadTextFile(shown));
        WebBrowser1NavigateComplete2();
    }
    // The character set only changes how the mail is written out, not its bodies.
    HtmlBody = mail.htmlBody();
}

QString TMailerForm::WritePreviewPages(const MailMessage &mail)
{
    const QString folder = MailWorkFolder();
    const bool html = mail.hasHtmlBody();
    for (int n = 1; n <= 2; ++n) {
        const QString base = folder + QStringLiteral("innerpreview") + QString::number(n);
        if (html) {
            QFile::remove(base + QStringLiteral(".html"));
            mail.unpackHtml(folder, QStringLiteral("innerpreview%1.html").arg(n), QStringLiteral("images%1").arg(n));
        } else {
            QFile::remove(base + QStringLiteral(".txt"));
            WriteLines(base + QStringLiteral(".txt"), {mail.textBody()}, {TextEncoding::Utf8});
        }
    }
    // Successive renderings show the two pages in turn, so a browser never takes
    // the new page for the one it shows.
    ++PreviewFileIndex;
    const QString shown = folder + QStringLiteral("innerpreview") + QString::number(PreviewFileIndex) +
                          (html ? QStringLiteral(".html") : QStringLiteral(".txt"));
    if (PreviewFileIndex > 1)
        PreviewFileIndex = 0;
    return shown;
}

void TMailerForm::Timer1Timer()
{
    ui->SubjectEdit->setFocus();
    ui->SendBitBtn->setFocus();
    const THtmlImportChoice &import = HtmlImportChoice();
    if (import.HtmlImported && ui->SubjectEdit->text().isEmpty())
        ui->SubjectEdit->setText(Trimmed(import.Subject));
    if (++m_timer1Ticks >= kTimer1Ticks) {
        Timer1.stop();
        m_timer1Ticks = 0;
    }
}

void TMailerForm::WebBrowser1NavigateComplete2()
{
    if (!isVisible())
        return;
    repaint();
    ui->SubjectEdit->setFocus();
    ui->SendBitBtn->setFocus();
}

void TMailerForm::closeEvent(QCloseEvent *event)
{
    if (!CanCloseFlag) {
        event->ignore();
        return;
    }
    SetBusyCursor(false);
    AttachmentPath.clear();
    ui->FAttachmentListBox->clear();
    ui->BitBtn2->hide();
    // A run still going ends its session itself.
    if (!m_runActive)
        IdSMTP1.disconnectFromServer();
    event->accept();
}

void TMailerForm::reject()
{
    // Escape goes the way of the frame's close: only when the window may close.
    close();
}

void TMailerForm::PrepareAndShow()
{
    CanCloseFlag = false;
    if (MailMode == 0) {
        ui->MessageMemo->setEnabled(true);
        if (!TextTemplatePath.isEmpty())
            LoadMailTemplate(TextTemplatePath);
    } else {
        ui->MessageMemo->setEnabled(false);
    }
    show();
    raise();
    activateWindow();
}

void TMailerForm::resetProgress()
{
    ui->ProgressBar1->setValue(0);
    ui->ProgressBar2->setValue(0);
    ui->ProgressBar3->setValue(0);
    ui->eMailsLabel->setText(QStringLiteral("0"));
    ui->InvalidMailsLabel->setText(QStringLiteral("0"));
    ui->TotalLabel->setText(QStringLiteral("0"));
}

void TMailerForm::ResetSendDisplay()
{
    ui->Chart2->clear();
    TrafficTick = 0;
    TrafficTimer.stop();
    resetProgress();
    ui->ListBox1->clear();
    const TStartWizardChoice &choice = StartWizardChoice();
    if (TextTemplatePath.isEmpty()) {
        ui->SubjectEdit->clear();
        if (!AsciiUpper(choice.FileName).contains(QStringLiteral(".TXT")))
            ui->MessageMemo->clear();
    }
    if (choice.NewMailChosen && choice.TextMailChosen && TextTemplatePath.isEmpty()) {
        SetBodyLines({QStringLiteral("Hier bitte Ihren E-Mail-Text eingeben")});
        ui->SubjectEdit->setText(QStringLiteral("Hier bitte Ihren Betreff eingeben"));
    }
    SetBusyCursor(false);
}

QStringList TMailerForm::BodyLines() const
{
    const QString text = ui->MessageMemo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TMailerForm::SetBodyLines(const QStringList &lines)
{
    ui->MessageMemo->setPlainText(lines.join(QLatin1Char('\n')));
}

void TMailerForm::showAttachment(const QString &path)
{
    AttachmentPath = path;
    ui->FAttachmentListBox->clear();
    if (!path.isEmpty())
        ui->FAttachmentListBox->addItem(QFileInfo(path).fileName());
    ui->BitBtn2->setVisible(!path.isEmpty());
}

bool TMailerForm::refusedWhileSending()
{
    return CommandRefusedDuringSendRun();
}

void TMailerForm::LoadMailTemplate(const QString &path, bool workCopy)
{
    if (refusedWhileSending())
        return;
    const std::optional<QStringList> lines = readOrSay(path);
    if (!lines)
        return;
    const MailTemplateContent content = ParseMailTemplate(*lines);
    SetBodyLines(content.body);
    if (content.subject)
        ui->SubjectEdit->setText(*content.subject);
    for (const QString &attachment : content.attachments) {
        if (IsFile(attachment)) {
            showAttachment(attachment);
            continue;
        }
        showAttachment({});
        sayAttachmentMissing(attachment);
        const QString target = workCopy ? CurrentTemplateFile : path;
        if (!target.isEmpty())
            SaveMailTemplate(target);
    }
}

bool TMailerForm::SaveMailTemplate(const QString &path)
{
    QString problem;
    if (WriteMailTemplate(path, ui->SubjectEdit->text(), BodyLines(), AttachmentPath, &problem))
        return true;
    error(problem);
    return false;
}

void TMailerForm::SaveMailButtonClick()
{
    QString path = FileDialogs::instance().saveFile(this, QStringLiteral("Als Vorlage speichern"),
                                                    MainState().LettersFolder, QStringLiteral("Vantrel (*.mail)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mail");
    SaveMailTemplate(path);
}

void TMailerForm::NewButtonClick()
{
    if (refusedWhileSending())
        return;
    CanCloseFlag = true;
    close();
    if (TMainWindowOps *ops = MainState().Ops)
        ops->MailBitBtnClick();
}

void TMailerForm::VariableSpeedButtonClick()
{
    QListWidgetItem *item = ui->VariablesListBox->currentItem();
    if (!item || !item->isSelected()) {
        information(QStringLiteral("Bitte markieren Sie zuerst einen Platzhalter zum einfügen!"));
        return;
    }
    const QString placeholder = ExtractDelimitedWord(1, item->text(), QStringLiteral(" "));
    const QTextCursor caret = ui->MessageMemo->textCursor();
    const QStringList lines = InsertPlaceholder(BodyLines(), caret.blockNumber(), caret.positionInBlock(), placeholder);
    SetBodyLines(lines);
}

void TMailerForm::TextBitbtnClick()
{
    if (refusedWhileSending())
        return;
    const QString path = FileDialogs::instance().openFile(
        this, QStringLiteral("Text öffnen"), MainState().LettersFolder, QStringLiteral("Text Datei (*.txt)"));
    if (path.isEmpty())
        return;
    const std::optional<QStringList> lines = readOrSay(path);
    if (!lines)
        return;
    SetBodyLines(*lines);
}

void TMailerForm::BitBtn1Click()
{
    const QString path = FileDialogs::instance().openFile(this, QStringLiteral("Datei Anhang hinzufügen"),
                                                          MainState().LettersFolder, kAttachmentFilter);
    if (!path.isEmpty())
        showAttachment(path);
}

void TMailerForm::BitBtn2Click()
{
    showAttachment({});
    if (!CurrentTemplateFile.isEmpty())
        SaveMailTemplate(CurrentTemplateFile);
}

void TMailerForm::CheckBox1Click()
{
    const bool wrap = ui->CheckBox1->isChecked();
    ui->MessageMemo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    ui->CheckBox1->setText(wrap ? QStringLiteral("Zeilenumbruch ein") : QStringLiteral("Zeilenumbruch aus"));
}

void TMailerForm::ProgressTimerTimer()
{
    if (!ProgressTimer.isActive())
        return;
    const qint64 marked = m_run ? m_run->total() : MainState().MarkedCount;
    const SendProgress p = SendProgressTexts(ui->ListBox1->count(), int(FailedList.size()), marked);
    ui->TotalLabel->setText(p.total);
    ui->ProgressBar3->setValue(p.totalBar);
    ui->eMailsLabel->setText(p.sent);
    ui->ProgressBar1->setValue(p.sentBar);
    ui->InvalidMailsLabel->setText(p.failed);
    ui->ProgressBar2->setValue(p.failedBar);
    update();
}

void TMailerForm::TrafficTimerTimer()
{
    ++TrafficTick;
    if (TrafficKB > 100)
        TrafficKB = 350;
    ui->Chart2->addPoint(TrafficKB, QString::number(TrafficTick), kTrafficColors[TrafficTick % 2]);
}

void TMailerForm::SetBusyCursor(bool on)
{
    if (on == m_busyCursor)
        return;
    m_busyCursor = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMailerForm::setRunActive(bool on)
{
    m_runActive = on;
    MainState().SendRunActive = on;
    for (QWidget *w : {static_cast<QWidget *>(ui->SendBitBtn), static_cast<QWidget *>(ui->OpenButton),
                       static_cast<QWidget *>(ui->NewButton), static_cast<QWidget *>(ui->TextBitbtn),
                       static_cast<QWidget *>(ui->PreviewBitBtn), static_cast<QWidget *>(ui->BitBtn1),
                       static_cast<QWidget *>(ui->BitBtn2), static_cast<QWidget *>(ui->ComboBox1),
                       static_cast<QWidget *>(ui->VariableSpeedButton)})
        w->setEnabled(!on);
}

bool TMailerForm::PrepareConnection()
{
    TMainState &st = MainState();
    const MailSettingsFiles files(st.AppFolder, st.DataFolder, st.DatabaseIniName);
    if (!files.generalFileExists())
        error(files.missingGeneralFileText());
    {
        const IniFile ini(files.settingsFileInForce());
        m_settings = ReadConnectionSettings(ini);
    }
    const bool result = takeAccount(m_settings);
    if (!result)
        CanCloseFlag = true;
    ConfigureSmtpClient(IdSMTP1, m_settings);
    return result;
}

bool TMailerForm::SendTestMail(const TestMailValues &v)
{
    TMainState &st = MainState();
    const MailSettingsFiles files(st.AppFolder, st.DataFolder, st.DatabaseIniName);
    if (!files.generalFileExists())
        error(files.missingGeneralFileText());
    const ConnectionSettings &s = v.account;
    bool result = takeAccount(s);
    // A client of its own: a test from the options never touches a run's connection.
    SmtpClient client;
    ConfigureSmtpClient(client, s);
    client.setMailFormat(SmtpClient::TextMail);
    client.addRecipient(v.testRecipient, v.testRecipient);
    client.setSubject(QStringLiteral("Vantrel Test-E-Mail"));
    client.setBodyText(QStringLiteral("Dies ist eine Test-E-Mail versendet mit Vantrel! Wenn Sie diese E-Mail erhalten "
                                      "haben ist der Verbindungstest erfolgreich durchgeführt worden."));
    client.setFromAddr(v.sender.address);
    client.setFrom(v.sender.name);
    client.setPriority(SmtpClient::priorityOfChoice(ui->PrioComobox->currentIndex()));
    if (client.send() != 0)
        result = false;
    client.disconnectFromServer();
    return result;
}

bool TMailerForm::BuildHtmlMail(QString *problem)
{
    auto fail = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return false;
    };
    if (m_runActive)
        return fail(TMainState::SendRunActiveText());
    if (!MailTable || !MailTable->isOpen())
        return fail(QStringLiteral("Zuerst Datenbank öffnen!"));
    const std::optional<QList<QVariant>> record = MailTable->readRecord(MailTable->currentId());
    if (!record)
        return fail(MailTable->lastError());
    const QStringList names = MailTable->fieldNames();
    const Personalizer personalizer(names, SalutationTablePath());
    PlaceholderValues values;
    QString text;
    if (!personalizer.values(TableRecordValues(*MailTable, names, *record), values, &text))
        return fail(text);
    HtmlMailBuilder builder;
    if (!builder.load(HtmlMailPath, &text))
        return fail(text);
    const std::optional<HtmlMailOptions> o = htmlOptions(&text);
    if (!o)
        return fail(text);
    const int mailField = FindMailField(MailTable);
    const QString address =
        mailField >= 0 ? Trimmed(NaturalToText(MailTable->field(mailField), record->at(mailField))) : QString();
    const QByteArray message = builder.build(values, ui->SubjectEdit->text(), address, *o);
    QFile out(SendTempFolder + QStringLiteral("/Sending.eml"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(message) != message.size())
        return fail(CannotWriteFileText(out.fileName()));
    return true;
}

std::optional<HtmlMailOptions> TMailerForm::htmlOptions(QString *problem) const
{
    const TMainState &st = MainState();
    HtmlMailOptions o;
    o.charsetIndex = st.CharsetIndex;
    o.priorityIndex = ui->PrioComobox->currentIndex();
    o.xmailerType = m_settings.xmailerType;
    o.senderName = SenderName;
    o.senderAddress = SenderAddress;
    o.tracking = ui->TrackingCheckBox->isChecked();
    o.statsUrl = st.StatsUrl;
    o.mailingId = MailingId;
    if (o.tracking) {
        o.trackingKey = TrackingKey(st.WebSettingsFile.isEmpty() ? WebSettingsPath(st) : st.WebSettingsFile, problem);
        if (o.trackingKey.isEmpty())
            return std::nullopt;
    }
    return o;
}

void TMailerForm::SendBitBtnClick()
{
    // A second "Senden" while a run goes on does nothing.
    if (m_runActive)
        return;
    setRunActive(true);
    TMainState &st = MainState();
    QFile::remove(TransactionLogPath());
    FailedList.clear();
    if (ui->ComboBox1->count() > 1) {
        const int i = ui->ComboBox1->currentIndex();
        const QString entry = i >= 0 ? ui->ComboBox1->itemText(i) : QString();
        if (!question(QStringLiteral("Wollen Sie die Email mit dem Absender: ") + entry + QStringLiteral("versenden")))
            return endBeforeStart(false);
    }
    if (!st.FirstSettingsDone) {
        information(QStringLiteral("Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt worden. Gehen "
                                   "Sie hierzu in den Menüpunkt \"Programm - Optionen\""));
        return endBeforeStart(true);
    }
    const Sender sender = ParseSenderLine(ui->ComboBox1->currentText());
    SenderAddress = sender.address;
    SenderName = sender.name;
    // A sender the server would refuse is better said now than after the connection.
    if (!IsValidEmailAddress(SenderAddress)) {
        error(QStringLiteral("Absender-E-Mail-Adresse ungültig!"));
        return endBeforeStart(false);
    }
    resetProgress();
    SendingFlag = true;
    ui->Chart2->clear();
    TrafficTick = 0;
    TrafficKB = 0;
    TrafficTimer.start();
    ui->Chart2->addPoint(0, QStringLiteral("0"), kTrafficColors[0]);
    if (MailMode == 1)
        SendHtmlMails();
    else
        SendTextMails();
}

SendRun::Config TMailerForm::runConfig(SendRun::Mode mode)
{
    TMainState &st = MainState();
    EnsureFolder(st.AppTempFolder);
    SendRun::Config c;
    c.mode = mode;
    c.table = MailTable;
    c.salutationTable = SalutationTablePath();
    c.sentLog = SentMailsLogPath();
    if (st.TransactionLogOn)
        c.transactionLog = TransactionLogPath();
    c.senderAddress = SenderAddress;
    c.senderName = SenderName;
    c.subject = ui->SubjectEdit->text();
    c.priorityIndex = ui->PrioComobox->currentIndex();
    c.charsetIndex = st.CharsetIndex;
    c.sslActive = st.SslActive;
    c.ignoreConnectionProblems = ui->IngoreConnecProb->isChecked() || ui->IngoreConnecProb2->isChecked();
    c.delayMs = m_settings.delaySeconds * DelayUnitMs;
    return c;
}

bool TMailerForm::connectForRun()
{
    // "Abbrechen" while the POP3 server was asked ends the run before it starts.
    if (!PrepareConnection() || !SendingFlag) {
        endBeforeStart(!SendingFlag);
        return false;
    }
    if (m_settings.host == kUnsetSmtpHost) {
        information(QStringLiteral("Sie haben die Einstellungen noch nicht bearbeitet!\rBitte bearbeiten Sie diese im "
                                   "Menü unter Programm/Optionen!"));
        if (TMainWindowOps *ops = MainState().Ops)
            ops->RefreshGrid();
        endBeforeStart(true);
        return false;
    }
    return true;
}

void TMailerForm::SendTextMails()
{
    TMainState &st = MainState();
    const QString work = MailWorkFolder();
    QFile::remove(work + QStringLiteral("temp.mail"));
    QFile::remove(work + QStringLiteral("Preview.mail"));
    // An attachment that has gone is said once, and the mail goes without it.
    if (!AttachmentPath.isEmpty() && !IsFile(AttachmentPath)) {
        const QString missing = AttachmentPath;
        showAttachment({});
        sayAttachmentMissing(missing);
        if (!CurrentTemplateFile.isEmpty())
            SaveMailTemplate(CurrentTemplateFile);
    }
    SaveMailTemplate(work + QStringLiteral("temp.mail"));
    EnsureFolder(st.LettersFolder);
    SaveMailTemplate(st.LettersFolder + QStringLiteral("_Zuletzt versande Email.mail"));
    QFile::remove(SentMailsLogPath());
    QFile::remove(protocolLogPath());
    if (Trimmed(ui->SubjectEdit->text()).isEmpty()) {
        information(QStringLiteral("Kein Betreff eingegeben! - E-Mail wird nicht versendet!"));
        return endBeforeStart(false);
    }
    ui->SelectVariablesPanel->hide();
    SetBusyCursor(true);
    if (!connectForRun())
        return;
    SendRun::Config c = runConfig(SendRun::Mode::Text);
    c.body = BodyLines();
    c.attachmentPath = AttachmentPath;
    startRun(c);
}

void TMailerForm::SendHtmlMails()
{
    TMainState &st = MainState();
    if (Trimmed(HtmlMailPath).isEmpty()) {
        information(QStringLiteral("Mail Datei mit HTML-Mail nicht geöffnet?"));
        return endBeforeStart(false);
    }
    ui->SelectVariablesPanel->hide();
    QFile::remove(SentMailsLogPath());
    QFile::remove(protocolLogPath());
    SetBusyCursor(true);
    if (!MailTable || MailTable->count(Filter::equals(QStringLiteral("Selected"), QVariant(true))) <= 0) {
        SetBusyCursor(false);
        information(QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        return endBeforeStart(true);
    }
    if (!connectForRun())
        return;
    MailingId = st.TrackingActive ? MailingIdAt(Clock::now()) : QString();
    SendRun::Config c = runConfig(SendRun::Mode::Html);
    c.htmlMailPath = HtmlMailPath;
    QString problem;
    const std::optional<HtmlMailOptions> options = htmlOptions(&problem);
    if (!options) {
        error(problem);
        return endBeforeStart(false);
    }
    c.html = *options;
    startRun(c);
}

bool TMailerForm::startRun(SendRun::Config config)
{
    IdSMTP1.setLogFileName(protocolLogPath());
    const bool html = config.mode == SendRun::Mode::Html;
    auto *run = new SendRun(config, &m_submission, this);
    connect(run, &SendRun::recordSent, this, [this, html](qint64, const QString &address) {
        ui->ListBox1->addItem((html ? QStringLiteral("An: ") : QStringLiteral("TO: ")) + address);
        if (html)
            ui->ListBox1->setCurrentRow(ui->ListBox1->count() - 1);
    });
    connect(run, &SendRun::recordFailed, this, [this](qint64, const QString &line) { FailedList.append(line); });
    connect(run, &SendRun::trafficChanged, this, [this](int kb) { TrafficKB = kb; });
    // The server fails: an HTML run or a text run with SSL ends with the message; a
    // text run without SSL goes on unless the user ends it.
    connect(run, &SendRun::connectionFailed, this, [run = QPointer<SendRun>(run)](const QString &error, bool mayGoOn) {
        if (!mayGoOn) {
            vt::error(kConnectionAbortText + error);
            return;
        }
        const bool end = question(connectionQuestion(error));
        if (!run)
            return;
        if (end)
            run->stop();
        else
            run->resume();
    });
    connect(run, &SendRun::finished, this, [this](SendRun::Outcome outcome) {
        Guard("TMailerForm.SendBitBtnClick", [this, outcome] { onRunFinished(outcome); });
    });
    m_run = run;
    if (!run->start()) {
        error(run->errorText());
        m_run = nullptr;
        delete run;
        endBeforeStart(false);
        return false;
    }
    ProgressTimer.start();
    return true;
}

void TMailerForm::onRunFinished(SendRun::Outcome outcome)
{
    if (outcome == SendRun::Outcome::LocalError && m_run && !m_run->errorText().isEmpty())
        error(m_run->errorText());
    ProgressTimerTimer();
    ProgressTimer.stop();
    TrafficTimer.stop();
    SetBusyCursor(false);
    CanCloseFlag = true;
    if (!FailedList.isEmpty())
        Modal::exec(ErrorMailForm());
    close();
    TrafficTick = 0;
    ui->AbortBitBtn->setEnabled(true);
    FailedList.clear();
    SendingFlag = false;
    HtmlImportChoice().HtmlImported = false;
    if (m_run)
        m_run->deleteLater();
    m_run = nullptr;
    setRunActive(false);
    if (TMainWindowOps *ops = MainState().Ops)
        ops->RefreshGrid();
    emit runEnded(outcome);
}

void TMailerForm::endBeforeStart(bool closeWindow)
{
    SetBusyCursor(false);
    SendingFlag = false;
    TrafficTimer.stop();
    setRunActive(false);
    if (closeWindow) {
        CanCloseFlag = true;
        close();
    }
}

void TMailerForm::AbortBitBtnClick()
{
    SendingFlag = false;
    CanCloseFlag = true;
    if (m_run && m_run->isRunning())
        m_run->stop();
    if (isVisible() && !close())
        close();
}

TMailerForm *MailerForm()
{
    static QPointer<TMailerForm> form;
    if (!form) {
        form = new TMailerForm;
        Guard("TMailerForm.FormCreate", [] { form->FormCreate(); });
    }
    return form;
}

} // namespace vt
