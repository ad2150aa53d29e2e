#pragma once
// Character sets and the encodings that messages are written in.
//
// A message text is held as Unicode until it is written; then it is encoded once,
// in the character set the user chose ([CodeSet] Index 0 to 3). A text that the
// chosen set cannot hold is never written with "?" in place of its characters: a
// plain-text part and a header then go out in UTF-8, an HTML part keeps the chosen
// set and carries those characters as character references.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vt {

// "iso-8859-1", "windows-1252", "utf-7", "utf-8" for Index 0 to 3 (anything else is 0).
QString MailCharsetName(int index);

bool CharsetCanEncode(const QString &charset, const QString &text);
// The text in the character set (one of the four); characters it cannot hold
// become "?" (callers check CharsetCanEncode first).
QByteArray EncodeInCharset(const QString &charset, const QString &text);
// The chosen set when it holds the text, "utf-8" otherwise.
QString CharsetFor(const QString &charset, const QString &text);
// HTML in a set that lacks some of its characters: those become "&#NNNN;".
QString WithCharacterReferences(const QString &charset, const QString &html);

// A header value as one line: line breaks, tabs and other control characters
// become blanks, so no value can start a header of its own.
QString SingleLine(const QString &text);

// Header values ready to be written, folded with CR LF and a blank.
// Unstructured text (Subject): plain when it is printable ASCII, else RFC 2047
// encoded words in the character set (UTF-8 when the set cannot hold the text).
QByteArray EncodeHeaderText(const QString &text, const QString &charset);
// A mailbox: the display name quoted or encoded, then "<address>".
QByteArray EncodeMailbox(const QString &name, const QString &address, const QString &charset);

// Quoted-printable (RFC 2045) of text whose line ends are LF or CR LF; the result
// has CR LF line ends and lines of at most 76 characters.
QByteArray QuotedPrintable(const QByteArray &bytes);
// The same, appended to out (a buffer kept from message to message).
void AppendQuotedPrintable(QByteArray &out, QByteArrayView bytes);
// Base64 in lines of 76 characters, each ended by CR LF.
QByteArray Base64Lines(const QByteArray &bytes);

// True when every byte is ASCII without NUL and no line is longer than 998 bytes,
// so the bytes can be sent as "7bit".
bool Is7BitSafe(const QByteArray &bytes);

} // namespace vt
