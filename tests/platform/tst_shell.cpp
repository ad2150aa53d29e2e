// Opening targets through the desktop, deleting by mask, starting and waiting for programs.
#include "messagerecorder.h"
#include "shell.h"
#include "shellrecorder.h"
#include "testfolder.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

using namespace vt;

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void targetUrl_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("url");
        QTest::newRow("web page") << "https://www.halvicor.example/a?b=1"
                                  << "https://www.halvicor.example/a?b=1";
        QTest::newRow("scheme in capitals") << "HTTP://x.example/"
                                            << "http://x.example/";
        QTest::newRow("file path") << "/opt/vantrel/help/help.html"
                                   << "file:///opt/vantrel/help/help.html";
        QTest::newRow("path with blank and hash") << "/tmp/a b#c.html"
                                                  << "file:///tmp/a%20b%23c.html";
        QTest::newRow("backslash fragment") << "/opt/vantrel\\help\\x.html"
                                            << "file:///opt/vantrel/help/x.html";
        QTest::newRow("mail link") << "mailto:anna@example.de"
                                   << "mailto:anna@example.de";
        // Whatever follows "mailto:" is the address: it cannot add a subject or a copy.
        QTest::newRow("mail link with query characters") << "mailto:a@example.de?cc=b@example.de&body=x"
                                                         << "mailto:a@example.de%3Fcc=b@example.de&body=x";
    }
    void targetUrl()
    {
        QFETCH(QString, target);
        QFETCH(QString, url);
        QCOMPARE(ShellTargetUrl(target).toString(QUrl::FullyEncoded), url);
    }

    void relativePathBecomesAbsolute()
    {
        const QUrl u = ShellTargetUrl(QStringLiteral("help/help.html"));
        QVERIFY(u.isLocalFile());
        QCOMPARE(u.toLocalFile(), QDir::current().absoluteFilePath(QStringLiteral("help/help.html")));
    }

    void mailToUrlEncodesSubjectAndBody()
    {
        const QUrl u = MailToUrl(QStringLiteral("bug@halvicor.example"), QStringLiteral("Vantrel BugReport"),
                                 QStringLiteral("Zeile 1 & 2\nZeile=3 ü"));
        QCOMPARE(u.scheme(), QStringLiteral("mailto"));
        QCOMPARE(u.path(), QStringLiteral("bug@halvicor.example"));
        const QUrlQuery q(u);
        QCOMPARE(q.queryItemValue("subject", QUrl::FullyDecoded), QStringLiteral("Vantrel BugReport"));
        QCOMPARE(q.queryItemValue("body", QUrl::FullyDecoded), QStringLiteral("Zeile 1 & 2\nZeile=3 ü"));
    }

    void shellOpenGoesToTheDesktop()
    {
        ShellRecorder shell;
        QVERIFY(ShellOpen(QStringLiteral("mailto:anna@example.de")));
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl("mailto:anna@example.de")}));
        QVERIFY(shell.browserStarted.isEmpty());
    }

    void shellOpenFallsBackToTheBrowser()
    {
        ShellRecorder shell;
        shell.desktopOpens = false;
        QVERIFY(ShellOpen(QStringLiteral("/tmp/bericht.xyz")));
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl("file:///tmp/bericht.xyz")}));
        QCOMPARE(shell.browserStarted, (QStringList{"file:///tmp/bericht.xyz"}));
    }

    void browserFallsBackToTheDesktop()
    {
        ShellRecorder shell;
        shell.browserStarts = false;
        QVERIFY(OpenUrlInBrowser(QStringLiteral("https://www.halvicor.example/")));
        QCOMPARE(shell.browserStarted, (QStringList{"https://www.halvicor.example/"}));
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl("https://www.halvicor.example/")}));
    }

    void nothingToOpenWithIsSaid()
    {
        MessageRecorder msgs;
        ShellRecorder shell;
        shell.desktopOpens = false;
        shell.browserStarts = false;
        QVERIFY(!ShellOpen(QStringLiteral("mailto:anna@example.de")));
        QVERIFY(msgs.takeExpected(MsgKind::Warning, CannotOpenText(QUrl("mailto:anna@example.de"))));
        QVERIFY(CannotOpenText(QUrl("mailto:a@b.de")).startsWith("Es konnte kein E-Mail-Programm"));
        QCOMPARE(CannotOpenText(QUrl::fromLocalFile("/opt/vantrel/help/help.html")),
                 QStringLiteral("\"/opt/vantrel/help/help.html\" konnte nicht geöffnet werden: Auf diesem Rechner "
                                "ist kein Programm dafür eingerichtet."));
    }

    // The desktop's opener starts, then finds no program for the URL and ends
    // with a failure (xdg-open's "no method available"): the user hears of it.
    void anOpenerThatFailsLaterIsSaid_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("told");
        QTest::newRow("no program for it") << 3 << true;
        QTest::newRow("opened") << 0 << false;
    }
    void anOpenerThatFailsLaterIsSaid()
    {
        QFETCH(int, exitCode);
        QFETCH(bool, told);
        TestFolder bin;
        const QString marker = bin.file("asked");
        bin.write("xdg-open",
                  QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\nexit %2\n").arg(marker).arg(exitCode).toUtf8());
        QFile::setPermissions(bin.file("xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + oldPath);
        MessageRecorder msgs;
        XdgShellBackend xdg;
        const QUrl url("https://www.halvicor.example/hilfe");
        const bool started = xdg.openUrl(url);
        qputenv("PATH", oldPath);
        QVERIFY(started);
        QTRY_VERIFY(QFile::exists(marker));
        if (told) {
            QTRY_VERIFY(!msgs.isEmpty());
            QVERIFY(msgs.takeExpected(MsgKind::Warning, CannotOpenText(url)));
        } else {
            QTest::qWait(300);
            QVERIFY(msgs.takeTexts().isEmpty());
        }
    }

    void deleteFilesByMask()
    {
        TestFolder dir;
        dir.write("a.bcc", "x");
        dir.write("B.BCC", "x"); // wildcards match without regard to case, as stored names from Windows expect
        dir.write("keep.txt", "x");
        dir.write("sub.bcc/inner", "x"); // a folder matches but stays
        QVERIFY(DeleteFilesByMask(dir.path() + QStringLiteral("*.bcc")));
        QVERIFY(!QFile::exists(dir.file("a.bcc")));
        QVERIFY(!QFile::exists(dir.file("B.BCC")));
        QVERIFY(QFile::exists(dir.file("keep.txt")));
        QVERIFY(QFile::exists(dir.file("sub.bcc/inner")));
        QVERIFY(!DeleteFilesByMask(dir.path() + QStringLiteral("*.none")));
        QVERIFY(!DeleteFilesByMask(dir.path() + QStringLiteral("missing/*.bcc")));
        // A mask written with backslashes works as well.
        dir.write("c.tmp", "x");
        QVERIFY(DeleteFilesByMask(dir.path() + QStringLiteral("\\?.tmp")));
        QVERIFY(!QFile::exists(dir.file("c.tmp")));
    }

    void runAndWaitOfMissingProgram()
    {
        MessageRecorder msgs;
        QVERIFY(!RunAndWait(QString(), QStringLiteral("/nonexistent/msgconvert"), QStringLiteral("a b")));
        QVERIFY(msgs.takeExpected(MsgKind::Plain, QStringLiteral("Error starting /nonexistent/msgconvert")));
    }

    void runAndWaitWaitsForTheEnd()
    {
        TestFolder dir;
        // Quoted parameters stay one argument; the work folder is the program's current folder.
        QVERIFY(
            RunAndWait(dir.path(), QStringLiteral("/bin/sh"), QStringLiteral("-c \"sleep 0.3; pwd > 'out put.txt'\"")));
        QCOMPARE(dir.read("out put.txt").trimmed(), QDir(dir.path()).canonicalPath().toUtf8());
        QVERIFY(RunAndWait(QString(), QStringLiteral("/bin/true"), QString()));
    }

    void runAndWaitKeepsTheWindowsResponsive()
    {
        QLineEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        bool timerRan = false;
        QTimer::singleShot(50, &edit, [&] {
            timerRan = true;
            QTest::keyClicks(&edit, QStringLiteral("abc"));
        });
        QVERIFY(RunAndWait(QString(), QStringLiteral("sleep"), QStringLiteral("0.5")));
        // Timers ran and typing reached the window while the program ran.
        QVERIFY(timerRan);
        QCOMPARE(edit.text(), QStringLiteral("abc"));
    }

    // Last: it tells the application to quit.
    void runAndWaitReturnsWhenTheApplicationQuits()
    {
        TestFolder dir;
        QTimer::singleShot(200, qApp, [] { QCoreApplication::exit(0); });
        QVERIFY(RunAndWait(dir.path(), QStringLiteral("/bin/sh"), QStringLiteral("-c \"sleep 20; touch ended\"")));
        QVERIFY(ApplicationQuitting());
        // It came back before the program ended.
        QVERIFY(!QFile::exists(dir.file("ended")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
