#pragma once
// The ceiling of a send run's exchange: a client of the bare minimum that sends one
// fixed, ready message over and over with the exchange the run uses, over a
// blocking socket with nothing else to do. EHLO once; the first envelope (MAIL
// FROM, RCPT TO and DATA) in one write; then each message goes in one write
// together with the next message's envelope, and its reply comes with the
// envelope's three (RFC 2920): one round trip per message, as in the run. What a
// run reaches against it is the share of its own exchange that composing, the
// table and the logs leave.
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
        if (replyCode() != 220 || !write("EHLO [127.0.0.1]\r\n"))
            return QStringLiteral("ceiling client: no greeting");
        QList<QByteArray> extensions;
        if (replyCode(&extensions) != 250)
            return QStringLiteral("ceiling client: no greeting");
        for (const QByteArray &line : extensions) {
            const QByteArray keyword = line.mid(4).trimmed().toUpper();
            m_pipelining = m_pipelining || keyword == "PIPELINING";
            m_eightBitMime = m_eightBitMime || keyword == "8BITMIME";
        }
        if (!m_pipelining)
            return QStringLiteral("ceiling client: the server does not offer PIPELINING");
        return {};
    }

    // Sends `count` messages; payload is the message as it goes after DATA (CR LF,
    // dot-stuffed, with the closing "."). Mails per second, or 0 on a failure.
    double run(const QByteArray &sender, const QByteArray &payload, int count)
    {
        // The run declares eight-bit bodies where the server takes them.
        bool eightBit = false;
        for (const char c : payload)
            eightBit = eightBit || (c & 0x80);
        const QByteArray mailFrom =
            "MAIL FROM:<" + sender + '>' + (eightBit && m_eightBitMime ? " BODY=8BITMIME" : "") + "\r\n";
        auto envelope = [&](int i) {
            return mailFrom + "RCPT TO:<kunde" + QByteArray::number(i) + "@example.net>\r\nDATA\r\n";
        };
        auto envelopeAccepted = [&] { return replyCode() == 250 && replyCode() == 250 && replyCode() == 354; };
        QElapsedTimer timer;
        timer.start();
        if (count > 0 && (!write(envelope(0)) || !envelopeAccepted()))
            return 0;
        QByteArray batch;
        for (int i = 0; i < count; ++i) {
            const bool more = i + 1 < count;
            batch = payload;
            if (more)
                batch += envelope(i + 1);
            if (!write(batch) || replyCode() != 250 || (more && !envelopeAccepted()))
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

    // The code of the next complete reply (its last line has a blank after the
    // code); its lines go to lines when asked for.
    int replyCode(QList<QByteArray> *lines = nullptr)
    {
        for (;;) {
            const qsizetype end = m_buffer.indexOf("\r\n", m_read);
            if (end >= 0) {
                const QByteArray line = m_buffer.mid(m_read, end - m_read);
                m_read = end + 2;
                if (m_read == m_buffer.size()) {
                    m_buffer.clear();
                    m_read = 0;
                }
                if (lines)
                    lines->append(line);
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
    qsizetype m_read = 0; // what of the buffer was taken
    bool m_pipelining = false;
    bool m_eightBitMime = false;
};
