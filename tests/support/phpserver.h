#pragma once
// PHP's built-in web server on loopback for the tests of the web scripts:
// "php -S 127.0.0.1:0" over a web root, on the free port it reports in its first
// log line, as strict hosts run PHP (no output buffering), with every mail that
// PHP sends captured as a file outside the web root and the sessions kept where
// a test can read them. The server and its workers run in a process group of
// their own, which stop() ends as a whole.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class PhpServer
{
public:
    // root: the folder served; it must exist.
    explicit PhpServer(const QString &root);
    ~PhpServer();
    // Requests served at the same time (PHP_CLI_SERVER_WORKERS); set before start().
    void setWorkers(int workers) { m_workers = workers; }
    // A limit on the size of every file the server writes (RLIMIT_FSIZE), as a full
    // quota sets one; set before start(), bytes < 0 for none. A write beyond it ends
    // the worker (SIGXFSZ, as by default) or, with endAtLimit false, fails (EFBIG).
    void setFileSizeLimit(qint64 bytes, bool endAtLimit)
    {
        m_fileSizeLimit = bytes;
        m_endAtLimit = endAtLimit;
    }
    // Empty when the server listens; otherwise why not (naming a missing package).
    QString start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // The server's process id, which is also the id of its process group.
    qint64 processId() const { return m_process.processId(); }

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    QString url() const;
    // From now on sendmail refuses every mail (mail() then returns false), as on a host without a mail server.
    bool refuseMails();
    // The mails sent so far, oldest first, each as PHP handed it to sendmail.
    QList<QByteArray> mails() const;
    // The session files' folder.
    QString sessionFolder() const;
    // What the server logged (requests, PHP's warnings and errors).
    QByteArray log();
    // Lines of the log that report a PHP warning, notice or error.
    QStringList phpProblems();

    // Empty when PHP has the extension; otherwise a text naming the Debian package.
    static QString missingExtension(const QString &extension, const QString &package);

private:
    QString m_root;
    QTemporaryDir m_dir; // mails and sessions, outside the web root
    QProcess m_process;
    quint16 m_port = 0;
    int m_workers = 1;
    qint64 m_fileSizeLimit = -1;
    bool m_endAtLimit = true;
    QByteArray m_log;
};
