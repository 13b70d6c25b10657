#include "event_collection.h"

#include "eventlog/event_archive.h"
#include "logging.h"
#include "pace_clock.h"
#include "run.h"
#include "unit_memory.h"
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

void EventCollection::choose(bool on, int minutes)
{
    UnitMemory memory(m_session);
    memory.setCollection(on, minutes);
    m_idleFor.clear();
    m_unit = memory.unit();
    m_unitUnknown = m_session.identification().isEmpty();
    m_askedForArchive.removeAll(m_unit); // the operator has answered
    m_minutes = minutes;
    const QString archive = m_session.archiveFor(memory.usableArchive());
    if (on && !archive.isEmpty())
        start(archive, minutes);
    else
        stop();
    emit choiceChanged(m_active, m_minutes);
}

// Each banner comes here; only a unit other than the one collected from, or the
// first banner after connecting, brings its own choice back.
void EventCollection::unitIdentified()
{
    if (!m_session.isOpen())
        return; // bytes handed in without a link (the fuzz target): no unit to know
    UnitMemory memory(m_session);
    if (memory.unit() == (m_active ? m_unit : m_idleFor))
        return; // nothing has changed since its last banner: the settings are not read again
    m_idleFor.clear();
    if (m_active && m_unitUnknown) {
        // Started before the unit had said which it is: the choice is this unit's.
        m_unitUnknown = false;
        m_unit = memory.unit();
        memory.setArchive(m_archive);
        memory.setCollection(true, m_minutes);
        return;
    }
    const bool known = memory.unit() == m_unit;
    m_unit = memory.unit();
    m_minutes = memory.collectMinutes();
    const QString archive = memory.collects() ? m_session.archiveFor(memory.archive()) : QString();
    if (archive.isEmpty()) { // no archive chosen: nothing to collect into
        if (m_active || !known) {
            stop();
            emit choiceChanged(false, m_minutes);
        }
        m_idleFor = m_unit; // until the operator chooses again
        return;
    }
    if (archive == memory.archive() && memory.archiveGone()) {
        archiveGone(memory.archive());
        return;
    }
    start(archive, m_minutes);
    emit choiceChanged(true, m_minutes);
}

void EventCollection::archiveGone(const QString &archive)
{
    stop();
    emit choiceChanged(false, m_minutes);
    if (m_askedForArchive.contains(m_unit))
        return;
    m_askedForArchive << m_unit;
    emit archiveWanted(archive);
}

void EventCollection::start(const QString &archive, int minutes)
{
    m_archive = archive;
    m_minutes = std::clamp(minutes, 1, 24 * 60);
    m_periodMs = m_minutes * m_minuteMs;
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
    m_archive = m_session.archiveFor(m_archive); // the records' file of a new month
    if (const UnitMemory memory(m_session); memory.archive() == m_archive && memory.archiveGone()) {
        archiveGone(m_archive); // its file went while collecting: never made anew unasked
        return;
    }
    qCInfo(lcSession) << "collection of new events into" << m_archive;
    Run *run = m_session.downloadNewEvents(m_archive, m_firstPages());
    if (!run->running()) {
        fail(run->result().why);
        schedule(m_periodMs);
        return;
    }
    connect(run, &Run::finished, this, &EventCollection::downloadEnded);
}

void EventCollection::downloadEnded(const RunResult &result)
{
    const DownloadEnd &end = result.download;
    if (end.appendedAll) {
        m_failuresInARow = 0;
        QString ignored;
        const auto record = eventlog::Read_Record(m_archive, &ignored);
        const QDateTime since = record ? record->savedAt : m_now();
        emit collected(end.appended > 0
                           ? QStringLiteral("%1 new lines at %2").arg(end.appended).arg(clockTime(m_now()))
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
