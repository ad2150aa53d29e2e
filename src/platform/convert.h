#pragma once
// The address check and the character conversions of names and mail texts.
#include <QByteArray>
#include <QString>

namespace vt {

// The longest address a mail server takes.
constexpr int kMaxEmailAddressLength = 254;

// The program's address check: decides which records are sent, copied into BCC
// lists or marked invalid.
bool IsValidEmailAddress(const QString &address);

// The seven German umlauts and "ß" of Windows-1252 bytes in their two-byte UTF-8
// form; every other byte unchanged.
QByteArray UmlautsToUtf8(const QByteArray &ansi);
// The reverse for the umlauts, plus both euro signs to "Euro".
QByteArray Utf8UmlautsToAnsi(const QByteArray &bytes);
// The same replacements on text that was read as Windows-1252.
QString Utf8UmlautsToAnsi(const QString &text);

// A lower-case name, safe in file names and in the catalogue, from a name typed by the user.
QString MakeSafeName(const QString &name);

} // namespace vt
