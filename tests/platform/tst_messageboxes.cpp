// The real message boxes, file dialogs and the program's modal dialogs come up
// over the window that asks, and never behind a window of the program that
// stays on top.
#include "filedialogs.h"
#include "messages.h"
#include "modal.h"
#include "widgetservices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
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

// What a dialog run through Modal was like when it came up.
struct Look
{
    QWidget *parent = nullptr;
    bool onTop = false;
    bool window = false;
    Look()
    {
        Modal::setHandler([this](QDialog *d) {
            parent = d->parentWidget();
            onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            window = d->isWindow();
            return int(QDialog::Accepted);
        });
    }
    ~Look() { Modal::setHandler({}); }
};

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
        // The window that stays on top would cover a box of the main window; as
        // its child window the box stays above it even when the user clicks it.
        QCOMPARE(seen.parent, &m_mailer);
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

    // A question closed by its window's close box has no answer; Escape presses
    // "Abbrechen"; a box with a title of its own shows it.
    void answersAndTitles()
    {
        auto box = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
        QTimer::singleShot(0, [&] {
            if (box())
                box()->close();
        });
        QCOMPARE(questionYesNoAbort(QStringLiteral("Wohin?"), MsgButton::Yes), MsgButton::None);
        QTimer::singleShot(0, [&] {
            if (box())
                QTest::keyClick(box(), Qt::Key_Escape);
        });
        QCOMPARE(questionYesNoAbort(QStringLiteral("Wohin?"), MsgButton::Yes), MsgButton::Abort);
        QString title;
        QTimer::singleShot(0, [&] {
            if (!box())
                return;
            title = box()->windowTitle();
            box()->button(QMessageBox::Yes)->click();
        });
        QVERIFY(question(QStringLiteral("FAQ?"), MsgButton::Yes, QStringLiteral("Vantrel und Exchange Server")));
        QCOMPARE(title, QStringLiteral("Vantrel und Exchange Server"));
        QTimer::singleShot(0, [&] {
            if (!box())
                return;
            title = box()->windowTitle();
            box()->button(QMessageBox::No)->click();
        });
        QVERIFY(!question(QStringLiteral("Weiter?")));
        QCOMPARE(title, QApplication::applicationDisplayName()); // the program's name
    }

    // A dialog the main window opens while the other window stays on top (the
    // options over the serial e-mail window): above that one, as its child
    // window; without a window on top, over the main window and not on top.
    void dialogOfTheMainWindow()
    {
        QDialog options(nullptr, Qt::Dialog);
        Look look;
        QCOMPARE(Modal::exec(&options), int(QDialog::Accepted));
        QCOMPARE(look.parent, &m_mailer);
        QVERIFY(look.onTop);
        QVERIFY(look.window);

        m_mailer.hide();
        QApplication::setActiveWindow(&m_main);
        QCOMPARE(Modal::exec(&options), int(QDialog::Accepted));
        m_mailer.show();
        QCOMPARE(look.parent, &m_main);
        QVERIFY(!look.onTop);
    }

    // A dialog that stays on top by its own design (the record editor) keeps it.
    void dialogOnTopOfItsOwn()
    {
        QDialog editor(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
        m_mailer.hide();
        Look look;
        Modal::exec(&editor);
        m_mailer.show();
        QVERIFY(look.onTop);
    }

    void fileDialogs_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("open") << 0;
        QTest::newRow("save") << 1;
        QTest::newRow("folder") << 2;
    }
    void fileDialogs()
    {
        QFETCH(int, kind);
        struct
        {
            QWidget *parent = nullptr;
            bool onTop = false, modal = false, shown = false;
        } seen;
        QTimer::singleShot(0, [&seen] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            seen.shown = true;
            seen.parent = d->parentWidget();
            seen.onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            seen.modal = d->isModal();
            d->reject();
        });
        QTimer::singleShot(5000, [] {
            if (QWidget *w = QApplication::activeModalWidget())
                w->close();
        });
        FileDialogs &d = FileDialogs::instance();
        const QString chosen = kind == 0   ? d.openFile(&m_main, "Öffnen", QDir::tempPath(), "Text (*.txt)")
                               : kind == 1 ? d.saveFile(&m_main, "Speichern", QDir::tempPath() + "/a.txt", "")
                                           : d.folder(&m_main, "Ordner", QDir::tempPath());
        QVERIFY(seen.shown);
        QVERIFY(chosen.isEmpty());
        QVERIFY(seen.modal);
        QCOMPARE(seen.parent, &m_mailer);
        QVERIFY(seen.onTop);
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
