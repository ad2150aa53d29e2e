#include "textmail.h"

#include "clock.h"
#include "mailcharset.h"
#include "textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>

namespace vt {

namespace {

bool isAsciiPrintable(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

// A file name as a MIME parameter: quoted when it is ASCII, RFC 2231 otherwise.
QByteArray fileNameParameter(const QString &param, const QString &fileName)
{
    const QString name = SingleLine(fileName);
    if (isAsciiPrintable(name)) {
        QByteArray q = name.toLatin1();
        q.replace('\\', "\\\\").replace('"', "\\\"");
        return param.toLatin1() + "=\"" + q + '"';
    }
    return param.toLatin1() + "*=utf-8''" + name.toUtf8().toPercentEncoding();
}

// LF, CR LF and a lone CR all become CR LF.
QString crlfLines(const QString &body)
{
    return LfLineEnds(body).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

} // namespace

MimeAttachment MimeAttachment::fromFile(const QString &path, QString *error)
{
    MimeAttachment a;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = CannotOpenFileText(path);
        return a;
    }
    const QByteArray data = f.readAll();
    a.m_fileName = QFileInfo(path).fileName();
    const QString type = QMimeDatabase().mimeTypeForFileNameAndData(path, data).name();
    QByteArray part;
    part.reserve(data.size() * 4 / 3 + data.size() / 38 + 256);
    part += "Content-Type: " + type.toLatin1() + ";\r\n " + fileNameParameter(QStringLiteral("name"), a.m_fileName) +
            "\r\n";
    part += "Content-Transfer-Encoding: base64\r\n";
    part += "Content-Disposition: attachment;\r\n " + fileNameParameter(QStringLiteral("filename"), a.m_fileName) +
            "\r\n\r\n";
    part += Base64Lines(data);
    a.m_part = part;
    return a;
}

QString LfLineEnds(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QString NewMessageId(const QString &senderAddress)
{
    QString domain = senderAddress.mid(senderAddress.lastIndexOf(QLatin1Char('@')) + 1);
    bool good = !domain.isEmpty() && senderAddress.contains(QLatin1Char('@'));
    for (const QChar c : domain)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-')
            good = false;
    if (!good)
        domain = QStringLiteral("localhost");
    const quint64 r = QRandomGenerator::global()->generate64();
    return QStringLiteral("<%1.%2@%3>")
        .arg(r, 16, 16, QLatin1Char('0'))
        .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36)
        .arg(domain);
}

QByteArray MailDate(const QDateTime &when)
{
    return when.toString(Qt::RFC2822Date).toLatin1();
}

QByteArray PriorityHeaders(int priority)
{
    if (priority == 1)
        return "X-Priority: 1\r\nX-MSMail-Priority: High\r\n";
    if (priority == 5)
        return "X-Priority: 5\r\nX-MSMail-Priority: Low\r\n";
    return {};
}

QByteArray NewBoundary(const QList<QByteArrayView> &contents)
{
    for (;;) {
        const QByteArray b = "=_Part_" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        bool clash = false;
        for (const QByteArrayView c : contents)
            clash = clash || c.contains(b);
        if (!clash)
            return b;
    }
}

QByteArray ComposeTextMail(const TextMail &mail, const QList<MimeAttachment> &attachments)
{
    const QString wanted = MailCharsetName(mail.charsetIndex);
    const QString body = crlfLines(mail.body);
    const QString charset = CharsetFor(wanted, body);
    const QByteArray encoded = EncodeInCharset(charset, body);
    // Plain ASCII with short lines goes as it is; anything else quoted-printable, so
    // the message stays 7-bit whatever the server offers.
    const bool sevenBit = Is7BitSafe(encoded);
    const QByteArray content = sevenBit ? encoded : QuotedPrintable(encoded);

    QByteArray m;
    m.reserve(content.size() + 1024);
    m += "Date: " + MailDate(mail.date.isValid() ? mail.date : Clock::now()) + "\r\n";
    m += "From: " + EncodeMailbox(mail.fromName, mail.fromAddress, wanted) + "\r\n";
    for (const RecipientKind kind : {RecipientKind::To, RecipientKind::Cc}) {
        QList<QByteArray> boxes;
        for (const MailRecipient &r : mail.recipients)
            if (r.kind == kind)
                boxes.append(EncodeMailbox(r.name, r.address, wanted));
        if (!boxes.isEmpty())
            m += (kind == RecipientKind::To ? "To: " : "Cc: ") + boxes.join(",\r\n ") + "\r\n";
    }
    m += "Subject: " + EncodeHeaderText(mail.subject, wanted) + "\r\n";
    m += "Message-ID: " + (mail.messageId.isEmpty() ? NewMessageId(mail.fromAddress) : mail.messageId).toLatin1() +
         "\r\n";
    m += "MIME-Version: 1.0\r\n";
    if (!mail.mailer.isEmpty())
        m += "X-Mailer: " + EncodeHeaderText(mail.mailer, wanted) + "\r\n";
    m += PriorityHeaders(mail.priority);

    const QByteArray textHeaders = "Content-Type: text/plain; charset=\"" + charset.toLatin1() +
                                   "\"\r\nContent-Transfer-Encoding: " + (sevenBit ? "7bit" : "quoted-printable") +
                                   "\r\n";
    if (attachments.isEmpty()) {
        m += textHeaders + "\r\n" + content;
        return m;
    }
    QList<QByteArrayView> parts{content};
    for (const MimeAttachment &a : attachments)
        parts.append(a.part());
    const QByteArray boundary = NewBoundary(parts);
    m += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n\r\n";
    m += "This is a multi-part message in MIME format.\r\n";
    // The line end before a boundary belongs to the boundary, not to the text.
    m += "--" + boundary + "\r\n" + textHeaders + "\r\n" + content + "\r\n";
    for (const MimeAttachment &a : attachments)
        m += "--" + boundary + "\r\n" + a.part();
    m += "--" + boundary + "--\r\n";
    return m;
}

} // namespace vt
