#pragma once
// Personalisation of serial e-mails: the placeholders ("$ANREDE", "$NAME" ...,
// "$SPALTE" and a column number) replaced by the values of one recipient, and the
// salutation table "Grussformel.txt" that turns the record's Anrede into the
// salutation.
//
// A text mail replaces the first occurrence of each fixed placeholder per line in
// any letter case; an HTML mail replaces every occurrence in exact case. Values are
// inserted as Unicode text: the message is encoded once, in its character set,
// when it is composed.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

// User columns are "Spalte" and a number; those above this one have no placeholder.
constexpr int kHighestColumnPlaceholder = 150;

// One recipient's values, as the send run's table gives them.
class RecipientValues
{
public:
    virtual ~RecipientValues() = default;
    // The field names of the table, in table order.
    virtual QStringList fieldNames() const = 0;
    // The text of a field named exactly as fieldNames() lists it.
    virtual QString value(const QString &fieldName) const = 0;
};

// Values held in memory (previews, tests).
class MapRecipientValues : public RecipientValues
{
public:
    MapRecipientValues() = default;
    explicit MapRecipientValues(const QList<QPair<QString, QString>> &fields);
    void set(const QString &field, const QString &value);
    QStringList fieldNames() const override { return m_names; }
    QString value(const QString &fieldName) const override { return m_values.value(fieldName); }

private:
    QStringList m_names;
    QHash<QString, QString> m_values;
};

// Replaces the first occurrence of the (upper-case) placeholder in the text,
// found in any mix of ASCII letter case.
QString ReplacePlaceholderOnce(const QString &placeholder, const QString &value, const QString &text);

// The salutation table: lines "key|salutation". The last line whose key starts the
// Anrede exactly (case-sensitive) wins; the key "{LEER}" stands for an empty Anrede.
class SalutationTable
{
public:
    struct Entry
    {
        QString key;
        QString salutation;
    };
    static SalutationTable fromLines(const QStringList &lines);
    // Reads the file; ok is false when it cannot be read.
    static SalutationTable fromFile(const QString &path, bool *ok = nullptr);

    QString map(const QString &anrede) const;

private:
    QList<Entry> m_entries;
};

// Reads the table anew (a change made in the dialog applies to the next
// recipient) and maps the Anrede; ok is false when the file cannot be read.
QString MapSalutation(const QString &tablePath, const QString &anrede, bool *ok = nullptr);

// The salutation table of a file, as current as reading it anew for every
// recipient: it is read again whenever the file's modification time, size or
// identity (a file saved by replacing it) differ from the last reading.
class SalutationFile
{
public:
    explicit SalutationFile(const QString &path) : m_path(path) {}
    // The table as the file holds it now; nullptr when it cannot be read.
    const SalutationTable *table();
    // How often the file has been read: a new number means the table may differ.
    quint64 readings() const { return m_readings; }

private:
    QString m_path;
    bool m_read = false;
    quint64 m_readings = 0;
    qint64 m_mtimeNs = 0, m_size = -1;
    quint64 m_device = 0, m_inode = 0;
    SalutationTable m_table;
};

// The values of the placeholders for one recipient.
struct PlaceholderValues
{
    QHash<QString, QString> fixed;      // "$ANREDE" -> value ... for all sixteen
    QList<QPair<int, QString>> columns; // (n, value) of each "Spalte"n field, n from 150 down
};

class Personalizer
{
public:
    // fieldNames: the table's fields in order; tablePath: the salutation table file.
    Personalizer(const QStringList &fieldNames, const QString &salutationTablePath);

    // The required fields "Anrede", "Name" and "Mail" that the table lacks. A run
    // checks this once before it starts.
    QStringList missingRequiredFields() const;

    // The salutation table's reading now (the file checked first): values computed
    // under the same reading used the same table. 0 when it cannot be read.
    quint64 salutationReading() const;

    // The values for one recipient; false (with an error text) when the salutation
    // table cannot be read.
    bool values(const RecipientValues &record, PlaceholderValues &out, QString *error = nullptr) const;

    // A text mail: the subject and every body line, first occurrence per line in any
    // case for the fixed placeholders, every exact "$SPALTE"n.
    static QString personalizeSubject(const QString &subject, const PlaceholderValues &v);
    static QString personalizeBodyLine(const QString &line, const PlaceholderValues &v);
    // An HTML mail (its text part and subject): every occurrence in exact case.
    static QString personalizeHtml(const QString &text, const PlaceholderValues &v);
    // The HTML part of an HTML mail, replaced like personalizeHtml(), each value
    // going in as text: escaped for HTML, and URL-encoded inside an attribute that
    // holds a link, so a value never becomes markup or a link of its own.
    static QString personalizeHtmlMarkup(const QString &html, const PlaceholderValues &v);

    // The text mail of one recipient: subject and body lines replaced in place.
    bool PersonalizeTextMail(const RecipientValues &record, QString &subject, QStringList &bodyLines,
                             QString *error = nullptr) const;

private:
    QString m_tablePath;
    mutable SalutationFile m_salutations;
    QStringList m_missing;
    // The field behind each fixed placeholder (empty when the table has none).
    QList<QPair<QString, QString>> m_fixedFields; // placeholder -> field name
    QString m_anredeField;
    QList<QPair<int, QString>> m_columnFields; // n -> field name, n descending
};

} // namespace vt
