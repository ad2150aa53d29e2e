#include "smtpclient.h"

#include <QSslSocket>

namespace vt {

namespace {

constexpr quint16 kImplicitTlsPort = 465;
// No reply of a mail server has more lines (EHLO has a few dozen at most).
constexpr int kMaxReplyLines = 200;

bool isAuthenticationReply(int code)
{
    // 530 authentication required, 534 mechanism too weak, 535 credentials
    // invalid, 538 encryption required for the mechanism.
    return code == 530 || code == 534 || code == 535 || code == 538;
}

// The enhanced status code at the start of a reply's text ("5.7.1 ..."): its class
// and subject, or -1 when the reply has none.
std::pair<int, int> enhancedCode(const QByteArray &text)
{
    const QByteArray first = text.left(text.indexOf(' ') < 0 ? text.size() : text.indexOf(' '));
    const QList<QByteArray> parts = first.split('.');
    if (parts.size() != 3)
        return {-1, -1};
    bool okClass = false, okSubject = false, okDetail = false;
    const int cls = parts.at(0).toInt(&okClass);
    const int subject = parts.at(1).toInt(&okSubject);
    parts.at(2).toInt(&okDetail);
    if (!okClass || !okSubject || !okDetail)
        return {-1, -1};
    return {cls, subject};
}

} // namespace

SmtpErrorClass RecipientRefusalClass(int code, const QByteArray &text)
{
    if (code >= 400 && code < 500)
        return SmtpErrorClass::Connection;
    const auto [cls, subject] = enhancedCode(text);
    // Security or policy (5.7.x): relaying denied, authentication needed, the
    // client blocked. The account or the server is at fault, not the address.
    if (cls == 5 && subject == 7)
        return SmtpErrorClass::Authentication;
    // Addressing (5.1.x) and mailbox (5.2.x) status: this recipient.
    if (cls == 5 && (subject == 1 || subject == 2))
        return SmtpErrorClass::Recipient;
    const QByteArray lower = text.toLower();
    if (isAuthenticationReply(code) || lower.contains("relay") || lower.contains("authenticat"))
        return SmtpErrorClass::Authentication;
    if (code == 550 || code == 551 || code == 553)
        return SmtpErrorClass::Recipient;
    // Anything else the server says about a recipient is the server's trouble.
    return SmtpErrorClass::Connection;
}

bool EndsRun(SmtpErrorClass c)
{
    return c != SmtpErrorClass::None && c != SmtpErrorClass::Recipient;
}

bool IsSendableEnvelopeAddress(const QString &address)
{
    if (address.isEmpty())
        return false;
    for (const QChar c : address) {
        const char16_t u = c.unicode();
        if (u <= 32 || u >= 127 || u == '<' || u == '>')
            return false;
    }
    return true;
}

QByteArray SmtpDataPayload(const QByteArray &message, bool *hasEightBit)
{
    // Written through a pointer into a buffer of the largest size it can take (every
    // byte a stuffed dot or a lone CR or LF doubles), then cut to what was written.
    const char *p = message.constData();
    const qsizetype n = message.size();
    QByteArray out(2 * n + 5, Qt::Uninitialized);
    char *o = out.data();
    bool lineStart = true;
    uchar high = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r' || c == '\n') {
            // CR LF, a lone LF and a lone CR all end a line. Done before the stuffing,
            // so a value holding "\r\n.\r\n" ends a line and then stuffs its dot.
            if (c == '\r' && i + 1 < n && p[i + 1] == '\n')
                ++i;
            *o++ = '\r';
            *o++ = '\n';
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            *o++ = '.';
        high |= uchar(c);
        *o++ = c;
        lineStart = false;
    }
    if (!lineStart) {
        *o++ = '\r';
        *o++ = '\n';
    }
    *o++ = '.';
    *o++ = '\r';
    *o++ = '\n';
    out.truncate(o - out.constData());
    if (hasEightBit)
        *hasEightBit = high > 127;
    return out;
}

SmtpClient::SmtpClient(QObject *parent) : MailTransport(parent)
{
    m_serverPort = 25;
}

SmtpClient::~SmtpClient()
{
    if (isConnected() && !m_busy && m_ready) {
        sendLine("QUIT");
        m_socket->flush();
    }
    closeConnection();
}

void SmtpClient::setTimeouts(int connectMs, int replyMs, int dataEndMs)
{
    MailTransport::setTimeouts(connectMs, replyMs);
    m_dataEndMs = dataEndMs;
}

void SmtpClient::addRecipient(const QString &name, const QString &address, RecipientKind kind)
{
    m_recipients.append({name, address, kind});
}

bool SmtpClient::addAttachment(const QString &path, QString *error)
{
    const MimeAttachment a = MimeAttachment::fromFile(path, error);
    if (a.isNull())
        return false;
    m_attachments.append(a);
    return true;
}

void SmtpClient::reset()
{
    m_recipients.clear();
    m_nextFrom.clear();
    m_nextEnvelope.clear();
    m_mail.subject.clear();
    m_mail.body.clear();
    m_raw.clear();
}

void SmtpClient::setNextEnvelope(const QString &sender, const QStringList &recipients)
{
    m_nextFrom = sender;
    m_nextEnvelope.clear();
    for (const QString &address : recipients)
        m_nextEnvelope.append(address.toLatin1());
    // Only what could be sent goes ahead; anything else is refused with its message.
    bool sendable = IsSendableEnvelopeAddress(sender) && !recipients.isEmpty();
    for (const QString &address : recipients)
        sendable = sendable && IsSendableEnvelopeAddress(address);
    if (!sendable) {
        m_nextFrom.clear();
        m_nextEnvelope.clear();
    }
}

bool SmtpClient::sessionMatches() const
{
    return m_session.host == m_serverHost && m_session.port == m_serverPort && m_session.user == m_user &&
           m_session.password == m_password && m_session.tls == m_tls;
}

void SmtpClient::sendAsync()
{
    // A transaction sent ahead waits for its message; any other is under way.
    const bool ahead = m_busy && !m_messageGiven;
    if (m_busy && !ahead)
        return;
    m_busy = true;
    m_messageGiven = true;
    m_retried = false;
    m_errorClass = SmtpErrorClass::None;
    m_errorText.clear();
    m_errorCode = 0;

    // Everything that can be refused is refused before anything is sent.
    auto refuse = [this, ahead](SmtpErrorClass c, const QString &detail) {
        if (ahead) {
            dropAhead(false);
            m_busy = true;
        }
        QTimer::singleShot(0, this, [this, c, detail] { fail(c, detail, 0, true); });
    };
    if (!IsSendableEnvelopeAddress(m_fromAddr))
        return refuse(SmtpErrorClass::Sender, QStringLiteral("invalid sender address \"%1\"").arg(m_fromAddr));
    if (m_recipients.isEmpty())
        return refuse(SmtpErrorClass::Local, QStringLiteral("no recipient"));
    m_envelope.clear();
    for (const MailRecipient &r : m_recipients) {
        if (!IsSendableEnvelopeAddress(r.address))
            return refuse(SmtpErrorClass::Recipient, QStringLiteral("invalid address \"%1\"").arg(r.address));
        m_envelope.append(r.address.toLatin1());
    }
    QByteArray message;
    if (m_format == RawMail) {
        message = m_raw;
        if (message.isEmpty())
            return refuse(SmtpErrorClass::Local, QStringLiteral("no message"));
    } else {
        m_mail.fromAddress = m_fromAddr;
        m_mail.fromName = m_fromName;
        m_mail.recipients = m_recipients;
        m_mail.date = {};
        m_mail.messageId.clear();
        message = ComposeTextMail(m_mail, m_attachments);
    }
    m_payload = SmtpDataPayload(message, &m_eightBit);

    if (ahead) {
        if (m_fromAddr == m_aheadFrom && m_envelope == m_aheadEnvelope && m_eightBit == m_aheadEightBit &&
            sessionMatches()) {
            // The replies to the envelope lead on; with the 354 already in, the message goes now.
            if (m_parked) {
                m_parked = false;
                sendPayload();
            }
            return;
        }
        dropAhead(false);
        m_busy = true;
    }
    if (m_ready && isConnected() && sessionMatches()) {
        m_reused = true;
        startTransaction();
    } else {
        m_reused = false;
        connectToServer();
    }
}

int SmtpClient::send(int timeoutMs)
{
    int result = 1;
    const auto c = connect(this, &SmtpClient::sendFinished, this, [&result](int r) { result = r; });
    runToEnd([this] { sendAsync(); }, [this] { return isBusy(); },
             [this] { fail(SmtpErrorClass::Connection, where() + QStringLiteral(": time-out")); }, timeoutMs);
    disconnect(c);
    return result;
}

void SmtpClient::disconnectFromServer()
{
    // After a DATA sent ahead only the end of the connection keeps the server from
    // taking whatever follows as a message.
    if (m_busy && !m_messageGiven)
        return endSession();
    if (m_busy)
        return;
    if (isConnected() && m_ready) {
        m_pending = {Step::Quit};
        sendLine("QUIT");
        // The session is over for us: a message sent before the server has answered
        // goes over a new connection.
        m_ready = false;
        emit closed();
        return;
    }
    closeConnection();
}

void SmtpClient::abort()
{
    if (m_busy)
        fail(SmtpErrorClass::Connection, where() + QStringLiteral(": aborted"));
    else
        closeConnection();
}

void SmtpClient::connectToServer()
{
    m_ready = false;
    m_tlsDone = false;
    m_extensions.clear();
    m_authMechanisms.clear();
    m_pending.clear();
    m_partial = {};
    m_session = {m_serverHost, m_user, m_password, m_serverPort, m_tls};
    const TlsMode mode = ResolveTlsMode(m_tls, m_serverPort, kImplicitTlsPort);
    openConnection(m_serverHost, m_serverPort, mode == TlsMode::Implicit);
}

void SmtpClient::transportReady()
{
    m_tlsDone = isEncrypted();
    m_pending = {Step::Greeting};
    awaitReply(replyTimeout());
}

void SmtpClient::tlsUpgraded()
{
    m_tlsDone = true;
    // What the server offered before TLS no longer counts.
    m_extensions.clear();
    m_authMechanisms.clear();
    m_pending = {Step::Ehlo};
    sendLine("EHLO " + localAddressLiteral());
}

void SmtpClient::lineReceived(const QByteArray &line)
{
    bool digits = line.size() >= 3;
    for (int i = 0; digits && i < 3; ++i)
        digits = line.at(i) >= '0' && line.at(i) <= '9';
    if (!digits)
        return fail(SmtpErrorClass::Connection,
                    where() + QStringLiteral(": unexpected answer \"%1\"").arg(QString::fromLatin1(line.left(200))));
    m_partial.code = line.left(3).toInt();
    m_partial.lines.append(line.mid(4));
    if (line.size() > 3 && line.at(3) == '-') {
        if (m_partial.lines.size() < kMaxReplyLines)
            return;
        m_partial = {};
        if (!m_busy)
            return endSession();
        return fail(SmtpErrorClass::Connection,
                    where() + QStringLiteral(": a reply of more than %1 lines").arg(kMaxReplyLines));
    }
    Reply reply = m_partial;
    m_partial = {};
    reply.text = reply.lines.join(" / ");
    replyEnded();

    if (m_pending.isEmpty()) {
        // Unasked: a server that ends an idle connection says 421 first.
        if (reply.code == 421)
            endSession();
        return;
    }
    const Step step = m_pending.takeFirst();
    if (m_pending.isEmpty())
        stopWaiting();
    handleReply(step, reply);
}

QString SmtpClient::replyText(const Reply &reply) const
{
    return QString::number(reply.code) + QLatin1Char(' ') + QString::fromUtf8(reply.text);
}

void SmtpClient::handleReply(Step step, const Reply &reply)
{
    const int code = reply.code;
    const QString text = where() + QStringLiteral(": ") + replyText(reply);
    switch (step) {
    case Step::Greeting:
        if (code != 220)
            return fail(SmtpErrorClass::Connection, text, code);
        m_pending = {Step::Ehlo};
        sendLine("EHLO " + localAddressLiteral());
        return;
    case Step::Ehlo:
        if (code == 250)
            return afterHello(reply, true);
        if (code >= 500 && code != 554) {
            // A server that does not know EHLO is greeted the old way.
            m_pending = {Step::Helo};
            sendLine("HELO " + localAddressLiteral());
            return;
        }
        return fail(SmtpErrorClass::Connection, text, code);
    case Step::Helo:
        if (code != 250)
            return fail(SmtpErrorClass::Connection, text, code);
        return afterHello(reply, false);
    case Step::StartTls:
        if (code != 220)
            return fail(SmtpErrorClass::Connection, text, code);
        upgradeToTls();
        return;
    case Step::AuthLogin:
    case Step::AuthUser:
        if (code == 334) {
            const bool user = step == Step::AuthLogin;
            m_pending = {user ? Step::AuthUser : Step::AuthPassword};
            sendLine((user ? m_user : m_password).toUtf8().toBase64(), "********");
            return;
        }
        [[fallthrough]];
    case Step::AuthPlain:
    case Step::AuthPassword:
        if (code == 235)
            return sessionReady();
        // A temporary failure (454) says nothing about the credentials.
        return fail(code >= 400 && code < 500 ? SmtpErrorClass::Connection : SmtpErrorClass::Authentication, text,
                    code);
    case Step::Mail:
    case Step::Rcpt:
    case Step::Data:
    case Step::Content:
    case Step::Rset: return transactionStep(step, reply);
    case Step::Quit: return endSession();
    }
}

void SmtpClient::afterHello(const Reply &reply, bool extended)
{
    if (extended) {
        // The first line is the server's name; every further one an extension.
        for (qsizetype i = 1; i < reply.lines.size(); ++i) {
            const QByteArray line = reply.lines.at(i).trimmed().toUpper();
            const QList<QByteArray> words = line.split(' ');
            QByteArray keyword = words.value(0);
            if (keyword.startsWith("AUTH=")) // the form some old servers announce
                keyword = "AUTH";
            m_extensions.append(keyword);
            if (keyword == "AUTH") {
                const QList<QByteArray> mechanisms =
                    words.value(0).startsWith("AUTH=") ? line.mid(5).split(' ') : words.mid(1);
                m_authMechanisms.append(mechanisms);
            }
        }
    }
    const TlsMode mode = ResolveTlsMode(m_session.tls, m_session.port, kImplicitTlsPort);
    if (mode == TlsMode::StartTls && !m_tlsDone) {
        if (!m_extensions.contains("STARTTLS"))
            return fail(SmtpErrorClass::Connection, where() + QStringLiteral(": the server offers no STARTTLS"));
        m_pending = {Step::StartTls};
        sendLine("STARTTLS");
        return;
    }
    authenticate();
}

void SmtpClient::authenticate()
{
    if (m_session.user.isEmpty() || m_session.password.isEmpty())
        return sessionReady();
    if (m_authMechanisms.contains("PLAIN")) {
        const QByteArray token = '\0' + m_session.user.toUtf8() + '\0' + m_session.password.toUtf8();
        m_pending = {Step::AuthPlain};
        sendLine("AUTH PLAIN " + token.toBase64(), "AUTH PLAIN ********");
        return;
    }
    if (m_authMechanisms.contains("LOGIN")) {
        m_pending = {Step::AuthLogin};
        sendLine("AUTH LOGIN");
        return;
    }
    // Sending without the credentials the user gave would only be refused later,
    // recipient by recipient.
    fail(SmtpErrorClass::Authentication,
         where() + (m_extensions.contains("AUTH") ? QStringLiteral(": the server offers neither PLAIN nor LOGIN")
                                                  : QStringLiteral(": the server offers no authentication")));
}

void SmtpClient::sessionReady()
{
    m_ready = true;
    emit connected();
    if (m_busy)
        startTransaction();
}

void SmtpClient::startTransaction()
{
    m_txClass = SmtpErrorClass::None;
    m_txText.clear();
    m_txCode = 0;
    m_acceptedRcpt = 0;
    m_rcptReplies = 0;
    m_payloadSent = -1;
    m_aheadSent = false;
    m_parked = false;
    m_pipelined = m_extensions.contains("PIPELINING");
    QByteArray mail = "MAIL FROM:<" + m_fromAddr.toLatin1() + '>';
    if (m_eightBit && m_extensions.contains("8BITMIME"))
        mail += " BODY=8BITMIME";
    if (!m_pipelined) {
        m_nextRcpt = 0;
        m_pending = {Step::Mail};
        sendLine(mail);
        return;
    }
    // Envelope in one write; DATA with it when there is one recipient, as the
    // server then refuses DATA by itself should it refuse that recipient.
    QList<QByteArray> lines{mail};
    m_pending = {Step::Mail};
    for (const QByteArray &to : m_envelope) {
        lines.append("RCPT TO:<" + to + '>');
        m_pending.append(Step::Rcpt);
    }
    m_nextRcpt = int(m_envelope.size());
    if (m_envelope.size() == 1) {
        lines.append("DATA");
        m_pending.append(Step::Data);
    }
    sendLines(lines, {});
}

void SmtpClient::sendPayload()
{
    m_pending = {Step::Content};
    m_payloadSent = 0;
    // The next message's envelope, DATA included, goes with this message's end
    // (RFC 2920): its replies come with this message's, a round trip saved.
    QList<QByteArray> ahead;
    m_aheadSent = m_pipelined && m_nextEnvelope.size() == 1 && !m_nextFrom.isEmpty();
    if (m_aheadSent) {
        m_aheadFrom = m_nextFrom;
        m_aheadEnvelope = m_nextEnvelope;
        m_aheadEightBit = m_eightBit;
        QByteArray mail = "MAIL FROM:<" + m_aheadFrom.toLatin1() + '>';
        if (m_aheadEightBit && m_extensions.contains("8BITMIME"))
            mail += " BODY=8BITMIME";
        ahead = {mail, "RCPT TO:<" + m_aheadEnvelope.first() + '>', "DATA"};
        m_pending << Step::Mail << Step::Rcpt << Step::Data;
    }
    m_nextFrom.clear();
    m_nextEnvelope.clear();
    sendBytes(m_payload, "[message, " + QByteArray::number(m_payload.size()) + " bytes]", m_dataEndMs, ahead);
}

void SmtpClient::dropAhead(bool keep)
{
    m_busy = false;
    m_messageGiven = true;
    m_parked = false;
    m_aheadSent = false;
    if (!keep)
        endSession();
}

void SmtpClient::nextEnvelopeCommand()
{
    if (m_nextRcpt < m_envelope.size()) {
        m_pending = {Step::Rcpt};
        sendLine("RCPT TO:<" + m_envelope.at(m_nextRcpt++) + '>');
        return;
    }
    m_pending = {Step::Data};
    sendLine("DATA");
}

void SmtpClient::transactionStep(Step step, const Reply &reply)
{
    const int code = reply.code;
    const QString text = replyText(reply);
    auto record = [this, code](SmtpErrorClass c, const QString &detail) {
        if (m_txClass != SmtpErrorClass::None)
            return;
        // 421 and every temporary answer are the server's trouble, not the message's.
        if (code == 421 || (code >= 400 && code < 500))
            c = SmtpErrorClass::Connection;
        else if (isAuthenticationReply(code))
            c = SmtpErrorClass::Authentication;
        m_txClass = c;
        m_txText = detail;
        m_txCode = code;
    };

    switch (step) {
    case Step::Mail:
        if (code != 250) {
            if (code == 421 && m_reused && !m_retried && m_messageGiven)
                return retryOnNewConnection();
            record(SmtpErrorClass::Sender, QStringLiteral("sender <%1> refused: %2").arg(m_fromAddr, text));
        }
        break;
    case Step::Rcpt: {
        const QByteArray to = m_envelope.value(m_rcptReplies++);
        if (code == 250 || code == 251)
            ++m_acceptedRcpt;
        else
            record(RecipientRefusalClass(code, reply.text),
                   QStringLiteral("<%1>: %2").arg(QString::fromLatin1(to), text));
        break;
    }
    case Step::Data:
        if (code == 354) {
            if (m_txClass != SmtpErrorClass::None) {
                // The server waits for a message that must not go: only closing
                // the connection keeps it from being delivered.
                return fail(m_txClass, m_txText, m_txCode);
            }
            if (!m_messageGiven) {
                m_parked = true;
                return;
            }
            return sendPayload();
        }
        record(SmtpErrorClass::Message, QStringLiteral("message refused: %1").arg(text));
        break;
    case Step::Content:
        m_payloadSent = -1;
        if (code == 250)
            return finish(0);
        record(SmtpErrorClass::Message, QStringLiteral("message refused: %1").arg(text));
        // The transaction is over; no reset is needed.
        return fail(m_txClass, m_txText, m_txCode, m_txClass != SmtpErrorClass::Connection);
    case Step::Rset: return fail(m_txClass, m_txText, m_txCode, code == 250);
    default: break;
    }
    if (!m_pending.isEmpty())
        return;
    if (m_txClass == SmtpErrorClass::None)
        return nextEnvelopeCommand();
    if (m_txClass == SmtpErrorClass::Connection || m_txClass == SmtpErrorClass::Authentication)
        return fail(m_txClass, m_txText, m_txCode);
    // The connection serves the next message once the transaction is reset.
    m_pending = {Step::Rset};
    sendLine("RSET");
}

void SmtpClient::retryOnNewConnection()
{
    m_retried = true;
    m_ready = false;
    closeConnection();
    connectToServer();
}

void SmtpClient::transportFailed(const QString &detail)
{
    // Nobody waits for a transaction sent ahead: its message goes anew when it comes.
    if (m_busy && !m_messageGiven)
        return dropAhead(false);
    // A kept connection that turns out dead before the server took anything of the
    // message is replaced once, silently.
    const bool nothingTaken = m_pending.isEmpty() || m_pending.first() == Step::Mail;
    if (m_busy && m_reused && !m_retried && nothingTaken && m_payloadSent < 0)
        return retryOnNewConnection();
    if (m_busy)
        return fail(SmtpErrorClass::Connection, detail);
    endSession();
}

void SmtpClient::endSession()
{
    const bool wasReady = m_ready;
    m_ready = false;
    m_pending.clear();
    m_aheadSent = false;
    m_parked = false;
    if (!m_messageGiven) {
        // The transaction sent ahead ends with the connection.
        m_busy = false;
        m_messageGiven = true;
    }
    closeConnection();
    if (wasReady)
        emit closed();
}

void SmtpClient::transportClosed()
{
    endSession();
}

void SmtpClient::bytesSent(qint64 n)
{
    if (m_payloadSent < 0)
        return;
    m_payloadSent = qMin<qint64>(m_payloadSent + n, m_payload.size());
    emit sending(m_payloadSent, m_payload.size());
}

void SmtpClient::fail(SmtpErrorClass c, const QString &detail, int code, bool keepConnection)
{
    if (!m_busy)
        return;
    if (!m_messageGiven) {
        // A transaction sent ahead failed before its message came: it is given up, and
        // the message, when it comes, goes the usual way and meets the failure itself.
        return dropAhead(keepConnection && c != SmtpErrorClass::Connection);
    }
    m_errorClass = c;
    m_errorCode = code;
    switch (c) {
    case SmtpErrorClass::Connection:
    case SmtpErrorClass::Sender:
    case SmtpErrorClass::Message: m_errorText = kConnectionErrorText + QStringLiteral(": ") + detail; break;
    case SmtpErrorClass::Authentication: m_errorText = kAuthenticationErrorText + QStringLiteral(": ") + detail; break;
    case SmtpErrorClass::Recipient: m_errorText = kRecipientErrorText + QStringLiteral(": ") + detail; break;
    default: m_errorText = detail; break;
    }
    if (!keepConnection)
        endSession();
    finish(code > 0 ? code : 1);
}

void SmtpClient::finish(int result)
{
    m_busy = false;
    m_payloadSent = -1;
    if (m_aheadSent && !m_pending.isEmpty()) {
        // The replies still to come are those of the envelope sent ahead: a transaction
        // that waits for its message.
        m_aheadSent = false;
        m_busy = true;
        m_messageGiven = false;
        m_parked = false;
        m_txClass = SmtpErrorClass::None;
        m_txText.clear();
        m_txCode = 0;
        m_acceptedRcpt = 0;
        m_rcptReplies = 0;
        m_envelope = m_aheadEnvelope;
        m_nextRcpt = int(m_envelope.size());
        m_reused = true;
        m_retried = false;
    }
    m_aheadSent = false;
    if (m_pending.isEmpty())
        stopWaiting();
    flushLog();
    if (result != 0)
        emit errorOccurred(m_errorCode, m_errorText);
    emit sendFinished(result);
    emit operationDone();
}

} // namespace vt
