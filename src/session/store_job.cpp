#include "store_job.h"

#include "logging.h"
#include "pace_clock.h"
#include "unit_channel.h"
#include "unit_image.h"

#include <algorithm>

namespace halvo::session {

using config::PacedFrame;
using config::Part;

namespace {
// The reply item that shows what a frame stored: a pass row's record, the settings
// values page, a location slot.
int replyItem(const config::ItemRef &item)
{
    switch (item.part) {
    case Part::Passes:
        return item.index - 1;
    case Part::Settings:
        return 3;
    case Part::Locations:
    case Part::EventLog:
        break;
    }
    return item.index;
}

} // namespace

StoreJob::StoreJob(UnitChannel &unit, std::unique_ptr<PaceClock> clock)
    : m_unit(unit), m_clock(std::move(clock)), m_paced(std::make_unique<PacedStore>(unit, *m_clock))
{
    connect(m_paced.get(), &PacedStore::progress, this, &StoreJob::progress);
    connect(m_paced.get(), &PacedStore::finished, this, &StoreJob::onSent);
}

void StoreJob::linkBroke(const QString &)
{
    if (m_paced->running())
        m_paced->stop(StoreOutcome::LinkLost);
    else if (m_running)
        finish(StoreOutcome::LinkLost);
}

StoreJob::~StoreJob()
{
    m_paced->disconnect(this);
    m_paced->stop(StoreOutcome::Cancelled);
    m_clock->cancel();
}

bool StoreJob::store(Part part, const config::Configuration &config, int passCount)
{
    if (running() || !m_unit.isOpen())
        return false;
    QString why;
    std::optional<config::StorePlan> plan;
    switch (part) {
    case Part::Passes:
        return run(config::Pass_Store_Plan(config, passCount), Check::ReadBack);
    case Part::Settings:
        plan = config::Items_Store_Plan(config, {{Part::Settings, 0}}, &why);
        break;
    case Part::Locations:
        plan = config::Location_Store_Plan(config, &why); // all 50 frames or none
        break;
    case Part::EventLog:
        return false;
    }
    if (!plan) {
        m_unit.tellFailure(why);
        return false;
    }
    return run(std::move(*plan), Check::ReadBack, part == Part::Settings);
}

bool StoreJob::storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config)
{
    if (running() || !m_unit.isOpen())
        return false;
    QString why;
    auto plan = config::Items_Store_Plan(config, items, &why);
    if (!plan) {
        m_unit.tellFailure(why);
        return false;
    }
    return run(std::move(*plan), Check::ReadBack);
}

bool StoreJob::start(config::StorePlan plan, Check check)
{
    return !running() && m_unit.isOpen() && run(std::move(plan), check);
}

void StoreJob::stop()
{
    if (m_paced->running())
        m_paced->stop(StoreOutcome::Cancelled);
    else if (m_running)
        finish(StoreOutcome::Cancelled);
}

bool StoreJob::run(config::StorePlan plan, Check check, bool quiet)
{
    m_running = true;
    m_quiet = quiet;
    m_check = check;
    m_checked = false;
    m_round = 0;
    m_sends.clear();
    qCInfo(lcSession) << "store of" << plan.frames.size() << "frames begins";
    if (!plan.stopsShort.isEmpty()) {
        // The frames before the row that cannot be built still go; then the store fails.
        m_roundFrames = plan.frames;
        if (!quiet)
            emit started(static_cast<int>(plan.frames.size()));
        return m_paced->start(std::move(plan));
    }
    sendRound(std::move(plan.frames));
    return true;
}

void StoreJob::sendRound(std::vector<PacedFrame> frames)
{
    m_roundFrames = frames;
    for (const PacedFrame &f : m_roundFrames)
        ++timesSent(f);
    if (!m_quiet)
        emit started(static_cast<int>(frames.size()));
    m_paced->start({std::move(frames), {}});
}

int &StoreJob::timesSent(const PacedFrame &frame)
{
    const config::ItemRef item = frame.item.value_or(config::ItemRef{Part::EventLog, 0});
    for (auto &[i, n] : m_sends)
        if (i == item)
            return n;
    return m_sends.emplace_back(item, 0).second;
}

std::vector<config::ItemRef> StoreJob::sentItems() const
{
    std::vector<config::ItemRef> items;
    for (const auto &[item, times] : m_sends)
        if (item.part != Part::EventLog)
            items.push_back(item);
    return items;
}

qint64 StoreJob::pausesLeftMs(int done) const
{
    qint64 ms = 0;
    for (size_t k = static_cast<size_t>(std::max(done, 0)); k < m_roundFrames.size(); ++k)
        ms += PacedStore::Kept_Pause_Ms(m_roundFrames[k].pauseMs);
    return static_cast<qint64>(double(ms) * m_paced->pauseScale());
}

void StoreJob::onSent(StoreOutcome outcome, const QString &why)
{
    if (outcome != StoreOutcome::Done) {
        finish(outcome, why);
        return;
    }
    const bool checkable = std::all_of(m_roundFrames.begin(), m_roundFrames.end(),
                                       [](const PacedFrame &f) { return f.item.has_value(); });
    if (m_check == Check::None || !checkable || m_roundFrames.empty()) {
        finish(StoreOutcome::Done);
        return;
    }
    m_toRead.clear();
    for (Part p : config::StoredParts)
        if (std::any_of(m_roundFrames.begin(), m_roundFrames.end(),
                        [p](const PacedFrame &f) { return f.item->part == p; }))
            m_toRead.push_back(p);
    emit checkingStarted();
    // A store that ends without a pause (the settings frame alone) gives the unit the
    // time of a location frame before it is asked for what it holds.
    if (m_roundFrames.back().pauseMs > 0)
        readNextPart();
    else
        m_clock->wait(static_cast<int>(config::LocationFramePauseMs * m_paced->pauseScale()),
                      [this] { readNextPart(); });
}

void StoreJob::readNextPart()
{
    if (m_toRead.empty()) {
        compare();
        return;
    }
    const Part part = m_toRead.front();
    if (!m_unit.readBack(part)) {
        finish(m_unit.linkLost() ? StoreOutcome::LinkLost : StoreOutcome::Failed,
               QStringLiteral("the read back could not be sent"));
        return;
    }
    m_clock->wait(m_readBackMs, [this, part] {
        finish(StoreOutcome::NoAnswer,
               QStringLiteral("The unit did not answer when its %1 was read back after the store, so what "
                              "it holds is not known. Check the link, then read the unit again.")
                   .arg(config::Part_Name(part)));
    });
}

// The read back of a part is in once every item this round stored has answered.
void StoreJob::replyPlaced(Part part)
{
    if (!checking() || m_toRead.empty() || m_toRead.front() != part)
        return;
    const UnitImage &image = m_unit.image();
    for (const PacedFrame &f : m_roundFrames)
        if (f.item->part == part && !image.hasArrived(part, replyItem(*f.item)))
            return;
    m_clock->cancel();
    m_toRead.erase(m_toRead.begin());
    readNextPart();
}

void StoreJob::compare()
{
    const config::Configuration &unit = m_unit.image().lastReplies();
    std::vector<PacedFrame> lacking;
    for (const PacedFrame &f : m_roundFrames) {
        const auto held = config::Item_Frame(unit, *f.item);
        if (!held || held->bytes != f.bytes)
            lacking.push_back(f);
    }
    qCInfo(lcSession) << "read back after round" << m_round << ":" << lacking.size() << "items lacking";
    emit roundChecked(static_cast<int>(lacking.size()), static_cast<int>(m_roundFrames.size()));
    if (lacking.empty()) {
        m_checked = true;
        finish(StoreOutcome::Done);
        return;
    }
    if (m_round < ResendRounds) {
        ++m_round;
        sendRound(std::move(lacking));
        return;
    }
    QStringList items;
    for (const PacedFrame &f : lacking)
        items << QStringLiteral("%1 (sent %2 times)").arg(config::Frame_Description(f)).arg(timesSent(f));
    finish(StoreOutcome::NotTaken,
           QStringLiteral("The unit did not take: %1.").arg(items.join(QStringLiteral(", "))));
}

void StoreJob::finish(StoreOutcome outcome, const QString &why)
{
    m_clock->cancel();
    m_running = false;
    m_toRead.clear();
    qCInfo(lcSession) << "store ended:" << int(outcome) << why;
    if (outcome == StoreOutcome::Failed)
        m_unit.tellFailure(why);
    emit finished(outcome, why);
}

} // namespace halvo::session
