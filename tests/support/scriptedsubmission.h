#pragma once
// A mail server in a script, for the send-run tests: every message submitted
// gets the next reply of the script, from the event loop as the SMTP component
// answers; once the script has run out every message is accepted. Nothing leaves
// the process, and every message is kept.
#include "smtpsubmission.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class ScriptedSubmission : public vt::SmtpSubmission
{
public:
    struct Reply
    {
        vt::SmtpErrorClass errorClass = vt::SmtpErrorClass::None;
        QString text;
        bool held = false; // answered when the test calls release(), or failed by abort()
    };
    static Reply accepted() { return {}; }
    static Reply refused(vt::SmtpErrorClass c, const QString &text) { return {c, text, false}; }
    // The server takes its time: the message stays under way until release().
    static Reply held(const Reply &reply = accepted())
    {
        Reply r = reply;
        r.held = true;
        return r;
    }

    struct Message
    {
        QString sender;
        QStringList recipients;
        QByteArray data;
    };

    // Replies for the next messages, in order.
    void script(const QList<Reply> &replies) { m_script += replies; }
    // Answers the held message now.
    void release();
    bool isUnderWay() const { return m_underWay; }

    QList<Message> messages; // every message submitted, oldest first
    int quits = 0;
    int aborts = 0;

    void submit(const QString &sender, const QStringList &recipients, const QByteArray &message) override;
    void abort() override;
    void quit() override;

private:
    void answerLater(const vt::SubmissionResult &result);

    QList<Reply> m_script;
    bool m_underWay = false;
    quint64 m_message = 0; // counts messages, so that a late answer to one that was aborted is dropped
    vt::SubmissionResult m_heldResult;
};
