#pragma once
// Finding records by a term in the text forms of their fields (what the grid
// shows: "True"/"False", dates dd.MM.yyyy, a blank as ""):
// - the exact search looks for the term, without blanks at its ends, as a part
//   of a field's text, with or without regard to case; an empty term finds nothing;
// - the fuzzy search splits a field's text at every blank into words (two
//   blanks in a row give an empty word, an empty field one empty word) and
//   accepts a word whose edit distance to the whole term, in percent of the
//   word's length, is below kFuzzyLimit; case plays no part.
// Case is folded as everywhere else in the program (FoldCase), umlauts included.
//
// The same rule runs in C++ on one text and inside SQLite on the stored values
// of every record (AddressTable::findRow), so a search through a large table
// never turns its values into QStrings.
#include "fieldtypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace vt {

// The Levenshtein distance of term and word (inserting, deleting or replacing
// one character costs 1; characters compared as they are) times 100, divided by
// the word's length with the remainder dropped; 0 when both are empty, 100 when
// only one is. It can exceed 100.
int LevenshteinPercent(const QString &term, const QString &word);
// A word matches the fuzzy search when its percentage is below this.
inline constexpr int kFuzzyLimit = 25;

class TextSearch
{
public:
    enum class Kind { IgnoreCase, MatchCase, Fuzzy };
    TextSearch(Kind kind, const QString &term);

    Kind kind() const { return m_kind; }
    // Nothing can match (an exact search for an empty term).
    bool findsNothing() const;
    // Whether the text form of one field matches.
    bool matches(const QString &fieldText) const;
    // The same on UTF-8 bytes.
    bool matchesUtf8(const char *text, int length) const;

private:
    bool fuzzyMatch(const char32_t *text, int length) const;

    Kind m_kind;
    std::string m_ascii;     // IgnoreCase: the folded term when it is ASCII
    QByteArray m_bytes;      // MatchCase: the trimmed term as UTF-8
    std::u32string m_folded; // IgnoreCase: the trimmed term, Fuzzy: the whole term; folded
};

// For the table engine: an SQL condition that is true for a record when one of
// the given columns (the fields' stored values) matches the search. The object
// is bound to the statement as a pointer and must outlive its steps.
class SqlTextSearch
{
public:
    SqlTextSearch(const TextSearch &search, const QList<FieldDef> &fields, const QStringList &columns);
    // The condition, with the object as the parameter "?<parameter>".
    QString condition(int parameter) const;
    void bind(sqlite3_stmt *statement, int parameter) const;

    // Whether any value of the field can match: a boolean field's three texts
    // may all miss the term, and then the field need not be read at all.
    static bool mayMatch(const TextSearch &search, const FieldDef &field);
    // What the SQL function asks: whether the stored value of field i matches.
    bool matchesStored(int i, sqlite3_value *value) const;

private:
    const TextSearch &m_search;
    QList<FieldDef> m_fields;
    QStringList m_columns;
    // A boolean field's text is one of three; each is tried once.
    bool m_blank, m_true, m_false;
};

// Registers the SQL function vt_search(search, first, value...) on a connection.
bool RegisterTextSearch(sqlite3 *db);

} // namespace vt
