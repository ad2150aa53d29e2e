#include "httpclient.h"

#include "inputblocker.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vt {

namespace {

QString failureText(QNetworkReply::NetworkError code, const QString &detail, bool timedOut)
{
    if (timedOut)
        return QStringLiteral("Der Server hat nicht rechtzeitig geantwortet.");
    switch (code) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("Der Server hat die Verbindung abgelehnt.");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("Der Server wurde nicht gefunden.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Der Server hat die Verbindung vorzeitig beendet.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("Die sichere Verbindung zum Server konnte nicht aufgebaut werden: ") + detail;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("Der Proxyserver ist nicht erreichbar oder lehnt die Anfrage ab.");
    default: return QStringLiteral("Die Verbindung zum Server ist fehlgeschlagen: ") + detail;
    }
}

} // namespace

HttpClient::HttpClient() : m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

HttpClient::~HttpClient() = default;

void HttpClient::setProxy(const ProxySettings &proxy)
{
    const quint16 port = PortNumber(proxy.port);
    if (proxy.basicAuthentication && !proxy.server.trimmed().isEmpty())
        m_manager->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, proxy.server.trimmed(), port ? port : 8080,
                                          proxy.userName, proxy.password));
    else
        m_manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

HttpResult HttpClient::get(const QUrl &url, int timeoutMs)
{
    HttpResult result;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.error = QStringLiteral("Die Adresse \"%1\" ist keine gültige Internetadresse.")
                           .arg(url.toString(QUrl::RemovePassword));
        return result;
    }
    QNetworkRequest request(url);
    if (scheme == QLatin1String("https")) {
        request.setRawHeader("ApplicationID", "Test V1.0");
    } else {
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/3.0 (compatible; Indy Library)"));
        request.setRawHeader("Accept", "text/html, */*");
    }
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    const InputBlocker blocker;
    std::unique_ptr<QNetworkReply> reply(m_manager->get(request));
    bool tooBig = false;
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > kMaxBody && !tooBig) {
            tooBig = true;
            reply->abort();
        }
    });
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (tooBig) {
        result.error = QStringLiteral("Die Antwort des Servers ist zu groß.");
        return result;
    }
    if (reply->isOpen())
        result.body = reply->readAll();
    if (result.status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.error = QStringLiteral("Der Server antwortet mit dem Fehler %1%2.")
                           .arg(result.status)
                           .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason);
        return result;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError;
        result.error = failureText(reply->error(), reply->errorString(), timedOut);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace vt
