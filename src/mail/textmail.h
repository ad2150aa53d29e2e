#pragma once
// Plain-text messages as the SMTP component sends them: headers, one text part in
// the chosen character set, and the attachments of the run.
//
// Built directly rather than through a MIME tree, because a send run composes one
// per recipient: an attachment is read and encoded once (MimeAttachment) and its
// bytes are reused for every message.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace vt {

enum class RecipientKind { To = 0, Cc = 1, Bcc = 2 };

struct MailRecipient
{
    QString name; // may be empty
    QString address;
    RecipientKind kind = RecipientKind::To;
};

// One attachment, encoded once: its MIME part (headers, blank line, base64 lines).
class MimeAttachment
{
public:
    // Reads the file; an empty result (with the error text set) when it cannot be read.
    static MimeAttachment fromFile(const QString &path, QString *error = nullptr);
    bool isNull() const { return m_part.isEmpty(); }
    QString fileName() const { return m_fileName; }
    const QByteArray &part() const { return m_part; }

private:
    QString m_fileName;
    QByteArray m_part;
};

struct TextMail
{
    QString fromName;
    QString fromAddress;
    QList<MailRecipient> recipients;
    QString subject;
    QString body; // line ends LF or CR LF
    int charsetIndex = 0;
    int priority = 3;  // 1 high, 3 normal, 5 low
    QString mailer;    // X-Mailer; none when empty
    QDateTime date;    // now when invalid
    QString messageId; // a fresh one when empty
};

QByteArray ComposeTextMail(const TextMail &mail, const QList<MimeAttachment> &attachments = {});

// LF, CR LF and a lone CR all become LF.
QString LfLineEnds(const QString &text);
// "<random.time@domain>" with the domain of the sender address.
QString NewMessageId(const QString &senderAddress);
// The date as a header value, e.g. "05 Mar 2024 09:30:01 +0100".
QByteArray MailDate(const QDateTime &when);
// The priority header lines for 1 (high) and 5 (low); none for anything else.
QByteArray PriorityHeaders(int priority);
// A boundary that none of the given bytes contains.
QByteArray NewBoundary(const QList<QByteArrayView> &contents);

} // namespace vt
