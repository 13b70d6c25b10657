#include "pace_clock.h"

#include <utility>

namespace halvo::session {

TimerPaceClock::TimerPaceClock()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { check(); });
}

void TimerPaceClock::wait(int ms, std::function<void()> done)
{
    m_done = std::move(done);
    m_ms = ms;
    m_since.start();
    m_timer.start(std::max(0, ms));
}

void TimerPaceClock::cancel()
{
    m_timer.stop();
    m_done = nullptr;
}

void TimerPaceClock::check()
{
    const qint64 left = m_ms - m_since.elapsed();
    if (left > 0) {
        m_timer.start(static_cast<int>(left));
        return;
    }
    if (auto done = std::exchange(m_done, nullptr))
        done();
}

} // namespace halvo::session
