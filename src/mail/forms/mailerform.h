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
//
// Its numbered controls: ComboBox1 the sender list, CheckBox1 the line wrap of the
// body, WebBrowser1 the view of the HTML mail, BitBtn1 and BitBtn2 add and remove
// the attachment, ListBox1 the addresses sent to, ProgressBar3, ProgressBar1 and
// ProgressBar2 all, sent and rejected mails, Chart2 the traffic, IngoreConnecProb2
// the second "Verbindungsprobleme ignorieren", AdvOfficeStatusBar1 the status line.
#include "mailing.h"
#include "mailmessage.h"
#include "sendrun.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace Ui {
class TMailerForm;
}

namespace vt {

class AddressTable;

// "Bitte markieren Sie zuerst einen Platzhalter zum einfügen!" aside: a placeholder
// put into the body at the caret (line and column from 0).
QStringList InsertPlaceholder(const QStringList &lines, int caretLine, int caretColumn, const QString &placeholder);
// The placeholder list of a database: from the field Mail on, "$" and the field name
// in capitals, " für " and the display name when there is one; then "$DATUM".
QStringList PlaceholderListLines(const QStringList &fieldDefinitions);

// The progress labels and bars of a run; the share of sent mails counts the one
// under way, in its label and its bar alike.
struct SendProgress
{
    QString total, sent, failed;
    int totalBar = 0, sentBar = 0, failedBar = 0;
};
SendProgress SendProgressTexts(int sent, int failed, qint64 marked, bool underWay);
// What the end of a run says about the recipients it did not reach, with the
// counts; "" when it reached every one.
QString NotReachedText(int sent, int failed, qint64 total);
// The question when the server refused `count` recipients in a row with one reply.
QString RefusedInARowQuestion(const QString &reply, int count);

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
    QString MailingId;
    // The SMTP component (IdSMTP1) and the failed list (FailedList) are the serial
    // e-mail's, SerialMailing().

    bool runActive() const { return m_runActive; }
    // The hourglass over the program while the window prepares or starts a run.
    void setBusyCursor(bool on);
    SendRun *currentRun() const { return m_run; }

    // What the hand-over from the main window and the start wizard set.
    // The controls of a text mail or of an HTML mail, and the sender list's panel.
    void layOutFor(bool html);
    // The recipient field (hidden again by layOutFor()).
    void showToEdit();
    // "Vorlage öffnen".
    void setOpenButtonVisible(bool on);
    // The priority chosen ("PrioComobox": 0 "Hoch", 1 "Normal", 2 "Niedrig"), also for the connection test.
    int priorityIndex() const;

    void PrepareAndShow();
    void ResetSendDisplay();
    // Fills the sender list ("Von:") from the list in force, its first line chosen;
    // a sender the user typed or chose in this opening of the window stays.
    void loadSenderList();
    // Loads a template file into subject, body and attachment. A missing attachment
    // is reported and the template saved again without it: to this file, or, for a
    // work copy, to CurrentTemplateFile.
    void LoadMailTemplate(const QString &path, bool workCopy = false);
    bool SaveMailTemplate(const QString &path);
    // The body as lines.
    QStringList bodyLines() const;
    void setBodyLines(const QStringList &lines);

    // The serial e-mail's operations with what the window holds (mailing.h); the
    // boxes are the window's.
    // The mail server set-up of a run; false when the POP3 logon failed.
    bool PrepareConnection();
    // The connection test with the values entered in the options and this window's priority.
    bool SendTestMail(const TestMailValues &values);
    // The HTML mail of the current record as "Sending.eml" in the work folder; false when it cannot.
    bool BuildHtmlMail(QString *error = nullptr);

    // Renders the HTML mail file into the window (status text, preview, bodies);
    // threshold: the size above which the mail is called very large.
    void renderHtmlMail(bool activated);
    // Writes the two preview pages of a mail into the work folder ("innerpreview1"
    // and "innerpreview2", ".html" with the embedded parts in "images1" and
    // "images2", or ".txt" without an HTML body) and returns the one to show next.
    QString writePreviewPages(const MailMessage &mail);

public slots:
    void FormActivate();
    void SendBitBtnClick();
    void AbortBitBtnClick();
    void SaveMailButtonClick();
    void NewButtonClick();
    void VariableSpeedButtonClick();
    void TextBitbtnClick();
    void BitBtn1Click();   // "Anhang hinzufügen"
    void BitBtn2Click();   // the attachment removed
    void CheckBox1Click(); // line wrap on or off
    void ProgressTimerTimer();
    void TrafficTimerTimer();
    void Timer1Timer();                  // the focus to "Senden"
    void WebBrowser1NavigateComplete2(); // the HTML mail is shown
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
    // Starts the run with what the window holds; a run that cannot start is said.
    void startRun(SendRun::Mode mode);
    void onRunFinished(SendRun::Outcome outcome);
    // Ends a run that has not started: the window stays open unless closeWindow.
    void endBeforeStart(bool closeWindow);
    void setRunActive(bool on);
    // The mail, the sender and the switches as the window holds them now.
    MailerContent mailerContent() const;
    void resetProgress();
    void showAttachment(const QString &path);
    // Refuses (with a box) what must wait for the end of a run; true when refused.
    bool refusedWhileSending();

    Ui::TMailerForm *ui;
    // Timer1 gives the focus to "Senden" a few times after the window is shown.
    QTimer ProgressTimer, TrafficTimer, Timer1;
    int m_timer1Ticks = 0;
    bool m_runActive = false;
    bool m_busyCursor = false;
    QPointer<SendRun> m_run;
    Mailing &m_mailing;
    QString m_mailSubject;       // the subject of the HTML mail file
    bool m_senderChosen = false; // the user typed or chose the sender
};

// The one serial e-mail window of the program.
TMailerForm *MailerForm();

} // namespace vt
