#include "placeholderlist.h"
#include "definitionfiles.h"
#include "personalize.h"
#include "text.h"

namespace vt {

namespace {

// "Spalte" and a number above the highest placeholder of a user column.
bool hasNoPlaceholder(const QString &name)
{
    if (!AsciiUpper(name).startsWith(QLatin1String("SPALTE")))
        return false;
    bool ok = false;
    const int n = name.mid(6).toInt(&ok);
    return ok && n > kHighestColumnPlaceholder;
}

} // namespace

QString PlaceholderListText(const QStringList &fieldDefinitions)
{
    QString text = QStringLiteral("Folgende Platzhalter können Sie in Ihrer Vorlage benutzen!\rDiese werden dann von "
                                  "Vantrel während des Versandes ersetzt!\r\r");
    for (qsizetype i = 5; i < fieldDefinitions.size(); ++i) {
        const QString name = ListColumn(fieldDefinitions.at(i), 1);
        const QString display = ListColumn(fieldDefinitions.at(i), 9);
        if (name.isEmpty() || hasNoPlaceholder(name))
            continue;
        text += u'$' + name.toUpper();
        if (!display.isEmpty())
            text += QStringLiteral(" für ") + display;
        text += u'\r';
    }
    return text + QStringLiteral("$DATUM für aktuelles Datum\r");
}

} // namespace vt
