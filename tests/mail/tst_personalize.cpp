// Placeholders, the salutation table and its dialog.
#include "clock.h"
#include "grussformelform.h"
#include "messagerecorder.h"
#include "personalize.h"
#include "testfolder.h"
#include "textfile.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using vt::MapRecipientValues;
using vt::Personalizer;

namespace {

MapRecipientValues record()
{
    return MapRecipientValues({
        {"ID", "7"},
        {"Mail", " max@example.com "},
        {"Anrede", " Herr "},
        {"Betreff", "Angebot"},
        {"Name", "  Muster "},
        {"Vorname", "Max"},
        {"Str", "Hauptstr. 1"},
        {"Spalte1", "eins"},
        {"Spalte3", "drei"},
        {"Spalte12", "zwölf"},
    });
}

} // namespace

class TestPersonalize : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { vt::Clock::setFixed(QDateTime(QDate(2024, 3, 5), QTime(9, 30))); }
    void cleanupTestCase() { vt::Clock::setFixed({}); }

    void replaceOnce_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        QTest::newRow("lower case") << "Hallo $name!"
                                    << "Hallo Muster!";
        QTest::newRow("mixed case") << "Hallo $Name!"
                                    << "Hallo Muster!";
        QTest::newRow("first only") << "$NAME und $NAME"
                                    << "Muster und $NAME";
        QTest::newRow("sharp s before it keeps positions") << "Straße $name"
                                                           << "Straße Muster";
        QTest::newRow("no placeholder") << "Hallo"
                                        << "Hallo";
        QTest::newRow("longer word") << "$NAMEN"
                                     << "MusterN";
    }
    void replaceOnce()
    {
        QFETCH(QString, text);
        QTEST(vt::ReplacePlaceholderOnce("$NAME", "Muster", text), "result");
    }

    void salutation_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QString>("anrede");
        QTest::addColumn<QString>("result");
        const QStringList herr{"Herr|Sehr geehrter Herr", "Frau|Sehr geehrte Frau"};
        QTest::newRow("prefix") << herr << "Herrn"
                                << "Sehr geehrter Herr";
        QTest::newRow("case matters") << herr << "herr"
                                      << "herr";
        QTest::newRow("key longer than anrede") << QStringList{"Herr Dr.|Dr"} << "Herr"
                                                << "Herr";
        QTest::newRow("last match wins") << QStringList{"Herr|Herr", "Herr Dr.|Doktor"} << "Herr Dr."
                                         << "Doktor";
        QTest::newRow("last match wins, other order") << QStringList{"Herr Dr.|Doktor", "Herr|Herr"} << "Herr Dr."
                                                      << "Herr";
        QTest::newRow("empty anrede takes the last LEER line")
            << QStringList{"{LEER}|Hallo", "Herr|x", "{LEER}|Guten Tag"} << ""
            << "Guten Tag";
        QTest::newRow("blank anrede") << QStringList{"{LEER}|Hallo"} << "   "
                                      << "Hallo";
        QTest::newRow("empty anrede without LEER line") << herr << ""
                                                        << "";
        QTest::newRow("line without key is its own key") << QStringList{"|Liebe Kunden"} << "Liebe Kunden von uns"
                                                         << "";
        QTest::newRow("empty rows skipped") << QStringList{"|", "", " | "} << "Herr"
                                            << "Herr";
        QTest::newRow("blanks around key and text") << QStringList{" Frau |  Liebe Frau  "} << "Frau"
                                                    << "Liebe Frau";
        QTest::newRow("tenth line used") << QStringList{"a|1", "b|2", "c|3", "d|4", "e|5",
                                                        "f|6", "g|7", "h|8", "i|9", "Firma|Sehr geehrte Damen"}
                                         << "Firma"
                                         << "Sehr geehrte Damen";
    }
    void salutation()
    {
        QFETCH(QStringList, table);
        QFETCH(QString, anrede);
        TestFolder dir;
        QVERIFY(vt::WriteLines(dir.file("Grussformel.txt"), table));
        bool ok = false;
        QTEST(vt::MapSalutation(dir.file("Grussformel.txt"), anrede, &ok), "result");
        QVERIFY(ok);
    }

    void textMail_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("result");
        QTest::newRow("salutation and name") << "$ANREDE $name,"
                                             << "Sehr geehrter Herr Muster,";
        QTest::newRow("first occurrence per line") << "$name und $Name"
                                                   << "Muster und $Name";
        QTest::newRow("street twice") << "$STRASSE $STR"
                                      << "Hauptstr. 1 Hauptstr. 1";
        QTest::newRow("columns in exact case, every occurrence") << "$SPALTE12/$SPALTE1/$SPALTE12/$spalte3/$SPALTE7"
                                                                 << "zwölf/eins/zwölf/$spalte3/$SPALTE7";
        QTest::newRow("optional field the table lacks") << "[$FIRMA][$ort]"
                                                        << "[][]";
        QTest::newRow("date") << "am $DATUM"
                              << "am 05.03.2024";
        QTest::newRow("mail trimmed") << "<$MAIL>"
                                      << "<max@example.com>";
        QTest::newRow("no placeholder") << "Viele Grüße"
                                        << "Viele Grüße";
    }
    void textMail()
    {
        QFETCH(QString, line);
        QFETCH(QString, result);
        TestFolder dir(true);
        const MapRecipientValues r = record();
        const Personalizer p(r.fieldNames(), dir.file("Grussformel.txt"));
        QString subject = line;
        QStringList body{line, line};
        QString error;
        QVERIFY2(p.PersonalizeTextMail(r, subject, body, &error), qPrintable(error));
        QCOMPARE(subject, result);
        // A placeholder repeated on different lines is replaced on each of them.
        QCOMPARE(body, (QStringList{result, result}));
    }

    void salutationHoldingName()
    {
        // A salutation that names "$NAME" uses up the one replacement of a text line;
        // an HTML mail replaces "$NAME" everywhere and again after "$FIRMA".
        TestFolder dir;
        QVERIFY(vt::WriteLines(dir.file("Grussformel.txt"), {"Herr|Sehr geehrter Herr $NAME"}));
        const MapRecipientValues r = record();
        const Personalizer p(r.fieldNames(), dir.file("Grussformel.txt"));
        vt::PlaceholderValues v;
        QVERIFY(p.values(r, v));
        QCOMPARE(Personalizer::personalizeBodyLine("$ANREDE, $NAME", v), "Sehr geehrter Herr Muster, $NAME");
        QCOMPARE(Personalizer::personalizeHtml("$ANREDE, $NAME", v), "Sehr geehrter Herr Muster, Muster");
        QCOMPARE(Personalizer::personalizeHtml("<b>$NAME</b> $NAME $NAME $name $SPALTE3", v),
                 "<b>Muster</b> Muster Muster $name drei");
        QCOMPARE(Personalizer::personalizeHtmlMarkup("<b>$ANREDE</b> $NAME $name $SPALTE3", v),
                 "<b>Sehr geehrter Herr Muster</b> Muster $name drei");
    }

    void htmlValuesGoInAsText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << "<p>$NAME</p>"
                              << "<a href=\"https://evil.example/\">hier</a> & Co"
                              << "<p>&lt;a href=&quot;https://evil.example/&quot;&gt;hier&lt;/a&gt; &amp; Co</p>";
        QTest::newRow("quoted attribute") << "<img alt=\"$NAME\" src=x>"
                                          << "x\" onerror=\"alert(1)"
                                          << "<img alt=\"x&quot; onerror=&quot;alert(1)\" src=x>";
        QTest::newRow("single-quoted attribute") << "<img alt='$NAME'>"
                                                 << "O'Neil"
                                                 << "<img alt='O&#39;Neil'>";
        QTest::newRow("unquoted attribute") << "<td title=$NAME>"
                                            << "a onclick=b"
                                            << "<td title=a&#32;onclick&#61;b>";
        QTest::newRow("in a tag") << "<div $NAME>"
                                  << "onload=alert(1)"
                                  << "<div onload&#61;alert(1)>";
        QTest::newRow("in a comment") << "<!-- $NAME -->x"
                                      << "--><script>"
                                      << "<!-- --&gt;&lt;script&gt; -->x";
        QTest::newRow("in a link")
            << "<a href=\"https://shop.example/?n=$NAME&amp;x=1\">$NAME</a>"
            << "A&B <x>"
            << "<a href=\"https://shop.example/?n=A%26B%20%3Cx%3E&amp;x=1\">A&amp;B &lt;x&gt;</a>";
        QTest::newRow("link begun by a value") << "<A HREF='$NAME'>x</A>"
                                               << "javascript:alert(1)"
                                               << "<A HREF='javascript%3Aalert%281%29'>x</A>";
        QTest::newRow("link after other attributes") << "<a class=\"k\" title='t>' href=$NAME>"
                                                     << "https://evil.example/"
                                                     << "<a class=\"k\" title='t>' href=https%3A%2F%2Fevil.example%2F>";
        QTest::newRow("text after a tag and a quote") << "<b class=\"x\">\"$NAME\"</b>"
                                                      << "a<b"
                                                      << "<b class=\"x\">\"a&lt;b\"</b>";
    }
    void htmlValuesGoInAsText()
    {
        QFETCH(QString, html);
        QFETCH(QString, value);
        vt::PlaceholderValues v;
        v.fixed.insert("$NAME", value);
        QTEST(Personalizer::personalizeHtmlMarkup(html, v), "expected");
        // The subject and the text part take the value as it is.
        QCOMPARE(Personalizer::personalizeHtml("$NAME", v), value);
    }

    void salutationTableFollowsItsFile()
    {
        // Kept between recipients, yet every change of the file applies to the next one:
        // a new size, the same size with a new modification time, a file put in its
        // place, a file gone.
        TestFolder dir;
        const QString path = dir.file("Grussformel.txt");
        QVERIFY(vt::WriteLines(path, {"Herr|Sehr geehrter Herr"}));
        const MapRecipientValues r = record();
        const Personalizer p(r.fieldNames(), path);
        auto salutation = [&] {
            vt::PlaceholderValues v;
            QString error;
            return p.values(r, v, &error) ? v.fixed.value("$ANREDE") : error;
        };
        QCOMPARE(salutation(), "Sehr geehrter Herr");
        QVERIFY(vt::WriteLines(path, {"Herr|Lieber Herr"}));
        QCOMPARE(salutation(), "Lieber Herr");
        QVERIFY(vt::WriteLines(path, {"Herr|Servus Herr"}));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(salutation(), "Servus Herr");
        QVERIFY(vt::WriteLines(dir.file("neu.txt"), {"Herr|Hallo Herr"}));
        QVERIFY(QFile::remove(path) && QFile::rename(dir.file("neu.txt"), path));
        QCOMPARE(salutation(), "Hallo Herr");
        QVERIFY(QFile::remove(path));
        QCOMPARE(salutation(), "Die Datei " + path + " kann nicht geöffnet werden!");
    }

    void missingTableAndFields()
    {
        TestFolder dir;
        const MapRecipientValues r({{"Name", "x"}, {"anrede", "Herr"}});
        const Personalizer p(r.fieldNames(), dir.file("Grussformel.txt"));
        QCOMPARE(p.missingRequiredFields(), QStringList{"Mail"});
        QString subject = "$ANREDE", error;
        QStringList body;
        QVERIFY(!p.PersonalizeTextMail(r, subject, body, &error));
        QCOMPARE(error, "Die Datei " + dir.file("Grussformel.txt") + " kann nicht geöffnet werden!");
    }

    void dialogShowsAndSavesEightRows()
    {
        TestFolder dir;
        QStringList ten{" Herr | Sehr geehrter Herr ", "|Liebe Kunden"};
        for (int i = 3; i <= 10; ++i)
            ten.append(QStringLiteral("k%1|s%1").arg(i));
        QVERIFY(vt::WriteLines(dir.file("Grussformel.txt"), ten));

        vt::TGrussformelForm form(dir.path());
        QCOMPARE(form.windowTitle(), "Grußformel");
        form.FormActivate();
        auto edit = [&form](const QString &name) { return form.findChild<QLineEdit *>(name); };
        // Shown as read, not trimmed.
        QCOMPARE(edit("Edit1")->text(), " Herr ");
        QCOMPARE(edit("Edit_1")->text(), " Sehr geehrter Herr ");
        // A row saved with an empty key comes back with its text in the key field.
        QCOMPARE(edit("Edit2")->text(), "Liebe Kunden");
        QCOMPARE(edit("Edit_2")->text(), "");
        QCOMPARE(edit("Edit8")->text(), "k8");

        edit("Edit3")->setText("");
        edit("Edit_3")->setText("");
        form.findChild<QPushButton *>("OKBitBtn")->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(vt::ReadLines(dir.file("Grussformel.txt")),
                 (QStringList{"Herr|Sehr geehrter Herr", "Liebe Kunden|", "|", "k4|s4", "k5|s5", "k6|s6", "k7|s7",
                              "k8|s8"}));
    }

    void dialogWithShortOrMissingTable()
    {
        TestFolder dir;
        QVERIFY(vt::WriteLines(dir.file("Grussformel.txt"), {"Herr|Hallo"}));
        vt::TGrussformelForm form(dir.path());
        auto edit = [&form](const QString &name) { return form.findChild<QLineEdit *>(name); };
        edit("Edit5")->setText("alt");
        form.FormActivate();
        QCOMPARE(edit("Edit1")->text(), "Herr");
        QCOMPARE(edit("Edit5")->text(), "");

        // "Abbrechen" writes nothing.
        edit("Edit1")->setText("Frau");
        form.findChild<QPushButton *>("AbbrechenBitBtn")->click();
        QCOMPARE(vt::ReadLines(dir.file("Grussformel.txt")), QStringList{"Herr|Hallo"});

        QFile::remove(dir.file("Grussformel.txt"));
        MessageRecorder boxes;
        form.FormActivate();
        QVERIFY(boxes.takeExpected(vt::MsgKind::Error,
                                   "Die Datei " + dir.file("Grussformel.txt") + " kann nicht geöffnet werden!"));
        QCOMPARE(edit("Edit1")->text(), "");
    }
};

QTEST_MAIN(TestPersonalize)
#include "tst_personalize.moc"
