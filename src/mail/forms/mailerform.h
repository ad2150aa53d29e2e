#pragma once
// The serial e-mail window "Vantrel - E-Mail Versenden": the mail (a text mail
// typed here, or an HTML mail loaded from a file), its sender, priority and
// switches, the placeholders of the open database, and the progress of a send run.
//
// Modeless, on top of the program's other windows, a tool window without a close
// box: it closes through "Abbrechen", "Neue Vorlage erstellen", the end of a run, or
// a run that cannot start because the account is not set up.
//
// While a run goes on the window starts no second run, reloads nothing when the user
// comes back to it, refuses to load templates or show the preview, and keeps
// TMainState::SendRunActive set, so the main window leaves the open table alone.
#include "connection.h"
#include "mailmessage.h"
#include "sendrun.h"
#include "smtpclient.h"
#include "smtpsubmission.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace Ui {
class TMailerForm;
}

namespace vt {

class AddressTable;

// What the options dialog's connection test passes in: the values entered there.
struct TestMailValues
{
    ConnectionSettings account;
    Sender sender; // "E-Mail-Adresse" and "Name" of the options
    QString testRecipient;
};

// "Bitte markieren Sie zuerst einen Platzhalter zum einfügen!" aside: a placeholder
// put into the body at the caret (line and column from 0).
QStringList InsertPlaceholder(const QStringList &lines, int caretLine, int caretColumn, const QString &placeholder);
// The placeholder list of a database: from the field Mail on, "$" and the field name
// in capitals, " für " and the display name when there is one; then "$DATUM".
QStringList PlaceholderListLines(const QStringList &fieldDefinitions);

// The progress labels and bars of a run.
struct SendProgress
{
    QString total, sent, failed;
    int totalBar = 0, sentBar = 0, failedBar = 0;
};
SendProgress SendProgressTexts(int sent, int failed, qint64 marked);

class TMailerForm : public QDialog
{
    Q_OBJECT
public:
    TMailerForm();
    ~TMailerForm() override;
    void FormCreate();

    // Inputs, set before the window is shown.
    AddressTable *MailTable = nullptr;
    int MailMode = 0; // 0 text mail, 1 HTML mail
    QString TextTemplatePath;
    QString HtmlMailPath;

    // Fields of the window.
    bool CanCloseFlag = true;
    bool SendingFlag = false;
    QString SenderAddress, SenderName;
    QString SendTempFolder; // the private work folder, without its closing "/"
    QString AttachmentPath;
    QString CurrentTemplateFile;
    QString HtmlBody; // the HTML body of the mail file shown
    int PreviewFileIndex = 0;
    int TrafficTick = 0;
    int TrafficKB = 0;
    QStringList FailedList;
    QString MailingId;
    SmtpClient IdSMTP1;
    SmtpClientSubmission m_submission{IdSMTP1};

    // The pause of a run in milliseconds per second of SendDelaySeconds (tests shorten it).
    int DelayUnitMs = 1000;

    bool RunActive() const { return m_runActive; }
    // The hourglass over the program while the window prepares or starts a run.
    void SetBusyCursor(bool on);
    SendRun *CurrentRun() const { return m_run; }

    void PrepareAndShow();
    void ResetSendDisplay();
    // Loads a template file into subject, body and attachment. A missing attachment
    // is reported and the template saved again without it: to this file, or, for a
    // work copy, to CurrentTemplateFile.
    void LoadMailTemplate(const QString &path, bool workCopy = false);
    bool SaveMailTemplate(const QString &path);
    // The body as lines.
    QStringList BodyLines() const;
    void SetBodyLines(const QStringList &lines);

    // Reads the settings in force, logs on to the POP3 server for "POP vor SMTP",
    // configures the SMTP component. False when the POP3 logon failed.
    bool PrepareConnection();
    // The connection test of the options dialog with the values entered there; true
    // when the server took the test mail. Shows no box of its own but for a missing
    // settings file and a failed POP3 logon.
    bool SendTestMail(const TestMailValues &values);
    // Composes the HTML mail for the current record of MailTable and saves it as
    // "Sending.eml" in the work folder (for the preview); false when it cannot.
    bool BuildHtmlMail(QString *error = nullptr);

    // Renders the HTML mail file into the window (status text, preview, bodies);
    // threshold: the size above which the mail is called very large.
    void RenderHtmlMail(bool activated);
    // Writes the two preview pages of a mail into the work folder ("innerpreview1"
    // and "innerpreview2", ".html" with the embedded parts in "images1" and
    // "images2", or ".txt" without an HTML body) and returns the one to show next.
    QString WritePreviewPages(const MailMessage &mail);

    // The window's widgets, for the main window's layout and for tests.
    Ui::TMailerForm *ui;

public slots:
    void FormActivate();
    void SendBitBtnClick();
    void AbortBitBtnClick();
    void SaveMailButtonClick();
    void NewButtonClick();
    void VariableSpeedButtonClick();
    void TextBitbtnClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void CheckBox1Click();
    void ProgressTimerTimer();
    void TrafficTimerTimer();
    void Timer1Timer();
    void WebBrowser1NavigateComplete2();
    // "Vorlage öffnen": a mail template in text mode, a mail file (".eml", any MIME
    // file, or an Outlook ".msg" file, converted first) in HTML mode.
    void OpenButtonClick();
    // "Vorschau": the mail of the current marked record in the preview window.
    void PreviewBitBtnClick();

signals:
    // The run has ended and the window has done its end-of-run steps.
    void runEnded(vt::SendRun::Outcome outcome);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void SendTextMails();
    void SendHtmlMails();
    // The connection set-up of a run; false (the run ended) when it cannot go on.
    bool connectForRun();
    bool startRun(SendRun::Config config);
    void onRunFinished(SendRun::Outcome outcome);
    // Ends a run that has not started: the window stays open unless closeWindow.
    void endBeforeStart(bool closeWindow);
    void setRunActive(bool on);
    SendRun::Config runConfig(SendRun::Mode mode);
    // The mail options of an HTML mail as the window holds them now; nothing (with
    // the reason) when tracking is on and its key cannot be read.
    std::optional<HtmlMailOptions> htmlOptions(QString *problem) const;
    void resetProgress();
    void showAttachment(const QString &path);
    // Refuses (with a box) what must wait for the end of a run; true when refused.
    bool refusedWhileSending();

    QTimer ProgressTimer, TrafficTimer, Timer1;
    int m_timer1Ticks = 0;
    bool m_runActive = false;
    bool m_busyCursor = false;
    QPointer<SendRun> m_run;
    ConnectionSettings m_settings;
    QString m_mailSubject; // the subject of the HTML mail file
};

// Files of the program's folders that a run writes or reads: the mails sent by the
// last run, the SMTP dialogue when it is logged, and the salutation table.
QString SentMailsLogPath();
QString TransactionLogPath();
QString SalutationTablePath();

// The one serial e-mail window of the program.
TMailerForm *MailerForm();

} // namespace vt
