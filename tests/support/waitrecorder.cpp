#include "waitrecorder.h"

#include <QTimer>

class RecordedWait final : public vt::WaitWindows::Wait
{
public:
    RecordedWait(WaitRecorder &recorder, std::function<void()> cancel) : m_recorder(recorder)
    {
        ++m_recorder.m_open;
        if (m_recorder.cancelAfterMs >= 0) {
            m_timer.setSingleShot(true);
            QObject::connect(&m_timer, &QTimer::timeout, [cancel] { cancel(); });
            m_timer.start(m_recorder.cancelAfterMs);
        }
    }
    ~RecordedWait() override { --m_recorder.m_open; }

private:
    WaitRecorder &m_recorder;
    QTimer m_timer;
};

WaitRecorder::WaitRecorder() : m_previous(vt::WaitWindows::setInstance(this))
{
}

WaitRecorder::~WaitRecorder()
{
    vt::WaitWindows::setInstance(m_previous);
}

std::unique_ptr<vt::WaitWindows::Wait> WaitRecorder::open(const QString &text, std::function<void()> cancel)
{
    texts.append(text);
    return std::make_unique<RecordedWait>(*this, std::move(cancel));
}
