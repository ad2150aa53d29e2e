#pragma once
// Filters on an address table.
//
// The text form is the one the filter presets, the filter dialog and its expert
// line use:
//     Selected='True'
//     Name = 'mü*' AND Ort <> 'Berlin' OR (PLZ >= '80000' AND PLZ < '90000')
// - a condition is a field name, an operator (=, <>, <, >, <=, >=) and a value in
//   single quotes (a quote inside is doubled); a plain number may go without quotes;
// - a star at the end of the value with = or <> matches values that begin with
//   the rest ("'*'" alone matches every record); with the other operators the star
//   is dropped;
// - AND binds tighter than OR; parentheses group; AND and OR in any case; a run
//   of conditions joined by one keyword is one level, groups nest at most
//   kMaxFilterDepth deep (deeper text is an error, never a crash), and a filter
//   holds at most kMaxFilterConditions conditions: SQLite's planner takes time
//   that grows with the square of a long run, so a longer text is refused at the
//   condition that is one too many instead of keeping the window busy for minutes;
// - equalities on one field joined by OR become one IN list;
// - text is compared without regard to case, umlauts included; booleans are
//   written 'True'/'False', dates 'dd.MM.yyyy', decimals with comma or full stop;
// - a blank field is the empty value: Selected='' matches it, Selected='False' and
//   every other = or ordering comparison with a value does not, <> 'x' does.
//
// Code that filters on data values (a duplicate's address, an unsubscribed
// address) builds the filter with compare()/equals() instead of text, so a value
// can never change the meaning of the expression.
#include "fieldtypes.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace vt {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// How deep parentheses, and AND and OR inside each other, may nest in a filter.
inline constexpr int kMaxFilterDepth = 200;
// How many conditions a filter may hold; equalities that become one IN list count
// as one in a filter built in code.
inline constexpr int kMaxFilterConditions = 2000;

struct FilterNode;

class Filter
{
public:
    // The empty filter: every record.
    Filter();
    // A blank text gives the empty filter; a text that does not parse gives an
    // invalid filter whose error() says what is wrong and where.
    static Filter parse(const QString &text);
    // One condition with the value in its text form (prefix: a match on the start).
    static Filter compare(const QString &field, CompareOp op, const QString &value, bool prefix = false);
    // field = value, the value in its natural form (a blank value matches blanks).
    static Filter equals(const QString &field, const QVariant &value);
    // Whether the field's text form holds the text anywhere, without regard to
    // case (booleans read "True" and "False"); an empty text matches nothing.
    static Filter contains(const QString &field, const QString &text);

    Filter operator&&(const Filter &other) const;
    Filter operator||(const Filter &other) const;

    bool isEmpty() const { return !m_root && m_error.isEmpty(); }
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // The text it was parsed from (empty for built filters).
    QString source() const { return m_source; }

private:
    friend struct FilterCompiler;
    std::shared_ptr<const FilterNode> m_root;
    QString m_error;
    QString m_source;
};

// A filter as an SQL condition with its values bound as parameters.
struct CompiledFilter
{
    QString where = QStringLiteral("1"); // the condition; "1" for every record
    QList<QVariant> params;              // stored values for the "?" in order
    QList<int> fields;                   // indexes of the fields it reads
    QString error;                       // empty when it compiled
    bool ok() const { return error.isEmpty(); }
};

// columnRef gives the SQL expression (quoted) of field i.
CompiledFilter CompileFilter(const Filter &filter, const QList<FieldDef> &fields,
                             const std::function<QString(int)> &columnRef);

} // namespace vt
