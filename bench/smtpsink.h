#pragma once
// postfix's smtp-sink on a free loopback port, for the mail benchmarks: it takes
// every message and throws it away.
#include "procmemory.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

class SmtpSink
{
public:
    // Empty when the sink listens; otherwise why not.
    QString start()
    {
        const QString path = QStringLiteral("/usr/sbin/smtp-sink");
        if (!QFile::exists(path))
            return QStringLiteral("smtp-sink is missing: install the Debian package postfix (scripts/setup)");
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            m_port = probe.serverPort();
        }
        QStringList args;
        if (getuid() == 0)
            args << QStringLiteral("-u") << QStringLiteral("nobody");
        args << QStringLiteral("127.0.0.1:%1").arg(m_port) << QStringLiteral("256");
        m_process.start(path, args);
        for (int i = 0; i < 200; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(100))
                return {};
            QThread::msleep(25);
        }
        return QStringLiteral("smtp-sink does not listen");
    }
    ~SmtpSink()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
