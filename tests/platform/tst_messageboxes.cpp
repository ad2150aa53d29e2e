// The real message boxes and the program's modal dialogs come up over the
// window that asks, and never behind a window of the program that stays on top.
#include "messages.h"
#include "modal.h"
#include "widgetservices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace vt;

namespace {

struct Seen
{
    QWidget *parent = nullptr;
    bool onTop = false;
    bool shown = false;
};

// Asks a question through the real box and answers it with No; what the box was
// like while it was up.
Seen askAndLook()
{
    Seen seen;
    QTimer::singleShot(0, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.shown = true;
        seen.parent = box->parentWidget();
        seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        box->button(QMessageBox::No)->click();
    });
    // The box would wait forever if the look above found none.
    QTimer::singleShot(5000, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    question(QStringLiteral("Weiter?"));
    return seen;
}

} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT
    QWidget m_main;
    QDialog m_mailer{nullptr, Qt::Tool | Qt::WindowStaysOnTopHint};

private slots:
    void initTestCase()
    {
        InstallWidgetServices();
        m_main.setWindowTitle("Hauptfenster");
        m_main.show();
        m_mailer.show();
    }
    void init()
    {
        // The user works in the main window while the other one stays on top.
        QApplication::setActiveWindow(&m_main);
        QCOMPARE(QApplication::activeWindow(), &m_main);
    }

    void boxOfAWindowThatAsksFromASignal()
    {
        MessageOwner owner(&m_mailer);
        const Seen seen = askAndLook();
        QVERIFY(seen.shown);
        QCOMPARE(seen.parent, &m_mailer);
        QVERIFY(seen.onTop);
    }

    void boxOfTheActiveWindowIsNotCovered()
    {
        const Seen seen = askAndLook();
        QVERIFY(seen.shown);
        QCOMPARE(seen.parent, &m_main);
        // The window that stays on top would cover a box of the main window.
        QVERIFY(seen.onTop);
    }

    void noWindowOnTopNoBoxOnTop()
    {
        m_mailer.hide();
        // An owner whose window is gone leaves the box to the active window.
        MessageOwner owner(&m_mailer);
        const Seen seen = askAndLook();
        m_mailer.show();
        QVERIFY(seen.shown);
        QCOMPARE(seen.parent, &m_main);
        QVERIFY(!seen.onTop);
    }

    void dialogOverTheWindowThatAsks()
    {
        QDialog list(nullptr, Qt::Dialog);
        QWidget *parent = nullptr;
        bool onTop = false;
        Modal::setHandler([&](QDialog *d) {
            parent = d->parentWidget();
            onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            return int(QDialog::Accepted);
        });
        QCOMPARE(Modal::execOver(&list, &m_mailer), int(QDialog::Accepted));
        Modal::setHandler({});
        QCOMPARE(parent, &m_mailer);
        QVERIFY(onTop);
        // Still a window of its own, not a widget inside the other one.
        QVERIFY(list.isWindow());
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
