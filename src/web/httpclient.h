#pragma once
// Plain GET requests to the user's web server (the subscription lists, the
// wipe, the start of a fetch), over http and https alike.
//
// A request waits for its answer in a local event loop: the window repaints,
// user input is kept away from the program's windows, and after a moment a
// small window says what the program waits for and offers "Abbrechen"
// (WaitWindows). An answer is bounded in size, in the silence between two of
// its pieces and in its whole duration, so a server that trickles a byte now
// and then is given up all the same; a status of 400 or more counts as a
// failure like a connection that fails.
#include "mailsettings.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace vt {

struct HttpLimits
{
    int totalMs = 60000; // the whole request, from sending it to the last byte of the answer
    int idleMs = 30000;  // silence between two pieces of the answer
};

struct HttpResult
{
    bool ok = false; // an answer with a status below 400
    int status = 0;  // 0 when no answer came
    QByteArray body;
    QString error;          // why not, in the program's words
    bool cancelled = false; // the user ended the wait
    // The request certainly never reached the server (no connection was made).
    bool neverSent = false;
    // The server said how long its answer is (a length, or chunks with their end) and
    // all of it came; an answer without that ends wherever the connection ended.
    bool lengthKnown = false;
};

// What the subscription logic asks of the server; tests may put a script of answers in its place.
class WebRequests
{
public:
    virtual ~WebRequests() = default;
    // what: the work the request is part of, for the window of the wait.
    virtual HttpResult get(const QUrl &url, const HttpLimits &limits, const QString &what) = 0;
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

    HttpResult get(const QUrl &url, const HttpLimits &limits, const QString &what) override;

    static constexpr qint64 kMaxBody = 64 * 1024 * 1024;

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

// "1 Sekunde", "60 Sekunden": a limit in milliseconds as the messages name it (rounded up).
QString SecondsText(int ms);

} // namespace vt
