// Subscriptions and unsubscriptions from the lists of the web server: reading
// the lines and the answers, finding what changes the table, applying it in one
// transaction, and the requests sent to the server (against a script of answers).
#include "addressfixture.h"
#include "subscriptions.h"

#include <QTest>

using namespace vt;

Q_DECLARE_METATYPE(vt::EntryKind)
Q_DECLARE_METATYPE(vt::ListAnswer::Status)
Q_DECLARE_METATYPE(vt::WipeResult::Emptied)

namespace {

// Answers every request from a script and keeps the addresses asked for.
struct ScriptedServer : WebRequests
{
    QList<HttpResult> answers;
    QStringList asked;
    HttpResult get(const QUrl &url, const HttpLimits &, const QString &) override
    {
        asked.append(url.toString(QUrl::FullyEncoded));
        return answers.isEmpty() ? HttpResult{true, 200, {}, {}} : answers.takeFirst();
    }
};

QStringList labels(const CompareResult &r)
{
    QStringList out;
    for (const ListEntry &e : r.entries)
        out.append((e.kind == EntryKind::Subscription ? QStringLiteral("+") : QStringLiteral("-")) + e.address);
    return out;
}

} // namespace

class TestSubscriptions : public QObject
{
    Q_OBJECT

private slots:
    void cleaning()
    {
        QCOMPARE(CleanListLines(QStringLiteral("  a@b.de|1 \r\n\r\n\\\\240\r\nx\\y@b.de|2\\\\240|3\n \t\n")),
                 QStringList({"a@b.de|1", "xy@b.de|2|3"}));
    }

    void addressSyntax_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("shortest") << "a@b.de" << true;
        QTest::newRow("underscore") << "_@x.de" << true;
        QTest::newRow("one letter after the dot") << "a@b.d" << false;
        QTest::newRow("no dot") << "a@bde" << false;
        QTest::newRow("second @") << "a@@b.de" << false;
        QTest::newRow("blank") << "a b@x.de" << false;
        QTest::newRow("two dots") << "a..b@x.de" << false;
        QTest::newRow("plus") << "a+b@x.de" << false;
        QTest::newRow("nothing before @") << "@x.de" << false;
        QTest::newRow("umlaut") << "jürgen@x.de" << false;
    }
    void addressSyntax()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidEmailSyntax(address), valid);
    }

    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<EntryKind>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("unsubscription") << " Anna@X.de |20240101" << EntryKind::Unsubscription << "Anna@X.de"
                                        << "" << QStringList();
        // Every "|" separates: the empty items make a subscription, not an unsubscription.
        QTest::newRow("empty items") << "a@x.de|t|||" << EntryKind::Subscription << "a@x.de"
                                     << "" << QStringList();
        QTest::newRow("blank in the time") << "a@x.de|12.03.2024 10:00" << EntryKind::Unsubscription << "a@x.de"
                                           << "" << QStringList();
        QTest::newRow("seven items") << "a@x.de|t|Frau|_|Anna Maria_Müller|Ort=Bad_Orb|ende" << EntryKind::Subscription
                                     << "a@x.de"
                                     << "Anna Maria Müller" << QStringList({"Ort=Bad Orb"});
        QTest::newRow("field item without = and quotes")
            << "a@x.de|t|_|_|_|Ort|PLZ=\"12=3\"|ende" << EntryKind::Subscription << "a@x.de"
            << "" << QStringList({"PLZ=123"});
        QTest::newRow("five items: no last item") << "a@x.de|t|Herr|B|Name" << EntryKind::Subscription << "a@x.de"
                                                  << "Name" << QStringList();
        QTest::newRow("three items") << "a@x.de|t|Herr" << EntryKind::Unusable << "a@x.de"
                                     << "" << QStringList();
        QTest::newRow("bad address") << "a+news@x.de|t" << EntryKind::Unusable << "a+news@x.de"
                                     << "" << QStringList();
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(EntryKind, kind);
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(QStringList, fields);
        const ListEntry e = ParseListLine(line);
        QCOMPARE(e.kind, kind);
        QCOMPARE(e.address, address);
        QCOMPARE(e.name, name);
        QStringList got;
        for (const auto &[f, v] : e.fields)
            got.append(f + QLatin1Char('=') + v);
        QCOMPARE(got, fields);
    }

    void answers_data()
    {
        QTest::addColumn<HttpResult>("result");
        QTest::addColumn<bool>("markRequired");
        QTest::addColumn<ListAnswer::Status>("status");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("mark");
        const bool script = true, plainFile = false;
        QTest::newRow("list with mark")
            << HttpResult{true, 200, "a@x.de|1\r\nb@x.de|2|A|B|N|z\r\n#upto=ab12:30\r\n", {}} << script
            << ListAnswer::Status::Ok << QStringList({"a@x.de|1", "b@x.de|2|A|B|N|z"}) << "ab12:30";
        QTest::newRow("empty list") << HttpResult{true, 200, "#upto=0f:0\r\n", {}} << script << ListAnswer::Status::Ok
                                    << QStringList() << "0f:0";
        // The connection closed in the middle of a subscription, right after its
        // time: the cut line would read as an unsubscription.
        QTest::newRow("cut in the last line") << HttpResult{true, 200, "a@x.de|1\r\nknown@verein.de|20240102", {}}
                                              << script << ListAnswer::Status::Incomplete << QStringList() << "";
        QTest::newRow("cut in the mark") << HttpResult{true, 200, "a@x.de|1\r\n#upto=ab12:3", {}} << script
                                         << ListAnswer::Status::Incomplete << QStringList() << "";
        QTest::newRow("mark before the end") << HttpResult{true, 200, "#upto=ab:0\r\na@x.de|1\r\n", {}} << script
                                             << ListAnswer::Status::Incomplete << QStringList() << "";
        QTest::newRow("refused, after the stray line end of old password files")
            << HttpResult{true, 200, "\r\r\nAccess denied", {}} << script << ListAnswer::Status::Refused
            << QStringList() << "";
        QTest::newRow("refused, after a notice of the host")
            << HttpResult{true, 200, "Kostenloses Webhosting bei Beispiel\r\nAccess denied\r\n", {}} << script
            << ListAnswer::Status::Refused << QStringList() << "";
        QTest::newRow("page") << HttpResult{true, 200, "\n<html><body>Not here</body></html>", {}} << script
                              << ListAnswer::Status::Html << QStringList() << "";
        QTest::newRow("page after a byte-order mark")
            << HttpResult{true, 200, "\r\n\xEF\xBB\xBF<!DOCTYPE html>\r\n<p>Wartung</p>", {}} << script
            << ListAnswer::Status::Html << QStringList() << "";
        QTest::newRow("page after a notice line") << HttpResult{true, 200, "Hinweis: Wartung\r\nbis 12 Uhr <b>", {}}
                                                  << script << ListAnswer::Status::Html << QStringList() << "";
        QTest::newRow("list after a byte-order mark")
            << HttpResult{true,
                          200,
                          "\r\n\xEF\xBB\xBF"
                          "a@x.de|1\r\n#upto=ab:9\r\n",
                          {}}
            << script << ListAnswer::Status::Ok << QStringList({"a@x.de|1"}) << "ab:9";
        QTest::newRow("old plain list in Windows-1252 with its length")
            << HttpResult{true, 200, "m\xfc@x.de|1|_|_|M\xfcller|x", {}, false, false, true} << plainFile
            << ListAnswer::Status::Ok << QStringList({QStringLiteral("mü@x.de|1|_|_|Müller|x")}) << "";
        QTest::newRow("old plain list without a length")
            << HttpResult{true, 200, "a@x.de|1|_|_|A|x\r\nb@x.de|2", {}} << plainFile << ListAnswer::Status::Incomplete
            << QStringList() << "";
        QTest::newRow("failure") << HttpResult{false, 404, "<html>404</html>", "Fehler 404"} << script
                                 << ListAnswer::Status::Failed << QStringList() << "";
        QTest::newRow("cancelled") << HttpResult{false, 0, {}, "Die Anfrage wurde abgebrochen.", true} << script
                                   << ListAnswer::Status::Cancelled << QStringList() << "";
    }
    void answers()
    {
        QFETCH(HttpResult, result);
        QFETCH(bool, markRequired);
        QFETCH(ListAnswer::Status, status);
        QFETCH(QStringList, lines);
        QFETCH(QString, mark);
        const ListAnswer a = ReadListAnswer(result, markRequired);
        QCOMPARE(a.status, status);
        QCOMPARE(a.lines, lines);
        QCOMPARE(a.mark, mark);
    }

    void compareFindsWhatChangesTheTable()
    {
        AddressFixture t({{"Known@X.de", "a"},
                          {" trail@x.de ", "b"},
                          {"hidden@x.de", "c"},
                          {"abc@x.de", "d"},
                          {"both@x.de", "e"},
                          {"both@x.de", "f"}});
        // A filter of the grid hides a known address; it is known all the same.
        QVERIFY(t.table.setFilterText(QStringLiteral("Name='a'")) && t.table.setFiltered(true));
        const QStringList in{
            "known@x.de|20240101000000|_|_|x|z", // known: dropped
            "new@x.de|20240101000000|_|_|x|z",   // new: taken
            "late@x.de|20240102000000|_|_|x|z",  // subscribed after unsubscribing
            "hidden@x.de|20240101000000",        // unsubscription in the wrong list
            "ab-c@x.de|20240101000000|_|_|x|z",  // next to abc@x.de
            "a+b@x.de|20240101000000|_|_|x|z",   // no address
            "three@x.de|1|2",                    // neither kind
        };
        const QStringList out{
            "TRAIL@x.de|20240101000000", // trailing blank in the table
            "late@x.de|20240101000000",    "abc@x.de|20240103000000",
            "unknown@x.de|20240101000000", // not in the table: dropped
            "both@x.de|20240101000000",
            "new@x.de|20231231000000", // older than the subscription
        };
        const CompareResult r = CompareOrders(in, out, t.table);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(labels(r), QStringList({"+ab-c@x.de", "-abc@x.de", "-both@x.de", "-hidden@x.de", "+late@x.de",
                                         "+new@x.de", "-TRAIL@x.de"}));
        QCOMPARE(r.unusable.size(), 2);
        QCOMPARE(r.total, 13);
        QCOMPARE(r.subscriptions, 3);
        QCOMPARE(r.unsubscriptions, 4);
        QVERIFY(t.table.isFiltered());
    }

    void percentages_data()
    {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("a third") << 1 << 3 << 33;
        QTest::newRow("half down to even") << 1 << 8 << 12;
        QTest::newRow("half up to even") << 3 << 8 << 38;
        QTest::newRow("two thirds") << 2 << 3 << 67;
        QTest::newRow("nothing fetched") << 0 << 0 << 0;
    }
    void percentages()
    {
        QFETCH(int, part);
        QFETCH(int, total);
        QFETCH(int, percent);
        QCOMPARE(RoundedPercent(part, total), percent);
    }

    void applyUnsubscriptions_data()
    {
        QTest::addColumn<bool>("onlyInvalid");
        QTest::newRow("delete") << false;
        QTest::newRow("mark invalid") << true;
    }
    void applyUnsubscriptions()
    {
        QFETCH(bool, onlyInvalid);
        AddressFixture t({{"x@y.de", "1"}, {"X@Y.de ", "2"}, {"x@y.de", "3"}, {"xx@y.de", "4"}, {"other@y.de", "5"}});
        QVERIFY(t.table.setFilterText(QStringLiteral("Name='5'")) && t.table.setFiltered(true));
        const ApplyResult r = ApplyOrders(t.table, {ParseListLine("x@y.de|1")}, onlyInvalid);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(t.table.setFiltered(false));
        if (onlyInvalid) {
            QCOMPARE(r.marked, 3);
            QCOMPARE(column(t.table, "Invalid"), QStringList({"True", "True", "True", "", ""}));
        } else {
            QCOMPARE(r.deleted, 3);
            QCOMPARE(t.mails(), QStringList({"xx@y.de", "other@y.de"}));
        }
    }

    void applySubscription()
    {
        AddressFixture t({});
        const ListEntry e =
            ParseListLine("anna@x.de|t|Frau|_|Anna_Müller|Ort=Bad Orb|Selected=True|ID=5|Mail=evil@x.de|Invalid=True|"
                          "Geburt=kein Datum|Unbekannt=1|Name=Fremd|ende");
        const ApplyResult r = ApplyOrders(t.table, {e}, false);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.appended, 1);
        QCOMPARE(t.mails(), QStringList({"anna@x.de"}));
        QCOMPARE(t.field("anna@x.de", "Anrede"), QStringLiteral("Frau"));
        QCOMPARE(t.field("anna@x.de", "Betreff"), QString());
        QCOMPARE(t.field("anna@x.de", "Name"), QStringLiteral("Anna Müller"));
        QCOMPARE(t.field("anna@x.de", "Ort"), QStringLiteral("Bad Orb"));
        QCOMPARE(t.field("anna@x.de", "Geburt"), QString());
        // The fields the program keeps are its own: a new record is neither marked nor invalid.
        QCOMPARE(t.field("anna@x.de", "Selected"), QStringLiteral("False"));
        QCOMPARE(t.field("anna@x.de", "Invalid"), QStringLiteral("False"));
        QVERIFY(t.field("anna@x.de", "ID") != QStringLiteral("5"));
    }

    void applyIsAllOrNothing()
    {
        // A required field that no subscription fills makes the last append fail.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pflicht.DB"));
        QVERIFY(makeTable(path, definitionWith({QStringLiteral("Kunde| ftString | True |20| | | | FALSE | Kunde")})));
        AddressTable table;
        QVERIFY(table.open(path));
        QVERIFY(fill(table, {{{"Mail", "old@x.de"}, {"Kunde", "1"}}}));
        const ApplyResult r = ApplyOrders(
            table,
            {ParseListLine("old@x.de|1"), ParseListLine("a@x.de|t|_|_|_|Kunde=7|e"), ParseListLine("b@x.de|t|_|_|_|e")},
            false);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("b@x.de"), qPrintable(r.error));
        QCOMPARE(column(table, "Mail"), QStringList({"old@x.de"}));
        QCOMPARE(r.appended + r.deleted, 0);
    }

    void requests()
    {
        ScriptedServer http;
        http.answers = {HttpResult{true, 200, "<html>mailin</html>", {}},
                        HttpResult{true, 200, "a@x.de|1\n#upto=a1:7\n", {}}};
        SubscriptionServer server(http, QStringLiteral("https://h.de/news/"), QStringLiteral("Pw1"));
        QVERIFY(server.ping());
        QCOMPARE(server.fetchList(true).mark, QStringLiteral("a1:7"));
        server.fetchList(false);
        http.answers = {HttpResult{true, 200, "OK", {}}};
        QCOMPARE(server.wipe(QStringLiteral("a1:7"), QStringLiteral("b2:0")).emptied, WipeResult::Emptied::Both);
        QCOMPARE(http.asked.size(), 4);
        QVERIFY(QRegularExpression("^https://h\\.de/news/mailin\\.php\\?\\d{1,3}$").match(http.asked[0]).hasMatch());
        QCOMPARE(http.asked[1], QStringLiteral("https://h.de/news/email_list_in.php?password=Pw1"));
        QCOMPARE(http.asked[2], QStringLiteral("https://h.de/news/email_list_out.php?password=Pw1"));
        QVERIFY2(QRegularExpression("^https://h\\.de/news/wipe_files\\.php\\?\\d{1,3}&password=Pw1&upto_in=a1%3A7"
                                    "&upto_out=b2%3A0$")
                     .match(http.asked[3])
                     .hasMatch(),
                 qPrintable(http.asked[3]));
        // Without a password: the old plain lists.
        SubscriptionServer old(http, QStringLiteral("http://h.de/news/"), QString());
        QCOMPARE(old.listUrl(true).toString(), QStringLiteral("http://h.de/news/email_list_in.txt"));
        // The start of a fetch the user ended ends the fetch.
        http.answers = {HttpResult{false, 0, {}, "abgebrochen", true}};
        QVERIFY(!server.ping());
    }

    // What the program says after a wipe follows what the server did, and where
    // it cannot know, it says so.
    void wipeAnswers_data()
    {
        QTest::addColumn<HttpResult>("result");
        QTest::addColumn<WipeResult::Emptied>("emptied");
        QTest::addColumn<QString>("reason");
        QTest::newRow("both") << HttpResult{true, 200, "OK", {}} << WipeResult::Emptied::Both << "";
        QTest::newRow("password refused") << HttpResult{true, 200, "Access denied", {}} << WipeResult::Emptied::None
                                          << "Das Passwort wurde vom Server abgelehnt.";
        QTest::newRow("a mark does not fit")
            << HttpResult{false, 409, "wiped=none changed\r\n", "Fehler 409"} << WipeResult::Emptied::None
            << "Die Listen auf dem Server haben sich seit dem Abholen verändert (zum Beispiel, weil sie inzwischen an "
               "einem anderen Arbeitsplatz abgeholt wurden).";
        QTest::newRow("second list not written")
            << HttpResult{false, 500, "wiped=in unwritable\r\n", "Fehler 500"} << WipeResult::Emptied::SubscriptionsOnly
            << "Die Listen auf dem Server können nicht geschrieben werden.";
        QTest::newRow("no connection") << HttpResult{false, 0, {}, "abgelehnt", false, true}
                                       << WipeResult::Emptied::None << "abgelehnt";
        QTest::newRow("script missing") << HttpResult{false, 404, "<html>", "Fehler 404"} << WipeResult::Emptied::None
                                        << "Fehler 404";
        QTest::newRow("no answer in time")
            << HttpResult{false, 0, {}, "zu langsam"} << WipeResult::Emptied::Unknown << "zu langsam";
        QTest::newRow("cancelled") << HttpResult{false, 0, {}, "abgebrochen", true} << WipeResult::Emptied::Unknown
                                   << "abgebrochen";
        QTest::newRow("something else") << HttpResult{true, 200, "Wartungsarbeiten", {}} << WipeResult::Emptied::Unknown
                                        << "Der Server hat das Leeren nicht bestätigt.";
    }
    void wipeAnswers()
    {
        QFETCH(HttpResult, result);
        QFETCH(WipeResult::Emptied, emptied);
        QFETCH(QString, reason);
        ScriptedServer http;
        http.answers = {result};
        const WipeResult w = SubscriptionServer(http, QStringLiteral("https://h.de/news/"), QStringLiteral("Pw1"))
                                 .wipe(QStringLiteral("a1:7"), QStringLiteral("b2:0"));
        QCOMPARE(w.emptied, emptied);
        QCOMPARE(w.reason, reason);
    }
};

QTEST_GUILESS_MAIN(TestSubscriptions)
#include "tst_subscriptions.moc"
