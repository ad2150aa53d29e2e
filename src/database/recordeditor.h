#pragma once
// What the record editor is built from and what it checks: one row per field
// of the field definition file with the control that suits it, and the stored
// addresses a new address may repeat.
#include "addresstable.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

struct EditorField
{
    enum class Control { Edit, Check, Combo };
    int line = 0; // line of the field definition file, from 1; the row is line - 1
    QString name;
    QString caption; // the display name, or the field name when there is none
    Control control = Control::Edit;
    QStringList items; // the drop-down entries of a combo box
    bool hidden = false;
};

// A field whose name holds the capital letters "ID" anywhere, or is "ARCHIVE"
// in any case, keeps its row but shows nothing.
bool IsHiddenEditorField(const QString &name);
// One row per line of the field definition file from line 1: a combo box when
// a line of the combo definition file names the field (the last such line
// counts), else a check box for a boolean field, else an edit.
QList<EditorField> EditorFields(const QStringList &fieldDefinitions, const QStringList &comboDefinitions);

// Writes the address (the field Mail as text, an empty line for a blank) of
// every record under the table's filter, in its order, one a line, as the list
// of addresses already in the table that a user may look at ("SchonInDB.list"):
// the program's code page, or UTF-8 when an address needs it. Nothing is
// written for a table without the field.
bool WriteStoredAddresses(AddressTable &table, const QString &path, QString *error);

// The stored addresses of the records under the table's filter, in its order,
// that hold the address as a part without regard to case; none for an empty
// address. False when the table could not be read.
bool StoredAddressesHolding(AddressTable &table, const QString &address, QStringList *out);

} // namespace vt
