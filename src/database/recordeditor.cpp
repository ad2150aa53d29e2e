#include "recordeditor.h"
#include "definitionfiles.h"
#include "text.h"
#include "textfile.h"
#include "win1252.h"

#include <QSaveFile>

#include <utility>

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

bool WriteStoredAddresses(AddressTable &table, const QString &path, QString *error)
{
    const int mail = table.fieldIndex(QStringLiteral("Mail"));
    if (mail < 0)
        return true;
    const FieldDef &f = table.field(mail);
    // Written as the records are read; a table of a million addresses is not
    // held in memory. An address beyond the code page starts the file again as
    // UTF-8.
    for (const TextEncoding encoding : {TextEncoding::Win1252, TextEncoding::Utf8Bom}) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = CannotWriteFileText(path);
            return false;
        }
        if (encoding == TextEncoding::Utf8Bom)
            file.write("\xEF\xBB\xBF");
        bool fits = true;
        QByteArray chunk;
        const bool read =
            table.scan(table.activeFilter(), table.indexName(), {mail}, [&](qint64, const QList<QVariant> &values) {
                const QString line = NaturalToText(f, values.first());
                if (encoding == TextEncoding::Win1252 && !FitsWin1252(line)) {
                    fits = false;
                    return false;
                }
                chunk += encoding == TextEncoding::Win1252 ? EncodeWin1252(line) : line.toUtf8();
                chunk += "\r\n";
                if (chunk.size() > (1 << 16) && file.write(std::exchange(chunk, {})) < 0)
                    return false;
                return true;
            });
        if (!read) {
            *error = table.lastError();
            return false;
        }
        if (!fits)
            continue;
        file.write(chunk);
        if (!file.commit()) {
            *error = CannotWriteFileText(path);
            return false;
        }
        return true;
    }
    return true;
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
