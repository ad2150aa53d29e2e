#pragma once
// A web server, or a proxy, on loopback in the test's own process that answers
// every request alike: the whole answer at once, the answer a byte at a time
// like a hostile server that keeps a connection alive by trickling, or nothing
// at all. It runs in the event loop the request waits in.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>

class QAbstractSocket;

// Writes the bytes one every intervalMs, as a hostile server keeps a connection
// alive, then closes the connection; stops when the other side has gone.
void TrickleAndClose(QAbstractSocket *socket, const QByteArray &bytes, int intervalMs);

class ScriptedHttpServer : public QTcpServer
{
public:
    // Sent once a request's head has come in, then the connection is closed;
    // empty: the request is read and never answered.
    QByteArray answer;
    // Above 0: the answer's head goes out at once and its body one byte every trickleMs.
    int trickleMs = 0;
    // The head of every request, in order.
    QList<QByteArray> requests;

    ScriptedHttpServer();
    // "http://127.0.0.1:<port><path>"
    QString url(const QString &path) const;
    // The first line of the request (the first one by default).
    QByteArray requestLine(qsizetype i = 0) const;
};
