#include "mailtemplate.h"

#include "textfile.h"

namespace vt {

MailTemplateContent ParseMailTemplate(const QStringList &lines)
{
    enum class Section { None, Subject, Text, Attachment };
    MailTemplateContent out;
    Section section = Section::None;
    for (const QString &line : lines) {
        Section marked = Section::None;
        if (line == kTemplateSubjectMarker)
            marked = Section::Subject;
        else if (line == kTemplateTextMarker)
            marked = Section::Text;
        else if (line == kTemplateAttachmentMarker)
            marked = Section::Attachment;
        // The marker of the section it stands in is content.
        if (marked != Section::None && marked != section) {
            section = marked;
            continue;
        }
        switch (section) {
        case Section::None: break;
        case Section::Subject: out.subject = line; break;
        case Section::Text: out.body.append(line); break;
        case Section::Attachment:
            if (!line.isEmpty())
                out.attachments.append(line);
            break;
        }
    }
    return out;
}

QStringList MailTemplateLines(const QString &subject, const QStringList &body, const QString &attachmentPath)
{
    return QStringList{kTemplateSubjectMarker, subject, kTemplateTextMarker} + body +
           QStringList{kTemplateAttachmentMarker, attachmentPath};
}

bool WriteMailTemplate(const QString &path, const QString &subject, const QStringList &body,
                       const QString &attachmentPath, QString *error)
{
    const QStringList lines = MailTemplateLines(subject, body, attachmentPath);
    WriteOptions options;
    options.encoding = EncodingForExport(lines.join(QLatin1Char('\n')));
    if (WriteLines(path, lines, options))
        return true;
    if (error)
        *error = CannotWriteFileText(path);
    return false;
}

} // namespace vt
