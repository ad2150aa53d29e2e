#include "testcertificates.h"
#include "mimeoracle.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>

namespace {

QString run(const QStringList &args, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("/usr/bin/openssl"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("openssl %1 failed: %2")
            .arg(args.value(0), QString::fromLocal8Bit(p.readAllStandardError()));
    return {};
}

} // namespace

const TestCertificates &TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
{
    error = MissingProgram(QStringLiteral("/usr/bin/openssl"), QStringLiteral("openssl"));
    if (!error.isEmpty())
        return;
    const QString d = m_dir.path();
    caFile = d + QStringLiteral("/ca.crt");
    certFile = d + QStringLiteral("/server.crt");
    keyFile = d + QStringLiteral("/server.key");
    QFile ext(d + QStringLiteral("/server.ext"));
    if (ext.open(QIODevice::WriteOnly))
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                  "extendedKeyUsage=serverAuth\n");
    ext.close();
    const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    const QList<QStringList> steps = {
        QStringList{"req", "-x509"} + ec +
            QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=Vantrel Test CA"},
        QStringList{"req"} + ec + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost"},
        QStringList{"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                    "server.crt", "-days", "2", "-extfile", "server.ext"},
    };
    for (const QStringList &step : steps) {
        error = run(step, d);
        if (!error.isEmpty())
            return;
    }
}

QSslConfiguration TestCertificates::trustingClient() const
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificates(QSslCertificate::fromPath(caFile));
    return config;
}
