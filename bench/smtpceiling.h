#pragma once
// The ceiling of a send run's exchange: a client of the bare minimum that sends one
// fixed, ready message over and over with the exchange the run uses (EHLO once;
// per message MAIL FROM, RCPT TO and DATA in one write, their three replies, then
// the message and its reply: two round trips), over blocking sockets with nothing
// else to do. What a run reaches against it is the share of its own exchange that
// composing, the table and the logs leave.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

class SmtpCeilingClient
{
public:
    ~SmtpCeilingClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Empty when the session is open; otherwise why not.
    QString open(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            return QStringLiteral("ceiling client: no connection");
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (replyCode() != 220 || !write("EHLO [127.0.0.1]\r\n") || replyCode() != 250)
            return QStringLiteral("ceiling client: no greeting");
        return {};
    }

    // Sends `count` messages; payload is the message as it goes after DATA (CR LF,
    // dot-stuffed, with the closing "."). Mails per second, or 0 on a failure.
    double run(const QByteArray &sender, const QByteArray &payload, int count)
    {
        QElapsedTimer timer;
        timer.start();
        QByteArray envelope;
        for (int i = 0; i < count; ++i) {
            envelope =
                "MAIL FROM:<" + sender + ">\r\nRCPT TO:<kunde" + QByteArray::number(i) + "@example.net>\r\nDATA\r\n";
            if (!write(envelope) || replyCode() != 250 || replyCode() != 250 || replyCode() != 354)
                return 0;
            if (!write(payload) || replyCode() != 250)
                return 0;
        }
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        write("QUIT\r\n");
        return count / qMax(1e-9, seconds);
    }

private:
    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    // The code of the next complete reply (its last line has a blank after the code).
    int replyCode()
    {
        for (;;) {
            const qsizetype end = m_buffer.indexOf("\r\n");
            if (end >= 0) {
                const QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 2);
                if (line.size() >= 4 && line.at(3) == '-')
                    continue;
                return line.left(3).toInt();
            }
            char chunk[4096];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return -1;
            m_buffer.append(chunk, n);
        }
    }

    int m_fd = -1;
    QByteArray m_buffer;
};
