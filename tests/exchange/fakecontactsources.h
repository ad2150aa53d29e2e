#pragma once
// Scripted contact sources for the Outlook and address book imports: what a
// real Outlook or Windows Address Book would hand over.
#include "outlookcontacts.h"
#include "wabsource.h"

#include <QMap>

struct FakeContactStore : vt::ContactStore
{
    QMap<QString, QList<vt::OutlookItem>> folders; // "" is the default contacts folder
    QStringList subfolders;
    bool sixtyFour = false;
    int reads = 0;
    QString fileChosen;

    FakeContactStore() { previous = vt::ContactStore::setInstance(this); }
    ~FakeContactStore() override { vt::ContactStore::setInstance(previous); }
    bool available() const override { return true; }
    QString unavailableText() const override { return {}; }
    bool is64Bit() const override { return sixtyFour; }
    QStringList subfolderNames() override { return subfolders; }
    bool items(const QString &subfolder, QList<vt::OutlookItem> *out, QString *) override
    {
        ++reads;
        *out = folders.value(subfolder);
        return true;
    }

    static vt::OutlookItem contact(const QList<QPair<QString, QString>> &values, int itemClass = 40)
    {
        vt::OutlookItem item;
        item.itemClass = itemClass;
        for (const auto &[k, v] : values)
            item.properties.insert(k, v);
        return item;
    }

private:
    vt::ContactStore *previous = nullptr;
};

struct FakeWabSource : vt::WabSource
{
    QList<vt::WabEntry> entries;
    QMap<QByteArray, QList<vt::WabProperty>> props;
    QStringList opened;
    int closes = 0;

    FakeWabSource() { previous = vt::WabSource::setInstance(this); }
    ~FakeWabSource() override { vt::WabSource::setInstance(previous); }
    bool available() const override { return true; }
    bool open(const QString &file, QString *) override
    {
        opened.append(file);
        return true;
    }
    void close() override { ++closes; }
    QList<vt::WabEntry> contents() override { return entries; }
    bool properties(const QByteArray &id, QList<vt::WabProperty> *out) override
    {
        *out = props.value(id);
        return props.contains(id);
    }

    // A contact (6) or list (8) with its properties (id -> text).
    void add(const QByteArray &id, int type, const QString &name, const QString &mail,
             const QList<QPair<quint16, QString>> &more = {})
    {
        entries.append({name, mail, QString(), id, type});
        QList<vt::WabProperty> p{{quint32(vt::kPrObjectType) << 16 | 3, type},
                                 {quint32(vt::kPrDisplayName) << 16 | 30, name},
                                 {quint32(vt::kPrEmailAddress) << 16 | 30, mail}};
        for (const auto &[pid, v] : more)
            p.append({quint32(pid) << 16 | 30, v});
        props.insert(id, p);
    }

private:
    vt::WabSource *previous = nullptr;
};
