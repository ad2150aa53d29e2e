#include "widgetservices.h"
#include "crashdialogs.h"
#include "filedialogs.h"
#include "messages.h"
#include "shell.h"
#include "text.h"
#include "waitwindow.h"

#include <QAbstractButton>
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
    case MsgButton::Abort: return QMessageBox::Abort;
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
    case QMessageBox::Abort: return MsgButton::Abort;
    default: return MsgButton::None;
    }
}

// Notes whether a box was closed by its window's close box rather than answered
// by a button (Escape presses the box's escape button).
class CloseWatcher final : public QObject
{
public:
    explicit CloseWatcher(QMessageBox *box)
    {
        box->installEventFilter(this);
        connect(box, &QMessageBox::buttonClicked, this, [this] { closed = false; });
    }
    bool closed = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            closed = true;
        return false;
    }
};

class BoxMessages final : public Messages
{
public:
    MsgButton show(MsgKind kind, const QString &text, const QList<MsgButton> &buttons, MsgButton defaultButton,
                   const QString &title) override
    {
        QMessageBox box;
        PrepareOverTheProgram(&box);
        const QString program = QApplication::applicationDisplayName().isEmpty()
                                    ? QStringLiteral("Vantrel")
                                    : QApplication::applicationDisplayName();
        box.setWindowTitle(title.isEmpty() ? program : title);
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
        const CloseWatcher watcher(&box);
        const int r = box.exec();
        if (watcher.closed)
            return MsgButton::None;
        return fromStd(r);
    }
};

// Qt's file dialogs, made here rather than through their static shorthands so
// that they come up over the window that asks and above a window that stays on top.
class QtFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) override
    {
        return run(parent, caption, folder, filter, QFileDialog::ExistingFile, QFileDialog::AcceptOpen).value(0);
    }
    QString saveFile(QWidget *parent, const QString &caption, const QString &pathProposed,
                     const QString &filter) override
    {
        return run(parent, caption, pathProposed, filter, QFileDialog::AnyFile, QFileDialog::AcceptSave).value(0);
    }
    QStringList openFiles(QWidget *parent, const QString &caption, const QString &folder,
                          const QString &filter) override
    {
        return run(parent, caption, folder, filter, QFileDialog::ExistingFiles, QFileDialog::AcceptOpen);
    }
    QString saveFileUnconfirmed(QWidget *parent, const QString &caption, const QString &pathProposed,
                                const QString &filter) override
    {
        return run(parent, caption, pathProposed, filter, QFileDialog::AnyFile, QFileDialog::AcceptSave,
                   QFileDialog::DontConfirmOverwrite)
            .value(0);
    }
    QString folder(QWidget *parent, const QString &caption, const QString &folder) override
    {
        return run(parent, caption, folder, QString(), QFileDialog::Directory, QFileDialog::AcceptOpen,
                   QFileDialog::ShowDirsOnly)
            .value(0);
    }

private:
    static QStringList run(QWidget *parent, const QString &caption, const QString &path, const QString &filter,
                           QFileDialog::FileMode mode, QFileDialog::AcceptMode accept,
                           QFileDialog::Options options = {})
    {
        // A file name in the path is proposed in the dialog's name field.
        QFileDialog dialog(nullptr, caption, path, filter);
        dialog.setFileMode(mode);
        dialog.setAcceptMode(accept);
        dialog.setOptions(options);
        PrepareOverTheProgram(&dialog, parent);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
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

namespace {

// Marks the dialogs that stay on top only because another window does.
const char *const kLent = "vt_onTopLent";

bool staysOnTop(const QWidget *w)
{
    return w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

// The window or one of the windows it belongs to stays on top.
bool withinOnTopWindow(const QWidget *w)
{
    for (; w; w = w->parentWidget())
        if (w->isWindow() && staysOnTop(w))
            return true;
    return false;
}

// A window of the program on screen that stays on top by its own design and
// does not belong to another such window (the serial e-mail window, not its
// preview shown over it).
QWidget *onTopWindowOnScreen()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && staysOnTop(w) && !w->property(kLent).toBool() && !withinOnTopWindow(w->parentWidget()))
            return w;
    return nullptr;
}

} // namespace

QWidget *DialogParent(QWidget *owner)
{
    QWidget *asking = nullptr;
    if (owner && owner->window()->isVisible())
        asking = owner->window();
    else if (QWidget *w = MessageOwner::current())
        asking = w;
    else if (QWidget *modal = QApplication::activeModalWidget())
        asking = modal;
    else
        asking = QApplication::activeWindow();
    // While a window stays on top, a dialog of another window comes up as the
    // on-top window's child window: window managers keep a child window above
    // its parent, also when the user clicks the parent, which the dialog blocks.
    // Over the window that asks alone it could be covered by the one on top.
    if (!withinOnTopWindow(asking))
        if (QWidget *onTop = onTopWindowOnScreen())
            return onTop;
    return asking;
}

void KeepOnTopOfTheProgram(QWidget *dialog)
{
    bool onTop = false;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != dialog && w->isVisible() && staysOnTop(w))
            onTop = true;
    const bool has = staysOnTop(dialog);
    const bool lent = dialog->property(kLent).toBool();
    if (has && !lent)
        return;
    // A window of the program that stays on top would otherwise cover the dialog,
    // and a dialog nobody sees makes the program look frozen.
    if (onTop != has)
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    dialog->setProperty(kLent, onTop);
}

void PrepareOverTheProgram(QWidget *dialog, QWidget *owner)
{
    if (!dialog->isVisible()) {
        QWidget *ownParent = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
        if (!owner && ownParent && ownParent->isVisible())
            owner = ownParent;
        QWidget *parent = DialogParent(owner);
        if (parent && parent != dialog && dialog->parentWidget() != parent) {
            // The flags go along, so it stays a window of its own.
            const Qt::WindowFlags flags = dialog->windowFlags();
            dialog->setParent(parent, flags);
        }
    }
    KeepOnTopOfTheProgram(dialog);
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
