#include "phpserver.h"
#include "mimeoracle.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

PhpServer::PhpServer(const QString &root) : m_root(root)
{
}

PhpServer::~PhpServer()
{
    stop();
}

QString PhpServer::missingExtension(const QString &extension, const QString &package)
{
    QProcess php;
    php.start(QStringLiteral("php"), {QStringLiteral("-m")});
    if (!php.waitForFinished(20000))
        return QStringLiteral("php does not run: install the Debian package php-cli");
    const QStringList modules = QString::fromUtf8(php.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &m : modules)
        if (m.trimmed().compare(extension, Qt::CaseInsensitive) == 0)
            return {};
    return QStringLiteral("PHP lacks the extension %1: install the Debian package %2").arg(extension, package);
}

bool PhpServer::refuseMails()
{
    QFile script(m_dir.path() + QStringLiteral("/sendmail.sh"));
    return script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\ncat > /dev/null\nexit 1\n") > 0;
}

QString PhpServer::start()
{
    const QString missing = MissingProgram(QStringLiteral("/usr/bin/php"), QStringLiteral("php-cli"));
    if (!missing.isEmpty())
        return missing;
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder");
    QDir(m_dir.path()).mkpath(QStringLiteral("mails"));
    QDir(m_dir.path()).mkpath(QStringLiteral("sessions"));
    // Each mail into a file of its own, named so that they sort in the order sent.
    const QString mailCommand = m_dir.path() + QStringLiteral("/sendmail.sh");
    QFile script(mailCommand);
    if (!script.open(QIODevice::WriteOnly) ||
        script.write(QStringLiteral("#!/bin/sh\ncat > \"%1/mails/$(date +%s%N).eml\"\n").arg(m_dir.path()).toUtf8()) <
            0)
        return QStringLiteral("cannot write ") + mailCommand;
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    if (m_workers > 1) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PHP_CLI_SERVER_WORKERS"), QString::number(m_workers));
        m_process.setProcessEnvironment(env);
    }
    // With PHP_CLI_SERVER_WORKERS the server forks its workers; in a process
    // group of their own they end together with it, whatever becomes of the test.
    m_process.setChildProcessModifier([limit = m_fileSizeLimit, endAtLimit = m_endAtLimit] {
        ::setpgid(0, 0);
        if (limit >= 0) {
            rlimit size{};
            ::getrlimit(RLIMIT_FSIZE, &size);
            size.rlim_cur = rlim_t(limit);
            ::setrlimit(RLIMIT_FSIZE, &size);
            // An ignored signal stays ignored across exec.
            ::signal(SIGXFSZ, endAtLimit ? SIG_DFL : SIG_IGN);
        }
    });
    m_process.start(QStringLiteral("php"),
                    {QStringLiteral("-S"), QStringLiteral("127.0.0.1:0"), QStringLiteral("-t"), m_root,
                     QStringLiteral("-d"), QStringLiteral("sendmail_path=") + mailCommand, QStringLiteral("-d"),
                     QStringLiteral("output_buffering=0"), QStringLiteral("-d"),
                     QStringLiteral("error_reporting=E_ALL"), QStringLiteral("-d"), QStringLiteral("log_errors=1"),
                     QStringLiteral("-d"), QStringLiteral("session.save_path=") + sessionFolder()});
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("php -S did not start: ") + m_process.errorString();
    static const QRegularExpression started(QStringLiteral("\\(http://127\\.0\\.0\\.1:(\\d+)\\) started"));
    // A server started again reports its new port after what the earlier one logged.
    const qsizetype logged = m_log.size();
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        m_process.waitForReadyRead(200);
        m_log += m_process.readAllStandardError();
        const QRegularExpressionMatch m = started.match(QString::fromUtf8(m_log.mid(logged)));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return {};
        }
        if (m_process.state() != QProcess::Running)
            break;
    }
    return QStringLiteral("php -S did not report its port: ") + QString::fromUtf8(m_log);
}

void PhpServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // The group's id is the server's process id; the workers are in it too.
    const pid_t group = pid_t(m_process.processId());
    ::kill(-group, SIGKILL);
    m_process.waitForFinished(5000);
    // A worker may still be on its way out after the server was reaped.
    for (int i = 0; i < 50 && ::kill(-group, 0) == 0; ++i) {
        ::kill(-group, SIGKILL);
        QThread::msleep(20);
    }
}

QString PhpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QList<QByteArray> PhpServer::mails() const
{
    QList<QByteArray> out;
    QDir folder(m_dir.path() + QStringLiteral("/mails"));
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile f(folder.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out.append(f.readAll());
    }
    return out;
}

QString PhpServer::sessionFolder() const
{
    return m_dir.path() + QStringLiteral("/sessions");
}

QByteArray PhpServer::log()
{
    m_log += m_process.readAllStandardError();
    return m_log;
}

QStringList PhpServer::phpProblems()
{
    QStringList out;
    for (const QString &line : QString::fromUtf8(log()).split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral("PHP Warning")) || line.contains(QStringLiteral("PHP Notice")) ||
            line.contains(QStringLiteral("PHP Fatal")) || line.contains(QStringLiteral("PHP Parse")) ||
            line.contains(QStringLiteral("PHP Deprecated")))
            out.append(line);
    return out;
}
