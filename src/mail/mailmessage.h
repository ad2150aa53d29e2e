#pragma once
// The e-mail composer: reads, changes and writes one MIME message (".eml").
//
// Parsing is tolerant (GMime). Parts and header fields that are not changed are
// written back as they were loaded. Texts set here (bodies, subject, names) are held
// as Unicode and encoded once, in the character set of the message, when it is
// written. Writing a changed message gives it a fresh Message-ID and drops an
// "X-Unsent" field, so that each composed mail is a mail of its own and never opens
// as a draft at the recipient's.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>

namespace vt {

// A file shown by an HTML part, sent with it and referred to as "cid:" + contentId.
struct EmbeddedPart
{
    QString fileName;
    QString mimeType;
    QString contentId;
    QByteArray data;
};

// Initialises the MIME library once for the process.
void EnsureMimeLibrary();

class MailMessage
{
public:
    // A new, empty message.
    MailMessage();
    ~MailMessage();
    MailMessage(MailMessage &&other) noexcept;
    MailMessage &operator=(MailMessage &&other) noexcept;
    MailMessage(const MailMessage &) = delete;
    MailMessage &operator=(const MailMessage &) = delete;

    // Loading replaces the message; false (with an error text) when the file cannot
    // be read or holds no message.
    bool loadFile(const QString &path, QString *error = nullptr);
    bool loadBytes(const QByteArray &bytes, QString *error = nullptr);
    // The complete message with CR LF line ends.
    QByteArray toBytes() const;
    bool saveFile(const QString &path, QString *error = nullptr) const;
    qint64 size() const { return toBytes().size(); }

    // The first HTML and plain-text parts that are not attachments, decoded;
    // empty when the message has none.
    QString htmlBody() const;
    QString textBody() const;
    bool hasHtmlBody() const;
    // Parts marked as attachments, and parts other than texts outside a
    // multipart/related; pictures embedded in the HTML do not count.
    int attachmentCount() const;

    QString subject() const;
    void setSubject(const QString &subject);
    // Replace the text of that part where it stands, keeping embedded pictures and
    // their references; a missing part is made.
    void setHtmlBody(const QString &html);
    void setTextBody(const QString &text);
    // "iso-8859-1", "windows-1252", "utf-7" or "utf-8": the set the texts set here are
    // written in (an HTML part also declares it in its <meta> charset).
    void setCharset(const QString &charset);
    QString charset() const { return m_charset; }

    // Adds the file as an attachment; returns its file name, or an empty text (with
    // an error text) when it cannot be read.
    QString addFileAttachment(const QString &path, QString *error = nullptr);

    // Header fields. addHeader adds one more; setHeader replaces every field of the
    // name; removeHeader removes every one (a mail holds many "Received").
    void addHeader(const QString &name, const QString &value);
    void setHeader(const QString &name, const QString &value);
    void removeHeader(const QString &name);
    // The decoded value of the first field of the name, empty when there is none.
    QString header(const QString &name) const;

    void clearTo();
    void clearCc();
    void clearBcc();
    void addTo(const QString &name, const QString &address);
    void setFromName(const QString &name);
    void setFromAddress(const QString &address);
    QString fromName() const;
    QString fromAddress() const;
    void setDate(const QDateTime &when);
    // The client identity as "X-Mailer", replacing any there is.
    void setMailer(const QString &identity);

    // Writes the HTML part (as UTF-8) to folder + htmlFileName and every embedded
    // part into folder + partsFolderName, with the references of the HTML pointing at
    // those files, for display. Part names from the message are reduced to safe
    // plain file names, so no part can be written outside that folder.
    bool unpackHtml(const QString &folder, const QString &htmlFileName, const QString &partsFolderName,
                    QString *error = nullptr) const;

    // A message of the HTML text and the files it refers to by "cid:", which travel
    // beside it in a multipart/related.
    static MailMessage fromHtml(const QString &html, const QList<EmbeddedPart> &parts);
    // A message made from an HTML file: the local pictures and style sheets inside
    // its folder tree are taken in (see htmlpage.h); remote addresses stay as they
    // are. Empty (with an error text) when the file cannot be read.
    static std::optional<MailMessage> fromHtmlFile(const QString &path, QString *error = nullptr);

private:
    struct Impl;
    void flush() const;
    std::unique_ptr<Impl> d;
    QString m_charset = QStringLiteral("utf-8");
};

} // namespace vt
