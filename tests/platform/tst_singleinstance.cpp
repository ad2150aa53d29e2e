// Only one copy runs: a second start is refused with the message, a lock left by
// a dead process is taken over.
#include "messagerecorder.h"
#include "singleinstance.h"
#include "testfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace vt;

// The test program doubles as the other copy of the program:
//   --hold <path>   takes the lock, says "locked" and holds it until its input ends;
//   --crash <path>  takes the lock and ends without letting it go.
static int runAsOtherCopy(int argc, char **argv)
{
    if (argc < 3)
        return -1;
    QCoreApplication app(argc, argv);
    auto *instance = new SingleInstance(QString::fromLocal8Bit(argv[2]));
    if (!instance->acquire())
        return 2;
    if (std::strcmp(argv[1], "--crash") == 0)
        std::_Exit(0); // no clean-up: the lock file stays behind
    std::printf("locked\n");
    std::fflush(stdout);
    char buf[16];
    while (std::fgets(buf, sizeof buf, stdin)) {
    }
    delete instance;
    return 0;
}

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartIsRefusedWithTheMessage()
    {
        TestFolder dir;
        const QString lock = dir.file("vantrel.lock");
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {"--hold", lock});
        QVERIFY(other.waitForReadyRead(30000));
        QCOMPARE(other.readLine().trimmed(), QByteArray("locked"));

        MessageRecorder msgs;
        SingleInstance second(lock);
        QVERIFY(!second.acquireOrTell());
        QVERIFY(msgs.takeExpected(MsgKind::Plain, "Vantrel ist bereits gestartet!\rBitte wechseln Sie in der "
                                                  "Taskleiste zum Programm \"Vantrel\"\rApplication already running!"));
        QCOMPARE(msgs.boxes().size(), 0);

        // The first copy is untouched and, once it ends, the start is free again.
        QVERIFY(QFile::exists(lock));
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);
        QVERIFY(second.acquireOrTell());
    }

    void staleLockOfADeadProcessIsTakenOver()
    {
        TestFolder dir;
        const QString lock = dir.file("vantrel.lock");
        QProcess crashed;
        crashed.start(QCoreApplication::applicationFilePath(), {"--crash", lock});
        QVERIFY(crashed.waitForFinished(30000));
        QVERIFY(QFile::exists(lock));

        MessageRecorder msgs; // no message
        SingleInstance instance(lock);
        QVERIFY(instance.acquireOrTell());
    }

    void aLockThatCannotBeMadeLetsTheStartGoOn()
    {
        MessageRecorder msgs;
        SingleInstance instance(QStringLiteral("/nonexistent-folder/vantrel.lock"));
        QVERIFY(instance.acquireOrTell());
    }

    void defaultLockLivesInTheRuntimeFolder()
    {
        QVERIFY(SingleInstance::defaultLockPath().endsWith(QLatin1String("/vantrel.lock")));
        QVERIFY(!SingleInstance::defaultLockPath().startsWith(QCoreApplication::applicationDirPath()));
    }
};

int main(int argc, char **argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--hold") == 0 || std::strcmp(argv[1], "--crash") == 0))
        return runAsOtherCopy(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
