#include "filterexpression.h"
#include "text.h"

namespace vt {

QString FilterOperatorText(int index)
{
    static const char *const texts[] = {"=", "<>", "<", ">"};
    return QLatin1String(texts[(index >= 1 && index <= 4 ? index : 1) - 1]);
}

int NextFilterOperator(int index)
{
    return index >= 4 || index < 1 ? 1 : index + 1;
}

QString FilterConnectorCaption(int index)
{
    switch (index) {
    case 2: return QStringLiteral("und");
    case 3: return QStringLiteral("oder");
    default: return QStringLiteral("keine zweite Bedingung");
    }
}

QString FilterConnectorWord(int index)
{
    switch (index) {
    case 2: return QStringLiteral("AND");
    case 3: return QStringLiteral("OR");
    default: return {};
    }
}

int NextFilterConnector(int index)
{
    return index >= 3 || index < 1 ? 1 : index + 1;
}

QString FilterValuePart(const QString &value, int columnPosition)
{
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + (columnPosition >= 4 ? QStringLiteral("*'") : QStringLiteral("'"));
}

QString JoinFilterParts(const QStringList &parts)
{
    QString text;
    for (const QString &p : parts)
        text += p + u' ';
    return Trimmed(text);
}

} // namespace vt
