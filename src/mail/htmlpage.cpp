#include "htmlpage.h"

#include "paths.h"
#include "text.h"
#include "textfile.h"
#include "textmail.h"
#include "win1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

#include <iconv.h>

#include <algorithm>

namespace vt {

namespace {

// Where a browser looks for the declared character set, and a little more.
constexpr qsizetype kCharsetScan = 4096;

QString declaredCharset(const QByteArray &bytes)
{
    static const QRegularExpression meta(QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_:.\-]+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = meta.match(QString::fromLatin1(bytes.left(kCharsetScan)));
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

std::optional<QString> decodeWithIconv(const QByteArray &bytes, const QString &charset)
{
    iconv_t cd = iconv_open("UTF-8", charset.toLatin1().constData());
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray out(bytes.size() * 4 + 16, Qt::Uninitialized);
    char *src = const_cast<char *>(bytes.constData());
    size_t srcLeft = size_t(bytes.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    const size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const size_t flushed = done == size_t(-1) ? done : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    iconv_close(cd);
    if (flushed == size_t(-1))
        return std::nullopt;
    out.truncate(out.size() - qsizetype(dstLeft));
    return QString::fromUtf8(out);
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

struct Attribute
{
    QString name;                   // lower case
    qsizetype start = -1, end = -1; // the value, without its quotes
    QString value(const QString &html) const { return start < 0 ? QString() : html.mid(start, end - start); }
};

struct Tag
{
    QString name;      // lower case
    qsizetype end = 0; // just after ">"
    QList<Attribute> attributes;
    const Attribute *find(const QString &name) const
    {
        for (const Attribute &a : attributes)
            if (a.name == name)
                return &a;
        return nullptr;
    }
};

// The tag that starts with "<" at `at`; nothing when it is no start tag.
std::optional<Tag> readTag(const QString &html, qsizetype at)
{
    const qsizetype n = html.size();
    qsizetype j = at + 1;
    while (j < n && (html.at(j).isLetterOrNumber() && html.at(j).unicode() < 128))
        ++j;
    if (j == at + 1 || !html.at(at + 1).isLetter())
        return std::nullopt;
    Tag tag;
    tag.name = html.mid(at + 1, j - at - 1).toLower();
    tag.end = n;
    while (j < n) {
        while (j < n && (isBlank(html.at(j)) || html.at(j) == u'/'))
            ++j;
        if (j >= n)
            break;
        if (html.at(j) == u'>') {
            tag.end = j + 1;
            break;
        }
        const qsizetype nameStart = j;
        while (j < n && !isBlank(html.at(j)) && html.at(j) != u'>' && html.at(j) != u'=' && html.at(j) != u'/')
            ++j;
        if (j == nameStart) { // a stray "="
            ++j;
            continue;
        }
        Attribute a;
        a.name = html.mid(nameStart, j - nameStart).toLower();
        qsizetype k = j;
        while (k < n && isBlank(html.at(k)))
            ++k;
        if (k < n && html.at(k) == u'=') {
            ++k;
            while (k < n && isBlank(html.at(k)))
                ++k;
            if (k < n && (html.at(k) == u'"' || html.at(k) == u'\'')) {
                const QChar quote = html.at(k);
                a.start = k + 1;
                a.end = html.indexOf(quote, a.start);
                if (a.end < 0)
                    a.end = n;
                j = std::min(a.end + 1, n);
            } else {
                a.start = k;
                while (k < n && !isBlank(html.at(k)) && html.at(k) != u'>')
                    ++k;
                a.end = k;
                j = k;
            }
        }
        tag.attributes.append(a);
    }
    return tag;
}

// One change to a text: the characters from start on, length of them, replaced.
struct Edit
{
    qsizetype start = 0, length = 0;
    QString text;
};

QString applyEdits(const QString &text, QList<Edit> edits)
{
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.start < b.start; });
    QString out;
    qsizetype last = 0;
    for (const Edit &e : edits) {
        out += QStringView(text).mid(last, e.start - last);
        out += e.text;
        last = e.start + e.length;
    }
    out += QStringView(text).mid(last);
    return out;
}

// Finds, checks and takes in the files a page refers to.
class PageReader
{
public:
    explicit PageReader(const QString &folder) : m_root(folder) {}

    HtmlPage read(const QString &html)
    {
        QList<Edit> edits;
        const qsizetype n = html.size();
        qsizetype i = 0;
        while ((i = html.indexOf(u'<', i)) >= 0 && i + 1 < n) {
            if (QStringView(html).mid(i, 4) == QLatin1String("<!--")) {
                const qsizetype close = html.indexOf(QLatin1String("-->"), i + 4);
                i = close < 0 ? n : close + 3;
                continue;
            }
            const std::optional<Tag> tag = readTag(html, i);
            if (!tag) {
                ++i;
                continue;
            }
            if (tag->name == QLatin1String("script") || tag->name == QLatin1String("style")) {
                const qsizetype close = html.indexOf(QStringLiteral("</") + tag->name, tag->end, Qt::CaseInsensitive);
                const qsizetype contentEnd = close < 0 ? n : close;
                if (tag->name == QLatin1String("style"))
                    cssEdits(html.mid(tag->end, contentEnd - tag->end), tag->end, m_root, edits);
                i = contentEnd;
                continue;
            }
            tagEdits(html, i, *tag, edits);
            i = tag->end;
        }
        m_page.html = applyEdits(html, edits);
        return m_page;
    }

private:
    enum class Kind { Picture, StyleSheet };

    void tagEdits(const QString &html, qsizetype at, const Tag &tag, QList<Edit> &edits)
    {
        if (tag.name == QLatin1String("link")) {
            const Attribute *rel = tag.find(QStringLiteral("rel"));
            const Attribute *href = tag.find(QStringLiteral("href"));
            if (rel && href &&
                rel->value(html)
                    .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                    .contains(QLatin1String("stylesheet"), Qt::CaseInsensitive)) {
                const std::optional<QString> css = styleSheet(href->value(html));
                if (css) {
                    QString element = QStringLiteral("<style type=\"text/css\"");
                    if (const Attribute *media = tag.find(QStringLiteral("media")))
                        element += QStringLiteral(" media=\"") +
                                   media->value(html).replace(QLatin1Char('"'), QLatin1String("&quot;")) +
                                   QLatin1Char('"');
                    edits.append(
                        {at, tag.end - at, element + QStringLiteral(">\n") + *css + QStringLiteral("\n</style>")});
                }
            }
            return;
        }
        for (const Attribute &a : tag.attributes) {
            if (a.start < 0)
                continue;
            const bool picture = a.name == QLatin1String("background") ||
                                 (a.name == QLatin1String("src") &&
                                  (tag.name == QLatin1String("img") || tag.name == QLatin1String("input") ||
                                   tag.name == QLatin1String("image")));
            if (picture) {
                const QString cid = pictureId(a.value(html), m_root);
                if (!cid.isEmpty())
                    edits.append({a.start, a.end - a.start, QStringLiteral("cid:") + cid});
            } else if (a.name == QLatin1String("style")) {
                cssEdits(a.value(html), a.start, m_root, edits);
            }
        }
    }

    // The url() references of style rules standing at `offset`, resolved from `folder`.
    void cssEdits(const QString &css, qsizetype offset, const QString &folder, QList<Edit> &edits)
    {
        static const QRegularExpression url(QStringLiteral(R"(url\(\s*(["']?)([^"')]+)\1\s*\))"),
                                            QRegularExpression::CaseInsensitiveOption);
        QRegularExpressionMatchIterator it = url.globalMatch(css);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const QString cid = pictureId(m.captured(2), folder);
            if (!cid.isEmpty())
                edits.append({offset + m.capturedStart(2), m.capturedLength(2), QStringLiteral("cid:") + cid});
        }
    }

    // The text of a local style sheet with its pictures taken in.
    std::optional<QString> styleSheet(const QString &reference)
    {
        const QString file = localFile(reference, m_root, Kind::StyleSheet);
        if (file.isEmpty())
            return std::nullopt;
        bool ok = false;
        const QString css = DecodeText(readAll(file, &ok));
        if (!ok)
            return std::nullopt;
        QList<Edit> edits;
        cssEdits(css, 0, QFileInfo(file).absolutePath(), edits);
        // Whatever the sheet holds, it cannot end the element it is written into.
        return applyEdits(css, edits).replace(QLatin1String("</"), QLatin1String("<\\/"));
    }

    // The Content-ID of the picture the reference names, taking it in on first use;
    // empty when it is not a local picture that may be embedded.
    QString pictureId(const QString &reference, const QString &folder)
    {
        const QString file = localFile(reference, folder, Kind::Picture);
        if (file.isEmpty())
            return {};
        const QString key = QFileInfo(file).canonicalFilePath();
        if (const auto known = m_ids.constFind(key); known != m_ids.constEnd())
            return *known;
        bool ok = false;
        const QByteArray data = readAll(file, &ok);
        if (!ok) {
            m_page.missing.append(reference);
            return {};
        }
        EmbeddedPart part;
        part.fileName = QFileInfo(file).fileName();
        part.mimeType = m_types.mimeTypeForFileNameAndData(file, data).name();
        part.contentId = NewMessageId(QString()).mid(1).chopped(1);
        part.data = data;
        m_page.parts.append(part);
        m_ids.insert(key, part.contentId);
        return part.contentId;
    }

    static QByteArray readAll(const QString &file, bool *ok)
    {
        QFile f(file);
        *ok = f.open(QIODevice::ReadOnly);
        return *ok ? f.readAll() : QByteArray();
    }

    // The file of a reference written in a file of `folder`, when it is a local
    // file of the kind inside the page's tree. References out of the tree, and
    // local ones to nothing, are noted.
    QString localFile(const QString &written, const QString &folder, Kind kind)
    {
        const PageReference r = ResolvePageReference(m_root, written, folder);
        switch (r.kind) {
        case PageReference::NotLocal: return {};
        case PageReference::Outside: m_page.outside.append(written); return {};
        case PageReference::Missing: m_page.missing.append(written); return {};
        case PageReference::File: break;
        }
        if (QFileInfo(r.path).size() > kMaxPageFileBytes) {
            m_page.tooLarge.append(written);
            return {};
        }
        if (kind == Kind::StyleSheet)
            return m_types.mimeTypeForFile(r.path, QMimeDatabase::MatchExtension).inherits(QStringLiteral("text/css"))
                       ? r.path
                       : QString();
        return m_types.mimeTypeForFile(r.path).name().startsWith(QLatin1String("image/")) ? r.path : QString();
    }

    const QString m_root;
    HtmlPage m_page;
    QHash<QString, QString> m_ids; // canonical path -> Content-ID
    QMimeDatabase m_types;
};

} // namespace

PageReference ResolvePageReference(const QString &pageFolder, const QString &written, const QString &from)
{
    const QString root = QFileInfo(pageFolder).canonicalFilePath();
    const auto inside = [&root](const QString &cleanPath) {
        return !root.isEmpty() && cleanPath.startsWith(root + QLatin1Char('/'));
    };
    QString reference = Trimmed(written);
    reference.replace(QLatin1String("&amp;"), QLatin1String("&"));
    if (reference.isEmpty() || reference.startsWith(QLatin1Char('#')) || reference.startsWith(QLatin1String("//")))
        return {};
    // A drive letter: written on Windows, somewhere outside the page's folder.
    if (reference.size() >= 2 && reference.at(1) == u':' && reference.at(0).isLetter() &&
        reference.at(0).unicode() < 128)
        return {PageReference::Outside, {}};
    const QString folder = from.isEmpty() ? root : QFileInfo(from).absoluteFilePath();
    QStringList candidates;
    const QUrl url(reference, QUrl::TolerantMode);
    if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0) {
        candidates.append(url.toLocalFile());
    } else if (!url.scheme().isEmpty()) {
        return {};
    } else {
        QString path = reference;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[?#]")));
        if (cut >= 0)
            path.truncate(cut);
        if (path.isEmpty())
            return {};
        const QString decoded = QUrl::fromPercentEncoding(path.toUtf8());
        for (const QString &p : decoded == path ? QStringList{path} : QStringList{decoded, path})
            candidates.append(p.startsWith(QLatin1Char('/')) ? p : folder + QLatin1Char('/') + p);
    }
    QString lexical;
    for (const QString &c : candidates) {
        const QString clean = QDir::cleanPath(c);
        if (lexical.isEmpty())
            lexical = clean;
        if (inside(clean) && QFileInfo::exists(clean)) {
            lexical = clean;
            break;
        }
    }
    if (!inside(lexical))
        return {PageReference::Outside, {}};
    // Pages made on Windows do not care about case: each element below the page's
    // folder is looked up without regard to it when the path is not there as written.
    QString found = lexical;
    if (!QFileInfo::exists(found)) {
        found = root;
        for (const QString &element : lexical.mid(root.size() + 1).split(QLatin1Char('/')))
            found = ResolveExisting(WithTrailingSlash(found), element);
    }
    if (!QFileInfo::exists(found))
        return {PageReference::Missing, {}};
    // A link inside the tree may point anywhere.
    const QString real = QFileInfo(found).canonicalFilePath();
    if (!inside(real))
        return {PageReference::Outside, {}};
    if (!IsFile(real))
        return {PageReference::Missing, {}};
    return {PageReference::File, found};
}

QString DecodeHtml(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return DecodeText(bytes);
    const QString charset = declaredCharset(bytes);
    static const QStringList utf8{QStringLiteral("utf-8"), QStringLiteral("utf8"), QStringLiteral("unicode-1-1-utf-8")};
    // Browsers read every one of these as Windows-1252.
    static const QStringList western{QStringLiteral("windows-1252"), QStringLiteral("cp1252"),
                                     QStringLiteral("x-cp1252"),     QStringLiteral("iso-8859-1"),
                                     QStringLiteral("iso8859-1"),    QStringLiteral("iso_8859-1"),
                                     QStringLiteral("latin1"),       QStringLiteral("l1"),
                                     QStringLiteral("us-ascii"),     QStringLiteral("ascii")};
    // A page that claims UTF-8 but is not (a copied template's tag) is read by the rules below.
    if (utf8.contains(charset))
        return DecodeText(bytes);
    if (western.contains(charset))
        return DecodeWin1252(bytes);
    // A page that declares a set of two-byte units cannot have declared it in ASCII.
    if (!charset.isEmpty() && !charset.startsWith(QLatin1String("utf-16"))) {
        if (const std::optional<QString> text = decodeWithIconv(bytes, charset))
            return *text;
    }
    return DecodeText(bytes);
}

QString StripHTMLTags(const QString &html)
{
    QString out;
    out.reserve(html.size());
    bool inTag = false;
    const qsizetype n = html.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = html.at(i);
        if (c == u'\r' || c == u'\n')
            continue;
        if (inTag) {
            if (c == u'>')
                inTag = false;
            continue;
        }
        if (c == u'<') {
            inTag = true;
            continue;
        }
        if ((c == u' ' || c == u'\t') && i + 1 < n) {
            const QChar next = html.at(i + 1);
            if (next == u'\t' || next == u'\n' || next == u'\r' || next == u' ' || next == u'<')
                continue;
        }
        out += c;
    }
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&apos;"), QLatin1String("'"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

std::optional<QString> ReadHtmlFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!IsFile(path) || !f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = CannotOpenFileText(path);
        return std::nullopt;
    }
    if (f.size() > kMaxPageFileBytes) {
        if (error)
            *error = QStringLiteral("Die Datei ") + path + QStringLiteral(" ist mit mehr als ") +
                     QString::number(kMaxPageFileBytes / (1024 * 1024)) +
                     QStringLiteral(" MB zu groß für eine HTML-Seite!");
        return std::nullopt;
    }
    return DecodeHtml(f.readAll());
}

std::optional<HtmlPage> LoadHtmlPage(const QString &path, QString *error)
{
    const std::optional<QString> html = ReadHtmlFile(path, error);
    if (!html)
        return std::nullopt;
    return PageReader(QFileInfo(path).canonicalPath()).read(*html);
}

} // namespace vt
