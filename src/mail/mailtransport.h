#pragma once
// The connection under the SMTP and POP3 clients: one QSslSocket, plain or with
// TLS (implicit, or upgraded by STARTTLS/STLS), the server's certificate checked
// against the system's authorities, replies read line by line (no longer than
// the protocols allow), a time-out for every wait, and the protocol log.
#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <functional>

class QSslSocket;

namespace vt {

// How a connection is secured. Auto is the program's one "SSL" switch: implicit
// TLS on the port made for it (SMTP 465, POP3 995), STARTTLS (STLS) on any other.
enum class TlsMode { Off, Auto, StartTls, Implicit };

// Auto resolved for a port.
TlsMode ResolveTlsMode(TlsMode mode, quint16 port, quint16 implicitPort);

// The system's authorities, TLS 1.2 or later, and the peer always verified.
QSslConfiguration DefaultMailSslConfiguration();

class MailTransport : public QObject
{
    Q_OBJECT
public:
    explicit MailTransport(QObject *parent = nullptr);
    ~MailTransport() override;

    // The server and the account; a change takes effect with the next connection.
    void setServer(const QString &host, quint16 port);
    QString serverAddr() const { return m_serverHost; }
    quint16 serverPort() const { return m_serverPort; }
    void setCredentials(const QString &userName, const QString &password);

    // The authorities and protocols for TLS; by default the system's authorities,
    // TLS 1.2 or later, and the peer always verified.
    void setSslConfiguration(const QSslConfiguration &config);
    QSslConfiguration sslConfiguration() const { return m_ssl; }
    // Milliseconds to wait for the connection (TCP and TLS) and for each reply.
    void setTimeouts(int connectMs, int replyMs);
    int replyTimeout() const { return m_replyMs; }

    // The protocol log; every line the program and the server send, passwords
    // masked and message contents left out, written once per message. An empty name
    // switches it off; setting a name (the same one too) opens the file anew.
    void setLogFileName(const QString &path);
    QString logFileName() const { return m_logName; }
    // Adds a line of the caller's own to the log.
    void logText(const QString &text);

    bool isConnected() const;

signals:
    // A send or logon has ended, whichever way.
    void operationDone();

protected:
    // The blocking form of an operation: starts it and runs an event loop until
    // operationDone(); a guard of timeoutMs (0: none) calls onGuard to end it.
    void runToEnd(const std::function<void()> &start, const std::function<bool()> &busy,
                  const std::function<void()> &onGuard, int timeoutMs);
    void openConnection(const QString &host, quint16 port, bool implicitTls);
    // Turns the open connection into TLS (after the server agreed to STARTTLS/STLS).
    void upgradeToTls();
    bool isEncrypted() const;
    // Sends one command line (CR LF added); logAs replaces it in the log (passwords).
    void sendLine(const QByteArray &line, const QByteArray &logAs = {});
    // Sends several command lines in one write (pipelining).
    void sendLines(const QList<QByteArray> &lines, const QList<QByteArray> &logAs);
    // Sends prepared bytes as they are, and the command lines after them in the same
    // write; the log gets the note instead of the bytes.
    void sendBytes(const QByteArray &bytes, const QByteArray &logNote, int timeoutMs,
                   const QList<QByteArray> &thenLines = {});
    // Waiting for the server starts (after a write) or ends (nothing pending). A
    // reply must end within the time-out counted from its first line; replyEnded()
    // lets the next reply of a batch count from its own first line.
    void awaitReply(int timeoutMs);
    void replyEnded();
    void stopWaiting();
    void closeConnection();
    // Text for a failure: the host and port, and what went wrong.
    QString where() const;
    void flushLog();
    QByteArray localAddressLiteral() const;

    // Hooks for the protocol.
    virtual void transportReady() = 0; // connected (and, for implicit TLS, encrypted)
    virtual void tlsUpgraded() = 0;    // the STARTTLS/STLS handshake finished
    virtual void lineReceived(const QByteArray &line) = 0;
    virtual void transportFailed(const QString &detail) = 0; // error, time-out, certificate, lost connection
    virtual void transportClosed() {}                        // closed while nothing was pending
    virtual void bytesSent(qint64) {}

    QString m_serverHost;
    quint16 m_serverPort = 0;
    QString m_user;
    QString m_password;
    QSslSocket *m_socket = nullptr;
    QString m_host;
    quint16 m_port = 0;

private:
    void onReadyRead();
    void onSocketError();
    void onDisconnected();
    void onTimeout();
    void fail(const QString &detail);
    void writeLog(char direction, const QByteArray &text);
    void writeNow(const QByteArray &bytes);

    QSslConfiguration m_ssl;
    QTimer m_timer;
    int m_connectMs = 30000;
    int m_replyMs = 300000;
    bool m_waiting = false;
    bool m_replyBegun = false; // the first line of the awaited reply has come
    bool m_implicit = false;
    bool m_failed = false;
    QList<QSslError> m_sslErrors;
    QString m_logName;
    QFile m_log;
    QByteArray m_logBuffer;
};

} // namespace vt
