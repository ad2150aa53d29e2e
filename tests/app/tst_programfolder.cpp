// Where the program keeps its files, and the guard of the data folder.
#include "mainformfixture.h"
#include "programfolder.h"
#include "testfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

using namespace vt;

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
        QVERIFY(!QFile::exists(dir.file(DataFolderLock::LockFileName())));
        QCOMPARE(second.acquire(dir.path()), DataFolderLock::Result::Locked);
        // A folder that cannot hold the lock is no sign of another user.
        DataFolderLock third;
        QCOMPARE(third.acquire(dir.file("gibt/es/nicht/")), DataFolderLock::Result::NotPossible);
    }

    void lockOfAnEndedProcessIsTakenOver()
    {
        TestFolder dir;
        WriteLockOfEndedRun(dir.file(DataFolderLock::LockFileName()));
        DataFolderLock lock;
        QCOMPARE(lock.acquire(dir.path()), DataFolderLock::Result::Locked);
    }
};

QTEST_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
