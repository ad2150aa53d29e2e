#include "textfile.h"
#include "paths.h"
#include "win1252.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace vt {

QString DecodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return dec.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeWin1252(bytes);
}

QStringList SplitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString ReadTextFile(const QString &path, bool *ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    return DecodeText(f.readAll());
}

QStringList ReadLines(const QString &path, bool *ok)
{
    return SplitLines(ReadTextFile(path, ok));
}

QString CannotOpenFileText(const QString &path)
{
    return QStringLiteral("Die Datei ") + path + QStringLiteral(" kann nicht geöffnet werden!");
}

QString CannotWriteFileText(const QString &path)
{
    return QStringLiteral("Die Datei ") + path + QStringLiteral(" kann nicht geschrieben werden!");
}

QString CannotMakeFolderText(const QString &folder)
{
    return QStringLiteral("Der Ordner ") + WithoutTrailingSlash(folder) +
           QStringLiteral(" kann nicht angelegt werden!");
}

QString ReadFirstLine(const QString &path)
{
    const QStringList lines = ReadLines(path);
    return lines.isEmpty() ? QString() : lines.first();
}

QByteArray EncodeText(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Win1252: return EncodeWin1252(text);
    case TextEncoding::Utf8: return text.toUtf8();
    case TextEncoding::Utf8Bom: return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    }
    return {};
}

static QString joinLines(const QStringList &lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString &l : lines)
        size += l.size() + 2;
    text.reserve(size);
    for (const QString &l : lines) {
        text += l;
        text += QLatin1String("\r\n");
    }
    return text;
}

bool WriteTextFile(const QString &path, const QString &text, const WriteOptions &opt, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    if (opt.ownerOnly)
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(EncodeText(text, opt.encoding));
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

bool WriteLines(const QString &path, const QStringList &lines, const WriteOptions &opt, QString *error)
{
    return WriteTextFile(path, joinLines(lines), opt, error);
}

bool AppendLines(const QString &path, const QStringList &lines, TextEncoding encoding, QString *error)
{
    QFile f(path);
    const bool isNew = !f.exists() || f.size() == 0;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QByteArray bytes =
        EncodeText(joinLines(lines), encoding == TextEncoding::Utf8Bom && !isNew ? TextEncoding::Utf8 : encoding);
    if (f.write(bytes) != bytes.size()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return f.flush();
}

TextEncoding EncodingForExport(const QString &text)
{
    return FitsWin1252(text) ? TextEncoding::Win1252 : TextEncoding::Utf8Bom;
}

} // namespace vt
