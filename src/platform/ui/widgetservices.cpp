#include "widgetservices.h"
#include "crashdialogs.h"
#include "filedialogs.h"
#include "messages.h"
#include "shell.h"
#include "text.h"
#include "waitwindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace vt {

namespace {

MessageOwner *g_owner = nullptr;

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
    MsgButton show(MsgKind kind, const QString &text, const QList<MsgButton> &buttons, MsgButton defaultButton) override
    {
        QMessageBox box(DialogParent());
        KeepOnTopOfTheProgram(&box);
        box.setWindowTitle(QApplication::applicationDisplayName().isEmpty() ? QStringLiteral("Vantrel")
                                                                            : QApplication::applicationDisplayName());
        // Texts carry values of records, files and servers: never markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(CrToNewline(text));
        // Lines that the text breaks itself stay whole: the label grows to the longest
        // one, up to half the screen (the box itself never grows past about 1000
        // pixels), rather than breaking each of them again.
        if (QLabel *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
            int widest = 0;
            for (const QString &line : box.text().split(QLatin1Char('\n')))
                widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
            const QScreen *screen = box.screen();
            const int limit = std::min(screen ? screen->availableGeometry().width() / 2 : 640, 860);
            label->setMinimumWidth(std::min(widest + 2, limit));
        }
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

class QtFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
    QString saveFile(QWidget *parent, const QString &caption, const QString &pathProposed,
                     const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, pathProposed, filter);
    }
    QStringList openFiles(QWidget *parent, const QString &caption, const QString &folder,
                          const QString &filter) override
    {
        return QFileDialog::getOpenFileNames(parent, caption, folder, filter);
    }
    QString saveFileUnconfirmed(QWidget *parent, const QString &caption, const QString &pathProposed,
                                const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, pathProposed, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    }
    QString folder(QWidget *parent, const QString &caption, const QString &folder) override
    {
        return QFileDialog::getExistingDirectory(parent, caption, folder);
    }
};

} // namespace

MessageOwner::MessageOwner(QWidget *window) : m_window(window), m_outer(g_owner)
{
    g_owner = this;
}

MessageOwner::~MessageOwner()
{
    g_owner = m_outer;
}

QWidget *MessageOwner::current()
{
    for (MessageOwner *o = g_owner; o; o = o->m_outer)
        if (o->m_window && o->m_window->window()->isVisible())
            return o->m_window->window();
    return nullptr;
}

QWidget *DialogParent(QWidget *owner)
{
    if (owner && owner->window()->isVisible())
        return owner->window();
    if (QWidget *w = MessageOwner::current())
        return w;
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

void KeepOnTopOfTheProgram(QWidget *dialog)
{
    bool onTop = false;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != dialog && w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            onTop = true;
    // A window of the program that stays on top would otherwise cover the box,
    // and a box nobody sees makes the program look frozen.
    if (onTop != dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

void InstallWidgetServices()
{
    static BoxMessages boxes;
    static QtFileDialogs dialogs;
    Messages::setDefault(&boxes);
    FileDialogs::setDefault(&dialogs);
    CrashDialogs::setDefault(WidgetCrashDialogs());
    WaitWindows::setDefault(WidgetWaitWindows());
}

} // namespace vt
