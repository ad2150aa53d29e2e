#include "wabsource.h"

#include "addresstable.h"

#include <QDateTime>
#include <QtEndian>

namespace vt {

namespace {

class UnavailableWabSource : public WabSource
{
public:
    bool available() const override { return false; }
    bool open(const QString &, QString *error) override
    {
        *error = QStringLiteral("Addressbook not found");
        return false;
    }
    void close() override {}
    QList<WabEntry> contents() override { return {}; }
    bool properties(const QByteArray &, QList<WabProperty> *) override { return false; }
};

WabSource *g_source = nullptr;

QString floatText(double d)
{
    return QString::number(d, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

WabSource &WabSource::instance()
{
    static UnavailableWabSource none;
    return g_source ? *g_source : none;
}

WabSource *WabSource::setInstance(WabSource *source)
{
    WabSource *previous = g_source;
    g_source = source;
    return previous;
}

QString PropValueToText(const WabProperty &p)
{
    const quint16 type = p.tag & 0xFFFF;
    switch (type) {
    case 2: return QString::number(qint16(p.value.toInt()));
    case 3: return QString::number(qint32(p.value.toLongLong()));
    case 4:
    case 5: return floatText(p.value.toDouble());
    case 10: return {};
    case 11: return QString::number(quint16(p.value.toBool() ? 1 : p.value.toInt()));
    case 30: return p.value.toString();
    case 64: return p.value.toDateTime().toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    case 258: {
        const QByteArray b = p.value.toByteArray();
        if (b.size() == 4)
            return QStringLiteral("[Binary - Size: %1 bytes] (%2)")
                .arg(b.size())
                .arg(qFromLittleEndian<quint32>(b.constData()), 8, 16, QLatin1Char('0'));
        return QStringLiteral("[Binary - Size: %1 bytes]").arg(b.size());
    }
    default: return QStringLiteral("[Unknown type %1]").arg(type, 0, 16);
    }
}

QString PropTagName(quint32 tag)
{
    switch (tag >> 16) {
    case kPrObjectType: return QStringLiteral("OBJECT_TYPE");
    case kPrDisplayName: return QStringLiteral("DISPLAY_NAME");
    case kPrEmailAddress: return QStringLiteral("EMAIL_ADDRESS");
    case kPrLocality: return QStringLiteral("LOCALITY");
    case kPrStreetAddress: return QStringLiteral("STREET_ADDRESS");
    case kPrPostalCode: return QStringLiteral("POSTAL_CODE");
    case kPrHomeAddressCity: return QStringLiteral("HOME_ADDRESS_CITY");
    case kPrHomeAddressPostalCode: return QStringLiteral("HOME_ADDRESS_POSTAL_CODE");
    case kPrHomeAddressStreet: return QStringLiteral("HOME_ADDRESS_STREET");
    default: return QStringLiteral("[%1]").arg(tag >> 16, 0, 16);
    }
}

WabAddress WabAddressOf(const QList<WabProperty> &properties)
{
    auto value = [&](quint16 id) {
        for (const WabProperty &p : properties)
            if ((p.tag >> 16) == id)
                return PropValueToText(p);
        return QString();
    };
    auto either = [&](quint16 business, quint16 home) {
        QString v = value(business);
        if (v.isEmpty())
            v = value(home);
        return v.isEmpty() ? QStringLiteral(" ") : v;
    };
    WabAddress a;
    a.objectType = value(kPrObjectType).toInt();
    a.email = value(kPrEmailAddress);
    a.name = value(kPrDisplayName);
    a.street = either(kPrStreetAddress, kPrHomeAddressStreet);
    a.postalCode = either(kPrPostalCode, kPrHomeAddressPostalCode);
    a.city = either(kPrLocality, kPrHomeAddressCity);
    return a;
}

ImportOutcome ImportWabEntries(AddressTable &table, WabSource &source, const QList<QByteArray> &entryIds)
{
    ImportSink sink(table);
    if (!sink.isValid())
        return sink.outcome();
    const int mail = sink.field(QStringLiteral("Mail")), anrede = sink.field(QStringLiteral("Anrede")),
              name = sink.field(QStringLiteral("Name")), kategorie = sink.field(QStringLiteral("Kategorie")),
              str = sink.field(QStringLiteral("Str")), plz = sink.field(QStringLiteral("PLZ")),
              ort = sink.field(QStringLiteral("Ort"));
    qint64 n = 0;
    for (const QByteArray &id : entryIds) {
        ++n;
        QList<WabProperty> properties;
        if (!source.properties(id, &properties)) {
            sink.abandon(QStringLiteral("Ein Eintrag des Adressbuchs kann nicht gelesen werden."));
            return sink.outcome();
        }
        const WabAddress a = WabAddressOf(properties);
        if (a.objectType != kWabContact)
            continue;
        sink.setText(mail, a.email);
        sink.setText(anrede, QString());
        sink.setText(name, a.name);
        sink.setText(kategorie, QStringLiteral("Windows Addressbook"));
        sink.setText(str, a.street);
        sink.setText(plz, a.postalCode);
        sink.setText(ort, a.city);
        sink.post(n);
        if (!sink.isValid())
            return sink.outcome();
    }
    sink.commit();
    return sink.outcome();
}

} // namespace vt
