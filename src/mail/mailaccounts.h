#pragma once
// Where the options dialog can take a mail account over from: the accounts of the
// mail program that keeps them as numbered keys with named values, and the
// accounts of the Outlook library. Each source is an interface that describes
// exactly what the account import reads. This system has neither program, so the
// sources in use report no accounts; tests put sources of their own in place.
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace vt {

// Accounts as numbered keys ("00000001" ...) with named values ("SMTP Server",
// "SMTP Port" ...); numbers are held as integers.
class InternetAccountSource
{
public:
    virtual ~InternetAccountSource() = default;
    // The values of the account key, or nothing when the key cannot be opened.
    virtual std::optional<QVariantMap> openAccount(const QString &keyName) const = 0;

    static const InternetAccountSource &instance();
    // Replaces the source (tests); returns the previous one. nullptr restores the default.
    static const InternetAccountSource *setInstance(const InternetAccountSource *source);
};

// One account of the Outlook library. A property the library cannot give is empty.
struct OutlookAccount
{
    QString Name;
    QString AccountTypeStr; // contains "POP" or "IMAP" for the accounts that can be used
    std::optional<int> SMTP_Port;
    std::optional<QString> SMTP_Server;
    std::optional<QString> SMTPAddress;
    std::optional<QString> UserName;
    std::optional<bool> SMTP_UseAuth;
    std::optional<QString> SMTP_UserName;
    std::optional<QString> POP3_UserName;
    std::optional<QString> POP3_Server;
    std::optional<int> POP3_Port;
};

class OutlookAccountSource
{
public:
    virtual ~OutlookAccountSource() = default;
    // The library's accounts in its order. False when the library failed; the
    // accounts read before the failure are in the list.
    virtual bool accounts(QList<OutlookAccount> &out) const = 0;

    static const OutlookAccountSource &instance();
    static const OutlookAccountSource *setInstance(const OutlookAccountSource *source);
};

// The key of the account number n (1 to 80): eight upper-case hexadecimal digits.
QString InternetAccountKey(int n);
inline constexpr int kInternetAccountKeys = 80;

struct InternetAccount
{
    QString key;
    QVariantMap values;
};
// The numbered accounts 1 to 80 that open, in their order.
QList<InternetAccount> ListInternetAccounts();
// Whether there is any account to take over.
bool InternetAccountsAvailable();

} // namespace vt
