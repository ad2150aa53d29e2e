#include "mailcharset.h"

#include "win1252.h"

#include <QList>

#include <iconv.h>

namespace vt {

namespace {

const QString kLatin1 = QStringLiteral("iso-8859-1");
const QString kWin1252 = QStringLiteral("windows-1252");
const QString kUtf7 = QStringLiteral("utf-7");
const QString kUtf8 = QStringLiteral("utf-8");

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// UTF-7 through the C library: Qt's own encoder drops the last base64 run.
QByteArray toUtf7(const QString &text)
{
    const QByteArray in = text.toUtf8();
    iconv_t cd = iconv_open("UTF-7", "UTF-8");
    if (cd == iconv_t(-1))
        return in;
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = size_t(in.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    // Flushing ends a base64 run that is still open.
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(dstLeft));
    return out;
}

bool canEncodeCodePoint(const QString &charset, char32_t cp)
{
    if (same(charset, kLatin1))
        return cp <= 0xFF;
    if (same(charset, kWin1252))
        return cp <= 0xFFFF && Win1252Byte(QChar(char16_t(cp))) >= 0;
    return true;
}

// Characters that stand for themselves in a "Q" encoded word anywhere in a header,
// display names included (RFC 2047, section 5).
bool qSafe(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
           c == '+' || c == '-' || c == '/';
}

QByteArray qEncode(const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (c == ' ')
            out += '_';
        else if (qSafe(c))
            out += c;
        else {
            out += '=';
            out += hex[(uchar(c) >> 4) & 0xF];
            out += hex[uchar(c) & 0xF];
        }
    }
    return out;
}

// The bytes of one character in a set that encodes each character on its own
// (not UTF-7); false when the set cannot hold it.
bool charsetBytes(const QString &charset, char32_t cp, char *out, int *n)
{
    if (same(charset, kUtf8)) {
        if (cp < 0x80) {
            out[0] = char(cp);
            *n = 1;
        } else if (cp < 0x800) {
            out[0] = char(0xC0 | (cp >> 6));
            out[1] = char(0x80 | (cp & 0x3F));
            *n = 2;
        } else if (cp < 0x10000) {
            out[0] = char(0xE0 | (cp >> 12));
            out[1] = char(0x80 | ((cp >> 6) & 0x3F));
            out[2] = char(0x80 | (cp & 0x3F));
            *n = 3;
        } else {
            out[0] = char(0xF0 | (cp >> 18));
            out[1] = char(0x80 | ((cp >> 12) & 0x3F));
            out[2] = char(0x80 | ((cp >> 6) & 0x3F));
            out[3] = char(0x80 | (cp & 0x3F));
            *n = 4;
        }
        return true;
    }
    *n = 1;
    if (same(charset, kWin1252)) {
        const int b = cp <= 0xFFFF ? Win1252Byte(QChar(char16_t(cp))) : -1;
        out[0] = char(b < 0 ? '?' : b);
        return b >= 0;
    }
    out[0] = char(cp <= 0xFF ? cp : '?');
    return cp <= 0xFF;
}

// The text as encoded words of at most 75 characters each, one per folded line.
QByteArray encodedWords(const QString &text, const QString &charset)
{
    const QByteArray head = "=?" + charset.toLatin1() + "?Q?";
    const qsizetype room = 75 - head.size() - 2;
    if (text.isEmpty())
        return {};
    if (!same(charset, kUtf7)) {
        // Every character encodes the same wherever it stands: one pass, a word
        // closed where the next character would not fit.
        QByteArray out = head;
        qsizetype wordLength = 0;
        for (const char32_t cp : text.toUcs4()) {
            char bytes[8];
            int n = 0;
            charsetBytes(charset, cp, bytes, &n);
            const QByteArray token = qEncode(QByteArray::fromRawData(bytes, n));
            if (wordLength > 0 && wordLength + token.size() > room) {
                out += "?=\r\n " + head;
                wordLength = 0;
            }
            out += token;
            wordLength += token.size();
        }
        return out + "?=";
    }
    QList<QByteArray> words;
    QString chunk;
    QByteArray encoded;
    // UTF-7 is stateful: a chunk must be encoded as a whole to know its length.
    for (const char32_t cp : text.toUcs4()) {
        const QString one = QString::fromUcs4(&cp, 1);
        const QByteArray candidate = qEncode(EncodeInCharset(charset, chunk + one));
        if (candidate.size() > room && !chunk.isEmpty()) {
            words.append(head + encoded + "?=");
            chunk = one;
            encoded = qEncode(EncodeInCharset(charset, chunk));
        } else {
            chunk += one;
            encoded = candidate;
        }
    }
    if (!chunk.isEmpty())
        words.append(head + encoded + "?=");
    return words.join("\r\n ");
}

bool isPlainHeaderText(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    // Text that looks like an encoded word would be decoded by the reader.
    return !text.contains(QLatin1String("=?"));
}

// Folds printable ASCII at blanks so that lines stay short where they can.
QByteArray foldPlain(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    QByteArray out;
    qsizetype lineLength = 0;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf(' ', start + 1);
        if (end < 0)
            end = bytes.size();
        const QByteArray piece = bytes.mid(start, end - start); // starts with its blank
        if (lineLength > 0 && lineLength + piece.size() > 76 && piece.startsWith(' ')) {
            out += "\r\n";
            lineLength = 0;
        }
        out += piece;
        lineLength += piece.size();
        start = end;
    }
    return out;
}

// A header line holds at most 998 octets (RFC 5322 2.1.1); this leaves room for
// the field's name in front of the first line.
constexpr qsizetype kMaxFoldedLine = 900;

bool foldsWithin(const QByteArray &folded)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = folded.indexOf("\r\n", start);
        if ((end < 0 ? folded.size() : end) - start > kMaxFoldedLine)
            return false;
        if (end < 0)
            return true;
        start = end + 2;
    }
}

// RFC 5322 "atext" and blanks: a display name of these needs no quotes.
bool isAtomText(const QString &name)
{
    static const QByteArray specials = "!#$%&'*+-/=?^_`{|}~ ";
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
            continue;
        if (u < 128 && specials.contains(char(u)))
            continue;
        return false;
    }
    return true;
}

} // namespace

QString MailCharsetName(int index)
{
    switch (index) {
    case 1: return kWin1252;
    case 2: return kUtf7;
    case 3: return kUtf8;
    default: return kLatin1;
    }
}

bool CharsetCanEncode(const QString &charset, const QString &text)
{
    if (same(charset, kUtf8) || same(charset, kUtf7))
        return true;
    if (same(charset, kWin1252))
        return FitsWin1252(text);
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

QByteArray EncodeInCharset(const QString &charset, const QString &text)
{
    if (same(charset, kLatin1))
        return text.toLatin1();
    if (same(charset, kWin1252))
        return EncodeWin1252(text);
    if (same(charset, kUtf7))
        return toUtf7(text);
    return text.toUtf8();
}

QString CharsetFor(const QString &charset, const QString &text)
{
    return CharsetCanEncode(charset, text) ? charset.toLower() : kUtf8;
}

QString WithCharacterReferences(const QString &charset, const QString &html)
{
    if (CharsetCanEncode(charset, html))
        return html;
    QString out;
    out.reserve(html.size() + 16);
    for (const char32_t cp : html.toUcs4()) {
        if (canEncodeCodePoint(charset, cp))
            out += QString::fromUcs4(&cp, 1);
        else
            out += QStringLiteral("&#%1;").arg(uint(cp));
    }
    return out;
}

QString SingleLine(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c.unicode() < 32 || c.unicode() == 127)
            c = QLatin1Char(' ');
    return out;
}

QByteArray EncodeHeaderText(const QString &text, const QString &charset)
{
    const QString line = SingleLine(text);
    if (isPlainHeaderText(line)) {
        // A word too long for one line goes in encoded words, which may break anywhere.
        QByteArray folded = foldPlain(line);
        if (foldsWithin(folded))
            return folded;
    }
    return encodedWords(line, CharsetFor(charset, line));
}

QByteArray EncodeMailbox(const QString &name, const QString &address, const QString &charset)
{
    QString addr = SingleLine(address);
    addr.remove(QLatin1Char('<')).remove(QLatin1Char('>')).remove(QLatin1Char(' '));
    const QString display = SingleLine(name).trimmed();
    if (display.isEmpty())
        return addr.toUtf8();
    QByteArray phrase;
    if (isPlainHeaderText(display)) {
        // Folded at its blanks, inside quotes too (RFC 5322 3.2.4).
        if (isAtomText(display)) {
            phrase = foldPlain(display);
        } else {
            QString quoted = display;
            quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
            phrase = foldPlain(QLatin1Char('"') + quoted + QLatin1Char('"'));
        }
    }
    // A name too long for one line without a blank goes in encoded words like any other.
    if (phrase.isEmpty() || !foldsWithin(phrase))
        phrase = encodedWords(display, CharsetFor(charset, display));
    return phrase + " <" + addr.toUtf8() + '>';
}

QByteArray QuotedPrintable(const QByteArray &bytes)
{
    QByteArray out;
    AppendQuotedPrintable(out, bytes);
    return out;
}

void AppendQuotedPrintable(QByteArray &out, QByteArrayView bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    // Written through a pointer into room for the worst case (every byte "=XX",
    // and a soft break "=\r\n" after every 25 of them), then cut to what was written.
    const qsizetype size = bytes.size();
    const qsizetype start = out.size();
    out.resize(start + size * 3 + (size / 24 + 1) * 3 + 2);
    char *o = out.data() + start;
    const char *p = bytes.data();
    qsizetype lineLength = 0;
    auto softBreak = [&](qsizetype n) {
        // A soft line break keeps every line at 76 characters or fewer.
        if (lineLength + n > 75) {
            *o++ = '=';
            *o++ = '\r';
            *o++ = '\n';
            lineLength = 0;
        }
        lineLength += n;
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char c = p[i];
        if (c == '\n' || (c == '\r' && i + 1 < size && p[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            *o++ = '\r';
            *o++ = '\n';
            lineLength = 0;
            continue;
        }
        const uchar u = uchar(c);
        const bool atLineEnd = i + 1 == size || p[i + 1] == '\n' || p[i + 1] == '\r';
        const bool literal = (u >= 33 && u <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
        if (literal) {
            softBreak(1);
            *o++ = c;
        } else {
            softBreak(3);
            *o++ = '=';
            *o++ = hex[u >> 4];
            *o++ = hex[u & 0xF];
        }
    }
    out.truncate(o - out.constData());
}

QByteArray Base64Lines(const QByteArray &bytes)
{
    const QByteArray b64 = bytes.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 38 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76) {
        out += QByteArrayView(b64).sliced(i, qMin<qsizetype>(76, b64.size() - i));
        out += "\r\n";
    }
    return out;
}

bool Is7BitSafe(const QByteArray &bytes)
{
    qsizetype lineLength = 0;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if (u == 0 || u > 127)
            return false;
        if (c == '\n' || c == '\r') {
            lineLength = 0;
            continue;
        }
        if (++lineLength > 998)
            return false;
    }
    return true;
}

} // namespace vt
