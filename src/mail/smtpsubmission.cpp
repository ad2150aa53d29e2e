#include "smtpsubmission.h"

namespace vt {

SmtpClientSubmission::SmtpClientSubmission(SmtpClient &client, QObject *parent)
    : SmtpSubmission(parent), m_client(client)
{
    connect(&m_client, &SmtpClient::sendFinished, this, [this] {
        // Only the messages of this submission: a test mail of the same component is none of its business.
        if (!m_busy)
            return;
        m_busy = false;
        emit submitted({m_client.lastErrorClass(), m_client.lastErrorText()});
    });
}

void SmtpClientSubmission::submit(const QString &sender, const QStringList &recipients, const QByteArray &message)
{
    m_client.reset();
    m_client.setMailFormat(SmtpClient::RawMail);
    m_client.setFromAddr(sender);
    for (const QString &address : recipients)
        m_client.addRecipient(QString(), address);
    m_client.setRawContent(message);
    if (!m_nextRecipients.isEmpty())
        m_client.setNextEnvelope(m_nextSender, m_nextRecipients);
    m_nextSender.clear();
    m_nextRecipients.clear();
    m_busy = true;
    m_client.sendAsync();
}

void SmtpClientSubmission::announceNext(const QString &sender, const QStringList &recipients)
{
    m_nextSender = sender;
    m_nextRecipients = recipients;
}

void SmtpClientSubmission::abort()
{
    m_client.abort();
}

void SmtpClientSubmission::quit()
{
    m_client.disconnectFromServer();
}

} // namespace vt
