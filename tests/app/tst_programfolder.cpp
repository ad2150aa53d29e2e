// Where the program keeps its files, and the guard of the data folder, also
// between processes: this test program started a second time holds a lock.
#include "mainformfixture.h"
#include "programfolder.h"
#include "testfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTest>

#include <cstdio>
#include <iostream>

using namespace vt;
using namespace std::chrono_literals;

namespace {

// The helper run: holds the folder's lock, renewing it every 50 ms, until its
// input ends or it is killed.
int HoldDataFolderLock(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tst_programfolder"));
    DataFolderLock lock;
    lock.setIntervals(50ms, 300000ms);
    const bool locked = lock.acquire(QString::fromLocal8Bit(argv[2])) == DataFolderLock::Result::Locked;
    std::printf(locked ? "locked\n" : "refused\n");
    std::fflush(stdout);
    while (std::cin.get() != EOF) {
    }
    return locked ? 0 : 1;
}

// Another process of this computer holding the lock of the folder.
struct LockHolder
{
    QProcess process;
    explicit LockHolder(const QString &folder)
    {
        process.start(QCoreApplication::applicationFilePath(), {"--hold-data-lock", folder});
        if (process.waitForStarted() && process.waitForReadyRead())
            started = process.readLine() == "locked\n";
    }
    ~LockHolder()
    {
        process.kill();
        process.waitForFinished();
    }
    bool started = false;
};

// Changes what the lock file says (the computer) without making a new file:
// a holder that still runs keeps renewing it.
void rewriteHost(const QString &path, const QByteArray &host)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QList<QByteArray> lines = f.readAll().split('\n');
    QVERIFY(lines.size() > 3);
    lines[2] = host;
    lines[3] = "0123456789abcdef0123456789abcdef";
    QVERIFY(f.resize(0));
    f.write(lines.join('\n'));
}

void setAge(const QString &path, std::chrono::seconds age)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-age.count()), QFileDevice::FileModificationTime));
}

} // namespace

class TestProgramFolder : public QObject
{
    Q_OBJECT
private slots:
    void choice()
    {
        TestFolder a, b;
        qunsetenv("VANTREL_APP_FOLDER");
        SetProgramFolderOverride(QString());
        // The executable's folder of the tests can be written.
        QCOMPARE(ProgramFolder(), QCoreApplication::applicationDirPath() + "/");
        qputenv("VANTREL_APP_FOLDER", a.path().toLocal8Bit());
        QCOMPARE(ProgramFolder(), a.path());
        SetProgramFolderOverride(b.path());
        QCOMPARE(ProgramFolder(), b.path());
        SetProgramFolderOverride(QString());
        qunsetenv("VANTREL_APP_FOLDER");
    }

    void seedingKeepsTheUsersFiles()
    {
        TestFolder shipped(true), copy;
        copy.write("config.ini", "[Database]\r\nGridEdit=1\r\n");
        copy.write("Data/Database.ini", "mine\r\n");
        QFile::setPermissions(shipped.file("Buttons.ini"), QFile::ReadOwner);
        QVERIFY(SeedProgramFolder(shipped.path(), copy.path() + "neu/"));
        QCOMPARE(copy.read("neu/Buttons.ini"), shipped.read("Buttons.ini"));
        QCOMPARE(copy.read("neu/Vorlagen/Vantrel_Bsp3.eml"), shipped.read("Vorlagen/Vantrel_Bsp3.eml"));
        QVERIFY(QFile::permissions(copy.file("neu/Buttons.ini")) & QFile::WriteOwner);
        // A second seeding fills in what is missing and leaves the rest.
        QVERIFY(SeedProgramFolder(shipped.path(), copy.path()));
        QCOMPARE(copy.read("Data/Database.ini"), QByteArray("mine\r\n"));
        QCOMPARE(copy.read("config.ini"), QByteArray("[Database]\r\nGridEdit=1\r\n"));
        QCOMPARE(copy.read("Data/Database.pro"), shipped.read("Data/Database.pro"));
        QVERIFY(!SeedProgramFolder(shipped.file("fehlt/"), copy.path()));
    }

    void dataFolderLock()
    {
        TestFolder dir;
        DataFolderLock first, second;
        QCOMPARE(first.acquire(dir.path()), DataFolderLock::Result::Locked);
        QVERIFY(first.isLocked());
        QCOMPARE(second.acquire(dir.path()), DataFolderLock::Result::InUse);
        QVERIFY(!second.isLocked());
        first.release();
        QVERIFY(!QFile::exists(dir.file(DataFolderLock::lockFileName())));
        QCOMPARE(second.acquire(dir.path()), DataFolderLock::Result::Locked);
        // A folder that cannot hold the lock is no sign of another user.
        DataFolderLock third;
        QCOMPARE(third.acquire(dir.file("gibt/es/nicht/")), DataFolderLock::Result::NotPossible);
    }

    void lockOfAnEndedProcessIsTakenOver()
    {
        TestFolder dir;
        WriteLockOfEndedRun(dir.file(DataFolderLock::lockFileName()));
        DataFolderLock lock;
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::Locked);
    }

    // Two processes of this computer: the second is refused while the first
    // runs, and takes the folder over once the first was killed.
    void lockOfAKilledProcessIsTakenOver()
    {
        TestFolder dir;
        auto holder = std::make_unique<LockHolder>(dir.path());
        QVERIFY(holder->started);
        DataFolderLock lock;
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::InUse);
        QCOMPARE(lock.holder().pid, holder->process.processId());
        QCOMPARE(lock.holder().host, QSysInfo::machineHostName());
        QCOMPARE(lock.holder().program, QStringLiteral("tst_programfolder"));
        // Here the lock is held while its process holds the file, however old its time.
        setAge(dir.file(DataFolderLock::lockFileName()), 1h);
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::InUse);
        holder.reset(); // killed
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::Locked);
        QVERIFY(lock.isLocked());
    }

    // A lock of another computer cannot be asked whether its process runs: it
    // counts as held while it is renewed, and as left behind (a crashed
    // workstation) once it has not been renewed for five minutes.
    void lockOfAnotherComputer()
    {
        TestFolder dir;
        const QString file = dir.file(DataFolderLock::lockFileName());
        auto holder = std::make_unique<LockHolder>(dir.path());
        QVERIFY(holder->started);
        rewriteHost(file, "arbeitsplatz-2");
        setAge(file, 10min);
        // The running holder renews it.
        QTRY_VERIFY(QFileInfo(file).lastModified().secsTo(QDateTime::currentDateTime()) < 60);
        DataFolderLock lock;
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::InUse);
        QCOMPARE(lock.holder().host, QStringLiteral("arbeitsplatz-2"));
        QVERIFY(qAbs(lock.holder().renewed.secsTo(QDateTime::currentDateTime())) < 60);

        // The workstation crashed: its lock holds four minutes more, then it is taken over.
        holder.reset();
        setAge(file, 4min);
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::InUse);
        setAge(file, 6min);
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::Locked);
        // The new lock is this process's own.
        DataFolderLock other;
        QCOMPARE(other.acquire(dir.path()), DataFolderLock::Result::InUse);
        QCOMPARE(other.holder().pid, QCoreApplication::applicationPid());
    }

    // A lock file that is no lock (empty, or text of any kind) is treated as one
    // of an unknown computer; the program's release never removes a lock that
    // another run took over.
    void brokenAndForeignLockFiles()
    {
        TestFolder dir;
        const QString file = dir.file(DataFolderLock::lockFileName());
        dir.write(DataFolderLock::lockFileName(), QByteArray(100000, 'x'));
        DataFolderLock lock;
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::InUse);
        QVERIFY(lock.holder().host.isEmpty());
        setAge(file, 6min);
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::Locked);
        // Taken over while this run was away: the other run's file stays.
        QVERIFY(QFile::remove(file));
        dir.write(DataFolderLock::lockFileName(), "4711\nvantrel\narbeitsplatz-2\n");
        lock.release();
        QCOMPARE(dir.read(DataFolderLock::lockFileName()), QByteArray("4711\nvantrel\narbeitsplatz-2\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-data-lock") == 0)
        return HoldDataFolderLock(argc, argv);
    QApplication app(argc, argv);
    TestProgramFolder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_programfolder.moc"
