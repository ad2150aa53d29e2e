#pragma once
// A replaceable service of the platform layer (message boxes, file dialogs, the
// desktop, the error dialog). The logic library brings a default that needs no
// window; the widget library installs the real one at start-up; a test puts its
// recorder in front of both.
namespace vt {

template <class T> class ServiceSlot
{
public:
    explicit ServiceSlot(T *fallback) : m_default(fallback) {}
    T &get() const { return m_current ? *m_current : *m_default; }
    // The test's replacement; returns the previous one. nullptr restores the default.
    T *replace(T *service)
    {
        T *previous = m_current;
        m_current = service;
        return previous;
    }
    void setDefault(T *service) { m_default = service; }

private:
    T *m_default;
    T *m_current = nullptr;
};

} // namespace vt
