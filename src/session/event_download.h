#pragma once

#include "download_end.h"
#include "eventlog/event_logger.h"
#include "eventlog/event_requests.h"

#include "unit_channel.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace halvo::session {

class PaceClock;
class UnitChannel;

// "Read Last # of Pages of Events", for the window and halvo-cli alike: the pointer
// request, then, planned with the pointer the unit sent, the pages before it in
// chunks of at most 100, oldest first, each after four quiet ticks (no event line
// for 4 x 200 ms). It has ended once the last chunk was asked for and the unit has
// been quiet as long again (complete), when the operator stops it (no further
// request; lines of chunks already asked for still come), or when the link breaks
// or the event log file fails (broken).
class EventDownload : public QObject, public UnitListener
{
    Q_OBJECT
public:
    using End = DownloadEnd::How;
    struct Progress
    {
        int pagesExpected = 0;
        int pagesAsked = 0;
        int lines = 0;      // event lines since the read began
        qint64 msLeft = -1; // estimated from the rate so far, once a chunk has arrived
        int pagesArrived() const { return lines / eventlog::EventsPerPage; }
    };

    EventDownload(UnitChannel &unit, std::unique_ptr<PaceClock> clock);
    ~EventDownload() override;

    // Ticks are multiplied by scale (tests shorten them).
    void setPauseScale(double scale) { m_scale = scale; }
    // How long the plan waits for the pointer reply before the read is given up.
    void setPointerWaitMs(int ms) { m_pointerWaitMs = ms; }
    // From any state: starts again from the pointer request (after one 500 ms tick).
    void start(int pages);
    // The page requests to send once the unit's pointer is known: (first page, count),
    // oldest first; none ends the read at once, complete.
    using Planner = std::function<std::vector<std::pair<int, int>>(int pointer)>;
    // The pointer request goes out at once, the first chunk as soon as the reply is in,
    // each other one after the quiet wait.
    void startPlanned(Planner planner);
    // The pointer the read was planned with, once it has been.
    std::optional<int> plannedPointer() const { return m_plannedPointer; }
    void stop();
    bool running() const { return m_running; }
    const Progress &progress() const { return m_progress; }
    eventlog::EventLogger::State state() const { return m_logger.state(); }

    // The file the lines go to failed: the download breaks off.
    void fileFailed();

signals:
    void progressed();
    void ended(halvo::session::EventDownload::End how, const QString &why);

private:
    void lineArrived(const QByteArray &line) override;
    void linkBroke(const QString &reason) override;

    void tick();
    void plannedTick();
    void planWith(int pointer);
    bool ask(int firstPage, int count);
    void begin(int pages);
    void schedule(int ms);
    void end(End how, const QString &why = {});

    UnitChannel &m_unit;
    std::unique_ptr<PaceClock> m_clock;
    eventlog::EventLogger m_logger;
    Progress m_progress;
    double m_scale = 1.0;
    int m_pointerWaitMs = 10000;
    int m_pointerWaited = 0;
    bool m_running = false;
    bool m_counting = false;  // lines still count (after a stop too)
    bool m_finishing = false; // the last chunk was asked for
    int m_quietTicks = 0;
    int m_firstChunk = 0;
    Planner m_planner; // a planned read, else the last pages before the pointer
    std::vector<std::pair<int, int>> m_chunks;
    size_t m_nextChunk = 0;
    std::optional<int> m_plannedPointer;
    QElapsedTimer m_sinceFirstAsk;
};

// What the operator reads of a download under way: "Page 120 of 250, about 1 min 40 s
// left" (the estimate once a chunk has come), or "Asking the unit for its pointer".
QString Download_Line(int pagesArrived, int pagesExpected, qint64 msLeft);

} // namespace halvo::session
