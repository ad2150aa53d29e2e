// The requests to the web server: the proxy of the options, the headers, an
// answer that fails, never comes or trickles in for ever, and the user's
// "Abbrechen". A scripted server on loopback plays the web server or the proxy,
// answering from the same event loop the request waits in.
#include "httpclient.h"
#include "scriptedhttpserver.h"
#include "waitrecorder.h"

#include <QTest>

using namespace vt;

namespace {

const QByteArray kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private slots:
    void directRequestWithItsHeaders()
    {
        ScriptedHttpServer server;
        server.answer = kOk;
        HttpClient http;
        // A proxy that is switched off is not used, whatever it names.
        http.setProxy({false, QStringLiteral("127.0.0.1"), QStringLiteral("1"), {}, {}});
        const HttpResult r = http.get(QUrl(server.url("/news/email_list_in.php?password=a1")), {5000, 5000}, {});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.body, QByteArray("ok"));
        QVERIFY(r.lengthKnown);
        QCOMPARE(server.requestLine(), QByteArray("GET /news/email_list_in.php?password=a1 HTTP/1.1"));
        QVERIFY(server.requests.first().contains("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"));
        QVERIFY(server.requests.first().contains("Accept: text/html, */*\r\n"));
    }

    void throughTheProxyOfTheOptions()
    {
        ScriptedHttpServer proxy;
        proxy.answer = kOk;
        HttpClient http;
        http.setProxy({true, QStringLiteral("127.0.0.1"), QString::number(proxy.serverPort()), QStringLiteral("u"),
                       QStringLiteral("p")});
        const HttpResult r =
            http.get(QUrl(QStringLiteral("http://www.verein.example/news/mailin.php?7")), {5000, 5000}, {});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(proxy.requestLine(), QByteArray("GET http://www.verein.example/news/mailin.php?7 HTTP/1.1"));
    }

    void failures()
    {
        HttpClient http;
        ScriptedHttpServer server;
        server.answer = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\nConnection: close\r\n\r\nboom";
        HttpResult r = http.get(QUrl(server.url("/x")), {5000, 5000}, {});
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 500);
        QCOMPARE(r.error, QStringLiteral("Der Server antwortet mit dem Fehler 500 Internal Server Error."));

        ScriptedHttpServer silent;
        r = http.get(QUrl(silent.url("/x")), {5000, 300}, {});
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("Der Server hat nicht rechtzeitig geantwortet."));
        QVERIFY(!r.neverSent);

        const quint16 closed = silent.serverPort();
        silent.close();
        r = http.get(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(closed)), {5000, 5000}, {});
        QCOMPARE(r.error, QStringLiteral("Der Server hat die Verbindung abgelehnt."));
        QVERIFY(r.neverSent);

        r = http.get(QUrl(QStringLiteral("file:///etc/passwd")), {5000, 5000}, {});
        QVERIFY(!r.ok && r.body.isEmpty());
        QVERIFY(r.error.contains("keine gültige Internetadresse"));
    }

    // An answer that ends where the connection ended, without a length: the
    // caller has to see that nothing vouches for its end.
    void anAnswerWithoutLength()
    {
        ScriptedHttpServer server;
        server.answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\na@x.de|20240102";
        HttpClient http;
        const HttpResult r = http.get(QUrl(server.url("/email_list_in.txt")), {5000, 5000}, {});
        QVERIFY(r.ok);
        QVERIFY(!r.lengthKnown);
    }

    // A server that sends a byte every 50 ms is never silent for long; the whole
    // request has its limit all the same, and says so.
    void aTricklingServerIsGivenUp()
    {
        ScriptedHttpServer server;
        server.answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(400, 'x');
        server.trickleMs = 50;
        HttpClient http;
        const HttpResult r = http.get(QUrl(server.url("/email_list_in.php")), {1000, 500}, {});
        QVERIFY(!r.ok);
        QVERIFY(!r.cancelled);
        QCOMPARE(r.error, QStringLiteral("Der Server hat seine Antwort nicht innerhalb von 1 Sekunde gesendet; die "
                                         "Anfrage wurde abgebrochen."));
    }

    void theUserEndsTheWait()
    {
        WaitRecorder waits;
        waits.cancelAfterMs = 200;
        ScriptedHttpServer silent;
        HttpClient http;
        const HttpResult r =
            http.get(QUrl(silent.url("/news/wipe_files.php")), {60000, 60000}, QStringLiteral("Listen leeren..."));
        QVERIFY(r.cancelled);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("Die Anfrage wurde abgebrochen."));
        QCOMPARE(waits.texts, QStringList({"Listen leeren...\n\nServer: 127.0.0.1"}));
        QCOMPARE(waits.openWaits(), 0);
        QCOMPARE(silent.requests.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
