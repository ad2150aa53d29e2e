#include "htmlmail.h"

#include "mailcharset.h"
#include "mailsettings.h"
#include "text.h"
#include "tracking.h"

#include <QTimeZone>

namespace vt {

namespace {

const QStringList kRemovedFields = {QStringLiteral("Delivery-Date"), QStringLiteral("Received"),
                                    QStringLiteral("Thread-Index"), QStringLiteral("Return-Path")};

} // namespace

QDateTime UtcNow()
{
    return QDateTime::currentDateTimeUtc();
}

bool HtmlMailBuilder::load(const QString &path, QString *error)
{
    return keepBodies(m_message.loadFile(path, error));
}

bool HtmlMailBuilder::loadBytes(const QByteArray &bytes, QString *error)
{
    return keepBodies(m_message.loadBytes(bytes, error));
}

bool HtmlMailBuilder::addAttachment(const QString &path, QString *error)
{
    return !m_message.addFileAttachment(path, error).isEmpty();
}

bool HtmlMailBuilder::keepBodies(bool loaded)
{
    if (!loaded)
        return false;
    m_html = m_message.htmlBody();
    m_text = m_message.textBody();
    return true;
}

QByteArray HtmlMailBuilder::build(const PlaceholderValues &values, const QString &subject, const QString &address,
                                  const HtmlMailOptions &o)
{
    // The message holds Unicode text until it is written; the character set applies
    // to all of it then, so no part is converted by hand here.
    QString html = Personalizer::personalizeHtmlMarkup(m_html, values);
    if (o.tracking)
        html = RewriteTrackedLinks(html, o.statsUrl, o.mailingId, o.trackingKey);
    // A mail without an HTML or text part gets none made up for it.
    if (!m_html.isEmpty() || m_message.hasHtmlBody())
        m_message.setHtmlBody(html);
    if (!m_text.isEmpty())
        m_message.setTextBody(Personalizer::personalizeHtml(m_text, values));
    m_message.setSubject(Personalizer::personalizeHtml(subject, values));

    m_message.setCharset(MailCharsetName(o.charsetIndex));
    // A priority of the loaded mail is replaced, never doubled; "Normal" leaves it.
    if (o.priorityIndex == 0) {
        m_message.setHeader(QStringLiteral("X-Priority"), QStringLiteral("1"));
        m_message.setHeader(QStringLiteral("X-MSMail-Priority"), QStringLiteral("High"));
    } else if (o.priorityIndex == 2) {
        m_message.setHeader(QStringLiteral("X-Priority"), QStringLiteral("5"));
        m_message.setHeader(QStringLiteral("X-MSMail-Priority"), QStringLiteral("Low"));
    }
    if (o.xmailerType >= 1 && o.xmailerType <= 5) {
        m_message.setMailer(MailerIdentity(o.xmailerType));
        if (o.xmailerType == 1)
            m_message.setHeader(QStringLiteral("X-MimeOLE"),
                                QStringLiteral("Produced By Microsoft MimeOLE V6.00.2900.5994"));
    }
    m_message.clearTo();
    m_message.clearCc();
    m_message.clearBcc();
    for (const QString &field : kRemovedFields)
        m_message.removeHeader(field);
    m_message.setFromName(o.senderName);
    m_message.setFromAddress(o.senderAddress);
    m_message.addTo(QString(), Trimmed(address));
    m_message.setDate(UtcNow());
    return m_message.toBytes();
}

} // namespace vt
