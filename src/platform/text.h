#pragma once
// Small text rules shared by every layer.
#include <QString>
#include <QStringList>

namespace vt {

// Removes every character of code 32 or below at both ends. Unlike
// QString::trimmed() it keeps a no-break space and removes control characters.
QString Trimmed(const QString &s);
QString TrimLeft(const QString &s);
QString TrimRight(const QString &s);

// Upper- and lower-casing of the ASCII letters only; other characters stay.
QString AsciiUpper(const QString &s);
QString AsciiLower(const QString &s);

// The one folding used for case-insensitive matching of data: simple lower-case
// mapping per character, so the length never changes ("ß" stays "ß", "Ä" -> "ä").
QString FoldCase(const QString &s);
bool EqualsNoCase(const QString &a, const QString &b);

// Substring test where an empty needle matches nothing.
bool ContainsText(const QString &haystack, const QString &needle, Qt::CaseSensitivity cs = Qt::CaseSensitive);

// "\r" in a message text of the program stands for a line break.
QString CrToNewline(const QString &s);

} // namespace vt
