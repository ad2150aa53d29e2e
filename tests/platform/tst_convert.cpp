// The address check and the character conversions.
#include "convert.h"

#include <QTest>

using namespace vt;

class TestConvert : public QObject
{
    Q_OBJECT
private slots:
    void isValidEmailAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "anna.meier@example.de" << true;
        QTest::newRow("capitals") << "ANNA.MEIER@EXAMPLE.DE" << true;
        QTest::newRow("upper-case accent") << QStringLiteral("Émile@example.fr") << true;
        QTest::newRow("hash dollar ampersand") << "a#b$c&d@example.de" << true;
        QTest::newRow("bar passes") << "a|b@example.de" << true;
        QTest::newRow("hyphen and underscore inside") << "a_b-c@ex-ample.de" << true;
        QTest::newRow("lower-case accent") << QStringLiteral("émile@example.fr") << false;
        QTest::newRow("umlaut") << QStringLiteral("müller@example.de") << false;
        QTest::newRow("plus") << "anna+news@example.de" << false;
        QTest::newRow("two at") << "anna@meier@example.de" << false;
        QTest::newRow("at dot") << "anna@.example.de" << false;
        QTest::newRow("dot at") << "anna.@example.de" << false;
        QTest::newRow("at hyphen") << "anna@-example.de" << false;
        QTest::newRow("two dots") << "anna..meier@example.de" << false;
        QTest::newRow("blank") << "anna meier@example.de" << false;
        QTest::newRow("ends in hyphen") << "anna@example.de-" << false;
        QTest::newRow("ends in underscore") << "anna@example.de_" << false;
        QTest::newRow("ends in dot") << "anna@example.de." << false;
        QTest::newRow("starts with dot") << ".anna@example.de" << false;
        QTest::newRow("starts with at") << "@example.de" << false;
        QTest::newRow("underscore in domain") << "anna@ex_ample.de" << false;
        QTest::newRow("domain without dot") << "anna.meier@localhost" << false;
        QTest::newRow("no at") << "anna.example.de" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blocked domain any case") << "x@SpamTrap.Invalid" << false;
        QTest::newRow("line break") << "anna@example.de\nBcc: x@example.de" << false;
        QTest::newRow("tab") << "anna@exam\tple.de" << false;
        QTest::newRow("delete character") << QStringLiteral("anna@example.de\u007F") << false;
        QTest::newRow("semicolon") << "anna@example.de;b@example.de" << false;
        // 254 characters is the most SMTP carries.
        QTest::newRow("254 characters") << QString(64, 'a') + "@" + QString(186, 'b') + ".de" << true;
        QTest::newRow("255 characters") << QString(64, 'a') + "@" + QString(187, 'b') + ".de" << false;
    }
    void isValidEmailAddress()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidEmailAddress(address), valid);
    }

    void umlautsToUtf8_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("O umlaut") << QByteArray("\xD6") << QByteArray("\xC3\x96");
        QTest::newRow("all seven") << QByteArray("\xDC\xFC\xC4\xE4\xD6\xF6\xDF")
                                   << QByteArray("\xC3\x9C\xC3\xBC\xC3\x84\xC3\xA4\xC3\x96\xC3\xB6\xC3\x9F");
        QTest::newRow("euro unchanged") << QByteArray("\x80") << QByteArray("\x80");
        QTest::newRow("other accents unchanged") << QByteArray("\xE9\xE0") << QByteArray("\xE9\xE0");
    }
    void umlautsToUtf8()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(UmlautsToUtf8(in), out);
    }

    void utf8UmlautsToAnsi_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("odd A umlaut form") << QByteArray("\xC3\x22") << QByteArray("\xC4");
        QTest::newRow("odd O umlaut form") << QByteArray("\xC3\xFB") << QByteArray("\xD6");
        QTest::newRow("utf8 euro") << QByteArray("\xE2\x82\xAC") << QByteArray("Euro");
        QTest::newRow("ansi euro") << QByteArray("5 \x80") << QByteArray("5 Euro");
        QTest::newRow("round trip") << UmlautsToUtf8("\xDC\xFC\xC4\xE4\xD6\xF6\xDF")
                                    << QByteArray("\xDC\xFC\xC4\xE4\xD6\xF6\xDF");
        // A replacement never makes a match for a later row: C3 C3 9C becomes C3 DC, not more.
        QTest::newRow("no chained match") << QByteArray("\xC3\xC3\x9C") << QByteArray("\xC3\xDC");
    }
    void utf8UmlautsToAnsi()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(Utf8UmlautsToAnsi(in), out);
    }

    void utf8UmlautsToAnsiOnText()
    {
        // Text read as Windows-1252 from UTF-8 bytes: "MÃ¼ller" is "Müller".
        QCOMPARE(Utf8UmlautsToAnsi(QStringLiteral("MÃ¼ller 10 €")), QStringLiteral("Müller 10 Euro"));
        // Text outside the code page is left alone.
        QCOMPARE(Utf8UmlautsToAnsi(QStringLiteral("Łódź")), QStringLiteral("Łódź"));
    }

    void makeSafeName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("ampersand and blanks") << "Kunden & Partner 2010"
                                              << "kunden_a_partner_2010";
        QTest::newRow("umlaut and brackets") << QStringLiteral("Müller (alt)") << "mueller_xaltx";
        QTest::newRow("euro sign") << QStringLiteral("Preise €") << "preise_euro";
        QTest::newRow("capital umlauts and sharp s") << QStringLiteral("ÄÖÜ Straße") << "aeoeue_strasse";
        QTest::newRow("path characters") << "a/b\\c:d*e<f>g"
                                         << "axbxcxdxexfxg";
        QTest::newRow("punctuation") << "a.b-c!d$e%f=g\"h?i,j'k"
                                     << "a_b_c_d_e_f_g_h_i_j_k";
        QTest::newRow("accents to underscore") << QStringLiteral("éáúóêâûô") << "________";
        QTest::newRow("kept characters") << QStringLiteral("#+;@[]íè") << QStringLiteral("#+;@[]íè");
        // The catalogue separates its columns with "|": a name must not hold one.
        QTest::newRow("bar") << "A|B"
                             << "axb";
        QTest::newRow("control character") << "a\tb"
                                           << "a_b";
        QTest::newRow("empty") << ""
                               << "";
    }
    void makeSafeName()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(MakeSafeName(name), safe);
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
