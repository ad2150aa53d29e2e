#pragma once
// The SMTP component: hands each message of a send run to the mail server.
//
// One connection serves every message of a run: it is opened for the first
// message (EHLO, falling back to HELO; STARTTLS or implicit TLS; AUTH PLAIN or
// LOGIN), kept between messages, opened once more when the server has closed it
// meanwhile, and ended with QUIT. Commands go in one batch where the server offers
// PIPELINING; there the envelope of the message announced to follow
// (setNextEnvelope) goes with the end of this one, and its replies wait for it. A
// message that comes with another envelope, or none at all, ends that transaction
// by closing the connection: the server may already wait for its contents.
//
// A message is either a text mail composed here from subject, body, sender,
// recipients and the run's attachments, or raw MIME bytes (an HTML mail composed by
// MailMessage). Nothing is sent when an envelope address holds a control
// character, a blank, "<" or ">". Line ends become CR LF before dot-stuffing, so no
// value inside a message can end the DATA phase.
//
// Every failure has a class. Only a recipient that the server refuses permanently
// for the address itself (not for relaying, authentication or policy) is the
// recipient's fault; every other failure ends the run and leaves the record
// as it was. Their texts hold "ERROR WITH CONNECTING SERVER", or "MUST BE
// AUTHENTICATED" when the server wants (valid) credentials.
//
// Use it asynchronously (sendAsync and the signals) or synchronously (send, which
// runs an event loop until the message is handed over or has failed).
#include "mailtransport.h"
#include "textmail.h"

#include <QList>
#include <QStringList>

namespace vt {

enum class SmtpErrorClass {
    None,
    Connection,     // no connection, TLS failure, time-out, connection lost, 421, any 4xx reply
    Authentication, // 530 or 535, a relay or policy refusal, or credentials set and no way to use them
    Sender,         // the sender refused, by the server (5xx to MAIL) or before sending
    Message,        // the message refused (5xx to DATA or after it)
    Recipient,      // the recipient refused, by the server (RecipientRefusalClass) or before sending
    Local,          // nothing to send: no recipient, no message
};

// Whether a failure of the class ends a send run: all but a refused recipient.
bool EndsRun(SmtpErrorClass c);

// What a permanent refusal of RCPT says: the recipient's fault only for an
// addressing or mailbox status (5.1.x, 5.2.x) or a plain 550, 551 or 553; a
// security or policy refusal (5.7.x, or a text about relaying or authentication)
// is the account's; anything else the server's (a connection failure).
SmtpErrorClass RecipientRefusalClass(int code, const QByteArray &text);

// Texts that a failure's text starts with.
inline const QString kConnectionErrorText = QStringLiteral("ERROR WITH CONNECTING SERVER");
inline const QString kAuthenticationErrorText = QStringLiteral("MUST BE AUTHENTICATED");
inline const QString kRecipientErrorText = QStringLiteral("RECIPIENT REJECTED");

// An envelope address that can be sent: not empty, ASCII, no control character,
// blank, "<" or ">".
bool IsSendableEnvelopeAddress(const QString &address);

// The message as it goes after DATA: CR LF line ends, dot-stuffed, with the
// closing ".". hasEightBit tells whether any byte is above 127.
QByteArray SmtpDataPayload(const QByteArray &message, bool *hasEightBit = nullptr);

class SmtpClient : public MailTransport
{
    Q_OBJECT
public:
    enum MailFormat { TextMail = 0, RawMail = 1 };

    explicit SmtpClient(QObject *parent = nullptr);
    ~SmtpClient() override;

    // --- the server (setServer, setCredentials: a change takes effect with the next
    // connection). It authenticates when user name and password are both given; the
    // server must then offer PLAIN or LOGIN.
    void setTlsMode(TlsMode mode) { m_tls = mode; }
    TlsMode tlsMode() const { return m_tls; }
    // The program's "SSL" switch: implicit TLS on port 465, STARTTLS on any other.
    void prepareSecure() { m_tls = TlsMode::Auto; }
    // Milliseconds for the connection, each reply, and the reply after the message.
    void setTimeouts(int connectMs, int replyMs, int dataEndMs);

    // --- the message ---
    void setFromAddr(const QString &address) { m_fromAddr = address; }
    void setFrom(const QString &displayName) { m_fromName = displayName; }
    void setSubject(const QString &subject) { m_mail.subject = subject; }
    void setBodyText(const QString &body) { m_mail.body = body; }
    void setMailFormat(int format) { m_format = format == RawMail ? RawMail : TextMail; }
    void setPriority(int priority) { m_mail.priority = priority; } // 1 high, 3 normal, 5 low
    // The priority of the choice "Hoch", "Normal", "Niedrig" (0 to 2).
    static int priorityOfChoice(int index) { return index == 0 ? 1 : index == 2 ? 5 : 3; }
    void setMailerIdentity(const QString &identity) { m_mail.mailer = identity; }
    void setCharsetIndex(int index) { m_mail.charsetIndex = index; }
    void addRecipient(const QString &name, const QString &address, RecipientKind kind = RecipientKind::To);
    // Attachments of text mails: read and encoded once, kept across reset().
    bool addAttachment(const QString &path, QString *error = nullptr);
    void clearAttachments() { m_attachments.clear(); }
    // The raw MIME content to send.
    void setRawContent(const QByteArray &content) { m_raw = content; }
    // The envelope of the message expected after this one; with PIPELINING it is sent
    // with this message's end. Cleared by reset().
    void setNextEnvelope(const QString &sender, const QStringList &recipients);
    // The previous message's recipients and contents are gone; server, sender,
    // priority, identity, character set and attachments stay.
    void reset();

    // --- sending ---
    // Starts handing over the message; sendFinished() follows, always.
    void sendAsync();
    // Hands over the message and waits; 0 when the server took it, else the failure
    // (lastErrorText()). A guard of timeoutMs (0: none beyond the client's own time-outs).
    int send(int timeoutMs = 0);
    // A message is under way (one sent ahead and still without its message is not).
    bool isBusy() const { return m_busy && m_messageGiven; }
    QString lastErrorText() const { return m_errorText; }
    SmtpErrorClass lastErrorClass() const { return m_errorClass; }
    int lastReplyCode() const { return m_errorCode; }
    // Ends the connection with QUIT.
    void disconnectFromServer();
    // Stops at once; a message under way fails with a connection error.
    void abort();

signals:
    void connected(); // the session is ready (greeted, secured, authenticated)
    void closed();
    void sending(qint64 sent, qint64 total);
    void errorOccurred(int code, const QString &description);
    void sendFinished(int result);

protected:
    void transportReady() override;
    void tlsUpgraded() override;
    void lineReceived(const QByteArray &line) override;
    void transportFailed(const QString &detail) override;
    void transportClosed() override;
    void bytesSent(qint64 n) override;

private:
    enum class Step {
        Greeting,
        Ehlo,
        Helo,
        StartTls,
        AuthPlain,
        AuthLogin,
        AuthUser,
        AuthPassword,
        Mail,
        Rcpt,
        Data,
        Content,
        Rset,
        Quit
    };
    struct Reply
    {
        int code = 0;
        QByteArray text; // all lines, joined by " / "
        QList<QByteArray> lines;
    };
    void connectToServer();
    void handleReply(Step step, const Reply &reply);
    void afterHello(const Reply &reply, bool extended);
    void authenticate();
    void sessionReady();
    void startTransaction();
    void sendPayload();
    // The transaction sent ahead is given up; the connection goes with it unless keep.
    void dropAhead(bool keep);
    void nextEnvelopeCommand();
    void transactionStep(Step step, const Reply &reply);
    void retryOnNewConnection();
    void endSession();
    void fail(SmtpErrorClass c, const QString &detail, int code = 0, bool keepConnection = false);
    void finish(int result);
    QString replyText(const Reply &reply) const;
    bool sessionMatches() const;

    // settings
    TlsMode m_tls = TlsMode::Off;
    int m_dataEndMs = 600000;
    // message
    int m_format = TextMail;
    QString m_fromAddr, m_fromName;
    vt::TextMail m_mail;
    QList<MailRecipient> m_recipients;
    QList<MimeAttachment> m_attachments;
    QByteArray m_raw;
    // session
    struct Session
    {
        QString host, user, password;
        quint16 port = 0;
        TlsMode tls = TlsMode::Off;
    } m_session;
    bool m_ready = false;
    bool m_tlsDone = false;
    QList<QByteArray> m_extensions; // EHLO keywords, upper case
    QList<QByteArray> m_authMechanisms;
    QList<Step> m_pending;
    Reply m_partial;
    // the message under way
    bool m_busy = false;
    bool m_reused = false;  // it started on a connection kept from before
    bool m_retried = false; // that connection failed and one new one was tried
    QByteArray m_payload;
    bool m_eightBit = false;
    QList<QByteArray> m_envelope; // addresses of the recipients
    int m_nextRcpt = 0;
    int m_acceptedRcpt = 0;
    int m_rcptReplies = 0;
    bool m_pipelined = false;
    qint64 m_payloadSent = -1;
    // Sending ahead: the envelope announced for the next message; the one sent with
    // this message's end (and whether that was done); a transaction whose envelope
    // went ahead and whose message has not come yet (m_busy without m_messageGiven),
    // waiting with the server's 354 (m_parked).
    QString m_nextFrom;
    QList<QByteArray> m_nextEnvelope;
    bool m_aheadSent = false;
    QString m_aheadFrom;
    QList<QByteArray> m_aheadEnvelope;
    bool m_aheadEightBit = false;
    bool m_messageGiven = true;
    bool m_parked = false;
    // the outcome
    SmtpErrorClass m_txClass = SmtpErrorClass::None;
    QString m_txText;
    int m_txCode = 0;
    SmtpErrorClass m_errorClass = SmtpErrorClass::None;
    QString m_errorText;
    int m_errorCode = 0;
};

} // namespace vt
