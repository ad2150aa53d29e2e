#include "htmlimport.h"

#include "htmlpage.h"
#include "inifile.h"
#include "mailcharset.h"
#include "paths.h"
#include "textfile.h"
#include "win1252.h"
#include "workfolder.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace vt {

namespace {

const QString kSection = QStringLiteral("Vantrel");
// A project file is a few lines; anything much larger is not one.
constexpr qint64 kMaxProjectBytes = 4 * 1024 * 1024;

} // namespace

QString DefaultImportSubject()
{
    return QStringLiteral("Meine neue Serien-E-Mail");
}

QString DefaultProjectFileName(const QDate &day)
{
    return QStringLiteral("Newsletter_") + day.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(".vtp");
}

QString WithProjectSuffix(const QString &path)
{
    return path.toLower().contains(QLatin1String(".vtp")) ? path : path + QStringLiteral(".vtp");
}

bool SaveHtmlImportProject(const QString &path, const HtmlImportProject &project, QString *error)
{
    QList<QPair<QString, QString>> values{
        {QStringLiteral("HTMLFile"), project.htmlFile},
        {QStringLiteral("Bilder"), project.embedPictures ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("TextFile"), project.textFile},
        // An INI value is one line.
        {QStringLiteral("Betreff"), SingleLine(project.subject)},
    };
    for (qsizetype n = 0; n < project.attachments.size(); ++n)
        values.append({QStringLiteral("ITEM") + QString::number(n), project.attachments.at(n)});

    IniFile ini(path);
    ini.setAutoSave(false);
    bool fits = true;
    for (const QString &line : ini.lines())
        fits = fits && FitsWin1252(line);
    ini.eraseSection(kSection);
    for (const auto &[key, value] : values) {
        ini.writeString(kSection, key, value);
        fits = fits && FitsWin1252(value);
    }
    // A path or subject that Windows-1252 cannot hold is kept, not turned into "?".
    ini.setEncoding(fits ? TextEncoding::Win1252 : TextEncoding::Utf8Bom);
    if (!ini.save()) {
        if (error)
            *error = ini.lastError().isEmpty() ? CannotWriteFileText(path) : ini.lastError();
        return false;
    }
    return true;
}

std::optional<HtmlImportProject> LoadHtmlImportProject(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxProjectBytes)
        return std::nullopt;
    const IniFile ini(path);
    if (!ini.fileExisted() || !ini.sectionExists(kSection))
        return std::nullopt;
    HtmlImportProject p;
    p.htmlFile = ini.readString(kSection, QStringLiteral("HTMLFile"));
    p.embedPictures = ini.readInteger(kSection, QStringLiteral("Bilder"), 1) != 0;
    p.textFile = ini.readString(kSection, QStringLiteral("TextFile"));
    p.subject = ini.readString(kSection, QStringLiteral("Betreff"), DefaultImportSubject());

    static const QRegularExpression item(QStringLiteral("^ITEM(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    struct Numbered
    {
        qulonglong number;
        QString value;
    };
    QList<Numbered> items;
    QStringList seen;
    for (const QString &key : ini.keys(kSection)) {
        const QRegularExpressionMatch m = item.match(key);
        if (!m.hasMatch() || seen.contains(key, Qt::CaseInsensitive))
            continue;
        seen.append(key);
        bool ok = false;
        const qulonglong number = m.captured(1).toULongLong(&ok);
        const QString value = ini.readString(kSection, key);
        if (ok && !value.isEmpty())
            items.append({number, value});
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const Numbered &a, const Numbered &b) { return a.number < b.number; });
    for (const Numbered &n : items)
        p.attachments.append(n.value);
    return p;
}

QStringList MissingFiles(const QStringList &paths)
{
    QStringList missing;
    for (const QString &p : paths)
        if (!IsFile(p))
            missing.append(p);
    return missing;
}

std::optional<ImportedMail> ComposeImportedMail(const HtmlImportProject &project, QString *error)
{
    std::optional<ImportedMail> made;
    if (project.embedPictures) {
        std::optional<HtmlPage> page = LoadHtmlPage(project.htmlFile, error);
        if (!page)
            return std::nullopt;
        made.emplace(
            ImportedMail{MailMessage::fromHtml(page->html, page->parts), page->outside, page->missing, page->tooLarge});
        // Without a text file the mail has no plain-text part: an empty one would
        // show readers who prefer plain text an empty mail.
        if (!project.textFile.isEmpty() && IsFile(project.textFile)) {
            bool ok = false;
            const QString text = ReadTextFile(project.textFile, &ok);
            if (!ok) {
                if (error)
                    *error = CannotOpenFileText(project.textFile);
                return std::nullopt;
            }
            made->mail.setTextBody(text);
        }
    } else {
        const std::optional<QString> html = ReadHtmlFile(project.htmlFile, error);
        if (!html)
            return std::nullopt;
        made.emplace();
        made->mail.setHtmlBody(*html);
        made->mail.setTextBody(StripHTMLTags(*html));
    }
    made->mail.setSubject(project.subject);
    for (const QString &attachment : project.attachments) {
        if (!IsFile(attachment))
            continue;
        if (made->mail.addFileAttachment(attachment, error).isEmpty())
            return std::nullopt;
    }
    return made;
}

QString ImportedMailPath()
{
    const QString folder = MailWorkFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("out.eml");
}

} // namespace vt
