#pragma once
// Importing Outlook contacts. Outlook itself is not on this system; its
// contacts are reached through a contact store: the default one reads an
// Outlook data file (.pst) that the user chooses (libpst), tests put in a fake.
// The store hands over every item of a folder at once, so that changing an
// option of the dialog never reads the source again.
#include "importfields.h"
#include "importsink.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

class AddressTable;

// Outlook's class of a contact item; other items (distribution lists) are left out.
constexpr int kOutlookContactClass = 40;
constexpr int kOutlookDistListClass = 69;

struct OutlookItem
{
    int itemClass = kOutlookContactClass;
    // Property values as text, by Outlook's member name ("Email1Address", "FirstName", ...).
    QHash<QString, QString> properties;
    QString value(const QString &member) const { return properties.value(member); }
};

class ContactStore
{
public:
    virtual ~ContactStore() = default;
    // Whether contacts can be read at all here, and if not, what the user needs.
    virtual bool available() const = 0;
    virtual QString unavailableText() const = 0;
    // A store that needs a file (an Outlook data file) before it can be read.
    virtual bool needsFile() const { return false; }
    virtual QString fileFilter() const { return {}; }
    // Opens the store over the file; false (and error) when it cannot be read.
    virtual bool setFile(const QString &path, QString *error);
    // Outlook 2010 64 bit must be closed before the program starts.
    virtual bool is64Bit() const { return false; }
    // The direct subfolders of the default contacts folder, in the store's order.
    virtual QStringList subfolderNames() = 0;
    // The items of the default contacts folder (an empty name) or of its first
    // direct subfolder of that name; false (and error) when they cannot be read.
    virtual bool items(const QString &subfolder, QList<OutlookItem> *out, QString *error) = 0;

    static ContactStore &instance();
    // Replaces the store (tests); returns the previous one. nullptr restores the default.
    static ContactStore *setInstance(ContactStore *store);
};

// The store of this system (outlookpst.cpp).
ContactStore &DefaultContactStore();

// The 44 entries of the extra property boxes: caption and the member read
// (empty for "Nicht importieren"; "FormDescription.Icon" for "Symbol").
struct OutlookProperty
{
    QString caption;
    QString member;
};
const QList<OutlookProperty> &OutlookProperties();

// The fields of the open database an extra property may go to: the importable
// fields except those shown as "Name" or "Mail".
QList<ImportField> OutlookTargets(const QStringList &fieldDefinitions);

// One row of the preview: what a contact with an address gives.
struct OutlookRow
{
    QString name, address;
    QStringList extras; // one per extra box, "" for a box at "Nicht importieren"
};
// emailChoice: 0 "E-Mail", 1 "E-Mail 2", 2 "E-Mail 3"; extras: the positions
// of the three extra boxes. A contact without any address is left out.
QList<OutlookRow> OutlookPreviewRows(const QList<OutlookItem> &items, int emailChoice, bool combineNames,
                                     const QList<int> &extras);

// Imports the rows: Name, Mail and the extra values into the target fields
// (one per extra box, empty for none), in one transaction.
ImportOutcome ImportOutlookRows(AddressTable &table, const QList<OutlookRow> &rows, const QStringList &targets,
                                ImportProgress &progress);

// Whether two target boxes name the same field (the boxes' texts, "Nicht
// importieren" never counts).
bool HasDuplicateTarget(const QStringList &targetCaptions);

} // namespace vt
