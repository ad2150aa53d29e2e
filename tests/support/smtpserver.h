#pragma once
// A real SMTP server on loopback for the tests: aiosmtpd (smtpsink.py) on a free
// port of 127.0.0.1, plain, with STARTTLS or with implicit TLS, optionally with
// AUTH and with recipients or senders it refuses. Every message it accepts can
// be read back with its envelope.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class SmtpServer
{
public:
    enum class Tls { Plain, StartTls, Implicit };
    struct Options
    {
        Tls tls = Tls::Plain;
        QString user; // AUTH offered when set
        QString password;
        bool requireAuth = false;
        QStringList excludeAuth; // mechanisms not offered ("PLAIN", "LOGIN")
        QStringList rejectRecipients;
        QStringList rejectSenders;
        quint16 port = 0; // 0: a free port
        int failMailAfter = -1; // MAIL answered with 421 once this many messages were accepted
    };
    struct Received
    {
        QString mailFrom;
        QStringList rcptTo;
        QStringList mailOptions;
        QString login; // empty without AUTH
        bool tls = false;
        QByteArray data; // as the client sent it, without the dot-stuffing
    };

    explicit SmtpServer(const Options &options);
    ~SmtpServer();
    // Empty when the server listens; otherwise why not (naming a missing package).
    QString start();
    // A listening server, or none after failing the current test with the reason.
    static std::unique_ptr<SmtpServer> startOrFail(const Options &options);
    static std::unique_ptr<SmtpServer> startOrFail() { return startOrFail(Options()); }
    quint16 port() const { return m_port; }
    QList<Received> received() const;

private:
    Options m_options;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};
