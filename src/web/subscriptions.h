#pragma once
// Subscriptions and unsubscriptions collected by the forms on the user's web
// server: fetching the two lists, finding the entries that change the open
// address table, applying the confirmed ones, and emptying the lists.
//
// A list line is a row of items separated by "|" (every "|" separates, empty
// items count):
//   unsubscription  address|time                                exactly two items
//   subscription    address|time|Anrede|Betreff|Name[|Field=value...|last]
//                                                               five items or more
// In the items from Anrede on, "_" stands for a blank; the last item of a line
// of six or more is not read. Of several lines of one address only the one that
// sorts last counts (the server writes the time second, so that is the latest).
// One parser reads every line, so what the list shows is what is applied.
#include "httpclient.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace vt {

class AddressTable;

// Every line trimmed, the five characters "\\240" and then every "\" removed;
// lines that end up empty are dropped.
QStringList CleanListLines(const QString &text);

// Letters, digits, ".", "_" and "-" only (true for an empty text).
bool IsEmailCharsValid(const QString &text);
// An "@" with a non-empty part before it; after it at least four characters with
// a "." that two or more follow; no ".."; both parts of allowed characters.
bool IsValidEmailSyntax(const QString &address);

enum class EntryKind { Subscription, Unsubscription, Unusable };

struct ListEntry
{
    EntryKind kind = EntryKind::Unusable;
    QString line;    // as fetched (cleaned)
    QString address; // item 0, trimmed
    QString key;     // the address lower-cased: entries of one address share it
    // A subscription's values, "_" read as a blank.
    QString anrede, betreff, name;
    QList<QPair<QString, QString>> fields; // "Field=value" items in order
};
ListEntry ParseListLine(const QString &line);

// One answer of a list script.
//
// Our list scripts end every list with the mark "#upto=<generation>:<length>"
// on a line of its own; only a list that ends with it arrived whole. An answer
// that holds "Access denied" on any line is a refused password, one with a line
// holding both "<" and ">" is a page, wherever the host put them (after a
// notice line of its own, a byte-order mark, ...): the entries our scripts
// write never hold either.
struct ListAnswer
{
    enum class Status {
        Ok,
        Failed,     // no usable answer came (see error)
        Cancelled,  // the user ended the wait
        Html,       // a page instead of a list
        Refused,    // the password was refused
        Incomplete, // the answer ended before the list's end mark
    };
    Status status = Status::Failed;
    QStringList lines; // the entry lines
    QString mark;      // what the server wants back to empty exactly this part; may be empty
    QString error;     // for Failed
};
// endMarkRequired: the answer of a list script (with the password); the old plain
// list files of a folder without password carry no mark, and count as whole when
// the server said how long they are.
ListAnswer ReadListAnswer(const HttpResult &result, bool endMarkRequired);

struct CompareResult
{
    QList<ListEntry> entries;  // new subscriptions and unsubscriptions of known addresses, by address
    QList<ListEntry> unusable; // lines that name no valid address or have a shape of neither kind
    int total = 0;             // every fetched line
    int subscriptions = 0;
    int unsubscriptions = 0;
    QString error; // the table could not be read
};
// The addresses the table knows are those of all its records (whatever filter
// the grid shows), compared trimmed and without regard to case.
CompareResult CompareOrders(const QStringList &subscriptionLines, const QStringList &unsubscriptionLines,
                            AddressTable &table);

// part / total in percent, halves rounded to the even neighbour; 0 when total is 0.
int RoundedPercent(int part, int total);

struct ApplyResult
{
    bool ok = false;
    QString error;
    qint64 appended = 0, deleted = 0, marked = 0;
};
// Appends the subscriptions and deletes (or marks Invalid) every record of each
// unsubscribed address, all in one transaction: on any failure nothing changed.
// A subscription sets Mail, Anrede, Betreff and Name, and the further fields its
// items name, except the fields the program keeps itself (ID, Selected, Invalid,
// LetztesMail and the four above); a value a field cannot hold is left out.
ApplyResult ApplyOrders(AddressTable &table, const QList<ListEntry> &entries, bool onlyInvalid);

// What a wipe did on the server.
struct WipeResult
{
    enum class Emptied {
        Both,              // the fetched parts of both lists are gone
        None,              // neither list was touched
        SubscriptionsOnly, // the subscriptions are gone, the unsubscriptions are still there
        Unknown,           // no clear answer: either may have happened
    };
    Emptied emptied = Emptied::Unknown;
    QString reason; // why not both, in the program's words
};

// The scripts in the server folder.
class SubscriptionServer
{
public:
    // onlinePath ends in "/"; an empty password means the old lists without one.
    SubscriptionServer(WebRequests &http, const QString &onlinePath, const QString &password,
                       const HttpLimits &limits = {});

    // Calls mailin.php at the start of a fetch (it tidies up); its answer does not
    // matter. False when the user ended the wait.
    bool ping();
    ListAnswer fetchList(bool subscriptions);
    // Empties what the fetch got: the marks of the two answers go back to the
    // server, which empties both lists or neither.
    WipeResult wipe(const QString &subscriptionMark, const QString &unsubscriptionMark);

    QUrl listUrl(bool subscriptions) const;

    // The start of a fetch waits no longer than this.
    static constexpr int kPingTimeoutMs = 10000;

private:
    QUrl url(const QString &script, const QList<QPair<QString, QString>> &items) const;

    WebRequests &m_http;
    QString m_path;
    QString m_password;
    HttpLimits m_limits;
};

} // namespace vt
