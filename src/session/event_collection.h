#pragma once

#include "download_end.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

namespace halvo::session {

class PaceClock;
class UnitSession;

// "Collect new events every N minutes": while it is on, "Read New Events" runs into
// the unit's archive once a period, so that the unit's ring never overwrites a page
// the archive lacks. A command of the operator's under way (a store, a read, an
// event download) is never interrupted: a collection that falls due meanwhile waits
// for it. A failure is told each time, and said to be the first of a row or not, so
// that an unattended PC does not pile up messages; the next period tries again.
class EventCollection : public QObject
{
    Q_OBJECT
public:
    EventCollection(UnitSession &session, std::unique_ptr<PaceClock> clock);
    ~EventCollection() override;

    // Tests put a clock of their own in, and shorten the minute.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }
    void setMinuteMs(int ms) { m_minuteMs = ms; }
    // Collects into archive every minutes (1..1440), the first time in one period; a
    // first download reads firstPages.
    void start(const QString &archive, int minutes, int firstPages);
    void stop();
    bool active() const { return m_active; }
    // Whether the download under way is one this collection started.
    bool collecting() const { return m_collecting; }
    QDateTime nextAt() const { return m_next; }

    // The session's download ended; end says it was a collection's.
    void downloadEnded(DownloadEnd &end);

    // A busy session is looked at again after this long.
    static constexpr int BusyRetryMs = 1000;

signals:
    void scheduled(const QDateTime &next);
    // "12 new lines at 10:45", "No new events since 10:30".
    void collected(const QString &result);
    void failed(const QString &why, bool firstInARow);

private:
    void schedule(int ms);
    void due();
    void fail(const QString &why);

    UnitSession &m_session;
    std::unique_ptr<PaceClock> m_clock;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
    QString m_archive;
    int m_minuteMs = 60 * 1000;
    int m_periodMs = 0;
    int m_firstPages = 1;
    bool m_active = false;
    bool m_collecting = false;
    int m_failuresInARow = 0;
    QDateTime m_next;
};

} // namespace halvo::session
