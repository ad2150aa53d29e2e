#pragma once
// A small HTTPS server on loopback, in the test's own process: a QSslServer
// with the test authority's certificate for "127.0.0.1", answering GET
// requests from a table of paths. A path can also be served with a body cut
// off part-way (the connection then drops), held back after a first part
// (the connection stays open and silent), or trickled a byte at a time.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QSslServer;
class QSslSocket;

class HttpsServer : public QObject
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        qint64 cutAfter = -1;   // drop the connection after this many bytes of the body
        qint64 stallAfter = -1; // send this many bytes of the body, then nothing more
        QByteArray location;    // a Location header (redirects)
        int trickleMs = 0;      // above 0: the body goes out one byte every trickleMs
    };

    HttpsServer();
    ~HttpsServer() override;
    // Empty when the server listens; otherwise why not.
    QString start();
    // Stops listening and drops every connection: the port refuses afterwards.
    void stop();
    quint16 port() const { return m_port; }
    // "127.0.0.1:port", as a server path without scheme.
    QString hostAndPort() const;
    QUrl url(const QString &path) const;

    void serve(const QString &path, const Answer &answer) { m_answers.insert(path, answer); }
    void serve(const QString &path, const QByteArray &body) { serve(path, Answer{200, body, -1, -1, {}}); }
    // How many requests came for the path.
    int requests(const QString &path) const { return m_requests.value(path); }

private:
    void answer(QSslSocket *socket);

    std::unique_ptr<QSslServer> m_server;
    quint16 m_port = 0;
    QHash<QString, Answer> m_answers;
    QHash<QString, int> m_requests;
    QList<QSslSocket *> m_sockets;
};
