#include "waitwindow.h"
#include "inputblocker.h"
#include "widgetservices.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vt {

WaitWindow::WaitWindow(const QString &text, std::function<void()> cancel, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_cancel(std::move(cancel))
{
    setObjectName(QStringLiteral("WaitWindow"));
    setWindowTitle(QStringLiteral("Bitte warten"));
    setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    // Nothing to enlarge: the window keeps the size of its contents.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("WaitLabel"));
    // The text names a server the user typed in: never markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMinimumWidth(320);
    layout->addWidget(label);
    auto *bar = new QProgressBar(this);
    bar->setRange(0, 0); // busy: how long it takes is the server's business
    bar->setTextVisible(false);
    layout->addWidget(bar);
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(QStringLiteral("WaitTimeLabel"));
    layout->addWidget(m_elapsed);
    m_button = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_button->setObjectName(QStringLiteral("WaitCancelButton"));
    m_button->setAutoDefault(false);
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    connect(m_button, &QPushButton::clicked, this, &WaitWindow::reject);
    m_clock.start();
    showElapsed();
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &WaitWindow::showElapsed);
    m_ticker.start();
}

void WaitWindow::showElapsed()
{
    m_elapsed->setText(QStringLiteral("Wartezeit bisher: %1 s").arg(m_clock.elapsed() / 1000));
}

void WaitWindow::reject()
{
    // The window stays until the work has stopped; its owner closes it.
    if (!m_cancel)
        return;
    const std::function<void()> cancel = std::move(m_cancel);
    m_cancel = nullptr;
    m_button->setEnabled(false);
    m_button->setText(QStringLiteral("Wird abgebrochen..."));
    cancel();
}

namespace {

class WindowWait final : public WaitWindows::Wait
{
public:
    WindowWait(const QString &text, std::function<void()> cancel)
        : m_blocker(std::make_unique<InputBlocker>()), m_window(new WaitWindow(text, std::move(cancel), DialogParent()))
    {
        KeepOnTopOfTheProgram(m_window);
        m_showTimer.setSingleShot(true);
        QObject::connect(&m_showTimer, &QTimer::timeout, m_window, [this] {
            m_window->show();
            // From now on the window's modality keeps input away from the others.
            m_blocker.reset();
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
            m_cursorSet = true;
        });
        m_showTimer.start(WaitWindow::kShowDelayMs);
    }
    ~WindowWait() override
    {
        m_showTimer.stop();
        if (m_cursorSet)
            QGuiApplication::restoreOverrideCursor();
        if (m_window) {
            // Possibly inside the window's own button handler: it goes once that has returned.
            m_window->hide();
            m_window->deleteLater();
        }
    }

private:
    std::unique_ptr<InputBlocker> m_blocker;
    QPointer<WaitWindow> m_window;
    QTimer m_showTimer;
    bool m_cursorSet = false;
};

class WindowWaits final : public WaitWindows
{
public:
    std::unique_ptr<Wait> open(const QString &text, std::function<void()> cancel) override
    {
        return std::make_unique<WindowWait>(text, std::move(cancel));
    }
};

} // namespace

WaitWindows *WidgetWaitWindows()
{
    static WindowWaits waits;
    return &waits;
}

} // namespace vt
