#include "httpclient.h"

#include "waitwindows.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace vt {

namespace {

QString failureText(QNetworkReply::NetworkError code, const QString &detail)
{
    switch (code) {
    case QNetworkReply::OperationCanceledError: // the silence between two pieces lasted too long
        return QStringLiteral("Der Server hat nicht rechtzeitig geantwortet.");
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

// Failures that leave no doubt that the server never saw the request.
bool neverSent(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyAuthenticationRequiredError: return true;
    default: return false;
    }
}

} // namespace

QString SecondsText(int ms)
{
    const int s = std::max(1, (ms + 999) / 1000);
    return s == 1 ? QStringLiteral("1 Sekunde") : QStringLiteral("%1 Sekunden").arg(s);
}

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

HttpResult HttpClient::get(const QUrl &url, const HttpLimits &limits, const QString &what)
{
    HttpResult result;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.error = QStringLiteral("Die Adresse \"%1\" ist keine gültige Internetadresse.")
                           .arg(url.toString(QUrl::RemovePassword));
        result.neverSent = true;
        return result;
    }
    QNetworkRequest request(url);
    if (scheme == QLatin1String("https")) {
        request.setRawHeader("ApplicationID", "Test V1.0");
    } else {
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla/3.0 (compatible; Indy Library)"));
        request.setRawHeader("Accept", "text/html, */*");
    }
    request.setTransferTimeout(limits.idleMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    std::unique_ptr<QNetworkReply> reply(m_manager->get(request));
    // Why the program ended the request itself, if it did.
    enum class Stop { None, TooBig, TooLong, Cancelled };
    Stop stop = Stop::None;
    auto end = [&](Stop why) {
        if (stop == Stop::None && !reply->isFinished()) {
            stop = why;
            reply->abort();
        }
    };
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > kMaxBody)
            end(Stop::TooBig);
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { end(Stop::TooLong); });
    if (!reply->isFinished()) {
        deadline.start(limits.totalMs);
        const std::unique_ptr<WaitWindows::Wait> wait = WaitWindows::instance().open(
            what + QStringLiteral("\n\nServer: ") + url.host(), [&] { end(Stop::Cancelled); });
        // User input is kept away by the wait, not excluded here: excluded input
        // would only be delivered after the request, to whatever is then under it.
        if (!reply->isFinished())
            loop.exec();
    }

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (stop) {
    case Stop::TooBig: result.error = QStringLiteral("Die Antwort des Servers ist zu groß."); return result;
    case Stop::TooLong:
        result.error = QStringLiteral("Der Server hat seine Antwort nicht innerhalb von %1 gesendet; die Anfrage "
                                      "wurde abgebrochen.")
                           .arg(SecondsText(limits.totalMs));
        return result;
    case Stop::Cancelled:
        result.cancelled = true;
        result.error = QStringLiteral("Die Anfrage wurde abgebrochen.");
        return result;
    case Stop::None: break;
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
        result.error = failureText(reply->error(), reply->errorString());
        result.neverSent = result.status == 0 && neverSent(reply->error());
        return result;
    }
    // Qt reports an answer cut short of its announced length or of its last chunk
    // as an error; one without either ends where the connection ended.
    result.lengthKnown = reply->header(QNetworkRequest::ContentLengthHeader).isValid() ||
                         reply->rawHeader("Transfer-Encoding").toLower().contains("chunked");
    result.ok = true;
    return result;
}

} // namespace vt
