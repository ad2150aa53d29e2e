#pragma once
// A throwaway certificate authority and a server certificate for "127.0.0.1" and
// "localhost", made with openssl once per test program in a temporary folder.
#include <QSslConfiguration>
#include <QString>
#include <QTemporaryDir>

class TestCertificates
{
public:
    static const TestCertificates &instance();

    QString error; // set when openssl is missing or failed
    QString caFile;
    QString certFile;
    QString keyFile;

    // The system's default configuration with the test authority added.
    QSslConfiguration trustingClient() const;

private:
    TestCertificates();
    QTemporaryDir m_dir;
};
