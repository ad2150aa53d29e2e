#include "httpsserver.h"
#include "scriptedhttpserver.h"
#include "testcertificates.h"

#include <QFile>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

HttpsServer::HttpsServer() = default;

HttpsServer::~HttpsServer()
{
    stop();
}

QString HttpsServer::start()
{
    const TestCertificates &certs = TestCertificates::instance();
    if (!certs.error.isEmpty())
        return certs.error;
    QFile keyFile(certs.keyFile);
    if (!keyFile.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + certs.keyFile;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificateChain(QSslCertificate::fromPath(certs.certFile));
    config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server = std::make_unique<QSslServer>();
    m_server->setSslConfiguration(config);
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpServer *server = m_server.get()) {
            auto *socket = static_cast<QSslSocket *>(server->nextPendingConnection());
            if (!socket)
                break;
            m_sockets.append(socket);
            connect(socket, &QSslSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QSslSocket::disconnected, this, [this, socket] {
                m_sockets.removeOne(socket);
                socket->deleteLater();
            });
            answer(socket);
        }
    });
    if (!m_server->listen(QHostAddress::LocalHost, m_port))
        return QStringLiteral("cannot listen: ") + m_server->errorString();
    m_port = m_server->serverPort();
    return {};
}

void HttpsServer::stop()
{
    if (m_server)
        m_server->close();
    m_server.reset();
    for (QSslSocket *s : std::as_const(m_sockets)) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    m_sockets.clear();
}

QString HttpsServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QUrl HttpsServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("https://") + hostAndPort() + path);
}

void HttpsServer::answer(QSslSocket *socket)
{
    // One request per connection: the request line and the headers.
    if (socket->property("answered").toBool() || !socket->canReadLine())
        return;
    QByteArray head = socket->peek(64 * 1024);
    if (!head.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = QString::fromLatin1(request.value(1));
    m_requests[path] += 1;
    const Answer a = m_answers.value(path, Answer{404, "not found", -1, -1, {}});
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(a.status) +
                       " Status\r\nContent-Type: "
                       "application/octet-stream\r\nContent-Length: " +
                       QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n";
    if (!a.location.isEmpty())
        reply += "Location: " + a.location + "\r\n";
    reply += "\r\n";
    if (a.cutAfter >= 0) {
        // Closed after what was written has gone out, short of the length announced.
        socket->write(reply + a.body.left(a.cutAfter));
        socket->disconnectFromHost();
        return;
    }
    if (a.trickleMs > 0) {
        socket->write(reply);
        TrickleAndClose(socket, a.body, a.trickleMs);
        return;
    }
    if (a.stallAfter >= 0) {
        socket->write(reply + a.body.left(a.stallAfter));
        return;
    }
    socket->write(reply + a.body);
    socket->disconnectFromHost();
}
