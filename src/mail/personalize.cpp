#include "personalize.h"

#include "clock.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"

#include <QFile>
#include <QUrl>

#include <sys/stat.h>

namespace vt {

namespace {

const QString kLeer = QStringLiteral("{LEER}");
const QString kSpalte = QStringLiteral("$SPALTE");
constexpr int kHighestColumn = kHighestColumnPlaceholder;

// Each fixed placeholder and the field it takes its value from ("$DATUM" has none).
const QList<QPair<QString, QString>> &fixedPlaceholders()
{
    static const QList<QPair<QString, QString>> list = {
        {QStringLiteral("$ANREDE"), QStringLiteral("Anrede")},
        {QStringLiteral("$NAME"), QStringLiteral("Name")},
        {QStringLiteral("$VORNAME"), QStringLiteral("Vorname")},
        {QStringLiteral("$ANSPRECHPARTNER"), QStringLiteral("Ansprechpartner")},
        {QStringLiteral("$LAND"), QStringLiteral("Land")},
        {QStringLiteral("$KATEGORIE"), QStringLiteral("Kategorie")},
        {QStringLiteral("$BETREFF"), QStringLiteral("Betreff")},
        {QStringLiteral("$STRASSE"), QStringLiteral("Str")},
        {QStringLiteral("$STR"), QStringLiteral("Str")},
        {QStringLiteral("$PLZ"), QStringLiteral("PLZ")},
        {QStringLiteral("$ORT"), QStringLiteral("Ort")},
        {QStringLiteral("$TEL"), QStringLiteral("Tel")},
        {QStringLiteral("$FAX"), QStringLiteral("Fax")},
        {QStringLiteral("$MAIL"), QStringLiteral("Mail")},
        {QStringLiteral("$DATUM"), QString()},
        {QStringLiteral("$FIRMA"), QStringLiteral("Firma")},
    };
    return list;
}

// The orders in which a text mail replaces them. The subject takes them in the
// order of the list above. "$STRASSE" always comes before "$STR", so it is never
// taken for "$STR" followed by "ASSE".
const QStringList kSubjectOrder = [] {
    QStringList order;
    for (const auto &entry : fixedPlaceholders())
        order.append(entry.first);
    return order;
}();
const QStringList kBodyOrder = {
    QStringLiteral("$ANREDE"),  QStringLiteral("$NAME"),    QStringLiteral("$KATEGORIE"),
    QStringLiteral("$BETREFF"), QStringLiteral("$STRASSE"), QStringLiteral("$STR"),
    QStringLiteral("$PLZ"),     QStringLiteral("$ORT"),     QStringLiteral("$TEL"),
    QStringLiteral("$FAX"),     QStringLiteral("$MAIL"),    QStringLiteral("$DATUM"),
    QStringLiteral("$FIRMA"),   QStringLiteral("$VORNAME"), QStringLiteral("$ANSPRECHPARTNER"),
    QStringLiteral("$LAND"),
};
// An HTML mail takes the body's order and replaces "$NAME" a second time after
// "$FIRMA", so a salutation such as "Sehr geehrter Herr $NAME" is filled in too.
const QStringList kHtmlOrder = [] {
    QStringList order = kBodyOrder;
    order.insert(order.indexOf(QStringLiteral("$FIRMA")) + 1, QStringLiteral("$NAME"));
    return order;
}();

inline char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

// Position of an upper-case ASCII needle in the text, compared with the ASCII
// letters of the text upper-cased. Converting the whole text with toUpper() would
// turn "ß" into "SS" and shift every position after it.
qsizetype indexOfAsciiNoCase(const QString &text, const QString &needle)
{
    const qsizetype n = needle.size();
    if (n == 0 || text.size() < n)
        return -1;
    const char16_t *t = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *p = reinterpret_cast<const char16_t *>(needle.constData());
    const qsizetype last = text.size() - n;
    for (qsizetype i = 0; i <= last; ++i) {
        if (asciiUpper(t[i]) != p[0])
            continue;
        qsizetype k = 1;
        while (k < n && asciiUpper(t[i + k]) == p[k])
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

// text.indexOf(placeholder, from), hopping from "$" to "$": a template holds few,
// and the search for one character is far quicker than the search for a word.
qsizetype indexOfPlaceholder(const QString &text, const QString &placeholder, qsizetype from)
{
    for (qsizetype at = QStringView(text).indexOf(placeholder.front(), from); at >= 0;
         at = QStringView(text).indexOf(placeholder.front(), at + 1))
        if (QStringView(text).mid(at, placeholder.size()) == placeholder)
            return at;
    return -1;
}

QString replaceColumns(QString text, const PlaceholderValues &v)
{
    if (!text.contains(kSpalte))
        return text;
    // Counting down replaces "$SPALTE12" before "$SPALTE1" could take its first characters.
    for (const auto &[n, value] : v.columns) {
        const QString placeholder = kSpalte + QString::number(n);
        if (indexOfPlaceholder(text, placeholder, 0) >= 0)
            text.replace(placeholder, value);
    }
    return text;
}

QString replaceFirstEach(QString text, const QStringList &order, const PlaceholderValues &v)
{
    // Nothing to do on a line without "$" (most body lines).
    if (!text.contains(QLatin1Char('$')))
        return text;
    for (const QString &ph : order)
        text = ReplacePlaceholderOnce(ph, v.fixed.value(ph), text);
    return replaceColumns(text, v);
}

// The field of the table with this name, matched without regard to case.
QString findField(const QStringList &fields, const QString &name)
{
    for (const QString &f : fields)
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return {};
}

bool isHtmlBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Where a placeholder stands in HTML, for the escaping its value needs there.
enum class HtmlContext { Text, Markup, QuotedValue, UnquotedValue, Link };

// Follows a template's HTML far enough to tell those places apart. Escaped values
// change none of its states, so a template is followed in one pass per placeholder.
class HtmlScanner
{
public:
    explicit HtmlScanner(const QString &html) : m_html(html) {}

    // The context at position to, reached from where the last call stopped.
    HtmlContext advanceTo(qsizetype to)
    {
        while (m_at < to)
            step(to);
        switch (m_state) {
        case State::Text:
        case State::Comment: return HtmlContext::Text;
        case State::BeforeValue:
        case State::Unquoted: return m_linkAttribute ? HtmlContext::Link : HtmlContext::UnquotedValue;
        case State::Quoted: return m_linkAttribute ? HtmlContext::Link : HtmlContext::QuotedValue;
        default: return HtmlContext::Markup;
        }
    }

private:
    enum class State { Text, Comment, Tag, Between, Name, AfterName, BeforeValue, Quoted, Unquoted };

    // Attributes whose value is an address.
    static bool isLinkAttribute(const QString &name)
    {
        static const QStringList names = {"href",       "src",      "action",     "background", "cite",
                                          "formaction", "poster",   "longdesc",   "usemap",     "data",
                                          "srcset",     "codebase", "xlink:href", "dynsrc",     "lowsrc"};
        return names.contains(name, Qt::CaseInsensitive);
    }

    // Moves to at, or to the limit when at is beyond it or not found (-1).
    void jumpTo(qsizetype at, qsizetype limit) { m_at = at < 0 || at > limit ? limit : at; }

    void step(qsizetype limit)
    {
        const QChar c = m_html.at(m_at);
        switch (m_state) {
        case State::Text: {
            const QChar next = m_at + 1 < m_html.size() ? m_html.at(m_at + 1) : QChar();
            if (c != u'<') {
                // Text runs to the next "<" and holds nothing else of interest.
                jumpTo(m_html.indexOf(QLatin1Char('<'), m_at), limit);
                return;
            }
            if (QStringView(m_html).mid(m_at, 4) == QLatin1String("<!--")) {
                m_state = State::Comment;
                m_at += 4;
                return;
            }
            if (next.isLetter() || next == u'/' || next == u'!' || next == u'?')
                m_state = State::Tag;
            break;
        }
        case State::Comment: {
            const qsizetype end = m_html.indexOf(QLatin1String("-->"), m_at);
            if (end < 0 || end >= limit) {
                m_at = limit;
                return;
            }
            m_at = end + 3;
            m_state = State::Text;
            return;
        }
        case State::Tag:
            if (c == u'>')
                m_state = State::Text;
            else if (isHtmlBlank(c) || c == u'/')
                m_state = State::Between;
            break;
        case State::Between:
            if (c == u'>')
                m_state = State::Text;
            else if (!isHtmlBlank(c) && c != u'/')
                startName(c);
            break;
        case State::Name:
            if (c == u'=')
                enterValue();
            else if (c == u'>')
                m_state = State::Text;
            else if (c == u'/')
                m_state = State::Between;
            else if (isHtmlBlank(c))
                m_state = State::AfterName;
            else
                m_name += c;
            break;
        case State::AfterName:
            if (c == u'=')
                enterValue();
            else if (c == u'>')
                m_state = State::Text;
            else if (!isHtmlBlank(c))
                startName(c);
            break;
        case State::BeforeValue:
            if (c == u'"' || c == u'\'') {
                m_quote = c;
                m_state = State::Quoted;
            } else if (c == u'>') {
                m_state = State::Text;
            } else if (!isHtmlBlank(c)) {
                m_state = State::Unquoted;
            }
            break;
        case State::Quoted: {
            const qsizetype end = m_html.indexOf(m_quote, m_at);
            if (end < 0 || end >= limit) {
                m_at = limit;
                return;
            }
            m_at = end + 1;
            m_state = State::Between;
            return;
        }
        case State::Unquoted:
            if (c == u'>')
                m_state = State::Text;
            else if (isHtmlBlank(c))
                m_state = State::Between;
            break;
        }
        ++m_at;
    }

    void startName(QChar c)
    {
        m_name = c;
        m_state = State::Name;
    }

    void enterValue()
    {
        m_linkAttribute = isLinkAttribute(m_name);
        m_state = State::BeforeValue;
    }

    const QString &m_html;
    qsizetype m_at = 0;
    State m_state = State::Text;
    QString m_name;
    QChar m_quote;
    bool m_linkAttribute = false;
};

QString escapedFor(HtmlContext context, const QString &value)
{
    if (context == HtmlContext::Link)
        return QString::fromLatin1(QUrl::toPercentEncoding(value));
    // Outside quotes a blank, "=" or "`" would end the value or start an attribute.
    const bool strict = context == HtmlContext::Markup || context == HtmlContext::UnquotedValue;
    QString out;
    out.reserve(value.size() + 16);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\'': out += QLatin1String("&#39;"); break;
        default:
            if (strict && (isHtmlBlank(c) || c == u'=' || c == u'`'))
                out += QStringLiteral("&#%1;").arg(c.unicode());
            else
                out += c;
        }
    }
    return out;
}

// Every occurrence of the placeholder, each value escaped for where it stands.
QString replaceInMarkup(const QString &html, const QString &placeholder, const QString &value)
{
    qsizetype at = indexOfPlaceholder(html, placeholder, 0);
    if (at < 0)
        return html;
    HtmlScanner scanner(html);
    QString out;
    out.reserve(html.size() + value.size() * 2);
    qsizetype copied = 0;
    while (at >= 0) {
        out.append(QStringView(html).mid(copied, at - copied));
        out += escapedFor(scanner.advanceTo(at), value);
        copied = at + placeholder.size();
        at = indexOfPlaceholder(html, placeholder, copied);
    }
    out.append(QStringView(html).mid(copied));
    return out;
}

} // namespace

MapRecipientValues::MapRecipientValues(const QList<QPair<QString, QString>> &fields)
{
    for (const auto &[name, value] : fields)
        set(name, value);
}

void MapRecipientValues::set(const QString &field, const QString &value)
{
    if (!m_values.contains(field))
        m_names.append(field);
    m_values.insert(field, value);
}

QString ReplacePlaceholderOnce(const QString &placeholder, const QString &value, const QString &text)
{
    const qsizetype at = indexOfAsciiNoCase(text, placeholder);
    if (at < 0)
        return text;
    QString out;
    out.reserve(text.size() - placeholder.size() + value.size());
    out.append(QStringView(text).left(at));
    out.append(value);
    out.append(QStringView(text).mid(at + placeholder.size()));
    return out;
}

SalutationTable SalutationTable::fromLines(const QStringList &lines)
{
    SalutationTable t;
    for (const QString &line : lines) {
        // By the word rule a line "|Liebe Kunden" has the single word "Liebe Kunden",
        // which becomes the key; the salutation is then empty.
        Entry e{Trimmed(ExtractDelimitedWord(1, line, QStringLiteral("|"))),
                Trimmed(ExtractDelimitedWord(2, line, QStringLiteral("|")))};
        t.m_entries.append(e);
    }
    return t;
}

SalutationTable SalutationTable::fromFile(const QString &path, bool *ok)
{
    bool read = false;
    const QStringList lines = ReadLines(path, &read);
    if (ok)
        *ok = read;
    return fromLines(lines);
}

QString SalutationTable::map(const QString &anrede) const
{
    QString result = anrede;
    const bool blank = Trimmed(anrede).isEmpty();
    for (const Entry &e : m_entries) {
        if (e.key.isEmpty())
            continue;
        // The last matching line wins.
        if (anrede.startsWith(e.key) || (blank && e.key == kLeer))
            result = e.salutation;
    }
    return result;
}

QString MapSalutation(const QString &tablePath, const QString &anrede, bool *ok)
{
    return SalutationTable::fromFile(tablePath, ok).map(anrede);
}

const SalutationTable *SalutationFile::table()
{
    struct stat st;
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0) {
        m_read = false;
        return nullptr;
    }
    const qint64 mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (m_read && mtimeNs == m_mtimeNs && qint64(st.st_size) == m_size && quint64(st.st_dev) == m_device &&
        quint64(st.st_ino) == m_inode)
        return &m_table;
    bool ok = false;
    m_table = SalutationTable::fromFile(m_path, &ok);
    m_read = ok;
    ++m_readings;
    m_mtimeNs = mtimeNs;
    m_size = st.st_size;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return ok ? &m_table : nullptr;
}

Personalizer::Personalizer(const QStringList &fieldNames, const QString &salutationTablePath)
    : m_tablePath(salutationTablePath), m_salutations(salutationTablePath)
{
    for (const QString &required : {QStringLiteral("Anrede"), QStringLiteral("Name"), QStringLiteral("Mail")})
        if (findField(fieldNames, required).isEmpty())
            m_missing.append(required);
    for (const auto &[ph, field] : fixedPlaceholders())
        if (!field.isEmpty() && ph != QLatin1String("$ANREDE"))
            m_fixedFields.append({ph, findField(fieldNames, field)});
    m_anredeField = findField(fieldNames, QStringLiteral("Anrede"));
    // A user column above 150 has no placeholder.
    for (int n = kHighestColumn; n >= 1; --n) {
        const QString field = findField(fieldNames, QStringLiteral("Spalte") + QString::number(n));
        if (!field.isEmpty())
            m_columnFields.append({n, field});
    }
}

QStringList Personalizer::missingRequiredFields() const
{
    return m_missing;
}

quint64 Personalizer::salutationReading() const
{
    return m_salutations.table() ? m_salutations.readings() : 0;
}

bool Personalizer::values(const RecipientValues &record, PlaceholderValues &out, QString *error) const
{
    auto fieldValue = [&record](const QString &field) {
        return field.isEmpty() ? QString() : Trimmed(record.value(field));
    };
    out.fixed.clear();
    out.columns.clear();
    const SalutationTable *salutations = m_salutations.table();
    if (salutations)
        out.fixed.insert(QStringLiteral("$ANREDE"), salutations->map(fieldValue(m_anredeField)));
    else {
        if (error)
            *error = CannotOpenFileText(m_tablePath);
        return false;
    }
    for (const auto &[ph, field] : m_fixedFields)
        out.fixed.insert(ph, fieldValue(field));
    out.fixed.insert(QStringLiteral("$DATUM"), Clock::today().toString(QStringLiteral("dd.MM.yyyy")));
    for (const auto &[n, field] : m_columnFields)
        out.columns.append({n, fieldValue(field)});
    return true;
}

QString Personalizer::personalizeSubject(const QString &subject, const PlaceholderValues &v)
{
    return replaceFirstEach(subject, kSubjectOrder, v);
}

QString Personalizer::personalizeBodyLine(const QString &line, const PlaceholderValues &v)
{
    return replaceFirstEach(line, kBodyOrder, v);
}

QString Personalizer::personalizeHtml(const QString &text, const PlaceholderValues &v)
{
    if (!text.contains(QLatin1Char('$')))
        return text;
    QString out = text;
    for (const QString &ph : kHtmlOrder)
        if (indexOfPlaceholder(out, ph, 0) >= 0)
            out.replace(ph, v.fixed.value(ph));
    return replaceColumns(out, v);
}

QString Personalizer::personalizeHtmlMarkup(const QString &html, const PlaceholderValues &v)
{
    if (!html.contains(QLatin1Char('$')))
        return html;
    QString out = html;
    for (const QString &ph : kHtmlOrder)
        out = replaceInMarkup(out, ph, v.fixed.value(ph));
    if (!out.contains(kSpalte))
        return out;
    for (const auto &[n, value] : v.columns)
        out = replaceInMarkup(out, kSpalte + QString::number(n), value);
    return out;
}

bool Personalizer::PersonalizeTextMail(const RecipientValues &record, QString &subject, QStringList &bodyLines,
                                       QString *error) const
{
    PlaceholderValues v;
    if (!values(record, v, error))
        return false;
    subject = personalizeSubject(subject, v);
    for (QString &line : bodyLines)
        line = personalizeBodyLine(line, v);
    return true;
}

} // namespace vt
