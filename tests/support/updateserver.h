#pragma once
// An update server on loopback (HTTPS): the description file at the place the program
// asks for it and an installation file beside it.
#include "httpsserver.h"
#include "testcertificates.h"

#include <QCryptographicHash>
#include <QTest>

struct UpdateServer
{
    static constexpr const char *descriptionPath = "/downloads/inf/vantrel_update.inf";
    static constexpr const char *filePath = "/downloads/vantrel-2.0.tar.gz";

    HttpsServer server;
    QByteArray file = QByteArray("installation file ").repeated(20000);

    UpdateServer()
    {
        const QString why = server.start();
        if (!why.isEmpty())
            QFAIL(qPrintable(why));
    }

    // A description of the version, pointing at the file; hash and size as given
    // or, when left out, those of the file.
    static QByteArray description(const QByteArray &version, const QByteArray &fileAddress, qint64 size,
                                  const QByteArray &sha256Hex)
    {
        return "; the newest version\r\n[Other]\r\nVersion=99\r\n[Update]\r\nVersion=" + version +
               "\r\nFile=" + fileAddress + "\r\nSize=" + QByteArray::number(size) + "\r\nSHA256=" + sha256Hex + "\r\n";
    }
    QByteArray fileHash() const { return QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex(); }
    // Serves the description of the version with the file beside it.
    void offer(const QByteArray &version) { offer(version, fileHash()); }
    void offer(const QByteArray &version, const QByteArray &sha256Hex)
    {
        server.serve(descriptionPath, description(version, "../vantrel-2.0.tar.gz", file.size(), sha256Hex));
        server.serve(filePath, file);
    }
    // The server path the program is given: host and folder of the description.
    QString serverPath() const { return server.hostAndPort() + QStringLiteral("/downloads/inf/"); }
    int fileRequests() const { return server.requests(filePath); }
    int descriptionRequests() const { return server.requests(descriptionPath); }
};
