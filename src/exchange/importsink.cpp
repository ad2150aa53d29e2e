#include "importsink.h"

#include "fieldtypes.h"

#include <QStringList>

namespace vt {

void ImportOutcome::skip(qint64 line, const QString &reason)
{
    ++skipped;
    if (firstSkipReason.isEmpty())
        firstSkipReason = reason;
    if (line > 0 && skippedLines.size() < kListedLines)
        skippedLines.append(line);
}

void ImportOutcome::skipNamed(const QString &name, const QString &reason)
{
    ++skipped;
    if (firstSkipReason.isEmpty())
        firstSkipReason = reason;
    if (skippedNames.size() < kListedLines)
        skippedNames.append(name);
}

void ImportOutcome::spansLines(qint64 first, qint64 last)
{
    ++multiLine;
    if (multiLineSpans.size() < kListedLines)
        multiLineSpans.append({first, last});
}

namespace {

QString lineList(const QList<qint64> &lines, qint64 count)
{
    if (lines.isEmpty())
        return {};
    QStringList numbers;
    for (qint64 l : lines)
        numbers.append(QString::number(l));
    QString text = (lines.size() == 1 ? QStringLiteral(" (Zeile ") : QStringLiteral(" (Zeilen ")) +
                   numbers.join(QStringLiteral(", "));
    if (count > lines.size())
        text += QStringLiteral(", ...");
    return text + QLatin1Char(')');
}

} // namespace

QString ImportNotesText(const ImportOutcome &o)
{
    QStringList notes;
    if (o.skipped > 0 && !o.skippedNames.isEmpty()) {
        QString s = o.skipped == 1
                        ? QStringLiteral("1 Datei wurde übersprungen, weil sie nicht gelesen werden konnte: ")
                        : QStringLiteral("%1 Dateien wurden übersprungen, weil sie nicht gelesen werden konnten: ")
                              .arg(o.skipped);
        s += o.skippedNames.join(QStringLiteral(", "));
        if (o.skipped > o.skippedNames.size())
            s += QStringLiteral(", ...");
        s += QLatin1Char('.');
        if (!o.firstSkipReason.isEmpty())
            s += QLatin1Char('\r') + o.firstSkipReason;
        notes.append(s);
    } else if (o.skipped > 0) {
        QString s = o.skipped == 1 ? QStringLiteral("1 Datensatz konnte nicht gelesen werden")
                                   : QStringLiteral("%1 Datensätze konnten nicht gelesen werden").arg(o.skipped);
        s += lineList(o.skippedLines, o.skipped) + QLatin1Char('.');
        if (!o.firstSkipReason.isEmpty())
            s += QLatin1Char('\r') + o.firstSkipReason;
        notes.append(s);
    }
    if (o.multiLine > 0)
        notes.append(MultiLineText(o.multiLine, o.multiLineSpans, false));
    return notes.join(QLatin1Char('\r'));
}

QString MultiLineText(qint64 count, const QList<QPair<qint64, qint64>> &spans, bool inPreview)
{
    if (count <= 0)
        return {};
    QStringList where;
    for (const auto &[first, last] : spans)
        where.append(QStringLiteral("%1 bis %2").arg(first).arg(last));
    if (count > spans.size())
        where.append(QStringLiteral("..."));
    const QString lines =
        where.isEmpty() ? QString() : QStringLiteral(" (Zeilen ") + where.join(QStringLiteral(", ")) + QLatin1Char(')');
    QString text = count == 1 ? QStringLiteral("1 Datensatz geht über mehrere Zeilen der Datei%1, weil ein Wert in "
                                               "Anführungszeichen Zeilenumbrüche enthält.")
                                    .arg(lines)
                              : QStringLiteral("%1 Datensätze gehen über mehrere Zeilen der Datei%2, weil Werte in "
                                               "Anführungszeichen Zeilenumbrüche enthalten.")
                                    .arg(count)
                                    .arg(lines);
    if (inPreview)
        text = QStringLiteral("In der Vorschau: ") + text +
               QStringLiteral(" Fehlt dort ein schließendes Anführungszeichen, werden mehrere Zeilen zu einem "
                              "Datensatz.");
    else
        text += QStringLiteral(" Fehlt dort ein schließendes Anführungszeichen, sind mehrere Zeilen zu einem "
                               "Datensatz geworden: bitte prüfen Sie diese Datensätze.");
    return text;
}

ImportSink::ImportSink(AddressTable &table) : m_table(table)
{
    if (!table.isOpen()) {
        m_outcome.failed = true;
        m_outcome.error = QStringLiteral("Zuerst Datenbank öffnen!");
        return;
    }
    m_appender = std::make_unique<TableAppender>(table);
    if (!m_appender->isValid()) {
        m_outcome.failed = true;
        m_outcome.error = m_appender->lastError();
        m_appender.reset();
        return;
    }
    m_open = true;
    m_texts = QList<QString>(table.fieldCount());
    m_set = QList<bool>(table.fieldCount(), false);
    m_selected = table.fieldIndex(QStringLiteral("Selected"));
    m_invalid = table.fieldIndex(QStringLiteral("Invalid"));
}

ImportSink::~ImportSink() = default;

bool ImportSink::isValid() const
{
    return m_open;
}

QString ImportSink::error() const
{
    return m_outcome.error;
}

int ImportSink::field(const QString &name) const
{
    return m_table.fieldIndex(name);
}

void ImportSink::setText(int field, const QString &text)
{
    if (!m_open || field < 0 || field >= m_texts.size())
        return;
    if (!m_set[field]) {
        m_set[field] = true;
        m_touched.append(field);
    }
    m_texts[field] = text;
}

bool ImportSink::post(qint64 line, const QString &name)
{
    if (!m_open)
        return false;
    // The record's values are checked before any of them reaches the appender,
    // so a refused row leaves nothing behind for the next one.
    QString refusal;
    for (int f : std::as_const(m_touched)) {
        const FieldDef &def = m_table.field(f);
        const QString &text = m_texts.at(f);
        if (!IsTextType(def.type)) {
            QVariant stored;
            QString why;
            if (!TextToStored(def, text, &stored, &why)) {
                refusal = QStringLiteral("%1 (Feld \"%2\")").arg(why, def.name);
                break;
            }
        }
    }
    bool ok = refusal.isEmpty();
    bool handedOver = false;
    if (ok) {
        handedOver = true;
        if (m_selected >= 0)
            m_appender->setValue(m_selected, true);
        if (m_invalid >= 0)
            m_appender->setValue(m_invalid, false);
        for (int f : std::as_const(m_touched))
            if (f != m_selected && f != m_invalid && !m_appender->setText(f, m_texts.at(f))) {
                ok = false;
                refusal = m_appender->lastError();
                break;
            }
    }
    if (!ok && handedOver) {
        // Values handed over already would stay for the next record.
        for (int f : std::as_const(m_touched))
            m_appender->setValue(f, QVariant());
        if (m_selected >= 0)
            m_appender->setValue(m_selected, QVariant());
        if (m_invalid >= 0)
            m_appender->setValue(m_invalid, QVariant());
    }
    for (int f : std::as_const(m_touched)) {
        m_set[f] = false;
        m_texts[f].clear();
    }
    m_touched.clear();
    auto skipped = [&](const QString &why) {
        if (name.isEmpty())
            m_outcome.skip(line, why);
        else
            m_outcome.skipNamed(name, why);
        return false;
    };
    if (!ok)
        return skipped(refusal);
    if (!m_appender->append()) {
        if (!m_appender->isValid() || tableFailed()) {
            abandon(m_appender->lastError());
            return false;
        }
        return skipped(m_appender->lastError());
    }
    ++m_outcome.imported;
    return true;
}

bool ImportSink::tableFailed() const
{
    // A record the table refuses (a key it holds already, a required field left
    // empty) is skipped; anything else (a full disk, a damaged or locked file)
    // ends the import.
    return !m_appender->recordRefused();
}

bool ImportSink::commit()
{
    if (!m_open)
        return false;
    m_open = false;
    if (!m_appender->commit()) {
        m_outcome.failed = true;
        m_outcome.error = m_appender->lastError();
        m_outcome.imported = 0;
        m_appender.reset();
        return false;
    }
    m_appender.reset();
    return true;
}

void ImportSink::abandon(const QString &error)
{
    m_outcome.failed = true;
    m_outcome.error = error;
    m_outcome.imported = 0;
    m_open = false;
    m_appender.reset(); // rolls back
}

void ImportProgress::report(qint64 index, qint64 count)
{
    if (!m_show)
        return;
    if (m_since.isValid() && m_since.elapsed() < 100)
        return;
    m_since.start();
    m_show(text(index, count));
}

void ImportProgress::clear()
{
    m_since.invalidate();
    if (m_show)
        m_show(QString());
}

QString ImportProgress::text(qint64 index, qint64 count)
{
    return QStringLiteral("Import: %1 von %2").arg(index).arg(count);
}

} // namespace vt
