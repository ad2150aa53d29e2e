#pragma once
// Reading and writing the program's text files.
//
// Reading: a byte order mark decides; otherwise valid UTF-8 is read as UTF-8,
// anything else as Windows-1252. Lines end at CR LF, LF or CR; a final line end
// adds no empty line.
//
// Writing: the program's own settings and list files are Windows-1252 with CR LF
// after every line, written through QSaveFile so a crash never leaves half a file.
#include <QString>
#include <QStringList>

namespace vt {

enum class TextEncoding { Win1252, Utf8, Utf8Bom };

struct WriteOptions
{
    TextEncoding encoding = TextEncoding::Win1252;
    bool ownerOnly = false; // files holding passwords: mode 0600
};

// Decodes file bytes by the rule above.
QString DecodeText(const QByteArray &bytes);
QStringList SplitLines(const QString &text);

// Reads a whole file; ok is false (and the result empty) when it cannot be read.
QString ReadTextFile(const QString &path, bool *ok = nullptr);
QStringList ReadLines(const QString &path, bool *ok = nullptr);
// The first line of a file, or an empty text when there is none.
QString ReadFirstLine(const QString &path);

QByteArray EncodeText(const QString &text, TextEncoding encoding);
// Writes the lines, each followed by CR LF, replacing the file atomically.
bool WriteLines(const QString &path, const QStringList &lines, const WriteOptions &opt = {}, QString *error = nullptr);
// Writes the text as it stands (no line ends added), replacing the file atomically.
bool WriteTextFile(const QString &path, const QString &text, const WriteOptions &opt = {}, QString *error = nullptr);
// Appends the lines, each followed by CR LF; creates the file when missing.
bool AppendLines(const QString &path, const QStringList &lines, TextEncoding encoding = TextEncoding::Win1252,
                 QString *error = nullptr);

// The messages for a file that cannot be read or written, and a folder that cannot be made, as the
// program says them.
QString CannotOpenFileText(const QString &path);
QString CannotWriteFileText(const QString &path);
QString CannotMakeFolderText(const QString &folder);

// Windows-1252 when every character fits, UTF-8 with a byte order mark otherwise.
TextEncoding EncodingForExport(const QString &text);

} // namespace vt
