#include "event_logger.h"

#include "event_requests.h"

namespace halvo::eventlog {

void EventLogger::start()
{
    m_state = State::PointerWanted;
    m_intervalMs = StartIntervalMs;
}

int EventLogger::chunkSize() const
{
    return m_pagesRemaining > ChunkPages ? ChunkPages : m_pagesRemaining;
}

EventLogger::Action EventLogger::Event_Logger_Tick(int shownPointer, int pagesWanted)
{
    using Kind = Action::Kind;
    switch (m_state) {
    case State::Idle:
        return {};
    case State::PointerWanted:
        m_state = State::Plan;
        return {Kind::ReadPointer, 0, 0, 0};
    case State::Plan:
        m_state = State::Paced;
        m_pagesRemaining = pagesWanted;
        m_chunkEndPage = shownPointer - pagesWanted + chunkSize();
        if (m_chunkEndPage < 0)
            m_chunkEndPage += RingPages;
        return {};
    case State::Paced:
        break;
    }
    m_intervalMs = PacedIntervalMs;
    if (++m_quietTicks < QuietTicksBeforeChunk)
        return {};
    m_quietTicks = 0;
    const int start = m_chunkEndPage;
    if (m_pagesRemaining > ChunkPages) {
        const int first = First_Page(start, ChunkPages);
        m_pagesRemaining -= ChunkPages;
        m_chunkEndPage = first + ChunkPages;
        if (m_chunkEndPage > RingPages)
            m_chunkEndPage -= RingPages;
        m_chunkEndPage += chunkSize();
        return {Kind::ReadPages, start, first, ChunkPages};
    }
    m_state = State::Idle;
    return {Kind::ReadPages, start, First_Page(start, m_pagesRemaining), m_pagesRemaining};
}

} // namespace halvo::eventlog
