// The subscription folder and the statistics folder as they run on a web server:
// the generated files and the shipped scripts under PHP's built-in server, the
// forms submitted as a browser submits them, and the program's own fetch, apply
// and wipe against them. The click tracking with links signed as the HTML runs
// sign them.
#include "addressfixture.h"
#include "sitefixture.h"
#include "statssetup.h"
#include "subscriptions.h"
#include "testfolder.h"
#include "tracking.h"
#include "webpages.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace vt;

namespace {

QStringList labels(const CompareResult &r)
{
    QStringList out;
    for (const ListEntry &e : r.entries)
        out.append((e.kind == EntryKind::Subscription ? "Bestellung | " : "Abbestellung | ") + e.address);
    return out;
}

// One request without following redirects: status, headers and body.
struct Raw
{
    int status = 0;
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
};
Raw rawGet(const QString &address)
{
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(nam.get(request));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Raw r;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    for (const auto &[name, value] : reply->rawHeaderPairs())
        r.headers.insert(name.toLower(), value);
    r.body = reply->readAll();
    return r;
}

// The same requests at once, as several visitors send them; the answers in the order of the addresses.
QList<Raw> rawGetAll(const QStringList &addresses)
{
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);
    QList<Raw> out(addresses.size());
    qsizetype open = addresses.size();
    QEventLoop loop;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        QNetworkRequest request{QUrl(addresses.at(i))};
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = nam.get(request);
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply, i] {
            out[i].status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            for (const auto &[name, value] : reply->rawHeaderPairs())
                out[i].headers.insert(name.toLower(), value);
            out[i].body = reply->readAll();
            reply->deleteLater();
            if (--open == 0)
                loop.quit();
        });
    }
    if (open > 0)
        loop.exec();
    return out;
}

// A mail as Python's mail parser reads it: subject, then the text.
QStringList readMail(const QByteArray &mail)
{
    QProcess py;
    py.start("python3", {"-c", "import email, sys\nfrom email import policy\n"
                               "m = email.message_from_binary_file(sys.stdin.buffer, policy=policy.default)\n"
                               "sys.stdout.buffer.write((m['subject'] + '\\n' + m.get_content()).encode('utf-8'))"});
    py.write(mail);
    py.closeWriteChannel();
    if (!py.waitForFinished(20000))
        return {"<python3 does not run: install the Debian package python3>"};
    return QString::fromUtf8(py.readAllStandardOutput()).split('\n');
}

// The state letter of a process ('Z' for one that ended and waits to be reaped), or 0 when it is gone.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}

// The processes whose parent is pid.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> out;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 child = name.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(name));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1 && after.at(1).toLongLong() == pid)
            out.append(child);
    }
    return out;
}

// A data file of the scripts as they write it: the line that ends every request
// for it, holding the file's generation, then one entry a line.
QByteArray dataFile(const QByteArray &entries)
{
    return "<?php exit; ?>00112233445566ff\n" + entries;
}

// count lines of a list, the addresses numbered after prefix.
QByteArray listLines(const QByteArray &prefix, int count, bool subscriptions)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        out += prefix + n + "@verein.de|20240102030405000000";
        if (subscriptions)
            out += "|_|_|Name_" + n + "|20240102030405000000";
        out += '\n';
    }
    return out;
}

// The files of a folder, but for those named, that hold any of the texts (a copy of a list left behind).
QStringList filesHolding(const QString &folder, const QList<QByteArray> &texts, const QStringList &except)
{
    QStringList out;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        QFile f(folder + name);
        if (except.contains(name) || !f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray content = f.readAll();
        for (const QByteArray &text : texts)
            if (content.contains(text)) {
                out.append(name);
                break;
            }
    }
    return out;
}

} // namespace

class TestWebServer : public QObject
{
    Q_OBJECT

private slots:
    void roundTripFromTheFormToTheRecord()
    {
        Site site;
        START(site);
        const HttpResult page =
            site.submit("subscribe.html",
                        {{"Mail", "anna@verein.de"}, {"Anrede", "Frau"}, {"Name", "Anna Müller"}, {"Ort", "Bad Orb"}});
        QVERIFY2(page.ok, qPrintable(page.error));
        // The page after subscribing shows the text of the settings.
        QVERIFY(QString::fromUtf8(page.body).contains(DefaultConfirmationTexts().message.first()));

        AddressFixture t({{"known@verein.de", "Bekannt"}});
        Site::Fetched f = site.fetch(t.table);
        QCOMPARE(f.in.status, ListAnswer::Status::Ok);
        QCOMPARE(f.out.status, ListAnswer::Status::Ok);
        QCOMPARE(labels(f.found), QStringList({"Bestellung | anna@verein.de"}));
        const ApplyResult applied = ApplyOrders(t.table, f.found.entries, false);
        QVERIFY2(applied.ok, qPrintable(applied.error));
        QCOMPARE(t.field("anna@verein.de", "Name"), QStringLiteral("Anna Müller"));
        QCOMPARE(t.field("anna@verein.de", "Anrede"), QStringLiteral("Frau"));
        QCOMPARE(t.field("anna@verein.de", "Ort"), QStringLiteral("Bad Orb"));
        QCOMPARE(t.field("anna@verein.de", "LetztesMail"), QString());

        QCOMPARE(site.scripts().wipe(f.in.mark, f.out.mark).emptied, WipeResult::Emptied::Both);
        QVERIFY(site.fetch(t.table).in.lines.isEmpty());
        // The same wipe sent again (the connection broke before its answer) finds its work done and
        // removes nothing that came in since.
        QVERIFY(site.submit("subscribe.html", {{"Mail", "bert@verein.de"}}).ok);
        QCOMPARE(site.scripts().wipe(f.in.mark, f.out.mark).emptied, WipeResult::Emptied::Both);
        QCOMPARE(site.fetch(t.table).in.lines.size(), 1);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void doubleOptInByTheMailsLink()
    {
        Site site;
        site.input.doubleOptIn = true;
        START(site);
        // The server's settings decide: a form that asks for no confirmation gets one all the same.
        QVERIFY(site.get(site.base() + "mailin.php?send=ok&action=sign&double=off&cap=0&Mail=bert%40verein.de&"
                                       "Name=Bert")
                    .ok);
        AddressFixture t;
        QVERIFY(site.fetch(t.table).in.lines.isEmpty());

        const QList<QByteArray> mails = site.server.mails();
        QCOMPARE(mails.size(), 1);
        QVERIFY(mails.first().contains("To: bert@verein.de"));
        QVERIFY(mails.first().contains("From: info@verein.example"));
        const QStringList mail = readMail(mails.first());
        QCOMPARE(mail.first(), QStringLiteral("Bestätigung Ihrer Anmeldung"));
        QVERIFY(mail.contains("+++Automatisch erzeugter Link+++"));
        const QString link =
            QRegularExpression(QRegularExpression::escape(site.base()) + "mailin\\.php\\?confirm=[0-9a-f]{32}")
                .match(mail.join('\n'))
                .captured();
        QVERIFY2(!link.isEmpty(), qPrintable(mail.join('\n')));

        // Nothing the web can reach shows who waits for confirmation.
        for (const char *file : {"hashes.csv", "email_pending.dat.php", "email_list_in.dat.php", "mailin.php"})
            QVERIFY2(!site.get(site.base() + file).body.contains("bert"), file);

        QVERIFY(QString::fromUtf8(site.get(link).body).contains("bestätigt"));
        QCOMPARE(labels(site.fetch(t.table).found), QStringList({"Bestellung | bert@verein.de"}));
        // The link counts once.
        QVERIFY(QString::fromUtf8(site.get(link).body).contains("abgelaufen"));
        QCOMPARE(site.fetch(t.table).in.lines.size(), 1);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    // However often an address is subscribed, it waits once and gets one mail;
    // and one machine starts only a few confirmations an hour.
    void oneConfirmationMailPerAddress()
    {
        Site site;
        site.input.doubleOptIn = true;
        site.server.setWorkers(4);
        START(site);
        QStringList requests;
        for (int i = 0; i < 20; ++i)
            requests.append(site.base() + "mailin.php?send=ok&action=sign&double=on&cap=0&Name=N" + QString::number(i) +
                            (i % 2 ? "&Mail=bert%40verein.de" : "&Mail=Bert%40Verein.DE"));
        for (const Raw &answer : rawGetAll(requests)) {
            QCOMPARE(answer.status, 303);
            QCOMPARE(answer.headers.value("location"), QByteArray("submit-seite.php?msg=sign"));
        }
        QCOMPARE(site.server.mails().size(), 1);
        // Entries of the pending file: token|time|address|the line for the list.
        const auto waiting = [&](const QString &address) {
            QFile pending(site.folder() + "email_pending.dat.php");
            if (!pending.open(QIODevice::ReadOnly))
                return -1;
            int n = 0;
            for (const QByteArray &line : pending.readAll().split('\n'))
                n += line.split('|').value(2).compare(address.toUtf8(), Qt::CaseInsensitive) == 0;
            return n;
        };
        QCOMPARE(waiting("bert@verein.de"), 1);

        // Nine more addresses from this machine get their mails; the next is asked to wait.
        for (int i = 0; i < 9; ++i)
            QVERIFY(site.submit("subscribe.html", {{"Mail", QStringLiteral("p%1@verein.de").arg(i)}}).ok);
        QCOMPARE(site.server.mails().size(), 10);
        const HttpResult refused = site.submit("subscribe.html", {{"Mail", "zehn@verein.de"}});
        QVERIFY(refused.ok);
        QVERIFY2(QString::fromUtf8(refused.body).contains("zu viele Newsletter-Bestellungen"),
                 refused.body.constData());
        QCOMPARE(site.server.mails().size(), 10);
        QCOMPARE(waiting("zehn@verein.de"), 0);
        // An address that waits already is still answered as before.
        QVERIFY(QString::fromUtf8(site.submit("subscribe.html", {{"Mail", "p3@verein.de"}}).body)
                    .contains(DefaultConfirmationTexts().message.first()));

        // Bert's one link confirms him once.
        const QString link = QRegularExpression("http://\\S+confirm=[0-9a-f]{32}")
                                 .match(QString::fromUtf8(site.server.mails().first()))
                                 .captured();
        QVERIFY(site.get(link).ok);
        AddressFixture t;
        // Whichever request came first is the one that waited.
        QCOMPARE(labels(site.fetch(t.table).found).join('\n').toLower(), QStringLiteral("bestellung | bert@verein.de"));
        QCOMPARE(waiting("bert@verein.de"), 0);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void theLaterUnsubscriptionWins_data()
    {
        QTest::addColumn<bool>("onlyInvalid");
        QTest::newRow("delete") << false;
        QTest::newRow("mark invalid") << true;
    }
    void theLaterUnsubscriptionWins()
    {
        QFETCH(bool, onlyInvalid);
        Site site;
        START(site);
        AddressFixture t({{"x@verein.de", "1"}, {"X@verein.de", "2"}, {"x@verein.de", "3"}, {"y@verein.de", "4"}});
        QVERIFY(site.submit("subscribe.html", {{"Mail", "x@verein.de"}, {"Name", "Neu"}}).ok);
        QVERIFY(site.submit("unsubscribe.html", {{"Mail", "X@verein.de"}}).ok);
        const Site::Fetched f = site.fetch(t.table);
        QCOMPARE(labels(f.found), QStringList({"Abbestellung | X@verein.de"}));
        QVERIFY(ApplyOrders(t.table, f.found.entries, onlyInvalid).ok);
        if (onlyInvalid)
            QCOMPARE(column(t.table, "Invalid"), QStringList({"True", "True", "True", ""}));
        else
            QCOMPARE(t.mails(), QStringList({"y@verein.de"}));
    }

    void passwords()
    {
        Site site;
        site.input.password = QStringLiteral("1000");
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "a@verein.de"}}).ok);
        QCOMPARE(site.scripts("1000").fetchList(true).lines.size(), 1);
        // PHP's loose comparison would take these for "1000".
        for (const QString &wrong :
             {QStringLiteral("1e3"), QStringLiteral("01000"), QStringLiteral("1001"), QString()}) {
            const ListAnswer a = site.scripts(wrong).fetchList(true);
            QVERIFY2(a.status == ListAnswer::Status::Refused ||
                         (wrong.isEmpty() && a.status == ListAnswer::Status::Failed),
                     qPrintable(wrong));
            QVERIFY(a.lines.isEmpty());
        }
        QVERIFY(site.get(site.base() + "email_list_in.php?password[]=1000").body.trimmed() == "Access denied");
        // The wipe needs the password too.
        const QString mark = site.scripts("1000").fetchList(true).mark;
        QCOMPARE(site.get(site.base() + "wipe_files.php?upto_in=" + mark + "&upto_out=" + mark).body,
                 QByteArray("Access denied"));
        QCOMPARE(site.scripts("1000").fetchList(true).lines.size(), 1);
        // Without the password file nobody gets in, not even with the password.
        QVERIFY(QFile::remove(site.folder() + "mailin_pw.php"));
        QCOMPARE(site.scripts("1000").fetchList(true).status, ListAnswer::Status::Refused);
        QCOMPARE(site.get(site.base() + "email_list_out.php").body.trimmed(), QByteArray("Access denied"));
        QCOMPARE(site.scripts("1000").wipe(mark, mark).emptied, WipeResult::Emptied::None);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void hostileValuesStayValues()
    {
        Site site;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "eve@verein.de"},
                                               {"Anrede", "<b>Frau</b>"},
                                               {"Name", "<?php echo \"PWN\".\"ED\"; ?>"},
                                               {"Ort", "a|b\r\nc=\"d\" Access denied"}})
                    .ok);
        QVERIFY(site.get(site.base() + "mailin.php?send=ok&action=sign&Mail=mal%40verein.de&Selected=True&"
                                       "x%7Cy=1")
                    .ok);
        QVERIFY(!site.submit("unsubscribe.html", {{"Mail", "a\r\nb@verein.de"}}).body.isEmpty());
        AddressFixture t;
        const Site::Fetched f = site.fetch(t.table);
        QCOMPARE(f.in.status, ListAnswer::Status::Ok);
        QVERIFY(f.out.lines.isEmpty());
        QCOMPARE(labels(f.found), QStringList({"Bestellung | eve@verein.de", "Bestellung | mal@verein.de"}));
        for (const QString &line : f.in.lines)
            QVERIFY2(!line.contains("PWNED") && !line.contains('<') && !line.contains('"'), qPrintable(line));
        QVERIFY(ApplyOrders(t.table, f.found.entries, false).ok);
        QCOMPARE(t.field("eve@verein.de", "Name"), QStringLiteral("?php echo PWN.ED; ?"));
        QCOMPARE(t.field("eve@verein.de", "Anrede"), QStringLiteral("bFrau/b"));
        QCOMPARE(t.field("eve@verein.de", "Ort"), QStringLiteral("abcd"));
        QCOMPARE(t.field("mal@verein.de", "Selected"), QStringLiteral("False"));
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void entriesOfTheMeantimeSurvive()
    {
        Site site;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "first@verein.de"}}).ok);
        QVERIFY(site.submit("unsubscribe.html", {{"Mail", "gone@verein.de"}}).ok);
        AddressFixture t({{"gone@verein.de", ""}});
        const Site::Fetched f = site.fetch(t.table);
        QCOMPARE(f.found.entries.size(), 2);
        // While the user looks at the list, more come in.
        QVERIFY(site.submit("subscribe.html", {{"Mail", "second@verein.de"}}).ok);
        QVERIFY(site.submit("unsubscribe.html", {{"Mail", "later@verein.de"}}).ok);
        QVERIFY(ApplyOrders(t.table, f.found.entries, false).ok);
        QCOMPARE(site.scripts().wipe(f.in.mark, f.out.mark).emptied, WipeResult::Emptied::Both);
        const Site::Fetched next = site.fetch(t.table);
        QCOMPARE(next.in.lines.size(), 1);
        QVERIFY(next.in.lines.first().startsWith("second@verein.de|"));
        QCOMPARE(next.out.lines.size(), 1);
        QVERIFY(next.out.lines.first().startsWith("later@verein.de|"));
    }

    // When one mark does not fit, neither list is touched, and the program is told so.
    void aWipeEmptiesBothListsOrNeither_data()
    {
        QTest::addColumn<bool>("inFits");
        QTest::newRow("unsubscription mark refused") << true;
        QTest::newRow("subscription mark refused") << false;
    }
    void aWipeEmptiesBothListsOrNeither()
    {
        QFETCH(bool, inFits);
        Site site;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "neu@verein.de"}}).ok);
        QVERIFY(site.submit("unsubscribe.html", {{"Mail", "weg@verein.de"}}).ok);
        AddressFixture t({{"weg@verein.de", ""}});
        const Site::Fetched f = site.fetch(t.table);
        QCOMPARE(f.found.entries.size(), 2);
        // A mark of another generation of the list, as after a wipe from another workstation.
        const QString stale = QStringLiteral("0123456789abcdef:0");
        const WipeResult w = site.scripts().wipe(inFits ? f.in.mark : stale, inFits ? stale : f.out.mark);
        const Site::Fetched again = site.fetch(t.table);
        QCOMPARE(again.in.lines, f.in.lines);
        QCOMPARE(again.out.lines, f.out.lines);
        QCOMPARE(w.emptied, WipeResult::Emptied::None);
        QVERIFY2(w.reason.contains("verändert"), qPrintable(w.reason));
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    // A wipe whose new list cannot be written whole (a full disk, a quota, a limit
    // on file sizes, the worker ended half-way) leaves both lists exactly as they
    // were and no copy of them beside; once the server can write again the same
    // wipe does its work.
    void aWipeThatCannotWriteLeavesBothListsWhole_data()
    {
        QTest::addColumn<bool>("bigSubscriptions"); // which list keeps more than the limit lets be written
        QTest::addColumn<bool>("endAtLimit");
        QTest::newRow("subscriptions, write refused") << true << false;
        QTest::newRow("subscriptions, worker ended") << true << true;
        QTest::newRow("unsubscriptions, write refused") << false << false;
        QTest::newRow("unsubscriptions, worker ended") << false << true;
    }
    void aWipeThatCannotWriteLeavesBothListsWhole()
    {
        QFETCH(bool, bigSubscriptions);
        QFETCH(bool, endAtLimit);
        const qsizetype limit = 65536;
        const QString inFile = QStringLiteral("www/news/email_list_in.dat.php");
        const QString outFile = QStringLiteral("www/news/email_list_out.dat.php");
        Site site;
        site.server.setFileSizeLimit(limit, endAtLimit);
        site.app.write(inFile, dataFile(listLines("alt", 3, true)));
        site.app.write(outFile, dataFile(listLines("weg", 3, false)));
        START(site);
        const ListAnswer in = site.scripts().fetchList(true);
        const ListAnswer out = site.scripts().fetchList(false);
        QCOMPARE(in.lines.size(), 3);
        QCOMPARE(out.lines.size(), 3);
        // While the user looks at the lists so many come in that what stays outgrows the limit.
        const QByteArray laterIn = listLines("neu", bigSubscriptions ? 2500 : 1, true);
        const QByteArray laterOut = listLines("raus", bigSubscriptions ? 1 : 2500, false);
        QVERIFY(qMax(laterIn.size(), laterOut.size()) > limit);
        site.app.write(inFile, site.app.read(inFile) + laterIn);
        site.app.write(outFile, site.app.read(outFile) + laterOut);
        const QByteArray inBefore = site.app.read(inFile);
        const QByteArray outBefore = site.app.read(outFile);
        const QList<QByteArray> later{"neu0@verein.de", "raus0@verein.de"};
        const QStringList lists{"email_list_in.dat.php", "email_list_out.dat.php"};

        const WipeResult w = site.scripts().wipe(in.mark, out.mark);
        QCOMPARE(site.app.read(inFile), inBefore);
        QCOMPARE(site.app.read(outFile), outBefore);
        QVERIFY(w.emptied != WipeResult::Emptied::Both && w.emptied != WipeResult::Emptied::SubscriptionsOnly);
        if (!endAtLimit) {
            QCOMPARE(w.emptied, WipeResult::Emptied::None);
            QVERIFY2(w.reason.contains("nicht geschrieben"), qPrintable(w.reason));
            QCOMPARE(filesHolding(site.folder(), later, lists), QStringList());
        }

        site.server.stop();
        site.server.setFileSizeLimit(-1, true);
        START(site);
        QCOMPARE(site.scripts().fetchList(true).lines.size(), 3 + laterIn.count('\n'));
        QCOMPARE(site.scripts().fetchList(false).lines.size(), 3 + laterOut.count('\n'));
        // What an ended worker left half-written is gone once the lists are opened again.
        QCOMPARE(filesHolding(site.folder(), later, lists), QStringList());
        QCOMPARE(site.scripts().wipe(in.mark, out.mark).emptied, WipeResult::Emptied::Both);
        QCOMPARE(site.app.read(inFile).mid(site.app.read(inFile).indexOf('\n') + 1), laterIn);
        QCOMPARE(site.app.read(outFile).mid(site.app.read(outFile).indexOf('\n') + 1), laterOut);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void uploadingTheFilesAgainLosesNothing()
    {
        Site site;
        site.input.doubleOptIn = true;
        START(site);
        QVERIFY(site.submit("subscribe.html", {{"Mail", "wait@verein.de"}}).ok);
        QVERIFY(site.get(site.base() + "mailin.php?send=ok&action=delete&Mail=out%40verein.de").ok);
        // The user changes a colour and uploads the whole set again.
        site.input.fontColor = QStringLiteral("#FF0000");
        QVERIFY(site.generate());
        AddressFixture t({{"out@verein.de", ""}});
        QCOMPARE(labels(site.fetch(t.table).found), QStringList({"Abbestellung | out@verein.de"}));
        const QString link = QRegularExpression("http://\\S+confirm=[0-9a-f]{32}")
                                 .match(QString::fromUtf8(site.server.mails().value(0)))
                                 .captured();
        QVERIFY(site.get(link).ok);
        QCOMPARE(labels(site.fetch(t.table).found),
                 QStringList({"Abbestellung | out@verein.de", "Bestellung | wait@verein.de"}));
    }

    // The subscriber is told that nothing was stored: then nothing waits for a
    // confirmation whose link never reached anyone.
    void aConfirmationThatCannotBeSentKeepsNothing()
    {
        Site site;
        site.input.doubleOptIn = true;
        START(site);
        QVERIFY(site.server.refuseMails());
        const HttpResult answer = site.submit("subscribe.html", {{"Mail", "bert@verein.de"}, {"Name", "Bert"}});
        QVERIFY(answer.ok);
        QVERIFY2(QString::fromUtf8(answer.body).contains("nicht gespeichert"), answer.body.constData());
        QVERIFY(site.server.mails().isEmpty());
        QFile pending(site.folder() + "email_pending.dat.php");
        QVERIFY(pending.open(QIODevice::ReadOnly));
        QVERIFY2(!pending.readAll().contains("bert@verein.de"), "the subscription still waits");
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    // A subscription that cannot be stored whole is not confirmed, and what waited
    // on the server before stays as it was; once the server can write again it is
    // stored as one whole entry.
    void aSubscriptionThatCannotBeStoredIsNotConfirmed_data()
    {
        QTest::addColumn<bool>("doubleOptIn");
        QTest::addColumn<bool>("endAtLimit");
        QTest::newRow("into the list, write refused") << false << false;
        QTest::newRow("into the list, worker ended") << false << true;
        QTest::newRow("waiting for confirmation, write refused") << true << false;
        QTest::newRow("waiting for confirmation, worker ended") << true << true;
    }
    void aSubscriptionThatCannotBeStoredIsNotConfirmed()
    {
        QFETCH(bool, doubleOptIn);
        QFETCH(bool, endAtLimit);
        const QString file = doubleOptIn ? QStringLiteral("www/news/email_pending.dat.php")
                                         : QStringLiteral("www/news/email_list_in.dat.php");
        QByteArray entries;
        if (doubleOptIn) {
            // token|time|address|entry, young enough to stay
            const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
            const QList<QByteArray> lines = listLines("wartet", 1500, true).split('\n');
            for (int i = 0; i < 1500; ++i)
                entries += QByteArray::number(i).rightJustified(32, '0') + '|' + now + '|' +
                           lines.at(i).left(lines.at(i).indexOf('|')) + '|' + lines.at(i) + '\n';
        } else {
            entries = listLines("alt", 20, true);
        }
        const QByteArray before = dataFile(entries);
        // The pending file is written again whole, beyond the limit; the list may grow by less than a line.
        const qsizetype limit = doubleOptIn ? 65536 : before.size() + 10;
        QVERIFY(!doubleOptIn || before.size() > limit);
        Site site;
        site.input.doubleOptIn = doubleOptIn;
        site.server.setFileSizeLimit(limit, endAtLimit);
        site.app.write(file, before);
        START(site);
        const QList<QPair<QString, QString>> values{{"Mail", "neu@verein.de"}, {"Name", "Neu"}};
        const QStringList itself{QFileInfo(file).fileName()};
        const QByteArray firstEntry = doubleOptIn ? "wartet0@verein.de" : "alt0@verein.de";

        const HttpResult answer = site.submit("subscribe.html", values);
        if (endAtLimit) {
            QVERIFY(!answer.ok);
        } else {
            QVERIFY(answer.ok);
            QVERIFY2(QString::fromUtf8(answer.body).contains("nicht gespeichert"), answer.body.constData());
            QCOMPARE(filesHolding(site.folder(), {firstEntry}, itself), QStringList());
        }
        QVERIFY(site.server.mails().isEmpty());
        if (doubleOptIn || !endAtLimit)
            QCOMPARE(site.app.read(file), before);
        else // the half line an ended worker appended is no entry (see below)
            QVERIFY(site.app.read(file).startsWith(before));

        site.server.stop();
        site.server.setFileSizeLimit(-1, true);
        START(site);
        const HttpResult again = site.submit("subscribe.html", values);
        QVERIFY2(again.ok && !QString::fromUtf8(again.body).contains("nicht gespeichert"), again.body.constData());
        QCOMPARE(site.server.mails().size(), doubleOptIn ? 1 : 0);
        const QByteArray after = site.app.read(file);
        QVERIFY(after.startsWith(before));
        const QRegularExpression oneEntry(
            doubleOptIn
                ? "^[0-9a-f]{32}\\|\\d+\\|neu@verein\\.de\\|neu@verein\\.de\\|\\d{20}\\|_\\|_\\|Neu\\|\\d{20}\\n$"
                : "^neu@verein\\.de\\|\\d{20}\\|_\\|_\\|Neu\\|\\d{20}\\n$");
        QVERIFY2(oneEntry.match(QString::fromUtf8(after.mid(before.size()))).hasMatch(),
                 after.mid(before.size()).constData());
        QCOMPARE(filesHolding(site.folder(), {firstEntry}, itself), QStringList());
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void failuresAreReported()
    {
        Site site;
        START(site);
        SubscriptionServer wrongFolder(site.http, site.server.url() + "nichtda/", kPassword);
        const ListAnswer missing = wrongFolder.fetchList(true);
        QCOMPARE(missing.status, ListAnswer::Status::Failed);
        QVERIFY2(missing.error.contains("404"), qPrintable(missing.error));
        site.server.stop();
        const ListAnswer stopped = site.scripts().fetchList(true);
        QCOMPARE(stopped.status, ListAnswer::Status::Failed);
        QVERIFY(!stopped.error.isEmpty());
        QCOMPARE(site.scripts().wipe("a:0", "b:0").emptied, WipeResult::Emptied::None);
    }

    void parallelSubscriptionsAreAllKept()
    {
        Site site;
        site.server.setWorkers(4);
        START(site);
        QStringList requests;
        for (int i = 0; i < 20; ++i)
            requests.append(site.base() +
                            QStringLiteral("mailin.php?send=ok&action=sign&Mail=p%1%40verein.de&Name=N%1").arg(i));
        rawGetAll(requests);
        AddressFixture t;
        const Site::Fetched f = site.fetch(t.table);
        // Every request the server handled left one whole line (the client may send one twice).
        const qsizetype handled = site.server.log().count("[303]: GET /news/mailin.php?send=ok");
        QCOMPARE(f.in.lines.size(), handled);
        QSet<QString> addresses;
        for (const QString &line : f.in.lines) {
            QCOMPARE(ParseListLine(line).kind, EntryKind::Subscription);
            addresses.insert(ParseListLine(line).address);
        }
        QCOMPARE(addresses.size(), 20);
    }

    // A test that started the server leaves nothing of it running, workers included.
    void theServerEndsWithAllItsWorkers()
    {
        Site site;
        site.server.setWorkers(3);
        START(site);
        QVERIFY(site.get(site.base() + "mailin.php").ok);
        const qint64 server = site.server.processId();
        const QList<qint64> workers = childrenOf(server);
        QCOMPARE(workers.size(), 3);
        site.server.stop();
        for (const qint64 pid : workers + QList<qint64>{server}) {
            const char state = processState(pid);
            QVERIFY2(state == 0 || state == 'Z', qPrintable(QStringLiteral("process %1 still runs").arg(pid)));
        }
    }

    void captcha()
    {
        const QString gd = PhpServer::missingExtension("gd", "php-gd");
        QVERIFY2(gd.isEmpty(), qPrintable(gd));
        Site site;
        site.input.captcha = true;
        START(site);
        AddressFixture t;
        // The form's hidden field cannot switch the code off.
        const QString request = site.base() + "mailin.php?send=ok&action=sign&double=off&cap=0&Mail=c%40verein.de";
        QVERIFY(QString::fromUtf8(site.get(request).body).contains("name=\"code\""));
        QVERIFY(site.get(request + "&code=ABCDE").body.contains("nicht richtig"));
        QVERIFY(site.fetch(t.table).in.lines.isEmpty());

        const HttpResult picture = site.get(site.base() + "captcha.php");
        QVERIFY(picture.ok);
        QCOMPARE(QImage::fromData(picture.body, "PNG").size(), QSize(150, 50));
        // The requests before made sessions of their own, and PHP writes a
        // session only after its answer went out: look in every file until the
        // code is there.
        const auto storedCode = [&] {
            for (const QFileInfo &f : QDir(site.server.sessionFolder()).entryInfoList(QDir::Files)) {
                QFile session(f.filePath());
                session.open(QIODevice::ReadOnly);
                const QString found =
                    QRegularExpression("vt_captcha\\|s:5:\"(\\w{5})\"").match(session.readAll()).captured(1);
                if (!found.isEmpty())
                    return found;
            }
            return QString();
        };
        QString code;
        QTRY_VERIFY(!(code = storedCode()).isEmpty());
        QVERIFY(site.get(request + "&code=" + code.toLower()).ok);
        QCOMPARE(labels(site.fetch(t.table).found), QStringList({"Bestellung | c@verein.de"}));
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    // Databases that share a statistics address share its folder on the server:
    // the links each of them sent stay valid, whichever set the folder up last.
    void databasesSharingAStatisticsAddress()
    {
        Site site;
        const QString why = site.start();
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QString statsUrl = site.server.url() + "stats/";
        const QString target = site.server.url() + "target/x?p=1";
        // The second database had signed its links with a key of its own before.
        const QByteArray ownKey(64, 'b');
        site.app.write("Data/Zweite.web",
                       "[SETTINGS]\r\nStatsURL=" + statsUrl.toUtf8() + "\r\nStatsKey=" + ownKey + "\r\n");
        QStringList links{TrackedLink(statsUrl, "202401010900", target, ownKey)};
        // Each sets up the statistics folder ("Verwenden") and sends a tracked mail.
        const auto setUpAndSend = [&](const char *web, const QString &mailing) {
            QString problem;
            const QList<QByteArray> keys = TrackingKeys(site.app.file(web), statsUrl, &problem);
            if (keys.isEmpty() || !WriteStatsFiles({statsUrl, "Stat1", keys, "Vantrel", web},
                                                   site.app.file("www/stats"), site.app.path(), &problem))
                return problem;
            links.append(TrackedLink(statsUrl, mailing, target, TrackingKey(site.app.file(web), statsUrl)));
            return QString();
        };
        QCOMPARE(setUpAndSend("Data/Database.web", "202403051430"), QString());
        QCOMPARE(setUpAndSend("Data/Zweite.web", "202403061430"), QString());
        for (const QString &link : links) {
            const Raw click = rawGet(link);
            QCOMPARE(click.status, 302);
            QCOMPARE(click.headers.value("location"), target.toUtf8());
        }
        // Both databases sign with one key now, and a key the program never issued opens nothing.
        QCOMPARE(TrackingKey(site.app.file("Data/Zweite.web"), statsUrl),
                 TrackingKey(site.app.file("Data/Database.web"), statsUrl));
        QCOMPARE(rawGet(TrackedLink(statsUrl, "202403051430", target, QByteArray(64, 'c'))).status, 403);

        // A third database set up later keeps every link before valid too, also
        // those of a database that was deleted meanwhile.
        QVERIFY(QFile::remove(site.app.file("Data/Zweite.web")));
        QCOMPARE(setUpAndSend("Data/Dritte.web", "202403071430"), QString());
        for (const QString &link : links)
            QCOMPARE(rawGet(link).status, 302);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }

    void clickTracking()
    {
        Site site;
        const QString why = site.start();
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QString statsUrl = site.server.url() + "stats/";
        QString problem;
        const QByteArray key = TrackingKey(site.app.file("Data/Database.web"), statsUrl, &problem);
        QVERIFY2(!key.isEmpty(), qPrintable(problem));
        QVERIFY(WriteStatsFiles({statsUrl, "Stat1", {key}, "Vantrel", "Mitglieder"}, site.app.file("www/stats"),
                                site.app.path(), &problem));

        // A link of a mail as the HTML run rewrites it.
        const QString target = site.server.url() + "target/x?p=1&q=2";
        const QString mailing = MailingIdAt(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
        const QString html = RewriteTrackedLinks("<a href=\"" + QString(target).replace("&", "&amp;") + "\">x</a>",
                                                 statsUrl, mailing, key);
        const QString link = QRegularExpression("href=\"([^\"]+)\"").match(html).captured(1);
        QVERIFY(link.startsWith(statsUrl + "stats.php?nid=202403051430&url="));
        const Raw click = rawGet(link);
        QCOMPARE(click.status, 302);
        QCOMPARE(click.headers.value("location"), target.toUtf8());

        // Unsigned, altered or not a web address: no redirect, nothing counted.
        const QString foreign = "https://phishing.example/";
        const QString unsigned_ = statsUrl + "stats.php?nid=" + mailing + "&url=" + QUrl::toPercentEncoding(foreign);
        const QString altered = QString(link).replace("p%3D1", "p%3D2");
        const QString script = TrackedLink(statsUrl, mailing, "javascript:alert(1)", key);
        for (const QString &bad : {unsigned_, altered, script}) {
            const Raw r = rawGet(bad);
            QCOMPARE(r.status, 403);
            QVERIFY(!r.headers.contains("location"));
        }
        // A target with markup in it, signed: counted, and shown as text.
        const QString marked = "http://x.example/\"><script>alert(1)</script>";
        QCOMPARE(rawGet(TrackedLink(statsUrl, mailing, marked, key)).status, 302);

        const Raw stats = rawGet(statsUrl + "auswertung.php?password=Stat1");
        QCOMPARE(stats.status, 200);
        QCOMPARE(stats.headers.value("referrer-policy"), QByteArray("no-referrer"));
        const QString page = QString::fromUtf8(stats.body);
        QVERIFY(page.contains("Newsletter vom 05.03.2024 14:30 (2 Klicks)"));
        QVERIFY2(page.contains(QString(target).replace("&", "&amp;") + "</a></td><td class=\"n\">1</td>"),
                 qPrintable(page));
        QVERIFY(!page.contains("phishing") && !page.contains("javascript:") && !page.contains("<script>"));
        QVERIFY(page.contains("&quot;&gt;&lt;script&gt;"));
        for (const QString &wrong : {QStringLiteral("stat1"), QString()})
            QCOMPARE(rawGet(statsUrl + "auswertung.php?password=" + wrong).body, QByteArray("Access denied"));
        QVERIFY(!rawGet(statsUrl + "stats_clicks.dat.php").body.contains("target"));
        // A password file of before, with its one key, still opens the links.
        site.app.write("www/stats/stats_pw.php", "<?php $my_pass = 'Stat1'; $my_key = '" + key + "'; ?>\r\n");
        QCOMPARE(rawGet(link).status, 302);
        QVERIFY(QFile::remove(site.app.file("www/stats/stats_pw.php")));
        QCOMPARE(rawGet(statsUrl + "auswertung.php?password=Stat1").body, QByteArray("Access denied"));
        QCOMPARE(rawGet(link).status, 403);
        QVERIFY2(site.phpProblems().isEmpty(), qPrintable(site.phpProblems()));
    }
};

QTEST_GUILESS_MAIN(TestWebServer)
#include "tst_webserver.moc"
