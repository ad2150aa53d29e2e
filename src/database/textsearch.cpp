#include "textsearch.h"
#include "sqlitefunctions.h"
#include "text.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace vt {

namespace {

const char *const kPointerType = "vt_search";
// SQLite takes a limited number of arguments per call; longer rows of fields
// are spread over several calls joined by OR.
constexpr int kColumnsPerCall = 100;

// The edit distance of a and b, kept in one row of b's length + 1. With a limit
// it stops as soon as the distance must exceed it and returns limit + 1 (the
// smallest value of a row never falls in the rows below it).
template <class C> int editDistance(const C *a, int la, const C *b, int lb, int limit)
{
    thread_local std::vector<int> row;
    row.resize(size_t(lb) + 1);
    for (int j = 0; j <= lb; ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= la; ++i) {
        int diagonal = row[0];
        row[0] = i;
        int smallest = i;
        for (int j = 1; j <= lb; ++j) {
            const int above = row[size_t(j)];
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = above;
            smallest = std::min(smallest, row[size_t(j)]);
        }
        if (limit >= 0 && smallest > limit)
            return limit + 1;
    }
    return row[size_t(lb)];
}

// UTF-8 text as folded code points, in a buffer reused by the thread.
std::u32string_view foldedCodePoints(const char *text, int length)
{
    thread_local std::u32string buffer;
    buffer.clear();
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    for (int i = 0; i < length;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            buffer.push_back(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
        } else {
            buffer.push_back(FoldCodePoint(NextCodePoint(s, length, i)));
        }
    }
    return buffer;
}

// Whether the folded ASCII needle occurs in ASCII text, folding the text on the way.
bool containsFoldedAscii(const char *text, int length, const std::string &needle)
{
    const int n = int(needle.size());
    const auto lower = [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    for (int i = 0; i + n <= length; ++i) {
        int j = 0;
        while (j < n && lower(static_cast<unsigned char>(text[i + j])) == needle[size_t(j)])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

bool isAscii(const char *text, int length)
{
    for (int i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

std::u32string folded(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::u32string(foldedCodePoints(bytes.constData(), int(bytes.size())));
}

void searchFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    const auto *search = static_cast<const SqlTextSearch *>(sqlite3_value_pointer(argv[0], kPointerType));
    if (!search || argc < 2) {
        sqlite3_result_error(ctx, "vt_search: no search bound", -1);
        return;
    }
    const int first = sqlite3_value_int(argv[1]);
    for (int k = 2; k < argc; ++k)
        if (search->matchesStored(first + k - 2, argv[k])) {
            sqlite3_result_int(ctx, 1);
            return;
        }
    sqlite3_result_int(ctx, 0);
}

} // namespace

int LevenshteinPercent(const QString &term, const QString &word)
{
    if (term.isEmpty() && word.isEmpty())
        return 0;
    if (term.isEmpty() || word.isEmpty())
        return 100;
    const QList<uint> a = term.toUcs4(), b = word.toUcs4();
    return editDistance(a.constData(), int(a.size()), b.constData(), int(b.size()), -1) * 100 / int(b.size());
}

// ---------------------------------------------------------------------------

TextSearch::TextSearch(Kind kind, const QString &term) : m_kind(kind)
{
    switch (kind) {
    case Kind::MatchCase: m_bytes = Trimmed(term).toUtf8(); break;
    case Kind::IgnoreCase:
        m_folded = folded(Trimmed(term));
        // Most terms and most data are plain ASCII: those are compared byte by byte.
        if (std::all_of(m_folded.begin(), m_folded.end(), [](char32_t c) { return c < 0x80; }))
            m_ascii = std::string(m_folded.begin(), m_folded.end());
        break;
    case Kind::Fuzzy: m_folded = folded(term); break;
    }
}

bool TextSearch::findsNothing() const
{
    switch (m_kind) {
    case Kind::MatchCase: return m_bytes.isEmpty();
    case Kind::IgnoreCase: return m_folded.empty();
    case Kind::Fuzzy: return false;
    }
    return true;
}

bool TextSearch::matches(const QString &fieldText) const
{
    const QByteArray bytes = fieldText.toUtf8();
    return matchesUtf8(bytes.constData(), int(bytes.size()));
}

bool TextSearch::matchesUtf8(const char *text, int length) const
{
    if (findsNothing())
        return false;
    switch (m_kind) {
    case Kind::MatchCase:
        // UTF-8 never matches in the middle of a character, so the bytes can be compared as they are.
        return std::string_view(text, size_t(length)).find(std::string_view(m_bytes.constData(), m_bytes.size())) !=
               std::string_view::npos;
    case Kind::IgnoreCase:
        // Only ASCII folds to ASCII but for a few signs (the Kelvin sign, the dotted capital I).
        if (!m_ascii.empty() && isAscii(text, length))
            return containsFoldedAscii(text, length, m_ascii);
        return foldedCodePoints(text, length).find(m_folded) != std::u32string_view::npos;
    case Kind::Fuzzy: {
        const std::u32string_view t = foldedCodePoints(text, length);
        return fuzzyMatch(t.data(), int(t.size()));
    }
    }
    return false;
}

bool TextSearch::fuzzyMatch(const char32_t *text, int length) const
{
    const int lt = int(m_folded.size());
    for (int start = 0; start <= length;) {
        int end = start;
        while (end < length && text[end] != U' ')
            ++end;
        const int lw = end - start;
        if (lt == 0 && lw == 0)
            return true;
        if (lt > 0 && lw > 0) {
            // distance * 100 / lw < kFuzzyLimit holds exactly for distance <= limit; a
            // difference in length alone costs that many edits.
            const int limit = (lw * kFuzzyLimit - 1) / 100;
            if (std::abs(lw - lt) <= limit && editDistance(m_folded.data(), lt, text + start, lw, limit) <= limit)
                return true;
        }
        start = end + 1;
    }
    return false;
}

// ---------------------------------------------------------------------------

SqlTextSearch::SqlTextSearch(const TextSearch &search, const QList<FieldDef> &fields, const QStringList &columns)
    : m_search(search), m_fields(fields), m_columns(columns), m_blank(search.matches(QString())),
      m_true(search.matches(QStringLiteral("True"))), m_false(search.matches(QStringLiteral("False")))
{
}

bool SqlTextSearch::mayMatch(const TextSearch &search, const FieldDef &field)
{
    return field.type != FieldType::Boolean || search.matches(QString()) || search.matches(QStringLiteral("True")) ||
           search.matches(QStringLiteral("False"));
}

QString SqlTextSearch::condition(int parameter) const
{
    if (m_search.findsNothing() || m_columns.isEmpty())
        return QStringLiteral("0");
    QStringList calls;
    for (int first = 0; first < m_columns.size(); first += kColumnsPerCall)
        calls.append(QStringLiteral("vt_search(?%1, %2, %3)")
                         .arg(parameter)
                         .arg(first)
                         .arg(m_columns.mid(first, kColumnsPerCall).join(QStringLiteral(", "))));
    return calls.join(QStringLiteral(" OR "));
}

void SqlTextSearch::bind(sqlite3_stmt *statement, int parameter) const
{
    sqlite3_bind_pointer(statement, parameter, const_cast<SqlTextSearch *>(this), kPointerType, nullptr);
}

bool SqlTextSearch::matchesStored(int i, sqlite3_value *value) const
{
    if (i < 0 || i >= m_fields.size())
        return false;
    const FieldDef &f = m_fields.at(i);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return m_blank;
    if (f.type == FieldType::Boolean)
        return sqlite3_value_int64(value) != 0 ? m_true : m_false;
    if ((f.type == FieldType::String || f.type == FieldType::Memo) && type == SQLITE_TEXT)
        return m_search.matchesUtf8(reinterpret_cast<const char *>(sqlite3_value_text(value)),
                                    sqlite3_value_bytes(value));
    if ((f.type == FieldType::Integer || f.type == FieldType::AutoInc) && type == SQLITE_INTEGER) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, sqlite3_value_int64(value)).ptr;
        return m_search.matchesUtf8(digits, int(end - digits));
    }
    return m_search.matches(StoredToText(f, StoredValueOf(value)));
}

bool RegisterTextSearch(sqlite3 *db)
{
    return sqlite3_create_function_v2(db, "vt_search", -1, SQLITE_UTF8, nullptr, &searchFunction, nullptr, nullptr,
                                      nullptr) == SQLITE_OK;
}

} // namespace vt
