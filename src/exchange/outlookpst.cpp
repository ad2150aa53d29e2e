// The contact store of this system: an Outlook data file (.pst) chosen by the
// user, read with libpst. The default contacts folder is the first folder of
// the file that holds contacts, searched from the top.
#include "outlookcontacts.h"

#include <QFile>

#include <memory>
#include <utility>

extern "C" {
#include <libpst/libpst.h>
}

namespace vt {

namespace {

// More entries than the folder tree of any mailbox.
constexpr qint64 kMaxFolderEntries = 200000;
// The kind of node in the low bits of a node's id that marks a folder.
constexpr uint64_t kFolderNodeType = 0x02;

// The file's text in UTF-8, whatever code page an older file wrote it in.
QString text(pst_item *item, pst_string &s)
{
    if (!s.str)
        return {};
    pst_convert_utf8(item, &s);
    return QString::fromUtf8(s.str);
}

struct ItemDeleter
{
    void operator()(pst_item *item) const { pst_freeItem(item); }
};
using ItemPtr = std::unique_ptr<pst_item, ItemDeleter>;

class PstContactStore : public ContactStore
{
public:
    ~PstContactStore() override { closeFile(); }

    bool available() const override { return true; }
    QString unavailableText() const override
    {
        return QStringLiteral("Für den Import von Outlook Kontakten wird eine Outlook-Datendatei (.pst) benötigt, "
                              "z.B. von einem Windows-PC kopiert.");
    }
    bool needsFile() const override { return true; }
    QString fileFilter() const override { return QStringLiteral("Outlook-Datendatei|*.pst;*.ost"); }

    bool setFile(const QString &path, QString *error) override
    {
        closeFile();
        const QByteArray name = QFile::encodeName(path);
        auto refuse = [&] {
            closeFile();
            if (error)
                *error = QStringLiteral("Die Datei \"%1\" ist keine lesbare Outlook-Datendatei.").arg(path);
            return false;
        };
        if (pst_open(&m_file, name.constData(), "windows-1252") != 0)
            return refuse();
        m_open = true;
        if (pst_load_index(&m_file) != 0)
            return refuse();
        pst_load_extended_attributes(&m_file);
        ItemPtr root(pst_parse_item(&m_file, m_file.d_head, nullptr));
        pst_desc_tree *top = root ? pst_getTopOfFolders(&m_file, root.get()) : nullptr;
        if (!top)
            return refuse();
        m_contacts = findContactsFolder(top);
        if (!m_contacts) {
            closeFile();
            if (error)
                *error = QStringLiteral("Die Outlook-Datendatei \"%1\" enthält keinen Kontakte-Ordner.").arg(path);
            return false;
        }
        return true;
    }

    QStringList subfolderNames() override
    {
        QStringList names;
        for (const auto &[name, node] : subfolders())
            names.append(name);
        return names;
    }

    bool items(const QString &subfolder, QList<OutlookItem> *out, QString *error) override
    {
        out->clear();
        pst_desc_tree *folder = m_contacts;
        if (!subfolder.isEmpty()) {
            folder = nullptr;
            for (const auto &[name, node] : subfolders())
                if (name == subfolder) {
                    folder = node;
                    break;
                }
        }
        if (!m_open || !folder) {
            if (error)
                *error = QStringLiteral("Der Kontakte-Ordner kann nicht gelesen werden.");
            return false;
        }
        for (pst_desc_tree *d = folder->child; d; d = d->next) {
            ItemPtr item(pst_parse_item(&m_file, d, nullptr));
            if (!item || item->folder)
                continue;
            out->append(contactOf(item.get()));
        }
        return true;
    }

private:
    void closeFile()
    {
        if (m_open)
            pst_close(&m_file);
        m_open = false;
        m_file = pst_file{};
        m_contacts = nullptr;
    }

    bool isContactsFolder(pst_desc_tree *d)
    {
        ItemPtr item(pst_parse_item(&m_file, d, nullptr));
        return item && item->folder && item->type == PST_TYPE_CONTACT;
    }

    pst_desc_tree *findContactsFolder(pst_desc_tree *top)
    {
        // Breadth first: the contacts folder of the mailbox lies near the top.
        // Only folders are read, and no more entries are looked at than a
        // damaged file could make the search go on with for ever.
        QList<pst_desc_tree *> level{top};
        qint64 looked = 0;
        while (!level.isEmpty()) {
            QList<pst_desc_tree *> next;
            for (pst_desc_tree *node : std::as_const(level))
                for (pst_desc_tree *d = node->child; d; d = d->next) {
                    if (++looked > kMaxFolderEntries)
                        return nullptr;
                    if ((d->d_id & 0x1F) != kFolderNodeType)
                        continue; // a message, not worth reading
                    if (isContactsFolder(d))
                        return d;
                    next.append(d);
                }
            level = next;
        }
        return nullptr;
    }

    QList<std::pair<QString, pst_desc_tree *>> subfolders()
    {
        QList<std::pair<QString, pst_desc_tree *>> list;
        if (!m_contacts)
            return list;
        for (pst_desc_tree *d = m_contacts->child; d; d = d->next) {
            if ((d->d_id & 0x1F) != kFolderNodeType)
                continue;
            ItemPtr item(pst_parse_item(&m_file, d, nullptr));
            if (item && item->folder)
                list.append({text(item.get(), item->file_as), d});
        }
        return list;
    }

    static OutlookItem contactOf(pst_item *item)
    {
        OutlookItem out;
        pst_item_contact *c = item->contact;
        // A distribution list carries contact fields too; its message class tells it apart.
        const bool distList = item->ascii_type && qstrnicmp(item->ascii_type, "IPM.DistList", 12) == 0;
        if (distList || !c || item->type != PST_TYPE_CONTACT) {
            out.itemClass = distList ? kOutlookDistListClass : 0;
            return out;
        }
        const std::pair<const char *, pst_string *> members[] = {
            {"Email1Address", &c->address1},
            {"Email2Address", &c->address2},
            {"Email3Address", &c->address3},
            {"FirstName", &c->first_name},
            {"LastName", &c->surname},
            {"FullName", &c->fullname},
            {"BusinessAddress", &c->business_address},
            {"BusinessAddressCountry", &c->business_country},
            {"BusinessAddressCity", &c->business_city},
            {"BusinessAddressPostalCode", &c->business_postal_code},
            {"BusinessAddressPostOfficeBox", &c->business_po_box},
            {"BusinessAddressState", &c->business_state},
            {"BusinessAddressStreet", &c->business_street},
            {"HomeAddress", &c->home_address},
            {"HomeAddressCountry", &c->home_country},
            {"HomeAddressCity", &c->home_city},
            {"HomeAddressPostalCode", &c->home_postal_code},
            {"HomeAddressPostOfficeBox", &c->home_po_box},
            {"HomeAddressState", &c->home_state},
            {"HomeAddressStreet", &c->home_street},
            {"Title", &c->display_name_prefix},
            {"Profession", &c->profession},
            {"OfficeLocation", &c->office_loc},
            {"BusinessFaxNumber", &c->business_fax},
            {"HomeFaxNumber", &c->home_fax},
            {"CompanyName", &c->company_name},
            {"PrimaryTelephoneNumber", &c->primary_phone},
            {"MobileTelephoneNumber", &c->mobile_phone},
            {"AssistantName", &c->assistant_name},
            {"JobTitle", &c->job_title},
            {"MailingAddress", &c->def_postal_address},
            {"NickName", &c->nickname},
            {"Language", &c->language},
            {"BusinessHomePage", &c->business_homepage},
            {"PersonalHomePage", &c->personal_homepage},
            {"CallbackTelephoneNumber", &c->callback_phone},
            {"AssistantTelephoneNumber", &c->assistant_phone},
        };
        for (const auto &[member, value] : members)
            out.properties.insert(QString::fromLatin1(member), text(item, *value));
        return out;
    }

    pst_file m_file{};
    bool m_open = false;
    pst_desc_tree *m_contacts = nullptr;
};

} // namespace

ContactStore &DefaultContactStore()
{
    static PstContactStore pst;
    return pst;
}

} // namespace vt
