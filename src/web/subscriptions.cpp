#include "subscriptions.h"

#include "addresstable.h"
#include "text.h"
#include "textfile.h"

#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace vt {

namespace {

const QString kAccessDenied = QStringLiteral("Access denied");
const QString kMarkPrefix = QStringLiteral("#upto=");

// Fields a subscription never sets through its "Field=value" items.
bool keptByProgram(const QString &field)
{
    static const QStringList names{
        QStringLiteral("ID"),   QStringLiteral("Selected"), QStringLiteral("Invalid"), QStringLiteral("LetztesMail"),
        QStringLiteral("Mail"), QStringLiteral("Anrede"),   QStringLiteral("Betreff"), QStringLiteral("Name"),
    };
    return names.contains(field, Qt::CaseInsensitive);
}

QString itemValue(const QString &item)
{
    QString v = item;
    v.replace(QLatin1Char('_'), QLatin1Char(' '));
    return Trimmed(v);
}

// The key of an address as the table's values are compared: trimmed, without regard to case.
QString addressKey(const QString &address)
{
    return FoldCase(Trimmed(address));
}

// Of two lines of one address, whether a comes later in the sort (case-insensitive;
// of equal lines the one read later counts).
bool sortsAfterOrEqual(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) >= 0;
}

// One filter for many values, balanced so that its depth grows only with the logarithm of the count.
Filter anyOf(const QList<Filter> &filters, qsizetype from, qsizetype to)
{
    if (to - from == 1)
        return filters.at(from);
    const qsizetype mid = from + (to - from) / 2;
    return anyOf(filters, from, mid) || anyOf(filters, mid, to);
}

int autoIncField(const AddressTable &table)
{
    for (int i = 0; i < table.fieldCount(); ++i)
        if (table.field(i).type == FieldType::AutoInc)
            return i;
    return -1;
}

} // namespace

QStringList CleanListLines(const QString &text)
{
    QStringList out;
    for (const QString &raw : SplitLines(text)) {
        QString line = Trimmed(raw);
        line.remove(QStringLiteral("\\\\240"));
        line.remove(QLatin1Char('\\'));
        if (!line.isEmpty())
            out.append(line);
    }
    return out;
}

bool IsEmailCharsValid(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'.' ||
                        u == u'_' || u == u'-';
        if (!ok)
            return false;
    }
    return true;
}

bool IsValidEmailSyntax(const QString &address)
{
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || address.contains(QStringLiteral("..")))
        return false;
    const QString local = address.left(at);
    const QString domain = address.mid(at + 1);
    const qsizetype dot = domain.indexOf(QLatin1Char('.'));
    return domain.size() >= 4 && dot >= 0 && domain.size() - dot - 1 >= 2 && IsEmailCharsValid(local) &&
           IsEmailCharsValid(domain);
}

ListEntry ParseListLine(const QString &line)
{
    ListEntry e;
    e.line = line;
    const QStringList items = line.split(QLatin1Char('|'));
    e.address = Trimmed(items.first());
    e.key = addressKey(e.address);
    if (!IsValidEmailSyntax(e.address))
        return e;
    if (items.size() == 2) {
        e.kind = EntryKind::Unsubscription;
        return e;
    }
    if (items.size() < 5)
        return e;
    e.kind = EntryKind::Subscription;
    e.anrede = itemValue(items.at(2));
    e.betreff = itemValue(items.at(3));
    e.name = itemValue(items.at(4));
    // From the sixth item up to the last but one.
    for (qsizetype i = 5; i < items.size() - 1; ++i) {
        const QString &item = items.at(i);
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        QString value = item.mid(eq + 1);
        value.remove(QLatin1Char('=')).remove(QLatin1Char('"'));
        const QString field = Trimmed(item.left(eq));
        if (!field.isEmpty())
            e.fields.append({field, itemValue(value)});
    }
    return e;
}

ListAnswer ReadListAnswer(const HttpResult &result, bool endMarkRequired)
{
    ListAnswer a;
    if (!result.ok) {
        a.status = result.cancelled ? ListAnswer::Status::Cancelled : ListAnswer::Status::Failed;
        a.error = result.error;
        return a;
    }
    QString text = DecodeText(result.body);
    // A script file saved with a byte-order mark prints it wherever it is included.
    text.remove(QChar(0xFEFF));
    QStringList lines = CleanListLines(text);
    for (const QString &line : std::as_const(lines)) {
        if (line.contains(kAccessDenied)) {
            a.status = ListAnswer::Status::Refused;
            return a;
        }
    }
    for (const QString &line : std::as_const(lines)) {
        if (line.contains(QLatin1Char('<')) && line.contains(QLatin1Char('>'))) {
            a.status = ListAnswer::Status::Html;
            return a;
        }
    }
    // The mark is the last line, whole: in its form and with the line break written after it.
    if (!lines.isEmpty() && lines.last().startsWith(kMarkPrefix)) {
        static const QRegularExpression form(QStringLiteral("^[0-9a-f]+:[0-9]+$"));
        const QString mark = lines.last().mid(kMarkPrefix.size());
        const QString rest = text.mid(text.lastIndexOf(kMarkPrefix));
        if (form.match(mark).hasMatch() && (rest.contains(QLatin1Char('\n')) || rest.contains(QLatin1Char('\r')))) {
            a.mark = mark;
            lines.removeLast();
        }
    }
    if (a.mark.isEmpty() && (endMarkRequired || !result.lengthKnown)) {
        a.status = ListAnswer::Status::Incomplete;
        return a;
    }
    a.lines = lines;
    a.status = ListAnswer::Status::Ok;
    return a;
}

CompareResult CompareOrders(const QStringList &subscriptionLines, const QStringList &unsubscriptionLines,
                            AddressTable &table)
{
    CompareResult r;
    r.total = int(subscriptionLines.size() + unsubscriptionLines.size());
    QHash<QString, ListEntry> latest;
    for (const QStringList *list : {&subscriptionLines, &unsubscriptionLines}) {
        for (const QString &line : *list) {
            ListEntry e = ParseListLine(line);
            if (e.kind == EntryKind::Unusable) {
                r.unusable.append(std::move(e));
                continue;
            }
            auto it = latest.find(e.key);
            if (it == latest.end())
                latest.insert(e.key, std::move(e));
            else if (sortsAfterOrEqual(e.line, it->line))
                *it = std::move(e);
        }
    }

    const int mail = table.fieldIndex(QStringLiteral("Mail"));
    if (mail < 0) {
        r.error = QStringLiteral("Die geöffnete Tabelle hat kein Feld \"Mail\".");
        return r;
    }
    QSet<QString> known;
    if (!latest.isEmpty()) {
        const bool read = table.scan(Filter(), QString(), {mail}, [&](qint64, const QList<QVariant> &values) {
            const QString key = addressKey(values.first().toString());
            if (!key.isEmpty() && latest.contains(key))
                known.insert(key);
            return true;
        });
        if (!read) {
            r.error = table.lastError();
            return r;
        }
    }

    for (const ListEntry &e : std::as_const(latest)) {
        const bool isKnown = known.contains(e.key);
        if (e.kind == EntryKind::Unsubscription && isKnown) {
            r.entries.append(e);
            ++r.unsubscriptions;
        } else if (e.kind == EntryKind::Subscription && !isKnown) {
            r.entries.append(e);
            ++r.subscriptions;
        }
    }
    std::sort(r.entries.begin(), r.entries.end(), [](const ListEntry &a, const ListEntry &b) {
        const int c = QString::compare(a.line, b.line, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.line < b.line;
    });
    return r;
}

int RoundedPercent(int part, int total)
{
    if (total <= 0)
        return 0;
    const qint64 num = qint64(part) * 100;
    qint64 q = num / total;
    const qint64 twiceRest = 2 * (num % total);
    if (twiceRest > total || (twiceRest == total && q % 2 != 0))
        ++q;
    return int(q);
}

ApplyResult ApplyOrders(AddressTable &table, const QList<ListEntry> &entries, bool onlyInvalid)
{
    ApplyResult r;
    const int mail = table.fieldIndex(QStringLiteral("Mail"));
    if (!table.isOpen() || mail < 0) {
        r.error = table.isOpen() ? QStringLiteral("Die geöffnete Tabelle hat kein Feld \"Mail\".") : table.lastError();
        return r;
    }
    QSet<QString> unsubscribed;
    for (const ListEntry &e : entries)
        if (e.kind == EntryKind::Unsubscription)
            unsubscribed.insert(e.key);

    table.disableControls();
    bool ok = false;
    {
        TableTransaction tx(table);
        ok = tx.isOpen();
        if (ok && !unsubscribed.isEmpty()) {
            // The records of the unsubscribed addresses, by their ID (or, in a table
            // without one, by the value their Mail field holds).
            const int idField = autoIncField(table);
            QList<Filter> targets;
            QSet<QString> mailValues;
            ok = table.scan(Filter(), QString(), {mail}, [&](qint64 id, const QList<QVariant> &values) {
                if (!unsubscribed.contains(addressKey(values.first().toString())))
                    return true;
                if (idField >= 0) {
                    targets.append(Filter::equals(table.field(idField).name, id));
                } else {
                    const QString value = values.first().toString();
                    if (!mailValues.contains(value)) {
                        mailValues.insert(value);
                        targets.append(Filter::equals(QStringLiteral("Mail"), values.first()));
                    }
                }
                return true;
            });
            constexpr qsizetype kChunk = 2000;
            for (qsizetype from = 0; ok && from < targets.size(); from += kChunk) {
                const Filter which = anyOf(targets, from, std::min(targets.size(), from + kChunk));
                const qint64 n = onlyInvalid ? table.updateWhere(which, {{QStringLiteral("Invalid"), true}})
                                             : table.deleteWhere(which);
                ok = n >= 0;
                (onlyInvalid ? r.marked : r.deleted) += std::max<qint64>(n, 0);
            }
        }
        if (ok) {
            TableAppender appender(table);
            ok = appender.isValid();
            const int selected = table.fieldIndex(QStringLiteral("Selected"));
            const int invalid = table.fieldIndex(QStringLiteral("Invalid"));
            for (const ListEntry &e : entries) {
                if (!ok)
                    break;
                if (e.kind != EntryKind::Subscription)
                    continue;
                appender.setText(mail, e.address);
                for (const auto &[field, value] : {QPair<QString, QString>{QStringLiteral("Anrede"), e.anrede},
                                                   {QStringLiteral("Betreff"), e.betreff},
                                                   {QStringLiteral("Name"), e.name}})
                    if (const int f = table.fieldIndex(field); f >= 0)
                        appender.setText(f, value);
                // Records the program makes say what they are: not marked, not invalid.
                if (selected >= 0)
                    appender.setValue(selected, false);
                if (invalid >= 0)
                    appender.setValue(invalid, false);
                for (const auto &[field, value] : e.fields) {
                    const int f = table.fieldIndex(field);
                    if (f >= 0 && !keptByProgram(field) && table.field(f).type != FieldType::AutoInc)
                        appender.setText(f, value); // a value the field cannot hold stays out
                }
                if (!appender.append()) {
                    ok = false;
                    r.error = QStringLiteral("Die Bestellung von %1 kann nicht eingetragen werden: %2")
                                  .arg(e.address, appender.lastError());
                }
            }
            r.appended = appender.appendedCount();
            ok = ok && appender.commit();
        }
        if (ok)
            ok = tx.commit();
        if (!ok && r.error.isEmpty())
            r.error = table.lastError();
    }
    if (!ok) {
        // The rows were read inside the transaction that was undone.
        table.refresh();
        r.appended = r.deleted = r.marked = 0;
    }
    table.enableControls();
    r.ok = ok;
    return r;
}

SubscriptionServer::SubscriptionServer(WebRequests &http, const QString &onlinePath, const QString &password,
                                       const HttpLimits &limits)
    : m_http(http), m_path(Trimmed(onlinePath)), m_password(password), m_limits(limits)
{
}

QUrl SubscriptionServer::url(const QString &script, const QList<QPair<QString, QString>> &items) const
{
    QStringList query;
    for (const auto &[name, value] : items) {
        QString item = QString::fromLatin1(QUrl::toPercentEncoding(name));
        if (!value.isEmpty())
            item += QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value));
        query.append(item);
    }
    return QUrl(m_path + script + (query.isEmpty() ? QString() : QLatin1Char('?') + query.join(QLatin1Char('&'))));
}

bool SubscriptionServer::ping()
{
    const HttpLimits limits{std::min(m_limits.totalMs, kPingTimeoutMs), std::min(m_limits.idleMs, kPingTimeoutMs)};
    return !m_http
                .get(url(QStringLiteral("mailin.php"),
                         {{QString::number(QRandomGenerator::global()->bounded(1000)), {}}}),
                     limits, QStringLiteral("Verbindung mit Ihrer Internetseite wird aufgenommen..."))
                .cancelled;
}

QUrl SubscriptionServer::listUrl(bool subscriptions) const
{
    const QString base = subscriptions ? QStringLiteral("email_list_in") : QStringLiteral("email_list_out");
    if (Trimmed(m_password).isEmpty())
        return url(base + QStringLiteral(".txt"), {});
    return url(base + QStringLiteral(".php"), {{QStringLiteral("password"), m_password}});
}

ListAnswer SubscriptionServer::fetchList(bool subscriptions)
{
    const HttpResult result =
        m_http.get(listUrl(subscriptions), m_limits,
                   subscriptions ? QStringLiteral("Die Bestellungen werden von Ihrer Internetseite abgeholt...")
                                 : QStringLiteral("Die Abbestellungen werden von Ihrer Internetseite abgeholt..."));
    return ReadListAnswer(result, !Trimmed(m_password).isEmpty());
}

WipeResult SubscriptionServer::wipe(const QString &subscriptionMark, const QString &unsubscriptionMark)
{
    QList<QPair<QString, QString>> items{{QString::number(QRandomGenerator::global()->bounded(1000)), {}}};
    if (!Trimmed(m_password).isEmpty())
        items.append({QStringLiteral("password"), m_password});
    if (!subscriptionMark.isEmpty())
        items.append({QStringLiteral("upto_in"), subscriptionMark});
    if (!unsubscriptionMark.isEmpty())
        items.append({QStringLiteral("upto_out"), unsubscriptionMark});
    const HttpResult result = m_http.get(url(QStringLiteral("wipe_files.php"), items), m_limits,
                                         QStringLiteral("Die Listen auf Ihrer Internetseite werden geleert..."));
    // The script answers "OK", or on its first line "wiped=" what it emptied and why not more.
    const QString first = Trimmed(SplitLines(DecodeText(result.body).left(1000)).value(0));
    WipeResult w;
    if (result.ok && first == QLatin1String("OK")) {
        w.emptied = WipeResult::Emptied::Both;
        return w;
    }
    if (first == kAccessDenied) {
        w.emptied = WipeResult::Emptied::None;
        w.reason = QStringLiteral("Das Passwort wurde vom Server abgelehnt.");
        return w;
    }
    if (result.status > 0 && first.startsWith(QLatin1String("wiped="))) {
        const QStringList words = first.mid(6).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString what = words.value(0), why = words.value(1);
        w.emptied = what == QLatin1String("none") ? WipeResult::Emptied::None
                    : what == QLatin1String("in") ? WipeResult::Emptied::SubscriptionsOnly
                                                  : WipeResult::Emptied::Unknown;
        w.reason =
            why == QLatin1String("changed")
                ? QStringLiteral("Die Listen auf dem Server haben sich seit dem Abholen verändert (zum Beispiel, "
                                 "weil sie inzwischen an einem anderen Arbeitsplatz abgeholt wurden).")
            : why == QLatin1String("unreadable")
                ? QStringLiteral("Die Listen auf dem Server können nicht geöffnet werden.")
            : why == QLatin1String("unwritable")
                ? QStringLiteral("Die Listen auf dem Server können nicht geschrieben werden.")
                : QStringLiteral("Der Server nennt keinen Grund.");
        return w;
    }
    // A refusal of the web server itself (a missing script, no access) never ran the script.
    const bool notRun = result.neverSent || (result.status >= 400 && result.status < 500);
    w.emptied = notRun ? WipeResult::Emptied::None : WipeResult::Emptied::Unknown;
    w.reason = result.ok ? QStringLiteral("Der Server hat das Leeren nicht bestätigt.") : result.error;
    return w;
}

} // namespace vt
