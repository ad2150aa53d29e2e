#pragma once
// Windows-1252 with our own table, so that reading and writing never depends on
// which codecs the Qt build carries. Bytes that the code page leaves undefined
// decode to the C1 control of the same value; characters it cannot hold are
// written as "?".
#include <QByteArray>
#include <QString>

namespace vt {

QString DecodeWin1252(const QByteArray &bytes);
QByteArray EncodeWin1252(const QString &text);
// True when every character of the text has a place in Windows-1252.
bool FitsWin1252(const QString &text);
// The Windows-1252 byte of one character, or -1 when it has none.
int Win1252Byte(QChar c);

} // namespace vt
