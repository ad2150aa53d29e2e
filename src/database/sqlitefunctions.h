#pragma once
// What every connection to a table file registers on its SQLite handle, so that
// SQL compares text exactly as vt::FoldCase does in C++:
// - the collation "VTFOLD": both texts folded per character, then compared by
//   code point (declared on every text column, so its indexes, sorting, filters
//   and unique checks ignore case, umlauts included);
// - vt_textstarts(value, type, prefix): whether the text form of a stored value of
//   that field type (vt::FieldType as a number) begins with the already folded prefix.
struct sqlite3;

namespace vt {

bool RegisterTextFunctions(sqlite3 *db);
// The collation itself, on UTF-8 bytes: <0, 0 or >0.
int CompareFoldedUtf8(const char *a, int na, const char *b, int nb);

} // namespace vt
