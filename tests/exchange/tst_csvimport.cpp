// Delimited text import: reading (encodings, line ends, RFC 4180 quoting),
// the rules of the import (empty columns, "*", blacklist, header, fixed value)
// and writing into a real table in one transaction.
#include "csvimport.h"
#include "csvreader.h"
#include "importfixture.h"

#include <QStringEncoder>
#include <QTest>

using namespace vt;

class TestCsvImport : public QObject
{
    Q_OBJECT

    TestFolder m_dir;

    QString file(const QString &name, const QByteArray &bytes)
    {
        m_dir.write(name, bytes);
        return m_dir.file(name);
    }

    static TextImportSettings settings(const QString &path, const QString &delimiter, const QList<int> &columns,
                                       const QString &quote = "\"")
    {
        TextImportSettings s;
        s.path = path;
        s.format = {delimiter, quote};
        s.columns = columns;
        return s;
    }

private slots:
    void reading_data()
    {
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("quote");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("records");

        QTest::newRow("empty columns keep their place")
            << ";"
            << "" << QByteArray("a;;b\n;a;b\na;b;\n;;\n") << QStringList{"a||b", "|a|b", "a|b|", "||"};
        QTest::newRow("every star removed") << ";"
                                            << "" << QByteArray("x*y;z\n") << QStringList{"xy|z"};
        QTest::newRow("quotes removed, doubled quote kept once")
            << ";"
            << "\"" << QByteArray("\"x\";y\n\"a \"\"b\"\"\";c\n") << QStringList{"x|y", "a \"b\"|c"};
        QTest::newRow("delimiter inside quotes")
            << ","
            << "\"" << QByteArray("\"Müller, Hans\",m@x.de\n") << QStringList{"Müller, Hans|m@x.de"};
        QTest::newRow("line break inside quotes")
            << ","
            << "\"" << QByteArray("\"Str. 1\r\nHof\",x\r\ny,z\r\n") << QStringList{"Str. 1\r\nHof|x", "y|z"};
        QTest::newRow("leading tab is an empty column") << "\t"
                                                        << "" << QByteArray("\tb\tc\n") << QStringList{"|b|c"};
        QTest::newRow("blank delimiter, blanks in a row") << " "
                                                          << "" << QByteArray("a  b\n") << QStringList{"a||b"};
        QTest::newRow("star as delimiter") << "*"
                                           << "" << QByteArray("a*b\n") << QStringList{"a|b"};
        QTest::newRow("non-ASCII delimiter and quote") << "§"
                                                       << "´" << QByteArray("´a§b´§c\n") << QStringList{"a§b|c"};
        QTest::newRow("no quote character") << ";"
                                            << "" << QByteArray("\"x\";y\n") << QStringList{"\"x\"|y"};
        QTest::newRow("each character of the delimiter text separates")
            << ";,"
            << "" << QByteArray("a;b,c\n") << QStringList{"a|b|c"};
        QTest::newRow("blank lines left out") << ";"
                                              << "" << QByteArray("a\n\n   \nb") << QStringList{"a", "b"};
        QTest::newRow("CR LF, lone CR, no line end at the end")
            << ";"
            << "" << QByteArray("a;1\r\nb;2\rc;3") << QStringList{"a|1", "b|2", "c|3"};
    }
    void reading()
    {
        QFETCH(QString, delimiter);
        QFETCH(QString, quote);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, records);
        const DelimitedFormat format{delimiter, quote};
        DelimitedTextReader reader(file("reading.txt", bytes), format);
        QVERIFY2(reader.open(), qPrintable(reader.error()));
        QStringList got;
        QVERIFY(reader.read([&](const QStringList &values, qint64, qint64) {
            got.append(PreparedValues(values, format).join('|'));
            return true;
        }));
        QCOMPARE(got, records);
    }

    // A quote that never closes spoils its own line only; records spanning
    // lines are numbered by their first line.
    void lineNumbersAndUnclosedQuote()
    {
        const QByteArray bytes = "\"x\ny\";4\na;1\n\"open;2\nc;3\nz;5\n\"last";
        DelimitedTextReader reader(file("quotes.txt", bytes), {";", "\""});
        QVERIFY(reader.open());
        QCOMPARE(reader.lineCount(), 7);
        QStringList got;
        QList<qint64> starts, ends, unreadable;
        QVERIFY(reader.read(
            [&](const QStringList &values, qint64 line, qint64 lastLine) {
                got.append(values.join('|'));
                starts.append(line);
                ends.append(lastLine);
                return true;
            },
            [&](qint64 line) { unreadable.append(line); }));
        QCOMPARE(got, (QStringList{"x\ny|4", "a|1", "c|3", "z|5"}));
        QCOMPARE(starts, (QList<qint64>{0, 2, 4, 5}));
        QCOMPARE(ends, (QList<qint64>{1, 2, 4, 5}));
        QCOMPARE(unreadable, (QList<qint64>{3, 6}));
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("delimiter");
        auto utf16 = [](const QString &s, QStringConverter::Encoding e) {
            QStringEncoder enc(e, QStringConverter::Flag::WriteBom);
            return QByteArray(enc.encode(s));
        };
        QTest::newRow("Windows-1252") << QByteArray("M\xFCller;m@x.de\r\n") << ";";
        QTest::newRow("UTF-8") << QByteArray("Müller;m@x.de\n") << ";";
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFMüller;m@x.de\n") << ";";
        QTest::newRow("UTF-16LE with BOM, tabs") << utf16("Müller\tm@x.de\r\n", QStringConverter::Utf16LE) << "Tab";
        QTest::newRow("UTF-16BE with BOM") << utf16("Müller;m@x.de", QStringConverter::Utf16BE) << ";";
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, delimiter);
        ImportTable t;
        ImportProgress progress;
        const TextImportSettings s = settings(file("enc.txt", bytes), delimiter == "Tab" ? "\t" : delimiter,
                                              t.columns({{"Name", 1}, {"Mail", 2}}));
        const ImportOutcome o = ImportDelimitedText(t.table, t.fields, s, progress);
        QVERIFY2(!o.failed, qPrintable(o.error));
        QCOMPARE(t.records({"Name", "Mail"}), QStringList{"Müller|m@x.de"});
    }

    // A file that is UTF-8 for more than the first megabyte and has
    // Windows-1252 bytes later: the preview and the import read it alike (what
    // the preview shows is stored), and the user is asked before anything is.
    void lateForeignBytes()
    {
        QByteArray bytes = "Müller;m@x.de\n";
        for (int i = 0; bytes.size() <= (1 << 20) + 500; ++i)
            bytes += "Nummer " + QByteArray::number(i) + ";n" + QByteArray::number(i) + "@x.de\n";
        const int filler = int(bytes.count('\n')) - 1;
        bytes += "J\xF6rg;j@x.de\r\nPlain;p@x.de\n\xC4nne \xE9;a@x.de\n";
        ImportTable t;
        const TextImportSettings s = settings(file("spaet.csv", bytes), ";", t.columns({{"Name", 1}, {"Mail", 2}}));
        QCOMPARE(PreviewDelimitedText(t.fields, s, 1).rows.value(0).value(t.field("Name")), QString("Müller"));

        ImportProgress progress;
        QStringList asked;
        auto answer = [&](bool yes) {
            return [&asked, yes](const QString &text) {
                asked.append(text);
                return yes;
            };
        };
        const ImportOutcome no = ImportDelimitedText(t.table, t.fields, s, progress, answer(false));
        QVERIFY(no.cancelled && !no.failed);
        QCOMPARE(t.table.recordCount(), 0);
        QCOMPARE(asked,
                 QStringList{"Die Datei \"" + s.path +
                             "\" ist an ihrem Anfang UTF-8-kodiert und wird so "
                             "gelesen, wie die Vorschau sie zeigt. In Zeile " +
                             QString::number(filler + 2) +
                             " (insgesamt 2 Zeilen) stehen aber Zeichen, die nicht UTF-8-kodiert sind. Diese "
                             "Zeichen werden als Windows-1252 (Westeuropäisch) gelesen, zum Beispiel ein Byte FC "
                             "als \"ü\".\r\rSoll die Datei so importiert werden?"});

        const ImportOutcome yes = ImportDelimitedText(t.table, t.fields, s, progress, answer(true));
        QVERIFY2(!yes.failed && !yes.cancelled, qPrintable(yes.error));
        const QStringList records = t.records({"Name", "Mail"});
        QCOMPARE(records.size(), filler + 4);
        QCOMPARE(records.first(), QString("Müller|m@x.de"));
        QCOMPARE(records.mid(records.size() - 3), (QStringList{"Jörg|j@x.de", "Plain|p@x.de", "Änne é|a@x.de"}));

        // Foreign bytes in the first megabyte decide for Windows-1252: nothing to ask.
        asked.clear();
        ImportTable early;
        const TextImportSettings e = settings(file("frueh.csv", "J\xF6rg;j@x.de\nM\xC3\xBCller;m@x.de\n"), ";",
                                              early.columns({{"Name", 1}, {"Mail", 2}}));
        QVERIFY(!ImportDelimitedText(early.table, early.fields, e, progress, answer(true)).failed);
        QVERIFY(asked.isEmpty());
        QCOMPARE(early.records({"Name"}), (QStringList{"Jörg", "MÃ¼ller"}));
        QCOMPARE(PreviewDelimitedText(early.fields, e, 2).rows.value(1).value(early.field("Name")), QString("MÃ¼ller"));
    }

    // A quote that opens a value and is closed lines later makes one record of
    // several lines: legal, but each such record is counted and named by its lines.
    void recordsOverSeveralLines()
    {
        ImportTable t;
        const TextImportSettings s =
            settings(file("mehrzeilig.csv", "\"Anna;a@x.de\nBert;b@x.de\nDora;d@x.de\n\"Carl\";c@x.de\n"
                                            "Emil;e@x.de\n\"Fritz\nFranz\";f@x.de\n"),
                     ";", t.columns({{"Name", 1}, {"Mail", 2}}));
        ImportProgress progress;
        const ImportOutcome o = ImportDelimitedText(t.table, t.fields, s, progress);
        QVERIFY(!o.failed);
        QCOMPARE(o.imported, 3);
        QCOMPARE(ImportNotesText(o),
                 QString("2 Datensätze gehen über mehrere Zeilen der Datei (Zeilen 1 bis 4, 6 bis 7), weil Werte in "
                         "Anführungszeichen Zeilenumbrüche enthalten. Fehlt dort ein schließendes Anführungszeichen, "
                         "sind mehrere Zeilen zu einem Datensatz geworden: bitte prüfen Sie diese Datensätze."));
        const ImportPreview p = PreviewDelimitedText(t.fields, s, 2);
        QCOMPARE(p.lines, (QList<QPair<qint64, qint64>>{{1, 4}, {5, 5}}));
        QCOMPARE(p.note, QString("In der Vorschau: 1 Datensatz geht über mehrere Zeilen der Datei (Zeilen 1 bis 4), "
                                 "weil ein Wert in Anführungszeichen Zeilenumbrüche enthält. Fehlt dort ein "
                                 "schließendes Anführungszeichen, werden mehrere Zeilen zu einem Datensatz."));
    }

    // A file as Python's csv module writes it: quoted values with delimiters,
    // quotes and line breaks, a header line; each record marked, valid and
    // without a last mail date.
    void pythonWrittenFile()
    {
        const QString path = m_dir.file("python.csv");
        QVERIFY(runPython("import csv, sys\n"
                          "with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:\n"
                          "    w = csv.writer(f)\n"
                          "    w.writerow(['Mail', 'Name', 'Str'])\n"
                          "    w.writerow(['a@x.de', 'Müller, Hans', 'Hauptstr. 1\\nHinterhaus'])\n"
                          "    w.writerow(['b@x.de', 'Sagte \"Hallo\"', ''])\n"
                          "    w.writerow(['c@x.de', 'Ölmann', ';semi'])\n",
                          {path}));
        ImportTable t;
        TextImportSettings s = settings(path, ",", t.columns({{"Mail", 1}, {"Name", 2}, {"Str", 3}}));
        s.skipHeader = true;
        QStringList shown;
        ImportProgress progress([&](const QString &text) { shown.append(text); });
        const ImportOutcome o = ImportDelimitedText(t.table, t.fields, s, progress);
        QVERIFY2(!o.failed, qPrintable(o.error));
        QCOMPARE(o.imported, 3);
        QCOMPARE(t.records({"Mail", "Name", "Str", "Selected", "Invalid", "LetztesMail"}),
                 (QStringList{"a@x.de|Müller, Hans|Hauptstr. 1\nHinterhaus|True|False|",
                              "b@x.de|Sagte \"Hallo\"||True|False|", "c@x.de|Ölmann|;semi|True|False|"}));
        // The header is line 0; the first record's text names line 1 of the 5 lines.
        QCOMPARE(shown.value(0), QString("Import: 1 von 5"));
    }

    void blacklist_data()
    {
        QTest::addColumn<QByteArray>("terms");
        QTest::addColumn<QStringList>("imported");
        const QStringList all{"Hans Muster", "Eva MUSTER", "Jörg Äpfel", "Kim Wald"};
        QTest::newRow("any letter case") << QByteArray("muster\n") << QStringList{"Jörg Äpfel", "Kim Wald"};
        QTest::newRow("umlauts without regard to case")
            << QByteArray("äpfel\n") << QStringList{"Hans Muster", "Eva MUSTER", "Kim Wald"};
        QTest::newRow("blank and empty terms match nothing") << QByteArray("   \n\n") << all;
        QTest::newRow("several terms, one a part of another")
            << QByteArray("wald\nster\nmuster\n") << QStringList{"Jörg Äpfel"};
        QTest::newRow("a domain") << QByteArray("@beispiel.de\n") << QStringList{"Hans Muster", "Eva MUSTER"};
    }
    void blacklist()
    {
        QFETCH(QByteArray, terms);
        QFETCH(QStringList, imported);
        ImportTable t;
        TextImportSettings s =
            settings(file("bl.txt", "Hans Muster;h@x.de\nEva MUSTER;e@x.de\nJörg Äpfel;j@beispiel.de\n"
                                    "Kim Wald;k@beispiel.de\n"),
                     ";", t.columns({{"Name", 1}}));
        s.blacklistPath = file("terms.txt", terms);
        ImportProgress progress;
        QVERIFY(!ImportDelimitedText(t.table, t.fields, s, progress).failed);
        QCOMPARE(t.records({"Name"}), imported);
        // The preview leaves out the same lines.
        QStringList names;
        for (const QStringList &row : PreviewDelimitedText(t.fields, s, 20).rows)
            names.append(row.at(t.field("Name")));
        QCOMPARE(names, imported);
    }

    void fixedValueAndUnmappedFields()
    {
        ImportTable t;
        TextImportSettings s = settings(file("fixed.txt", "a@x.de;Kunde\nb@x.de;Lieferant\n"), ";",
                                        t.columns({{"Mail", 1}, {"Kategorie", 2}}));
        s.fixedField = t.field("Kategorie");
        s.fixedText = "  Messe 2024 ";
        ImportProgress progress;
        QVERIFY(!ImportDelimitedText(t.table, t.fields, s, progress).failed);
        QCOMPARE(t.records({"Mail", "Kategorie", "Name"}), (QStringList{"a@x.de|Messe 2024|", "b@x.de|Messe 2024|"}));

        // Every column at 0: each line still gives a marked record with empty fields.
        ImportTable zero;
        s.columns = QList<int>(zero.fields.size(), 0);
        s.fixedField = -1;
        QCOMPARE(ImportDelimitedText(zero.table, zero.fields, s, progress).imported, 2);
        QCOMPARE(zero.records({"Mail", "Selected"}), (QStringList{"|True", "|True"}));
    }

    // A value the field cannot take skips its row, counted and named by line; a
    // text longer than its field is kept whole (a cut address is another address).
    void rowsSkippedAndLongTextsKept()
    {
        ImportTable t(definitionWith(
            {"Alter| ftInteger | False |0| | | | FALSE | Alter", "PLZ| ftString | False |5| | | | FALSE | PLZ"}));
        const TextImportSettings s =
            settings(file("skip.txt", "a@x.de;41;12345\nb@x.de;viele;1\nc@x.de;7;1234567\nd@x.de;;\n"), ";",
                     t.columns({{"Mail", 1}, {"Alter", 2}, {"PLZ", 3}}));
        ImportProgress progress;
        const ImportOutcome o = ImportDelimitedText(t.table, t.fields, s, progress);
        QVERIFY(!o.failed);
        QCOMPARE(t.records({"Mail", "Alter", "PLZ"}), (QStringList{"a@x.de|41|12345", "c@x.de|7|1234567", "d@x.de||"}));
        QCOMPARE(o.imported, 3);
        QCOMPARE(o.skippedLines, QList<qint64>{2});
        QCOMPARE(ImportNotesText(o), QString("1 Datensatz konnte nicht gelesen werden (Zeile 2).\r'viele' ist kein "
                                             "gültiger Ganzzahlwert. (Feld \"Alter\")"));
    }

    // The table fails in the middle of the file (its disk is full): nothing of
    // the import stays, and the failure is said.
    void tableFailureLeavesTableUnchanged()
    {
        ImportTable t;
        QVERIFY(fill(t.table, {{{"Mail", "alt@x.de"}}}));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += QByteArray::number(i) + "@example.com;Ein recht langer Name für Nummer " + QByteArray::number(i) +
                     ";Lange Straße " + QByteArray::number(i) + "\n";
        const QVariant pages = execOnTable(t.table, "PRAGMA page_count");
        QVERIFY(pages.isValid());
        QVERIFY(execOnTable(t.table, QString("PRAGMA max_page_count = %1").arg(pages.toInt() + 3)).isValid());
        ImportProgress progress;
        const ImportOutcome o = ImportDelimitedText(
            t.table, t.fields, settings(file("big.txt", bytes), ";", t.columns({{"Mail", 1}, {"Name", 2}, {"Str", 3}})),
            progress);
        QVERIFY(o.failed);
        QVERIFY2(o.error.contains("full"), qPrintable(o.error));
        QCOMPARE(o.imported, 0);
        QVERIFY(execOnTable(t.table, "PRAGMA max_page_count = 1000000").isValid());
        QCOMPARE(t.records({"Mail"}), QStringList{"alt@x.de"});
    }

    void refusedSources_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("error");
        QTest::newRow("binary junk") << QByteArray("PK\x03\x04\x00\x00junk;x\n", 12) << ";"
                                     << "ist keine Textdatei";
        QTest::newRow("no delimiter") << QByteArray("a;b\n") << ""
                                      << "Bitte geben Sie ein Trennzeichen an!";
        QTest::newRow("delimiter equals quote") << QByteArray("a;b\n") << "\""
                                                << "Trennzeichen und Feld Delimiter müssen verschieden sein!";
    }
    void refusedSources()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, delimiter);
        QFETCH(QString, error);
        ImportTable t;
        ImportProgress progress;
        const ImportOutcome o = ImportDelimitedText(
            t.table, t.fields, settings(file("junk.csv", bytes), delimiter, t.columns({{"Mail", 1}})), progress);
        QVERIFY(o.failed);
        QVERIFY2(o.error.contains(error), qPrintable(o.error));
        QCOMPARE(t.table.recordCount(), 0);
        ImportProgress none;
        const ImportOutcome missing = ImportDelimitedText(
            t.table, t.fields, settings(m_dir.file("nicht-da.csv"), ";", t.columns({{"Mail", 1}})), none);
        QCOMPARE(missing.error, CannotOpenFileText(m_dir.file("nicht-da.csv")));
    }

    void preview()
    {
        ImportTable t;
        TextImportSettings s = settings(file("prev.txt", "Mail;Name\na@x.de;Anna\nb@x.de;Bert\n"), ";",
                                        t.columns({{"Mail", 1}, {"Name", 2}}));
        s.skipHeader = true;
        const ImportPreview p = PreviewDelimitedText(t.fields, s, 5);
        QVERIFY(p.error.isEmpty());
        QCOMPARE(p.rows.size(), 2);
        QCOMPARE(p.rows.at(1).at(0), QString("b@x.de"));
        QCOMPARE(p.rows.at(1).size(), t.fields.size());
        QCOMPARE(PreviewDelimitedText(t.fields, s, 1).rows.size(), 1);
    }

    void columnMap()
    {
        // 12 fields and a file of 5 lines: the first 4 boxes take its lines, the rest read 0.
        const QString path = file("Database.imp", "3\n1\n\n7\n;\n");
        QCOMPARE(ReadColumnMap(path, 12), (QStringList{"3", "1", "", "7", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QCOMPARE(ReadColumnMap(m_dir.file("fehlt.imp"), 2), (QStringList{"0", "0"}));
        QVERIFY(WriteColumnMap(path, {"2", "x"}, "\t"));
        QCOMPARE(m_dir.read("Database.imp"), QByteArray("2\r\nx\r\n\r\n"));
        QCOMPARE(ColumnMapPath("/d/Data/", "Kunden.neu.ini"), QString("/d/Data/Kunden.imp"));
    }

    void integerText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::newRow("digits") << "12" << true;
        QTest::newRow("signs") << "-3" << true;
        QTest::newRow("plus") << "+0" << true;
        QTest::newRow("blanks around") << " 4 " << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("sign only") << "-" << false;
        QTest::newRow("decimal") << "1,5" << false;
        QTest::newRow("hex") << "$1F" << false;
        QTest::newRow("too large") << "99999999999" << false;
    }
    void integerText()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QCOMPARE(IsIntegerText(text), whole);
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
