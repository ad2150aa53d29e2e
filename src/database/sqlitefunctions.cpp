#include "sqlitefunctions.h"
#include "fieldtypes.h"
#include "text.h"
#include "textsearch.h"

#include <QChar>
#include <algorithm>
#include <sqlite3.h>

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

char32_t FoldCodePoint(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp > 0xFFFF)
        return cp;
    return QChar(char16_t(cp)).toLower().unicode();
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

} // namespace

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
            const char32_t x = FoldCodePoint(ua[i++]), y = FoldCodePoint(ub[j++]);
            if (x != y)
                return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = FoldCodePoint(NextCodePoint(ua, na, i)), y = FoldCodePoint(NextCodePoint(ub, nb, j));
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
    if (sqlite3_create_function_v2(db, "vt_textstarts", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &textStarts,
                                   nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    return RegisterTextSearch(db);
}

} // namespace vt
