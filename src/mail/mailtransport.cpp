#include "mailtransport.h"

#include "clock.h"

#include <QDateTime>
#include <QEventLoop>
#include <QSslSocket>

namespace vt {

namespace {

// The longest reply line SMTP and POP3 allow, its CR LF included (RFC 5321
// 4.5.3.1.5, RFC 1939 3); a longer one is no reply of a mail server.
constexpr qint64 kMaxLine = 512;
// The protocol log goes to its file once this much waits in memory.
constexpr qsizetype kMaxLogBuffer = 64 * 1024;

QString sslErrorText(const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &e : errors)
        texts.append(e.errorString());
    texts.removeDuplicates();
    return texts.join(QStringLiteral("; "));
}

} // namespace

TlsMode ResolveTlsMode(TlsMode mode, quint16 port, quint16 implicitPort)
{
    if (mode != TlsMode::Auto)
        return mode;
    return port == implicitPort ? TlsMode::Implicit : TlsMode::StartTls;
}

QSslConfiguration DefaultMailSslConfiguration()
{
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setPeerVerifyMode(QSslSocket::VerifyPeer);
    c.setProtocol(QSsl::TlsV1_2OrLater);
    return c;
}

MailTransport::MailTransport(QObject *parent) : QObject(parent), m_ssl(DefaultMailSslConfiguration())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MailTransport::onTimeout);
}

MailTransport::~MailTransport()
{
    flushLog();
}

void MailTransport::setServer(const QString &host, quint16 port)
{
    m_serverHost = host;
    m_serverPort = port;
}

void MailTransport::setCredentials(const QString &userName, const QString &password)
{
    m_user = userName;
    m_password = password;
}

void MailTransport::setSslConfiguration(const QSslConfiguration &config)
{
    m_ssl = config;
    // Whatever the caller passes, a server is never trusted unseen.
    m_ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
}

void MailTransport::setTimeouts(int connectMs, int replyMs)
{
    m_connectMs = connectMs;
    m_replyMs = replyMs;
}

void MailTransport::setLogFileName(const QString &path)
{
    // Set again, even to the same name, the file is opened anew: the serial e-mail
    // window deletes the log before a run and sets its name then.
    flushLog();
    m_log.close();
    m_logName = path;
}

void MailTransport::logText(const QString &text)
{
    writeLog('*', text.toUtf8());
    flushLog();
}

bool MailTransport::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool MailTransport::isEncrypted() const
{
    return m_socket && m_socket->isEncrypted();
}

void MailTransport::runToEnd(const std::function<void()> &start, const std::function<bool()> &busy,
                             const std::function<void()> &onGuard, int timeoutMs)
{
    QEventLoop loop;
    const auto c = connect(this, &MailTransport::operationDone, &loop, &QEventLoop::quit);
    QTimer guard;
    if (timeoutMs > 0) {
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, &loop, onGuard);
        guard.start(timeoutMs);
    }
    start();
    // An operation refused at once has ended before the loop would start.
    if (busy())
        loop.exec();
    disconnect(c);
}

void MailTransport::openConnection(const QString &host, quint16 port, bool implicitTls)
{
    closeConnection();
    m_host = host;
    m_port = port;
    m_implicit = implicitTls;
    m_failed = false;
    m_sslErrors.clear();
    m_socket = new QSslSocket(this);
    m_socket->setSslConfiguration(m_ssl);
    connect(m_socket, &QSslSocket::connected, this, [this] {
        // Commands are small and answered one by one: Nagle's delay would cost a
        // round trip per command.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!m_implicit)
            transportReady();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        if (m_implicit) {
            m_implicit = false;
            transportReady();
        } else {
            tlsUpgraded();
        }
    });
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) { m_sslErrors = errors; });
    connect(m_socket, &QSslSocket::readyRead, this, &MailTransport::onReadyRead);
    connect(m_socket, &QSslSocket::errorOccurred, this, &MailTransport::onSocketError);
    connect(m_socket, &QSslSocket::disconnected, this, &MailTransport::onDisconnected);
    connect(m_socket, &QSslSocket::bytesWritten, this, [this](qint64 n) { bytesSent(n); });

    writeLog('*',
             QStringLiteral("connect %1%2").arg(where(), implicitTls ? QStringLiteral(" (TLS)") : QString()).toUtf8());
    awaitReply(m_connectMs);
    if (port == 0) {
        // A port that is no number reaches no server.
        QTimer::singleShot(0, this, [this] { transportFailed(where() + QStringLiteral(": invalid port")); });
        return;
    }
    if (implicitTls)
        m_socket->connectToHostEncrypted(host, port);
    else
        m_socket->connectToHost(host, port);
}

void MailTransport::upgradeToTls()
{
    writeLog('*', "TLS handshake");
    awaitReply(m_connectMs);
    m_socket->startClientEncryption();
}

void MailTransport::writeNow(const QByteArray &bytes)
{
    // Handed to the system at once rather than from a later pass of the event loop:
    // the server can start on it a pass earlier, and the pass is saved.
    m_socket->write(bytes);
    m_socket->flush();
}

void MailTransport::sendLine(const QByteArray &line, const QByteArray &logAs)
{
    writeLog('>', logAs.isEmpty() ? line : logAs);
    writeNow(line + "\r\n");
    awaitReply(m_replyMs);
}

void MailTransport::sendLines(const QList<QByteArray> &lines, const QList<QByteArray> &logAs)
{
    QByteArray batch;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        writeLog('>', logAs.value(i).isEmpty() ? lines.at(i) : logAs.at(i));
        batch += lines.at(i);
        batch += "\r\n";
    }
    writeNow(batch);
    awaitReply(m_replyMs);
}

void MailTransport::sendBytes(const QByteArray &bytes, const QByteArray &logNote, int timeoutMs,
                              const QList<QByteArray> &thenLines)
{
    writeLog('>', logNote);
    if (thenLines.isEmpty()) {
        writeNow(bytes);
    } else {
        QByteArray all;
        qsizetype size = bytes.size();
        for (const QByteArray &line : thenLines)
            size += line.size() + 2;
        all.reserve(size);
        all += bytes;
        for (const QByteArray &line : thenLines) {
            writeLog('>', line);
            all += line;
            all += "\r\n";
        }
        writeNow(all);
    }
    awaitReply(timeoutMs);
}

void MailTransport::awaitReply(int timeoutMs)
{
    m_waiting = true;
    m_replyBegun = false;
    m_timer.start(timeoutMs);
}

void MailTransport::replyEnded()
{
    m_replyBegun = false;
}

void MailTransport::stopWaiting()
{
    m_waiting = false;
    m_timer.stop();
}

void MailTransport::closeConnection()
{
    stopWaiting();
    if (m_socket) {
        QSslSocket *s = m_socket;
        m_socket = nullptr;
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    flushLog();
}

QString MailTransport::where() const
{
    return m_host + QLatin1Char(':') + QString::number(m_port);
}

QByteArray MailTransport::localAddressLiteral() const
{
    // An address literal is always a valid EHLO argument, whatever the host is named.
    const QHostAddress a = m_socket ? m_socket->localAddress() : QHostAddress();
    bool v4 = false;
    const quint32 ip4 = a.toIPv4Address(&v4);
    if (v4)
        return '[' + QHostAddress(ip4).toString().toLatin1() + ']';
    if (a.protocol() == QAbstractSocket::IPv6Protocol)
        return "[IPv6:" + a.toString().toLatin1() + ']';
    return "[127.0.0.1]";
}

void MailTransport::onReadyRead()
{
    const QString tooLong =
        where() + QStringLiteral(": the server sends a line longer than %1 characters").arg(kMaxLine);
    while (m_socket && m_socket->canReadLine()) {
        QByteArray line = m_socket->readLine(kMaxLine + 1);
        if (!line.endsWith('\n')) {
            writeLog('<', line.left(80) + "...");
            return fail(tooLong);
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        writeLog('<', line);
        // The reply's time starts with its first line and is not renewed by more:
        // a server that trickles lines without end fails like one that is silent.
        if (m_waiting && !m_replyBegun) {
            m_replyBegun = true;
            m_timer.start(m_timer.interval());
        }
        lineReceived(line);
    }
    if (m_socket && m_socket->bytesAvailable() > kMaxLine)
        fail(tooLong);
}

void MailTransport::fail(const QString &detail)
{
    if (m_failed)
        return;
    m_failed = true;
    transportFailed(detail);
}

void MailTransport::onSocketError()
{
    if (!m_socket || m_failed)
        return;
    // A close is handled when the connection is gone: idle, it is no failure.
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    m_failed = true;
    QString detail = m_socket->errorString();
    if (!m_sslErrors.isEmpty())
        detail = QStringLiteral("TLS: ") + sslErrorText(m_sslErrors);
    transportFailed(where() + QStringLiteral(": ") + detail);
}

void MailTransport::onDisconnected()
{
    if (!m_socket || m_failed)
        return;
    writeLog('*', "connection closed by the server");
    if (m_waiting) {
        m_failed = true;
        transportFailed(where() + QStringLiteral(": connection closed by the server"));
        return;
    }
    closeConnection();
    transportClosed();
}

void MailTransport::onTimeout()
{
    if (!m_waiting)
        return;
    m_failed = true;
    writeLog('*', "time-out");
    const QString seconds = QString::number(m_timer.interval() / 1000.0);
    transportFailed(where() + (m_replyBegun ? QStringLiteral(": time-out, the reply did not end within %1 s")
                                            : QStringLiteral(": time-out, no answer within %1 s"))
                                  .arg(seconds));
}

void MailTransport::writeLog(char direction, const QByteArray &text)
{
    if (m_logName.isEmpty())
        return;
    Clock::appendStamp(m_logBuffer, Clock::localMsecs());
    m_logBuffer += ' ';
    m_logBuffer += direction;
    m_logBuffer += ' ';
    m_logBuffer += text;
    m_logBuffer += "\r\n";
    if (m_logBuffer.size() > kMaxLogBuffer)
        flushLog();
}

void MailTransport::flushLog()
{
    if (m_logBuffer.isEmpty() || m_logName.isEmpty())
        return;
    if (!m_log.isOpen()) {
        m_log.setFileName(m_logName);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            m_logBuffer.clear();
            return;
        }
    }
    m_log.write(m_logBuffer);
    m_log.flush();
    m_logBuffer.clear();
}

} // namespace vt
