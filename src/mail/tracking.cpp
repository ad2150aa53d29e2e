#include "tracking.h"

#include "definitionfiles.h"
#include "inifile.h"
#include "mainstate.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
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

namespace {

const QString kKeyListName = QStringLiteral("stats_keys.list");

// Keys are the program's own (64 hexadecimal digits); letters and digits keep
// them safe in the list's lines and in PHP strings.
bool isKey(const QString &text)
{
    if (text.size() < 32 || text.size() > 128)
        return false;
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    return true;
}

// One spelling per statistics folder: scheme and host in lower case, no query,
// one closing "/", and no "|" (the list's separator).
QString addressKey(const QString &address)
{
    QUrl url(Trimmed(address));
    if (!url.isValid() || url.host().isEmpty())
        return {};
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QLatin1Char('/'), QUrl::TolerantMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return QString::fromLatin1(url.toEncoded()).replace(QLatin1Char('|'), QStringLiteral("%7C"));
}

// The list of keys per statistics address, as read; lines it does not understand stay as they were.
class KeyList
{
public:
    explicit KeyList(const QString &path) : m_path(path)
    {
        for (const QString &line : ReadLines(path)) {
            const QStringList parts = line.split(QLatin1Char('|'));
            QStringList keys;
            for (qsizetype i = 1; i < parts.size(); ++i)
                if (isKey(parts.at(i)))
                    keys.append(parts.at(i));
            if (parts.first().isEmpty() || keys.isEmpty()) {
                m_lines.append({QString(), {line}});
                continue;
            }
            m_lines.append({parts.first(), keys});
        }
    }
    QStringList keys(const QString &address) const
    {
        for (const auto &[a, keys] : m_lines)
            if (!a.isEmpty() && a == address)
                return keys;
        return {};
    }
    // Adds the key to the address's keys; the first key of an address is the one it signs with.
    void add(const QString &address, const QString &key)
    {
        for (auto &[a, keys] : m_lines) {
            if (!a.isEmpty() && a == address) {
                if (!keys.contains(key)) {
                    keys.append(key);
                    m_changed = true;
                }
                return;
            }
        }
        m_lines.append({address, {key}});
        m_changed = true;
    }
    bool save(QString *error) const
    {
        if (!m_changed)
            return true;
        QStringList out;
        for (const auto &[a, keys] : m_lines)
            out.append(a.isEmpty() ? keys.first() : a + QLatin1Char('|') + keys.join(QLatin1Char('|')));
        WriteOptions options;
        options.ownerOnly = true;
        if (WriteLines(m_path, out, options))
            return true;
        if (error)
            *error = CannotWriteFileText(m_path);
        return false;
    }

private:
    QString m_path;
    QList<std::pair<QString, QStringList>> m_lines; // address and keys; no address: a line kept as it was
    bool m_changed = false;
};

// The statistics address and signing key a web settings file names, taken into the list.
void takeInto(KeyList &list, const IniFile &ini)
{
    const QString address = addressKey(ini.readString(kWebSettingsSection, kStatsUrlKey));
    const QString key = ini.readString(kWebSettingsSection, kStatsKeyKey);
    if (!address.isEmpty() && isKey(key))
        list.add(address, key);
}

QString newKey()
{
    QByteArray random(32, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    return QString::fromLatin1(random.toHex());
}

} // namespace

QList<QByteArray> TrackingKeys(const QString &webSettingsFile, const QString &statsUrl, QString *error)
{
    const QFileInfo web(webSettingsFile);
    const QString listPath = PathJoin(web.absolutePath(), kKeyListName);
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return QList<QByteArray>();
    };
    // Workstations sharing the data folder take their turns; a lock its holder left behind is taken over.
    QLockFile lock(PathJoin(web.absolutePath(), QStringLiteral("stats_keys.lck")));
    if (!lock.tryLock(10000))
        return fail(CannotWriteFileText(listPath));

    IniFile ini(webSettingsFile);
    const QString stored = ini.readString(kWebSettingsSection, kStatsKeyKey);
    const QString address = addressKey(statsUrl);
    if (address.isEmpty()) {
        // Without an address there is no folder to share a key with: the database keeps its own.
        if (isKey(stored))
            return {stored.toLatin1()};
        const QString key = newKey();
        ini.setOwnerOnly(true);
        if (!ini.writeString(kWebSettingsSection, kStatsKeyKey, key))
            return fail(CannotWriteFileText(webSettingsFile));
        return {key.toLatin1()};
    }

    // Every key a database has signed with stays valid for its address: this
    // database's first, so that it keeps signing as before, then those of the
    // other databases beside it.
    KeyList list(listPath);
    takeInto(list, ini);
    const QStringList others =
        QDir(web.absolutePath()).entryList({QStringLiteral("*.web")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : others)
        if (name != web.fileName())
            takeInto(list, IniFile(PathJoin(web.absolutePath(), name)));
    if (list.keys(address).isEmpty())
        list.add(address, newKey());
    if (!list.save(error))
        return {};

    // The database's file holds its key with the address the key belongs to, so
    // what it holds is always a pair that may be taken into the list.
    const QStringList keys = list.keys(address);
    const bool moved = addressKey(ini.readString(kWebSettingsSection, kStatsUrlKey)) != address;
    if (stored != keys.first() || moved) {
        ini.setAutoSave(false);
        ini.setOwnerOnly(true);
        if (moved)
            ini.writeString(kWebSettingsSection, kStatsUrlKey, Trimmed(statsUrl));
        ini.writeString(kWebSettingsSection, kStatsKeyKey, keys.first());
        if (!ini.save())
            return fail(CannotWriteFileText(webSettingsFile));
    }
    QList<QByteArray> out;
    for (const QString &k : keys)
        out.append(k.toLatin1());
    return out;
}

QByteArray TrackingKey(const QString &webSettingsFile, const QString &statsUrl, QString *error)
{
    return TrackingKeys(webSettingsFile, statsUrl, error).value(0);
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
