#include "pop3server.h"
#include "mimeoracle.h"
#include "testcertificates.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QString userName(uid_t uid)
{
    const passwd *pw = getpwuid(uid);
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid)
{
    const group *gr = getgrgid(gid);
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(gid);
}

} // namespace

Pop3Server::Pop3Server(const QString &user, const QString &password) : m_user(user), m_password(password)
{
}

Pop3Server::~Pop3Server()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString Pop3Server::start()
{
    QString missing = MissingProgram(QStringLiteral("/usr/sbin/dovecot"), QStringLiteral("dovecot-core"));
    if (missing.isEmpty())
        missing = MissingProgram(QStringLiteral("/usr/lib/dovecot/pop3"), QStringLiteral("dovecot-pop3d"));
    if (!missing.isEmpty())
        return missing;
    const TestCertificates &certs = TestCertificates::instance();
    if (!certs.error.isEmpty())
        return certs.error;

    // Dovecot runs as the current user; as root its login processes must not, so
    // they take the package's own unprivileged users.
    QString internalUser = userName(getuid()), internalGroup = groupName(getgid()), loginUser = internalUser;
    uid_t mailUid = getuid();
    gid_t mailGid = getgid();
    if (getuid() == 0) {
        const passwd *dovecot = getpwnam("dovecot");
        if (!dovecot || !getpwnam("dovenull"))
            return QStringLiteral(
                "the users dovecot and dovenull are missing: reinstall the Debian package dovecot-core");
        internalUser = internalGroup = QStringLiteral("dovecot");
        loginUser = QStringLiteral("dovenull");
        mailUid = dovecot->pw_uid;
        mailGid = dovecot->pw_gid;
    }

    const QString d = m_dir.path();
    // Dovecot's own processes read the configuration and the passwd file.
    QFile::setPermissions(d, QFile::Permissions(0x7755));
    for (const char *sub : {"/run", "/state", "/home"})
        QDir().mkpath(d + QLatin1String(sub));
    QFile::setPermissions(d + QStringLiteral("/home"), QFile::Permissions(0x7777));
    QFile passwd(d + QStringLiteral("/passwd"));
    if (!passwd.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the passwd file");
    passwd.write((m_user + QStringLiteral(":{PLAIN}") + m_password + QStringLiteral("\n")).toUtf8());
    passwd.close();

    m_plainPort = freePort();
    m_tlsPort = freePort();
    while (m_tlsPort == m_plainPort)
        m_tlsPort = freePort();
    const QString conf = QStringLiteral(R"(base_dir = %1/run
state_dir = %1/state
log_path = %1/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <%2
ssl_key = <%3
ssl_min_protocol = TLSv1.2
disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
first_valid_uid = 1
first_valid_gid = 1
default_internal_user = %4
default_internal_group = %5
default_login_user = %6
mail_location = maildir:%1/home/%u/Maildir
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u %1/passwd
}
userdb {
  driver = static
  args = uid=%7 gid=%8 home=%1/home/%u
}
service pop3-login {
  chroot =
  inet_listener pop3 {
    address = 127.0.0.1
    port = %9
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = %10
    ssl = yes
  }
}
service anvil {
  chroot =
}
)")
                             .arg(d, certs.certFile, certs.keyFile, internalUser, internalGroup, loginUser)
                             .arg(mailUid)
                             .arg(mailGid)
                             .arg(m_plainPort)
                             .arg(m_tlsPort);
    QFile confFile(d + QStringLiteral("/dovecot.conf"));
    if (!confFile.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write dovecot.conf");
    confFile.write(conf.toUtf8());
    confFile.close();

    m_process.start(QStringLiteral("/usr/sbin/dovecot"),
                    {QStringLiteral("-F"), QStringLiteral("-c"), confFile.fileName()});
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("cannot start dovecot: ") + m_process.errorString();
    // Ready when the POP3 port answers.
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_plainPort);
        if (probe.waitForConnected(500) && probe.waitForReadyRead(2000))
            return {};
        QThread::msleep(50);
    }
    QFile log(d + QStringLiteral("/dovecot.log"));
    log.open(QIODevice::ReadOnly);
    return QStringLiteral("dovecot did not start: ") + QString::fromLocal8Bit(m_process.readAllStandardError()) +
           QString::fromLocal8Bit(log.readAll());
}
