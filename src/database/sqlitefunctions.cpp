#include "sqlitefunctions.h"
#include "fieldtypes.h"
#include "text.h"
#include "textsearch.h"

#include <QChar>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace vt {

char32_t NextCodePoint(const unsigned char *s, int n, int &i)
{
    const unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > n) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        const unsigned char cc = s[i + k];
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += len;
    return cp;
}

namespace {

// The folding of the code points that address data is made of (ASCII, Latin-1
// and the Latin extensions), looked up instead of asked of QChar each time:
// sorting and building an index compare texts millions of times.
constexpr char32_t kTabled = 0x250;
struct FoldTable
{
    char16_t folded[kTabled];
    FoldTable()
    {
        for (char32_t c = 0; c < kTabled; ++c)
            folded[c] = c < 0x80 ? char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c) : QChar(char16_t(c)).toLower().unicode();
    }
};
const FoldTable kFold;

inline char32_t fold(char32_t cp)
{
    if (cp < kTabled)
        return kFold.folded[cp];
    if (cp > 0xFFFF)
        return cp;
    return QChar(char16_t(cp)).toLower().unicode();
}

inline char32_t foldAscii(unsigned char c)
{
    return unsigned(c - 'A') < 26u ? c + 32u : c;
}

} // namespace

char32_t FoldCodePoint(char32_t cp)
{
    return fold(cp);
}

QVariant StoredValueOf(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return qint64(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    default: return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    }
}

namespace {

int collate(void *, int na, const void *a, int nb, const void *b)
{
    return CompareFoldedUtf8(static_cast<const char *>(a), na, static_cast<const char *>(b), nb);
}

void textStarts(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    FieldDef f;
    f.type = static_cast<FieldType>(sqlite3_value_int(argv[1]));
    const QVariant stored = StoredValueOf(argv[0]);
    const QString prefix =
        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[2])), sqlite3_value_bytes(argv[2]));
    sqlite3_result_int(ctx, FoldCase(StoredToText(f, stored)).startsWith(prefix) ? 1 : 0);
}

// The folded code points of a text.
void foldInto(const unsigned char *s, int n, std::u32string &out)
{
    out.clear();
    for (int i = 0; i < n;)
        out.push_back(s[i] < 0x80 ? foldAscii(s[i++]) : fold(NextCodePoint(s, n, i)));
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

void textContains(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    // The search text is the same for every row of a statement: decoded once.
    auto *needle = static_cast<std::u32string *>(sqlite3_get_auxdata(ctx, 2));
    if (!needle) {
        needle = new std::u32string;
        foldInto(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), *needle);
        sqlite3_set_auxdata(ctx, 2, needle, [](void *p) { delete static_cast<std::u32string *>(p); });
        needle = static_cast<std::u32string *>(sqlite3_get_auxdata(ctx, 2));
        if (!needle) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    const auto type = static_cast<FieldType>(sqlite3_value_int(argv[1]));
    thread_local std::u32string hay;
    if (IsTextType(type) || type == FieldType::Time || sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        if (type == FieldType::Date) {
            FieldDef f;
            f.type = type;
            const QByteArray text = FoldCase(StoredToText(f, StoredValueOf(argv[0]))).toUtf8();
            foldInto(reinterpret_cast<const unsigned char *>(text.constData()), int(text.size()), hay);
        } else {
            foldInto(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]), hay);
        }
    } else if (type == FieldType::Integer || type == FieldType::AutoInc || type == FieldType::Boolean) {
        const qint64 v = sqlite3_value_int64(argv[0]);
        const char *text = type != FieldType::Boolean ? nullptr : v != 0 ? "true" : "false";
        char digits[24];
        if (!text) {
            std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(v));
            text = digits;
        }
        foldInto(reinterpret_cast<const unsigned char *>(text), int(std::strlen(text)), hay);
    } else {
        FieldDef f;
        f.type = type;
        const QByteArray text = StoredToText(f, StoredValueOf(argv[0])).toUtf8();
        foldInto(reinterpret_cast<const unsigned char *>(text.constData()), int(text.size()), hay);
    }
    sqlite3_result_int(ctx, std::search(hay.begin(), hay.end(), needle->begin(), needle->end()) != hay.end() ? 1 : 0);
}

} // namespace

bool FoldedTextKey(const char *text, int n, std::string *key)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    // Blanks and control characters are single bytes in UTF-8.
    int i = 0;
    while (i < n && s[i] <= 32)
        ++i;
    while (n > i && s[n - 1] <= 32)
        --n;
    key->clear();
    if (i == n)
        return false;
    while (i < n) {
        if (s[i] < 0x80)
            key->push_back(char(foldAscii(s[i++])));
        else
            appendUtf8(*key, fold(NextCodePoint(s, n, i)));
    }
    return true;
}

int CompareFoldedUtf8(const char *a, int na, const char *b, int nb)
{
    const auto *ua = reinterpret_cast<const unsigned char *>(a);
    const auto *ub = reinterpret_cast<const unsigned char *>(b);
    // Equal bytes fold alike: skip the common part, back to the start of the
    // character where the texts part.
    const int common = std::min(na, nb);
    int k = 0;
    while (k < common && ua[k] == ub[k])
        ++k;
    auto continues = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (k > 0 && ((k < na && continues(ua[k])) || (k < nb && continues(ub[k]))))
        --k;
    int i = k, j = k;
    while (i < na && j < nb) {
        // Plain ASCII needs no decoding; most address data is ASCII.
        if (ua[i] < 0x80 && ub[j] < 0x80) {
            const char32_t x = foldAscii(ua[i++]), y = foldAscii(ub[j++]);
            if (x != y)
                return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = fold(NextCodePoint(ua, na, i)), y = fold(NextCodePoint(ub, nb, j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

bool RegisterTextFunctions(sqlite3 *db)
{
    if (sqlite3_create_collation_v2(db, "VTFOLD", SQLITE_UTF8, nullptr, &collate, nullptr) != SQLITE_OK)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(db, "vt_textstarts", 3, flags, nullptr, &textStarts, nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(db, "vt_textcontains", 3, flags, nullptr, &textContains, nullptr, nullptr,
                                   nullptr) != SQLITE_OK)
        return false;
    return RegisterTextSearch(db);
}

} // namespace vt
