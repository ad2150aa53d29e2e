#pragma once
// What every connection to a table file registers on its SQLite handle, so that
// SQL compares text exactly as vt::FoldCase does in C++:
// - the collation "VTFOLD": both texts folded per character, then compared by
//   code point (declared on every text column, so its indexes, sorting, filters
//   and unique checks ignore case, umlauts included);
// - vt_textstarts(value, type, prefix): whether the text form of a stored value of
//   that field type (vt::FieldType as a number) begins with the already folded prefix;
// - vt_textcontains(value, type, text): whether the text form of a stored value
//   holds the already folded text anywhere (an empty text is in every value that
//   is not blank; the caller decides what an empty search means);
// - vt_search, the record search (see textsearch.h).
#include <QVariant>

#include <string>

struct sqlite3;
struct sqlite3_value;

namespace vt {

bool RegisterTextFunctions(sqlite3 *db);
// The collation itself, on UTF-8 bytes: <0, 0 or >0.
int CompareFoldedUtf8(const char *a, int na, const char *b, int nb);
// The code point of UTF-8 text at byte i, which moves past it; a byte that
// starts no valid sequence stands for itself.
char32_t NextCodePoint(const unsigned char *s, int n, int &i);
// The folding of FoldCase for one code point: it works on UTF-16 units and so
// leaves characters beyond the BMP as they are.
char32_t FoldCodePoint(char32_t cp);
// What makes two texts the same value for the duplicate search: the text of n
// UTF-8 bytes trimmed of blanks and control characters at both ends and folded
// (keys compare bytewise); false (and an empty key) for a text of blanks.
bool FoldedTextKey(const char *text, int n, std::string *key);
// A value handed to an SQL function, in the stored form (a NULL is a blank).
QVariant StoredValueOf(sqlite3_value *v);

} // namespace vt
