#include "tracking.h"

#include "definitionfiles.h"
#include "inifile.h"
#include "mainstate.h"
#include "paths.h"
#include "textfile.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QUrl>

namespace vt {

namespace {

inline char16_t lowerAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

// Whether a link pattern (href=" or href=' followed by "htt") starts at i.
bool linkStartsAt(const QString &text, qsizetype i)
{
    static const char16_t pattern[] = u"href=?htt";
    constexpr qsizetype n = 9;
    if (i + n > text.size())
        return false;
    for (qsizetype k = 0; k < n; ++k) {
        const char16_t c = text.at(i + k).unicode();
        if (k == 5) {
            if (c != u'"' && c != u'\'')
                return false;
        } else if (lowerAscii(c) != pattern[k]) {
            return false;
        }
    }
    return true;
}

// The address an HTML attribute value stands for: character references decoded.
QString decodeAttribute(const QString &value)
{
    if (!value.contains(QLatin1Char('&')))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const qsizetype semi = c == u'&' ? value.indexOf(QLatin1Char(';'), i + 1) : -1;
        if (semi < 0 || semi - i > 10) {
            out += c;
            continue;
        }
        const QString name = value.mid(i + 1, semi - i - 1);
        QString decoded;
        if (name == QLatin1String("amp"))
            decoded = QStringLiteral("&");
        else if (name == QLatin1String("quot"))
            decoded = QStringLiteral("\"");
        else if (name == QLatin1String("apos"))
            decoded = QStringLiteral("'");
        else if (name == QLatin1String("lt"))
            decoded = QStringLiteral("<");
        else if (name == QLatin1String("gt"))
            decoded = QStringLiteral(">");
        else if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X')
                                  ? name.mid(2).toUInt(&ok, 16)
                                  : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t cp = code;
                decoded = QString::fromUcs4(&cp, 1);
            }
        }
        if (decoded.isEmpty()) {
            out += c;
            continue;
        }
        out += decoded;
        i = semi;
    }
    return out;
}

} // namespace

QString WebSettingsPath(const TMainState &state)
{
    return ResolveExisting(state.DataFolder, NameBeforeFirstDot(state.DatabaseIniName) + QStringLiteral(".web"));
}

void LoadTrackingSettings(TMainState &state)
{
    state.WebSettingsFile = WebSettingsPath(state);
    if (!IsFile(state.WebSettingsFile)) {
        // A database without settings tracks nothing: its mails must not count
        // into the statistics of the database opened before.
        state.StatsUrl.clear();
        state.StatsPassword.clear();
        state.TrackingActive = false;
        return;
    }
    const IniFile ini(state.WebSettingsFile);
    state.StatsUrl = ini.readString(kWebSettingsSection, kStatsUrlKey);
    state.StatsPassword = ini.readString(kWebSettingsSection, kStatsPasswordKey);
    state.TrackingActive = ini.readBool(kWebSettingsSection, kStatsActiveKey, false);
}

QByteArray TrackingKey(const QString &webSettingsFile, QString *error)
{
    IniFile ini(webSettingsFile);
    const QString stored = ini.readString(kWebSettingsSection, kStatsKeyKey);
    if (stored.size() >= 32)
        return stored.toUtf8();
    QByteArray random(32, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    const QByteArray key = random.toHex();
    // The file holds a secret from now on.
    ini.setOwnerOnly(true);
    if (!ini.writeString(kWebSettingsSection, kStatsKeyKey, QString::fromLatin1(key))) {
        if (error)
            *error = CannotWriteFileText(webSettingsFile);
        return {};
    }
    return key;
}

QString TrackedLinkSignature(const QByteArray &key, const QString &mailingId, const QString &url)
{
    return QString::fromLatin1(QMessageAuthenticationCode::hash((mailingId + QLatin1Char('\n') + url).toUtf8(), key,
                                                                QCryptographicHash::Sha256)
                                   .toHex());
}

QString TrackedLink(const QString &statsUrl, const QString &mailingId, const QString &url, const QByteArray &key)
{
    return statsUrl + QStringLiteral("stats.php?nid=") + mailingId + QStringLiteral("&url=") +
           QString::fromLatin1(QUrl::toPercentEncoding(url)) + QStringLiteral("&sig=") +
           TrackedLinkSignature(key, mailingId, url);
}

QString RewriteTrackedLinks(const QString &html, const QString &statsUrl, const QString &mailingId,
                            const QByteArray &key)
{
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i + 9 <= html.size(); ++i) {
        if (!linkStartsAt(html, i))
            continue;
        const QChar quote = html.at(i + 5);
        const qsizetype end = html.indexOf(quote, i + 6);
        if (end < 0)
            break; // an attribute that never ends is no link
        // Only a web address is a link; a value placed in an address arrives
        // URL-encoded and never reads as one.
        const QStringView written = QStringView(html).mid(i + 6, end - i - 6);
        if (!written.startsWith(u"http://", Qt::CaseInsensitive) &&
            !written.startsWith(u"https://", Qt::CaseInsensitive))
            continue;
        if (out.isEmpty())
            out.reserve(html.size() + 256);
        out.append(QStringView(html).mid(copied, i - copied));
        const QString address = QStringLiteral("htt") + html.mid(i + 9, end - i - 9);
        out +=
            QStringLiteral("href=") + quote + TrackedLink(statsUrl, mailingId, decodeAttribute(address), key) + quote;
        copied = end + 1;
        i = end;
    }
    if (copied == 0)
        return html;
    out.append(QStringView(html).mid(copied));
    return out;
}

QString MailingIdAt(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyyMMddHHmm"));
}

} // namespace vt
