#include "convert.h"
#include "text.h"
#include "win1252.h"

#include <QList>
#include <utility>

namespace vt {

namespace {

// Two domains that are never mailed, matched anywhere in the address.
const char *const kBlockedDomains[] = {"@SPAMTRAP.INVALID", "@BLACKHOLE.INVALID"};

const QList<QString> &rejectedParts()
{
    static const QList<QString> parts = {
        QStringLiteral("["),  QStringLiteral("]"),  QStringLiteral("{"),  QStringLiteral("}"),  QStringLiteral("'"),
        QStringLiteral("ß"),  QStringLiteral("~"),  QStringLiteral("@."), QStringLiteral("@-"), QStringLiteral(".@"),
        QStringLiteral("\""), QStringLiteral(","),  QStringLiteral(".."), QStringLiteral("+"),  QStringLiteral("*"),
        QStringLiteral("/"),  QStringLiteral("\\"), QStringLiteral("ü"),  QStringLiteral("ö"),  QStringLiteral("ä"),
        QStringLiteral("Ü"),  QStringLiteral("Ö"),  QStringLiteral("Ä"),  QStringLiteral("é"),  QStringLiteral("á"),
        QStringLiteral("ú"),  QStringLiteral("ó"),  QStringLiteral("í"),  QStringLiteral("´"),  QStringLiteral(":"),
        QStringLiteral(";"),  QStringLiteral("="),  QStringLiteral("?"),  QStringLiteral("%"),  QStringLiteral("§"),
        QStringLiteral("!"),  QStringLiteral("("),  QStringLiteral(")"),  QStringLiteral("^"),  QStringLiteral("°"),
        QStringLiteral(" "),
    };
    return parts;
}

using BytePair = std::pair<QByteArray, QByteArray>;

const QList<BytePair> &toUtf8Table()
{
    static const QList<BytePair> t = {
        {"\xDC", "\xC3\x9C"}, {"\xFC", "\xC3\xBC"}, {"\xC4", "\xC3\x84"}, {"\xE4", "\xC3\xA4"},
        {"\xD6", "\xC3\x96"}, {"\xF6", "\xC3\xB6"}, {"\xDF", "\xC3\x9F"},
    };
    return t;
}

const QList<BytePair> &toAnsiTable()
{
    static const QList<BytePair> t = {
        {"\xC3\x9C", "\xDC"}, {"\xC3\xBC", "\xFC"}, {"\xC3\x84", "\xC4"},     {"\xC3\x22", "\xC4"},
        {"\xC3\xA4", "\xE4"}, {"\xC3\xFB", "\xD6"}, {"\xC3\x96", "\xD6"},     {"\xC3\xB6", "\xF6"},
        {"\xC3\x9F", "\xDF"}, {"\x80", "Euro"},     {"\xE2\x82\xAC", "Euro"},
    };
    return t;
}

} // namespace

bool IsValidEmailAddress(const QString &address)
{
    const QString a = AsciiUpper(address);
    // More than SMTP allows in a path (RFC 5321 4.5.3.1.3) reaches nobody.
    if (a.isEmpty() || a.size() > kMaxEmailAddressLength)
        return false;
    // A control character can never be sent in an envelope.
    for (const QChar c : a)
        if (c.unicode() < 32 || c.unicode() == 127)
            return false;
    for (const QString &p : rejectedParts())
        if (a.contains(p))
            return false;
    const qsizetype at = a.indexOf(u'@');
    if (at < 0 || !a.contains(u'.'))
        return false;
    if (a.count(u'@') > 1)
        return false;
    if (a.front() == u'.' || a.front() == u'@')
        return false;
    const QChar last = a.back();
    if (last == u'.' || last == u'@' || last == u'_' || last == u'-')
        return false;
    const QString domain = a.mid(at + 1);
    if (domain.contains(u'_') || !domain.contains(u'.'))
        return false;
    for (const char *blocked : kBlockedDomains)
        if (a.contains(QLatin1String(blocked)))
            return false;
    return true;
}

QByteArray UmlautsToUtf8(const QByteArray &ansi)
{
    QByteArray r = ansi;
    for (const auto &[from, to] : toUtf8Table())
        r.replace(from, to);
    return r;
}

QByteArray Utf8UmlautsToAnsi(const QByteArray &bytes)
{
    QByteArray r = bytes;
    for (const auto &[from, to] : toAnsiTable())
        r.replace(from, to);
    return r;
}

QString Utf8UmlautsToAnsi(const QString &text)
{
    // The byte patterns as the characters they become when read as Windows-1252,
    // so text outside the code page is left alone.
    QString r = text;
    for (const auto &[from, to] : toAnsiTable())
        r.replace(DecodeWin1252(from), DecodeWin1252(to));
    return r;
}

QString MakeSafeName(const QString &name)
{
    static const QString toUnderscore = QStringLiteral(" '.-!$%=\"§?,´`€éáúóêâûô");
    static const QString toX = QStringLiteral("*:()\\/><|");
    QString s = Utf8UmlautsToAnsi(name);
    QString out;
    out.reserve(s.size() + 8);
    for (QChar c : s) {
        if (c.unicode() < 32 || toUnderscore.contains(c))
            c = u'_';
        else if (c == u'&')
            c = u'a';
        else if (toX.contains(c))
            c = u'x';
        switch (c.unicode()) {
        case u'ä': out += QLatin1String("ae"); break;
        case u'Ä': out += QLatin1String("Ae"); break;
        case u'ö': out += QLatin1String("oe"); break;
        case u'Ö': out += QLatin1String("Oe"); break;
        case u'ü': out += QLatin1String("ue"); break;
        case u'Ü': out += QLatin1String("Ue"); break;
        case u'ß': out += QLatin1String("ss"); break;
        default: out += c;
        }
    }
    return AsciiLower(out);
}

} // namespace vt
