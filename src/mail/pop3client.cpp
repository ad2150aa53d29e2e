#include "pop3client.h"

namespace vt {

namespace {
constexpr quint16 kImplicitTlsPort = 995;
}

Pop3Client::Pop3Client(QObject *parent) : MailTransport(parent)
{
    m_serverPort = 110;
}

void Pop3Client::logonAsync()
{
    if (m_busy)
        return;
    m_busy = true;
    m_error.clear();
    m_step = Step::Greeting;
    // A name or password with a line break would end the command early.
    for (const QString &s : {m_user, m_password}) {
        if (s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')) || s.contains(QChar(0))) {
            QTimer::singleShot(0, this,
                               [this] { finish(false, QStringLiteral("account or password holds a line break")); });
            return;
        }
    }
    openConnection(m_serverHost, m_serverPort,
                   ResolveTlsMode(m_tls, m_serverPort, kImplicitTlsPort) == TlsMode::Implicit);
}

bool Pop3Client::logon(int timeoutMs)
{
    bool ok = false;
    const auto c = connect(this, &Pop3Client::logonFinished, this, [&ok](bool result) { ok = result; });
    runToEnd([this] { logonAsync(); }, [this] { return m_busy; },
             [this] { finish(false, where() + QStringLiteral(": time-out")); }, timeoutMs);
    disconnect(c);
    return ok;
}

void Pop3Client::transportReady()
{
    m_step = Step::Greeting;
    awaitReply(replyTimeout());
}

void Pop3Client::tlsUpgraded()
{
    sendUser();
}

void Pop3Client::sendUser()
{
    m_step = Step::User;
    sendLine("USER " + m_user.toUtf8());
}

void Pop3Client::lineReceived(const QByteArray &line)
{
    if (!m_busy)
        return;
    const bool ok = line.startsWith("+OK");
    if (!ok) {
        const QString reply = QString::fromUtf8(line.left(200));
        if (m_step == Step::Quit) // logged on already; the farewell does not matter
            return finish(true);
        if (m_step == Step::Stls)
            return finish(false, where() + QStringLiteral(": the server offers no STLS: ") + reply);
        // Be polite even when refused, then go.
        sendLine("QUIT");
        m_socket->flush();
        return finish(false, where() + QStringLiteral(": ") + reply);
    }
    switch (m_step) {
    case Step::Greeting:
        if (ResolveTlsMode(m_tls, m_serverPort, kImplicitTlsPort) == TlsMode::StartTls && !isEncrypted()) {
            m_step = Step::Stls;
            sendLine("STLS");
            return;
        }
        return sendUser();
    case Step::Stls: upgradeToTls(); return;
    case Step::User:
        m_step = Step::Pass;
        sendLine("PASS " + m_password.toUtf8(), "PASS ********");
        return;
    case Step::Pass:
        m_step = Step::Quit;
        sendLine("QUIT");
        return;
    case Step::Quit: return finish(true);
    }
}

void Pop3Client::transportFailed(const QString &detail)
{
    // A server that closes at once after QUIT has done its part.
    if (m_busy && m_step == Step::Quit)
        return finish(true);
    finish(false, detail);
}

void Pop3Client::finish(bool ok, const QString &error)
{
    if (!m_busy)
        return;
    m_busy = false;
    m_error = error;
    if (!ok)
        logText(QStringLiteral("POP3 logon failed: ") + error);
    closeConnection();
    emit logonFinished(ok);
    emit operationDone();
}

} // namespace vt
