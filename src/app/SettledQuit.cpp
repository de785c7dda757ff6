#include "SettledQuit.h"

#include "platform/Logging.h"

namespace talvex {

SettledQuit::SettledQuit(std::function<bool()> busy, std::function<void()> quit,
                         std::chrono::milliseconds limit, QObject *parent)
    : QObject(parent), m_busy(std::move(busy)), m_quit(std::move(quit))
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(limit);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        qCWarning(lcApp) << "Quitting while a dictation is still being finished";
        finish();
    });
}

void SettledQuit::request()
{
    if (m_done || m_waiting)
        return;
    if (!m_busy()) {
        finish();
        return;
    }
    qCInfo(lcApp) << "Quitting once the dictation in progress is delivered";
    m_waiting = true;
    m_limit.start();
}

void SettledQuit::recheck()
{
    if (m_waiting && !m_busy())
        finish();
}

void SettledQuit::finish()
{
    if (m_done)
        return;
    m_done = true;
    m_waiting = false;
    m_limit.stop();
    m_quit();
}

} // namespace talvex
