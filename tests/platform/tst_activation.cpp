// When a window's activation handler runs.
#include "activation.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

using namespace vt;

class TestActivation : public QObject
{
    Q_OBJECT
private slots:
    void rule_data()
    {
        // Steps: "show", "settle" (the check after the show), "elsewhere" (another
        // window got the focus), and activations "from:modeless", "from:modal",
        // "from:self", "from:other-app". The expected runs are one letter per
        // settle or activation: y runs the handler, n does not.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("runs");
        QTest::newRow("shown, then the focus comes") << QStringList{"show", "from:modeless", "settle"} << "yn";
        QTest::newRow("shown without ever getting the focus") << QStringList{"show", "settle"} << "y";
        QTest::newRow("the focus after a counted show is the show's")
            << QStringList{"show", "settle", "from:modeless", "elsewhere", "from:modeless"} << "yny";
        QTest::newRow("back from a modeless window") << QStringList{"from:modeless", "from:modeless"} << "yy";
        QTest::newRow("a message box or modal dialog closed") << QStringList{"from:modal"} << "n";
        QTest::newRow("back from another application") << QStringList{"from:other-app"} << "n";
        QTest::newRow("the window had the focus already") << QStringList{"from:self"} << "n";
        QTest::newRow("a show counts even after another application") << QStringList{"show", "from:other-app"} << "y";
        QTest::newRow("a closed box over a shown window") << QStringList{"show", "from:modeless", "from:modal"} << "yn";
    }
    void rule()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, runs);
        ActivationState state;
        QString got;
        for (const QString &step : steps) {
            if (step == QLatin1String("show")) {
                state.shown();
            } else if (step == QLatin1String("settle")) {
                got += state.settleShow() ? u'y' : u'n';
            } else if (step == QLatin1String("elsewhere")) {
                state.focusMovedElsewhere();
            } else {
                const QString from = step.mid(5);
                const ActivationSource s =
                    state.activated(from == QLatin1String("self"), from == QLatin1String("modeless"),
                                    from == QLatin1String("other-app"));
                got += RunsActivationHandler(s) ? u'y' : u'n';
            }
        }
        QCOMPARE(got, runs);
    }

    // The same with real windows, as far as the offscreen platform moves the focus.
    void realWindows()
    {
        QWidget main;
        main.setObjectName("MainForm");
        QWidget tool;
        tool.setObjectName("MailerForm");
        int mainRuns = 0, toolRuns = 0;
        ActivationTracker::instance().install(
            &main, [&] { ++mainRuns; }, true);
        ActivationTracker::instance().install(
            &tool, [&] { ++toolRuns; }, true);

        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTRY_COMPARE(mainRuns, 1);

        // A modal dialog over the main window opens and closes: no run.
        {
            QDialog dialog(&main);
            dialog.setModal(true);
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            dialog.hide();
        }
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::qWait(20);
        QCOMPARE(mainRuns, 1);

        // The modeless window is shown (its handler runs), then the user goes back to the main window.
        tool.show();
        tool.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTRY_COMPARE(toolRuns, 1);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTRY_COMPARE(mainRuns, 2);
        // ... and to the modeless window again.
        tool.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTRY_COMPARE(toolRuns, 2);
        QCOMPARE(mainRuns, 2);

        // A handler that itself shows a modal box runs once, not again when the box closes.
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTRY_COMPARE(mainRuns, 3);
        ActivationTracker::instance().install(
            &tool,
            [&] {
                ++toolRuns;
                QDialog box(&tool);
                QTimer::singleShot(0, &box, [&box] {
                    box.activateWindow();
                    QTimer::singleShot(20, &box, &QDialog::accept);
                });
                box.exec();
            },
            true);
        tool.activateWindow();
        QTRY_COMPARE(toolRuns, 3);
        // The box has closed; the focus returns to the window from the box.
        tool.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTest::qWait(20);
        QCOMPARE(toolRuns, 3);
    }
};

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
