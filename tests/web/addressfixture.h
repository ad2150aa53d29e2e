#pragma once
// An address table for the web tests: the fixed fields, a text field Ort and a
// date field Geburt, filled with (Mail, Name) records.
#include "addresstable.h"
#include "tablefixture.h"

#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

struct AddressFixture
{
    QTemporaryDir dir;
    vt::AddressTable table;

    explicit AddressFixture(std::initializer_list<std::pair<QString, QString>> records = {})
    {
        const QString path = dir.filePath(QStringLiteral("Adressen.DB"));
        makeTable(path, definitionWith({QStringLiteral("Ort| ftString | False |20| | | | FALSE | Ort"),
                                        QStringLiteral("Geburt| ftDate | False |0| | | | FALSE | Geburtstag")}));
        table.open(path);
        QList<vt::FieldValues> values;
        for (const auto &[mail, name] : records)
            values.append({{QStringLiteral("Mail"), mail}, {QStringLiteral("Name"), name}});
        fill(table, values);
    }
    QStringList mails() { return column(table, QStringLiteral("Mail")); }
    // The text of a field of the first record with that address.
    QString field(const QString &mail, const QString &name)
    {
        const qsizetype row = mails().indexOf(mail);
        return row < 0 ? QStringLiteral("<none>") : table.textAt(row, table.fieldIndex(name));
    }
};
