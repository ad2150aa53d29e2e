#pragma once
// Field and index definitions of an address table, and the one place where a
// field's value turns into text and back.
//
// A value comes in three forms:
// - natural: what callers pass and get (QString, qint64, bool, double, QDate,
//   QTime); a blank is an invalid QVariant;
// - stored: what the table file holds (text, 64-bit integer, double; booleans
//   0/1, dates "yyyy-MM-dd", times "HH:mm:ss"); a blank is NULL;
// - text: what the user sees, searches, exports and types ("True"/"False",
//   dates dd.MM.yyyy, numbers with a decimal comma); a blank is "".
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace vt {

enum class FieldType { String, Integer, Boolean, Float, Currency, Date, Time, AutoInc, Memo };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters kept of a string; 0 for the other types
    bool required = false;
};

struct IndexDef
{
    QString name;
    QStringList fields;   // field names, in order
    bool primary = false; // primary indexes are unique
};

// The index of the field with that name, compared without regard to case; -1 when
// there is none.
int FindField(const QList<FieldDef> &fields, const QString &name);

// Whether values of the type are text compared without regard to case.
bool IsTextType(FieldType t);
// The name of the type as the table file's own field list stores it.
QString FieldTypeName(FieldType t);
std::optional<FieldType> FieldTypeFromName(const QString &name);

// The text form of a stored value.
QString StoredToText(const FieldDef &f, const QVariant &stored);
// The natural form of a stored value, and back. ToStored keeps strings whole
// (the size is a display and export width), turns an empty string into a blank
// and refuses a value that the field cannot hold (the error says why, in the
// program's words).
QVariant StoredToNatural(const FieldDef &f, const QVariant &stored);
bool NaturalToStored(const FieldDef &f, const QVariant &natural, QVariant *stored, QString *error = nullptr);
// The stored form of a value typed or read as text.
bool TextToStored(const FieldDef &f, const QString &text, QVariant *stored, QString *error = nullptr);
// The text form of a natural value ("" for a value the field cannot hold).
QString NaturalToText(const FieldDef &f, const QVariant &natural);

} // namespace vt
