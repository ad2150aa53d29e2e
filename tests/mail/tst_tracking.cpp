// Click tracking: the links of an HTML mail rewritten and signed, the signing keys
// per statistics address, and the tracking settings read from the web settings.
#include "inifile.h"
#include "mainstate.h"
#include "testfolder.h"
#include "tracking.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QTest>
#include <QUrl>

using namespace vt;

namespace {

const QByteArray kKey = "0123456789abcdef0123456789abcdef";
const QString kStats = QStringLiteral("https://stats.example.com/s/");

// The tracked link as the statistics script will check it.
QString tracked(const QString &nid, const QString &url)
{
    const QString sig = QString::fromLatin1(
        QMessageAuthenticationCode::hash((nid + "\n" + url).toUtf8(), kKey, QCryptographicHash::Sha256).toHex());
    return kStats + "stats.php?nid=" + nid + "&url=" + QString::fromLatin1(QUrl::toPercentEncoding(url)) +
           "&sig=" + sig;
}

} // namespace

class TestTracking : public QObject
{
    Q_OBJECT

private slots:
    void rewritesLinks_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        const QString id = "202403051230";
        QTest::newRow("double quotes") << "<a href=\"http://a.de/x\">x</a>"
                                       << "<a href=\"" + tracked(id, "http://a.de/x") + "\">x</a>";
        QTest::newRow("single quotes, https") << "<a href='https://a.de/'>"
                                              << "<a href='" + tracked(id, "https://a.de/") + "'>";
        // The query of the target arrives whole, as one parameter.
        QTest::newRow("query with &") << "<a href=\"http://a.de/x?p=1&q=2\">"
                                      << "<a href=\"" + tracked(id, "http://a.de/x?p=1&q=2") + "\">";
        QTest::newRow("&amp; in the attribute") << "<a href=\"http://a.de/x?p=1&amp;q=2\">"
                                                << "<a href=\"" + tracked(id, "http://a.de/x?p=1&q=2") + "\">";
        QTest::newRow("capitals") << "<A HREF=\"HTTP://A.DE\">"
                                  << "<A href=\"" + tracked(id, "httP://A.DE") + "\">";
        QTest::newRow("two links") << "<a href=\"http://a.de\">1</a><a href=\"http://b.de\">2</a>"
                                   << "<a href=\"" + tracked(id, "http://a.de") + "\">1</a><a href=\"" +
                                          tracked(id, "http://b.de") + "\">2</a>";
        QTest::newRow("mailto stays") << "<a href=\"mailto:a@b.de\">"
                                      << "<a href=\"mailto:a@b.de\">";
        QTest::newRow("unquoted stays") << "<a href=http://a.de>"
                                        << "<a href=http://a.de>";
        QTest::newRow("blanks around = stay") << "<a href = \"http://a.de\">"
                                              << "<a href = \"http://a.de\">";
        QTest::newRow("no closing quote stays") << "<a href=\"http://a.de"
                                                << "<a href=\"http://a.de";
    }
    void rewritesLinks()
    {
        QFETCH(QString, html);
        QTEST(RewriteTrackedLinks(html, kStats, "202403051230", kKey), "expected");
    }

    void emptyMailingId()
    {
        // A run without tracking switched on for the database still rewrites ticked links.
        const QString out = RewriteTrackedLinks("<a href=\"http://a.de\">", kStats, {}, kKey);
        QVERIFY(out.contains("stats.php?nid=&url=http%3A%2F%2Fa.de&sig="));
    }

    void signatureDependsOnEveryPart()
    {
        const QString base = TrackedLinkSignature(kKey, "1", "http://a.de");
        QCOMPARE(base.size(), 64);
        QVERIFY(TrackedLinkSignature(kKey, "2", "http://a.de") != base);
        QVERIFY(TrackedLinkSignature(kKey, "1", "http://b.de") != base);
        QVERIFY(TrackedLinkSignature("other-key-other-key-other-key-xx", "1", "http://a.de") != base);
    }

    // One key per statistics address, whichever database asks; every key that
    // signed links to an address before stays among its keys.
    void oneKeyPerStatisticsAddress()
    {
        TestFolder dir;
        const QString address = QStringLiteral("https://x.de/st/");
        dir.write("Data/Kunden.web", "[SETTINGS]\r\nStatsURL=https://x.de/st/\r\nOnlinePath=/web\r\n");
        const QString kunden = dir.file("Data/Kunden.web");
        QString error;
        const QByteArray key = TrackingKey(kunden, address, &error);
        QVERIFY2(!key.isEmpty(), qPrintable(error));
        QCOMPARE(key.size(), 64);
        QCOMPARE(TrackingKey(kunden, address), key);
        // The database keeps its key beside its other settings, and the secrets are the owner's alone.
        const IniFile ini(kunden);
        QCOMPARE(ini.readString("SETTINGS", "StatsKey"), QString::fromLatin1(key));
        QCOMPARE(ini.readString("SETTINGS", "OnlinePath"), QStringLiteral("/web"));
        const QString list = dir.file("Data/stats_keys.list");
        for (const QString &file : {kunden, list})
            QCOMPARE(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(dir.read("Data/stats_keys.list"), "https://x.de/st/|" + key + "\r\n");

        // Another database naming the address, however spelt, signs with the same key;
        // another address has a key of its own.
        QCOMPARE(TrackingKey(dir.file("Data/Zweite.web"), QStringLiteral(" HTTPS://X.de/st ")), key);
        QCOMPARE(IniFile(dir.file("Data/Zweite.web")).readString("SETTINGS", "StatsKey"), QString::fromLatin1(key));
        const QByteArray other = TrackingKey(dir.file("Data/Dritte.web"), QStringLiteral("https://y.de/st/"));
        QVERIFY(!other.isEmpty() && other != key);

        // A database that signed with a key of its own: its links stay valid, new ones share the key.
        const QByteArray own(64, 'a');
        dir.write("Data/Alt.web", "[SETTINGS]\r\nStatsURL=https://x.de/st/\r\nStatsKey=" + own + "\r\n");
        QCOMPARE(TrackingKeys(dir.file("Data/Alt.web"), address), QList<QByteArray>({key, own}));
        QCOMPARE(IniFile(dir.file("Data/Alt.web")).readString("SETTINGS", "StatsKey"), QString::fromLatin1(key));
        // Its key outlives the database, and a move of the address.
        QVERIFY(QFile::remove(dir.file("Data/Alt.web")));
        QCOMPARE(TrackingKeys(kunden, address), QList<QByteArray>({key, own}));
        const QByteArray moved = TrackingKey(kunden, QStringLiteral("https://z.de/neu/"));
        QVERIFY(moved != key && moved != other);
        QCOMPARE(IniFile(kunden).readString("SETTINGS", "StatsURL"), QStringLiteral("https://z.de/neu/"));
        QCOMPARE(TrackingKeys(dir.file("Data/Zweite.web"), address), QList<QByteArray>({key, own}));

        // Without an address the database has a key of its own.
        const QByteArray single = TrackingKey(dir.file("Data/Ohne.web"), QString());
        QCOMPARE(single.size(), 64);
        QCOMPARE(TrackingKey(dir.file("Data/Ohne.web"), QString()), single);
    }

    void keyThatCannotBeStored()
    {
        QString error;
        QVERIFY(TrackingKey("/nonexistent-folder/x.web", kStats, &error).isEmpty());
        QVERIFY(error.contains("kann nicht geschrieben werden"));
        error.clear();
        QVERIFY(TrackingKey("/nonexistent-folder/x.web", QString(), &error).isEmpty());
        QVERIFY(error.contains("kann nicht geschrieben werden"));
    }

    void loadsTheDatabasesSettings()
    {
        TestFolder dir;
        TMainState st;
        st.setAppFolder(dir.path());
        st.DatabaseIniName = "Kunden.ini";
        st.StatsUrl = "alt";
        st.StatsPassword = "altes";
        st.TrackingActive = true;
        LoadTrackingSettings(st);
        // Without the file nothing of the database before stays.
        QCOMPARE(st.WebSettingsFile, dir.file("Data/Kunden.web"));
        QVERIFY(st.StatsUrl.isEmpty());
        QVERIFY(st.StatsPassword.isEmpty());
        QVERIFY(!st.TrackingActive);
        dir.write("Data/Kunden.web", "[SETTINGS]\r\nStatsURL=https://x.de/stats/\r\nStatsPassword=geheim\r\n"
                                     "StatsActive=1\r\n");
        LoadTrackingSettings(st);
        QCOMPARE(st.StatsUrl, QStringLiteral("https://x.de/stats/"));
        QCOMPARE(st.StatsPassword, QStringLiteral("geheim"));
        QVERIFY(st.TrackingActive);
    }

    void mailingIdFormat()
    {
        QCOMPARE(MailingIdAt(QDateTime(QDate(2024, 3, 5), QTime(9, 7, 59))), QStringLiteral("202403050907"));
    }
};

QTEST_GUILESS_MAIN(TestTracking)
#include "tst_tracking.moc"
