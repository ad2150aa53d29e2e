// The mail template file: its sections as the window reads them, and what it
// writes back.
#include "mailtemplate.h"
#include "testfolder.h"
#include "textfile.h"

#include <QTest>

using namespace vt;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestMailTemplate : public QObject
{
    Q_OBJECT

private slots:
    void sections_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<std::optional<QString>>("subject");
        QTest::addColumn<QStringList>("body");
        QTest::addColumn<QStringList>("attachments");
        QTest::newRow("complete") << QStringList{"[SUBJECT]", "Hallo $NAME", "[TEXT]",        "Zeile 1",
                                                 "",          "Zeile 3",     "[ATTACHEMENT]", "/tmp/a.pdf"}
                                  << std::optional<QString>("Hallo $NAME") << QStringList{"Zeile 1", "", "Zeile 3"}
                                  << QStringList{"/tmp/a.pdf"};
        QTest::newRow("empty body, no attachment")
            << QStringList{"[SUBJECT]", "Betreff", "[TEXT]", "[ATTACHEMENT]", ""} << std::optional<QString>("Betreff")
            << QStringList{} << QStringList{};
        // A marker inside its own section is content of that section.
        QTest::newRow("[TEXT] inside the text")
            << QStringList{"[SUBJECT]", "B", "[TEXT]", "a", "[TEXT]", "b", "[ATTACHEMENT]", ""}
            << std::optional<QString>("B") << QStringList{"a", "[TEXT]", "b"} << QStringList{};
        QTest::newRow("second [SUBJECT] becomes the subject")
            << QStringList{"[SUBJECT]", "erster", "[SUBJECT]", "[TEXT]", "x"} << std::optional<QString>("[SUBJECT]")
            << QStringList{"x"} << QStringList{};
        QTest::newRow("lines before the first marker")
            << QStringList{"Notiz", "[SUBJECT]", "S", "[TEXT]", "t"} << std::optional<QString>("S") << QStringList{"t"}
            << QStringList{};
        QTest::newRow("no subject section keeps the subject")
            << QStringList{"[TEXT]", "nur Text"} << std::optional<QString>() << QStringList{"nur Text"}
            << QStringList{};
        QTest::newRow("markers compare exactly")
            << QStringList{"[TEXT]", "[text]", " [SUBJECT]"} << std::optional<QString>()
            << QStringList{"[text]", " [SUBJECT]"} << QStringList{};
    }
    void sections()
    {
        QFETCH(QStringList, lines);
        const MailTemplateContent c = ParseMailTemplate(lines);
        QTEST(c.subject, "subject");
        QTEST(c.body, "body");
        QTEST(c.attachments, "attachments");
    }

    void writesWhatItReads_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("body");
        QTest::addColumn<QByteArray>("start"); // how the file begins on disk
        QTest::newRow("Windows-1252") << "Grüße" << QStringList{"Straße €", ""}
                                      << QByteArray("[SUBJECT]\r\nGr\xfc\xdf"
                                                    "e\r\n");
        // A character Windows-1252 lacks must not turn into "?".
        QTest::newRow("beyond Windows-1252") << "Łódź" << QStringList{"ok"} << QByteArray("\xef\xbb\xbf[SUBJECT]\r\n");
    }
    void writesWhatItReads()
    {
        QFETCH(QString, subject);
        QFETCH(QStringList, body);
        QFETCH(QByteArray, start);
        TestFolder dir;
        const QString path = dir.file("t.mail");
        QVERIFY(WriteMailTemplate(path, subject, body, "/data/anhang.pdf"));
        QVERIFY(dir.read("t.mail").startsWith(start));
        QVERIFY(dir.read("t.mail").endsWith("[ATTACHEMENT]\r\n/data/anhang.pdf\r\n"));
        const MailTemplateContent c = ParseMailTemplate(ReadLines(path));
        QCOMPARE(c.subject, std::optional<QString>(subject));
        QCOMPARE(c.body, body);
        QCOMPARE(c.attachments, QStringList{"/data/anhang.pdf"});
    }

    void failedWriteNamesTheFile()
    {
        TestFolder dir;
        const QString path = dir.file("fehlt/t.mail");
        QString error;
        QVERIFY(!WriteMailTemplate(path, "s", {}, {}, &error));
        QCOMPARE(error, "Die Datei " + path + " kann nicht geschrieben werden!");
    }
};

QTEST_GUILESS_MAIN(TestMailTemplate)
#include "tst_mailtemplate.moc"
