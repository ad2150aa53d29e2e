#pragma once
// The mail template file (".mail") of a text mail: the lines "[SUBJECT]", the
// subject, "[TEXT]", the body lines, "[ATTACHEMENT]" (spelled so) and the path of
// the one attachment (an empty line when there is none).
//
// The same format serves the user's templates, the work copies of the send run
// and the preview, and the copy of the mail last sent.
#include <QString>
#include <QStringList>

#include <optional>

namespace vt {

inline const QString kTemplateSubjectMarker = QStringLiteral("[SUBJECT]");
inline const QString kTemplateTextMarker = QStringLiteral("[TEXT]");
inline const QString kTemplateAttachmentMarker = QStringLiteral("[ATTACHEMENT]");

struct MailTemplateContent
{
    std::optional<QString> subject; // the last line of the subject section, when it has one
    QStringList body;
    QStringList attachments; // the non-empty lines of the attachment section, in order
};

// Reads the lines section by section. A marker line switches the section unless it
// is the marker of the section it stands in: then it is content. Lines before the
// first marker are ignored.
MailTemplateContent ParseMailTemplate(const QStringList &lines);

QStringList MailTemplateLines(const QString &subject, const QStringList &body, const QString &attachmentPath);

// Replaces the file. Windows-1252 when every character fits, UTF-8 with a byte order
// mark otherwise, so that no character of a mail is lost. A failure names the file.
bool WriteMailTemplate(const QString &path, const QString &subject, const QStringList &body,
                       const QString &attachmentPath, QString *error = nullptr);

} // namespace vt
