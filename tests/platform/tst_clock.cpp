// The local time without a zone look-up per call: the same time and offset as Qt's
// own local time, in zones with and without daylight saving time, and time stamps
// written by hand exactly as QDateTime formats them.
#include "clock.h"

#include <QTest>
#include <QTimeZone>

#include <ctime>

class TestClock : public QObject
{
    Q_OBJECT
private slots:
    void nowAgreesWithTheSystem_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("Kolkata, half hours") << QByteArray("Asia/Kolkata");
        QTest::newRow("UTC") << QByteArray("UTC");
    }
    void nowAgreesWithTheSystem()
    {
        QFETCH(QByteArray, zone);
        const QByteArray old = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        vt::Clock::refreshZone();
        const QDateTime system = QDateTime::currentDateTime();
        const QDateTime ours = vt::Clock::now();
        const qint64 stamp = vt::Clock::localMsecs();
        QCOMPARE(ours.offsetFromUtc(), system.offsetFromUtc());
        QVERIFY(qAbs(system.msecsTo(ours)) < 1000);
        QCOMPARE(vt::Clock::today(), system.date());
        const qint64 systemLocal = system.toMSecsSinceEpoch() + system.offsetFromUtc() * 1000LL;
        QVERIFY(qAbs(stamp - systemLocal) < 1000);
        qputenv("TZ", old);
        tzset();
        vt::Clock::refreshZone();
    }

    void stamps_data()
    {
        QTest::addColumn<QDateTime>("at");
        QTest::newRow("now") << QDateTime::currentDateTimeUtc();
        QTest::newRow("leap day") << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::UTC);
        QTest::newRow("epoch") << QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("before the epoch") << QDateTime(QDate(1969, 12, 31), QTime(12, 5, 7, 3), Qt::UTC);
        QTest::newRow("new year") << QDateTime(QDate(2026, 12, 31), QTime(23, 0, 0, 40), Qt::UTC);
    }
    void stamps()
    {
        QFETCH(QDateTime, at);
        QByteArray out = "x";
        vt::Clock::appendStamp(out, at.toMSecsSinceEpoch());
        QCOMPARE(out, "x" + at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
