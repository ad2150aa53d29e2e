#pragma once
// A web server for the tests of the subscription folder: the program folder with
// the shipped scripts, a web root below it served by PHP's built-in server, and
// the folder "news" generated into the web root; the forms submitted as a
// browser submits them, and the program's fetch against them.
#include "addresstable.h"
#include "httpclient.h"
#include "phpserver.h"
#include "subscriptions.h"
#include "testfolder.h"
#include "webpages.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

inline const QString kPassword = QStringLiteral("Geheim42");

// The program folder with the shipped scripts, a web root below it served by
// PHP, and the subscription folder "news" generated into the web root.
struct Site
{
    TestFolder app{true};
    PhpServer server{app.file("www")};
    vt::HttpClient http;
    vt::WebFilesInput input;

    Site()
    {
        QDir().mkpath(app.file("www"));
        input.folderName = QStringLiteral("news");
        input.title = QStringLiteral("Vereinsnachrichten");
        input.fontColor = QStringLiteral("#000000");
        input.bkgColor = QStringLiteral("#FFFFFF");
        input.borderColor = QStringLiteral("#004080");
        input.fontFamily = vt::WebFontFamilies().at(4);
        input.doubleOptIn = false;
        input.offeredFields = {{5, "Mail", "Mail"}, {6, "Anrede", "Anrede"}, {8, "Name", "Name"}, {9, "Ort", "Ort"}};
        input.password = kPassword;
        input.texts = vt::DefaultConfirmationTexts();
        input.texts.subject = QStringLiteral("Bestätigung Ihrer Anmeldung");
        input.senderAddress = QStringLiteral("info@verein.example");
        input.versionText = QStringLiteral("Version 1.0");
        input.pairs = vt::PoweredByPairs();
    }
    QString folder() const { return app.file("www/news/"); }
    QString base() const { return server.url() + QStringLiteral("news/"); }
    QString start() { return server.start(); }
    bool generate()
    {
        input.serverPath = base();
        return vt::WriteWebFiles(input, folder(), app.path()).ok;
    }
    vt::HttpResult get(const QString &address) { return http.get(QUrl(address), {20000, 20000}, {}); }
    vt::SubscriptionServer scripts(const QString &password = kPassword)
    {
        return vt::SubscriptionServer(http, base(), password);
    }

    // Sends one of the generated forms as a browser does: its action and hidden
    // fields, and the given values for inputs the form has.
    vt::HttpResult submit(const QString &page, const QList<QPair<QString, QString>> &values)
    {
        QFile f(folder() + page);
        if (!f.open(QIODevice::ReadOnly))
            return {false, 0, {}, "no page " + page};
        const QString html = QString::fromUtf8(f.readAll());
        const QString action = QRegularExpression("<form [^>]*action=\"([^\"]+)\"").match(html).captured(1);
        QStringList query;
        auto add = [&query](const QString &name, const QString &value) {
            query.append(QString::fromLatin1(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value)));
        };
        QRegularExpressionMatchIterator hidden =
            QRegularExpression("type=\"hidden\" name=\"(\\w+)\" value=\"([^\"]*)\"").globalMatch(html);
        while (hidden.hasNext()) {
            const QRegularExpressionMatch m = hidden.next();
            add(m.captured(1), m.captured(2));
        }
        for (const auto &[name, value] : values) {
            if (!html.contains("name=\"" + name + "\""))
                return {false, 0, {}, "the form has no input " + name};
            add(name, value);
        }
        return get(action + '?' + query.join('&'));
    }

    // The program's fetch: both lists, compared with the table.
    struct Fetched
    {
        vt::ListAnswer in, out;
        vt::CompareResult found;
    };
    Fetched fetch(vt::AddressTable &table)
    {
        vt::SubscriptionServer s = scripts();
        s.ping();
        Fetched f{s.fetchList(true), s.fetchList(false), {}};
        f.found = vt::CompareOrders(f.in.lines, f.out.lines, table);
        return f;
    }

    QString phpProblems() { return server.phpProblems().join('\n'); }
};

#define START(site)                                                                                                    \
    do {                                                                                                               \
        const QString why = (site).start();                                                                            \
        QVERIFY2(why.isEmpty(), qPrintable(why));                                                                      \
        QVERIFY((site).generate());                                                                                    \
    } while (false)
