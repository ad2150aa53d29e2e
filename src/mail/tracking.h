#pragma once
// Click tracking of HTML newsletters: the tracking keys of the open database's web
// settings file, and the links of a mail rewritten so that each click passes
// through the statistics script on the user's web server:
//
//     <StatsUrl>stats.php?nid=<mailing id>&url=<address, percent-encoded>&sig=<signature>
//
// The signature is the HMAC-SHA256, in lower-case hex, keyed with the text of the
// statistics address's key (TrackingKey below) over the UTF-8
// bytes of the mailing id, a line feed and the link's address as the mail had it.
// The statistics script redirects only to addresses whose signature it can check,
// so it can never be used to send people to a site the user did not link to.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace vt {

class TMainState;

inline const QString kWebSettingsSection = QStringLiteral("SETTINGS");
inline const QString kStatsUrlKey = QStringLiteral("StatsURL");
inline const QString kStatsPasswordKey = QStringLiteral("StatsPassword");
inline const QString kStatsActiveKey = QStringLiteral("StatsActive");
inline const QString kStatsKeyKey = QStringLiteral("StatsKey");

// The web settings file of the open database: DataFolder + the definition file's
// name up to its first "." + ".web".
QString WebSettingsPath(const TMainState &state);

// Sets WebSettingsFile, and from that file StatsUrl, StatsPassword and
// TrackingActive; without the file they are empty and off.
void LoadTrackingSettings(TMainState &state);

// The signing keys, one per statistics address: the links of every database
// that names an address are signed with the same key, so the statistics folder
// checks one key, whichever database set it up last. The keys live beside the
// web settings files in "stats_keys.list", one line per address: the address and
// its keys, the one new links are signed with first, then every key that signed
// links to it before (of a database since deleted or moved to another address,
// or one that had a key of its own). Each web settings file keeps its database's
// signing key (StatsKey) with the address it belongs to (StatsURL); what it holds
// is taken into the list.
//
// Every key links to statsUrl may carry, the one to sign with first; a new key
// (32 random bytes as hex) when the address has none. Without an address the
// database has a key of its own. Empty, with the reason, when the keys can be
// neither read nor stored.
QList<QByteArray> TrackingKeys(const QString &webSettingsFile, const QString &statsUrl, QString *error = nullptr);
// The key the database's links to statsUrl are signed with: the first of TrackingKeys.
QByteArray TrackingKey(const QString &webSettingsFile, const QString &statsUrl, QString *error = nullptr);

QString TrackedLinkSignature(const QByteArray &key, const QString &mailingId, const QString &url);
// The whole tracked address of one link.
QString TrackedLink(const QString &statsUrl, const QString &mailingId, const QString &url, const QByteArray &key);

// Rewrites every link written href="htt... or href='htt... (the letters in any
// case) into its tracked address. Links without quotes, with blanks around "=",
// or to addresses that do not start with "htt" (mailto:) stay as they are. The
// replaced "href=" and "htt" take the lower case.
QString RewriteTrackedLinks(const QString &html, const QString &statsUrl, const QString &mailingId,
                            const QByteArray &key);

// The identifier of a tracked run: the local date and time as "yyyyMMddHHmm".
QString MailingIdAt(const QDateTime &when);

} // namespace vt
