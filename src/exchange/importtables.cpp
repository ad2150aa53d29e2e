#include "importtables.h"

#include "addresstable.h"
#include "text.h"
#include "win1252.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTime>

#include <cmath>
// The library's header declares its functions for C only.
extern "C" {
#include <paradox.h>
}
#include <shapefil.h>

namespace vt {

namespace {

QString numberText(double value, int decimals = -1)
{
    if (!std::isfinite(value))
        return {};
    if (decimals == 0 || (decimals < 0 && value == std::floor(value) && std::fabs(value) < 1e15))
        return QString::number(qint64(std::llround(value)));
    return QString::number(value, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

// ---------------------------------------------------------------------------
// Paradox

void quietPxError(pxdoc_t *, int, const char *, void *)
{
    // Failures are seen in the return values; the library's own report would go to the terminal.
}

quint16 word(const uchar *b)
{
    return quint16(b[0] | b[1] << 8);
}

// Checks the header of a Paradox table and walks the chain of its data blocks
// as the library would, but bounded by the file: the library follows the chain
// without looking back, so a block that leads to an earlier one keeps it busy
// for ever, and one that leads out of the file makes it read what is not there.
bool ParadoxFileSound(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const QByteArray head = file.read(0x58);
    if (head.size() < 0x58)
        return false;
    const auto *h = reinterpret_cast<const uchar *>(head.constData());
    const int recordSize = word(h + 0x00);
    const int headerSize = word(h + 0x02);
    const int fileType = h[0x04];          // 0 a keyed table, 2 one without a key
    const int blockSize = h[0x05] * 0x400; // "maximum table size" counts kilobytes per block
    const int fileBlocks = word(h + 0x0C);
    const int firstBlock = word(h + 0x0E);
    const int fieldCount = word(h + 0x21);
    if ((fileType != 0 && fileType != 2) || h[0x05] < 1 || h[0x05] > 32 || headerSize < 0x58 || recordSize < 1 ||
        recordSize > blockSize - 6 || fieldCount < 1 || fieldCount > 255)
        return false;
    // A table cut short misses data blocks that its header counts.
    if (size < qint64(headerSize) + qint64(fileBlocks) * blockSize)
        return false;
    const qint64 blocksInFile = (size - headerSize) / blockSize;
    QList<bool> seen(blocksInFile + 1, false);
    for (qint64 block = firstBlock; block != 0;) {
        if (block > blocksInFile || seen[block])
            return false;
        seen[block] = true;
        uchar link[2];
        if (!file.seek(headerSize + (block - 1) * blockSize) || file.read(reinterpret_cast<char *>(link), 2) != 2)
            return false;
        block = word(link);
    }
    return true;
}

class ParadoxTable : public SourceTable
{
public:
    ~ParadoxTable() override
    {
        if (m_doc) {
            PX_close(m_doc);
            PX_delete(m_doc);
        }
    }

    bool open(const QString &path)
    {
        if (!ParadoxFileSound(path))
            return false;
        m_doc = PX_new2(quietPxError, nullptr, nullptr, nullptr);
        if (!m_doc)
            return false;
        const QByteArray name = QFile::encodeName(path);
        if (PX_open_file(m_doc, name.constData()) < 0)
            return false;
        const pxhead_t *h = m_doc->px_head;
        if (!h || h->px_numfields <= 0 || h->px_recordsize <= 0 || h->px_numrecords < 0 || h->px_maxtablesize <= 0)
            return false;
        PX_set_targetencoding(m_doc, "UTF-8");
        const QString blob = path.left(path.size() - 2) + QStringLiteral("MB");
        const QString blobLower = path.left(path.size() - 2) + QStringLiteral("mb");
        for (const QString &b : {blob, blobLower})
            if (QFileInfo::exists(b)) {
                m_blobOpen = PX_set_blob_file(m_doc, QFile::encodeName(b).constData()) >= 0;
                break;
            }
        m_fields = PX_get_fields(m_doc);
        m_record.resize(h->px_recordsize);
        return m_fields != nullptr;
    }

    int fieldCount() const override { return m_doc->px_head->px_numfields; }
    qint64 recordCount() const override { return m_doc->px_head->px_numrecords; }

    bool read(qint64 i, QStringList *values, bool *deleted) override
    {
        values->clear();
        int isDeleted = 0;
        pxdatablockinfo_t info{};
        if (!PX_get_record2(m_doc, int(i), m_record.data(), &isDeleted, &info))
            return false;
        *deleted = isDeleted != 0;
        int offset = 0;
        for (int f = 0; f < fieldCount(); ++f) {
            const pxfield_t &field = m_fields[f];
            if (offset + field.px_flen > m_record.size())
                return false;
            values->append(valueText(field, m_record.data() + offset));
            offset += field.px_flen;
        }
        return true;
    }

private:
    QString takeString(char *value, int length = -1)
    {
        QString s = QString::fromUtf8(value, length);
        m_doc->free(m_doc, value);
        return s;
    }

    QString valueText(const pxfield_t &field, char *data)
    {
        const int len = field.px_flen;
        switch (field.px_ftype) {
        case pxfAlpha: {
            char *value = nullptr;
            return PX_get_data_alpha(m_doc, data, len, &value) > 0 && value ? takeString(value) : QString();
        }
        case pxfDate: {
            long days = 0;
            if (PX_get_data_long(m_doc, data, len, &days) <= 0)
                return {};
            int y = 0, m = 0, d = 0;
            PX_SdnToGregorian(days + 1721425, &y, &m, &d);
            return dateText(QDate(y, m, d));
        }
        case pxfShort: {
            short value = 0;
            return PX_get_data_short(m_doc, data, len, &value) > 0 ? QString::number(value) : QString();
        }
        case pxfLong:
        case pxfAutoInc: {
            long value = 0;
            return PX_get_data_long(m_doc, data, len, &value) > 0 ? QString::number(value) : QString();
        }
        case pxfCurrency:
        case pxfNumber: {
            double value = 0;
            return PX_get_data_double(m_doc, data, len, &value) > 0 ? numberText(value) : QString();
        }
        case pxfLogical: {
            char value = 0;
            if (PX_get_data_byte(m_doc, data, len, &value) <= 0)
                return {};
            return value ? QStringLiteral("True") : QStringLiteral("False");
        }
        case pxfTime: {
            long ms = 0;
            if (PX_get_data_long(m_doc, data, len, &ms) <= 0)
                return {};
            return QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)).toString(QStringLiteral("HH:mm:ss"));
        }
        case pxfTimestamp: {
            double ms = 0;
            if (PX_get_data_double(m_doc, data, len, &ms) <= 0)
                return {};
            const qint64 whole = qint64(ms);
            const qint64 days = whole / 86400000;
            int y = 0, m = 0, d = 0;
            PX_SdnToGregorian(long(days + 1721425), &y, &m, &d);
            return dateText(QDate(y, m, d)) + QLatin1Char(' ') +
                   QTime::fromMSecsSinceStartOfDay(int(whole % 86400000)).toString(QStringLiteral("HH:mm:ss"));
        }
        case pxfBCD: {
            char *value = nullptr;
            if (PX_get_data_bcd(m_doc, reinterpret_cast<unsigned char *>(data), field.px_fdc, &value) <= 0 || !value)
                return {};
            return takeString(value).replace(QLatin1Char('.'), QLatin1Char(','));
        }
        case pxfMemoBLOb:
        case pxfFmtMemoBLOb: {
            if (!m_blobOpen)
                return {};
            int mod = 0, size = 0;
            char *value = nullptr;
            if (PX_get_data_blob(m_doc, data, len, &mod, &size, &value) <= 0 || !value)
                return {};
            // Memos are kept in the table's code page; the library does not convert them.
            QString s = DecodeWin1252(QByteArray(value, size));
            m_doc->free(m_doc, value);
            return s;
        }
        default: return {};
        }
    }

    pxdoc_t *m_doc = nullptr;
    pxfield_t *m_fields = nullptr;
    QByteArray m_record;
    bool m_blobOpen = false;
};

// ---------------------------------------------------------------------------
// dBase

void quietDbfError(const char *)
{
}

// The character set of a dBase table by its language driver byte; "" for Windows-1252.
QByteArray dbfCodec(int ldid)
{
    switch (ldid) {
    case 0x01: return "IBM437";
    case 0x02: return "IBM850";
    case 0x64: return "IBM852";
    case 0x65: return "IBM866";
    case 0xC8: return "windows-1250";
    case 0xC9: return "windows-1251";
    default: return {};
    }
}

class DbaseTable : public SourceTable
{
public:
    ~DbaseTable() override
    {
        if (m_dbf)
            DBFClose(m_dbf);
    }

    bool open(const QString &path)
    {
        // The header is checked here: the library trusts its counts.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray h = file.read(32);
        if (h.size() < 32)
            return false;
        const auto *b = reinterpret_cast<const unsigned char *>(h.constData());
        const qint64 records = qint64(b[4]) | qint64(b[5]) << 8 | qint64(b[6]) << 16 | qint64(b[7]) << 24;
        const int headerSize = b[8] | b[9] << 8;
        const int recordSize = b[10] | b[11] << 8;
        if (headerSize < 33 || recordSize < 1 || b[2] < 1 || b[2] > 12 || b[3] < 1 || b[3] > 31)
            return false;
        if (file.size() < headerSize + records * recordSize)
            return false;
        const QByteArray codec = dbfCodec(b[29]);
        if (!codec.isEmpty())
            m_decoder = QStringDecoder(codec.constData());
        file.close();

        SAHooks hooks;
        SASetupDefaultHooks(&hooks);
        hooks.Error = quietDbfError;
        m_dbf = DBFOpenLL(QFile::encodeName(path).constData(), "rb", &hooks);
        if (!m_dbf || DBFGetFieldCount(m_dbf) <= 0)
            return false;
        for (int f = 0; f < DBFGetFieldCount(m_dbf); ++f) {
            int width = 0, decimals = 0;
            DBFGetFieldInfo(m_dbf, f, nullptr, &width, &decimals);
            m_types.append(DBFGetNativeFieldType(m_dbf, f));
            m_decimals.append(decimals);
        }
        return true;
    }

    int fieldCount() const override { return int(m_types.size()); }
    qint64 recordCount() const override { return DBFGetRecordCount(m_dbf); }

    bool read(qint64 i, QStringList *values, bool *deleted) override
    {
        values->clear();
        *deleted = DBFIsRecordDeleted(m_dbf, int(i));
        for (int f = 0; f < fieldCount(); ++f) {
            const char *raw = DBFReadStringAttribute(m_dbf, int(i), f);
            if (!raw)
                return false;
            values->append(valueText(f, raw));
        }
        return true;
    }

private:
    QString decode(const char *raw)
    {
        const QByteArray bytes(raw);
        if (m_decoder.isValid())
            return m_decoder.decode(bytes);
        return DecodeWin1252(bytes);
    }

    QString valueText(int f, const char *raw)
    {
        const QByteArray t = QByteArray(raw).trimmed();
        switch (m_types.at(f)) {
        case 'D': {
            if (t.isEmpty())
                return {};
            return dateText(QDate::fromString(QString::fromLatin1(t), QStringLiteral("yyyyMMdd")));
        }
        case 'L': {
            const char c = t.isEmpty() ? '?' : char(std::toupper(static_cast<unsigned char>(t.at(0))));
            if (c == 'T' || c == 'Y')
                return QStringLiteral("True");
            if (c == 'F' || c == 'N')
                return QStringLiteral("False");
            return {};
        }
        case 'N':
        case 'F': {
            bool ok = false;
            const double d = t.toDouble(&ok);
            return ok ? numberText(d, m_decimals.at(f)) : QString();
        }
        case 'M': return {}; // memos live in a file of their own that is not read
        default: return decode(raw);
        }
    }

    DBFHandle m_dbf = nullptr;
    QList<char> m_types;
    QList<int> m_decimals;
    QStringDecoder m_decoder;
};

// Walks the live records of a table: handler(values, index) returns false to
// stop. False when a record cannot be read.
template <class Handler> bool walk(SourceTable &t, Handler &&handler)
{
    QStringList values;
    for (qint64 i = 0; i < t.recordCount(); ++i) {
        bool deleted = false;
        if (!t.read(i, &values, &deleted))
            return false;
        if (deleted)
            continue;
        for (QString &v : values)
            v = Trimmed(v);
        if (!handler(values, i))
            break;
    }
    return true;
}

} // namespace

QString InvalidTableFormatText()
{
    return QStringLiteral("Ungültiges Datenbankformat!");
}

bool IsTableFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return suffix == QLatin1String("DB") || suffix == QLatin1String("DBF");
}

std::unique_ptr<SourceTable> OpenSourceTable(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    if (suffix == QLatin1String("DB")) {
        auto t = std::make_unique<ParadoxTable>();
        if (t->open(path))
            return t;
    } else if (suffix == QLatin1String("DBF")) {
        auto t = std::make_unique<DbaseTable>();
        if (t->open(path))
            return t;
    }
    return nullptr;
}

ImportOutcome ImportSourceTable(AddressTable &table, const QList<ImportField> &fields, const QString &path,
                                const QList<int> &columns, ImportProgress &progress)
{
    std::unique_ptr<SourceTable> source = OpenSourceTable(path);
    if (!source) {
        ImportOutcome failed;
        failed.failed = true;
        failed.error = InvalidTableFormatText();
        return failed;
    }
    ImportSink sink(table);
    if (!sink.isValid())
        return sink.outcome();
    QList<QPair<int, int>> mapped;
    for (qsizetype k = 0; k < fields.size(); ++k) {
        const int column = columns.value(k);
        const int f = sink.field(fields.at(k).name);
        if (column > 0 && f >= 0)
            mapped.append({f, column});
    }
    const qint64 count = source->recordCount();
    const bool ok = walk(*source, [&](const QStringList &values, qint64 i) {
        for (const auto &[f, column] : std::as_const(mapped))
            sink.setText(f, ColumnValue(values, column));
        sink.post(i + 1);
        progress.report(i, count);
        return sink.isValid();
    });
    if (!ok)
        sink.abandon(InvalidTableFormatText());
    else if (sink.isValid())
        sink.commit();
    return sink.outcome();
}

ImportPreview PreviewSourceTable(const QList<ImportField> &fields, const QString &path, const QList<int> &columns,
                                 int rows)
{
    ImportPreview preview;
    std::unique_ptr<SourceTable> source = OpenSourceTable(path);
    if (!source) {
        preview.error = InvalidTableFormatText();
        return preview;
    }
    if (rows <= 0)
        return preview;
    if (!walk(*source, [&](const QStringList &values, qint64) {
            QStringList row;
            for (qsizetype k = 0; k < fields.size(); ++k)
                row.append(ColumnValue(values, columns.value(k)));
            preview.rows.append(row);
            return preview.rows.size() < rows;
        }))
        preview.error = InvalidTableFormatText();
    return preview;
}

} // namespace vt
