#include "win1252.h"

namespace vt {

// Code points of the bytes 0x80..0x9F; zero where the code page has no character.
static const char16_t kHigh[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
};

QString DecodeWin1252(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (const char ch : bytes) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            *d++ = QChar(kHigh[b - 0x80]);
        else
            *d++ = QChar(b);
    }
    return out;
}

int Win1252Byte(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u && u != 0)
            return 0x80 + i;
    // The undefined bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D round-trip as C1 controls.
    if (u >= 0x80 && u <= 0x9F && kHigh[u - 0x80] == 0)
        return u;
    return -1;
}

QByteArray EncodeWin1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const int b = Win1252Byte(c);
        out.append(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

bool FitsWin1252(const QString &text)
{
    for (const QChar c : text)
        if (Win1252Byte(c) < 0)
            return false;
    return true;
}

} // namespace vt
