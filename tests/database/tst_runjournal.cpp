// The journal of a send run: a write-ahead log held exclusively while it lives,
// one file that others can read again afterwards, and nothing changed where no
// log can be had.
#include "runjournal.h"
#include "tablefixture.h"
#include "testfolder.h"

#include <QFile>
#include <QTest>

#include <memory>

using namespace vt;

class TestRunJournal : public QObject
{
    Q_OBJECT

    TestFolder m_dir;
    int m_files = 0;

    bool openNew(AddressTable &t, const QStringList &names)
    {
        const QString path = m_dir.file(QStringLiteral("J%1.DB").arg(++m_files));
        QList<FieldValues> records;
        for (const QString &n : names)
            records.append({{QStringLiteral("Name"), n}});
        return makeTable(path, definitionWith()) && t.open(path) && fill(t, records);
    }

private slots:
    void logWhileItLives()
    {
        AddressTable t;
        QVERIFY(openNew(t, {"a", "b"}));
        const QString path = t.fileName();
        QCOMPARE(RunJournal::journalMode(t), QStringLiteral("delete"));
        {
            RunJournal journal(t);
            QVERIFY(journal.isActive());
            QCOMPARE(RunJournal::journalMode(t), QStringLiteral("wal"));
            QVERIFY(t.updateFields(t.idAt(0), {{"Name", "c"}}));
            QVERIFY(QFile::exists(path + "-wal"));
            // The file is the run's alone meanwhile.
            int rc = SQLITE_OK;
            QVERIFY(!readOnce(path, "SELECT count(*) FROM address", &rc).isValid());
            QCOMPARE(rc, SQLITE_BUSY);
        }
        QCOMPARE(RunJournal::journalMode(t), QStringLiteral("delete"));
        QVERIFY(!QFile::exists(path + "-wal"));
        // What was committed meanwhile is in the one file, for any reader.
        QCOMPARE(readOnce(path, "SELECT count(*) FROM address WHERE Name = 'c'"), QVariant(qint64(1)));
        QCOMPARE(readOnce(path, "PRAGMA journal_mode"), QVariant(QStringLiteral("delete")));
    }

    void withoutALogNothingChanges()
    {
        // The journal mode cannot change inside a transaction.
        AddressTable t;
        QVERIFY(openNew(t, {"a"}));
        const QString path = t.fileName();
        {
            TableTransaction tx(t);
            QVERIFY(tx.isOpen());
            RunJournal journal(t);
            QVERIFY(!journal.isActive());
            QCOMPARE(RunJournal::journalMode(t), QStringLiteral("delete"));
            QVERIFY(tx.commit());
        }
        QVERIFY(!QFile::exists(path + "-wal"));
        // Not held exclusively either.
        QCOMPARE(readOnce(path, "SELECT count(*) FROM address"), QVariant(qint64(1)));
    }

    void tableClosedOrGoneMeanwhile()
    {
        auto t = std::make_unique<AddressTable>();
        QVERIFY(openNew(*t, {"a"}));
        const QString path = t->fileName();
        {
            RunJournal journal(*t);
            QVERIFY(journal.isActive());
            t->close();
            QCOMPARE(RunJournal::journalMode(*t), QString());
        }
        // Opening it again gives the table its usual journal.
        QVERIFY(t->open(path));
        QCOMPARE(RunJournal::journalMode(*t), QStringLiteral("delete"));
        {
            RunJournal journal(*t);
            QVERIFY(journal.isActive());
            t.reset();
        }
        AddressTable again;
        QVERIFY(again.open(path));
        QCOMPARE(again.recordCount(), qint64(1));
        QCOMPARE(RunJournal::journalMode(again), QStringLiteral("delete"));
    }
};

QTEST_GUILESS_MAIN(TestRunJournal)
#include "tst_runjournal.moc"
