#include "sendrun.h"

#include "addresstable.h"
#include "clock.h"
#include "convert.h"
#include "datasettools.h"
#include "smtpsubmission.h"
#include "text.h"
#include "textfile.h"

#include <QMetaMethod>
#include <QScopeGuard>
#include <QVariant>

#include <cmath>

namespace vt {

namespace {

QString notSaved(const QString &idText, const QString &reason)
{
    return QStringLiteral("Der Datensatz %1 kann nicht gespeichert werden: %2").arg(idText, reason);
}

} // namespace

TableRecordValues::TableRecordValues(const AddressTable &table, const QStringList &names, const QList<QVariant> &record)
    : m_names(names)
{
    for (int i = 0; i < table.fieldCount() && i < record.size() && i < names.size(); ++i)
        m_values.insert(names.at(i), NaturalToText(table.field(i), record.at(i)));
}

bool LogAppender::append(const QString &text)
{
    if (!isOn())
        return true;
    if (!m_file.isOpen() && !m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QString lines;
    for (const QString &line : SplitLines(text))
        lines += line + QStringLiteral("\r\n");
    if (lines.isEmpty())
        lines = QStringLiteral("\r\n");
    // Written through at once: whatever happens to the process afterwards, the line is in the file.
    return m_file.write(EncodeText(lines, TextEncoding::Win1252)) >= 0 && m_file.flush();
}

SendRun::SendRun(const Config &config, SmtpSubmission *submission, QObject *parent)
    : QObject(parent), m_config(config), m_submission(submission),
      m_fieldNames(config.table ? config.table->fieldNames() : QStringList()),
      m_personalizer(m_fieldNames, config.salutationTable), m_sentLog(config.sentLog),
      m_transactionLog(config.transactionLog)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &SendRun::nextRecord);
    m_abortGuard.setSingleShot(true);
    connect(&m_abortGuard, &QTimer::timeout, this, [this] {
        if (m_sending)
            m_submission->abort();
    });
}

SendRun::~SendRun()
{
    if (isRunning()) {
        m_stop = true;
        finish(Outcome::Aborted);
    }
}

bool SendRun::start()
{
    AddressTable *table = m_config.table;
    auto refuse = [this](const QString &text) {
        m_error = text;
        return false;
    };
    if (m_started)
        return refuse(QStringLiteral("Der Versand läuft bereits."));
    if (!table || !table->isOpen())
        return refuse(QStringLiteral("Zuerst Datenbank öffnen!"));
    m_selectedField = table->fieldIndex(QStringLiteral("Selected"));
    m_invalidField = table->fieldIndex(QStringLiteral("Invalid"));
    m_lastMailField = table->fieldIndex(QStringLiteral("LetztesMail"));
    m_mailField = FindMailField(table);
    m_idField = table->fieldIndex(QStringLiteral("ID"));
    const QStringList needed = {QStringLiteral("Selected"), QStringLiteral("Invalid"), QStringLiteral("LetztesMail")};
    for (const QString &name : needed)
        if (table->fieldIndex(name) < 0)
            return refuse(QStringLiteral("Die Tabelle hat kein Feld \"%1\"!").arg(name));
    const QStringList missing = m_personalizer.missingRequiredFields();
    if (!missing.isEmpty())
        return refuse(QStringLiteral("Die Tabelle hat kein Feld \"%1\"!").arg(missing.first()));
    bool readable = false;
    SalutationTable::fromFile(m_config.salutationTable, &readable);
    if (!readable)
        return refuse(CannotOpenFileText(m_config.salutationTable));

    // The run's own message parts, read once: the text mail's attachment is encoded
    // once and goes with every message.
    m_attachments.clear();
    if (m_config.mode == Mode::Text && !m_config.attachmentPath.isEmpty()) {
        QString error;
        const MimeAttachment attachment = MimeAttachment::fromFile(m_config.attachmentPath, &error);
        if (attachment.isNull())
            return refuse(error);
        m_attachments.append(attachment);
    }
    if (m_config.mode == Mode::Html) {
        m_html = std::make_unique<HtmlMailBuilder>();
        QString error;
        if (!m_html->load(m_config.htmlMailPath, &error))
            return refuse(error);
        // A file added in the window goes with every message, as in a text run.
        if (!m_config.attachmentPath.isEmpty() && !m_html->addAttachment(m_config.attachmentPath, &error))
            return refuse(error);
        m_config.html.charsetIndex = m_config.charsetIndex;
        m_config.html.priorityIndex = m_config.priorityIndex;
        m_config.html.senderAddress = m_config.senderAddress;
        m_config.html.senderName = m_config.senderName;
    }

    // What every text message of the run shares.
    m_textMail = {};
    m_textMail.fromAddress = m_config.senderAddress;
    m_textMail.fromName = m_config.senderName;
    m_textMail.priority = SmtpClient::priorityOfChoice(m_config.priorityIndex);
    m_textMail.mailer = QStringLiteral("XMailer");
    m_textMail.charsetIndex = m_config.charsetIndex;

    m_ids = table->ids(Filter::equals(QStringLiteral("Selected"), QVariant(true)), table->indexName());
    m_started = true;
    m_outcome = Outcome::Running;
    enterRunJournal();
    // Handled from the event loop, not inside the socket's own signal: the caller's
    // decision on a failure may take a loop of its own, during which the socket may go away.
    m_submissionConnection =
        connect(m_submission, &SmtpSubmission::submitted, this, &SendRun::onSubmitted, Qt::QueuedConnection);
    scheduleNext();
    return true;
}

void SendRun::stop()
{
    if (!isRunning())
        return;
    m_stop = true;
    if (m_awaitingDecision) {
        m_endedByDecision = m_mayGoOn;
        return finish(Outcome::ConnectionError, m_decisionError);
    }
    if (m_sending) {
        m_abortGuard.start(kAbortGraceMs);
        return;
    }
    finish(Outcome::Aborted);
}

void SendRun::resume()
{
    if (!m_awaitingDecision || !m_mayGoOn || !isRunning())
        return;
    m_awaitingDecision = false;
    if (m_refusalDecision) {
        m_refusalDecision = false;
        m_refusalsAccepted.append(m_lastRefusal);
        return recordDone(Result::Failed);
    }
    recordDone(Result::Unchanged);
}

void SendRun::scheduleNext()
{
    // Between two records the event loop runs: the window repaints, "Abbrechen"
    // and the main window answer.
    if (m_config.delayMs > 0 && m_index > 0 && m_index < m_ids.size()) {
        m_wait.start(m_config.delayMs);
        emit pauseStarted(m_config.delayMs);
    } else if (m_afterReply) {
        // The server's reply came through a pass of the event loop of its own: the
        // next message goes from it, one pass sooner. Only once, so a row of records
        // that fail without a server never piles up calls.
        m_afterReply = false;
        nextRecord();
    } else {
        QMetaObject::invokeMethod(this, &SendRun::nextRecord, Qt::QueuedConnection);
    }
}

void SendRun::nextRecord()
{
    if (!isRunning())
        return;
    if (m_stop)
        return finish(Outcome::Aborted);
    AddressTable *table = m_config.table;
    if (!table->isOpen())
        return finish(Outcome::LocalError, QStringLiteral("Die Tabelle ist nicht geöffnet."));
    while (m_index < m_ids.size()) {
        const qint64 id = m_ids.at(m_index++);
        const std::optional<QList<QVariant>> record = table->readRecord(id);
        // Deleted or unmarked since the run started: not this run's record any more.
        if (!record || record->value(m_selectedField).toBool() != true ||
            record->value(m_selectedField).typeId() != QMetaType::Bool) {
            ++m_skipped;
            continue;
        }
        return handleRecord(id, *record);
    }
    finish(Outcome::Completed);
}

QString SendRun::fieldText(const QList<QVariant> &record, int field) const
{
    if (field < 0 || field >= record.size())
        return {};
    return NaturalToText(m_config.table->field(field), record.at(field));
}

void SendRun::handleRecord(qint64 id, const QList<QVariant> &record)
{
    const bool html = m_config.mode == Mode::Html;
    m_current = {};
    m_current.id = id;
    m_current.idText = m_idField >= 0 ? fieldText(record, m_idField) : QString::number(id);
    m_current.storedMail = fieldText(record, m_mailField);
    bool sendable = false;
    m_current.address = recipientAddress(record, m_current.storedMail, &sendable);

    if (!AppendTransactionLog(QStringLiteral("--- START MAIL --- From: ") + m_config.senderAddress +
                              QStringLiteral("  To: ") + m_current.address))
        return;
    if (!sendable)
        return recordDone(Result::Failed);

    QByteArray message;
    qsizetype characters = 0;
    const Prepared *p = m_prepared ? &*m_prepared : nullptr;
    if (p && p->id == id && p->address == m_current.address && p->record == record && p->day == Clock::today() &&
        p->salutations == m_personalizer.salutationReading()) {
        message = p->message;
        characters = p->characters;
    } else {
        QString error;
        if (!compose(record, m_current.address, &message, &characters, &error))
            return finish(Outcome::LocalError, error);
    }
    m_prepared.reset();
    if (html)
        m_trafficKB = qMax(1, int(std::lround(message.size() / 1024.0)));
    else
        m_trafficKB = qMax(1, int(std::lround((m_trafficKB + characters) / 1024.0)));
    emit trafficChanged(m_trafficKB);
    m_sending = true;
    const std::optional<QList<QVariant>> next = announceNext();
    m_submission->submit(m_config.senderAddress, {m_current.address}, message);
    // The next message is composed while this one is with the server.
    if (next && m_sending)
        prepare(m_ids.at(m_index), *next);
}

bool SendRun::compose(const QList<QVariant> &record, const QString &address, QByteArray *message, qsizetype *characters,
                      QString *error)
{
    const TableRecordValues values(*m_config.table, m_fieldNames, record);
    *characters = 0;
    if (m_config.mode == Mode::Html) {
        PlaceholderValues v;
        if (!m_personalizer.values(values, v, error))
            return false;
        *message = m_html->build(v, m_config.subject, address, m_config.html);
        return true;
    }
    QString subject = m_config.subject;
    QStringList body = m_config.body;
    if (!m_personalizer.PersonalizeTextMail(values, subject, body, error))
        return false;
    m_textMail.subject = subject.isEmpty() ? QStringLiteral("Kein Betreff") : subject;
    m_textMail.recipients = {{address, address, RecipientKind::To}};
    QString text;
    for (const QString &line : std::as_const(body)) {
        text += line + QStringLiteral("\r\n");
        *characters += line.size();
    }
    m_textMail.body = text;
    *message = ComposeTextMail(m_textMail, m_attachments);
    return true;
}

void SendRun::prepare(qint64 id, const QList<QVariant> &record)
{
    Prepared p;
    p.id = id;
    p.record = record;
    p.day = Clock::today();
    p.salutations = m_personalizer.salutationReading();
    bool sendable = false;
    p.address = recipientAddress(record, fieldText(record, m_mailField), &sendable);
    // A failure is met again, and reported, when the record's turn comes.
    if (!sendable || p.salutations == 0 || !compose(record, p.address, &p.message, &p.characters, nullptr))
        return;
    m_prepared = std::move(p);
}

QString SendRun::recipientAddress(const QList<QVariant> &record, const QString &storedMail, bool *sendable) const
{
    const bool html = m_config.mode == Mode::Html;
    QString address = Trimmed(storedMail);
    if (html)
        address.remove(QChar(0xFF));
    *sendable = IsValidEmailAddress(address) && (html || !record.value(m_invalidField).toBool());
    return address;
}

std::optional<QList<QVariant>> SendRun::announceNext()
{
    // The next record as it stands now: should it still be marked and sendable when its
    // turn comes, its envelope can go with this message's end. It is read again then,
    // and whatever it holds at that time decides.
    if (m_config.delayMs > 0 || m_index >= m_ids.size())
        return std::nullopt;
    std::optional<QList<QVariant>> record = m_config.table->readRecord(m_ids.at(m_index));
    if (!record || record->value(m_selectedField).typeId() != QMetaType::Bool ||
        !record->value(m_selectedField).toBool())
        return std::nullopt;
    bool sendable = false;
    const QString address = recipientAddress(*record, fieldText(*record, m_mailField), &sendable);
    if (!sendable)
        return std::nullopt;
    m_submission->announceNext(m_config.senderAddress, {address});
    return record;
}

void SendRun::onSubmitted(const SubmissionResult &result)
{
    if (!m_sending)
        return;
    m_sending = false;
    m_abortGuard.stop();
    m_afterReply = true;
    const auto after = qScopeGuard([this] { m_afterReply = false; });
    if (result.accepted()) {
        m_refusalsInARow = 0;
        return recordDone(Result::Sent);
    }
    QString error = result.text;
    const qsizetype nul = error.indexOf(QChar(0));
    if (nul >= 0)
        error.truncate(nul);
    if (!AppendTransactionLog(error))
        return;
    if (result.errorClass == SmtpErrorClass::Recipient)
        return recipientRefused(error);
    if (result.errorClass == SmtpErrorClass::Local)
        return finish(Outcome::LocalError, error);
    // The server or the connection failed, not the recipient: the record stays as it was.
    if (m_stop)
        return finish(Outcome::Aborted);
    if (m_config.ignoreConnectionProblems)
        return recordDone(Result::Unchanged);
    // The caller hears of it. A text run without SSL then waits for resume() or
    // stop(); every other run ends here, and so does one with nobody to decide.
    m_awaitingDecision = true;
    m_decisionError = error;
    m_mayGoOn = m_config.mode == Mode::Text && !m_config.sslActive &&
                isSignalConnected(QMetaMethod::fromSignal(&SendRun::connectionFailed));
    emit connectionFailed(error, m_mayGoOn);
    if (!m_mayGoOn)
        stop();
}

void SendRun::recipientRefused(const QString &error)
{
    // Replies that differ only in the address they name are the same reply.
    QString reply = error;
    if (!m_current.address.isEmpty())
        reply.replace(m_current.address, QString(), Qt::CaseInsensitive);
    if (m_refusalsInARow > 0 && reply == m_lastRefusal) {
        ++m_refusalsInARow;
    } else {
        m_lastRefusal = reply;
        m_refusalsInARow = 1;
    }
    if (m_refusalsInARow < kRefusalsInARow || m_refusalsAccepted.contains(reply))
        return recordDone(Result::Failed);
    // A whole list refused the same way is the server's or the account's trouble
    // far more often than the addresses': nothing more is marked unasked.
    m_awaitingDecision = true;
    m_refusalDecision = true;
    m_decisionError = error;
    m_mayGoOn = true;
    if (!isSignalConnected(QMetaMethod::fromSignal(&SendRun::recipientsRefusedInARow))) {
        m_mayGoOn = false;
        return stop();
    }
    emit recipientsRefusedInARow(error, m_refusalsInARow);
}

void SendRun::recordDone(Result result)
{
    AddressTable *table = m_config.table;
    QString failedLine;
    if (result == Result::Sent) {
        const bool saved = table->updateFields(m_current.id, {{QStringLiteral("Selected"), QVariant(false)},
                                                              {QStringLiteral("Invalid"), QVariant(false)},
                                                              {QStringLiteral("LetztesMail"), Clock::today()}});
        if (saved)
            emit recordCommitted(++m_committed);
        // The message has gone either way: the sent log lists it.
        if (!m_sentLog.append(m_current.address))
            return finish(Outcome::LocalError, CannotWriteFileText(m_sentLog.fileName()));
        if (!saved)
            return finish(Outcome::LocalError, notSaved(m_current.idText, table->lastError()));
        ++m_sent;
    } else if (result == Result::Failed && !MarkRecordInvalid(&failedLine)) {
        return;
    }
    if (!AppendTransactionLog(QStringLiteral("--- END MAIL ---")) || !AppendTransactionLog(QStringLiteral(" ")))
        return;
    if (result == Result::Sent)
        emit recordSent(m_current.id, m_current.address);
    else if (result == Result::Failed)
        emit recordFailed(m_current.id, failedLine);
    // A receiver of the signals may have stopped the run.
    if (!isRunning())
        return;
    if (m_stop)
        return finish(Outcome::Aborted);
    if (m_index >= m_ids.size())
        return finish(Outcome::Completed);
    scheduleNext();
}

bool SendRun::MarkRecordInvalid(QString *failedLine)
{
    AddressTable *table = m_config.table;
    *failedLine = m_current.idText + QStringLiteral(": ") + m_current.storedMail;
    if (!table->updateFields(m_current.id, {{QStringLiteral("Selected"), QVariant(false)},
                                            {QStringLiteral("LetztesMail"), QVariant()},
                                            {QStringLiteral("Invalid"), QVariant(true)}})) {
        finish(Outcome::LocalError, notSaved(m_current.idText, table->lastError()));
        return false;
    }
    ++m_failed;
    emit recordCommitted(++m_committed);
    return true;
}

bool SendRun::AppendTransactionLog(const QString &line)
{
    if (m_transactionLog.append(line))
        return true;
    finish(Outcome::LocalError, CannotWriteFileText(m_transactionLog.fileName()));
    return false;
}

void SendRun::finish(Outcome outcome, const QString &error)
{
    if (m_outcome != Outcome::Running)
        return;
    m_outcome = outcome;
    m_error = error;
    m_awaitingDecision = false;
    m_refusalDecision = false;
    m_wait.stop();
    m_abortGuard.stop();
    disconnect(m_submissionConnection);
    if (m_sending) {
        m_sending = false;
        m_submission->abort();
    }
    m_submission->quit();
    m_attachments.clear();
    m_prepared.reset();
    leaveRunJournal();
    m_sentLog.close();
    m_transactionLog.close();
    emit finished(outcome);
}

void SendRun::enterRunJournal()
{
    m_journal = std::make_unique<RunJournal>(*m_config.table);
}

void SendRun::leaveRunJournal()
{
    m_journal.reset();
}

} // namespace vt
