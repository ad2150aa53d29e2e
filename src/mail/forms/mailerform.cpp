#include "mailerform.h"
#include "ui_mailerform.h"

#include "activation.h"
#include "addresstable.h"
#include "clock.h"
#include "convert.h"
#include "crashreport.h"
#include "filedialogs.h"
#include "logforms.h"
#include "mailcharset.h"
#include "mailsettings.h"
#include "mailtemplate.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "paths.h"
#include "sendrunguard.h"
#include "startmailer.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"
#include "tracking.h"
#include "widgetservices.h"
#include "workfolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QScrollBar>
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

// The serial e-mail's reports are error boxes of the window.
void showError(const QString &text)
{
    error(text);
}

int percentBar(double part, qint64 whole)
{
    return int(qBound(0L, std::lround(part / double(whole) * 100.0), 100L));
}

} // namespace

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

SendProgress SendProgressTexts(int sent, int failed, qint64 marked, bool underWay)
{
    const qint64 m = qMax<qint64>(1, marked);
    SendProgress p;
    p.total = QString::number(sent + failed) + QStringLiteral(" von ") + QString::number(marked);
    p.totalBar = percentBar(sent + failed, m);
    // The share of sent mails counts the one under way, never one more than there are.
    const qint64 going = qMin<qint64>(sent + (underWay ? 1 : 0), m);
    p.sent = FormatFixed(double(going) / double(m) * 100.0, 4, 2) + QStringLiteral("% (") + QString::number(sent) +
             QStringLiteral(" Stück)");
    p.sentBar = percentBar(going, m);
    p.failed = FormatFixed(double(failed) / double(m) * 100.0, 4, 2) + QStringLiteral("% (") + QString::number(failed) +
               QStringLiteral(" Stück)");
    p.failedBar = percentBar(failed, m);
    return p;
}

QString NotReachedText(int sent, int failed, qint64 total)
{
    const qint64 notReached = total - sent - failed;
    if (notReached <= 0)
        return {};
    return QStringLiteral("Nicht alle Empfänger wurden erreicht.\r\rVersendet: %1\rUngültige E-Mail-Adressen: "
                          "%2\rNicht erreicht: %3\r\rDie nicht erreichten Datensätze bleiben für einen neuen "
                          "Versand markiert.")
        .arg(sent)
        .arg(failed)
        .arg(notReached);
}

QString RefusedInARowQuestion(const QString &reply, int count)
{
    return QStringLiteral("Der Mailserver hat %1 Empfänger nacheinander mit derselben Antwort abgelehnt:\r\r%2\r\r"
                          "Das liegt meist am Server oder an Ihrem Mailkonto (zum Beispiel an einer fehlenden "
                          "\"Server Authentifikation\" in den Optionen) und nicht an den Adressen.\r\rWollen Sie "
                          "den Versand fortsetzen und weitere abgelehnte Empfänger als ungültig markieren?")
        .arg(count)
        .arg(reply);
}

TMailerForm::TMailerForm()
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(new Ui::TMailerForm), m_mailing(SerialMailing())
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
    connect(&m_mailing.IdSMTP1, &SmtpClient::connected, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Connected")); });
    connect(&m_mailing.IdSMTP1, &SmtpClient::closed, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Disconnected")); });
    connect(&m_mailing.IdSMTP1, &SmtpClient::sending, this,
            [this] { ui->AdvOfficeStatusBar1->setText(QStringLiteral("Sending")); });
    // Every failed send is in the protocol; the run itself decides whether to ask.
    connect(&m_mailing.IdSMTP1, &SmtpClient::errorOccurred, this, [this](int, const QString &description) {
        if (MainState().TransactionLogOn)
            m_mailing.IdSMTP1.logText(description);
    });
    // What the user types or picks as the sender stays when the list is filled again.
    connect(ui->ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { m_senderChosen = true; });
    connect(ui->ComboBox1, &QComboBox::activated, this, [this] { m_senderChosen = true; });
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
    setBusyCursor(false);
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

    loadSenderList();

    if (MailMode == 1) {
        ui->PreviewBitBtn->setEnabled(true);
        renderHtmlMail(true);
    }
    ui->VariablesListBox->clear();
    ui->VariablesListBox->addItems(PlaceholderListLines(st.FieldDefinitions));
    {
        // Wide enough for the captions as fields are usually named; a longer one scrolls.
        QListWidget *box = ui->VariablesListBox;
        const int captions = qMin(box->sizeHintForColumn(0), box->fontMetrics().averageCharWidth() * 48);
        box->setMinimumWidth(captions + 2 * box->frameWidth() + box->verticalScrollBar()->sizeHint().width());
    }
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

void TMailerForm::loadSenderList()
{
    const TMainState &st = MainState();
    const MailSettingsFiles files(st.AppFolder, st.DataFolder, st.DatabaseIniName);
    const MailSettingsFiles::SenderList senders = files.readSenderList();
    if (!senders.ok)
        error(senders.error);
    QComboBox *senderBox = ui->ComboBox1;
    const QString chosen = senderBox->currentText();
    senderBox->clear();
    senderBox->addItems(senders.lines);
    senderBox->setCurrentIndex(senders.lines.isEmpty() ? -1 : 0);
    if (m_senderChosen) {
        const int line = senderBox->findText(chosen, Qt::MatchExactly);
        if (line >= 0)
            senderBox->setCurrentIndex(line);
        else
            senderBox->setEditText(chosen);
    }
}

void TMailerForm::renderHtmlMail(bool activated)
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
    const QString shown = writePreviewPages(mail);
    if (mail.hasHtmlBody()) {
        ui->WebBrowser1->setSource(QUrl::fromLocalFile(shown), QTextDocument::HtmlResource);
    } else {
        ui->WebBrowser1->setPlainText(ReadTextFile(shown));
        WebBrowser1NavigateComplete2();
    }
    // The character set only changes how the mail is written out, not its bodies.
    HtmlBody = mail.htmlBody();
}

QString TMailerForm::writePreviewPages(const MailMessage &mail)
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
    setBusyCursor(false);
    AttachmentPath.clear();
    ui->FAttachmentListBox->clear();
    ui->BitBtn2->hide();
    // A run still going ends its session itself.
    if (!m_runActive)
        m_mailing.IdSMTP1.disconnectFromServer();
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
    // Each opening starts from the first sender of the list.
    m_senderChosen = false;
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

void TMailerForm::layOutFor(bool html)
{
    ui->MessageMemo->setVisible(!html);
    ui->CheckBox1->setVisible(!html);
    ui->NewButton->hide();
    ui->SubjectEdit->show();
    ui->SubjectLabel->show();
    ui->ToLabel->hide();
    ui->ToEdit->hide();
    ui->SelectVariablesPanel->show();
    ui->TopPanel->setFixedHeight(ui->TopPanel->sizeHint().height());
    ui->VorlagePanel->setVisible(html);
    ui->SaveMailButton->setVisible(!html);
}

void TMailerForm::showToEdit()
{
    ui->ToEdit->show();
}

void TMailerForm::setOpenButtonVisible(bool on)
{
    ui->OpenButton->setVisible(on);
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
        setBodyLines({QStringLiteral("Hier bitte Ihren E-Mail-Text eingeben")});
        ui->SubjectEdit->setText(QStringLiteral("Hier bitte Ihren Betreff eingeben"));
    }
    setBusyCursor(false);
}

QStringList TMailerForm::bodyLines() const
{
    const QString text = ui->MessageMemo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TMailerForm::setBodyLines(const QStringList &lines)
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
    setBodyLines(content.body);
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
    if (WriteMailTemplate(path, ui->SubjectEdit->text(), bodyLines(), AttachmentPath, &problem))
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
    const QStringList lines = InsertPlaceholder(bodyLines(), caret.blockNumber(), caret.positionInBlock(), placeholder);
    setBodyLines(lines);
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
    setBodyLines(*lines);
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
    const SendProgress p =
        SendProgressTexts(ui->ListBox1->count(), int(m_mailing.FailedList.size()), marked, m_run && m_run->isSending());
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

void TMailerForm::setBusyCursor(bool on)
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
    if (m_mailing.PrepareConnection(showError))
        return true;
    CanCloseFlag = true;
    return false;
}

bool TMailerForm::SendTestMail(const TestMailValues &values)
{
    TestMailValues v = values;
    v.priorityIndex = priorityIndex();
    return vt::SendTestMail(v, showError);
}

bool TMailerForm::BuildHtmlMail(QString *problem)
{
    return m_mailing.BuildHtmlMail(mailerContent(), problem);
}

MailerContent TMailerForm::mailerContent() const
{
    MailerContent c;
    c.table = MailTable;
    c.senderAddress = SenderAddress;
    c.senderName = SenderName;
    c.subject = ui->SubjectEdit->text();
    c.priorityIndex = priorityIndex();
    c.ignoreConnectionProblems = ui->IngoreConnecProb->isChecked() || ui->IngoreConnecProb2->isChecked();
    c.tracking = ui->TrackingCheckBox->isChecked();
    c.mailingId = MailingId;
    c.body = bodyLines();
    c.attachmentPath = AttachmentPath;
    c.htmlMailPath = HtmlMailPath;
    c.workFolder = SendTempFolder;
    return c;
}

int TMailerForm::priorityIndex() const
{
    return ui->PrioComobox->currentIndex();
}

void TMailerForm::SendBitBtnClick()
{
    // A second "Senden" while a run goes on does nothing.
    if (m_runActive)
        return;
    setRunActive(true);
    TMainState &st = MainState();
    QFile::remove(TransactionLogPath());
    m_mailing.FailedList.clear();
    // The sender as the line shows it, chosen or typed: the question names the one the run uses.
    const QString senderLine = ui->ComboBox1->currentText();
    if (ui->ComboBox1->count() > 1) {
        if (!question(QStringLiteral("Wollen Sie die Email mit dem Absender: ") + senderLine +
                      QStringLiteral("versenden")))
            return endBeforeStart(false);
    }
    if (!st.FirstSettingsDone) {
        information(QStringLiteral("Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt worden. Gehen "
                                   "Sie hierzu in den Menüpunkt \"Programm - Optionen\""));
        return endBeforeStart(true);
    }
    const Sender sender = ParseSenderLine(senderLine);
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

bool TMailerForm::connectForRun()
{
    // "Abbrechen" while the POP3 server was asked ends the run before it starts.
    if (!PrepareConnection() || !SendingFlag) {
        endBeforeStart(!SendingFlag);
        return false;
    }
    if (m_mailing.settings().host == kUnsetSmtpHost) {
        information(QStringLiteral("Sie haben die Einstellungen noch nicht bearbeitet!\rBitte bearbeiten Sie diese im "
                                   "Menü unter Programm/Optionen!"));
        if (TMainWindowOps *ops = MainState().Ops)
            ops->refreshGrid();
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
    QFile::remove(ProtocolLogPath());
    if (Trimmed(ui->SubjectEdit->text()).isEmpty()) {
        information(QStringLiteral("Kein Betreff eingegeben! - E-Mail wird nicht versendet!"));
        return endBeforeStart(false);
    }
    ui->SelectVariablesPanel->hide();
    setBusyCursor(true);
    if (!connectForRun())
        return;
    startRun(SendRun::Mode::Text);
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
    QFile::remove(ProtocolLogPath());
    setBusyCursor(true);
    if (!MailTable || MailTable->count(Filter::equals(QStringLiteral("Selected"), QVariant(true))) <= 0) {
        setBusyCursor(false);
        information(QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        return endBeforeStart(true);
    }
    if (!connectForRun())
        return;
    MailingId = st.TrackingActive ? MailingIdAt(Clock::now()) : QString();
    startRun(SendRun::Mode::Html);
}

void TMailerForm::startRun(SendRun::Mode mode)
{
    QString problem;
    const std::optional<SendRun::Config> config = m_mailing.runConfig(mode, mailerContent(), &problem);
    if (!config) {
        error(problem);
        return endBeforeStart(false);
    }
    m_mailing.IdSMTP1.setLogFileName(ProtocolLogPath());
    const bool html = mode == SendRun::Mode::Html;
    auto *run = new SendRun(*config, &m_mailing.submission(), this);
    connect(run, &SendRun::recordSent, this, [this, html](qint64, const QString &address) {
        ui->ListBox1->addItem((html ? QStringLiteral("An: ") : QStringLiteral("TO: ")) + address);
        if (html)
            ui->ListBox1->setCurrentRow(ui->ListBox1->count() - 1);
    });
    connect(run, &SendRun::recordFailed, this,
            [this](qint64, const QString &line) { m_mailing.FailedList.append(line); });
    connect(run, &SendRun::trafficChanged, this, [this](int kb) { TrafficKB = kb; });
    // The server fails: an HTML run or a text run with SSL ends with the message; a
    // text run without SSL goes on unless the user ends it.
    connect(run, &SendRun::connectionFailed, this,
            [this, run = QPointer<SendRun>(run)](const QString &error, bool mayGoOn) {
                // An HTML run, or a text run with SSL, ends: the end of the run says so.
                if (!mayGoOn)
                    return;
                // The user may be in the main window meanwhile: the box comes up over this one.
                MessageOwner owner(this);
                const bool end = question(connectionQuestion(error));
                if (!run)
                    return;
                if (end)
                    run->stop();
                else
                    run->resume();
            });
    connect(run, &SendRun::recipientsRefusedInARow, this,
            [this, run = QPointer<SendRun>(run)](const QString &reply, int count) {
                MessageOwner owner(this);
                const bool goOn = question(RefusedInARowQuestion(reply, count));
                if (!run)
                    return;
                if (goOn)
                    run->resume();
                else
                    run->stop();
            });
    connect(run, &SendRun::finished, this, [this](SendRun::Outcome outcome) {
        Guard("TMailerForm.SendBitBtnClick", [this, outcome] { onRunFinished(outcome); });
    });
    m_run = run;
    if (!run->start()) {
        error(run->errorText());
        m_run = nullptr;
        delete run;
        return endBeforeStart(false);
    }
    ProgressTimer.start();
}

void TMailerForm::onRunFinished(SendRun::Outcome outcome)
{
    MessageOwner owner(this);
    if (m_run) {
        // One message for a run that ended early or left recipients behind.
        const SendRun &run = *m_run;
        const QString counts = NotReachedText(run.sentCount(), run.failedCount(), run.total());
        const QString more = counts.isEmpty() ? QString() : QStringLiteral("\r\r") + counts;
        if (outcome == SendRun::Outcome::LocalError && !run.errorText().isEmpty())
            error(run.errorText() + more);
        else if (outcome == SendRun::Outcome::ConnectionError && !run.endedByDecision())
            error(kConnectionAbortText + run.errorText() + more);
        else if (outcome != SendRun::Outcome::Aborted && !counts.isEmpty())
            information(counts);
    }
    ProgressTimerTimer();
    ProgressTimer.stop();
    TrafficTimer.stop();
    setBusyCursor(false);
    CanCloseFlag = true;
    if (!m_mailing.FailedList.isEmpty())
        Modal::execOver(ErrorMailForm(), this);
    close();
    TrafficTick = 0;
    ui->AbortBitBtn->setEnabled(true);
    m_mailing.FailedList.clear();
    SendingFlag = false;
    HtmlImportChoice().HtmlImported = false;
    if (m_run)
        m_run->deleteLater();
    m_run = nullptr;
    setRunActive(false);
    if (TMainWindowOps *ops = MainState().Ops)
        ops->refreshGrid();
    emit runEnded(outcome);
}

void TMailerForm::endBeforeStart(bool closeWindow)
{
    setBusyCursor(false);
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
