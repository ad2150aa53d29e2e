#pragma once
// Word, fill, number, path and colour routines shared by every window.
//
// Word extraction: every character of the delimiter set is a delimiter, a run of
// delimiters separates like one, delimiters at either end separate nothing, and
// words are not trimmed. Words are numbered from 1. Every '|' list file is read
// this way; SplitToList is the one splitter that keeps empty parts.
#include <QString>
#include <QStringList>

namespace vt {

bool IsDelimiterChar(const QString &delimiters, QChar c);
int CountDelimitedWords(const QString &text, const QString &delimiters);
// Position (1-based) of the first character of word n; false when there is no word n.
bool FindWordStart(int n, const QString &text, const QString &delimiters, int &position);
QString ExtractDelimitedWord(int n, const QString &text, const QString &delimiters);
// Every word of the text, in order (the same walk as ExtractDelimitedWord).
QStringList DelimitedWords(const QString &text, const QString &delimiters);
// The parts between separators, empty parts included; an empty text gives one empty item.
QStringList SplitToList(const QString &text, QChar separator);

QString PadRight(const QString &text, QChar fill, int width);
QString PadLeft(const QString &text, QChar fill, int width);
// Fixed-point with a full stop whatever the locale, halves rounded away from zero,
// blanks in front up to the width, never cut.
QString FormatFixed(double value, int width, int decimals);

// Windows path rules for paths stored in files written on Windows.
QString AddTrailingBackslash(const QString &path);
QString ExtractDirectoryPart(const QString &path);

// System checks. The Windows versions are those of a current system: the
// program's Windows-7 and pre-Vista branches never apply here.
bool IsVistaOrLater();
bool IsWindows7();
bool IsWindowsLiveMailInstalled();
bool IsDigitsOnly(const QString &text);

// A text of the given length drawn uniformly from the alphabet.
QString RandomString(int length, const QString &alphabet);
inline const QString kRandomAlphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

} // namespace vt
