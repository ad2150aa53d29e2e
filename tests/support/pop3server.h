#pragma once
// A real POP3 server on loopback for the tests: dovecot from a private
// configuration in a temporary folder, with one passwd-file user, listening on two
// free ports of 127.0.0.1: POP3 (with STLS) and POP3 over TLS, both with the test
// certificate.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class Pop3Server
{
public:
    Pop3Server(const QString &user, const QString &password);
    ~Pop3Server();
    // Empty when the server listens; otherwise why not (naming a missing package).
    QString start();
    quint16 plainPort() const { return m_plainPort; }
    quint16 tlsPort() const { return m_tlsPort; }

private:
    QString m_user, m_password;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_plainPort = 0;
    quint16 m_tlsPort = 0;
};
