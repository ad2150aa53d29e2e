#pragma once
// Stands in for the message boxes during a test: keeps every box and answers
// questions from a queue. A box the test did not take, or a question without a
// queued answer, fails the test when the recorder goes out of scope.
#include "messages.h"

#include <QList>
#include <QString>

class MessageRecorder : public vt::Messages
{
public:
    struct Box
    {
        vt::MsgKind kind;
        QString text; // with "\r" already turned into "\n"
        QList<vt::MsgButton> buttons;
        vt::MsgButton defaultButton = vt::MsgButton::None;
        QString title; // empty: the program's name
    };

    MessageRecorder();
    ~MessageRecorder() override;

    // Queues the answer for the next question (or any box with a choice); None
    // closes the box without an answer.
    void answer(vt::MsgButton b) { m_answers.append(b); }

    // Boxes shown and not yet taken, oldest first.
    const QList<Box> &boxes() const { return m_boxes; }
    bool isEmpty() const { return m_boxes.isEmpty(); }
    // Removes and returns the oldest box (a box of kind Plain with an empty text when none).
    Box take();
    // Takes the oldest box and tells whether it has this kind and exact text.
    bool takeExpected(vt::MsgKind kind, const QString &text);
    // Takes all boxes and returns their texts.
    QStringList takeTexts();
    // Forget everything shown so far.
    void clear() { m_boxes.clear(); }

    vt::MsgButton show(vt::MsgKind kind, const QString &text, const QList<vt::MsgButton> &buttons,
                       vt::MsgButton defaultButton, const QString &title) override;

private:
    QList<Box> m_boxes;
    QList<vt::MsgButton> m_answers;
    QStringList m_unanswered;
    vt::Messages *m_previous = nullptr;
};

const char *toString(vt::MsgKind k);
