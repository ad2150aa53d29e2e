// The text export: the exact layout of its lines (widths from the field
// definitions, padding, trim, title line, delimiter, quotes only where a value
// needs them, Windows-1252, CR LF), read back with Python's csv module; UTF-8
// where Windows-1252 does not reach; the table's own filter and record untouched.
#include "../database/tablefixture.h"
#include "asciiexport.h"
#include "readback.h"
#include "testfolder.h"
#include "win1252.h"

#include <QFile>
#include <QTest>

using namespace vt;

namespace {

const QString kMemoLine = QStringLiteral("Notiz| ftMemo | False |0| | | | FALSE | Notiz");

QString pad(const QString &s, int width)
{
    return s.leftJustified(width, u' ');
}

QByteArray crlfLines(const QStringList &lines)
{
    QString text;
    for (const QString &l : lines)
        text += l + QStringLiteral("\r\n");
    return EncodeWin1252(text);
}

// The values of a line as a reader should see them: split at the delimiter,
// with the empty field after the last one.
QList<QStringList> expectedRows(const QList<QStringList> &values)
{
    QList<QStringList> out;
    for (QStringList v : values)
        out.append(v << QString());
    return out;
}

QList<QStringList> withoutPadding(QList<QStringList> rows)
{
    for (QStringList &r : rows)
        for (QString &c : r)
            while (c.endsWith(u' '))
                c.chop(1);
    return rows;
}

} // namespace

class TestAsciiExport : public QObject
{
    Q_OBJECT
    TestFolder m_dir;
    int m_files = 0;

    bool openNew(AddressTable &t, const QList<FieldValues> &records)
    {
        const QString path = m_dir.file(QStringLiteral("T%1.DB").arg(++m_files));
        return makeTable(path, definitionWith({kMemoLine})) && t.open(path) && fill(t, records);
    }
    // ID, Name and Selected, with their widths from the definition lines.
    TextExportOptions options(AddressTable &t)
    {
        TextExportOptions o;
        const QList<int> widths = TextExportWidths(definitionWith({kMemoLine}), t.fieldCount());
        for (const char *f : {"ID", "Selected", "Name"}) {
            o.fields.append(t.fieldIndex(f));
            o.widths.append(widths.at(t.fieldIndex(f)));
        }
        return o;
    }
    QString nextPath() { return m_dir.file(QStringLiteral("export%1.csv").arg(++m_files)); }

private slots:
    void widthsFromTheFieldDefinitions()
    {
        // ID, Selected, Invalid, LetztesMail have size 0; Mail 100, Anrede 40,
        // Betreff 100, Name 80; the memo 0; a field without a line gets 10.
        QCOMPARE(TextExportWidths(definitionWith({kMemoLine}), 10),
                 (QList<int>{10, 10, 10, 10, 110, 50, 110, 90, 10, 10}));
    }

    void lines_data()
    {
        QTest::addColumn<bool>("header");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<bool>("onlyMarked");
        QTest::addColumn<QStringList>("lines");
        const QString title = pad("ID", 10) + ";" + pad("Selected", 10) + ";" + pad("Name", 90) + ";";
        QTest::newRow("padded with title")
            << true << false << ";" << false
            << QStringList{title, pad("1", 10) + ";" + pad("True", 10) + ";" + pad("Müller", 90) + ";",
                           pad("2", 10) + ";" + pad("False", 10) + ";" + pad("\"Zorn; Söhne\"", 90) + ";",
                           pad("3", 10) + ";" + pad("True", 10) + ";" + pad("\"Er sagte \"\"Hi\"\"\"", 90) + ";"};
        // Trim leaves the title padded and the values bare.
        QTest::newRow("trimmed with title, marked only")
            << true << true << ";" << true << QStringList{title, "1;True;Müller;", "3;True;\"Er sagte \"\"Hi\"\"\";"};
        QTest::newRow("tab, trimmed, no title")
            << false << true << "\t" << false
            << QStringList{"1\tTrue\tMüller\t", "2\tFalse\tZorn; Söhne\t", "3\tTrue\t\"Er sagte \"\"Hi\"\"\"\t"};
        QTest::newRow("two characters") << false << true << "||" << false
                                        << QStringList{"1||True||Müller||", "2||False||Zorn; Söhne||",
                                                       "3||True||\"Er sagte \"\"Hi\"\"\"||"};
    }
    void lines()
    {
        QFETCH(bool, header);
        QFETCH(bool, trim);
        QFETCH(QString, delimiter);
        QFETCH(bool, onlyMarked);
        QFETCH(QStringList, lines);
        AddressTable t;
        QVERIFY(openNew(t, {{{"Name", "Müller"}, {"Selected", true}},
                            {{"Name", "Zorn; Söhne"}, {"Selected", false}},
                            {{"Name", "Er sagte \"Hi\""}, {"Selected", true}}}));
        TextExportOptions o = options(t);
        o.header = header;
        o.trim = trim;
        o.delimiter = delimiter;
        const QString path = nextPath();
        const ExportSelection selection = onlyMarked ? *MarkedRecords(t) : ShownRecords(t);
        const ExportResult r = WriteTextExport(t, o, selection, path);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!r.utf8);
        QCOMPARE(r.rows, lines.size() - (header ? 1 : 0));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes, crlfLines(lines));
        QVERIFY(bytes.contains("M\xFCller"));

        if (delimiter.size() != 1)
            return; // Python's csv module reads one-character delimiters only
        READ_EXPORT(back, ReadDelimited(path, delimiter));
        QCOMPARE(back.encoding, QStringLiteral("cp1252"));
        QList<QStringList> values;
        if (header)
            values.append({"ID", "Selected", "Name"});
        values += QList<QStringList>{
            {"1", "True", "Müller"}, {"2", "False", "Zorn; Söhne"}, {"3", "True", "Er sagte \"Hi\""}};
        if (onlyMarked)
            values.removeAt(header ? 2 : 1);
        QCOMPARE(withoutPadding(back.rows), expectedRows(values));
    }

    void beyondWindows1252ItIsUtf8WithMark()
    {
        AddressTable t;
        QVERIFY(openNew(t, {{{"Name", "Łódź"}, {"Notiz", "zwei\r\nZeilen"}}, {{"Name", "Köln"}}}));
        TextExportOptions o;
        o.fields = {t.fieldIndex("Name"), t.fieldIndex("Notiz")};
        o.widths = {90, 10};
        o.trim = true;
        const QString path = nextPath();
        const ExportResult r = WriteTextExport(t, o, ShownRecords(t), path);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.utf8);
        QCOMPARE(r.rows, 2);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(
            f.readAll(),
            QByteArray("\xEF\xBB\xBF") +
                (pad("Name", 90) + ";" + pad("Notiz", 10) + ";\r\nŁódź;\"zwei\r\nZeilen\";\r\nKöln;;\r\n").toUtf8());
        READ_EXPORT(back, ReadDelimited(path, ";"));
        QCOMPARE(back.encoding, QStringLiteral("utf-8-sig"));
        QCOMPARE(withoutPadding(back.rows),
                 expectedRows({{"Name", "Notiz"}, {"Łódź", "zwei\r\nZeilen"}, {"Köln", ""}}));
    }

    void nothingMarkedLeavesTheTitleAndTheTableAsItWas()
    {
        AddressTable t;
        QVERIFY(openNew(
            t,
            {{{"Name", "Adler"}, {"Selected", false}}, {{"Name", "Berg"}}, {{"Name", "Brandt"}, {"Selected", false}}}));
        QVERIFY(t.setFilterText(QStringLiteral("Name='B*'")) && t.setFiltered(true));
        QVERIFY(t.last());
        const qint64 current = t.currentId();
        TextExportOptions o = options(t);
        const QString path = nextPath();
        ExportResult r = WriteTextExport(t, o, *MarkedRecords(t), path);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.rows, 0);
        QCOMPARE(m_dir.read(QFileInfo(path).fileName()),
                 crlfLines({pad("ID", 10) + ";" + pad("Selected", 10) + ";" + pad("Name", 90) + ";"}));
        o.header = false;
        QVERIFY(WriteTextExport(t, o, *MarkedRecords(t), path).ok);
        QCOMPARE(QFileInfo(path).size(), 0);
        QVERIFY(t.isFiltered());
        QCOMPARE(t.filterText(), QStringLiteral("Name='B*'"));
        QCOMPARE(t.currentId(), current);
        QCOMPARE(t.recordCount(), 2);
    }

    // Quotes, delimiters, line breaks and characters beyond ASCII at every
    // place of the first words of eight bytes of long values, padded by code
    // units; Windows-1252 while everything fits, UTF-8 from the one that does not.
    void awkwardValuesAnywhere_data()
    {
        QTest::addColumn<QStringList>("awkward");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("Windows-1252") << QStringList{"ä", "\"", "€", ";", "\r\n", "ß\"", "\n", "Œ;"} << false;
        QTest::newRow("UTF-8") << QStringList{"ä", "\"", "Ł", ";", "😀", "\r\n", "€\"", "\n"} << true;
    }
    void awkwardValuesAnywhere()
    {
        QFETCH(QStringList, awkward);
        QFETCH(bool, utf8);
        QList<FieldValues> records;
        QList<QStringList> values{{"Name", "Notiz"}};
        for (int at = 0; at < 20; ++at) {
            const QString &c = awkward.at(at % awkward.size());
            const QString name = QString(at, QLatin1Char('n')) + c + QStringLiteral("e");
            const QString note = QString(at + 3, QLatin1Char('x')) + c + QString(at % 9, QLatin1Char('y')) + c;
            records.append({{"Name", name}, {"Notiz", note}});
            values.append({name, note});
        }
        AddressTable t;
        QVERIFY(openNew(t, records));
        TextExportOptions o;
        o.fields = {t.fieldIndex("Name"), t.fieldIndex("Notiz")};
        o.widths = {24, 30};
        const QString path = nextPath();
        const ExportResult r = WriteTextExport(t, o, ShownRecords(t), path);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.utf8, utf8);

        // The lines as the layout asks for them, built from the texts.
        QString text;
        for (const QStringList &v : values) {
            for (qsizetype k = 0; k < v.size(); ++k) {
                QString cell = v.at(k);
                if (cell.contains(u'"') || cell.contains(u'\r') || cell.contains(u'\n') || cell.contains(u';'))
                    cell = QLatin1Char('"') + QString(cell).replace(u'"', QStringLiteral("\"\"")) + QLatin1Char('"');
                text += pad(cell, o.widths.at(k)) + QLatin1Char(';');
            }
            text += QStringLiteral("\r\n");
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), utf8 ? QByteArray("\xEF\xBB\xBF") + text.toUtf8() : EncodeWin1252(text));
        READ_EXPORT(back, ReadDelimited(path, ";"));
        QCOMPARE(back.encoding, utf8 ? QStringLiteral("utf-8-sig") : QStringLiteral("cp1252"));
        QCOMPARE(withoutPadding(back.rows), expectedRows(values));
    }

    void failures()
    {
        AddressTable t;
        QVERIFY(openNew(t, {{{"Name", "Adler"}}}));
        TextExportOptions o = options(t);
        const QString nowhere = m_dir.file(QStringLiteral("fehlt/export.csv"));
        ExportResult r = WriteTextExport(t, o, ShownRecords(t), nowhere);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith(QStringLiteral("Die Datei ") + nowhere + QStringLiteral(" kann nicht geschrieben")),
                 qPrintable(r.error));
        QVERIFY(!QFile::exists(nowhere));

        const QString path = nextPath();
        o.delimiter = QStringLiteral("\"");
        r = WriteTextExport(t, o, ShownRecords(t), path);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, TextExportDelimiterProblem(o.delimiter));
        QVERIFY(!r.error.isEmpty());
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestAsciiExport)
#include "tst_asciiexport.moc"
