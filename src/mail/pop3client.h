#pragma once
// The POP3 logon of "POP vor SMTP": connect, secure the connection (STLS, or TLS
// from the start on port 995), USER and PASS, QUIT. Some providers accept mail
// from an address only after its mailbox was opened this way.
#include "mailtransport.h"

namespace vt {

// The box the send run shows when the logon fails.
inline const QString kPopLogonFailedText = QStringLiteral("Es kann keine POP-Verbindung hergestellt werden!");

class Pop3Client : public MailTransport
{
    Q_OBJECT
public:
    explicit Pop3Client(QObject *parent = nullptr);

    // setServer, setCredentials (the account and its password) as for every transport.
    // Auto: TLS from the start on port 995, STLS on any other.
    void setTlsMode(TlsMode mode) { m_tls = mode; }

    // Starts the logon; logonFinished() follows, always.
    void logonAsync();
    // Logs on and waits; true when the server accepted the account and password.
    bool logon(int timeoutMs = 0);
    bool isBusy() const { return m_busy; }
    // What went wrong, for the log; the user sees kPopLogonFailedText.
    QString lastErrorText() const { return m_error; }

signals:
    void logonFinished(bool ok);

protected:
    void transportReady() override;
    void tlsUpgraded() override;
    void lineReceived(const QByteArray &line) override;
    void transportFailed(const QString &detail) override;

private:
    enum class Step { Greeting, Stls, User, Pass, Quit };
    void sendUser();
    void finish(bool ok, const QString &error = {});

    TlsMode m_tls = TlsMode::Off;
    Step m_step = Step::Greeting;
    bool m_busy = false;
    QString m_error;
};

} // namespace vt
