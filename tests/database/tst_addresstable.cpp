// The table engine: the text form of values, creating and opening table files,
// the cursor, editing with its checks, bookmarks, order, set-based work,
// transactions, bulk appends and a round trip through the file.
#include "tablefixture.h"
#include "testfolder.h"

#include <QDate>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTime>

#include <thread>

using namespace vt;

Q_DECLARE_METATYPE(vt::FieldType)

namespace {

const QString kName = QStringLiteral("Name");

QList<FieldValues> named(const QStringList &names)
{
    QList<FieldValues> out;
    for (const QString &n : names)
        out.append({{kName, n}, {QStringLiteral("Selected"), false}});
    return out;
}

} // namespace

class TestAddressTable : public QObject
{
    Q_OBJECT

    TestFolder m_dir;
    int m_files = 0;

    // A new, opened table with the fixed fields and the given records.
    bool openNew(AddressTable &t, const QList<FieldValues> &records = {}, const QStringList &extraLines = {})
    {
        const QString path = m_dir.file(QStringLiteral("T%1.DB").arg(++m_files));
        return makeTable(path, definitionWith(extraLines)) && t.open(path) && fill(t, records);
    }

private slots:
    void textForm_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown"); // the text form after storing; "!" + error when refused
        QTest::newRow("string longer than its size kept whole") << FieldType::String << 5 << "abcdefg"
                                                                << "abcdefg";
        QTest::newRow("string keeps blanks") << FieldType::String << 5 << "  "
                                             << "  ";
        QTest::newRow("empty string is blank") << FieldType::String << 5 << ""
                                               << "";
        QTest::newRow("memo not cut") << FieldType::Memo << 5 << "abcdefg"
                                      << "abcdefg";
        QTest::newRow("integer") << FieldType::Integer << 0 << " -7 "
                                 << "-7";
        QTest::newRow("integer refused") << FieldType::Integer << 0 << "4x"
                                         << "!'4x' ist kein gültiger Ganzzahlwert.";
        QTest::newRow("blank integer") << FieldType::Integer << 0 << "  "
                                       << "";
        QTest::newRow("boolean word") << FieldType::Boolean << 0 << "true"
                                      << "True";
        QTest::newRow("boolean upper") << FieldType::Boolean << 0 << "FALSE"
                                       << "False";
        QTest::newRow("boolean digit") << FieldType::Boolean << 0 << "1"
                                       << "True";
        QTest::newRow("boolean refused") << FieldType::Boolean << 0 << "ja"
                                         << "!'ja' ist kein gültiger Wahrheitswert.";
        QTest::newRow("float comma") << FieldType::Float << 0 << "12,5"
                                     << "12,5";
        QTest::newRow("float full stop") << FieldType::Float << 0 << "12.5"
                                         << "12,5";
        QTest::newRow("float refused") << FieldType::Float << 0 << "1 000"
                                       << "!'1 000' ist kein gültiger Gleitkommawert.";
        QTest::newRow("currency two decimals") << FieldType::Currency << 0 << "2,5"
                                               << "2,50";
        QTest::newRow("date short") << FieldType::Date << 0 << "1.2.2010"
                                    << "01.02.2010";
        QTest::newRow("date iso") << FieldType::Date << 0 << "2010-02-01"
                                  << "01.02.2010";
        QTest::newRow("date refused") << FieldType::Date << 0 << "31.02.2010"
                                      << "!'31.02.2010' ist kein gültiges Datum.";
        QTest::newRow("time") << FieldType::Time << 0 << "9:05"
                              << "09:05:00";
        QTest::newRow("time refused") << FieldType::Time << 0 << "25:00"
                                      << "!'25:00' ist keine gültige Uhrzeit.";
    }
    void textForm()
    {
        QFETCH(FieldType, type);
        QFETCH(int, size);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        const FieldDef f{QStringLiteral("F"), type, size, false};
        QVariant stored;
        QString error;
        const bool ok = TextToStored(f, input, &stored, &error);
        if (shown.startsWith(u'!')) {
            QVERIFY(!ok);
            QCOMPARE(error, shown.mid(1));
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(StoredToText(f, stored), shown);
        QCOMPARE(stored.isNull(), shown.isEmpty());
    }

    void naturalValues()
    {
        const FieldDef b{"B", FieldType::Boolean, 0, false}, d{"D", FieldType::Date, 0, false},
            s{"S", FieldType::String, 3, false}, t{"T", FieldType::Time, 0, false};
        QCOMPARE(NaturalToText(b, true), QStringLiteral("True"));
        QCOMPARE(NaturalToText(b, 0), QStringLiteral("False"));
        QCOMPARE(NaturalToText(d, QDate(2011, 12, 24)), QStringLiteral("24.12.2011"));
        QCOMPARE(NaturalToText(s, 12345), QStringLiteral("12345"));
        QCOMPARE(NaturalToText(t, QTime(7, 8, 9)), QStringLiteral("07:08:09"));
        QVariant stored;
        QString error;
        QVERIFY(!NaturalToStored(d, 3.5, &stored, &error));
        QCOMPARE(error, QStringLiteral("Der Wert passt nicht in das Feld \"D\"."));
        QVERIFY(NaturalToStored(d, QStringLiteral("24.12.2011"), &stored));
        QCOMPARE(StoredToNatural(d, stored), QVariant(QDate(2011, 12, 24)));
        QCOMPARE(StoredToNatural(b, QVariant()), QVariant());
    }

    void createRefuses_data()
    {
        QTest::addColumn<QList<FieldDef>>("fields");
        QTest::addColumn<QList<IndexDef>>("indexes");
        QTest::addColumn<QString>("error");
        const FieldDef id{"ID", FieldType::AutoInc, 0, false}, mail{"Mail", FieldType::String, 80, false};
        QTest::newRow("no fields") << QList<FieldDef>{} << QList<IndexDef>{} << "Die Tabelle hat keine Felder.";
        QTest::newRow("same name twice") << QList<FieldDef>{id, mail, {"MAIL", FieldType::String, 10, false}}
                                         << QList<IndexDef>{} << "Das Feld \"MAIL\" ist doppelt definiert.";
        QTest::newRow("string too long") << QList<FieldDef>{{"X", FieldType::String, 256, false}} << QList<IndexDef>{}
                                         << "Das Feld \"X\" hat eine ungültige Größe (256).";
        QTest::newRow("string without size") << QList<FieldDef>{{"X", FieldType::String, 0, false}} << QList<IndexDef>{}
                                             << "Das Feld \"X\" hat eine ungültige Größe (0).";
        QTest::newRow("two counters") << QList<FieldDef>{id, {"Nr", FieldType::AutoInc, 0, false}} << QList<IndexDef>{}
                                      << "Die Tabelle darf nur ein Zählerfeld (ftAutoInc) haben.";
        QTest::newRow("reserved name") << QList<FieldDef>{{"rowid", FieldType::Integer, 0, false}} << QList<IndexDef>{}
                                       << "Der Feldname \"rowid\" ist nicht erlaubt.";
        QTest::newRow("index on a missing field")
            << QList<FieldDef>{id, mail} << QList<IndexDef>{{"Ort", {"Ort"}, false}}
            << "Der Index \"Ort\" verweist auf das unbekannte Feld \"Ort\".";
        QTest::newRow("two primary indexes")
            << QList<FieldDef>{id, mail} << QList<IndexDef>{{"ID", {"ID"}, true}, {"Mail", {"Mail"}, true}}
            << "Die Tabelle darf nur einen Primärindex haben.";
        QTest::newRow("index named twice")
            << QList<FieldDef>{id, mail} << QList<IndexDef>{{"X", {"ID"}, false}, {"x", {"Mail"}, false}}
            << "Der Index \"x\" ist doppelt definiert.";
    }
    void createRefuses()
    {
        QFETCH(QList<FieldDef>, fields);
        QFETCH(QList<IndexDef>, indexes);
        QFETCH(QString, error);
        const QString path = m_dir.file(QStringLiteral("Refused.DB"));
        m_dir.write(QStringLiteral("Refused.DB"), "keep me");
        QString got;
        QVERIFY(!AddressTable::create(path, fields, indexes, &got));
        QCOMPARE(got, error);
        // A refused definition leaves an existing file alone and no work file behind.
        QCOMPARE(m_dir.read(QStringLiteral("Refused.DB")), QByteArray("keep me"));
        QVERIFY(!QFile::exists(path + QStringLiteral(".creating")));
    }

    void openRefuses()
    {
        AddressTable t;
        QVERIFY(!t.open(m_dir.file("Missing.DB")));
        QCOMPARE(t.lastError(), QStringLiteral("Die Tabelle \"%1\" existiert nicht.").arg(m_dir.file("Missing.DB")));
        QVERIFY(!QFile::exists(m_dir.file("Missing.DB")));
        m_dir.write("Text.DB", "no table at all, just text that is long enough to look like a file header.....");
        QVERIFY(!t.open(m_dir.file("Text.DB")));
        QVERIFY(!t.isOpen());
        QVERIFY(t.lastError().startsWith("Die Tabelle \"" + m_dir.file("Text.DB") + "\" kann nicht geöffnet werden"));
        QCOMPARE(t.state(), AddressTable::State::Inactive);
    }

    void otherThreadIsRefused()
    {
        // The connection has no mutex: a second thread gets an error, never the file.
        AddressTable t;
        QVERIFY(openNew(t, named({"A", "B"})));
        qint64 counted = 0;
        QString error;
        std::thread other([&] {
            counted = t.count(Filter());
            error = t.lastError();
        });
        other.join();
        QCOMPARE(counted, -1);
        QCOMPARE(error, QStringLiteral("Die Tabelle wird von einem anderen Programmteil benutzt."));
        QCOMPARE(t.count(Filter()), 2);
    }

    void cursor()
    {
        AddressTable t;
        QVERIFY(openNew(t));
        QVERIFY(t.bof() && t.eof());
        QCOMPARE(t.row(), -1);
        QCOMPARE(t.currentId(), -1);
        QVERIFY(!t.first());
        QVERIFY(fill(t, named({"a", "b", "c"})));
        QVERIFY(t.first());
        QVERIFY(t.bof() && !t.eof());
        QCOMPARE(t.text(kName), QStringLiteral("a"));
        QVERIFY(!t.prior());
        QVERIFY(t.bof());
        QVERIFY(t.next() && t.next());
        QCOMPARE(t.text(kName), QStringLiteral("c"));
        QVERIFY(!t.next());
        QVERIFY(t.eof());
        QCOMPARE(t.row(), 2);
        QVERIFY(t.last());
        QVERIFY(t.eof() && !t.bof());
        QVERIFY(t.moveTo(1));
        QCOMPARE(t.currentId(), 2);
        QVERIFY(!t.moveTo(3));
        QCOMPARE(t.row(), 1);
        // A walk in the usual way visits each record once.
        QStringList seen;
        for (t.first(); !t.eof(); t.next())
            seen.append(t.text(kName));
        QCOMPARE(seen, (QStringList{"a", "b", "c"}));
    }

    void editing()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"a", "b"})));
        QVERIFY(!t.setText(kName, "x"));
        QCOMPARE(t.lastError(), QStringLiteral("Der Datensatz wird nicht bearbeitet."));
        QVERIFY(t.first() && t.edit());
        QCOMPARE(t.state(), AddressTable::State::Edit);
        QVERIFY(t.setText(kName, "neu"));
        QCOMPARE(t.text(kName), QStringLiteral("neu"));
        QCOMPARE(t.textAt(0, t.fieldIndex(kName)), QStringLiteral("a")); // not written yet
        t.cancel();
        QCOMPARE(t.text(kName), QStringLiteral("a"));
        // Moving on posts a pending edit, as a dataset does.
        QVERIFY(t.edit() && t.setValue(QStringLiteral("Selected"), true));
        QVERIFY(t.next());
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.valueAt(0, t.fieldIndex("Selected")), QVariant(true));
        // The counter is the table's own.
        QVERIFY(t.edit());
        QVERIFY(!t.setValue(QStringLiteral("ID"), 99));
        QCOMPARE(t.lastError(), QStringLiteral("Das Feld \"ID\" vergibt die Tabelle selbst."));
        QVERIFY(!t.setText(QStringLiteral("LetztesMail"), QStringLiteral("gestern")));
        QCOMPARE(t.lastError(), QStringLiteral("'gestern' ist kein gültiges Datum."));
        QVERIFY(t.post());
        // Append, post, and the new record is current with a new ID.
        QVERIFY(t.append() && t.setText(kName, "c") && t.post());
        QCOMPARE(t.currentId(), 3);
        QCOMPARE(t.text(kName), QStringLiteral("c"));
        QCOMPARE(t.recordCount(), 3);
    }

    void deletingNeverReusesIds()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"a", "b", "c"})));
        QVERIFY(t.last() && t.remove());
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(t.text(kName), QStringLiteral("b")); // the record before the last became current
        QVERIFY(t.first() && t.remove());
        QCOMPARE(t.text(kName), QStringLiteral("b")); // the next record became current
        QVERIFY(t.append() && t.setText(kName, "d") && t.post());
        QCOMPARE(t.currentId(), 4);
        // Deleting while inserting drops the new record only.
        QVERIFY(t.append() && t.remove());
        QCOMPARE(t.recordCount(), 2);
    }

    void requiredAndUnique()
    {
        AddressTable t;
        const QStringList lines{
            "FELD|TYP|PFLICHT|GROESSE|INDEX|INDEXFELDER|PRIMAER|SORTIERBAR|ANZEIGENAME",
            "ID| ftAutoInc | False |0| | | | FALSE | ID",
            "Kunde| ftString | TRUE |20| Kunde | Kunde | Primaer | TRUE | Kunde",
            "Mail| ftString | true |80| | | | FALSE | Mail",
            "Selected| ftBoolean | False |0| | | | FALSE | Selected",
        };
        const QString path = m_dir.file("Unique.DB");
        QVERIFY(makeTable(path, lines));
        QVERIFY(t.open(path));
        QVERIFY(fill(t, {{{"Kunde", "K1"}, {"Mail", "a@b.de"}}}));

        QVERIFY(t.append() && t.setText("Kunde", "K2"));
        QVERIFY(!t.post());
        QCOMPARE(t.lastError(), QStringLiteral("Feld \"Mail\" muss einen Wert haben."));
        QCOMPARE(t.state(), AddressTable::State::Insert); // kept for correcting
        QVERIFY(t.setText("Mail", "c@d.de") && t.setText("Kunde", "k1"));
        QVERIFY(!t.post());
        QCOMPARE(t.lastError(),
                 QStringLiteral("Schlüsselverletzung: \"k1\" ist im Index \"Kunde\" bereits vorhanden."));
        QVERIFY(t.setText("Kunde", "K2") && t.post());
        QCOMPARE(t.recordCount(), 2);

        // The same checks guard writes by ID and set-based changes.
        QVERIFY(!t.updateFields(2, {{"Kunde", "K1"}}));
        QVERIFY(t.lastError().startsWith("Schlüsselverletzung"));
        QVERIFY(!t.updateFields(2, {{"Mail", ""}}));
        QCOMPARE(t.updateWhere({}, {{"Mail", QString()}}), qint64(-1));
        QCOMPARE(t.lastError(), QStringLiteral("Feld \"Mail\" muss einen Wert haben."));
        QCOMPARE(t.updateWhere({}, {{"Kunde", "same"}}), qint64(-1));
        QVERIFY(t.lastError().startsWith("Schlüsselverletzung"));
        // Nothing of the refused changes reached the file.
        t.first();
        QCOMPARE(column(t, "Kunde"), (QStringList{"K1", "K2"}));
        QCOMPARE(column(t, "Mail"), (QStringList{"a@b.de", "c@d.de"}));
    }

    void orderAndBookmarks()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"müller", "Meier", "Mueller", "MÜLLER", "adam", "Zorro", ""})));
        QVERIFY(t.gotoId(4));
        QVERIFY(t.setIndexName("name")); // index names without regard to case
        QCOMPARE(t.currentId(), 4);      // the current record stays current
        // Blanks first; then without regard to case, umlauts included; equal
        // names in the order of their IDs.
        QCOMPARE(column(t, kName), (QStringList{"", "adam", "Meier", "Mueller", "müller", "MÜLLER", "Zorro"}));
        QCOMPARE(t.idAt(4), 1);
        QCOMPARE(t.rowOfId(6), 6);
        QVERIFY(t.gotoId(5));
        QCOMPARE(t.row(), 1);
        QVERIFY(!t.gotoId(99));
        QCOMPARE(t.lastError(), QStringLiteral("Der Datensatz 99 ist nicht vorhanden."));
        QCOMPARE(t.currentId(), 5);
        QVERIFY(!t.setIndexName("Ort"));
        QCOMPARE(t.lastError(), QStringLiteral("Den Index \"Ort\" gibt es in der Tabelle nicht."));
        QCOMPARE(t.indexName(), QStringLiteral("name"));
        QVERIFY(t.setIndexName(QString()));
        QCOMPARE(column(t, kName).first(), QStringLiteral("müller"));
        // The same order serves ids() without moving the table.
        const std::vector<qint64> ids = t.ids(Filter::parse("Name='m*'"), "Name");
        QCOMPARE(QList<qint64>(ids.begin(), ids.end()), (QList<qint64>{2, 3, 1, 4}));
    }

    void filterTextAndSwitch()
    {
        AddressTable t;
        QVERIFY(openNew(t, {{{kName, "a"}, {"Selected", true}}, {{kName, "b"}}, {{kName, "c"}, {"Selected", true}}}));
        QVERIFY(t.setFilterText("Selected='True'"));
        QCOMPARE(t.recordCount(), 3); // set, not yet applied
        QVERIFY(t.setFiltered(true));
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(t.row(), 0);
        QVERIFY(t.last());
        QCOMPARE(t.text(kName), QStringLiteral("c"));
        QVERIFY(!t.setFilterText("Selected="));
        QCOMPARE(t.filterText(), QStringLiteral("Selected='True'"));
        QCOMPARE(t.recordCount(), 2);
        QVERIFY(t.setFiltered(false));
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.filterText(), QStringLiteral("Selected='True'")); // kept for switching on again
        // A bad text may wait while the filter is off, but cannot be switched on.
        QVERIFY(t.setFilterText("Nmae='x'"));
        QVERIFY(!t.setFiltered(true));
        QVERIFY(!t.isFiltered());
        QCOMPARE(t.recordCount(), 3);
        QVERIFY(t.setFilter(Filter::equals(kName, "b")));
        QCOMPARE(column(t, kName), QStringList{"b"});
        // Marking a record out of the filter takes it out of the rows at once.
        QVERIFY(t.setFilterText("Selected='True'") && t.setFiltered(true));
        QVERIFY(t.first() && t.edit() && t.setValue("Selected", false) && t.post());
        QCOMPARE(column(t, kName), QStringList{"c"});
        QCOMPARE(t.row(), 0);
    }

    void setBasedWork()
    {
        AddressTable t;
        QVERIFY(openNew(t, {{{kName, "a"}, {"Mail", "a@x.de"}, {"Selected", true}},
                            {{kName, "b"}, {"Mail", "b@x.de"}},
                            {{kName, "c"}, {"Mail", "c@y.de"}, {"Selected", true}},
                            {{kName, "d"}, {"Mail", "d@y.de"}, {"Invalid", true}}}));
        QVERIFY(t.gotoId(3));
        // A filter on the flags, on the text fields, and on both.
        QCOMPARE(t.updateWhere(Filter::parse("Selected='True'"), {{"Invalid", true}}), qint64(2));
        QCOMPARE(t.updateWhere(Filter::parse("Mail='*y.de'"), {{"Betreff", "Y"}}), qint64(0));
        QCOMPARE(t.updateWhere(Filter::parse("Mail='c*' OR Mail='d*'"), {{"Betreff", "Y"}}), qint64(2));
        QCOMPARE(
            t.updateWhere(Filter::parse("Invalid='True' AND Betreff='y'"), {{"Anrede", "Herr"}, {"Selected", false}}),
            qint64(2));
        QCOMPARE(t.currentId(), 3);
        QCOMPARE(column(t, "Anrede"), (QStringList{"", "", "Herr", "Herr"}));
        QCOMPARE(column(t, "Selected"), (QStringList{"True", "", "False", "False"}));
        QCOMPARE(t.count(Filter::parse("Invalid='True'")), qint64(3));
        QCOMPARE(t.updateWhere({}, {{"Selected", true}}), qint64(4));
        QCOMPARE(t.count(Filter::parse("Selected='True'")), qint64(4));

        QStringList mails;
        QVERIFY(t.scan(Filter::parse("Invalid='True'"), "Name", {t.fieldIndex("Mail"), t.fieldIndex("Selected")},
                       [&](qint64 id, const QList<QVariant> &v) {
                           mails.append(QStringLiteral("%1 %2 %3").arg(id).arg(v[0].toString()).arg(v[1].toBool()));
                           return true;
                       }));
        QCOMPARE(mails, (QStringList{"1 a@x.de 1", "3 c@y.de 1", "4 d@y.de 1"}));

        const auto rec = t.readRecord(2);
        QVERIFY(rec.has_value());
        QCOMPARE(rec->at(t.fieldIndex("Mail")), QVariant(QStringLiteral("b@x.de")));
        QCOMPARE(rec->at(t.fieldIndex("Selected")), QVariant(true));
        QVERIFY(!t.readRecord(77).has_value());
        QVERIFY(t.updateFields(2, {{"LetztesMail", QDate(2012, 5, 6)}, {"Selected", false}}));
        QCOMPARE(t.textAt(t.rowOfId(2), t.fieldIndex("LetztesMail")), QStringLiteral("06.05.2012"));
        QVERIFY(!t.updateFields(2, {{"Nix", 1}}));
        QCOMPARE(t.lastError(), QStringLiteral("Das Feld \"Nix\" gibt es in der Tabelle nicht."));

        QCOMPARE(t.deleteWhere(Filter::parse("Mail='*'") && Filter::equals("Selected", false)), qint64(1));
        QCOMPARE(column(t, kName), (QStringList{"a", "c", "d"}));
        QCOMPARE(t.currentId(), 3);
        QCOMPARE(t.deleteWhere(Filter::parse("Selected=")), qint64(-1));
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.deleteWhere({}), qint64(3));
        QCOMPARE(t.recordCount(), 0);
        QVERIFY(t.eof() && t.bof());
    }

    void nestedReads()
    {
        // A read inside the walk of the same read, as the duplicate tools do.
        AddressTable t;
        QVERIFY(openNew(t, named({"a", "b", "a"})));
        const Filter all;
        const QList<int> name{t.fieldIndex(kName)};
        QStringList pairs;
        QVERIFY(t.scan(all, {}, name, [&](qint64 id, const QList<QVariant> &outer) {
            int same = 0;
            t.scan(all, {}, name, [&](qint64, const QList<QVariant> &inner) {
                same += inner.first() == outer.first();
                return true;
            });
            pairs.append(QStringLiteral("%1:%2").arg(id).arg(same));
            return true;
        }));
        QCOMPARE(pairs, (QStringList{"1:2", "2:1", "3:2"}));
    }

    void transactions()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"a"})));
        {
            TableTransaction outer(t);
            QVERIFY(t.updateFields(1, {{kName, "b"}}));
            {
                TableTransaction inner(t);
                QVERIFY(t.updateFields(1, {{kName, "c"}}));
            } // rolled back: only its own change goes
            QCOMPARE(t.readRecord(1)->at(t.fieldIndex(kName)), QVariant("b"));
            QVERIFY(outer.commit());
        }
        QCOMPARE(t.readRecord(1)->at(t.fieldIndex(kName)), QVariant("b"));
        {
            TableTransaction outer(t);
            QVERIFY(t.updateWhere({}, {{kName, "d"}}) == 1);
        } // rolled back as a whole
        QCOMPARE(t.readRecord(1)->at(t.fieldIndex(kName)), QVariant("b"));
        QCOMPARE(column(t, kName), QStringList{"b"});
        QVERIFY(!t.inTransaction());
    }

    void bulkAppend()
    {
        AddressTable t;
        const QStringList required{"Pflicht| ftString | TRUE |10| | | | FALSE | Pflicht"};
        QVERIFY(openNew(t, {}, required));
        QSignalSpy bulk(&t, &AddressTable::afterBulkChange);
        {
            TableAppender a(t);
            QVERIFY(a.setText(t.fieldIndex(kName), "x") && a.setText(t.fieldIndex("Pflicht"), "p") && a.append());
            QVERIFY(a.setText(t.fieldIndex(kName), "ohne Pflicht"));
            QVERIFY(!a.append()); // refused and skipped; the rest goes on
            QCOMPARE(a.lastError(), QStringLiteral("Feld \"Pflicht\" muss einen Wert haben."));
            QVERIFY(!a.setText(t.fieldIndex("Selected"), "vielleicht"));
            QVERIFY(a.setText(t.fieldIndex(kName), "y") && a.setText(t.fieldIndex("Pflicht"), "p") && a.append());
            QCOMPARE(a.appendedCount(), qint64(2));
            QVERIFY(a.commit());
        }
        QCOMPARE(column(t, kName), (QStringList{"x", "y"}));
        QCOMPARE(bulk.count(), 1);
        {
            TableAppender a(t);
            QVERIFY(a.setText(t.fieldIndex(kName), "z") && a.setText(t.fieldIndex("Pflicht"), "p") && a.append());
        } // never committed
        QCOMPARE(t.recordCount(), 2);
    }

    void bulkAppendRebuildsIndexes()
    {
        // An import that more than doubles the table leaves its indexes out and
        // builds them at the end; afterwards they serve as before.
        AddressTable t;
        QVERIFY(openNew(t));
        const int n = 20500;
        {
            TableAppender a(t);
            for (int i = 0; i < n; ++i) {
                a.setText(t.fieldIndex(kName), QStringLiteral("n%1").arg(n - i, 6, 10, QLatin1Char('0')));
                QVERIFY(a.append());
            }
            QVERIFY(a.commit());
        }
        const QVariant indexes =
            readOnce(t.fileName(), "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
        QVERIFY(indexes.isValid());
        QCOMPARE(indexes.toInt(), 3); // LetztesMail, Mail, Name
        QVERIFY(t.setIndexName("Name"));
        QCOMPARE(t.textAt(0, t.fieldIndex(kName)), QStringLiteral("n000001"));
        QCOMPARE(t.idAt(0), qint64(n));
    }

    void refreshReadsWhatAnotherConnectionWrote()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"a", "b", "c"})));
        QVERIFY(t.setIndexName("Name"));
        QVERIFY(t.moveTo(1));
        t.textAt(0, t.fieldIndex(kName)); // rows and a page are held now
        {
            AddressTable other;
            QVERIFY(other.open(t.fileName()));
            QVERIFY(other.first() && other.edit() && other.setText(kName, "d") && other.post());
            QVERIFY(other.append() && other.setText(kName, "0") && other.post());
        }
        QCOMPARE(t.recordCount(), 3);
        QSignalSpy reset(&t, &AddressTable::rowsReset);
        QVERIFY(t.refresh());
        QCOMPARE(reset.count(), 1);
        QCOMPARE(column(t, kName), QStringList({"0", "b", "c", "d"}));
        QCOMPARE(t.text(kName), QStringLiteral("b")); // still on its record, now in row 1 of the new order
        // A current record that went away leaves the cursor at its row.
        QVERIFY(t.moveTo(3));
        {
            AddressTable other;
            QVERIFY(other.open(t.fileName()));
            QVERIFY(other.deleteWhere(Filter::parse("Name='d'")) == 1);
        }
        QVERIFY(t.refresh());
        QCOMPARE(t.row(), 2);
        // A pending edit is posted first.
        QVERIFY(t.edit() && t.setText(kName, "e"));
        QVERIFY(t.refresh());
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(column(t, kName), QStringList({"0", "b", "e"}));
    }

    void signalsAndDetachedViews()
    {
        AddressTable t;
        QVERIFY(openNew(t, named({"a", "b", "c"})));
        QSignalSpy posted(&t, &AddressTable::afterPost), deleted(&t, &AddressTable::afterDelete),
            reset(&t, &AddressTable::rowsReset), changed(&t, &AddressTable::rowChanged);
        QVERIFY(t.first() && t.edit() && t.setText(kName, "A") && t.post());
        QCOMPARE(posted.count(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().toLongLong(), 0);
        QVERIFY(t.remove());
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(reset.count(), 1);
        // Detached: nothing while working, one reset and one change at the end.
        QSignalSpy bulk(&t, &AddressTable::afterBulkChange);
        reset.clear();
        t.disableControls();
        for (t.first(); !t.eof(); t.next())
            QVERIFY(t.edit() && t.setValue("Selected", true) && t.post());
        QVERIFY(t.remove());
        QCOMPARE(reset.count(), 0);
        QCOMPARE(posted.count(), 1);
        t.enableControls();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(bulk.count(), 1);
    }

    void roundTrip()
    {
        const QString path = m_dir.file("Round.DB");
        const QStringList extra{"Spalte1| ftString   | False      |80     | Spalte1 | Spalte1    |                     "
                                "| TRUE        | Größe",
                                "Betrag| ftCurrency | False |0| | | | FALSE | Betrag",
                                "Notiz| ftMemo | False |20| | | | FALSE | Notiz"};
        QVERIFY(makeTable(path, definitionWith(extra)));
        const QString memo = QString(500, QLatin1Char('m'));
        {
            AddressTable t;
            QVERIFY(t.open(path));
            QVERIFY(fill(t, {{{"Selected", true},
                              {"Invalid", false},
                              {"LetztesMail", QDate(2010, 1, 31)},
                              {"Mail", "jürgen@straße.de"},
                              {"Spalte1", "Öl"},
                              {"Betrag", 12.5},
                              {"Notiz", memo}},
                             {{"Name", "leer"}}}));
            t.close();
            QVERIFY(!t.isOpen());
        }
        AddressTable t;
        QVERIFY(t.open(path));
        QCOMPARE(t.fieldCount(), 11);
        QCOMPARE(t.field(8).name, QStringLiteral("Spalte1"));
        QCOMPARE(t.field(8).size, 80);
        QCOMPARE(t.field(9).type, FieldType::Currency);
        QCOMPARE(t.indexes().size(), 5);
        QCOMPARE(t.indexes().first().primary, true);
        QCOMPARE(t.recordCount(), 2);
        QVERIFY(t.first());
        const QStringList texts{"1", "True", "False", "31.01.2010", "jürgen@straße.de", "", "",
                                "",  "Öl",   "12,50", memo};
        for (int f = 0; f < texts.size(); ++f)
            QCOMPARE(t.text(f), texts.at(f));
        QCOMPARE(t.value("LetztesMail"), QVariant(QDate(2010, 1, 31)));
        QVERIFY(t.next());
        QVERIFY(t.isBlank(t.fieldIndex("Selected")));
        QVERIFY(t.isBlank(t.fieldIndex("LetztesMail")));
        QCOMPARE(t.value("Selected"), QVariant());
    }
};

QTEST_GUILESS_MAIN(TestAddressTable)
#include "tst_addresstable.moc"
