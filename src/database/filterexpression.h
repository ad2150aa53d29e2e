#pragma once
// The pieces the filter dialog composes an expression from (see filter.h for
// the language): one or two conditions of a column, an operator and a value,
// joined by AND or OR.
#include <QString>
#include <QStringList>

namespace vt {

// Operator 1 to 4: "=", "<>", "<", ">"; the one after 4 is 1.
QString FilterOperatorText(int index);
int NextFilterOperator(int index);
// Connector 1 to 3: no second condition, AND, OR; the one after 3 is 1.
QString FilterConnectorCaption(int index);
QString FilterConnectorWord(int index);
int NextFilterConnector(int index);

// The value of a condition in single quotes, a quote inside written twice.
// From the fifth column of the column box on (position 4, counted from 0) a
// star before the closing quote makes it a match on the start of the value;
// the first four columns (ID, Selected, Invalid, LetztesMail) take the value whole.
QString FilterValuePart(const QString &value, int columnPosition);

// The parts, each followed by one blank, trimmed at both ends.
QString JoinFilterParts(const QStringList &parts);

} // namespace vt
