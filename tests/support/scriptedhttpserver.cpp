#include "scriptedhttpserver.h"

#include <QTcpSocket>
#include <QTimer>

ScriptedHttpServer::ScriptedHttpServer()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray head = socket->property("head").toByteArray() + socket->readAll();
                socket->setProperty("head", head);
                if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                requests.append(head.left(head.indexOf("\r\n\r\n")));
                if (answer.isEmpty())
                    return;
                if (trickleMs <= 0) {
                    socket->write(answer);
                    socket->disconnectFromHost();
                    return;
                }
                const qsizetype body = answer.indexOf("\r\n\r\n") + 4;
                socket->write(answer.left(body));
                TrickleAndClose(socket, answer.mid(body), trickleMs);
            });
        }
    });
}

void TrickleAndClose(QAbstractSocket *socket, const QByteArray &bytes, int intervalMs)
{
    auto *timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, bytes, sent = qsizetype(0)]() mutable {
        if (sent >= bytes.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(bytes.mid(sent++, 1));
    });
    timer->start(intervalMs);
}

QString ScriptedHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

QByteArray ScriptedHttpServer::requestLine(qsizetype i) const
{
    const QByteArray head = requests.value(i);
    return head.left(head.indexOf("\r\n"));
}
