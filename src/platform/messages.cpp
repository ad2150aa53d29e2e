#include "messages.h"
#include "text.h"

#include <QApplication>
#include <QMessageBox>

namespace vt {

namespace {

QMessageBox::StandardButton toStd(MsgButton b)
{
    switch (b) {
    case MsgButton::Ok: return QMessageBox::Ok;
    case MsgButton::Yes: return QMessageBox::Yes;
    case MsgButton::No: return QMessageBox::No;
    case MsgButton::Cancel: return QMessageBox::Cancel;
    case MsgButton::None: break;
    }
    return QMessageBox::NoButton;
}

MsgButton fromStd(int b)
{
    switch (b) {
    case QMessageBox::Ok: return MsgButton::Ok;
    case QMessageBox::Yes: return MsgButton::Yes;
    case QMessageBox::No: return MsgButton::No;
    case QMessageBox::Cancel: return MsgButton::Cancel;
    default: return MsgButton::None;
    }
}

class BoxMessages final : public Messages
{
public:
    MsgButton show(MsgKind kind, const QString &text, const QList<MsgButton> &buttons,
                   MsgButton defaultButton) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(QApplication::applicationDisplayName().isEmpty()
                               ? QStringLiteral("Vantrel")
                               : QApplication::applicationDisplayName());
        box.setText(CrToNewline(text));
        switch (kind) {
        case MsgKind::Information: box.setIcon(QMessageBox::Information); break;
        case MsgKind::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgKind::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgKind::Question: box.setIcon(QMessageBox::Question); break;
        case MsgKind::Plain: box.setIcon(QMessageBox::NoIcon); break;
        }
        QMessageBox::StandardButtons set;
        for (MsgButton b : buttons)
            set |= toStd(b);
        box.setStandardButtons(set);
        if (defaultButton != MsgButton::None)
            box.setDefaultButton(toStd(defaultButton));
        const int r = box.exec();
        const MsgButton pressed = fromStd(r);
        if (pressed == MsgButton::None) // closed by the window's close box or Escape
            return buttons.contains(MsgButton::Cancel) ? MsgButton::Cancel
                   : buttons.contains(MsgButton::No)   ? MsgButton::No
                                                       : MsgButton::Ok;
        return pressed;
    }
};

BoxMessages g_boxes;
Messages *g_current = nullptr;

} // namespace

Messages &Messages::instance()
{
    return g_current ? *g_current : static_cast<Messages &>(g_boxes);
}

Messages *Messages::setInstance(Messages *m)
{
    Messages *prev = g_current;
    g_current = m;
    return prev;
}

void information(const QString &text)
{
    Messages::instance().show(MsgKind::Information, text, {MsgButton::Ok}, MsgButton::Ok);
}

void warning(const QString &text)
{
    Messages::instance().show(MsgKind::Warning, text, {MsgButton::Ok}, MsgButton::Ok);
}

void error(const QString &text)
{
    Messages::instance().show(MsgKind::Error, text, {MsgButton::Ok}, MsgButton::Ok);
}

void plain(const QString &text)
{
    Messages::instance().show(MsgKind::Plain, text, {MsgButton::Ok}, MsgButton::Ok);
}

bool question(const QString &text, MsgButton defaultButton)
{
    return Messages::instance().show(MsgKind::Question, text, {MsgButton::Yes, MsgButton::No}, defaultButton)
           == MsgButton::Yes;
}

MsgButton questionYesNoCancel(const QString &text, MsgButton defaultButton)
{
    return Messages::instance().show(MsgKind::Question, text,
                                     {MsgButton::Yes, MsgButton::No, MsgButton::Cancel}, defaultButton);
}

} // namespace vt
