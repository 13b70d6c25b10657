#include "cli_unit.h"

#include "datafile/data_file.h"
#include "port/port_catalogue.h"
#include "progress.h"
#include "session/connection.h"
#include "session/event_download.h"
#include "session/messages.h"
#include "session/read_job.h"
#include "session/store_job.h"
#include "session/support_log.h"
#include "session/unit_image.h"

#ifdef HALVO_HAS_RECORDS
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"
#endif

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace halvo::cli {

using config::Part;
namespace Msg = session::Msg;

int fail(int status, const QString &text)
{
    qCInfo(lcOperator).noquote() << "told" << text;
    Progress::sayFailure(text);
    return status;
}

void print(const QString &line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
}

port::PortCatalogue catalogue(const Options &o)
{
    port::PortCatalogue c;
    c.setExtraPorts(o.extraPorts);
    c.refresh();
    return c;
}

#ifdef HALVO_HAS_RECORDS
// The command line asks nobody: a new unit takes --unit-name, else its banner; a unit
// with a known banner met where nothing tells it apart is the one of that name.
class Unit::Answers : public recorder::RecordQuestions
{
public:
    explicit Answers(QString name) : m_name(std::move(name)) {}
    std::optional<QString> nameUnit(const QString &banner, const QStringList &sameBanner) override
    {
        if (!m_name.isEmpty())
            return m_name;
        if (!sameBanner.isEmpty()) // never one unit's history taken for another's
            return std::nullopt;
        return banner;
    }
    bool isThisUnit(const QString &name, const QString &banner) override
    {
        return name == (m_name.isEmpty() ? banner : m_name);
    }
    std::optional<QString> operatorName(const QString &offered) override { return offered; }

private:
    QString m_name;
};
#else
class Unit::Answers
{
};
#endif

Unit::Unit(const Options &o) : session(session::Serial_Seams(o.demoLink)), m_options(o)
{
    session.setConfiguration(&config);
    session::SessionTiming timing;
    timing.pauseScale = timing.eventScale = o.pauseScale;
    timing.readMs = timing.readBackMs = timing.pointerWaitMs = o.timeoutMs;
    session.setTiming(timing);
#ifdef HALVO_HAS_RECORDS
    if (!o.records.isEmpty()) {
        m_answers = std::make_unique<Answers>(o.unitName);
        m_recorder = std::make_unique<recorder::UnitRecorder>(session, *m_answers);
        m_recorder->setFolder(o.records);
        m_recorder->askWhichUnitForEvents(true); // answered from --unit-name, nobody is asked
        m_recorder->setAuthor(recorder::Author_Named(recorder::Operator_Name_For(o.operatorName)));
        // Said once the command is through, as its last lines.
        QObject::connect(m_recorder.get(), &recorder::UnitRecorder::recorded,
                         [this](const records::Recorded &, const QString &text) { m_recordLines << text; });
        QObject::connect(m_recorder.get(), &recorder::UnitRecorder::synced,
                         [this](bool ok, const QString &text, int) {
                             m_recordLines << (ok ? QString() : QStringLiteral("!")) + text;
                         });
        QObject::connect(m_recorder.get(), &recorder::UnitRecorder::notRecorded, [this](const QString &text) {
            m_recordLines << QStringLiteral("!") + text +
                                 (text.contains(QLatin1String("given no name"))
                                      ? QStringLiteral(" (--unit-name NAME names it)")
                                      : QString());
        });
    }
#endif
}

Unit::~Unit()
{
#ifdef HALVO_HAS_RECORDS
    if (!m_recorder)
        return;
    if (!waitUntil([this] { return m_recorder->idle(); }, 60000))
        m_recordLines << QStringLiteral("!not recorded: the records did not answer within a minute");
    for (const QString &line : std::as_const(m_recordLines))
        if (line.startsWith(QLatin1Char('!')))
            Progress::sayFailure(line.mid(1));
        else
            Progress::say(line);
#endif
}

// The one place halvo-cli waits: it sleeps in an event loop until done() holds or the
// time is up (no limit: a job that ends itself). Whatever ends the wait happens in an
// event, so done() is looked at each time the loop is about to sleep again, not after
// a call that handles "some" events: on Windows one such call may handle a timer and
// then sleep on, with nothing more to come from a silent unit.
bool Unit::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                         if (done())
                             loop.quit();
                     });
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (timeoutMs >= 0)
        deadline.start(timeoutMs);
    loop.exec();
    return done();
}

session::RunResult Unit::wait(session::Run *run)
{
    std::optional<session::RunResult> end;
    if (!run->running())
        end = run->result();
    else
        QObject::connect(run, &session::Run::finished, run, [&](const session::RunResult &r) { end = r; });
    waitUntil([&] { return end.has_value(); });
    return *end;
}

int Unit::connect()
{
    QString path = m_options.port;
    bool isNumber = false;
    const int number = m_options.port.toInt(&isNumber);
    if (isNumber) {
        const port::PortCatalogue c = catalogue(m_options);
        const port::PortEntry *e = c.find(number);
        if (!e)
            return fail(BadInput, QStringLiteral("there is no port %1 (see halvo-cli ports)").arg(number));
        path = e->path;
        Progress::say(QStringLiteral("port %1 is %2").arg(number).arg(path)); // for the script's log
    }
    using Result = session::Connection::Result;
    // Nothing is sent before the unit has said it is there.
    const session::RunResult end = wait(session.connectTo(path, m_options.timeoutMs));
    const Result result = end.connection;
    const QString &why = end.why;
    if (end.ok())
        return Ok;
    // A scheduled collection finds the window holding the port: not now, not a failure.
    if (result == Result::InUse && m_options.portHeldIsNotNow)
        return fail(PortHeld,
                    why.contains(QLatin1String("halvo-config (process"))
                        ? why + QStringLiteral(" The window holds it; its own collection runs there.")
                        : why);
    return fail(UnitFailed, session::Connection::Operator_Text(result, why, true));
}

QString Unit::failure() const
{
    return Msg::CommError + QStringLiteral(": the link to the unit broke");
}

// Reads the pass table, the settings and the location names into a fresh
// configuration, each part until two reads in a row agree: what becomes a record is
// what the unit sent twice alike.
std::optional<config::Configuration> readConfiguration(Unit &u, QString *why)
{
    Progress progress;
    u.config = config::Configuration();
    session::Run *run = u.session.read({Part::Passes, Part::Settings, Part::Locations},
                                       u.readOnce() ? session::UnitSession::Reads::Once
                                                    : session::UnitSession::Reads::UntilTwoAgree);
    auto stage = [&progress, run](session::Run::Stage now) {
        progress.stage((now == session::Run::Stage::Reading ? QStringLiteral("reading ")
                                                            : QStringLiteral("reading again ")) +
                           config::Part_Replies(run->part()),
                       run->total());
    };
    QObject::connect(run, &session::Run::stageChanged, run, stage);
    if (run->running() && run->stage() != session::Run::Stage::Starting)
        stage(run->stage()); // the first read went out as the run began
    QObject::connect(run, &session::Run::progressed, run,
                     [&progress](int arrived) { progress.step(arrived); });
    const session::RunResult end = u.wait(run);
    const bool ok = end.ok();
    *why = end.status == session::RunResult::Status::Refused ? Msg::CommError + QStringLiteral(": ") + end.why
                                                             : end.why;
    progress.finish(ok);
    if (ok)
        return u.config;
    return std::nullopt;
}

// Connects, then reads the whole configuration; a status other than Ok on failure.
int readUnit(Unit &u, std::optional<config::Configuration> &unit)
{
    if (const int status = u.connect())
        return status;
    QString why;
    unit = readConfiguration(u, &why);
    return unit ? Ok : fail(UnitFailed, why);
}

// Sends a plan, paced as the unit needs, then (check) reads the unit back and sends
// again what it lacks; waits until it is done.
int store(Unit &u, const config::StorePlan &plan, bool check)
{
    Progress progress;
    const int total = static_cast<int>(plan.frames.size());
    session::Run *run = u.session.store(plan, check);
    auto stage = [&progress, run](session::Run::Stage now) {
        if (now == session::Run::Stage::Checking) {
            progress.finish();
            progress.stage(QStringLiteral("checking what the unit holds"), run->total());
        } else {
            progress.stage(now == session::Run::Stage::Sending ? QStringLiteral("storing")
                                                               : QStringLiteral("sending again"),
                           run->total());
        }
    };
    QObject::connect(run, &session::Run::stageChanged, run, stage);
    if (run->running() && run->stage() != session::Run::Stage::Starting)
        stage(run->stage()); // the first frames went out as the run began
    QObject::connect(run, &session::Run::progressed, run,
                     [&progress, run](int i) { progress.step(i, run->msLeft()); });
    QObject::connect(run, &session::Run::noted, run,
                     [&progress](const QString &text) { progress.finish(text); });
    const session::RunResult end = u.wait(run);
    if (end.status == session::RunResult::Status::Refused)
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": ") + end.why);
    const session::StoreOutcome outcome = end.store;
    const QString &why = end.why;
    progress.finish(end.ok());
    switch (outcome) {
    case session::StoreOutcome::Done:
        Progress::say(end.checked
                          ? QStringLiteral("%1 frames sent and read back: the unit holds them all").arg(total)
                          : QStringLiteral("%1 frames sent, not checked").arg(total));
        return Ok;
    case session::StoreOutcome::NotTaken:
    case session::StoreOutcome::NoAnswer:
        return fail(UnitFailed, why);
    default:
        return fail(UnitFailed, u.session.linkLost() || why.isEmpty()
                                    ? u.failure()
                                    : Msg::CommError + QStringLiteral(": ") + why);
    }
}

int loadFile(const QString &path, config::Configuration &c)
{
    QString why;
    const auto records = datafile::Load_Whole_Configuration(path, &why);
    if (!records)
        return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
    datafile::Apply_Records(*records, c, datafile::Parameter0::Load);
    return Ok;
}

} // namespace halvo::cli
