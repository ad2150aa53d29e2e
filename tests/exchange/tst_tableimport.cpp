// Table import: Paradox tables written with pxlib's own writing calls and
// dBase tables written by an independent writer (python3-dbf), imported into
// a real table; damaged files are refused whole.
#include "importfixture.h"
#include "importtables.h"
#include "win1252.h"

#include <QFile>
#include <QTest>

#include <cstring>
// The library's header declares its functions for C only.
extern "C" {
#include <paradox.h>
}

using namespace vt;

namespace {

struct PxRecord
{
    QByteArray name, mail;
    int year, month, day;
    short points;
    bool active;
    double sales;
};

// A Paradox table with the fields Name, Mail, Geburt (date), Punkte (short),
// Aktiv (logical) and Umsatz (number).
bool writeParadox(const QString &path, const QList<PxRecord> &records)
{
    pxdoc_t *doc = PX_new();
    pxfield_t fields[6] = {
        {const_cast<char *>("Name"), pxfAlpha, 30, 0},   {const_cast<char *>("Mail"), pxfAlpha, 40, 0},
        {const_cast<char *>("Geburt"), pxfDate, 4, 0},   {const_cast<char *>("Punkte"), pxfShort, 2, 0},
        {const_cast<char *>("Aktiv"), pxfLogical, 1, 0}, {const_cast<char *>("Umsatz"), pxfNumber, 8, 0}};
    // The library takes the field list over and frees it with the document.
    auto *owned = static_cast<pxfield_t *>(doc->malloc(doc, sizeof fields, "fields"));
    for (int i = 0; i < 6; ++i) {
        owned[i] = fields[i];
        owned[i].px_fname = static_cast<char *>(doc->malloc(doc, std::strlen(fields[i].px_fname) + 1, "name"));
        std::strcpy(owned[i].px_fname, fields[i].px_fname);
    }
    if (PX_create_file(doc, owned, 6, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) < 0)
        return false;
    // Texts are stored in the table's code page, as the old applications wrote them.
    doc->px_head->px_doscodepage = 1252;
    QByteArray rec(PX_get_recordsize(doc), '\0');
    for (const PxRecord &r : records) {
        rec.fill('\0');
        char *d = rec.data();
        QByteArray name = EncodeWin1252(QString::fromUtf8(r.name)), mail = r.mail;
        PX_put_data_alpha(doc, d, 30, name.data());
        PX_put_data_alpha(doc, d + 30, 40, mail.data());
        PX_put_data_long(doc, d + 70, 4, int(PX_GregorianToSdn(r.year, r.month, r.day) - 1721425));
        PX_put_data_short(doc, d + 74, 2, r.points);
        PX_put_data_byte(doc, d + 76, 1, r.active ? 1 : 0);
        PX_put_data_double(doc, d + 77, 8, r.sales);
        if (PX_put_record(doc, d) < 0)
            return false;
    }
    PX_close(doc);
    PX_delete(doc);
    return true;
}

const char *kDbfWriter = "import dbf, sys, datetime\n"
                         "t = dbf.Table(sys.argv[1], 'name C(30); mail C(40); geburt D; aktiv L; umsatz N(10,2)',\n"
                         "              codepage='cp1252', dbf_type='db3')\n"
                         "t.open(dbf.READ_WRITE)\n"
                         "t.append(('Jörg Müller', 'j@x.de', datetime.date(1970, 3, 5), True, 1234.5))\n"
                         "t.append(('Gelöscht', 'weg@x.de', datetime.date(1980, 1, 1), False, 1))\n"
                         "t.append(('Anna Öz', 'a@x.de', None, False, 7))\n"
                         "with t[1] as r:\n"
                         "    dbf.delete(r)\n"
                         "t.close()\n";

} // namespace

class TestTableImport : public QObject
{
    Q_OBJECT

    TestFolder m_dir;

    // The file is refused with one message by import and preview, and the table keeps what it held.
    static void expectRefused(const QString &path)
    {
        ImportTable t;
        QVERIFY(fill(t.table, {{{"Mail", "alt@x.de"}}}));
        ImportProgress progress;
        const ImportOutcome o = ImportSourceTable(t.table, t.fields, path, t.columns({{"Mail", 2}}), progress);
        QVERIFY(o.failed);
        QCOMPARE(o.error, QString("Ungültiges Datenbankformat!"));
        QCOMPARE(t.records({"Mail"}), QStringList{"alt@x.de"});
        QCOMPARE(PreviewSourceTable(t.fields, path, t.columns({{"Mail", 2}}), 5).error,
                 QString("Ungültiges Datenbankformat!"));
    }

private slots:
    void paradox()
    {
        const QString path = m_dir.file("KUNDEN.DB");
        QVERIFY(writeParadox(path, {{"Jörg Müller", "j@x.de", 1970, 3, 5, 12, true, 1234.5},
                                    {"Anna Öz", "a@x.de", 2001, 12, 31, -3, false, 7},
                                    {"Bert", "b@x.de", 1999, 1, 2, 0, true, 0.25}}));
        ImportTable t;
        // Column 9 lies beyond the table's six fields.
        const QList<int> columns =
            t.columns({{"Name", 1}, {"Mail", 2}, {"Str", 3}, {"PLZ", 4}, {"Ort", 5}, {"Land", 6}, {"Tel", 9}});
        ImportProgress progress;
        const ImportOutcome o = ImportSourceTable(t.table, t.fields, path, columns, progress);
        QVERIFY2(!o.failed, qPrintable(o.error));
        QCOMPARE(
            t.records({"Name", "Mail", "Str", "PLZ", "Ort", "Land", "Tel", "Selected"}),
            (QStringList{"Jörg Müller|j@x.de|05.03.1970|12|True|1234,5||True",
                         "Anna Öz|a@x.de|31.12.2001|-3|False|7||True", "Bert|b@x.de|02.01.1999|0|True|0,25||True"}));
        const ImportPreview p = PreviewSourceTable(t.fields, path, columns, 2);
        QCOMPARE(p.rows.size(), 2);
        QCOMPARE(p.rows.at(1).at(t.field("Mail")), QString("a@x.de"));
    }

    void dbase()
    {
        const QString path = m_dir.file("adressen.dbf");
        QVERIFY(runPython(kDbfWriter, {path}));
        ImportTable t;
        ImportProgress progress;
        const ImportOutcome o =
            ImportSourceTable(t.table, t.fields, path,
                              t.columns({{"Name", 1}, {"Mail", 2}, {"Str", 3}, {"Ort", 4}, {"Land", 5}}), progress);
        QVERIFY2(!o.failed, qPrintable(o.error));
        // The deleted record is left out.
        QCOMPARE(t.records({"Name", "Mail", "Str", "Ort", "Land"}),
                 (QStringList{"Jörg Müller|j@x.de|05.03.1970|True|1234,5", "Anna Öz|a@x.de||False|7"}));
    }

    // A file cut short or not a table at all: one message, nothing imported.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("keep"); // bytes kept of a good table; -1: junk
        QTest::newRow("Paradox cut short") << "CUT.DB" << 3000;
        QTest::newRow("dBase cut short") << "cut.dbf" << 200;
        QTest::newRow("junk named .DB") << "JUNK.DB" << -1;
        QTest::newRow("junk named .dbf") << "junk.dbf" << -1;
    }
    void damagedFiles()
    {
        QFETCH(QString, name);
        QFETCH(int, keep);
        const QString path = m_dir.file(name);
        if (keep < 0) {
            m_dir.write(name, QByteArray("Dies ist keine Tabelle, nur Text.\n").repeated(40));
        } else {
            if (name.endsWith(".DB")) {
                QList<PxRecord> many;
                for (int i = 0; i < 200; ++i)
                    many.append({"Name " + QByteArray::number(i), "m@x.de", 1990, 1, 1, 1, true, 1});
                QVERIFY(writeParadox(path, many));
            } else {
                QVERIFY(runPython(kDbfWriter, {path}));
            }
            QFile f(path);
            QVERIFY(f.size() > keep);
            QVERIFY(f.resize(keep));
        }
        expectRefused(path);
    }

    // Data blocks whose chain runs in a circle or out of the file: refused
    // before the library walks it (it would walk a circle for ever).
    void brokenBlockChain_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("last block leads back to the first") << "circle";
        QTest::newRow("a block leads to itself") << "self";
        QTest::newRow("a block leads beyond the end of the file") << "beyond";
        QTest::newRow("the first block lies beyond the end of the file") << "first";
        QTest::newRow("block size the format does not know") << "blocksize";
    }
    void brokenBlockChain()
    {
        QFETCH(QString, how);
        const QString path = m_dir.file("KREIS_" + how + ".DB");
        QList<PxRecord> many;
        for (int i = 0; i < 600; ++i)
            many.append({"Name " + QByteArray::number(i), "m@x.de", 1990, 1, 1, 1, true, 1});
        QVERIFY(writeParadox(path, many));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray head = f.read(0x20);
        auto word = [&](int at) { return quint16(uchar(head[at]) | uchar(head[at + 1]) << 8); };
        const int headerSize = word(0x02), blockSize = uchar(head[0x05]) * 0x400;
        const int blocks = word(0x0C), first = word(0x0E), last = word(0x10);
        QVERIFY2(blocks >= 3 && first == 1, "the table needs a chain of several blocks");
        auto setWord = [&](qint64 at, quint16 value) {
            const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
            return f.seek(at) && f.write(bytes, 2) == 2;
        };
        auto blockAt = [&](int block) { return qint64(headerSize) + qint64(block - 1) * blockSize; };
        if (how == "circle")
            QVERIFY(setWord(blockAt(last), quint16(first)));
        else if (how == "self")
            QVERIFY(setWord(blockAt(2), 2));
        else if (how == "beyond")
            QVERIFY(setWord(blockAt(2), quint16(blocks + 40)));
        else if (how == "first")
            QVERIFY(setWord(0x0E, 0x7FFF));
        else if (how == "blocksize")
            QVERIFY(f.seek(0x05) && f.write("\x40", 1) == 1);
        f.close();

        expectRefused(path);
    }
};

QTEST_GUILESS_MAIN(TestTableImport)
#include "tst_tableimport.moc"
