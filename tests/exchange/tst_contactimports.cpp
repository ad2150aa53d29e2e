// The Outlook contacts and address book imports over scripted sources: which
// contacts are offered, what each record gets, into a real table.
#include "fakecontactsources.h"
#include "importfixture.h"

#include <QDateTime>
#include <QTest>

// The library's header declares its functions for C only.
extern "C" {
#include <libpst/libpst.h>
}

using namespace vt;

namespace {

// A copy of the Outlook data file whose contacts folder is a folder of
// another kind: the container class "IPF.Contact" is changed wherever it is
// stored. The file's blocks are stored with a byte substitution, so two bytes
// of the stored text are swapped, which swaps the two letters they stand for
// ("IPF.Contcat").
bool writeWithoutContactsFolder(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to) || !QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    pst_file pst{};
    if (pst_open(&pst, QFile::encodeName(from).constData(), "windows-1252") != 0)
        return false;
    pst_load_index(&pst);
    QFile out(to);
    if (!out.open(QIODevice::ReadWrite))
        return false;
    const QByteArray marker = QByteArray("I\0P\0F\0.\0C\0o\0n\0t\0a\0c\0t\0", 22);
    int changed = 0;
    char *plain = nullptr;
    for (size_t i = 0; i < pst.i_count; ++i) {
        const pst_index_ll &block = pst.i_table[i];
        const size_t size = pst_ff_getIDblock_dec(&pst, block.i_id, &plain);
        if (size != block.size || !plain)
            continue;
        const QByteArray text(plain, qsizetype(size));
        for (qsizetype at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1)) {
            // "a" and "c" of "act" are the 9th and 10th characters.
            const qint64 a = qint64(block.offset) + at + 16, c = a + 2;
            QByteArray stored(1, '\0'), other(1, '\0');
            if (!out.seek(a) || out.read(stored.data(), 1) != 1 || !out.seek(c) || out.read(other.data(), 1) != 1 ||
                !out.seek(a) || out.write(other) != 1 || !out.seek(c) || out.write(stored) != 1)
                return false;
            ++changed;
        }
    }
    free(plain);
    pst_close(&pst);
    return changed > 0;
}

} // namespace

class TestContactImports : public QObject
{
    Q_OBJECT

private slots:
    void outlookRows_data()
    {
        QTest::addColumn<OutlookItem>("item");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("combine");
        QTest::addColumn<QString>("row"); // name|address, or "" when left out
        using F = FakeContactStore;
        QTest::newRow("only the second address, first chosen")
            << F::contact({{"Email2Address", "zwei@x.de"}, {"LastName", "Berg"}}) << 0 << false << "Berg|zwei@x.de";
        QTest::newRow("only the first address, second chosen")
            << F::contact({{"Email1Address", "eins@x.de"}, {"LastName", "Berg"}}) << 1 << false << "Berg|eins@x.de";
        QTest::newRow("chosen address wins")
            << F::contact({{"Email1Address", "eins@x.de"}, {"Email3Address", "drei@x.de"}}) << 2 << false
            << "|drei@x.de";
        QTest::newRow("no address at all") << F::contact({{"LastName", "Leer"}}) << 0 << false << "";
        QTest::newRow("distribution list") << F::contact({{"Email1Address", "liste@x.de"}}, 69) << 0 << false << "";
        QTest::newRow("combined name, no first name")
            << F::contact({{"Email1Address", "a@x.de"}, {"LastName", "Alt"}}) << 0 << true << " Alt|a@x.de";
        QTest::newRow("combined name") << F::contact({{"Email1Address", "a@x.de"},
                                                      {"FirstName", " Eva "},
                                                      {"LastName", "Alt"}})
                                       << 0 << true << "Eva Alt|a@x.de";
    }
    void outlookRows()
    {
        QFETCH(OutlookItem, item);
        QFETCH(int, choice);
        QFETCH(bool, combine);
        QFETCH(QString, row);
        const QList<OutlookRow> rows = OutlookPreviewRows({item}, choice, combine, {0, 0, 0});
        QCOMPARE(rows.isEmpty() ? QString() : rows.at(0).name + "|" + rows.at(0).address, row);
    }

    void outlookProperties()
    {
        const QList<OutlookProperty> &p = OutlookProperties();
        QCOMPARE(p.size(), 44);
        QCOMPARE(p.at(0).caption, QString("Nicht importieren"));
        QCOMPARE(p.at(23).member, QString("FirstName"));
        QCOMPARE(p.at(24).member, QString("HomeAddressCountry"));
        QCOMPARE(p.at(29).caption, QString("HeimtatOrt"));
        QCOMPARE(p.at(30).member, QString("OfficeLocation"));
        QCOMPARE(p.at(31).member, QString("HomeAddressPostalCode"));
        // The extra boxes read their property, the third box as the first.
        const OutlookItem item = FakeContactStore::contact(
            {{"Email1Address", "a@x.de"}, {"FirstName", "Eva"}, {"OfficeLocation", "Raum 2"}});
        QCOMPARE(OutlookPreviewRows({item}, 0, false, {30, 0, 23}).at(0).extras, (QStringList{"Raum 2", "", "Eva"}));
        QVERIFY(HasDuplicateTarget({"Firma", "Ort", "Firma"}));
        QVERIFY(!HasDuplicateTarget({"Nicht importieren", "Nicht importieren", "Ort"}));
    }

    void outlookImport()
    {
        ImportTable t;
        const QList<OutlookRow> rows{{" Alt", "a@x.de", {"Raum 2", "", "Eva"}}, {"Berg", "b@x.de", {"", "", ""}}};
        QStringList shown;
        ImportProgress progress([&](const QString &s) { shown.append(s); });
        const ImportOutcome o = ImportOutlookRows(t.table, rows, {"Firma", "", "Vorname"}, progress);
        QVERIFY(!o.failed);
        QCOMPARE(t.records({"Name", "Mail", "Firma", "Vorname", "Selected"}),
                 (QStringList{"Alt|a@x.de|Raum 2|Eva|True", "Berg|b@x.de|||True"}));
        QCOMPARE(shown.value(0), QString("Import: 1 von 2"));
        // Only fields shown as "Name" or "Mail" are no targets; the shipped Mail field is shown as "E-Mail".
        QStringList targets;
        for (const ImportField &f : OutlookTargets(t.definition))
            targets.append(f.name);
        QVERIFY(!targets.contains("Name") && targets.contains("Mail") && targets.contains("Firma"));
        QCOMPARE(targets.size(), t.fields.size() - 1);
    }

    // The store of this system reads Outlook data files; anything else is refused with a message.
    void dataFileRefused()
    {
        TestFolder dir;
        dir.write("kontakte.pst", QByteArray("!BDN") + QByteArray(600, '\x5a'));
        dir.write("leer.pst", "");
        ContactStore &store = DefaultContactStore();
        QVERIFY(store.available() && store.needsFile());
        for (const QString name : {"kontakte.pst", "leer.pst", "fehlt.pst"}) {
            QString error;
            QVERIFY(!store.setFile(dir.file(name), &error));
            QCOMPARE(error, "Die Datei \"" + dir.file(name) + "\" ist keine lesbare Outlook-Datendatei.");
            QVERIFY(store.subfolderNames().isEmpty());
            QList<OutlookItem> items;
            QVERIFY(!store.items({}, &items, &error));
        }
    }

    // A real Outlook data file: the contacts folder is found and its items read
    // with their names and addresses; the distribution list is no contact.
    void realDataFile()
    {
        ContactStore &store = DefaultContactStore();
        QString error;
        QVERIFY2(store.setFile(TestFolder::fixture("pst/dist-list.pst"), &error), qPrintable(error));
        QVERIFY(store.subfolderNames().isEmpty());
        QList<OutlookItem> items;
        QVERIFY(store.items({}, &items, &error));
        QList<int> classes;
        for (const OutlookItem &item : std::as_const(items))
            classes.append(item.itemClass);
        QCOMPARE(classes, (QList<int>{kOutlookDistListClass, kOutlookContactClass}));
        const OutlookItem &contact = items.at(1);
        QCOMPARE(contact.value("Email1Address"), QString("contact1@rjohnson.id.au"));
        QCOMPARE(contact.value("FirstName") + "|" + contact.value("LastName"), QString("contact|1"));
        // "Symbol" (the form's icon) is nothing the data file holds.
        QCOMPARE(contact.value("FormDescription.Icon"), QString());
        const QList<OutlookRow> rows = OutlookPreviewRows(items, 0, true, {26, 41, 0});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).name + "|" + rows.at(0).address + "|" + rows.at(0).extras.join(','),
                 QString("contact 1|contact1@rjohnson.id.au|1,,"));
    }

    // A readable data file without a contacts folder says so, in its own words.
    void dataFileWithoutContacts()
    {
        TestFolder dir;
        const QString path = dir.file("ohne-kontakte.pst");
        QVERIFY(writeWithoutContactsFolder(TestFolder::fixture("pst/dist-list.pst"), path));
        QString error;
        QVERIFY(!DefaultContactStore().setFile(path, &error));
        QCOMPARE(error, "Die Outlook-Datendatei \"" + path + "\" enthält keinen Kontakte-Ordner.");
        QVERIFY(DefaultContactStore().subfolderNames().isEmpty());
    }

    void propValueToText_data()
    {
        QTest::addColumn<quint32>("tag");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("16-bit") << quint32(0x00010002) << QVariant(-5) << "-5";
        QTest::newRow("32-bit") << quint32(0x00010003) << QVariant(123456) << "123456";
        QTest::newRow("double") << quint32(0x00010005) << QVariant(2.5) << "2,5";
        QTest::newRow("error") << quint32(0x0001000A) << QVariant(42) << "";
        QTest::newRow("boolean") << quint32(0x0001000B) << QVariant(true) << "1";
        QTest::newRow("text") << quint32(0x3001001E) << QVariant("Anna") << "Anna";
        QTest::newRow("time") << quint32(0x00010040) << QVariant(QDateTime(QDate(2020, 5, 17), QTime(8, 30, 5)).toUTC())
                              << "17.05.2020 08:30:05";
        QTest::newRow("4 bytes") << quint32(0x00010102) << QVariant(QByteArray("\x78\x56\x34\x12", 4))
                                 << "[Binary - Size: 4 bytes] (12345678)";
        QTest::newRow("3 bytes") << quint32(0x00010102) << QVariant(QByteArray("abc")) << "[Binary - Size: 3 bytes]";
        QTest::newRow("unknown type") << quint32(0x0001001F) << QVariant("x") << "[Unknown type 1f]";
    }
    void propValueToText()
    {
        QFETCH(quint32, tag);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(PropValueToText({tag, value}), text);
    }

    void addressBookImport()
    {
        FakeWabSource wab;
        wab.add("1", kWabContact, "Anna", "a@x.de",
                {{kPrStreetAddress, "Büroweg 1"}, {kPrHomeAddressStreet, "Heimweg 2"}, {kPrHomeAddressCity, "Ulm"}});
        wab.add("2", kWabContact, "Bert", "b@x.de", {{kPrHomeAddressStreet, "Heimweg 3"}});
        wab.add("3", kWabDistributionList, "Liste", "");
        ImportTable t;
        const ImportOutcome o = ImportWabEntries(t.table, wab, {"1", "2", "3"});
        QVERIFY(!o.failed);
        QCOMPARE(t.records({"Mail", "Name", "Anrede", "Kategorie", "Str", "PLZ", "Ort"}),
                 (QStringList{"a@x.de|Anna||Windows Addressbook|Büroweg 1| |Ulm",
                              "b@x.de|Bert||Windows Addressbook|Heimweg 3| | "}));
        QCOMPARE(PropTagName(0x3A290000 | 30), QString("STREET_ADDRESS"));
        QCOMPARE(PropTagName(0x6A120003), QString("[6a12]"));

        // A table without the optional fields still gets Mail, Anrede and Name.
        ImportTable bare(definitionWith());
        QVERIFY(!ImportWabEntries(bare.table, wab, {"2"}).failed);
        QCOMPARE(bare.records({"Mail", "Name"}), QStringList{"b@x.de|Bert"});
    }
};

QTEST_GUILESS_MAIN(TestContactImports)
#include "tst_contactimports.moc"
