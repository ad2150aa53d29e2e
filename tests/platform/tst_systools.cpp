// Word, fill, number, path, colour and system routines.
#include "systools.h"
#include "text.h"

#include <QTest>

using namespace vt;

class TestSysTools : public QObject
{
    Q_OBJECT
private slots:
    void words_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delims");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("empty column is no column") << "a||b"
                                                   << "|" << QStringList{"a", "b"};
        QTest::newRow("delimiters at both ends") << "|a|"
                                                 << "|" << QStringList{"a"};
        QTest::newRow("only delimiters") << "||"
                                         << "|" << QStringList{};
        QTest::newRow("empty text") << ""
                                    << "|" << QStringList{};
        QTest::newRow("words not trimmed") << " ab | cd"
                                           << "|" << QStringList{" ab ", " cd"};
        QTest::newRow("blank column is a word") << "a| |b"
                                                << "|" << QStringList{"a", " ", "b"};
        QTest::newRow("delimiter set") << "k=v;x"
                                       << "=;" << QStringList{"k", "v", "x"};
        QTest::newRow("empty delimiter set") << "a|b"
                                             << "" << QStringList{"a|b"};
    }
    void words()
    {
        QFETCH(QString, text);
        QFETCH(QString, delims);
        QFETCH(QStringList, words);
        QCOMPARE(CountDelimitedWords(text, delims), words.size());
        QCOMPARE(DelimitedWords(text, delims), words);
        for (int n = 1; n <= words.size(); ++n)
            QCOMPARE(ExtractDelimitedWord(n, text, delims), words.at(n - 1));
        // Past the last word, and word 0, give nothing.
        QCOMPARE(ExtractDelimitedWord(int(words.size()) + 1, text, delims), QString());
        QCOMPARE(ExtractDelimitedWord(0, text, delims), QString());
        int pos = -1;
        QVERIFY(!FindWordStart(int(words.size()) + 1, text, delims, pos));
        QVERIFY(!FindWordStart(0, text, delims, pos));
    }

    void findWordStart()
    {
        int pos = 0;
        QVERIFY(FindWordStart(2, QStringLiteral("||ab||cd"), QStringLiteral("|"), pos));
        QCOMPARE(pos, 7); // 1-based
        QVERIFY(FindWordStart(1, QStringLiteral("ab"), QStringLiteral("|"), pos));
        QCOMPARE(pos, 1);
    }

    void isDelimiterChar()
    {
        QVERIFY(IsDelimiterChar(QStringLiteral("|;"), u';'));
        QVERIFY(!IsDelimiterChar(QStringLiteral("|;"), u','));
        QVERIFY(!IsDelimiterChar(QString(), u'|'));
    }

    void splitToList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("empty parts kept") << "a  b" << QStringList{"a", "", "b"};
        QTest::newRow("trailing separator") << "a " << QStringList{"a", ""};
        QTest::newRow("empty text is one empty item") << "" << QStringList{""};
        QTest::newRow("no separator") << "abc" << QStringList{"abc"};
    }
    void splitToList()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, parts);
        QCOMPARE(SplitToList(text, u' '), parts);
    }

    void padding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::newRow("filled") << "7" << 3 << "007"
                                << "700";
        QTest::newRow("never cut") << "1234" << 3 << "1234"
                                   << "1234";
        QTest::newRow("exact width") << "123" << 3 << "123"
                                     << "123";
        QTest::newRow("empty") << "" << 2 << "00"
                               << "00";
        QTest::newRow("zero width") << "x" << 0 << "x"
                                    << "x";
    }
    void padding()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QCOMPARE(PadLeft(text, u'0', width), left);
        QCOMPARE(PadRight(text, u'0', width), right);
    }

    void formatFixed_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("decimals filled") << 12.5 << 4 << 2 << "12.50";
        QTest::newRow("never cut") << 100.0 << 4 << 2 << "100.00";
        QTest::newRow("blanks in front") << 1.5 << 6 << 1 << "   1.5";
        QTest::newRow("half away from zero") << 0.125 << 0 << 2 << "0.13";
        QTest::newRow("negative half") << -2.5 << 0 << 0 << "-3";
        QTest::newRow("no decimals") << 3.4 << 3 << 0 << "  3";
    }
    void formatFixed()
    {
        QFETCH(double, value);
        QFETCH(int, width);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        // A full stop whatever the locale.
        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(FormatFixed(value, width, decimals), text);
        QLocale::setDefault(QLocale::c());
    }

    void addTrailingBackslash_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("result");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("drive") << "C:"
                               << "C:\\";
        QTest::newRow("two characters") << "ab"
                                        << "ab";
        QTest::newRow("one character") << "a"
                                       << "a";
        QTest::newRow("three characters") << "abc"
                                          << "abc\\";
        QTest::newRow("already there") << "C:\\Daten\\"
                                       << "C:\\Daten\\";
    }
    void addTrailingBackslash()
    {
        QFETCH(QString, path);
        QFETCH(QString, result);
        QCOMPARE(AddTrailingBackslash(path), result);
    }

    void extractDirectoryPart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("result");
        QTest::newRow("folder below the root") << "C:\\Programme\\Vantrel\\vantrel.exe"
                                               << "C:\\Programme\\Vantrel";
        QTest::newRow("root of a drive") << "C:\\vantrel.exe"
                                         << "C:\\";
        QTest::newRow("drive without backslash") << "C:x.exe"
                                                 << "C:";
        QTest::newRow("no folder") << "vantrel.exe"
                                   << "";
        QTest::newRow("backslash first") << "\\x.exe"
                                         << "\\";
        QTest::newRow("share") << "\\\\server\\share\\x.ini"
                               << "\\\\server\\share";
    }
    void extractDirectoryPart()
    {
        QFETCH(QString, path);
        QFETCH(QString, result);
        QCOMPARE(ExtractDirectoryPart(path), result);
    }

    void systemChecks()
    {
        QVERIFY(IsVistaOrLater());
        QVERIFY(!IsWindows7());
        QVERIFY(!IsWindowsLiveMailInstalled());
    }

    void isDigitsOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("digits");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("leading blank") << " 25" << false;
        QTest::newRow("leading zero") << "025" << true;
        QTest::newRow("sign") << "-1" << false;
        QTest::newRow("arabic-indic digit") << QStringLiteral("1\u0663") << false;
    }
    void isDigitsOnly()
    {
        QFETCH(QString, text);
        QFETCH(bool, digits);
        QCOMPARE(IsDigitsOnly(text), digits);
    }

    void randomString()
    {
        QCOMPARE(RandomString(0, kRandomAlphabet), QString());
        const QString s = RandomString(10, kRandomAlphabet);
        QCOMPARE(s.size(), 10);
        for (QChar c : s)
            QVERIFY(kRandomAlphabet.contains(c));
        QCOMPARE(RandomString(5, QStringLiteral("x")), QStringLiteral("xxxxx"));
        // Every letter of a two-letter alphabet turns up in a long draw.
        const QString ab = RandomString(200, QStringLiteral("ab"));
        QVERIFY(ab.contains(u'a') && ab.contains(u'b'));
    }

    void trimmedAndCase()
    {
        // Code 32 and below goes, a no-break space stays.
        QCOMPARE(Trimmed(QStringLiteral("\x01 a\u00A0 \t")), QStringLiteral("a\u00A0"));
        QCOMPARE(AsciiUpper(QStringLiteral("straße é")), QStringLiteral("STRAßE é"));
        QCOMPARE(FoldCase(QStringLiteral("ÄÖÜß")), QStringLiteral("äöüß"));
        QVERIFY(!ContainsText(QStringLiteral("abc"), QString()));
    }
};

QTEST_GUILESS_MAIN(TestSysTools)
#include "tst_systools.moc"
