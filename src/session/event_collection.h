#pragma once

#include "download_end.h"

#include "unit_channel.h"
#include <QDateTime>

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace halvo::session {

class PaceClock;
struct RunResult;
class UnitSession;

// "Collect new events every N minutes": while it is on, "Read New Events" runs into
// the unit's archive once a period, so that the unit's ring never overwrites a page
// the archive lacks. A command of the operator's under way (a store, a read, an
// event download) is never interrupted: a collection that falls due meanwhile waits
// for it. A failure is told each time, and said to be the first of a row or not, so
// that an unattended PC does not pile up messages; the next period tries again.
//
// What each unit collects, and into which archive, is kept for the unit (UnitMemory):
// when a unit says which it is, its own choice comes back. A banner of the unit being
// collected from changes nothing; an archive chosen stays chosen until its first
// collection makes the file; a remembered archive whose file has gone is asked for
// again, once, and never made anew without a word.
class EventCollection : public QObject, public UnitListener
{
    Q_OBJECT
public:
    EventCollection(UnitSession &session, std::unique_ptr<PaceClock> clock);
    ~EventCollection() override;

    // Tests put a clock of their own in, and shorten the minute.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }
    void setMinuteMs(int ms) { m_minuteMs = ms; }
    // The page count a first download of a new archive reads (the tab's field).
    void setFirstPages(std::function<int()> pages) { m_firstPages = std::move(pages); }
    // The operator's choice for the unit on the link: kept for it, and collecting
    // (into its archive, every minutes, 1..1440, the first time in one period) or not.
    // Ticked with no archive to collect into, nothing collects: choose one first.
    void choose(bool on, int minutes);
    // Collects into archive every minutes, the first time in one period.
    void start(const QString &archive, int minutes);
    void stop();
    bool active() const { return m_active; }
    int minutes() const { return m_minutes; }
    QDateTime nextAt() const { return m_next; }

    // A busy session is looked at again after this long.
    static constexpr int BusyRetryMs = 1000;

signals:
    // The unit's choice came back, or the operator's was taken: on or off, and how often.
    void choiceChanged(bool on, int minutes);
    // The unit collects, but the file of its archive (gone) is no longer there: the
    // operator is to choose one again. Said once for each unit.
    void archiveWanted(const QString &gone);
    void scheduled(const QDateTime &next);
    // "12 new lines at 10:45", "No new events since 10:30".
    void collected(const QString &result);
    void failed(const QString &why, bool firstInARow);

private:
    // Each banner comes here.
    void unitIdentified() override;
    void downloadEnded(const RunResult &result);
    void schedule(int ms);
    void due();
    void fail(const QString &why);
    void archiveGone(const QString &archive);

    UnitSession &m_session;
    std::unique_ptr<PaceClock> m_clock;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
    QString m_archive;
    int m_minuteMs = 60 * 1000;
    int m_periodMs = 0;
    int m_minutes = 15;
    std::function<int()> m_firstPages = [] { return 1; };
    QString m_unit;                // the unit collected from, as its memory knows it
    QString m_idleFor;             // the unit found to collect nothing, until a choice is made
    bool m_unitUnknown = false;    // chosen before the unit's first banner
    QStringList m_askedForArchive; // units whose gone archive was asked for
    bool m_active = false;
    int m_failuresInARow = 0;
    QDateTime m_next;
};

} // namespace halvo::session
