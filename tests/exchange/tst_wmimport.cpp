// Windows Mail contact files: listing a folder, reading the XML (one line or
// pretty-printed, entities, any characters) and importing into a real table.
#include "importfixture.h"
#include "wmimport.h"

#include <QTest>

using namespace vt;

namespace {

QByteArray contact(const QByteArray &inner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">\r\n" +
           inner + "\r\n</c:contact>\r\n";
}

} // namespace

class TestWmImport : public QObject
{
    Q_OBJECT

private slots:
    void listing()
    {
        TestFolder dir;
        for (const char *name : {"Zoe.contact", "Administrator.contact", "administrator.contact", "x.CONTACT",
                                 "notiz.txt", "a.contact.contact"})
            dir.write(name, contact(""));
        QStringList names, files;
        for (const ContactFile &f : ListContactFiles(dir.path())) {
            names.append(f.name);
            files.append(QFileInfo(f.path).fileName());
        }
        QCOMPARE(names, (QStringList{"a.contact", "administrator", "x", "Zoe"}));
        QCOMPARE(files, (QStringList{"a.contact.contact", "administrator.contact", "x.CONTACT", "Zoe.contact"}));
        QVERIFY(ListContactFiles(dir.file("fehlt")).isEmpty());
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("one line")
            << contact("<c:EmailAddressCollection><c:EmailAddress><c:Address>a@x.de</c:Address></c:EmailAddress>"
                       "</c:EmailAddressCollection><c:NameCollection><c:Name><c:FormattedName>Anna Alt"
                       "</c:FormattedName></c:Name></c:NameCollection>")
            << "a@x.de"
            << "Anna Alt";
        QTest::newRow("pretty-printed")
            << contact("  <c:EmailAddressCollection>\r\n    <c:EmailAddress>\r\n      <c:Address>\r\n"
                       "        b@x.de\r\n      </c:Address>\r\n    </c:EmailAddress>\r\n"
                       "  </c:EmailAddressCollection>")
            << "b@x.de"
            << "";
        QTest::newRow("two addresses: the first")
            << contact("<c:Address>erst@x.de</c:Address>\r\n<c:Address>zweit@x.de</c:Address>") << "erst@x.de"
            << "";
        QTest::newRow("any characters and entities")
            << contact("<c:FormattedName>Jürgen &amp; Renée Ça&#252;</c:FormattedName>") << ""
            << "Jürgen & Renée Çaü";
        QTest::newRow("other prefix, given and family name only")
            << QByteArray("<?xml version=\"1.0\"?><k:contact xmlns:k=\"http://schemas.microsoft.com/Contact\">"
                          "<k:GivenName>Otto</k:GivenName><k:FamilyName>Öhler</k:FamilyName></k:contact>")
            << ""
            << "Otto Öhler";
    }
    void reading()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, address);
        QFETCH(QString, name);
        TestFolder dir;
        dir.write("k.contact", xml);
        ContactValues v;
        QString error;
        QVERIFY2(ReadContactFile(dir.file("k.contact"), &v, &error), qPrintable(error));
        QCOMPARE(v.address, address);
        QCOMPARE(ContactName(v, false), name);
    }

    void liveMailName()
    {
        ContactValues v;
        v.familyName = "Ühl";
        v.formattedName = "Herr Ühl";
        QCOMPARE(ContactName(v, true), QString(" Ühl"));
        v.givenName = "Üte";
        QCOMPARE(ContactName(v, true), QString("Üte Ühl"));
        QCOMPARE(ContactName(v, false), QString("Herr Ühl"));
    }

    // A file without an address after one with an address gives an empty Mail.
    void importIntoTable()
    {
        TestFolder dir;
        dir.write("1.contact", contact("<c:Address>a@x.de</c:Address><c:FormattedName>Anna</c:FormattedName>"));
        dir.write("2.contact", contact("<c:FormattedName>Bert ohne Adresse</c:FormattedName>"));
        ImportTable t;
        const ImportOutcome o = ImportContactFiles(t.table, {dir.file("1.contact"), dir.file("2.contact")}, false);
        QVERIFY2(!o.failed, qPrintable(o.error));
        QCOMPARE(t.records({"Name", "Mail", "Selected", "LetztesMail"}),
                 (QStringList{"Anna|a@x.de|True|", "Bert ohne Adresse||True|"}));
        QCOMPARE(ContactsImportedText(o.imported), QString("Es wurden 2 Datensätze erfolgreich importiert!"));
        QCOMPARE(ContactsImportedText(1), QString("Es wurde ein Datensatz erfolgreich importiert!"));
    }

    // Files that are no contact files: each is refused with the same message.
    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        QTest::newRow("cut off") << QByteArray("<?xml version=\"1.0\"?><c:contact><c:Address>b@x.de</c:Adr")
                                 << "ist fehlerhaft";
        // Far deeper than any real contact; read element by element, it would run out of stack.
        QTest::newRow("nested 100,000 deep") << contact("<c:Address>" + QByteArray("<x>").repeated(100000) + "d@x.de" +
                                                        QByteArray("</x>").repeated(100000) + "</c:Address>")
                                             << "ist fehlerhaft (Elemente tiefer als 100 Ebenen verschachtelt";
        QTest::newRow("nested 100,000 deep outside any value")
            << contact(QByteArray("<x>").repeated(100000) + QByteArray("</x>").repeated(100000)) << "ist fehlerhaft";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        TestFolder dir;
        dir.write("k.contact", bytes);
        ContactValues v;
        QString error;
        QVERIFY(!ReadContactFile(dir.file("k.contact"), &v, &error));
        QVERIFY2(error.startsWith("Die Kontaktdatei \"" + dir.file("k.contact") + "\" " + why), qPrintable(error));
    }

    // One bad file among many is skipped and named; the others are imported.
    void badFilesSkippedAndNamed()
    {
        TestFolder dir;
        dir.write("anna.contact", contact("<c:Address>a@x.de</c:Address>"));
        dir.write("kaputt.contact", "<?xml version=\"1.0\"?><c:contact><c:Address>b@x.de</c:Adr");
        dir.write("tief.contact", contact(QByteArray("<x>").repeated(500) + QByteArray("</x>").repeated(500)));
        dir.write("zoe.contact", contact("<c:Address>z@x.de</c:Address>"));
        ImportTable t;
        const ImportOutcome o = ImportContactFiles(
            t.table,
            {dir.file("anna.contact"), dir.file("kaputt.contact"), dir.file("tief.contact"), dir.file("zoe.contact")},
            false);
        QVERIFY2(!o.failed, qPrintable(o.error));
        QCOMPARE(t.records({"Mail"}), (QStringList{"a@x.de", "z@x.de"}));
        QCOMPARE(o.imported, 2);
        QCOMPARE(o.skipped, 2);
        const QString notes = ImportNotesText(o);
        QVERIFY2(notes.startsWith("2 Dateien wurden übersprungen, weil sie nicht gelesen werden konnten: "
                                  "kaputt.contact, tief.contact.\rDie Kontaktdatei \"" +
                                  dir.file("kaputt.contact") + "\" ist fehlerhaft"),
                 qPrintable(notes));
        QCOMPARE(ContactsImportedText(0), QString("Es wurde kein Datensatz importiert."));
    }
};

QTEST_GUILESS_MAIN(TestWmImport)
#include "tst_wmimport.moc"
