// The window placement kept per screen resolution in the registry store.
#include "registry.h"
#include "testfolder.h"
#include "windowplacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace vt;

class TestWindowPlacement : public QObject
{
    Q_OBJECT
    TestFolder m_dir;

    QWidget *makeWindow()
    {
        auto *w = new QWidget;
        w->setObjectName(QStringLiteral("MainForm"));
        w->setGeometry(100, 80, 300, 200);
        return w;
    }
    QString sub() const { return WindowPlacementKey(m_window) + QLatin1Char('\\') + ScreenResolutionName(); }
    QWidget *m_window = nullptr;

private slots:
    void init()
    {
        Registry::setFileName(m_dir.file(QStringLiteral("registry-%1.ini").arg(QTest::currentTestFunction())));
        m_window = makeWindow();
    }
    void cleanup()
    {
        delete m_window;
        Registry::setFileName(QString());
    }

    void fitToScreen_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("fitted");
        const QRect area(0, 0, 800, 600);
        QTest::newRow("inside") << QRect(10, 20, 300, 200) << QRect(10, 20, 300, 200);
        QTest::newRow("left and above") << QRect(-50, -30, 300, 200) << QRect(0, 0, 300, 200);
        QTest::newRow("beyond the right and bottom") << QRect(700, 500, 300, 200) << QRect(500, 400, 300, 200);
        QTest::newRow("larger than the screen") << QRect(100, 100, 1000, 900) << QRect(0, 0, 800, 600);
    }
    void fitToScreen()
    {
        QFETCH(QRect, rect);
        QFETCH(QRect, fitted);
        QCOMPARE(FitToScreen(rect, QRect(0, 0, 800, 600)), fitted);
        // An area that does not start at the corner (a panel at the top).
        QCOMPARE(FitToScreen(rect.translated(0, 30), QRect(0, 30, 800, 600)), fitted.translated(0, 30));
    }

    void firstStartFindsNothing()
    {
        QVERIFY(!RestoreWindowPlacement(m_window));
        QCOMPARE(m_window->geometry(), QRect(100, 80, 300, 200));
    }

    void roundTrip()
    {
        m_window->setGeometry(40, 50, 320, 240);
        SaveWindowPlacement(m_window);
        QCOMPARE(Registry::readString(sub(), "FormState"), QStringLiteral("0"));
        QCOMPARE(Registry::readString(sub(), "Left"), QStringLiteral("40"));
        QCOMPARE(Registry::readString(sub(), "Top"), QStringLiteral("50"));
        QCOMPARE(Registry::readString(sub(), "Right"), QStringLiteral("360"));
        QCOMPARE(Registry::readString(sub(), "Bottom"), QStringLiteral("290"));
        QWidget *again = makeWindow();
        QVERIFY(RestoreWindowPlacement(again));
        QCOMPARE(again->geometry(), QRect(40, 50, 320, 240));
        QVERIFY(!(again->windowState() & Qt::WindowMaximized));
        delete again;
    }

    void storedStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("maximised");
        QTest::newRow("maximised") << "2" << true;
        QTest::newRow("minimised is never restored") << "1" << false;
        QTest::newRow("normal") << "0" << false;
        QTest::newRow("no number") << "viel" << false;
    }
    void storedStates()
    {
        QFETCH(QString, state);
        QFETCH(bool, maximised);
        Registry::writeString(sub(), "FormState", state);
        Registry::writeString(sub(), "Left", "20");
        Registry::writeString(sub(), "Top", "30");
        Registry::writeString(sub(), "Right", "220");
        Registry::writeString(sub(), "Bottom", "130");
        QVERIFY(RestoreWindowPlacement(m_window));
        QCOMPARE(bool(m_window->windowState() & Qt::WindowMaximized), maximised);
        QVERIFY(!(m_window->windowState() & Qt::WindowMinimized));
        // The normal rectangle is kept for the restore button.
        QCOMPARE(m_window->geometry(), QRect(20, 30, 200, 100));
    }

    void onlyAnotherResolution()
    {
        // The key exists, but not for this screen: left, right and bottom stay, top becomes 0.
        Registry::writeString(WindowPlacementKey(m_window) + "\\1X1", "Left", "5");
        QVERIFY(RestoreWindowPlacement(m_window));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m_window->geometry(), FitToScreen(QRect(QPoint(100, 0), QPoint(399, 279)), area));
    }

    void valuesThatAreNoNumbers()
    {
        Registry::writeString(sub(), "Left", "links");
        Registry::writeString(sub(), "Top", "12");
        Registry::writeString(sub(), "Right", "");
        Registry::writeString(sub(), "Bottom", "200");
        QVERIFY(RestoreWindowPlacement(m_window));
        QCOMPARE(m_window->geometry(), QRect(QPoint(100, 12), QPoint(399, 199)));
    }

    void aRectangleLargerThanTheScreenIsShrunk()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        Registry::writeString(sub(), "Left", "-100");
        Registry::writeString(sub(), "Top", "-100");
        Registry::writeString(sub(), "Right", QString::number(area.right() + 500));
        Registry::writeString(sub(), "Bottom", QString::number(area.bottom() + 500));
        QVERIFY(RestoreWindowPlacement(m_window));
        QCOMPARE(m_window->geometry(), area);
    }

    void aMinimumLargerThanTheScreenGivesWay()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        m_window->setMinimumSize(area.width() + 200, area.height() + 100);
        PlaceWindowFrame(m_window, area);
        QCOMPARE(m_window->geometry(), area);
        QCOMPARE(m_window->minimumSize(), area.size());
    }

    void childWindowsAreLeftAlone()
    {
        QWidget child(m_window);
        child.setObjectName("Kind");
        child.setGeometry(1, 2, 30, 40);
        SaveWindowPlacement(&child);
        QVERIFY(!Registry::keyExists(WindowPlacementKey(&child)));
        QVERIFY(!RestoreWindowPlacement(&child));
        QCOMPARE(child.geometry(), QRect(1, 2, 30, 40));
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
