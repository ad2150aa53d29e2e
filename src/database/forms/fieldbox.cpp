#include "fieldbox.h"
#include "definitionfiles.h"

#include <QComboBox>

namespace vt {

void FillFieldBox(QComboBox *box, QStringList *fieldNames, const QStringList &definitions, int fromLine)
{
    box->clear();
    fieldNames->clear();
    for (qsizetype i = fromLine; i < definitions.size(); ++i) {
        box->addItem(ListColumn(definitions.at(i), 9));
        fieldNames->append(ListColumn(definitions.at(i), 1));
    }
}

QString ChosenFieldName(const QComboBox *box, const QStringList &fieldNames)
{
    const int i = box->currentIndex();
    return i >= 0 && i < fieldNames.size() ? fieldNames.at(i) : QString();
}

} // namespace vt
