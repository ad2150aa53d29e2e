#include "definitionfiles.h"
#include "inifile.h"
#include "paths.h"
#include "systools.h"
#include "text.h"

namespace vt {

namespace {

const QString kBar = QStringLiteral("|");

struct TypeWord
{
    const char *word;
    FieldType type;
    int fixedSize; // -1: the size column counts
};

// ftPicture was never a picture here: a string of two characters.
const TypeWord kTypeWords[] = {
    {"ftString", FieldType::String, -1}, {"ftInteger", FieldType::Integer, 0},   {"ftBoolean", FieldType::Boolean, 0},
    {"ftFloat", FieldType::Float, 0},    {"ftCurrency", FieldType::Currency, 0}, {"ftDate", FieldType::Date, 0},
    {"ftTime", FieldType::Time, 0},      {"ftAutoInc", FieldType::AutoInc, 0},   {"ftMemo", FieldType::Memo, 0},
    {"ftPicture", FieldType::String, 2},
};

// A decimal integer, as every size column holds.
bool parseSize(const QString &text, int *out)
{
    QVariant v;
    if (!TextToStored({QString(), FieldType::Integer, 0, false}, text, &v) || v.isNull() ||
        v.toLongLong() != int(v.toLongLong()))
        return false;
    *out = int(v.toLongLong());
    return true;
}

} // namespace

QString ListColumn(const QString &line, int column)
{
    return Trimmed(ExtractDelimitedWord(column, line, kBar));
}

bool FieldDefinitionLine::required() const
{
    return AsciiUpper(requiredMark) == QLatin1String("TRUE");
}

bool FieldDefinitionLine::sortable() const
{
    return AsciiUpper(sortableMark) == QLatin1String("TRUE");
}

FieldDefinitionLine ParseFieldDefinitionLine(const QString &line)
{
    FieldDefinitionLine d;
    d.name = ListColumn(line, 1);
    d.typeWord = ListColumn(line, 2);
    d.requiredMark = ListColumn(line, 3);
    d.sizeText = ListColumn(line, 4);
    d.indexName = ListColumn(line, 5);
    d.indexFields = ListColumn(line, 6);
    d.primaryMark = ListColumn(line, 7);
    d.sortableMark = ListColumn(line, 8);
    d.displayName = ListColumn(line, 9);
    return d;
}

QString UserColumnDefinitionLine(int k, const QString &displayName)
{
    // The blanks keep every column a word of its own, the empty primary mark included.
    return QStringLiteral("Spalte%1| ftString   | False      |80     | Spalte%1 | Spalte%1    |                     "
                          "| TRUE        | %2")
        .arg(k)
        .arg(displayName);
}

TableDefinition TableDefinitionFromLines(const QStringList &proLines)
{
    TableDefinition t;
    for (int i = 1; i < proLines.size(); ++i) {
        const FieldDefinitionLine d = ParseFieldDefinitionLine(proLines.at(i));
        int size = 0;
        const bool sizeOk = parseSize(d.sizeText, &size);
        // The size is a 16-bit number as written ("-1" is 65535).
        const QString sizeShown = sizeOk ? QString::number(quint16(size)) : d.sizeText;
        t.log.append(QStringLiteral("FieldDefs.Add(%1,%2,%3,%4);")
                         .arg(d.name, d.typeWord, sizeShown, AsciiUpper(d.requiredMark)));
        if (!sizeOk) {
            if (t.error.isEmpty())
                t.error = QStringLiteral("Zeile %1: die Größe \"%2\" des Felds \"%3\" ist keine Zahl.")
                              .arg(i)
                              .arg(d.sizeText, d.name);
            continue;
        }
        for (const TypeWord &w : kTypeWords) {
            if (d.typeWord != QLatin1String(w.word))
                continue;
            FieldDef f;
            f.name = d.name;
            f.type = w.type;
            f.size = w.fixedSize >= 0 ? w.fixedSize : int(quint16(size));
            f.required = d.required();
            t.fields.append(f);
        }
    }
    for (int i = 1; i < proLines.size(); ++i) {
        const FieldDefinitionLine d = ParseFieldDefinitionLine(proLines.at(i));
        if (d.indexName.isEmpty())
            continue;
        IndexDef x;
        x.name = d.indexName;
        for (const QString &f : DelimitedWords(d.indexFields, QStringLiteral(";")))
            if (!Trimmed(f).isEmpty())
                x.fields.append(Trimmed(f));
        x.primary = d.primary();
        t.indexes.append(x);
        t.log.append(QStringLiteral("IndexDefs.Add(%1,%2,%3);")
                         .arg(d.indexName, d.indexFields,
                              x.primary ? QStringLiteral("[ixPrimary,ixUnique]") : QStringLiteral("[]")));
    }
    return t;
}

std::optional<QStringList> ComboItems(const QStringList &comboLines, const QString &fieldName)
{
    std::optional<QString> list;
    for (int i = 1; i < comboLines.size(); ++i)
        if (ListColumn(comboLines.at(i), 1) == fieldName)
            list = ListColumn(comboLines.at(i), 2);
    if (!list)
        return std::nullopt;
    const bool pairs = list->contains(QLatin1Char('='));
    QStringList items;
    for (const QString &entry : DelimitedWords(*list, QStringLiteral(";"))) {
        QString item = Trimmed(entry);
        // In a list of "value=text" pairs the drop-down offers the values.
        if (pairs && item.contains(QLatin1Char('=')))
            item = Trimmed(item.left(item.indexOf(QLatin1Char('='))));
        items.append(item);
    }
    return items;
}

QList<FilterPreset> FilterPresetsFromLines(const QStringList &filterLines)
{
    QList<FilterPreset> out;
    for (int i = 1; i < filterLines.size(); ++i)
        out.append({ListColumn(filterLines.at(i), 1), ListColumn(filterLines.at(i), 2)});
    return out;
}

CatalogEntry CatalogEntryOf(const QString &line)
{
    return {ListColumn(line, 1), ListColumn(line, 2), ListColumn(line, 3)};
}

int FindCatalogLine(const QStringList &catalog, const QString &definitionFile)
{
    int found = -1;
    for (int i = 1; i < catalog.size(); ++i)
        if (!definitionFile.isEmpty() && EqualsNoCase(ListColumn(catalog.at(i), 3), definitionFile))
            found = i;
    return found;
}

QString CatalogLine(const QString &displayName, const QString &definitionFile)
{
    return displayName + QStringLiteral("| cddrive.bmp|") + definitionFile;
}

QStringList DefinitionTableNames(const QStringList &definitionLines)
{
    QStringList out;
    for (int i = 1; i < definitionLines.size(); ++i)
        out.append(ListColumn(definitionLines.at(i), 2));
    return out;
}

QStringList NewDatabaseDefinition(const QString &tableName)
{
    return {QStringLiteral("TABLE        TABELNAME"), QStringLiteral("Table1      |") + tableName};
}

QString NameBeforeFirstDot(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

// The grid layout file: an INI file with a marker section and one section per
// column in column order. Titles are written in quotes so that blanks around
// them survive the reading rules of INI files.
static const QString kGridSection = QStringLiteral("VantrelGridLayout");

bool WriteGridLayoutFile(const QString &path, const QList<GridColumn> &columns)
{
    // The whole file is replaced in one go, so a failed save keeps the old layout.
    IniFile ini(path);
    ini.setAutoSave(false);
    for (const QString &section : ini.sections())
        ini.eraseSection(section);
    ini.writeInteger(kGridSection, QStringLiteral("Version"), 1);
    ini.writeInteger(kGridSection, QStringLiteral("Columns"), int(columns.size()));
    for (int i = 0; i < columns.size(); ++i) {
        const QString sec = QStringLiteral("Column%1").arg(i + 1);
        ini.writeString(sec, QStringLiteral("Field"), columns.at(i).field);
        ini.writeString(sec, QStringLiteral("Title"), QLatin1Char('"') + columns.at(i).title + QLatin1Char('"'));
        ini.writeInteger(sec, QStringLiteral("Width"), columns.at(i).width);
        ini.writeBool(sec, QStringLiteral("Visible"), columns.at(i).visible);
    }
    return ini.save();
}

std::optional<QList<GridColumn>> ReadGridLayoutFile(const QString &path)
{
    if (!IsFile(path))
        return std::nullopt;
    const IniFile ini(path);
    if (ini.readInteger(kGridSection, QStringLiteral("Version"), 0) != 1)
        return std::nullopt;
    const int n = ini.readInteger(kGridSection, QStringLiteral("Columns"), 0);
    QList<GridColumn> out;
    for (int i = 0; i < n; ++i) {
        const QString sec = QStringLiteral("Column%1").arg(i + 1);
        GridColumn c;
        c.field = ini.readString(sec, QStringLiteral("Field"));
        c.title = ini.readString(sec, QStringLiteral("Title"));
        c.width = ini.readInteger(sec, QStringLiteral("Width"), -1);
        c.visible = ini.readBool(sec, QStringLiteral("Visible"), true);
        if (!c.field.isEmpty())
            out.append(c);
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

} // namespace vt
