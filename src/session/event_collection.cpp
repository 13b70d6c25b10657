#include "event_collection.h"

#include "archive_download.h"
#include "eventlog/event_archive.h"
#include "logging.h"
#include "pace_clock.h"
#include "unit_session.h"

#include <algorithm>

namespace halvo::session {

namespace {
QString clockTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("HH:mm"));
}
} // namespace

EventCollection::EventCollection(UnitSession &session, std::unique_ptr<PaceClock> clock)
    : m_session(session), m_clock(std::move(clock))
{
}

EventCollection::~EventCollection()
{
    m_clock->cancel();
}

void EventCollection::start(const QString &archive, int minutes, int firstPages)
{
    m_archive = archive;
    m_periodMs = std::clamp(minutes, 1, 24 * 60) * m_minuteMs;
    m_firstPages = firstPages;
    m_active = true;
    m_failuresInARow = 0;
    schedule(m_periodMs);
}

void EventCollection::stop()
{
    m_active = false;
    m_clock->cancel();
    m_next = {};
}

void EventCollection::schedule(int ms)
{
    m_next = m_now().addMSecs(ms);
    m_clock->wait(ms, [this] { due(); });
    emit scheduled(m_next);
}

void EventCollection::due()
{
    if (!m_active)
        return;
    if (!m_session.isOpen()) {
        fail(QStringLiteral("the port is closed"));
        schedule(m_periodMs);
        return;
    }
    if (m_session.busy()) { // the operator's command goes first
        m_clock->wait(BusyRetryMs, [this] { due(); });
        return;
    }
    QString why;
    qCInfo(lcSession) << "collection of new events into" << m_archive;
    if (!m_session.archive().start(m_archive, m_firstPages, &why)) {
        fail(why);
        schedule(m_periodMs);
        return;
    }
    m_collecting = true;
}

void EventCollection::downloadEnded(DownloadEnd &end)
{
    if (!m_collecting)
        return;
    m_collecting = false;
    end.collected = true;
    if (end.appendedAll) {
        m_failuresInARow = 0;
        QString ignored;
        const auto record = eventlog::Read_Record(m_archive, &ignored);
        const QDateTime since = record ? record->savedAt : m_now();
        emit collected(end.appended > 0 ? QStringLiteral("%1 new lines at %2").arg(end.appended).arg(clockTime(m_now()))
                                        : QStringLiteral("No new events since %1").arg(clockTime(since)));
    } else {
        fail(end.why.isEmpty() ? QStringLiteral("the download broke off") : end.why);
    }
    if (m_active)
        schedule(m_periodMs);
}

void EventCollection::fail(const QString &why)
{
    qCInfo(lcSession) << "collection failed:" << why;
    emit failed(why, ++m_failuresInARow == 1);
}

} // namespace halvo::session
