#include "systools.h"
#include "paths.h"
#include "windowsinfo.h"

#include <QRandomGenerator>
#include <cmath>

namespace vt {

bool IsDelimiterChar(const QString &delimiters, QChar c)
{
    return !delimiters.isEmpty() && delimiters.contains(c);
}

bool FindWordStart(int n, const QString &text, const QString &delimiters, int &position)
{
    if (n <= 0)
        return false;
    const int len = int(text.size());
    int i = 0, count = 0;
    while (i < len) {
        while (i < len && IsDelimiterChar(delimiters, text.at(i)))
            ++i;
        if (i >= len)
            break;
        if (++count == n) {
            position = i + 1;
            return true;
        }
        while (i < len && !IsDelimiterChar(delimiters, text.at(i)))
            ++i;
    }
    return false;
}

QString ExtractDelimitedWord(int n, const QString &text, const QString &delimiters)
{
    int pos = 0;
    if (!FindWordStart(n, text, delimiters, pos))
        return {};
    int end = pos - 1;
    while (end < text.size() && !IsDelimiterChar(delimiters, text.at(end)))
        ++end;
    return text.mid(pos - 1, end - (pos - 1));
}

QStringList DelimitedWords(const QString &text, const QString &delimiters)
{
    QStringList words;
    const qsizetype len = text.size();
    qsizetype i = 0;
    while (i < len) {
        while (i < len && IsDelimiterChar(delimiters, text.at(i)))
            ++i;
        const qsizetype start = i;
        while (i < len && !IsDelimiterChar(delimiters, text.at(i)))
            ++i;
        if (i > start)
            words.append(text.mid(start, i - start));
    }
    return words;
}

int CountDelimitedWords(const QString &text, const QString &delimiters)
{
    return int(DelimitedWords(text, delimiters).size());
}

QStringList SplitToList(const QString &text, QChar separator)
{
    return text.split(separator, Qt::KeepEmptyParts);
}

QString PadRight(const QString &text, QChar fill, int width)
{
    return text.size() >= width ? text : text + QString(width - text.size(), fill);
}

QString PadLeft(const QString &text, QChar fill, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), fill) + text;
}

QString FormatFixed(double value, int width, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale; // std::round: halves away from zero
    return PadLeft(QString::number(rounded, 'f', decimals), u' ', width);
}

QString AddTrailingBackslash(const QString &path)
{
    if (path.isEmpty())
        return path;
    if (path.size() == 2 && path.at(1) == u':')
        return path + u'\\';
    if (path.size() <= 2)
        return path;
    return path.endsWith(u'\\') ? path : path + u'\\';
}

QString ExtractDirectoryPart(const QString &path)
{
    qsizetype i = path.size() - 1;
    while (i >= 0) {
        const QChar c = path.at(i);
        if (c == u':' || c == u'\\' || c == QChar(0))
            break;
        --i;
    }
    if (i < 0)
        return {};
    if (i == 0)
        return path.left(1);
    const QChar c = path.at(i);
    if (c == u'\\')
        return path.at(i - 1) == u':' ? path.left(i + 1) : path.left(i);
    return path.left(i + 1);
}

bool IsVistaOrLater()
{
    return true;
}

bool IsWindows7()
{
    return false;
}

bool IsWindowsLiveMailInstalled()
{
    const QString dir = WindowsInfo().ProgramFilesDir;
    return !dir.isEmpty() && IsFile(PathJoin(dir, QStringLiteral("\\Windows Live\\Mail\\wlmail.exe")));
}

bool IsDigitsOnly(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString RandomString(int length, const QString &alphabet)
{
    QString out;
    if (alphabet.isEmpty() || length <= 0)
        return out;
    out.reserve(length);
    auto *rng = QRandomGenerator::global();
    for (int i = 0; i < length; ++i)
        out.append(alphabet.at(rng->bounded(int(alphabet.size()))));
    return out;
}

} // namespace vt
