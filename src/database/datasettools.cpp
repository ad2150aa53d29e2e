#include "datasettools.h"
#include "convert.h"
#include "messages.h"
#include "text.h"

#include <QSet>

namespace vt {

int FindMailField(const AddressTable *table)
{
    return FindFieldByName(QStringLiteral("MAIL"), table);
}

int FindFieldByName(const QString &name, const AddressTable *table)
{
    return table && table->isOpen() ? table->fieldIndex(name) : -1;
}

QString BuildAddressString(AddressTable *table, int addressField, const QString &separator)
{
    if (!table || !table->isOpen() || addressField < 0 || addressField >= table->fieldCount())
        return {};
    int selection = -1;
    for (int i = 0; i < table->fieldCount(); ++i)
        if (AsciiUpper(table->field(i).name).contains(QLatin1String("SELECTED")))
            selection = i;
    Filter where = table->activeFilter();
    if (selection >= 0)
        where = where && Filter::equals(table->field(selection).name, true);

    // Each address once, compared as it is written: a longer address that ends
    // with a shorter one is a different address.
    QSet<QString> seen;
    QString list;
    const FieldDef &f = table->field(addressField);
    table->scan(where, table->indexName(), {addressField}, [&](qint64, const QList<QVariant> &values) {
        const QString value = Trimmed(NaturalToText(f, values.first()));
        if (value.isEmpty() || seen.contains(value) || !value.contains(QLatin1Char('@')) ||
            !value.contains(QLatin1Char('.')))
            return true;
        if (IsValidEmailAddress(value)) {
            seen.insert(value);
            list += value + separator;
        } else if (selection >= 0) {
            list += QStringLiteral("-1") + separator;
        } else {
            list += QChar(0xDE) + separator;
            information(QStringLiteral("Falsche E-Mail-Adresse: ") + value);
        }
        return true;
    });
    table->setFiltered(false);
    table->last();
    // What is left of the last separator goes, and a leading comma with it.
    list = Trimmed(list);
    list.chop(1);
    if (list.startsWith(QLatin1Char(',')))
        list = Trimmed(list.mid(1));
    return list;
}

} // namespace vt
