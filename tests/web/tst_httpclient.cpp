// The requests to the web server: the proxy of the options, the headers, and an
// answer that fails or never comes. A scripted server on loopback plays the web
// server or the proxy, answering from the same event loop the request waits in.
#include "httpclient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace vt;

namespace {

class ScriptedHttpServer : public QTcpServer
{
public:
    QByteArray answer; // empty: read the request and never answer
    QByteArray request;

    ScriptedHttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                request += socket->readAll();
                if (!request.contains("\r\n\r\n") || answer.isEmpty())
                    return;
                socket->write(answer);
                socket->disconnectFromHost();
            });
        });
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }
    QByteArray requestLine() const { return request.left(request.indexOf("\r\n")); }
};

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
        const HttpResult r = http.get(QUrl(server.url("/news/email_list_in.php?password=a1")), 5000);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.body, QByteArray("ok"));
        QCOMPARE(server.requestLine(), QByteArray("GET /news/email_list_in.php?password=a1 HTTP/1.1"));
        QVERIFY(server.request.contains("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"));
        QVERIFY(server.request.contains("Accept: text/html, */*\r\n"));
    }

    void throughTheProxyOfTheOptions()
    {
        ScriptedHttpServer proxy;
        proxy.answer = kOk;
        HttpClient http;
        http.setProxy({true, QStringLiteral("127.0.0.1"), QString::number(proxy.serverPort()), QStringLiteral("u"),
                       QStringLiteral("p")});
        const HttpResult r = http.get(QUrl(QStringLiteral("http://www.verein.example/news/mailin.php?7")), 5000);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(proxy.requestLine(), QByteArray("GET http://www.verein.example/news/mailin.php?7 HTTP/1.1"));
    }

    void failures()
    {
        HttpClient http;
        ScriptedHttpServer server;
        server.answer = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\nConnection: close\r\n\r\nboom";
        HttpResult r = http.get(QUrl(server.url("/x")), 5000);
        QVERIFY(!r.ok);
        QCOMPARE(r.status, 500);
        QCOMPARE(r.error, QStringLiteral("Der Server antwortet mit dem Fehler 500 Internal Server Error."));

        ScriptedHttpServer silent;
        r = http.get(QUrl(silent.url("/x")), 300);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("Der Server hat nicht rechtzeitig geantwortet."));

        const quint16 closed = silent.serverPort();
        silent.close();
        r = http.get(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(closed)), 5000);
        QCOMPARE(r.error, QStringLiteral("Der Server hat die Verbindung abgelehnt."));

        r = http.get(QUrl(QStringLiteral("file:///etc/passwd")), 5000);
        QVERIFY(!r.ok && r.body.isEmpty());
        QVERIFY(r.error.contains("keine gültige Internetadresse"));
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
