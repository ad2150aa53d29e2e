#pragma once
// Message boxes. Every box of the program goes through here, so that tests can
// record each box (kind, text, buttons) and answer it from a queue.
#include <QList>
#include <QString>

namespace vt {

enum class MsgKind { Information, Warning, Error, Question, Plain };
// None as an answer: the box was closed by its window's close box, without one.
enum class MsgButton { None, Ok, Yes, No, Cancel, Abort };

class Messages
{
public:
    virtual ~Messages() = default;
    // Shows one box and returns the button pressed, None when it was closed
    // without an answer. "\r" in the text is a line break. An empty title is the
    // program's name.
    virtual MsgButton show(MsgKind kind, const QString &text, const QList<MsgButton> &buttons, MsgButton defaultButton,
                           const QString &title) = 0;

    static Messages &instance();
    // Replaces the service (tests); returns the previous one. nullptr restores the default.
    static Messages *setInstance(Messages *m);
    // The service used when no test replaced it: without windows every box is
    // written to the error output and answered with its default button; the
    // widget library installs real boxes.
    static void setDefault(Messages *m);
};

// Shorthands in the words of the program's message kinds.
void information(const QString &text);
void warning(const QString &text);
void error(const QString &text);
void plain(const QString &text);
// Yes/No question; true for Yes. The default button is No unless said otherwise.
bool question(const QString &text, MsgButton defaultButton = MsgButton::No, const QString &title = QString());
// Yes/No/Abort question: the button, or None when the box was closed without an answer.
MsgButton questionYesNoAbort(const QString &text, MsgButton defaultButton = MsgButton::Abort);

} // namespace vt
