#include "mailaccounts.h"

namespace vt {

namespace {

// Neither mail program exists here: no key opens, and the library is not there.
class NoInternetAccounts final : public InternetAccountSource
{
public:
    std::optional<QVariantMap> openAccount(const QString &) const override { return std::nullopt; }
};

class NoOutlookAccounts final : public OutlookAccountSource
{
public:
    bool accounts(QList<OutlookAccount> &) const override { return false; }
};

const NoInternetAccounts g_noInternet;
const NoOutlookAccounts g_noOutlook;
const InternetAccountSource *g_internet = nullptr;
const OutlookAccountSource *g_outlook = nullptr;

} // namespace

const InternetAccountSource &InternetAccountSource::instance()
{
    return g_internet ? *g_internet : static_cast<const InternetAccountSource &>(g_noInternet);
}

const InternetAccountSource *InternetAccountSource::setInstance(const InternetAccountSource *source)
{
    const InternetAccountSource *prev = g_internet;
    g_internet = source;
    return prev;
}

const OutlookAccountSource &OutlookAccountSource::instance()
{
    return g_outlook ? *g_outlook : static_cast<const OutlookAccountSource &>(g_noOutlook);
}

const OutlookAccountSource *OutlookAccountSource::setInstance(const OutlookAccountSource *source)
{
    const OutlookAccountSource *prev = g_outlook;
    g_outlook = source;
    return prev;
}

QString InternetAccountKey(int n)
{
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper();
}

QList<InternetAccount> ListInternetAccounts()
{
    QList<InternetAccount> out;
    const InternetAccountSource &source = InternetAccountSource::instance();
    for (int n = 1; n <= kInternetAccountKeys; ++n) {
        const QString key = InternetAccountKey(n);
        if (const std::optional<QVariantMap> values = source.openAccount(key))
            out.append({key, *values});
    }
    return out;
}

bool InternetAccountsAvailable()
{
    return !ListInternetAccounts().isEmpty();
}

} // namespace vt
