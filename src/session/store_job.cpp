#include "store_job.h"

#include "logging.h"
#include "pace_clock.h"
#include "unit_image.h"
#include "unit_session.h"

#include <set>

namespace halvo::session {

using config::Part;

StoreJob::StoreJob(UnitSession &session, port::Link &link, std::unique_ptr<PaceClock> clock)
    : m_session(session), m_clock(std::move(clock)), m_paced(std::make_unique<PacedStore>(link, *m_clock))
{
    connect(m_paced.get(), &PacedStore::progress, this, &StoreJob::progress);
    connect(m_paced.get(), &PacedStore::finished, this, &StoreJob::onFinished);
    connect(&session, &UnitSession::linkBroke, this, [this] { m_paced->stop(StoreOutcome::LinkLost); });
}

StoreJob::~StoreJob()
{
    m_paced->disconnect(this);
    m_paced->stop(StoreOutcome::Cancelled);
}

bool StoreJob::store(Part part, config::Configuration &config, int passCount)
{
    if (running() || !m_session.isOpen())
        return false;
    UnitImage &image = m_session.imageToUpdate();
    switch (part) {
    case Part::Passes:
        m_passCount = passCount;
        return run(config::Pass_Store_Plan(config, passCount),
                   [&image, sent = config, passCount] { image.noteStored(Part::Passes, sent, passCount); });
    case Part::Settings: {
        QString why;
        const auto frame = config::Settings_Frame(config, &why);
        if (!frame)
            m_session.reportSendFailure(why);
        else if (m_session.send(*frame))
            image.noteStored(Part::Settings, config);
        return frame.has_value();
    }
    case Part::Locations: {
        config.normaliseAliases(); // names set without leaving their field
        QString why;
        auto plan = config::Location_Store_Plan(config, &why); // all 50 frames or none
        if (!plan) {
            m_session.reportSendFailure(why);
            return false;
        }
        return run(std::move(*plan), [&image, sent = config] { image.noteStored(Part::Locations, sent); });
    }
    case Part::EventLog:
        break;
    }
    return false;
}

// The unit does not answer a store: reading back what was stored is the proof.
bool StoreJob::storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config)
{
    if (running() || !m_session.isOpen())
        return false;
    QString why;
    auto plan = config::Items_Store_Plan(config, items, &why);
    if (!plan) {
        m_session.reportSendFailure(why);
        return false;
    }
    std::set<Part> parts;
    for (const config::ItemRef &r : items)
        parts.insert(r.part);
    return run(std::move(*plan), [this, parts] {
        for (Part p : parts)
            m_session.readBack(p);
    });
}

bool StoreJob::start(config::StorePlan plan)
{
    return !running() && m_session.isOpen() && run(std::move(plan), {});
}

void StoreJob::stop()
{
    m_paced->stop(StoreOutcome::Cancelled);
}

bool StoreJob::run(config::StorePlan plan, std::function<void()> whenDone)
{
    m_whenDone = std::move(whenDone);
    const int total = static_cast<int>(plan.frames.size());
    qCInfo(lcSession) << "store of" << total << "frames begins";
    emit started(total);
    return m_paced->start(std::move(plan));
}

void StoreJob::onFinished(StoreOutcome outcome, const QString &why)
{
    m_passCount = config::PassCount; // a store always ends with all 72 rows
    qCInfo(lcSession) << "store ended:" << int(outcome) << why;
    if (outcome == StoreOutcome::Failed)
        m_session.reportSendFailure(why);
    emit finished(outcome, why);
    if (auto then = std::exchange(m_whenDone, nullptr); then && outcome == StoreOutcome::Done)
        then();
}

} // namespace halvo::session
