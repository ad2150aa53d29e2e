#include "importfields.h"

#include "definitionfiles.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"

#include <QFileInfo>

namespace vt {

QList<ImportField> ImportableFields(const QStringList &fieldDefinitions)
{
    // Line 0 is the header, lines 1 to 4 the fields no import fills.
    QList<ImportField> fields;
    for (qsizetype i = 5; i < fieldDefinitions.size(); ++i) {
        const FieldDefinitionLine line = ParseFieldDefinitionLine(fieldDefinitions.at(i));
        if (line.name.isEmpty())
            continue;
        fields.append({line.name, line.displayName.isEmpty() ? line.name : line.displayName});
    }
    return fields;
}

QString ColumnMapPath(const QString &dataFolder, const QString &databaseIniName)
{
    return PathJoin(dataFolder, NameBeforeFirstDot(databaseIniName) + QStringLiteral(".imp"));
}

QStringList ReadColumnMap(const QString &path, int fieldCount)
{
    QStringList boxes;
    const QStringList lines = QFileInfo::exists(path) ? ReadLines(path) : QStringList();
    // The last line holds the delimiter, never a column.
    for (int k = 1; k <= fieldCount; ++k)
        boxes.append(lines.size() > k ? lines.at(k - 1) : QStringLiteral("0"));
    return boxes;
}

bool WriteColumnMap(const QString &path, const QStringList &boxes, const QString &delimiter, QString *error)
{
    return WriteLines(path, boxes + QStringList{Trimmed(delimiter)}, {}, error);
}

bool IsIntegerText(const QString &text)
{
    const QString t = Trimmed(text);
    qsizetype i = (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) ? 1 : 0;
    if (i >= t.size())
        return false;
    for (; i < t.size(); ++i)
        if (t.at(i) < QLatin1Char('0') || t.at(i) > QLatin1Char('9'))
            return false;
    bool ok = false;
    t.toInt(&ok);
    return ok;
}

} // namespace vt
