#include "recordeditor.h"
#include "definitionfiles.h"
#include "text.h"

namespace vt {

bool IsHiddenEditorField(const QString &name)
{
    return name.contains(QLatin1String("ID")) || AsciiUpper(name) == QLatin1String("ARCHIVE");
}

QList<EditorField> EditorFields(const QStringList &fieldDefinitions, const QStringList &comboDefinitions)
{
    QList<EditorField> out;
    for (int n = 1; n < fieldDefinitions.size(); ++n) {
        const FieldDefinitionLine d = ParseFieldDefinitionLine(fieldDefinitions.at(n));
        EditorField f;
        f.line = n;
        f.name = d.name;
        f.caption = d.displayName.isEmpty() ? d.name : d.displayName;
        if (const auto items = ComboItems(comboDefinitions, d.name)) {
            f.control = EditorField::Control::Combo;
            f.items = *items;
        } else if (d.typeWord == QLatin1String("ftBoolean")) {
            f.control = EditorField::Control::Check;
        }
        f.hidden = IsHiddenEditorField(d.name);
        out.append(f);
    }
    return out;
}

bool StoredAddressesHolding(AddressTable &table, const QString &address, QStringList *out)
{
    out->clear();
    const int mail = table.fieldIndex(QStringLiteral("Mail"));
    if (address.isEmpty() || mail < 0)
        return true;
    const TextSearch holding(TextSearch::Kind::IgnoreCase, address);
    return table.scan(table.activeFilter(), table.indexName(), {mail}, [&](qint64, const QList<QVariant> &values) {
        const QString stored = values.first().toString();
        if (holding.matches(stored))
            out->append(stored);
        return true;
    });
}

} // namespace vt
