#include "mailmessage.h"

#include "htmlpage.h"
#include "mailcharset.h"
#include "paths.h"
#include "textfile.h"
#include "textmail.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

// GLib names a member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <functional>
#include <mutex>
#include <utility>

namespace vt {

void EnsureMimeLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

namespace {

// Holds one GLib reference and drops it at the end of the scope.
template <typename T> struct GRef
{
    T *p = nullptr;
    explicit GRef(T *ptr = nullptr) : p(ptr) {}
    ~GRef()
    {
        if (p)
            g_object_unref(p);
    }
    GRef(const GRef &) = delete;
    GRef &operator=(const GRef &) = delete;
    T *get() const { return p; }
    T *release() { return std::exchange(p, nullptr); }
};

struct GFree
{
    void operator()(char *p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFree>;

QString fromUtf8(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

// One leaf of the MIME tree and where it stands.
struct Leaf
{
    GMimeObject *object = nullptr;
    GMimeMultipart *parent = nullptr;
    int index = 0;
    bool inRelated = false;
};

void collectLeaves(GMimeObject *object, GMimeMultipart *parent, int index, bool inRelated, QList<Leaf> &out)
{
    if (!object)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        auto *mp = GMIME_MULTIPART(object);
        GMimeContentType *ct = g_mime_object_get_content_type(object);
        const bool related = inRelated || g_mime_content_type_is_type(ct, "multipart", "related");
        const int n = g_mime_multipart_get_count(mp);
        for (int i = 0; i < n; ++i)
            collectLeaves(g_mime_multipart_get_part(mp, i), mp, i, related, out);
        return;
    }
    out.append({object, parent, index, inRelated});
}

bool isAttachment(GMimeObject *object)
{
    return GMIME_IS_PART(object) && g_mime_part_is_attachment(GMIME_PART(object));
}

bool isText(GMimeObject *object, const char *subtype)
{
    return GMIME_IS_TEXT_PART(object) && !isAttachment(object) &&
           g_mime_content_type_is_type(g_mime_object_get_content_type(object), "text", subtype);
}

// The <meta> declaration of an HTML text follows the set it is written in, so that
// readers that believe the tag decode it correctly.
QString withMetaCharset(const QString &html, const QString &charset)
{
    static const QRegularExpression meta(QStringLiteral(R"((<meta\b[^>]*?charset\s*=\s*["']?)([A-Za-z0-9_:.\-]+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    // Every match starts at a "<meta": the expression is tried there only, not
    // scanned over the whole text.
    const QLatin1StringView tag("<meta");
    QString out;
    qsizetype copied = 0;
    for (qsizetype at = html.indexOf(QLatin1Char('<')); at >= 0; at = html.indexOf(QLatin1Char('<'), at + 1)) {
        if (at < copied || !QStringView(html).mid(at, tag.size()).startsWith(tag, Qt::CaseInsensitive))
            continue;
        const QRegularExpressionMatch m =
            meta.match(html, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch())
            continue;
        out += QStringView(html).mid(copied, m.capturedStart(2) - copied);
        out += charset;
        copied = m.capturedEnd(2);
    }
    if (copied == 0)
        return html;
    out += QStringView(html).mid(copied);
    return out;
}

// Sets a field to a value that is ready to be written (ASCII, folded with CR LF).
// The first field of the name keeps its place; further ones go.
void setRawHeader(GMimeObject *object, const char *name, const QByteArray &value)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    int firstIndex = -1;
    for (int i = g_mime_header_list_get_count(headers) - 1; i >= 0; --i) {
        if (qstricmp(g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i)), name) != 0)
            continue;
        if (firstIndex >= 0)
            g_mime_header_list_remove_at(headers, firstIndex);
        firstIndex = i;
    }
    GMimeHeader *first = firstIndex >= 0 ? g_mime_header_list_get_header_at(headers, firstIndex) : nullptr;
    if (!first) {
        g_mime_header_list_append(headers, name, "", nullptr);
        first = g_mime_header_list_get_header(headers, name);
    }
    QByteArray raw = ' ' + value + '\n';
    raw.replace("\r\n", "\n");
    g_mime_header_set_raw_value(first, raw.constData());
}

// Field names are printable ASCII without a colon (RFC 5322 2.2); a message with
// another, or with no field at all, was no mail file.
bool readableHeaders(GMimeObject *object)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    const int count = g_mime_header_list_get_count(headers);
    if (count == 0)
        return false;
    for (int i = 0; i < count; ++i) {
        const char *name = g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i));
        if (!name || !*name)
            return false;
        for (const char *c = name; *c; ++c)
            if (uchar(*c) < 33 || uchar(*c) > 126 || *c == ':')
                return false;
    }
    return true;
}

void removeAll(GMimeObject *object, const char *name)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    while (g_mime_header_list_remove(headers, name)) {
    }
}

QByteArray headerName(const QString &name)
{
    // A field name is printable ASCII without blanks or colons.
    QByteArray out;
    for (const QChar c : name)
        if (c.unicode() > 32 && c.unicode() < 127 && c != u':')
            out += char(c.unicode());
    return out;
}

void setPartContent(GMimePart *part, const QByteArray &bytes, GMimeContentEncoding encoding)
{
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());
    g_mime_part_set_content_encoding(part, encoding);
}

// Writes the text into the part in the set: a plain text that the set cannot hold
// goes in UTF-8; an HTML text keeps the set and carries such characters as
// character references.
void setPartText(GMimeObject *object, const QString &text, bool html, const QString &charset)
{
    // Line ends as LF; the writer turns them into CR LF.
    QString t = LfLineEnds(text);
    QString cs = charset;
    if (html)
        t = withMetaCharset(WithCharacterReferences(charset, t), charset);
    else
        cs = CharsetFor(charset, t);
    const QByteArray bytes = EncodeInCharset(cs, t);
    setPartContent(GMIME_PART(object), bytes,
                   Is7BitSafe(bytes) ? GMIME_CONTENT_ENCODING_7BIT : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    g_mime_object_set_content_type_parameter(object, "charset", cs.toLatin1().constData());
}

// The decoded text of a part, with LF line ends as every text inside the program.
QString partText(GMimeObject *object)
{
    GString text(g_mime_text_part_get_text(GMIME_TEXT_PART(object)));
    return LfLineEnds(fromUtf8(text.get()));
}

QByteArray decodedContent(GMimeObject *object)
{
    GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
    if (!content)
        return {};
    GRef<GMimeStream> mem(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, mem.get());
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

// Every line end as CR LF. The writer leaves the line before a multipart's first
// boundary (its preface) with a bare LF.
QByteArray withCrLf(QByteArrayView bytes)
{
    // Written through a pointer into room for the worst case (every byte a bare LF).
    QByteArray out(2 * bytes.size(), Qt::Uninitialized);
    char *o = out.data();
    char previous = 0;
    for (const char c : bytes) {
        if (c == '\n' && previous != '\r')
            *o++ = '\r';
        *o++ = c;
        previous = c;
    }
    out.truncate(o - out.constData());
    return out;
}

QByteArray writtenBytes(GMimeObject *object)
{
    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    GRef<GMimeStream> mem(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, options, mem.get());
    g_mime_format_options_free(options);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

// Where the body of an entity starts: after the empty line that ends its header
// block; -1 when it has none.
qsizetype bodyStart(QByteArrayView entity)
{
    if (entity.startsWith("\r\n"))
        return 2;
    if (entity.startsWith("\n"))
        return 1;
    for (qsizetype at = entity.indexOf('\n'); at >= 0 && at + 1 < entity.size(); at = entity.indexOf('\n', at + 1)) {
        if (entity.at(at + 1) == '\n')
            return at + 2;
        if (entity.at(at + 1) == '\r' && at + 2 < entity.size() && entity.at(at + 2) == '\n')
            return at + 3;
    }
    return -1;
}

// The parts of a multipart's body as they stand in the file, each without the
// line break before the next delimiter (where the parser ends a part too). A body
// whose closing delimiter is missing ends with the entity, as the parser ends it:
// its last part runs to there, line breaks and all.
QList<QByteArrayView> rawParts(QByteArrayView body, const QByteArray &boundary, bool *closed = nullptr)
{
    if (closed)
        *closed = false;
    auto withoutLineBreak = [&](qsizetype from, qsizetype to) {
        if (to > from && body.at(to - 1) == '\n')
            --to;
        if (to > from && body.at(to - 1) == '\r')
            --to;
        return body.sliced(from, to - from);
    };
    const QByteArray dash = "--" + boundary;
    QList<QByteArrayView> parts;
    qsizetype partStart = -1;
    for (qsizetype line = 0; line < body.size();) {
        qsizetype end = body.indexOf('\n', line);
        const qsizetype next = end < 0 ? body.size() : end + 1;
        if (end < 0)
            end = body.size();
        QByteArrayView text = body.sliced(line, end - line);
        if (text.startsWith(dash)) {
            QByteArrayView rest = text.sliced(dash.size());
            const bool close = rest.startsWith("--");
            if (close)
                rest = rest.sliced(2);
            if (rest.trimmed().isEmpty()) {
                if (partStart >= 0)
                    parts.append(withoutLineBreak(partStart, line));
                if (close) {
                    if (closed)
                        *closed = true;
                    return parts;
                }
                partStart = next;
            }
        }
        line = next;
    }
    if (partStart >= 0)
        parts.append(body.sliced(qMin(partStart, body.size())));
    return parts;
}

// The line breaks (LF or CR LF) at the end of the bytes.
int trailingLineBreaks(QByteArrayView bytes)
{
    int n = 0;
    for (qsizetype end = bytes.size(); end > 0 && bytes.at(end - 1) == '\n'; ++n) {
        --end;
        if (end > 0 && bytes.at(end - 1) == '\r')
            --end;
    }
    return n;
}

bool isFieldLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    for (const char c : line.first(colon))
        if (uchar(c) < 33 || uchar(c) > 126)
            return false;
    return true;
}

// A leaf part holding a file's bytes, base64-encoded.
GMimePart *newFilePart(const QByteArray &data, const QString &mimeType, const char *disposition,
                       const QString &fileName)
{
    const QStringList type = mimeType.split(QLatin1Char('/'));
    GMimePart *part =
        g_mime_part_new_with_type(type.value(0).toLatin1().constData(), type.value(1).toLatin1().constData());
    setPartContent(part, data, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_object_set_disposition(GMIME_OBJECT(part), disposition);
    g_mime_part_set_filename(part, fileName.toUtf8().constData());
    return part;
}

// A name that stays inside its folder: the last path element, safe characters only.
QString safeFileName(const QString &name)
{
    QString base = name;
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    base = base.mid(base.lastIndexOf(QLatin1Char('/')) + 1);
    QString out;
    for (const QChar c : base)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'.' || c == u'-' || c == u'_' ? c : QChar(u'_');
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    return out;
}

} // namespace

struct MailMessage::Impl
{
    GMimeMessage *message = nullptr;
    // Values set through the composer, applied when the message is written.
    std::optional<QString> subject, html, text, fromName, fromAddress;
    std::optional<QDateTime> date;
    QList<QPair<QString, QString>> to;
    std::optional<QByteArray> toBase; // the "To" field the added recipients follow
    bool modified = false;
    QString loadedFromName, loadedFromAddress;
    // Parts of the loaded file that the parser does not give back as they stood
    // (a missing empty line, a stray header line, a delimiter ending in a bare LF,
    // a stray line among the fields of an attached message): they are written as
    // loaded, unless their text is set anew.
    struct RawLeaf
    {
        GMimeObject *leaf;    // the leaf of the tree (one reference held)
        GMimeObject *written; // what the writer makes of it: the leaf, or an attached message
        QByteArray raw;       // what stands in its place in the file
    };
    QList<RawLeaf> rawLeaves;
    // A multipart body whose closing delimiter is missing: the writer ends it with
    // a line break more than the file had; the line breaks the file ended with.
    int openEndBreaks = -1;

    ~Impl()
    {
        dropRawLeaves();
        if (message)
            g_object_unref(message);
    }
    void dropRawLeaves()
    {
        for (const RawLeaf &leaf : rawLeaves)
            g_object_unref(leaf.leaf);
        rawLeaves.clear();
    }
    void dropRawLeaf(GMimeObject *object)
    {
        for (qsizetype i = 0; i < rawLeaves.size(); ++i) {
            if (rawLeaves.at(i).leaf == object) {
                g_object_unref(object);
                rawLeaves.removeAt(i);
                return;
            }
        }
    }
    // Notes every leaf under object whose written form differs from its bytes in the file.
    void keepRawLeaves(GMimeObject *object, QByteArrayView entity)
    {
        if (GMIME_IS_MULTIPART(object)) {
            auto *mp = GMIME_MULTIPART(object);
            const qsizetype start = bodyStart(entity);
            const char *boundary = g_mime_multipart_get_boundary(mp);
            if (start < 0 || !boundary)
                return;
            const QList<QByteArrayView> parts = rawParts(entity.sliced(start), QByteArray(boundary));
            // Parts the parser counted otherwise cannot be matched to the file's.
            if (parts.size() != g_mime_multipart_get_count(mp))
                return;
            for (int i = 0; i < parts.size(); ++i)
                keepRawLeaves(g_mime_multipart_get_part(mp, i), parts.at(i));
            return;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            // The attached message as a whole: the composer never changes it, and
            // the parser drops what it cannot read in its fields.
            GMimeMessage *attached = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            const qsizetype start = bodyStart(entity);
            if (!attached || start < 0)
                return;
            const QByteArray raw = entity.sliced(start).toByteArray();
            if (withCrLf(writtenBytes(GMIME_OBJECT(attached))) == withCrLf(raw))
                return;
            g_object_ref(object);
            rawLeaves.append({object, GMIME_OBJECT(attached), raw});
            return;
        }
        if (!GMIME_IS_PART(object))
            return;
        const QByteArray raw = entity.toByteArray();
        if (withCrLf(writtenBytes(object)) == withCrLf(raw))
            return;
        g_object_ref(object);
        rawLeaves.append({object, object, raw});
    }
    GMimeObject *object() const { return GMIME_OBJECT(message); }
    GMimeObject *body() const { return g_mime_message_get_mime_part(message); }
    QList<Leaf> leaves() const
    {
        QList<Leaf> out;
        collectLeaves(body(), nullptr, 0, false, out);
        return out;
    }
    std::optional<Leaf> findText(const char *subtype) const
    {
        for (const Leaf &l : leaves())
            if (isText(l.object, subtype))
                return l;
        return std::nullopt;
    }
    void adopt(GMimeMessage *m)
    {
        if (message)
            g_object_unref(message);
        message = m;
        dropRawLeaves();
        openEndBreaks = -1;
        subject.reset();
        html.reset();
        text.reset();
        fromName.reset();
        fromAddress.reset();
        date.reset();
        to.clear();
        toBase.reset();
        modified = false;
        loadedFromName.clear();
        loadedFromAddress.clear();
        InternetAddressList *from = g_mime_message_get_from(message);
        if (from && internet_address_list_length(from) > 0) {
            InternetAddress *a = internet_address_list_get_address(from, 0);
            loadedFromName = fromUtf8(internet_address_get_name(a));
            if (INTERNET_ADDRESS_IS_MAILBOX(a))
                loadedFromAddress = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
        }
    }
    // Replaces the leaf by a new multipart/alternative holding first, then second.
    void wrapInAlternative(const Leaf &at, GMimeObject *first, GMimeObject *second)
    {
        GRef<GMimeMultipart> alt(g_mime_multipart_new_with_subtype("alternative"));
        g_mime_multipart_add(alt.get(), first);
        g_mime_multipart_add(alt.get(), second);
        replace(at, GMIME_OBJECT(alt.get()));
    }
    void replace(const Leaf &at, GMimeObject *with)
    {
        if (at.parent) {
            GMimeObject *old = g_mime_multipart_replace(at.parent, at.index, with);
            if (old)
                g_object_unref(old);
        } else {
            g_mime_message_set_mime_part(message, with);
        }
    }
    // Where a new text part goes when the message has only the other kind.
    void makeTextPart(const char *subtype)
    {
        GRef<GMimeTextPart> part(g_mime_text_part_new_with_subtype(subtype));
        GMimeObject *made = GMIME_OBJECT(part.get());
        const bool html = qstrcmp(subtype, "html") == 0;
        const std::optional<Leaf> other = findText(html ? "plain" : "html");
        GMimeObject *top = body();
        if (other) {
            Leaf at = *other;
            // An HTML part with its pictures stays together with them.
            if (!html && at.parent &&
                g_mime_content_type_is_type(g_mime_object_get_content_type(GMIME_OBJECT(at.parent)), "multipart",
                                            "related")) {
                at = enclosing(GMIME_OBJECT(at.parent));
            }
            if (at.parent && g_mime_content_type_is_type(g_mime_object_get_content_type(GMIME_OBJECT(at.parent)),
                                                         "multipart", "alternative")) {
                if (html)
                    g_mime_multipart_add(at.parent, made);
                else
                    g_mime_multipart_insert(at.parent, 0, made);
                return;
            }
            GMimeObject *existing = at.parent ? g_mime_multipart_get_part(at.parent, at.index) : top;
            g_object_ref(existing);
            html ? wrapInAlternative(at, existing, made) : wrapInAlternative(at, made, existing);
            g_object_unref(existing);
            return;
        }
        if (top && GMIME_IS_MULTIPART(top)) {
            g_mime_multipart_insert(GMIME_MULTIPART(top), 0, made);
            return;
        }
        if (top && !(GMIME_IS_TEXT_PART(top) && !isAttachment(top))) {
            // A lone attachment: the text goes first into a new multipart/mixed.
            GRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
            g_mime_multipart_add(mixed.get(), made);
            g_mime_multipart_add(mixed.get(), top);
            g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed.get()));
            return;
        }
        g_mime_message_set_mime_part(message, made);
    }
    // The position of a multipart in the tree.
    Leaf enclosing(GMimeObject *target) const
    {
        Leaf found{target, nullptr, 0, false};
        std::function<void(GMimeObject *)> walk = [&](GMimeObject *o) {
            if (!GMIME_IS_MULTIPART(o))
                return;
            auto *mp = GMIME_MULTIPART(o);
            for (int i = 0; i < g_mime_multipart_get_count(mp); ++i) {
                GMimeObject *child = g_mime_multipart_get_part(mp, i);
                if (child == target)
                    found = {target, mp, i, false};
                walk(child);
            }
        };
        walk(body());
        return found;
    }
};

MailMessage::MailMessage() : d(std::make_unique<Impl>())
{
    EnsureMimeLibrary();
    d->adopt(g_mime_message_new(TRUE));
}

MailMessage::~MailMessage() = default;
MailMessage::MailMessage(MailMessage &&other) noexcept = default;
MailMessage &MailMessage::operator=(MailMessage &&other) noexcept = default;

bool MailMessage::loadBytes(const QByteArray &bytes, QString *error)
{
    EnsureMimeLibrary();
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // A text editor's byte-order mark hides the first field: the message would go
    // out without its type or subject.
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return refuse(
            QStringLiteral("Die Datei beginnt mit einer Byte-Order-Markierung (BOM). Speichern Sie sie ohne BOM."));
    // A line among the message's fields that is neither a field nor folded would be
    // dropped by the parser: it is parsed as folded and written back as it stood.
    QByteArray parsed = bytes;
    QList<QByteArray> strayLines;
    for (qsizetype line = 0, shift = 0; line < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', line);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArrayView text = QByteArrayView(bytes).sliced(line, end - line);
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.isEmpty())
            break;
        if (line > 0 && text.front() != ' ' && text.front() != '\t' && !isFieldLine(text)) {
            parsed.insert(line + shift++, ' ');
            strayLines.append(text.toByteArray());
        }
        line = next;
    }
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(parsed.constData(), size_t(parsed.size())));
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GMimeMessage *m = g_mime_parser_construct_message(parser.get(), nullptr);
    if (!m)
        return refuse(QStringLiteral("Die Datei enthält keine E-Mail!"));
    GRef<GMimeMessage> held(m);
    if (!readableHeaders(GMIME_OBJECT(m)))
        return refuse(QStringLiteral("Die Kopfzeilen der Datei sind nicht lesbar: sie enthält keine E-Mail!"));
    if (!strayLines.isEmpty()) {
        for (GMimeObject *o : {GMIME_OBJECT(m), g_mime_message_get_mime_part(m)}) {
            GMimeHeaderList *headers = o ? g_mime_object_get_header_list(o) : nullptr;
            for (int i = 0; headers && i < g_mime_header_list_get_count(headers); ++i) {
                GMimeHeader *h = g_mime_header_list_get_header_at(headers, i);
                const char *value = g_mime_header_get_raw_value(h);
                QByteArray raw(value ? value : "");
                const QByteArray before = raw;
                for (const QByteArray &stray : strayLines)
                    raw.replace("\n " + stray, "\n" + stray);
                if (raw != before)
                    g_mime_header_set_raw_value(h, raw.constData());
            }
        }
    }
    d->adopt(held.release());
    GMimeObject *top = d->body();
    // The message's own fields were read above; a multipart body and an attached
    // message as the whole body are compared part by part.
    if (top && (GMIME_IS_MULTIPART(top) || GMIME_IS_MESSAGE_PART(top)))
        d->keepRawLeaves(top, bytes);
    if (top && GMIME_IS_MULTIPART(top)) {
        const qsizetype start = bodyStart(bytes);
        const char *boundary = g_mime_multipart_get_boundary(GMIME_MULTIPART(top));
        bool closed = true;
        if (start >= 0 && boundary)
            rawParts(QByteArrayView(bytes).sliced(start), QByteArray(boundary), &closed);
        if (!closed)
            d->openEndBreaks = trailingLineBreaks(bytes);
    }
    return true;
}

bool MailMessage::loadFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = CannotOpenFileText(path);
        return false;
    }
    return loadBytes(f.readAll(), error);
}

void MailMessage::flush() const
{
    if (!d->modified)
        return;
    GMimeObject *msg = d->object();
    if (d->html) {
        if (!d->findText("html"))
            d->makeTextPart("html");
        d->dropRawLeaf(d->findText("html")->object);
        setPartText(d->findText("html")->object, *d->html, true, m_charset);
    }
    if (d->text) {
        if (!d->findText("plain"))
            d->makeTextPart("plain");
        d->dropRawLeaf(d->findText("plain")->object);
        setPartText(d->findText("plain")->object, *d->text, false, m_charset);
    }
    if (!d->body())
        d->makeTextPart("plain");
    if (d->subject)
        setRawHeader(msg, "Subject", EncodeHeaderText(*d->subject, m_charset));
    if (d->fromName || d->fromAddress)
        setRawHeader(msg, "From",
                     EncodeMailbox(d->fromName.value_or(d->loadedFromName),
                                   d->fromAddress.value_or(d->loadedFromAddress), m_charset));
    if (!d->to.isEmpty()) {
        QList<QByteArray> boxes;
        if (d->toBase && !d->toBase->isEmpty())
            boxes.append(*d->toBase);
        for (const auto &[name, address] : d->to)
            boxes.append(EncodeMailbox(name, address, m_charset));
        setRawHeader(msg, "To", boxes.join(",\r\n "));
    }
    if (d->date)
        setRawHeader(msg, "Date", MailDate(*d->date));
    // Every composed message is a message of its own, and none is a draft.
    setRawHeader(msg, "Message-ID", NewMessageId(fromAddress()).toLatin1());
    removeAll(msg, "X-Unsent");
    d->modified = false;
}

QByteArray MailMessage::toBytes() const
{
    flush();
    QByteArray out = writtenBytes(d->object());
    if (!d->rawLeaves.isEmpty()) {
        // Each part kept as loaded replaces what the parser made of it, in order.
        qsizetype from = 0;
        for (const Leaf &l : d->leaves()) {
            for (const Impl::RawLeaf &kept : d->rawLeaves) {
                if (kept.leaf != l.object)
                    continue;
                const QByteArray written = writtenBytes(kept.written);
                const qsizetype at = out.indexOf(written, from);
                if (at >= 0) {
                    out.replace(at, written.size(), kept.raw);
                    from = at + kept.raw.size();
                }
                break;
            }
        }
    }
    out = withCrLf(out);
    for (int surplus = trailingLineBreaks(out) - d->openEndBreaks; d->openEndBreaks >= 0 && surplus > 0; --surplus)
        out.chop(2);
    return out;
}

bool MailMessage::saveFile(const QString &path, QString *error) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toBytes()) < 0 || !f.commit()) {
        if (error)
            *error = CannotWriteFileText(path);
        return false;
    }
    return true;
}

QString MailMessage::htmlBody() const
{
    if (d->html)
        return *d->html;
    const std::optional<Leaf> l = d->findText("html");
    return l ? partText(l->object) : QString();
}

QString MailMessage::textBody() const
{
    if (d->text)
        return *d->text;
    const std::optional<Leaf> l = d->findText("plain");
    return l ? partText(l->object) : QString();
}

bool MailMessage::hasHtmlBody() const
{
    return d->html.has_value() || d->findText("html").has_value();
}

int MailMessage::attachmentCount() const
{
    flush();
    int n = 0;
    for (const Leaf &l : d->leaves()) {
        if (isAttachment(l.object))
            ++n;
        else if (!l.inRelated && !isText(l.object, "plain") && !isText(l.object, "html"))
            ++n;
    }
    return n;
}

QString MailMessage::subject() const
{
    if (d->subject)
        return *d->subject;
    return fromUtf8(g_mime_message_get_subject(d->message));
}

void MailMessage::setSubject(const QString &subject)
{
    d->subject = subject;
    d->modified = true;
}

void MailMessage::setHtmlBody(const QString &html)
{
    d->html = html;
    d->modified = true;
}

void MailMessage::setTextBody(const QString &text)
{
    d->text = text;
    d->modified = true;
}

void MailMessage::setCharset(const QString &charset)
{
    m_charset = charset.toLower();
    d->modified = true;
}

QString MailMessage::addFileAttachment(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = CannotOpenFileText(path);
        return {};
    }
    flush();
    const QByteArray data = f.readAll();
    const QString fileName = QFileInfo(path).fileName();
    GRef<GMimePart> part(
        newFilePart(data, QMimeDatabase().mimeTypeForFileNameAndData(path, data).name(), "attachment", fileName));

    GMimeObject *top = d->body();
    if (top && GMIME_IS_MULTIPART(top) &&
        g_mime_content_type_is_type(g_mime_object_get_content_type(top), "multipart", "mixed")) {
        g_mime_multipart_add(GMIME_MULTIPART(top), GMIME_OBJECT(part.get()));
    } else {
        GRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        if (top)
            g_mime_multipart_add(mixed.get(), top);
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
        g_mime_message_set_mime_part(d->message, GMIME_OBJECT(mixed.get()));
    }
    d->modified = true;
    return fileName;
}

void MailMessage::addHeader(const QString &name, const QString &value)
{
    const QByteArray n = headerName(name);
    if (n.isEmpty())
        return;
    GMimeHeaderList *headers = g_mime_object_get_header_list(d->object());
    g_mime_header_list_append(headers, n.constData(), "", nullptr);
    // The field just added is the last of its name.
    GMimeHeader *last = nullptr;
    for (int i = 0; i < g_mime_header_list_get_count(headers); ++i) {
        GMimeHeader *h = g_mime_header_list_get_header_at(headers, i);
        if (qstricmp(g_mime_header_get_name(h), n.constData()) == 0)
            last = h;
    }
    QByteArray raw = ' ' + EncodeHeaderText(value, m_charset) + '\n';
    raw.replace("\r\n", "\n");
    g_mime_header_set_raw_value(last, raw.constData());
    d->modified = true;
}

void MailMessage::setHeader(const QString &name, const QString &value)
{
    const QByteArray n = headerName(name);
    if (n.isEmpty())
        return;
    setRawHeader(d->object(), n.constData(), EncodeHeaderText(value, m_charset));
    d->modified = true;
}

void MailMessage::removeHeader(const QString &name)
{
    const QByteArray n = headerName(name);
    if (n.isEmpty())
        return;
    removeAll(d->object(), n.constData());
    if (n.compare("To", Qt::CaseInsensitive) == 0) {
        d->to.clear();
        d->toBase = QByteArray();
    }
    d->modified = true;
}

QString MailMessage::header(const QString &name) const
{
    flush();
    const QByteArray n = headerName(name);
    GMimeHeader *h = g_mime_header_list_get_header(g_mime_object_get_header_list(d->object()), n.constData());
    return h ? fromUtf8(g_mime_header_get_value(h)) : QString();
}

void MailMessage::clearTo()
{
    removeHeader(QStringLiteral("To"));
}

void MailMessage::clearCc()
{
    removeHeader(QStringLiteral("Cc"));
}

void MailMessage::clearBcc()
{
    removeHeader(QStringLiteral("Bcc"));
}

void MailMessage::addTo(const QString &name, const QString &address)
{
    if (!d->toBase) {
        GMimeHeader *h = g_mime_header_list_get_header(g_mime_object_get_header_list(d->object()), "To");
        d->toBase = h ? QByteArray(g_mime_header_get_raw_value(h)).trimmed() : QByteArray();
    }
    d->to.append({name, address});
    d->modified = true;
}

void MailMessage::setFromName(const QString &name)
{
    d->fromName = name;
    d->modified = true;
}

void MailMessage::setFromAddress(const QString &address)
{
    d->fromAddress = address;
    d->modified = true;
}

QString MailMessage::fromName() const
{
    return d->fromName.value_or(d->loadedFromName);
}

QString MailMessage::fromAddress() const
{
    return d->fromAddress.value_or(d->loadedFromAddress);
}

void MailMessage::setDate(const QDateTime &when)
{
    d->date = when;
    d->modified = true;
}

void MailMessage::setMailer(const QString &identity)
{
    setHeader(QStringLiteral("X-Mailer"), identity);
}

bool MailMessage::unpackHtml(const QString &folder, const QString &htmlFileName, const QString &partsFolderName,
                             QString *error) const
{
    flush();
    const QString partsDir = PathJoin(folder, safeFileName(partsFolderName));
    if (!EnsureFolder(partsDir)) {
        if (error)
            *error = QStringLiteral("Der Ordner ") + partsDir + QStringLiteral(" kann nicht angelegt werden!");
        return false;
    }
    QString html = htmlBody();
    const std::optional<Leaf> htmlLeaf = d->findText("html");
    const std::optional<Leaf> textLeaf = d->findText("plain");
    QSet<QString> used;
    int number = 0;
    for (const Leaf &l : d->leaves()) {
        if ((htmlLeaf && l.object == htmlLeaf->object) || (textLeaf && l.object == textLeaf->object))
            continue;
        if (!GMIME_IS_PART(l.object))
            continue;
        const QString contentId = fromUtf8(g_mime_object_get_content_id(l.object));
        const QString location = fromUtf8(g_mime_object_get_header(l.object, "Content-Location"));
        if (!l.inRelated && contentId.isEmpty() && location.isEmpty())
            continue;
        ++number;
        QString name = safeFileName(fromUtf8(g_mime_part_get_filename(GMIME_PART(l.object))));
        if (name.isEmpty())
            name = safeFileName(location);
        if (name.isEmpty()) {
            GString type(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(l.object)));
            const QString suffix = QMimeDatabase().mimeTypeForName(fromUtf8(type.get())).preferredSuffix();
            name = QStringLiteral("part%1").arg(number) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        }
        const QString stem = QFileInfo(name).completeBaseName();
        const QString ext = QFileInfo(name).suffix();
        for (int k = 2; used.contains(name.toLower()); ++k)
            name = stem + QStringLiteral("_%1").arg(k) + (ext.isEmpty() ? QString() : QLatin1Char('.') + ext);
        used.insert(name.toLower());

        QFile out(PathJoin(partsDir, name));
        if (!out.open(QIODevice::WriteOnly) || out.write(decodedContent(l.object)) < 0) {
            if (error)
                *error = CannotWriteFileText(out.fileName());
            return false;
        }
        const QString target = safeFileName(partsFolderName) + QLatin1Char('/') + name;
        if (!contentId.isEmpty())
            html.replace(QStringLiteral("cid:") + contentId, target, Qt::CaseInsensitive);
        if (!location.isEmpty())
            html.replace(location, target);
    }
    WriteOptions utf8;
    utf8.encoding = TextEncoding::Utf8;
    QString reason;
    if (!WriteTextFile(PathJoin(folder, htmlFileName), withMetaCharset(html, QStringLiteral("utf-8")), utf8, &reason)) {
        if (error)
            *error = CannotWriteFileText(PathJoin(folder, htmlFileName));
        return false;
    }
    return true;
}

MailMessage MailMessage::fromHtml(const QString &html, const QList<EmbeddedPart> &parts)
{
    MailMessage m;
    m.setHtmlBody(html);
    m.flush();
    if (!parts.isEmpty()) {
        GMimeObject *htmlPart = m.d->body();
        g_object_ref(htmlPart);
        GRef<GMimeMultipart> related(g_mime_multipart_new_with_subtype("related"));
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(related.get()), "type", "text/html");
        g_mime_multipart_add(related.get(), htmlPart);
        g_object_unref(htmlPart);
        for (const EmbeddedPart &p : parts) {
            GRef<GMimePart> part(newFilePart(p.data, p.mimeType, "inline", p.fileName));
            g_mime_object_set_content_id(GMIME_OBJECT(part.get()), p.contentId.toLatin1().constData());
            g_mime_multipart_add(related.get(), GMIME_OBJECT(part.get()));
        }
        g_mime_message_set_mime_part(m.d->message, GMIME_OBJECT(related.get()));
    }
    m.d->modified = true;
    return m;
}

std::optional<MailMessage> MailMessage::fromHtmlFile(const QString &path, QString *error)
{
    const std::optional<HtmlPage> page = LoadHtmlPage(path, error);
    if (!page)
        return std::nullopt;
    return fromHtml(page->html, page->parts);
}

} // namespace vt
