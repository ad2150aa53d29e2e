// The records both exports read: the texts of the stored values as UTF-8, the
// same as the grid's texts of the natural values, also for values the program
// itself would not write (a leading byte order mark, broken UTF-8, a text in a
// number field, a date that is none).
#include "../database/tablefixture.h"
#include "exportrows.h"

#include <QDate>
#include <QTest>
#include <QTime>

using namespace vt;

class TestExportRows : public QObject
{
    Q_OBJECT

private slots:
    void textsAsTheGridShowsThem()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.DB"));
        QVERIFY(makeTable(path, definitionWith({QStringLiteral("Zahl| ftInteger | False |0| | | | FALSE | Zahl"),
                                                QStringLiteral("Betrag| ftCurrency | False |0| | | | FALSE | Betrag"),
                                                QStringLiteral("Wert| ftFloat | False |0| | | | FALSE | Wert"),
                                                QStringLiteral("Uhr| ftTime | False |0| | | | FALSE | Uhr"),
                                                QStringLiteral("Notiz| ftMemo | False |0| | | | FALSE | Notiz")})));
        AddressTable t;
        QVERIFY(t.open(path));
        QList<FieldValues> records;
        for (int i = 0; i < 12; ++i)
            records.append({{"Name", QStringLiteral("Nüßler %1").arg(i)},
                            {"Selected", i % 2 == 0},
                            {"LetztesMail", QDate(2024, 3, 5).addDays(i)},
                            {"Zahl", qint64(i) - 6},
                            {"Betrag", 12.5 * i},
                            {"Wert", 0.1 * i},
                            {"Uhr", QTime(7, 5).addSecs(i * 61)},
                            {"Notiz", QStringLiteral("zwei\r\nZeilen 😀 %1").arg(i)}});
        QVERIFY(fill(t, records));
        // Values as another program may have stored them.
        const QStringList raw{
            "\"Name\" = CAST(X'EFBBBF4D' AS TEXT)",                  // a byte order mark before "M"
            "\"Name\" = CAST(X'4180FF42C0AF' AS TEXT)",              // broken and overlong sequences
            "\"Notiz\" = CAST(X'41EFBBBF42EDA080F4908080' AS TEXT)", // a mark inside, a surrogate, beyond U+10FFFF
            "\"Mail\" = CAST(X'6100620062' AS TEXT)",                // zero bytes
            "\"LetztesMail\" = '2024-02-30', \"Uhr\" = '24:00:00'",
            "\"LetztesMail\" = '0000-01-01', \"Uhr\" = '7:05:00'",
            "\"LetztesMail\" = 'kein Datum', \"Zahl\" = 'abc', \"Betrag\" = 'viel'",
            "\"LetztesMail\" = '2024-3-5', \"Zahl\" = 9223372036854775807",
            "\"Notiz\" = X'C3A4'",                // a blob
            "\"Name\" = CAST(X'E080AF' AS TEXT)", // overlong, each alone
            "\"Name\" = CAST(X'F08FBFBF' AS TEXT)",
        };
        for (qsizetype i = 0; i < raw.size(); ++i)
            execOnTable(t, QStringLiteral("UPDATE \"address\" SET %1 WHERE \"ID\" = %2").arg(raw.at(i)).arg(i + 1));
        execOnTable(t, QStringLiteral("UPDATE \"address_flags\" SET \"Selected\" = 'ja' WHERE vt_rid = 3"));

        QList<int> fields;
        for (int f = 0; f < t.fieldCount(); ++f)
            fields.append(f);
        QList<QByteArrayList> grid;
        QVERIFY(t.scan({}, QString(), fields, [&](qint64, const QList<QVariant> &values) {
            QByteArrayList texts;
            for (int k = 0; k < values.size(); ++k) {
                const QVariant &v = values.at(k);
                QByteArray utf8;
                AppendUtf8(utf8, v.metaType().id() == QMetaType::QString ? v.toString() : NaturalToText(t.field(k), v));
                texts.append(utf8);
            }
            grid.append(texts);
            return true;
        }));
        QCOMPARE(grid.size(), 12);
        // The oddities are there to be read.
        QCOMPARE(grid.at(0).at(t.fieldIndex("Name")), QByteArray("M"));
        QCOMPARE(grid.at(3).at(t.fieldIndex("Mail")), QByteArray("a\0b\0b", 5));
        QCOMPARE(grid.at(6).at(t.fieldIndex("Zahl")), QByteArray("0"));
        QCOMPARE(grid.at(4).at(t.fieldIndex("LetztesMail")), QByteArray());
        QCOMPARE(grid.at(9).at(t.fieldIndex("LetztesMail")), QByteArray("14.03.2024"));

        QList<QByteArrayList> scanned;
        QString error;
        QVERIFY2(ScanUtf8(
                     t, ShownRecords(t), fields,
                     [&](TextRows &records) {
                         for (qsizetype r = 0; r < records.rows(); ++r) {
                             QByteArrayList texts;
                             for (int k = 0; k < records.columns(); ++k)
                                 texts.append(records.cell(r, k).toByteArray());
                             scanned.append(texts);
                         }
                         return true;
                     },
                     {}, 12, &error),
                 qPrintable(error));
        QCOMPARE(scanned.size(), grid.size());
        for (qsizetype r = 0; r < grid.size(); ++r)
            for (int k = 0; k < t.fieldCount(); ++k)
                if (scanned.at(r).at(k) != grid.at(r).at(k))
                    QFAIL(qPrintable(QStringLiteral("record %1, %2: %3 instead of %4")
                                         .arg(r + 1)
                                         .arg(t.field(k).name, QString::fromLatin1(scanned.at(r).at(k).toHex()),
                                              QString::fromLatin1(grid.at(r).at(k).toHex()))));
    }
};

QTEST_GUILESS_MAIN(TestExportRows)
#include "tst_exportrows.moc"
