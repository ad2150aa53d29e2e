#pragma once
// A send run: one personalised message to every record marked at its start,
// submitted to the mail server one after the other, with each record updated
// and the logs written as it goes. The serial e-mail window drives it, and so do
// the benchmark and the tests, the same way. It shows nothing and asks nobody:
// a failure of the connection is a signal that waits for the caller's decision,
// an error of our own ends the run with errorText().
//
// - The run works through the IDs of the records marked when it starts, in the
//   table's order; a record unmarked (or deleted) meanwhile is skipped. The grid's
//   table is never filtered for it.
// - Each record's update (Selected, Invalid, LetztesMail) is committed right after
//   the server's final reply for its message, so whatever ends the process, every
//   recipient that got a message is marked as finished and every other one is still
//   marked.
// - Only a failed address check (and, in a text run, a record marked Invalid) and a
//   recipient the server refuses for its address mark a record Invalid. When the
//   server refuses several recipients in a row with the same reply, the run waits
//   for the caller's decision before it marks one more. A failure of the
//   connection, of TLS, a time-out, a temporary reply, a refused sender or message
//   ends the run (a text run without SSL lets the caller decide) and leaves the
//   record as it was. An error of our own (the salutation table, the table, the
//   disk) ends the run with errorText().
// - Without a pause between mails the submission hears of the next record's envelope
//   before each message, and may send it with that message's end (PIPELINING). The
//   next record is read again when its turn comes: what it holds then decides, and a
//   message still goes only after the record before it is committed.
// - The logs are appended to line by line, never rewritten.
// - It runs on the event loop: the pause between two mails is a timer, and stop()
//   ends the run at once (a message already handed to the server is finished first).
#include "htmlmail.h"
#include "personalize.h"
#include "runjournal.h"
#include "textmail.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace vt {

class AddressTable;
class SmtpSubmission;
struct SubmissionResult;

// One record's values by field name, in their text form, for the placeholders.
class TableRecordValues : public RecipientValues
{
public:
    // names: the table's field names in order (kept by reference).
    TableRecordValues(const AddressTable &table, const QStringList &names, const QList<QVariant> &record);
    QStringList fieldNames() const override { return m_names; }
    QString value(const QString &fieldName) const override { return m_values.value(fieldName); }

private:
    const QStringList &m_names;
    QHash<QString, QString> m_values;
};

// Appends lines (Windows-1252, CR LF after each) to a file kept open for the run;
// each line reaches the file at once.
class LogAppender
{
public:
    explicit LogAppender(const QString &path = {}) : m_file(path) {}
    bool isOn() const { return !m_file.fileName().isEmpty(); }
    QString fileName() const { return m_file.fileName(); }
    // A text holding line breaks becomes several lines.
    bool append(const QString &text);
    void close() { m_file.close(); }

private:
    QFile m_file;
};

class SendRun : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Text = 0, Html = 1 };
    enum class Outcome { Running, Completed, Aborted, ConnectionError, LocalError };

    struct Config
    {
        Mode mode = Mode::Text;
        AddressTable *table = nullptr;
        QString salutationTable; // "Grussformel.txt"
        QString sentLog;         // "Gesendete_Mails.log"; empty: none
        QString transactionLog;  // "Transaction.log"; empty: the transaction log is off
        QString senderAddress, senderName;
        QString subject;        // as typed; personalised per recipient
        int priorityIndex = 1;  // 0 "Hoch", 1 "Normal", 2 "Niedrig"
        int charsetIndex = 0;   // 0 ISO-8859-1, 1 Windows-1252, 2 UTF-7, 3 UTF-8
        bool sslActive = false; // a text run with SSL ends on a connection error without asking
        bool ignoreConnectionProblems = false;
        int delayMs = 0; // pause between two mails
        // Text mails; the attachment goes with HTML mails too.
        QStringList body;
        QString attachmentPath;
        // HTML mails: the mail file, and how its messages are composed (charset,
        // priority and sender are taken from above).
        QString htmlMailPath;
        HtmlMailOptions html;
    };

    // The submission is the caller's and outlives the run.
    SendRun(const Config &config, SmtpSubmission *submission, QObject *parent = nullptr);
    ~SendRun() override;

    // Checks what the run needs (the table's fields, the salutation table, the
    // attachment or the HTML mail), takes the marked IDs and starts. False (with
    // errorText()) when it cannot start; nothing has changed then.
    bool start();
    // Requests the end of the run: at once while it waits, after the reply to the
    // message under way otherwise (which is cut off when the server does not answer
    // within a grace period). After connectionFailed() it is the decision to end
    // (outcome ConnectionError).
    void stop();
    // After connectionFailed() with mayGoOn: the run goes on with the next record;
    // the one that failed stays as it was.
    void resume();

    bool isRunning() const { return m_outcome == Outcome::Running && m_started; }
    Outcome outcome() const { return m_outcome; }
    // Why the run could not start, or why it ended (LocalError; the server's
    // failure for ConnectionError).
    QString errorText() const { return m_error; }
    // The records of the run: marked at its start, less those skipped since.
    qint64 total() const { return qint64(m_ids.size()) - m_skipped; }
    int sentCount() const { return m_sent; }
    int failedCount() const { return m_failed; }
    // Size of the message under way in kB, for the traffic display.
    int trafficKB() const { return m_trafficKB; }
    // A message is with the server now.
    bool isSending() const { return m_sending; }
    // The run ended because the caller decided so on a failure or on refusals in a
    // row (not because the failure ended it by itself).
    bool endedByDecision() const { return m_endedByDecision; }

    static constexpr int kAbortGraceMs = 10000;
    // Refusals of the same reply in a row after which the run asks before marking more.
    static constexpr int kRefusalsInARow = 5;

signals:
    // A record's update is committed to the table (committed counts them).
    void recordCommitted(int committed);
    // A record is done: its message went out (sent), or it is marked invalid
    // (failedLine is its line of the failed list, "ID: Mail").
    void recordSent(qint64 id, const QString &address);
    void recordFailed(qint64 id, const QString &failedLine);
    void trafficChanged(int kb);
    // The pause between two mails has begun.
    void pauseStarted(int ms);
    // The server or the connection failed, not the recipient (error: the
    // component's text). With mayGoOn (a text run without SSL) the run waits for
    // resume() or stop(), which may come from a receiver of this signal or later;
    // otherwise it ends right after the signal.
    void connectionFailed(const QString &error, bool mayGoOn);
    // The server has refused `count` recipients in a row with the same reply, the
    // last one just now: more likely the server or the account than the addresses.
    // The run waits: resume() marks this recipient invalid and goes on (the same
    // reply is not asked about again), stop() ends the run with this record as it
    // was (outcome ConnectionError). Nobody connected: the run ends.
    void recipientsRefusedInARow(const QString &reply, int count);
    void finished(vt::SendRun::Outcome outcome);

private:
    enum class Result { Sent, Failed, Unchanged };
    struct Current
    {
        qint64 id = -1;
        QString idText, storedMail, address;
    };

    void nextRecord();
    void handleRecord(qint64 id, const QList<QVariant> &record);
    // The address a record's message goes to; sendable: it passes the address check
    // (and, in a text run, the record is not marked Invalid).
    QString recipientAddress(const QList<QVariant> &record, const QString &storedMail, bool *sendable) const;
    // Tells the submission the envelope of the next record's message; that record,
    // when it was announced.
    std::optional<QList<QVariant>> announceNext();
    // The message of one record; false (with the error) when the salutation table cannot be read.
    bool compose(const QList<QVariant> &record, const QString &address, QByteArray *message, qsizetype *characters,
                 QString *error);
    // Composes the next record's message while the server deals with the current one.
    void prepare(qint64 id, const QList<QVariant> &record);
    void onSubmitted(const vt::SubmissionResult &result);
    void recipientRefused(const QString &error);
    void recordDone(Result result);
    // The failure update of the current record; failedLine gets its line of the failed list.
    bool MarkRecordInvalid(QString *failedLine);
    bool AppendTransactionLog(const QString &line);
    void scheduleNext();
    void finish(Outcome outcome, const QString &error = {});
    void enterRunJournal();
    void leaveRunJournal();
    QString fieldText(const QList<QVariant> &record, int field) const;

    Config m_config;
    SmtpSubmission *m_submission;
    QStringList m_fieldNames;
    Personalizer m_personalizer;
    std::unique_ptr<HtmlMailBuilder> m_html;
    TextMail m_textMail;                 // what every text message shares
    QList<MimeAttachment> m_attachments; // of a text run, encoded once
    LogAppender m_sentLog, m_transactionLog;
    std::vector<qint64> m_ids;
    size_t m_index = 0;
    qint64 m_skipped = 0;
    int m_sent = 0, m_failed = 0, m_committed = 0;
    int m_trafficKB = 0;
    int m_selectedField = -1, m_invalidField = -1, m_lastMailField = -1, m_mailField = -1, m_idField = -1;
    Current m_current;
    // The next record's message, composed ahead of its turn; it goes only when the
    // record, the salutation table and the day are the same at its turn.
    struct Prepared
    {
        qint64 id = -1;
        QList<QVariant> record;
        QString address;
        quint64 salutations = 0;
        QDate day;
        QByteArray message;
        qsizetype characters = 0;
    };
    std::optional<Prepared> m_prepared;
    bool m_started = false;
    bool m_stop = false;
    bool m_sending = false;
    bool m_afterReply = false;       // in onSubmitted(), which came from the event loop
    bool m_awaitingDecision = false; // after connectionFailed() or recipientsRefusedInARow()
    bool m_mayGoOn = false;
    bool m_refusalDecision = false; // the decision is about refused recipients
    bool m_endedByDecision = false;
    QString m_decisionError;
    QString m_lastRefusal; // the last refusal, without the address it named
    int m_refusalsInARow = 0;
    QStringList m_refusalsAccepted; // replies the caller chose to go on with
    std::unique_ptr<RunJournal> m_journal;
    Outcome m_outcome = Outcome::Running;
    QString m_error;
    QTimer m_wait;
    QTimer m_abortGuard;
    QMetaObject::Connection m_submissionConnection;
};

} // namespace vt
