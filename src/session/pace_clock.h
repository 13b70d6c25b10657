#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace halvo::session {

// The waits between a store's frames. The real clock sleeps in the event loop; tests
// put one in its place that records each wait and ends it on cue.
class PaceClock
{
public:
    virtual ~PaceClock() = default;
    // Calls done once ms milliseconds have passed; a new wait replaces one under way.
    virtual void wait(int ms, std::function<void()> done) = 0;
    virtual void cancel() = 0;
};

// Never ends a wait early: a timer that fires a little before its time is started
// again for what is left.
class TimerPaceClock : public PaceClock
{
public:
    TimerPaceClock();
    void wait(int ms, std::function<void()> done) override;
    void cancel() override;

private:
    void check();

    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_ms = 0;
    std::function<void()> m_done;
};

} // namespace halvo::session
