#include "fieldtypes.h"
#include "text.h"

#include <QDate>
#include <QTime>
#include <cmath>

namespace vt {

namespace {

const char *const kIsoDate = "yyyy-MM-dd";
const char *const kTime = "HH:mm:ss";

bool isBlank(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Decimal numbers are shown with the German decimal comma; a full stop is
// accepted as well when reading, since files from elsewhere use it.
QString decimalText(double d, int decimals)
{
    QString s = decimals < 0 ? QString::number(d, 'g', 15) : QString::number(d, 'f', decimals);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

bool parseInteger(const QString &text, qint64 *out)
{
    const QString t = Trimmed(text);
    if (t.isEmpty())
        return false;
    qsizetype i = (t.at(0) == u'+' || t.at(0) == u'-') ? 1 : 0;
    if (i == t.size())
        return false;
    for (qsizetype k = i; k < t.size(); ++k)
        if (t.at(k) < u'0' || t.at(k) > u'9')
            return false;
    bool ok = false;
    *out = t.toLongLong(&ok);
    return ok;
}

bool parseDecimal(const QString &text, double *out)
{
    QString t = Trimmed(text);
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.isEmpty() || t.contains(QLatin1Char(' ')))
        return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

// The first of the formats that reads the text as a valid date or time.
template <typename T> T parseWith(const QString &text, std::initializer_list<const char *> formats)
{
    const QString t = Trimmed(text);
    for (const char *format : formats) {
        const T v = T::fromString(t, QLatin1String(format));
        if (v.isValid())
            return v;
    }
    return {};
}

} // namespace

int FindField(const QList<FieldDef> &fields, const QString &name)
{
    for (int i = 0; i < fields.size(); ++i)
        if (EqualsNoCase(fields.at(i).name, name))
            return i;
    return -1;
}

bool IsTextType(FieldType t)
{
    return t == FieldType::String || t == FieldType::Memo;
}

QString FieldTypeName(FieldType t)
{
    switch (t) {
    case FieldType::String: return QStringLiteral("String");
    case FieldType::Integer: return QStringLiteral("Integer");
    case FieldType::Boolean: return QStringLiteral("Boolean");
    case FieldType::Float: return QStringLiteral("Float");
    case FieldType::Currency: return QStringLiteral("Currency");
    case FieldType::Date: return QStringLiteral("Date");
    case FieldType::Time: return QStringLiteral("Time");
    case FieldType::AutoInc: return QStringLiteral("AutoInc");
    case FieldType::Memo: return QStringLiteral("Memo");
    }
    return {};
}

std::optional<FieldType> FieldTypeFromName(const QString &name)
{
    for (FieldType t : {FieldType::String, FieldType::Integer, FieldType::Boolean, FieldType::Float,
                        FieldType::Currency, FieldType::Date, FieldType::Time, FieldType::AutoInc, FieldType::Memo})
        if (FieldTypeName(t) == name)
            return t;
    return std::nullopt;
}

QString StoredToText(const FieldDef &f, const QVariant &stored)
{
    if (isBlank(stored))
        return {};
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Time: return stored.toString();
    case FieldType::Integer:
    case FieldType::AutoInc: return QString::number(stored.toLongLong());
    case FieldType::Boolean: return stored.toLongLong() != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Float: return decimalText(stored.toDouble(), -1);
    case FieldType::Currency: return decimalText(stored.toDouble(), 2);
    case FieldType::Date: {
        const QDate d = QDate::fromString(stored.toString(), QLatin1String(kIsoDate));
        // A value that is no date (written by another program) is shown as it is.
        return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored.toString();
    }
    }
    return {};
}

QVariant StoredToNatural(const FieldDef &f, const QVariant &stored)
{
    if (isBlank(stored))
        return {};
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo: return stored.toString();
    case FieldType::Integer:
    case FieldType::AutoInc: return stored.toLongLong();
    case FieldType::Boolean: return stored.toLongLong() != 0;
    case FieldType::Float:
    case FieldType::Currency: return stored.toDouble();
    case FieldType::Date: {
        const QDate d = QDate::fromString(stored.toString(), QLatin1String(kIsoDate));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Time: {
        const QTime t = QTime::fromString(stored.toString(), QLatin1String(kTime));
        return t.isValid() ? QVariant(t) : QVariant();
    }
    }
    return {};
}

bool TextToStored(const FieldDef &f, const QString &text, QVariant *stored, QString *error)
{
    *stored = QVariant();
    if (IsTextType(f.type)) {
        // Strings keep their blanks and their whole length (the size is the width
        // shown and exported: a cut address would be another address); only an
        // empty text is a blank field.
        if (text.isEmpty())
            return true;
        *stored = text;
        return true;
    }
    if (Trimmed(text).isEmpty())
        return true;
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc: {
        qint64 n = 0;
        if (!parseInteger(text, &n))
            return fail(error, QStringLiteral("'%1' ist kein gültiger Ganzzahlwert.").arg(text));
        *stored = n;
        return true;
    }
    case FieldType::Boolean: {
        const QString t = FoldCase(Trimmed(text));
        if (t == u"true" || t == u"1")
            *stored = qint64(1);
        else if (t == u"false" || t == u"0")
            *stored = qint64(0);
        else
            return fail(error, QStringLiteral("'%1' ist kein gültiger Wahrheitswert.").arg(text));
        return true;
    }
    case FieldType::Float:
    case FieldType::Currency: {
        double d = 0;
        if (!parseDecimal(text, &d))
            return fail(error, QStringLiteral("'%1' ist kein gültiger Gleitkommawert.").arg(text));
        *stored = d;
        return true;
    }
    case FieldType::Date: {
        const QDate d = parseWith<QDate>(text, {"d.M.yyyy", "yyyy-MM-dd"});
        if (!d.isValid())
            return fail(error, QStringLiteral("'%1' ist kein gültiges Datum.").arg(text));
        *stored = d.toString(QLatin1String(kIsoDate));
        return true;
    }
    case FieldType::Time: {
        const QTime t = parseWith<QTime>(text, {"H:mm:ss", "H:mm"});
        if (!t.isValid())
            return fail(error, QStringLiteral("'%1' ist keine gültige Uhrzeit.").arg(text));
        *stored = t.toString(QLatin1String(kTime));
        return true;
    }
    case FieldType::String:
    case FieldType::Memo: break;
    }
    return true;
}

bool NaturalToStored(const FieldDef &f, const QVariant &natural, QVariant *stored, QString *error)
{
    *stored = QVariant();
    if (isBlank(natural))
        return true;
    const int id = natural.metaType().id();
    if (id == QMetaType::QString || IsTextType(f.type))
        return TextToStored(f, natural.toString(), stored, error);
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Boolean: {
        if (id == QMetaType::Double || !natural.canConvert<qint64>())
            break;
        const qint64 n = natural.toLongLong();
        *stored = f.type == FieldType::Boolean ? qint64(n != 0) : n;
        return true;
    }
    case FieldType::Float:
    case FieldType::Currency: {
        bool ok = false;
        const double d = natural.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            break;
        *stored = d;
        return true;
    }
    case FieldType::Date:
        if (id == QMetaType::QDate || id == QMetaType::QDateTime) {
            const QDate d = natural.toDate();
            if (d.isValid())
                *stored = d.toString(QLatin1String(kIsoDate));
            return true;
        }
        break;
    case FieldType::Time:
        if (id == QMetaType::QTime) {
            const QTime t = natural.toTime();
            if (t.isValid())
                *stored = t.toString(QLatin1String(kTime));
            return true;
        }
        break;
    case FieldType::String:
    case FieldType::Memo: break;
    }
    return fail(error, QStringLiteral("Der Wert passt nicht in das Feld \"%1\".").arg(f.name));
}

QString NaturalToText(const FieldDef &f, const QVariant &natural)
{
    QVariant stored;
    return NaturalToStored(f, natural, &stored) ? StoredToText(f, stored) : QString();
}

} // namespace vt
