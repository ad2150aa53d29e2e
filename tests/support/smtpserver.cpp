#include "smtpserver.h"
#include "mimeoracle.h"
#include "testcertificates.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

SmtpServer::SmtpServer(const Options &options) : m_options(options)
{
}

SmtpServer::~SmtpServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SmtpServer::start()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    QString missing = MissingProgram(python, QStringLiteral("python3"));
    if (!missing.isEmpty())
        return missing;
    if (!QFile::exists(QStringLiteral("/usr/lib/python3/dist-packages/aiosmtpd/smtp.py")))
        return QStringLiteral("aiosmtpd is missing: install the Debian package python3-aiosmtpd (scripts/setup)");
    QStringList args{QDir::cleanPath(TestFolder::resourcesDir() + QStringLiteral("../tests/support/smtpsink.py")),
                     QStringLiteral("--folder"), m_folder.path()};
    if (m_options.port != 0)
        args << QStringLiteral("--port") << QString::number(m_options.port);
    if (m_options.tls != Tls::Plain) {
        const TestCertificates &certs = TestCertificates::instance();
        if (!certs.error.isEmpty())
            return certs.error;
        args << QStringLiteral("--tls")
             << (m_options.tls == Tls::StartTls ? QStringLiteral("starttls") : QStringLiteral("implicit"))
             << QStringLiteral("--cert") << certs.certFile << QStringLiteral("--key") << certs.keyFile;
    }
    if (!m_options.user.isEmpty())
        args << QStringLiteral("--user") << m_options.user << QStringLiteral("--password") << m_options.password;
    if (m_options.requireAuth)
        args << QStringLiteral("--require-auth");
    for (const QString &m : m_options.excludeAuth)
        args << QStringLiteral("--exclude-auth") << m;
    for (const QString &r : m_options.rejectRecipients)
        args << QStringLiteral("--reject-rcpt") << r;
    for (const QString &s : m_options.rejectSenders)
        args << QStringLiteral("--reject-sender") << s;
    if (m_options.failMailAfter >= 0)
        args << QStringLiteral("--fail-mail-after") << QString::number(m_options.failMailAfter);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(python, args);
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("cannot start smtpsink.py: ") + m_process.errorString();
    // The server names its port once it listens.
    while (m_process.state() == QProcess::Running && !m_process.canReadLine())
        m_process.waitForReadyRead(10000);
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("PORT "))
        return QStringLiteral("smtpsink.py did not start: ") + QString::fromLocal8Bit(m_process.readAllStandardError());
    m_port = quint16(line.mid(5).toUInt());
    return {};
}

std::unique_ptr<SmtpServer> SmtpServer::startOrFail(const Options &options)
{
    auto server = std::make_unique<SmtpServer>(options);
    const QString why = server->start();
    if (why.isEmpty())
        return server;
    QTest::qFail(qPrintable(why), __FILE__, __LINE__);
    return nullptr;
}

QList<SmtpServer::Received> SmtpServer::received() const
{
    QList<Received> out;
    const QDir dir(m_folder.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile info(dir.filePath(name));
        QFile data(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        if (!info.open(QIODevice::ReadOnly) || !data.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(info.readAll()).object();
        Received r;
        r.mailFrom = o.value("mail_from").toString();
        for (const QJsonValue &v : o.value("rcpt_tos").toArray())
            r.rcptTo.append(v.toString());
        for (const QJsonValue &v : o.value("mail_options").toArray())
            r.mailOptions.append(v.toString());
        r.login = o.value("login").toString();
        r.tls = o.value("tls").toBool();
        r.data = data.readAll();
        out.append(r);
    }
    return out;
}
