#include "event_download.h"

#include "logging.h"
#include "pace_clock.h"
#include "unit_channel.h"

namespace halvo::session {

using eventlog::EventLogger;

EventDownload::EventDownload(UnitChannel &unit, std::unique_ptr<PaceClock> clock)
    : m_unit(unit), m_clock(std::move(clock))
{
}

void EventDownload::linkBroke(const QString &reason)
{
    if (m_running)
        end(End::Broken, reason);
}

void EventDownload::fileFailed()
{
    if (m_running)
        end(End::Broken, QStringLiteral("the event log file could not be written"));
}

EventDownload::~EventDownload()
{
    m_clock->cancel();
}

void EventDownload::begin(int pages)
{
    if (m_running)
        end(End::Stopped, QStringLiteral("a new read began"));
    m_progress = Progress{pages, 0, 0, -1};
    m_running = m_counting = true;
    m_finishing = false;
    m_pointerWaited = 0;
    m_firstChunk = std::min(pages, eventlog::ChunkPages);
    m_sinceFirstAsk.invalidate();
    m_plannedPointer.reset();
    m_chunks.clear();
    m_nextChunk = 0;
}

void EventDownload::start(int pages)
{
    begin(pages);
    m_planner = nullptr;
    m_logger.start();
    qCInfo(lcSession) << "event download of the last" << pages << "pages begins";
    schedule(m_logger.intervalMs());
    emit progressed();
}

void EventDownload::startPlanned(Planner planner)
{
    begin(0);
    m_logger.stop();
    m_planner = std::move(planner);
    qCInfo(lcSession) << "planned event download begins";
    if (!m_unit.readPointer()) {
        end(End::Broken, QStringLiteral("a request could not be sent"));
        return;
    }
    schedule(EventLogger::StartIntervalMs); // waits for the pointer reply
    emit progressed();
}

// The chunks of a planned read: the first as soon as the pointer is known, then each
// after four quiet ticks; complete after four more.
void EventDownload::plannedTick()
{
    if (!m_plannedPointer) {
        const auto pointer = m_unit.lastPointer();
        if (!pointer) {
            m_pointerWaited += EventLogger::StartIntervalMs;
            if (m_pointerWaited > m_pointerWaitMs)
                end(End::Broken, QStringLiteral("the unit did not answer the pointer request"));
            else
                schedule(EventLogger::StartIntervalMs);
            return;
        }
        planWith(*pointer);
        return;
    }
    if (++m_quietTicks < EventLogger::QuietTicksBeforeChunk) {
        schedule(EventLogger::PacedIntervalMs);
        return;
    }
    m_quietTicks = 0;
    if (m_nextChunk >= m_chunks.size()) {
        end(End::Complete);
        return;
    }
    const auto [first, count] = m_chunks[m_nextChunk++];
    if (ask(first, count))
        schedule(EventLogger::PacedIntervalMs);
}

void EventDownload::planWith(int pointer)
{
    m_plannedPointer = pointer;
    m_chunks = m_planner(pointer);
    for (const auto &chunk : m_chunks)
        m_progress.pagesExpected += chunk.second;
    m_firstChunk = m_chunks.empty() ? 0 : m_chunks.front().second;
    if (m_chunks.empty()) {
        end(End::Complete);
        return;
    }
    m_nextChunk = 1;
    m_quietTicks = 0;
    if (ask(m_chunks.front().first, m_chunks.front().second))
        schedule(EventLogger::PacedIntervalMs);
}

bool EventDownload::ask(int firstPage, int count)
{
    if (!m_unit.readPagesFrom(firstPage, count)) {
        end(End::Broken, QStringLiteral("a request could not be sent"));
        return false;
    }
    if (!m_sinceFirstAsk.isValid())
        m_sinceFirstAsk.start();
    m_progress.pagesAsked += count;
    emit progressed();
    return true;
}

void EventDownload::stop()
{
    if (m_running)
        end(End::Stopped);
}

void EventDownload::schedule(int ms)
{
    m_clock->wait(static_cast<int>(ms * m_scale), [this] { tick(); });
}

void EventDownload::tick()
{
    using Kind = EventLogger::Action::Kind;
    if (m_planner) {
        plannedTick();
        return;
    }
    if (m_finishing) {
        if (++m_quietTicks >= EventLogger::QuietTicksBeforeChunk)
            end(End::Complete);
        else
            schedule(EventLogger::PacedIntervalMs);
        return;
    }
    const auto pointer = m_unit.lastPointer();
    if (m_logger.state() == EventLogger::State::Plan && !pointer) {
        // Planned only with the pointer the unit sent.
        m_pointerWaited += m_logger.intervalMs();
        if (m_pointerWaited > m_pointerWaitMs)
            end(End::Broken, QStringLiteral("the unit did not answer the pointer request"));
        else
            schedule(m_logger.intervalMs());
        return;
    }
    if (m_logger.state() == EventLogger::State::Plan)
        m_plannedPointer = pointer;
    const auto action = m_logger.Event_Logger_Tick(pointer.value_or(0), m_progress.pagesExpected);
    bool sent = true;
    if (action.kind == Kind::ReadPointer) {
        sent = m_unit.readPointer();
    } else if (action.kind == Kind::ReadPages) {
        sent = m_unit.isOpen() &&
               m_unit.readPagesFrom(eventlog::First_Page(action.start, action.count), action.count);
        if (sent) {
            if (!m_sinceFirstAsk.isValid())
                m_sinceFirstAsk.start();
            m_progress.pagesAsked += action.count;
            m_finishing = m_logger.state() == EventLogger::State::Idle;
            m_quietTicks = 0;
            emit progressed();
        }
    }
    if (!sent) {
        end(End::Broken, QStringLiteral("a request could not be sent"));
        return;
    }
    schedule(m_logger.intervalMs());
}

void EventDownload::lineArrived(const QByteArray &)
{
    m_logger.lineReceived();
    m_quietTicks = 0;
    if (!m_counting)
        return;
    ++m_progress.lines;
    const int arrived = m_progress.pagesArrived();
    if (arrived >= m_firstChunk && arrived > 0 && m_sinceFirstAsk.isValid()) {
        const double msPerPage = double(m_sinceFirstAsk.elapsed()) / arrived;
        m_progress.msLeft = qint64(msPerPage * std::max(0, m_progress.pagesExpected - arrived));
    }
    emit progressed();
}

void EventDownload::end(End how, const QString &why)
{
    m_clock->cancel();
    m_logger.stop();
    m_running = m_finishing = false;
    if (how == End::Complete)
        m_counting = false;
    qCInfo(lcSession) << "event download ended:" << int(how) << why;
    emit ended(how, why);
}

QString Download_Line(int pagesArrived, int pagesExpected, qint64 msLeft)
{
    if (pagesExpected <= 0)
        return QStringLiteral("Asking the unit for its pointer");
    QString line = QStringLiteral("Page %1 of %2").arg(pagesArrived).arg(pagesExpected);
    if (msLeft >= 0)
        line += QStringLiteral(", %1 left").arg(eventlog::About_Time(msLeft));
    return line;
}

} // namespace halvo::session
