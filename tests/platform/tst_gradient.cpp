#include "gradient.h"

#include <QTest>

using namespace vt;

class TestGradient : public QObject
{
    Q_OBJECT
private slots:
    void gradientColorAt()
    {
        const QColor start(0, 100, 200), end(255, 0, 100);
        QCOMPARE(GradientColorAt(start, end, 0, 11), start);
        QCOMPARE(GradientColorAt(start, end, 10, 11), end);
        // Channels truncated toward zero, also when they fall.
        QCOMPARE(GradientColorAt(start, end, 1, 11), QColor(25, 90, 190));
        QCOMPARE(GradientColorAt(QColor(0, 0, 0), QColor(10, 10, 10), 1, 3), QColor(5, 5, 5));
        QCOMPARE(GradientColorAt(QColor(10, 10, 10), QColor(0, 0, 0), 1, 4), QColor(6, 6, 6));
    }
};

QTEST_GUILESS_MAIN(TestGradient)
#include "tst_gradient.moc"
