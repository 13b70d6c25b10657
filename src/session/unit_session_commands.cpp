// The session's commands for the link and the configuration: connecting, scanning,
// reading parts whole and storing, each handed back as a run.
#include "unit_session.h"

#include "connection.h"
#include "port_scanner.h"
#include "read_job.h"
#include "run.h"
#include "store_job.h"
#include "unit_image.h"

namespace halvo::session {

using config::Part;

namespace {
RunResult::Status Status_Of(StoreOutcome outcome)
{
    return outcome == StoreOutcome::Done        ? RunResult::Status::Done
           : outcome == StoreOutcome::Cancelled ? RunResult::Status::Stopped
                                                : RunResult::Status::Failed;
}

} // namespace

Run *UnitSession::connectTo(const QString &path, int bannerWaitMs)
{
    if (m_connection->running() || m_scanner->running())
        return refuse(Run::Kind::Connect, QStringLiteral("a connection is being made"));
    Run *run = begin(Run::Kind::Connect, [this] { m_connection->stop(); });
    run->m_subject = path;
    connect(m_connection.get(), &Connection::finished, run,
            [run](Connection::Result result, const QString &why) {
                RunResult r = RunResult::Of(result == Connection::Result::Opened ? RunResult::Status::Done
                                                                                 : RunResult::Status::Failed,
                                            why);
                r.connection = result;
                run->finish(r);
            });
    m_connection->start(path, bannerWaitMs);
    return begun(run);
}

Run *UnitSession::scan(const QList<port::PortEntry> &ports)
{
    if (m_scanner->running() || m_connection->running())
        return refuse(Run::Kind::Scan, QStringLiteral("a scan runs"));
    Run *run = begin(Run::Kind::Scan, [this] { m_scanner->stop(); });
    connect(m_scanner.get(), &PortScanner::listening, run, [run](int i, int n, const port::PortEntry &e) {
        run->m_port = e;
        if (run->stage() != Run::Stage::Listening)
            run->enter(Run::Stage::Listening, n);
        run->advance(i);
    });
    connect(m_scanner.get(), &PortScanner::heard, run, &Run::heard);
    connect(m_scanner.get(), &PortScanner::finished, run,
            [run] { run->finish(RunResult::Of(RunResult::Status::Done)); });
    m_scanner->start(ports);
    return begun(run);
}

Run *UnitSession::read(std::vector<Part> parts, Reads reads)
{
    if (m_reads->running())
        return refuse(Run::Kind::Read, QStringLiteral("a read runs"));
    if (!isOpen())
        return refuse(Run::Kind::Read, QStringLiteral("the port is closed"));
    Run *run = begin(Run::Kind::Read, [this] { m_reads->stop(); });
    connect(m_reads.get(), &ReadJob::readStarted, run, [run](Part part, int attempt) {
        run->m_part = part;
        run->enter(attempt == 1 ? Run::Stage::Reading : Run::Stage::ReadingAgain, UnitImage::Expected(part));
    });
    connect(m_reads.get(), &ReadJob::progressed, run, [run](int arrived) { run->advance(arrived); });
    connect(m_reads.get(), &ReadJob::finished, run, [run, parts](bool ok, const QString &why) {
        RunResult r = RunResult::Of(ok ? RunResult::Status::Done : RunResult::Status::Failed, why);
        if (ok)
            r.parts = parts;
        run->finish(r);
    });
    if (!m_reads->start(std::move(parts),
                        reads == Reads::Once ? ReadJob::Reads::Once : ReadJob::Reads::UntilTwoAgree))
        run->finish(RunResult::Of(RunResult::Status::Refused, QStringLiteral("nothing to read")));
    return begun(run);
}

// A store's rounds: its frames, the unit read back, what it lacks sent again.
Run *UnitSession::startStore(const std::function<bool()> &start)
{
    if (m_stores->running())
        return refuse(Run::Kind::Store, QStringLiteral("a store runs"));
    if (!isOpen())
        return refuse(Run::Kind::Store, QStringLiteral("the port is closed"));
    Run *run = begin(Run::Kind::Store, [this] { m_stores->stop(); });
    run->m_msLeft = [this](int done) { return m_stores->pausesLeftMs(done); };
    StoreJob *job = m_stores.get();
    connect(job, &StoreJob::started, run, [run](int total) {
        run->enter(run->stage() == Run::Stage::Starting ? Run::Stage::Sending : Run::Stage::SendingAgain,
                   total);
    });
    connect(job, &StoreJob::progress, run, [run](int done) { run->advance(done); });
    connect(job, &StoreJob::checkingStarted, run, [run] { run->enter(Run::Stage::Checking, run->total()); });
    connect(job, &StoreJob::roundChecked, run, [run](int lacking, int frames) {
        emit run->noted(lacking == 0 ? QStringLiteral("done, the unit holds all %1").arg(frames)
                                     : QStringLiteral("the unit lacks %1 of %2").arg(lacking).arg(frames));
    });
    connect(job, &StoreJob::finished, run, [this, run](StoreOutcome outcome, const QString &why) {
        RunResult r = RunResult::Of(Status_Of(outcome), why);
        r.store = outcome;
        r.checked = m_stores->checked();
        if (r.checked || outcome == StoreOutcome::NotTaken)
            r.items = m_stores->sentItems();
        run->finish(r);
    });
    if (!start())
        run->finish(RunResult::Of(RunResult::Status::Refused, QStringLiteral("nothing to store")));
    return begun(run);
}

Run *UnitSession::store(Part part, const config::Configuration &config, int passCount)
{
    Run *run = startStore([&] { return m_stores->store(part, config, passCount); });
    run->m_part = part;
    return begun(run);
}

Run *UnitSession::storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config)
{
    return startStore([&] { return m_stores->storeItems(items, config); });
}

Run *UnitSession::store(config::StorePlan plan, bool check)
{
    const int frames = static_cast<int>(plan.frames.size());
    Run *run = startStore([&] {
        return m_stores->start(std::move(plan), check ? StoreJob::Check::ReadBack : StoreJob::Check::None);
    });
    if (run->running())
        run->m_result.frames = frames;
    return begun(run);
}

} // namespace halvo::session
