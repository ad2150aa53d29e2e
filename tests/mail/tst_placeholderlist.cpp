// The placeholder list of a database: one line per field from the address on,
// without the user columns that sending does not replace.
#include "placeholderlist.h"

#include <QTest>

using namespace vt;

class TestPlaceholderList : public QObject
{
    Q_OBJECT
private slots:
    void lines()
    {
        const QStringList pro{
            "FELDNAME|TYP|PFLICHT|GROESSE|INDEXNAME|INDEXFELDER|PRIMAERINDEX|SORTIERBAR|ANZEIGENAME",
            "ID|ftAutoInc|False|0|ID|ID|Primaer|FALSE|ID",
            "Selected|ftBoolean|False|0| | | |FALSE|Selected",
            "Invalid|ftBoolean|False|0| | | |FALSE|Invalid",
            "LetztesMail|ftDate|False|0| | | |TRUE|Letztes Mail",
            "Mail|ftString|False|100| | | |TRUE| E-Mail ",
            "Name|ftString|False|80| | | |TRUE|Name",
            "Handy|ftString|False|40| | | |TRUE|   ",
            "Spalte150|ftString|False|80| | | |TRUE|Kundennummer",
            "spalte151|ftString|False|80| | | |TRUE|Zu viel",
        };
        QCOMPARE(PlaceholderListText(pro),
                 QStringLiteral("Folgende Platzhalter können Sie in Ihrer Vorlage benutzen!\rDiese werden dann von "
                                "Vantrel während des Versandes ersetzt!\r\r$MAIL für E-Mail\r$NAME für Name\r$HANDY\r"
                                "$SPALTE150 für Kundennummer\r$DATUM für aktuelles Datum\r"));
    }
};

QTEST_GUILESS_MAIN(TestPlaceholderList)
#include "tst_placeholderlist.moc"
