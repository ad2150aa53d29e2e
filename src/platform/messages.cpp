#include "messages.h"
#include "service.h"
#include "text.h"

#include <cstdio>

namespace vt {

namespace {

// Without windows: the box goes to the error output and its default button answers.
class PrintedMessages final : public Messages
{
public:
    MsgButton show(MsgKind, const QString &text, const QList<MsgButton> &buttons, MsgButton defaultButton,
                   const QString &title) override
    {
        if (!title.isEmpty())
            std::fprintf(stderr, "%s: ", qPrintable(title));
        std::fprintf(stderr, "%s\n", qPrintable(CrToNewline(text)));
        if (defaultButton != MsgButton::None)
            return defaultButton;
        return buttons.isEmpty() ? MsgButton::Ok : buttons.first();
    }
};

PrintedMessages g_printed;
ServiceSlot<Messages> g_slot(&g_printed);

} // namespace

Messages &Messages::instance()
{
    return g_slot.get();
}

Messages *Messages::setInstance(Messages *m)
{
    return g_slot.replace(m);
}

void Messages::setDefault(Messages *m)
{
    g_slot.setDefault(m ? m : &g_printed);
}

void information(const QString &text)
{
    Messages::instance().show(MsgKind::Information, text, {MsgButton::Ok}, MsgButton::Ok, QString());
}

void warning(const QString &text)
{
    Messages::instance().show(MsgKind::Warning, text, {MsgButton::Ok}, MsgButton::Ok, QString());
}

void error(const QString &text)
{
    Messages::instance().show(MsgKind::Error, text, {MsgButton::Ok}, MsgButton::Ok, QString());
}

void plain(const QString &text)
{
    Messages::instance().show(MsgKind::Plain, text, {MsgButton::Ok}, MsgButton::Ok, QString());
}

bool question(const QString &text, MsgButton defaultButton, const QString &title)
{
    return Messages::instance().show(MsgKind::Question, text, {MsgButton::Yes, MsgButton::No}, defaultButton, title) ==
           MsgButton::Yes;
}

MsgButton questionYesNoAbort(const QString &text, MsgButton defaultButton)
{
    return Messages::instance().show(MsgKind::Question, text, {MsgButton::Yes, MsgButton::No, MsgButton::Abort},
                                     defaultButton, QString());
}

} // namespace vt
