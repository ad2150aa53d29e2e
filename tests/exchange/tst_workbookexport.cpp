// The workbook export, read back with openpyxl: the sheet, its titles, every
// cell as a string in the order and under the filter of the records shown, a
// file replaced only when the export succeeds, and the limits of a sheet.
#include "../database/tablefixture.h"
#include "readback.h"
#include "workbookexport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstring>

using namespace vt;

namespace {

const QString kSheet = QStringLiteral("Vantrel_Export");

QStringList userColumns()
{
    return {QStringLiteral("PLZ| ftString | False |10| PLZ | PLZ | | TRUE | Postleitzahl"),
            QStringLiteral("Notiz| ftMemo | False |0| | | | FALSE | Notiz")};
}

// The non-empty cells of the sheet all hold strings (no numbers, no formulas).
bool allStrings(const ReadBack &r)
{
    for (qsizetype i = 0; i < r.rows.size(); ++i)
        for (qsizetype k = 0; k < r.rows.at(i).size(); ++k)
            if (!r.rows.at(i).at(k).isEmpty() && r.types.at(i).value(k) != QLatin1String("s"))
                return false;
    return true;
}

// Exports the names of the records shown into a workbook at path.
ExportResult exportNames(AddressTable &t, const QString &path)
{
    return WriteGridToWorkbook(t, {{t.fieldIndex(QStringLiteral("Name")), QStringLiteral("Name")}}, path, kSheet,
                               ShownRecords(t));
}

// Temporary files of an export left in the folder.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestWorkbookExport : public QObject
{
    Q_OBJECT
    TestFolder m_dir;
    int m_tables = 0;

    bool openNew(AddressTable &t, const QList<FieldValues> &records)
    {
        const QString path = m_dir.file(QStringLiteral("T%1.DB").arg(++m_tables));
        return makeTable(path, definitionWith(userColumns())) && t.open(path) && fill(t, records);
    }

    QList<ExportColumn> columns(AddressTable &t, const QList<QPair<QString, QString>> &fieldsAndTitles)
    {
        QList<ExportColumn> out;
        for (const auto &[field, title] : fieldsAndTitles)
            out.append({t.fieldIndex(field), title});
        return out;
    }

private slots:
    void sheetHoldsTheShownRecordsAsText()
    {
        AddressTable t;
        QVERIFY(openNew(t, {
                               {{"Name", "Zorn"}, {"Mail", "z@example.de"}, {"PLZ", "01234"}, {"Selected", true}},
                               {{"Name", "Müller"},
                                {"Mail", "m@example.de"},
                                {"PLZ", "80331"},
                                {"Selected", true},
                                {"LetztesMail", QDate(2024, 3, 5)},
                                {"Notiz", "=1+1"}},
                               {{"Name", "Übel"}, {"Mail", "u@example.de"}, {"Selected", false}},
                               {{"Name", "Adler"},
                                {"Mail", "a@example.de"},
                                {"PLZ", "00042"},
                                {"Selected", true},
                                {"Notiz", " zwei\nZeilen "}},
                           }));
        // The grid shows the marked records sorted by name.
        QVERIFY(t.setIndexName(QStringLiteral("Name")));
        QVERIFY(t.setFilterText(QStringLiteral("Selected='True'")));
        QVERIFY(t.setFiltered(true));
        const QString path = m_dir.file(QStringLiteral("shown.xlsx"));
        const ExportResult r = WriteGridToWorkbook(t,
                                                   columns(t, {{"Name", "Name"},
                                                               {"PLZ", "Postleitzahl"},
                                                               {"Selected", "Selected"},
                                                               {"LetztesMail", "Letztes Mail"},
                                                               {"Notiz", ""}}),
                                                   path, kSheet, ShownRecords(t));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.rows, 3);
        READ_EXPORT(book, ReadWorkbook(path));
        QCOMPARE(book.sheets, QStringList{kSheet});
        const QList<QStringList> expected = {
            // An empty title gives way to the field's name.
            {"Name", "Postleitzahl", "Selected", "Letztes Mail", "Notiz"},
            {"Adler", "00042", "True", "", " zwei\nZeilen "},
            {"Müller", "80331", "True", "05.03.2024", "=1+1"},
            {"Zorn", "01234", "True", "", ""},
        };
        QCOMPARE(book.rows, expected);
        QVERIFY2(allStrings(book), qPrintable(book.types.first().join(',')));
        QCOMPARE(leftovers(m_dir.path()), QStringList());
    }

    // The users' desktops run under de_DE.UTF-8, where the C library writes
    // numbers with a decimal comma. The workbook is written by a program of its
    // own started under that locale, so the application object takes it from the
    // environment as the program does at every start.
    void writtenUnderTheGermanLocale()
    {
        locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t(nullptr));
        if (!german)
            QFAIL("the locale de_DE.UTF-8 is missing: install the Debian package locales and generate it "
                  "(scripts/setup --test)");
        freelocale(german);
        AddressTable t;
        QVERIFY(openNew(t, {{{"Name", "Jürgen"}}, {{"Name", "0,7"}}, {{"Name", "1.5"}}}));
        t.close();
        const QString path = m_dir.file(QStringLiteral("deutsch.xlsx"));
        QProcess writer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : env.keys())
            if (name.startsWith(QLatin1String("LC_")))
                env.remove(name);
        env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
        writer.setProcessEnvironment(env);
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--write-names"), m_dir.file(QStringLiteral("T%1.DB").arg(m_tables)), path});
        QVERIFY(writer.waitForFinished(60000));
        QVERIFY2(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0,
                 writer.readAllStandardError().constData());
        READ_EXPORT(book, ReadWorkbook(path));
        QCOMPARE(book.rows, (QList<QStringList>{{"Name"}, {"Jürgen"}, {"0,7"}, {"1.5"}}));
        QVERIFY(allStrings(book));
    }

    void aHundredThousandRows()
    {
        AddressTable t;
        QVERIFY(openNew(t, {}));
        {
            TableAppender a(t);
            for (int i = 0; i < 100000; ++i) {
                QVERIFY(a.setText(t.fieldIndex("Name"), QStringLiteral("Jürgen %1").arg(i)));
                QVERIFY(a.setText(t.fieldIndex("PLZ"), QStringLiteral("%1").arg(i % 1000, 5, 10, QLatin1Char('0'))));
                QVERIFY(a.append());
            }
            QVERIFY(a.commit());
        }
        const QString path = m_dir.file(QStringLiteral("many.xlsx"));
        qint64 lastDone = 0;
        const ExportResult r = WriteGridToWorkbook(t, columns(t, {{"ID", "ID"}, {"Name", "Name"}, {"PLZ", "PLZ"}}),
                                                   path, kSheet, ShownRecords(t), [&](qint64 done, qint64 total) {
                                                       QVERIFY(done >= lastDone && done <= total && total == 100000);
                                                       lastDone = done;
                                                   });
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.rows, 100000);
        READ_EXPORT(book, ReadWorkbook(path));
        QCOMPARE(book.rows.size(), 100001);
        for (int i = 0; i < 100000; ++i) {
            const QStringList expected{QString::number(i + 1), QStringLiteral("Jürgen %1").arg(i),
                                       QStringLiteral("%1").arg(i % 1000, 5, 10, QLatin1Char('0'))};
            if (book.rows.at(i + 1) != expected)
                QFAIL(qPrintable(QStringLiteral("row %1: %2").arg(i + 1).arg(book.rows.at(i + 1).join('|'))));
        }
        QVERIFY(allStrings(book));
    }

    void existingFileReplacedOnlyOnSuccess()
    {
        AddressTable t;
        QVERIFY(openNew(t, {{{"Name", "Eins"}}, {{"Name", "Zwei"}}, {{"Name", "Drei"}}}));
        const QString path = m_dir.file(QStringLiteral("again.xlsx"));
        const QList<ExportColumn> cols = columns(t, {{"Name", "Name"}});
        QVERIFY(WriteGridToWorkbook(t, cols, path, kSheet, ShownRecords(t)).ok);
        QVERIFY(t.setFilterText(QStringLiteral("Name='Zwei'")) && t.setFiltered(true));
        QVERIFY(WriteGridToWorkbook(t, cols, path, kSheet, ShownRecords(t)).ok);
        READ_EXPORT(second, ReadWorkbook(path));
        QCOMPARE(second.rows, (QList<QStringList>{{"Name"}, {"Zwei"}}));

        // More records than a sheet holds: refused before anything is written.
        QVERIFY(t.setFiltered(false));
        const QByteArray before = m_dir.read(QStringLiteral("again.xlsx"));
        ExportResult r = WriteGridToWorkbook(t, cols, path, kSheet, ShownRecords(t), {}, 2);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, WorkbookTooManyRowsText(3, 2));
        QVERIFY(r.error.startsWith(QStringLiteral("Es sollen 3 Datensätze exportiert werden.")));
        QCOMPARE(m_dir.read(QStringLiteral("again.xlsx")), before);

        // A folder that does not exist.
        const QString nowhere = m_dir.file(QStringLiteral("fehlt/export.xlsx"));
        r = WriteGridToWorkbook(t, cols, nowhere, kSheet, ShownRecords(t));
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith(QStringLiteral("Die Datei ") + nowhere + QStringLiteral(" kann nicht geschrieben")),
                 qPrintable(r.error));
        QVERIFY(!QFile::exists(nowhere));
        QCOMPARE(leftovers(m_dir.path()), QStringList());
    }

    void cellLimitAndSheetLimit()
    {
        AddressTable t;
        const QString longText = QString(40000, QLatin1Char('x'));
        QVERIFY(openNew(t, {{{"Name", "Lang"}, {"Notiz", longText}}}));
        const QString path = m_dir.file(QStringLiteral("long.xlsx"));
        const ExportResult r =
            WriteGridToWorkbook(t, columns(t, {{"Name", "Name"}, {"Notiz", "Notiz"}}), path, kSheet, ShownRecords(t));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.cutCells, 1);
        READ_EXPORT(book, ReadWorkbook(path));
        QCOMPARE(book.rows.at(1).at(1), longText.left(kWorkbookMaxCellChars));
    }

    // Characters that take the careful way (beyond ASCII, a zero, the two that
    // XML does not allow, those it escapes) at every place of the first words
    // of eight bytes, and a character of two code units at the end of a full cell.
    void awkwardCharactersAnywhere()
    {
        const QStringList awkward{QStringLiteral("ä"),    QStringLiteral("€"),    QStringLiteral("😀"),
                                  QString(QChar(0xFFFE)), QString(QChar(0xFFFF)), QString(QChar(0)),
                                  QStringLiteral("&<\"")};
        QList<FieldValues> records;
        QStringList expected;
        for (int at = 0; at < 18; ++at) {
            const QString &c = awkward.at(at % awkward.size());
            const QString before(at, QLatin1Char('x'));
            const QString after = QStringLiteral("yz") + QString(at % 5, QLatin1Char('w'));
            records.append({{"Name", QStringLiteral("N%1").arg(at)}, {"Notiz", before + c + after + c}});
            const QString kept = c.at(0).unicode() == 0 || c.at(0).unicode() >= 0xFFFE ? QString() : c;
            expected.append(before + kept + after + kept);
        }
        const QString fits = QString(kWorkbookMaxCellChars - 2, QLatin1Char('a')) + QStringLiteral("😀");
        const QString over = QString(kWorkbookMaxCellChars - 1, QLatin1Char('b')) + QStringLiteral("😀c");
        records.append({{"Name", "Voll"}, {"Notiz", fits}});
        records.append({{"Name", "Zu lang"}, {"Notiz", over}});
        expected << fits << over.left(kWorkbookMaxCellChars - 1);

        AddressTable t;
        QVERIFY(openNew(t, records));
        const QString path = m_dir.file(QStringLiteral("awkward.xlsx"));
        const ExportResult r =
            WriteGridToWorkbook(t, columns(t, {{"Name", "Name"}, {"Notiz", "Notiz"}}), path, kSheet, ShownRecords(t));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.cutCells, 1);
        READ_EXPORT(book, ReadWorkbook(path));
        QCOMPARE(book.rows.size(), expected.size() + 1);
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(book.rows.at(i + 1).at(1), expected.at(i));
        // The sheet is packed at zlib's fastest level.
        QVERIFY2(book.fastest.contains(QStringLiteral("xl/worksheets/sheet1.xml")), qPrintable(book.fastest.join(',')));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The writer of writtenUnderTheGermanLocale(): --write-names TABLE WORKBOOK.
    if (argc == 4 && std::strcmp(argv[1], "--write-names") == 0) {
        AddressTable t;
        if (!t.open(QString::fromLocal8Bit(argv[2])))
            return 2;
        const ExportResult r = exportNames(t, QString::fromLocal8Bit(argv[3]));
        if (!r.ok)
            std::fprintf(stderr, "%s\n", qPrintable(r.error));
        return r.ok ? 0 : 3;
    }
    TestWorkbookExport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_workbookexport.moc"
