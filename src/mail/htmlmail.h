#pragma once
// One personalised HTML message per recipient, composed from the HTML mail file
// loaded into the serial e-mail window.
//
// The loaded message keeps its attachments, embedded pictures and other header
// fields; for each recipient its HTML part, plain-text part and subject are set
// anew (placeholders replaced, links rewritten for click tracking), with the
// character set, priority, client identity, sender, the one recipient and the
// date.
#include "mailmessage.h"
#include "personalize.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace vt {

struct HtmlMailOptions
{
    int charsetIndex = 0;  // 0 ISO-8859-1, 1 Windows-1252, 2 UTF-7, 3 UTF-8
    int priorityIndex = 1; // 0 "Hoch", 1 "Normal", 2 "Niedrig"
    int xmailerType = 0;   // 0: no identity of ours; 1 to 5 the identity of MailerIdentity()
    QString senderName, senderAddress;
    bool tracking = false;
    QString statsUrl;
    QString mailingId;
    QByteArray trackingKey;
};

// The current system time in UTC.
QDateTime UtcNow();

class HtmlMailBuilder
{
public:
    HtmlMailBuilder() = default;

    // Loads the mail file; false (with the reason) when it holds no message.
    bool load(const QString &path, QString *error = nullptr);
    bool loadBytes(const QByteArray &bytes, QString *error = nullptr);
    // Adds a file to every message built from now on; false (with the reason) when
    // it cannot be read.
    bool addAttachment(const QString &path, QString *error = nullptr);

    // The HTML and plain-text parts as loaded, personalised per recipient.
    const QString &htmlBody() const { return m_html; }
    const QString &textBody() const { return m_text; }

    // The message for one recipient; subject is the subject as typed in the window.
    QByteArray build(const PlaceholderValues &values, const QString &subject, const QString &address,
                     const HtmlMailOptions &options);

private:
    // After a load: the bodies as loaded, when it succeeded.
    bool keepBodies(bool loaded);

    MailMessage m_message;
    QString m_html, m_text;
};

} // namespace vt
