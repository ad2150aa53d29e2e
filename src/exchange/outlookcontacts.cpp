#include "outlookcontacts.h"

#include "addresstable.h"
#include "definitionfiles.h"
#include "text.h"

namespace vt {

namespace {

const QString kNotImported = QStringLiteral("Nicht importieren");

ContactStore *g_store = nullptr;

} // namespace

bool ContactStore::setFile(const QString &, QString *error)
{
    if (error)
        *error = unavailableText();
    return false;
}

ContactStore &ContactStore::instance()
{
    return g_store ? *g_store : DefaultContactStore();
}

ContactStore *ContactStore::setInstance(ContactStore *store)
{
    ContactStore *previous = g_store;
    g_store = store;
    return previous;
}

const QList<OutlookProperty> &OutlookProperties()
{
    static const QList<OutlookProperty> properties = [] {
        const char *table[][2] = {
            {"Nicht importieren", ""},
            {"Vorname", "FirstName"},
            {"Adresse geschäftlich", "BusinessAddress"},
            {"Adresse geschäftlich: Land", "BusinessAddressCountry"},
            {"Adresse geschäftlich: Ort", "BusinessAddressCity"},
            {"Adresse geschäftlich: PLZ", "BusinessAddressPostalCode"},
            {"Adresse geschäftlich: Postfach", "BusinessAddressPostOfficeBox"},
            {"Adresse geschäftlich: Region", "BusinessAddressState"},
            {"Adresse geschäftlich: Straße", "BusinessAddressStreet"},
            {"Adresse privat", "HomeAddress"},
            {"Adresse privat: Land", "HomeAddressCountry"},
            {"Adresse privat: Ort", "HomeAddressCity"},
            {"Adresse privat: PLZ", "HomeAddressPostalCode"},
            {"Adresse privat: Postfach", "HomeAddressPostOfficeBox"},
            {"Adresse privat: Region", "HomeAddressState"},
            {"Adresse privat: Straße", "HomeAddressStreet"},
            {"Anrede", "Title"},
            {"Beruf", "Profession"},
            {"Büro", "OfficeLocation"},
            {"Fax geschäftlich", "BusinessFaxNumber"},
            {"Fax privat", "HomeFaxNumber"},
            {"Firma", "CompanyName"},
            {"Haupttelefon", "PrimaryTelephoneNumber"},
            {"Vorname", "FirstName"},
            {"Land/Region", "HomeAddressCountry"},
            {"Mobiltelefon", "MobileTelephoneNumber"},
            {"Nachname", "LastName"},
            {"Name", "FullName"},
            {"Name Assistent", "AssistantName"},
            {"HeimtatOrt", "HomeAddressCity"},
            {"Ort", "OfficeLocation"},
            {"PLZ", "HomeAddressPostalCode"},
            {"Position", "JobTitle"},
            {"Postanschrift", "MailingAddress"},
            {"Postfach", "HomeAddressPostOfficeBox"},
            {"Region", "HomeAddressState"},
            {"Spitzname", "NickName"},
            {"Sprache", "Language"},
            {"Startseite geschäftlich", "BusinessHomePage"},
            {"Startseite privat", "PersonalHomePage"},
            {"Straße", "HomeAddressStreet"},
            {"Symbol", "FormDescription.Icon"},
            {"Tel. für Rückmeldung", "CallbackTelephoneNumber"},
            {"Telefon Assistent", "AssistantTelephoneNumber"},
        };
        QList<OutlookProperty> list;
        for (const auto &row : table)
            list.append({QString::fromUtf8(row[0]), QString::fromUtf8(row[1])});
        return list;
    }();
    return properties;
}

QList<ImportField> OutlookTargets(const QStringList &fieldDefinitions)
{
    QList<ImportField> targets;
    for (const ImportField &f : ImportableFields(fieldDefinitions))
        if (f.displayName != QLatin1String("Name") && f.displayName != QLatin1String("Mail"))
            targets.append(f);
    return targets;
}

QList<OutlookRow> OutlookPreviewRows(const QList<OutlookItem> &items, int emailChoice, bool combineNames,
                                     const QList<int> &extras)
{
    static const QString mails[] = {QStringLiteral("Email1Address"), QStringLiteral("Email2Address"),
                                    QStringLiteral("Email3Address")};
    const QList<OutlookProperty> &properties = OutlookProperties();
    QList<OutlookRow> rows;
    for (const OutlookItem &item : items) {
        if (item.itemClass != kOutlookContactClass)
            continue;
        // The chosen address, else the first of the three that is filled: a
        // contact with any address is shown, whichever one was chosen.
        QString address = Trimmed(item.value(mails[std::clamp(emailChoice, 0, 2)]));
        for (int i = 0; i < 3 && address.isEmpty(); ++i)
            address = Trimmed(item.value(mails[i]));
        if (address.isEmpty())
            continue;
        OutlookRow row;
        row.address = address;
        const QString last = Trimmed(item.value(QStringLiteral("LastName")));
        row.name = combineNames ? Trimmed(item.value(QStringLiteral("FirstName"))) + QLatin1Char(' ') + last : last;
        for (int position : extras) {
            const QString member = properties.value(position).member;
            row.extras.append(member.isEmpty() ? QString() : Trimmed(item.value(member)));
        }
        rows.append(row);
    }
    return rows;
}

ImportOutcome ImportOutlookRows(AddressTable &table, const QList<OutlookRow> &rows, const QStringList &targets,
                                ImportProgress &progress)
{
    ImportSink sink(table);
    if (!sink.isValid())
        return sink.outcome();
    const int nameField = sink.field(QStringLiteral("Name"));
    const int mailField = sink.field(QStringLiteral("Mail"));
    QList<int> targetFields;
    for (const QString &t : targets)
        targetFields.append(t.isEmpty() ? -1 : sink.field(t));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const OutlookRow &row = rows.at(r);
        sink.setText(nameField, Trimmed(row.name));
        sink.setText(mailField, Trimmed(row.address));
        for (qsizetype k = 0; k < targetFields.size(); ++k)
            if (targetFields.at(k) >= 0)
                sink.setText(targetFields.at(k), Trimmed(row.extras.value(k)));
        sink.post(r + 1);
        progress.report(r + 1, rows.size());
        if (!sink.isValid())
            return sink.outcome();
    }
    sink.commit();
    return sink.outcome();
}

bool HasDuplicateTarget(const QStringList &targetCaptions)
{
    for (qsizetype i = 0; i < targetCaptions.size(); ++i)
        for (qsizetype j = i + 1; j < targetCaptions.size(); ++j)
            if (targetCaptions.at(i) != kNotImported && targetCaptions.at(i) == targetCaptions.at(j))
                return true;
    return false;
}

} // namespace vt
