#include "sqlstatement.h"

#include <QFile>

namespace vt {

QString quotedName(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

void bindValue(sqlite3_stmt *s, int i, const QVariant &v)
{
    if (isBlankValue(v)) {
        sqlite3_bind_null(s, i);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: sqlite3_bind_int64(s, i, v.toLongLong()); return;
    case QMetaType::Double: sqlite3_bind_double(s, i, v.toDouble()); return;
    default: {
        const QByteArray u = v.toString().toUtf8();
        sqlite3_bind_text(s, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt *s, int i)
{
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER: return qint64(sqlite3_column_int64(s, i));
    case SQLITE_FLOAT: return sqlite3_column_double(s, i);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)), sqlite3_column_bytes(s, i));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(s, i)), sqlite3_column_bytes(s, i));
    default: return {};
    }
}

int openConnection(const QString &path, int flags, sqlite3 **db)
{
    return sqlite3_open_v2(QFile::encodeName(path).constData(), db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
}

bool execOn(sqlite3 *db, const QString &sql, QString *error)
{
    char *msg = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    return false;
}

} // namespace vt
