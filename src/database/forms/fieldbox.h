#pragma once
// The column boxes of the database dialogs: the display names of the field
// definition lines in the box, the field names in a list beside it.
#include <QStringList>

class QComboBox;

namespace vt {

// Fills the box from the definition lines fromLine on (line 0 is the header).
void FillFieldBox(QComboBox *box, QStringList *fieldNames, const QStringList &definitions, int fromLine);
// The field name of the box's chosen entry; empty when none is chosen.
QString ChosenFieldName(const QComboBox *box, const QStringList &fieldNames);

} // namespace vt
