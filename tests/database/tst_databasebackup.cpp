// Backup and restore of every database: what a backup holds and its marker, a
// consistent copy of a table that is being written, a restore into a fresh
// program folder, and a restore that fails on the way changing nothing.
#include "clock.h"
#include "databasebackup.h"
#include "databasefiles.h"
#include "paths.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>

using namespace vt;

namespace {

// A program folder with the base database and "Kunden", filled.
struct Program
{
    TestFolder dir{true};
    QString data() const { return dir.file("Data/"); }
    Program(int baseRecords = 3, int customerRecords = 2)
    {
        QString error;
        QVERIFY2(CreateTableFile(data(), "Database", &error), qPrintable(error));
        QVERIFY2(CreateDatabase(dir.path(), data(), {"Kunden", "kunden", {"Ort"}}, &error), qPrintable(error));
        add("Database.DB", baseRecords, "base");
        add("kunden.DB", customerRecords, "kunde");
        // The data folder's lock, as a running program holds it.
        dir.write("Data/Vantrel.lck", "4711");
    }
    void add(const QString &table, int n, const QString &stem) const
    {
        AddressTable t;
        QVERIFY(t.open(data() + table));
        QList<FieldValues> records;
        for (int i = 0; i < n; ++i)
            records.append({{"Mail", QStringLiteral("%1%2@example.de").arg(stem).arg(i)}, {"Selected", i % 2 == 0}});
        QVERIFY(fill(t, records));
    }
    qint64 count(const QString &table) const
    {
        return readOnce(data() + table, "SELECT count(*) FROM address").toLongLong();
    }
};

// Every file below a folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        QFile file(f);
        out.insert(QDir(folder).relativeFilePath(f), file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return out;
}

} // namespace

class TestDatabaseBackup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::setFixed({}); }

    void aBackupHoldsEveryDatabaseAndItsMarker()
    {
        Program p;
        Clock::setFixed(QDateTime(QDate(2011, 3, 4), QTime(10, 0)));
        TestFolder target;
        QList<int> percents;
        QString error;
        QVERIFY2(CreateBackup(
                     p.dir.path(), p.data(), target.path(), [&](int v) { percents.append(v); }, &error),
                 qPrintable(error));
        QStringList expected = BackupSourceFiles(p.data());
        for (QString &f : expected)
            f = QFileInfo(f).fileName();
        QVERIFY(!expected.contains("Vantrel.lck"));
        QVERIFY(expected.contains("Database.DB") && expected.contains("kunden.pro") &&
                expected.contains("Database.cb"));
        expected << "Buttons.ini"
                 << "Vantrel_Backup.bup";
        expected.sort();
        QCOMPARE(QDir(target.path()).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(target.read("Vantrel_Backup.bup"), QByteArray("Vantrel Backup\r\n04.03.2011\r\n"));
        QCOMPARE(target.read("Buttons.ini"), p.dir.read("Buttons.ini"));
        QCOMPARE(target.read("kunden.pro"), p.dir.read("Data/kunden.pro"));
        QCOMPARE(readOnce(target.file("Database.DB"), "SELECT count(*) FROM address").toLongLong(), 3);
        QCOMPARE(readOnce(target.file("kunden.DB"), "SELECT count(*) FROM address").toLongLong(), 2);
        QVERIFY(!percents.isEmpty() && percents.last() == 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QCOMPARE(DescribeBackupFolder(target.path()), (QStringList{"Vantrel Backup", "04.03.2011"}));
        // A second backup there replaces files of the same names.
        QVERIFY(FilesInBackupFolder(p.data(), target.path()).contains("Database.DB"));
        QVERIFY(FilesInBackupFolder(p.data(), target.path()).contains("Buttons.ini"));
    }

    void aTableBeingWrittenIsCopiedAsCommitted()
    {
        Program p;
        AddressTable open;
        QVERIFY(open.open(p.data() + "Database.DB"));
        QVERIFY(open.beginTransaction());
        QVERIFY(open.append() && open.setValue("Mail", "neu@example.de") && open.post());
        TestFolder target;
        QString error;
        QVERIFY2(CreateBackup(p.dir.path(), p.data(), target.path(), {}, &error), qPrintable(error));
        QCOMPARE(readOnce(target.file("Database.DB"), "SELECT count(*) FROM address").toLongLong(), 3);
        QCOMPARE(readOnce(target.file("Database.DB"), "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        QVERIFY(open.commitTransaction());
        QCOMPARE(p.count("Database.DB"), 4);
    }

    void backupFolders()
    {
        TestFolder base;
        QString folder, error;
        QVERIFY(BackupTargetFolder(base.path(), "", &folder, &error));
        QCOMPARE(folder, base.path());
        QVERIFY(BackupTargetFolder(base.path(), " März ", &folder, &error));
        QCOMPARE(folder, base.path() + "März/");
        QVERIFY(QFileInfo(folder).isDir());
        // An existing folder is used as it is.
        QVERIFY(BackupTargetFolder(base.path(), "März", &folder, &error));
        QVERIFY(!BackupTargetFolder(base.path(), "a/b", &folder, &error));
        QCOMPARE(error, QStringLiteral("\"a/b\" ist kein gültiger Ordnername!"));
        // The data folder itself would copy each table onto itself.
        Program p;
        QVERIFY(!CreateBackup(p.dir.path(), p.data(), p.data(), {}, &error));
    }

    void whatMakesABackupFolder()
    {
        TestFolder f;
        QCOMPARE(DescribeBackupFolder(f.path()), QStringList());
        f.write("Vantrel_Backup.bup", "Vantrel Backup\r\n01.02.2003\r\n");
        QVERIFY(!IsBackupFolder(f.path()));
        QCOMPARE(DescribeBackupFolder(f.path()), (QStringList{"Vantrel Backup", "01.02.2003"}));
        TestFolder g;
        g.write("DATABASE.db", "");
        QVERIFY(IsBackupFolder(g.path()));
        QCOMPARE(DescribeBackupFolder(g.path()), QStringList{"Vantrel Backup"});
    }

    void aBackupRestoredIntoAFreshProgramFolder()
    {
        TestFolder backup;
        {
            Program p(5, 4);
            QString error;
            QVERIFY2(CreateBackup(p.dir.path(), p.data(), backup.path(), {}, &error), qPrintable(error));
        }
        Program fresh(0, 0);
        // Gone since the backup: comes back. Made since: stays.
        QVERIFY(DeleteDatabase(fresh.dir.path(), fresh.data(), "kunden.ini", nullptr));
        fresh.dir.write("Data/neu.pro", "x");
        // A journal left by a crash beside the table must not be applied to the restored one.
        fresh.dir.write("Data/Database.DB-journal", QByteArray(4096, 'j'));
        RestoreStage stage;
        QString error;
        QVERIFY2(stage.prepare(fresh.dir.path(), fresh.data(), backup.path(), {}, &error), qPrintable(error));
        QVERIFY2(stage.swap(&error), qPrintable(error));
        QCOMPARE(fresh.count("Database.DB"), 5);
        QCOMPARE(fresh.count("kunden.DB"), 4);
        QCOMPARE(fresh.dir.read("Buttons.ini"), backup.read("Buttons.ini"));
        QVERIFY(IsFile(fresh.data() + "neu.pro") && IsFile(fresh.data() + "Vantrel_Backup.bup"));
        QVERIFY(!QFileInfo::exists(fresh.data() + "Database.DB-journal"));
        AddressTable t;
        QVERIFY(t.open(fresh.data() + "kunden.DB"));
        QCOMPARE(column(t, "Mail"),
                 (QStringList{"kunde0@example.de", "kunde1@example.de", "kunde2@example.de", "kunde3@example.de"}));
        // No staging folder is left behind.
        QCOMPARE(QDir(fresh.dir.path()).entryList({".Wiederherstellung*"}, QDir::Dirs | QDir::Hidden), QStringList());
    }

    void aRestoreThatFailsChangesNothing_data()
    {
        QTest::addColumn<QString>("spoiled");
        QTest::addColumn<bool>("link");
        QTest::newRow("a damaged table") << "kunden.DB" << false;
        QTest::newRow("a file that cannot be read") << "kunden.fil" << true;
    }
    void aRestoreThatFailsChangesNothing()
    {
        QFETCH(QString, spoiled);
        QFETCH(bool, link);
        TestFolder backup;
        {
            Program p(5, 4);
            QString error;
            QVERIFY2(CreateBackup(p.dir.path(), p.data(), backup.path(), {}, &error), qPrintable(error));
        }
        if (link) {
            QFile::remove(backup.file(spoiled));
            QVERIFY(QFile::link(backup.file("nirgends"), backup.file(spoiled)));
        } else {
            // Half of the table: its header promises pages that are not there.
            const QByteArray bytes = backup.read(spoiled);
            QFile::remove(backup.file(spoiled));
            backup.write(spoiled, bytes.left(bytes.size() / 2));
        }
        Program current(1, 1);
        const auto before = snapshot(current.dir.path());
        RestoreStage stage;
        QString error;
        QVERIFY(!stage.prepare(current.dir.path(), current.data(), backup.path(), {}, &error));
        QVERIFY2(error.contains(spoiled), qPrintable(error));
        QCOMPARE(stage.swap(&error), false);
        QCOMPARE(snapshot(current.dir.path()), before);
        QCOMPARE(current.count("kunden.DB"), 1);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseBackup)
#include "tst_databasebackup.moc"
