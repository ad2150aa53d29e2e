#pragma once
// What a send run needs of the mail server: hand over one message with its
// envelope, learn how that ended, and end the session. The program submits
// through the SMTP component (SmtpClientSubmission); tests put a scripted
// submission in its place.
#include "smtpclient.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vt {

// How the server (or the way to it) took one message.
struct SubmissionResult
{
    SmtpErrorClass errorClass = SmtpErrorClass::None;
    QString text; // the failure as the component words it ("ERROR WITH CONNECTING SERVER: ...")
    bool accepted() const { return errorClass == SmtpErrorClass::None; }
};

class SmtpSubmission : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Hands over one message: MAIL FROM sender, RCPT TO each recipient, the bytes
    // as DATA. The session is opened, or kept from the message before, as needed.
    // submitted() follows, always, and never inside this call.
    virtual void submit(const QString &sender, const QStringList &recipients, const QByteArray &message) = 0;
    // The envelope of the message that will most likely follow the one submitted next;
    // said before that submit(). A submission may send it ahead of time, but nothing of
    // the message goes before it is submitted. Nothing by default.
    virtual void announceNext(const QString &sender, const QStringList &recipients)
    {
        Q_UNUSED(sender);
        Q_UNUSED(recipients);
    }
    // Ends the message under way at once (it fails as a connection failure).
    virtual void abort() = 0;
    // Ends the session with QUIT; nothing when no message is under way.
    virtual void quit() = 0;

signals:
    void submitted(const vt::SubmissionResult &result);
};

// Submission through the SMTP component: its server, account, TLS, protocol log
// and time-outs are as the caller configured them.
class SmtpClientSubmission : public SmtpSubmission
{
    Q_OBJECT
public:
    explicit SmtpClientSubmission(SmtpClient &client, QObject *parent = nullptr);

    void submit(const QString &sender, const QStringList &recipients, const QByteArray &message) override;
    void announceNext(const QString &sender, const QStringList &recipients) override;
    void abort() override;
    void quit() override;

private:
    SmtpClient &m_client;
    bool m_busy = false;
    QString m_nextSender;
    QStringList m_nextRecipients;
};

} // namespace vt

Q_DECLARE_METATYPE(vt::SubmissionResult)
