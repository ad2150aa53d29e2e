#pragma once
// Plain GET requests to the user's web server (the subscription lists, the
// wipe, the start of a fetch), over http and https alike.
//
// A request waits for its answer while the event loop goes on with user input
// swallowed: the window repaints, but a second click cannot start the command
// again in the middle of it. An answer is bounded in time and size; a status of
// 400 or more counts as a failure like a connection that fails.
#include "mailsettings.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace vt {

struct HttpResult
{
    bool ok = false; // an answer with a status below 400
    int status = 0;  // 0 when no answer came
    QByteArray body;
    QString error; // why not, in the program's words
};

// What the subscription logic asks of the server; tests may put a script of answers in its place.
class WebRequests
{
public:
    virtual ~WebRequests() = default;
    virtual HttpResult get(const QUrl &url, int timeoutMs) = 0;
};

class HttpClient : public WebRequests
{
public:
    HttpClient();
    ~HttpClient() override;

    // The proxy of the options: used for every request while it is switched on
    // and names a server; otherwise requests go directly (never through a proxy
    // of the environment).
    void setProxy(const ProxySettings &proxy);

    HttpResult get(const QUrl &url, int timeoutMs) override;

    static constexpr qint64 kMaxBody = 64 * 1024 * 1024;

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace vt
