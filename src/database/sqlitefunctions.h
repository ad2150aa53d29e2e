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
// - vt_dupkey(value, type): what makes two values of a field the same value for
//   the duplicate search: a text trimmed of blanks and control characters at
//   both ends and folded (compared bytewise), NULL for a blank or a text of
//   blanks; any other type as it is stored.
struct sqlite3;

namespace vt {

bool RegisterTextFunctions(sqlite3 *db);
// The collation itself, on UTF-8 bytes: <0, 0 or >0.
int CompareFoldedUtf8(const char *a, int na, const char *b, int nb);

} // namespace vt
