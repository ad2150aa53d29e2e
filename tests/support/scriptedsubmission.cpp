#include "scriptedsubmission.h"

#include <QMetaObject>

void ScriptedSubmission::submit(const QString &sender, const QStringList &recipients, const QByteArray &message)
{
    messages.append({sender, recipients, message});
    ++m_message;
    m_underWay = true;
    const Reply reply = m_script.isEmpty() ? accepted() : m_script.takeFirst();
    const vt::SubmissionResult result{reply.errorClass, reply.text};
    if (reply.held)
        m_heldResult = result;
    else
        answerLater(result);
}

void ScriptedSubmission::answerLater(const vt::SubmissionResult &result)
{
    QMetaObject::invokeMethod(
        this,
        [this, result, message = m_message] {
            if (message != m_message || !m_underWay)
                return;
            m_underWay = false;
            emit submitted(result);
        },
        Qt::QueuedConnection);
}

void ScriptedSubmission::release()
{
    answerLater(m_heldResult);
}

void ScriptedSubmission::abort()
{
    ++aborts;
    if (!m_underWay)
        return;
    // As the component does: the message under way fails at once.
    m_underWay = false;
    emit submitted({vt::SmtpErrorClass::Connection, vt::kConnectionErrorText + QStringLiteral(": aborted")});
}

void ScriptedSubmission::quit()
{
    ++quits;
}
