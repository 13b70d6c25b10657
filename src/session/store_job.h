#pragma once

#include "config/store_plan.h"
#include "paced_store.h"

#include <QObject>

#include <functional>
#include <memory>

namespace halvo::port {
class Link;
}

namespace halvo::session {

class PaceClock;
class UnitSession;

// The session's stores: a whole part (STORE CONFIGURATION), the items the operator
// chose (Review Changes, then read back), or a plan as it is (halvo-cli restore).
// Frames go out one after another, each followed by the unit's pause; one store at
// a time. When a store is done the unit image follows: what a whole part sent is
// what the unit holds, chosen items are read back.
class StoreJob : public QObject
{
    Q_OBJECT
public:
    StoreJob(UnitSession &session, port::Link &link, std::unique_ptr<PaceClock> clock);
    ~StoreJob() override;

    // Pauses are multiplied by scale (tests and benchmarks shorten them).
    void setPauseScale(double scale) { m_paced->setPauseScale(scale); }
    // The part the visible tab shows: passes 1..passCount (72, or 32 for a "Halvo
    // ST" unit), the one settings frame (no pause, no progress), all 50 aliases
    // (normalised first, as leaving their fields does). Nothing is sent, and nothing
    // said, on a closed port or while another store runs.
    bool store(config::Part part, config::Configuration &config, int passCount = config::PassCount);
    bool storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config);
    bool start(config::StorePlan plan);
    void stop();
    bool running() const { return m_paced->running(); }
    // Whole-table operations cover this many rows: 32 while a "Halvo ST" store runs.
    int passCount() const { return m_passCount; }

signals:
    void started(int total);
    // Before frame done of total is written (the progress bar's value).
    void progress(int done, int total);
    void finished(halvo::session::StoreOutcome outcome, const QString &why);

private:
    bool run(config::StorePlan plan, std::function<void()> whenDone);
    void onFinished(StoreOutcome outcome, const QString &why);

    UnitSession &m_session;
    std::unique_ptr<PaceClock> m_clock;
    std::unique_ptr<PacedStore> m_paced;
    std::function<void()> m_whenDone;
    int m_passCount = config::PassCount;
};

} // namespace halvo::session
