#include "paced_store.h"

#include "pace_clock.h"
#include "unit_channel.h"

namespace halvo::session {

PacedStore::PacedStore(UnitChannel &unit, PaceClock &clock, QObject *parent)
    : QObject(parent), m_unit(unit), m_clock(clock)
{
}

void PacedStore::frameWentOut()
{
    if (m_waitingForBytes)
        pauseAfterFrame();
}

bool PacedStore::start(config::StorePlan plan)
{
    if (m_running)
        return false;
    m_plan = std::move(plan);
    m_next = 0;
    m_running = true;
    sendNext();
    return true;
}

void PacedStore::stop(StoreOutcome outcome)
{
    if (!m_running)
        return;
    m_clock.cancel();
    m_running = false;
    m_waitingForBytes = false;
    const QString why =
        outcome == StoreOutcome::Failed && m_next >= m_plan.frames.size() ? m_plan.stopsShort : QString();
    emit finished(outcome, why);
}

void PacedStore::sendNext()
{
    if (!m_running)
        return;
    const int total = static_cast<int>(m_plan.frames.size());
    if (m_next >= m_plan.frames.size()) {
        stop(m_plan.stopsShort.isEmpty() ? StoreOutcome::Done : StoreOutcome::Failed);
        return;
    }
    emit progress(static_cast<int>(m_next), total);
    if (!m_running) // stopped from the progress report
        return;
    if (!m_unit.send(m_plan.frames[m_next].bytes)) {
        stop(StoreOutcome::Failed);
        return;
    }
    m_waitingForBytes = m_unit.bytesToWrite() > 0;
    if (!m_waitingForBytes)
        pauseAfterFrame();
}

void PacedStore::pauseAfterFrame()
{
    m_waitingForBytes = false;
    const int pause = static_cast<int>(Kept_Pause_Ms(m_plan.frames[m_next].pauseMs) * m_scale);
    ++m_next;
    m_clock.wait(pause, [this] { sendNext(); });
}

} // namespace halvo::session
