#include "csvreader.h"

#include "textfile.h"
#include "win1252.h"

#include <QFile>
#include <QStringDecoder>

#include <cstring>
#include <csv.h>
#include <deque>
#include <utility>

namespace vt {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;
// A quoted value still open after this many lines or bytes is taken for a
// quote that was never closed.
constexpr qsizetype kMaxOpenLines = 10000;
constexpr qsizetype kMaxOpenBytes = qsizetype(8) << 20;
// Bytes that never occur in UTF-8: they stand for a delimiter or quote that is
// not a single ASCII character, since the parser splits at single bytes.
constexpr char kDelimiterByte = char(0xFE);
constexpr char kQuoteByte = char(0xFF);

QString notTextError(const QString &path)
{
    return QStringLiteral("Die Datei \"%1\" ist keine Textdatei und kann nicht importiert werden.").arg(path);
}

int spaceIsBlank(unsigned char c)
{
    return c == ' ';
}
int spaceIsTab(unsigned char c)
{
    return c == '\t';
}
int spaceIsNothing(unsigned char)
{
    return 0;
}

// Reads bytes as UTF-8, one at a time (no overlong forms, no surrogates,
// nothing above U+10FFFF).
class Utf8Bytes
{
public:
    enum Step {
        Done,    // the byte is a character or ends one
        More,    // the byte begins or continues a sequence
        Broken,  // the sequence begun before the byte breaks off: its bytes are no UTF-8; take the byte again
        Foreign, // the byte begins no sequence
    };
    Step put(unsigned char c)
    {
        if (m_need > 0) {
            if ((c & 0xC0) != 0x80 || (m_got == 0 && (c < m_low || c > m_high))) {
                m_need = m_got = 0;
                return Broken;
            }
            ++m_got;
            if (--m_need > 0)
                return More;
            m_got = 0;
            return Done;
        }
        if (c < 0x80)
            return Done;
        m_low = 0x80;
        m_high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            m_need = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            m_need = 2;
            if (c == 0xE0)
                m_low = 0xA0;
            if (c == 0xED)
                m_high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            m_need = 3;
            if (c == 0xF0)
                m_low = 0x90;
            if (c == 0xF4)
                m_high = 0x8F;
        } else {
            return Foreign;
        }
        return More;
    }
    bool pending() const { return m_need > 0; }
    void reset() { m_need = m_got = 0; }

private:
    int m_need = 0, m_got = 0;
    unsigned char m_low = 0x80, m_high = 0xBF;
};

// Makes valid UTF-8 of UTF-8 with foreign bytes in it: each byte that is no
// UTF-8 becomes its Windows-1252 character. A sequence may continue in the
// next piece.
class Utf8Mender
{
public:
    void mend(QByteArrayView piece, QByteArray &out)
    {
        const auto *b = reinterpret_cast<const unsigned char *>(piece.data());
        const qsizetype size = piece.size();
        for (qsizetype i = 0; i < size;) {
            if (b[i] < 0x80 && !m_bytes.pending()) {
                qsizetype j = i + 1;
                while (j < size && b[j] < 0x80)
                    ++j;
                out.append(piece.data() + i, j - i);
                i = j;
                continue;
            }
            switch (m_bytes.put(b[i])) {
            case Utf8Bytes::Done:
                m_held.append(char(b[i++]));
                out += m_held;
                m_held.clear();
                break;
            case Utf8Bytes::More: m_held.append(char(b[i++])); break;
            case Utf8Bytes::Broken: giveForeign(out); break;
            case Utf8Bytes::Foreign:
                m_held.append(char(b[i++]));
                giveForeign(out);
                break;
            }
        }
    }
    // The end of the text: a sequence still open is foreign.
    void finish(QByteArray &out)
    {
        giveForeign(out);
        m_bytes.reset();
    }

private:
    void giveForeign(QByteArray &out)
    {
        if (!m_held.isEmpty())
            out += DecodeWin1252(m_held).toUtf8();
        m_held.clear();
    }

    Utf8Bytes m_bytes;
    QByteArray m_held;
};

bool isAsciiSingle(const QString &s)
{
    return s.size() == 1 && s.at(0).unicode() < 0x80;
}

} // namespace

TextSourceScan ScanTextSource(const QString &path, qint64 limit)
{
    TextSourceScan scan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        scan.error = CannotOpenFileText(path);
        return scan;
    }
    const QByteArray head = file.peek(3);
    bool bom = true;
    if (head.startsWith("\xEF\xBB\xBF")) {
        scan.encoding = TextSourceEncoding::Utf8;
        scan.bomSize = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        scan.encoding = TextSourceEncoding::Utf16LE;
        scan.bomSize = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        scan.encoding = TextSourceEncoding::Utf16BE;
        scan.bomSize = 2;
    } else {
        bom = false;
    }
    file.seek(scan.bomSize);
    const bool wide = scan.encoding == TextSourceEncoding::Utf16LE || scan.encoding == TextSourceEncoding::Utf16BE;
    const bool bigEndian = scan.encoding == TextSourceEncoding::Utf16BE;
    // Without a mark the first bytes decide: UTF-8 unless one of them is no
    // UTF-8. Bytes further on are only looked at to say where they are not.
    Utf8Bytes utf8;
    bool checking = !wide, foreignInSample = false;
    qint64 offset = 0, lastForeign = -1;
    auto foreign = [&] {
        if (!bom && offset < kEncodingSampleBytes) {
            foreignInSample = true;
            checking = false;
            return;
        }
        if (scan.lines != lastForeign) {
            lastForeign = scan.lines;
            if (scan.foreignLine < 0)
                scan.foreignLine = scan.lines;
            ++scan.foreignLines;
        }
    };
    bool afterCr = false, lineOpen = false;
    QByteArray odd; // a UTF-16 unit split between two reads
    qint64 left = limit < 0 ? file.size() : limit;
    while (!file.atEnd() && left > 0) {
        QByteArray chunk = file.read(std::min(kChunkBytes, left));
        left -= chunk.size();
        if (chunk.isEmpty()) {
            scan.error = CannotOpenFileText(path);
            return scan;
        }
        if (!wide) {
            if (std::memchr(chunk.constData(), 0, size_t(chunk.size()))) {
                scan.error = notTextError(path);
                return scan;
            }
            for (char ch : std::as_const(chunk)) {
                const auto c = static_cast<unsigned char>(ch);
                if (checking && (c >= 0x80 || utf8.pending())) {
                    Utf8Bytes::Step step = utf8.put(c);
                    if (step == Utf8Bytes::Broken) {
                        foreign();
                        step = utf8.put(c);
                    }
                    if (step == Utf8Bytes::Foreign)
                        foreign();
                }
                ++offset;
                if (c == '\n') {
                    if (!afterCr)
                        ++scan.lines;
                    afterCr = lineOpen = false;
                } else if (c == '\r') {
                    ++scan.lines;
                    afterCr = true;
                    lineOpen = false;
                } else {
                    afterCr = false;
                    lineOpen = true;
                }
            }
            continue;
        }
        chunk.prepend(odd);
        odd = chunk.size() % 2 ? chunk.right(1) : QByteArray();
        const auto *b = reinterpret_cast<const unsigned char *>(chunk.constData());
        for (qsizetype i = 0; i + 1 < chunk.size(); i += 2) {
            const unsigned u = bigEndian ? (b[i] << 8 | b[i + 1]) : (b[i + 1] << 8 | b[i]);
            if (u == 0) {
                scan.error = notTextError(path);
                return scan;
            }
            if (u == '\n') {
                if (!afterCr)
                    ++scan.lines;
                afterCr = lineOpen = false;
            } else if (u == '\r') {
                ++scan.lines;
                afterCr = true;
                lineOpen = false;
            } else {
                afterCr = false;
                lineOpen = true;
            }
        }
    }
    scan.complete = file.atEnd();
    // A sequence the file ends in the middle of (on its last line, which is
    // still open); one cut off by the limit may go on.
    if (checking && scan.complete && utf8.pending())
        foreign();
    if (lineOpen)
        ++scan.lines;
    if (!bom && foreignInSample) {
        scan.encoding = TextSourceEncoding::Win1252;
        scan.foreignLine = -1;
        scan.foreignLines = 0;
    }
    scan.ok = true;
    return scan;
}

QString ForeignBytesText(const QString &path, const TextSourceScan &scan)
{
    if (scan.encoding != TextSourceEncoding::Utf8 || scan.foreignLines == 0)
        return {};
    QString where = QStringLiteral("Zeile %1").arg(scan.foreignLine + 1);
    if (scan.foreignLines > 1)
        where += QStringLiteral(" (insgesamt %1 Zeilen)").arg(scan.foreignLines);
    return QStringLiteral(
               "Die Datei \"%1\" ist an ihrem Anfang UTF-8-kodiert und wird so gelesen, wie die Vorschau sie "
               "zeigt. In %2 stehen aber Zeichen, die nicht UTF-8-kodiert sind. Diese Zeichen werden als "
               "Windows-1252 (Westeuropäisch) gelesen, zum Beispiel ein Byte FC als \"ü\".\r\r"
               "Soll die Datei so importiert werden?")
        .arg(path, where);
}

QString DelimitedFormatError(const DelimitedFormat &format)
{
    if (format.delimiters.isEmpty())
        return QStringLiteral("Bitte geben Sie ein Trennzeichen an!");
    if (format.delimiters.contains(QLatin1Char('\r')) || format.delimiters.contains(QLatin1Char('\n')))
        return QStringLiteral("Ein Zeilenumbruch kann kein Trennzeichen sein!");
    if (format.quote.size() > 1)
        return QStringLiteral("Als Feld Delimiter ist nur ein Zeichen möglich!");
    if (!format.quote.isEmpty() && format.delimiters.contains(format.quote.at(0)))
        return QStringLiteral("Trennzeichen und Feld Delimiter müssen verschieden sein!");
    return {};
}

struct DelimitedTextReader::Parser
{
    csv_parser csv{};
    const DelimitedFormat &format;
    const RecordHandler &onRecord;
    const UnreadableHandler &onUnreadable;
    bool delimiterSubstituted = false, quoteSubstituted = false;
    QList<QByteArray> delimiterBytes; // UTF-8 of each delimiter character, when substituted
    QByteArray quoteBytes;
    QStringList values;
    qint64 recordStart = 0;
    qint64 currentLine = 0; // the line being fed
    bool stopped = false;
    // The lines of a record that is still open (inside a quoted value).
    std::deque<std::pair<qint64, QByteArray>> open;
    qsizetype openBytes = 0;

    Parser(const DelimitedFormat &f, const RecordHandler &r, const UnreadableHandler &u)
        : format(f), onRecord(r), onUnreadable(u)
    {
        delimiterSubstituted = !isAsciiSingle(format.delimiters);
        if (delimiterSubstituted)
            for (QChar c : format.delimiters)
                delimiterBytes.append(QString(c).toUtf8());
        quoteSubstituted = !format.quote.isEmpty() && !isAsciiSingle(format.quote);
        if (quoteSubstituted)
            quoteBytes = format.quote.toUtf8();
        start();
    }
    ~Parser() { csv_free(&csv); }

    void start()
    {
        csv_init(&csv, 0);
        csv_set_delim(&csv, delimiterSubstituted ? kDelimiterByte : format.delimiters.at(0).toLatin1());
        csv_set_quote(&csv, format.quote.isEmpty() || quoteSubstituted ? kQuoteByte : format.quote.at(0).toLatin1());
        // Blanks around a value belong to it when they separate values.
        if (format.delimiters.contains(QLatin1Char(' ')) && format.delimiters.contains(QLatin1Char('\t')))
            csv_set_space_func(&csv, spaceIsNothing);
        else if (format.delimiters.contains(QLatin1Char('\t')))
            csv_set_space_func(&csv, spaceIsBlank);
        else if (format.delimiters.contains(QLatin1Char(' ')))
            csv_set_space_func(&csv, spaceIsTab);
    }

    void restart()
    {
        csv_free(&csv);
        csv = csv_parser{};
        start();
        values.clear();
    }

    static void field(void *s, size_t n, void *data)
    {
        auto *self = static_cast<Parser *>(data);
        const char *p = static_cast<const char *>(s);
        if ((self->delimiterSubstituted || self->quoteSubstituted) && n > 0 &&
            (std::memchr(p, kDelimiterByte, n) || std::memchr(p, kQuoteByte, n))) {
            // A delimiter or quote inside a quoted value: back to the character.
            QByteArray bytes(p, qsizetype(n));
            if (self->delimiterSubstituted)
                bytes.replace(kDelimiterByte, self->delimiterBytes.first());
            if (self->quoteSubstituted)
                bytes.replace(kQuoteByte, self->quoteBytes);
            self->values.append(QString::fromUtf8(bytes));
            return;
        }
        self->values.append(QString::fromUtf8(p, qsizetype(n)));
    }

    static void row(int, void *data)
    {
        auto *self = static_cast<Parser *>(data);
        if (!self->stopped && !self->onRecord(self->values, self->recordStart, self->currentLine))
            self->stopped = true;
        self->values.clear();
    }

    bool inRecord() const { return csv.pstate != 0; }

    // One line with its line end.
    bool feed(qint64 index, QByteArrayView line)
    {
        QByteArray substituted;
        if (delimiterSubstituted || quoteSubstituted) {
            substituted = line.toByteArray();
            if (delimiterSubstituted)
                for (const QByteArray &d : std::as_const(delimiterBytes))
                    substituted.replace(d, QByteArrayView(&kDelimiterByte, 1));
            if (quoteSubstituted)
                substituted.replace(quoteBytes, QByteArrayView(&kQuoteByte, 1));
            line = substituted;
        }
        if (!inRecord())
            recordStart = index;
        currentLine = index;
        if (csv_parse(&csv, line.data(), size_t(line.size()), field, row, this) != size_t(line.size()))
            return false;
        if (!inRecord()) {
            open.clear();
            openBytes = 0;
            return true;
        }
        open.emplace_back(index, line.toByteArray());
        openBytes += line.size();
        if (qsizetype(open.size()) > kMaxOpenLines || openBytes > kMaxOpenBytes)
            return dropOpenRecord();
        return true;
    }

    // The open record's first line had a quote that never closes: it is
    // unreadable, and its other lines are read again on their own.
    bool dropOpenRecord()
    {
        std::deque<std::pair<qint64, QByteArray>> again;
        again.swap(open);
        openBytes = 0;
        if (onUnreadable && !again.empty())
            onUnreadable(again.front().first);
        if (!again.empty())
            again.pop_front();
        restart();
        // The lines are fed as they were stored (delimiters already substituted).
        const bool d = delimiterSubstituted, q = quoteSubstituted;
        delimiterSubstituted = quoteSubstituted = false;
        bool ok = true;
        for (const auto &[index, bytes] : again)
            if (!(ok = feed(index, bytes)))
                break;
        delimiterSubstituted = d;
        quoteSubstituted = q;
        return ok;
    }
};

DelimitedTextReader::DelimitedTextReader(const QString &path, const DelimitedFormat &format)
    : m_path(path), m_format(format)
{
}

DelimitedTextReader::~DelimitedTextReader() = default;

bool DelimitedTextReader::open(qint64 scanLimit)
{
    m_error = DelimitedFormatError(m_format);
    if (!m_error.isEmpty())
        return false;
    m_scan = ScanTextSource(m_path, scanLimit);
    m_error = m_scan.error;
    return m_scan.ok;
}

bool DelimitedTextReader::read(const RecordHandler &onRecord, const UnreadableHandler &onUnreadable)
{
    if (!m_scan.ok && !open())
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_scan.bomSize)) {
        m_error = CannotOpenFileText(m_path);
        return false;
    }
    Parser parser(m_format, onRecord, onUnreadable);
    QStringDecoder wide(m_scan.encoding == TextSourceEncoding::Utf16BE ? QStringDecoder::Utf16BE
                                                                       : QStringDecoder::Utf16LE);
    // Bytes that are no UTF-8 in a file read as UTF-8 are read as Windows-1252;
    // a file the scan found clean of them is taken as it is.
    const bool mend = m_scan.encoding == TextSourceEncoding::Utf8 && (!m_scan.complete || m_scan.foreignLines > 0);
    Utf8Mender mender;
    QByteArray carry;
    qint64 index = 0;
    bool atEnd = false;
    auto fail = [this] {
        m_error = QStringLiteral("Die Datei \"%1\" konnte nicht vollständig gelesen werden.").arg(m_path);
        return false;
    };
    while (!atEnd && !parser.stopped) {
        const QByteArray raw = file.read(kChunkBytes);
        atEnd = raw.isEmpty();
        if (atEnd && file.error() != QFileDevice::NoError)
            return fail();
        switch (m_scan.encoding) {
        case TextSourceEncoding::Utf8:
            if (!mend) {
                carry += raw;
                break;
            }
            mender.mend(raw, carry);
            if (atEnd)
                mender.finish(carry);
            break;
        case TextSourceEncoding::Win1252: carry += DecodeWin1252(raw).toUtf8(); break;
        case TextSourceEncoding::Utf16LE:
        case TextSourceEncoding::Utf16BE: carry += QString(wide.decode(raw)).toUtf8(); break;
        }
        qsizetype begin = 0;
        const qsizetype size = carry.size();
        const char *data = carry.constData();
        while (begin < size && !parser.stopped) {
            qsizetype i = begin;
            while (i < size && data[i] != '\n' && data[i] != '\r')
                ++i;
            if (i == size)
                break; // the rest of the line comes with the next read
            qsizetype end = i + 1;
            if (data[i] == '\r') {
                if (i + 1 == size && !atEnd)
                    break; // a line feed may follow
                if (i + 1 < size && data[i + 1] == '\n')
                    ++end;
            }
            if (!parser.feed(index++, QByteArrayView(data + begin, end - begin)))
                return fail();
            begin = end;
        }
        carry.remove(0, begin);
    }
    if (parser.stopped)
        return true;
    // A last line without a line end is ended here, so that only a quote that
    // never closes can leave a record open.
    if (!carry.isEmpty() && !parser.feed(index++, carry + '\n'))
        return fail();
    while (parser.inRecord() && !parser.stopped)
        if (!parser.dropOpenRecord())
            return fail();
    csv_fini(&parser.csv, Parser::field, Parser::row, &parser);
    return true;
}

} // namespace vt
