#pragma once
// The Windows Address Book of Outlook Express. Its library and file format
// exist only on Windows, so on this system the address book source reports
// itself not available and the import wizard does not offer it; the dialog
// works over any source that gives the entries and properties below (tests put
// in a fake).
#include "importsink.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

namespace vt {

class AddressTable;

// Object types of the address book's entries.
constexpr int kWabContact = 6;
constexpr int kWabDistributionList = 8;

// Property ids (the high 16 bits of a tag) the import reads.
enum WabPropertyId : quint16 {
    kPrObjectType = 0x0FFE,
    kPrDisplayName = 0x3001,
    kPrEmailAddress = 0x3003,
    kPrLocality = 0x3A27,
    kPrStreetAddress = 0x3A29,
    kPrPostalCode = 0x3A2A,
    kPrHomeAddressCity = 0x3A59,
    kPrHomeAddressPostalCode = 0x3A5B,
    kPrHomeAddressStreet = 0x3A5D,
};

// A property: its tag (id in the high, type in the low 16 bits) and value
// (integers, double, bool, text, QDateTime in UTC, bytes by the type).
struct WabProperty
{
    quint32 tag = 0;
    QVariant value;
};
QString PropValueToText(const WabProperty &property);
// The published name of a property id the dialog uses, "[id in hex]" for any other.
QString PropTagName(quint32 tag);

struct WabEntry
{
    QString displayName, email, homePage;
    QByteArray entryId;
    int objectType = kWabContact;
};

class WabSource
{
public:
    virtual ~WabSource() = default;
    virtual bool available() const = 0;
    // Opens the address book file; false (and error) when it cannot be read.
    virtual bool open(const QString &file, QString *error) = 0;
    virtual void close() = 0;
    // The contacts and distribution lists of the personal address book, in its order.
    virtual QList<WabEntry> contents() = 0;
    // Every property of one entry; false when it cannot be read.
    virtual bool properties(const QByteArray &entryId, QList<WabProperty> *out) = 0;

    static WabSource &instance();
    // Replaces the source (tests); returns the previous one. nullptr restores the default.
    static WabSource *setInstance(WabSource *source);
};

// What the import takes of one contact.
struct WabAddress
{
    int objectType = 0;
    QString email, name, street, postalCode, city;
};
// Business street, postal code and city, else the home ones, else a blank.
WabAddress WabAddressOf(const QList<WabProperty> &properties);

// Imports the contacts among the entries (distribution lists add nothing), in
// one transaction: Mail, an empty Anrede, Name, and where the table has them
// Kategorie "Windows Addressbook", Str, PLZ, Ort.
ImportOutcome ImportWabEntries(AddressTable &table, WabSource &source, const QList<QByteArray> &entryIds);

} // namespace vt
