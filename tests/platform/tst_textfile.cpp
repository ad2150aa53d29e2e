// Reading and writing text files: encodings, line ends, atomic replacement.
#include "testfolder.h"
#include "textfile.h"
#include "win1252.h"

#include <QFile>
#include <QTest>

class TestTextFile : public QObject
{
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("abc") << QStringLiteral("abc");
        QTest::newRow("utf8 without bom") << QByteArray("M\xC3\xBCller") << QStringLiteral("Müller");
        QTest::newRow("utf8 with bom") << QByteArray("\xEF\xBB\xBFM\xC3\xBCller") << QStringLiteral("Müller");
        QTest::newRow("win1252 umlaut") << QByteArray("M\xFCller") << QStringLiteral("Müller");
        QTest::newRow("win1252 euro and quotes") << QByteArray("\x80 \x84x\x93") << QStringLiteral("€ „x“");
        QTest::newRow("undefined byte keeps its value") << QByteArray("a\x81z") << QStringLiteral("a\u0081z");
        QTest::newRow("utf16le bom") << QByteArray("\xFF\xFE" "a\0b\0", 6) << QStringLiteral("ab");
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(vt::DecodeText(bytes), text);
    }

    void splitLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("crlf with final end") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lf without final end") << QStringLiteral("a\nb") << QStringList{"a", "b"};
        QTest::newRow("lone cr") << QStringLiteral("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("blank lines kept") << QStringLiteral("a\r\n\r\n\nb") << QStringList{"a", "", "", "b"};
        QTest::newRow("trailing blanks kept") << QStringLiteral("Version 1 \r\n") << QStringList{"Version 1 "};
    }
    void splitLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(vt::SplitLines(text), lines);
    }

    void encodeWin1252()
    {
        // Characters outside the code page are written as "?".
        QCOMPARE(vt::EncodeWin1252(QStringLiteral("Grüße € ą")), QByteArray("Gr\xFC\xDF\x65 \x80 ?"));
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            QCOMPARE(vt::EncodeWin1252(vt::DecodeWin1252(one)), one);
        }
        QVERIFY(vt::FitsWin1252(QStringLiteral("Straße €")));
        QVERIFY(!vt::FitsWin1252(QStringLiteral("Łódź")));
    }

    void writeLinesIsWin1252WithCrLf()
    {
        TestFolder dir;
        const QString p = dir.file("out.txt");
        QVERIFY(vt::WriteLines(p, {QStringLiteral("Grüße"), QString(), QStringLiteral("x")}));
        QCOMPARE(dir.read("out.txt"), QByteArray("Gr\xFC\xDF\x65\r\n\r\nx\r\n"));
        QCOMPARE(vt::ReadLines(p), (QStringList{QStringLiteral("Grüße"), QString(), QStringLiteral("x")}));
    }

    void appendKeepsWhatIsThere()
    {
        TestFolder dir;
        const QString p = dir.file("log.txt");
        QVERIFY(vt::AppendLines(p, {QStringLiteral("eins")}));
        QVERIFY(vt::AppendLines(p, {QStringLiteral("zwei"), QStringLiteral("drei")}));
        QCOMPARE(dir.read("log.txt"), QByteArray("eins\r\nzwei\r\ndrei\r\n"));
    }

    void ownerOnlyFiles()
    {
        TestFolder dir;
        const QString p = dir.file("secret.ini");
        vt::WriteOptions opt;
        opt.ownerOnly = true;
        QVERIFY(vt::WriteLines(p, {QStringLiteral("password=x")}, opt));
        const auto perms = QFile(p).permissions();
        QVERIFY(perms & QFile::ReadOwner);
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther)));
    }

    void unreadableFile()
    {
        bool ok = true;
        QVERIFY(vt::ReadLines(QStringLiteral("/nonexistent/x.txt"), &ok).isEmpty());
        QVERIFY(!ok);
        QString err;
        QVERIFY(!vt::WriteLines(QStringLiteral("/nonexistent/dir/x.txt"), {QStringLiteral("a")}, {}, &err));
        QVERIFY(!err.isEmpty());
    }

    void exportEncoding()
    {
        QCOMPARE(vt::EncodingForExport(QStringLiteral("Müller €")), vt::TextEncoding::Win1252);
        QCOMPARE(vt::EncodingForExport(QStringLiteral("Wałęsa")), vt::TextEncoding::Utf8Bom);
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
