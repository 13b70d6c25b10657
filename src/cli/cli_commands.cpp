// The subcommands of halvo-cli: each parses nothing and prints what it did; the
// unit is reached through the session, the data through the configuration model
// and the data file.
#include "cli_commands.h"

#include "config/differences.h"
#include "config/store_plan.h"
#include "datafile/data_file.h"
#include "port/doctor.h"
#include "port/port_catalogue.h"
#include "progress.h"
#include "session/messages.h"
#include "session/unit_session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace halvo::cli {

namespace {
using config::Configuration;
using session::ReadPart;
namespace Msg = session::Msg;

int fail(int status, const QString &text)
{
    Progress::say(text);
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

// A session to one unit, the configuration its replies fill, and what went wrong.
// Waits sleep in the event loop.
class Unit
{
public:
    explicit Unit(const Options &o) : m_options(o)
    {
        session.setConfiguration(&config);
        session.setPauseScale(o.pauseScale);
        QObject::connect(&session, &session::UnitSession::notice, &m_guard,
                         [this](session::Notice what, const QString &detail) {
                             if (what == session::Notice::TerminatorError)
                                 ++damaged;
                             else if (refused.isEmpty())
                                 refused = detail;
                         });
    }

    // Runs events until done() holds (true), or a reply is refused, the link breaks,
    // or the timeout passes (false).
    bool waitFor(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(m_options.timeoutMs);
        while (!done()) {
            if (session.linkLost() || !refused.isEmpty() || deadline.hasExpired())
                return false;
            sleepUntilEvent(deadline);
        }
        return true;
    }
    void pause(int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired())
            sleepUntilEvent(deadline);
    }

    // Opens the port and waits for the unit's banner: nothing is sent before the unit
    // has said it is there.
    int connect()
    {
        QString path = m_options.port;
        bool isNumber = false;
        const int number = m_options.port.toInt(&isNumber);
        if (isNumber) {
            const port::PortCatalogue c = catalogue(m_options);
            const port::PortEntry *e = c.find(number);
            if (!e)
                return fail(BadInput,
                            QStringLiteral("there is no port %1 (see halvo-cli ports)").arg(number));
            path = e->path;
            Progress::say(QStringLiteral("port %1 is %2").arg(number).arg(path)); // for the script's log
        }
        QString why;
        switch (session.open(path, &why)) {
        case session::OpenResult::Opened:
            break;
        case session::OpenResult::InUse:
        case session::OpenResult::NoPermission:
            return fail(UnitFailed, why);
        case session::OpenResult::Failed:
            return fail(UnitFailed, Msg::CommError + QStringLiteral(": ") + why);
        }
        if (!waitFor([&] { return !session.unitId().isEmpty(); }))
            return fail(UnitFailed,
                        Msg::CommError + QStringLiteral(": no base unit announced itself on %1 within %2 s")
                                             .arg(path)
                                             .arg(m_options.timeoutMs / 1000));
        return Ok;
    }

    double pauseScale() const { return m_options.pauseScale; }

    QString failure() const
    {
        if (session.linkLost())
            return Msg::CommError + QStringLiteral(": the link to the unit broke");
        return Msg::CommError + QStringLiteral(": ") + refused;
    }

    session::UnitSession session;
    Configuration config;
    QString refused; // why a reply could not be placed
    int damaged = 0; // reply frames with a wrong terminator

private:
    // Sleeps until an event arrives or the deadline passes. The wake-up timer is
    // precise and re-armed for what is left: a coarse one may fire a little early
    // and leave the wait blocked with nothing more to come from a silent unit.
    static void sleepUntilEvent(const QDeadlineTimer &deadline)
    {
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    const Options &m_options;
    QObject m_guard;
};

// Sends a read and waits until every reply is in; names what is missing otherwise.
bool readPart(Unit &u, Progress &progress, ReadPart part, const QString &what, QString *why)
{
    const int expected = session::UnitSession::Expected(part);
    progress.stage(QStringLiteral("reading ") + what, expected);
    if (!u.session.read(part)) {
        *why = Msg::CommError + QStringLiteral(": the port refused the read request");
        return false;
    }
    const bool complete = u.waitFor([&] {
        progress.step(u.session.arrived(part));
        return u.session.arrived(part) == expected;
    });
    progress.finish(complete);
    if (complete)
        return true;
    if (u.session.linkLost() || !u.refused.isEmpty())
        *why = u.failure();
    else
        *why = QStringLiteral("%1 of %2 %3 arrived; missing: %4%5")
                   .arg(u.session.arrived(part))
                   .arg(expected)
                   .arg(what, u.session.missing(part).join(QStringLiteral(", ")),
                        u.damaged ? QStringLiteral(" (%1 arrived damaged: ").arg(u.damaged) +
                                        Msg::TerminatorError.trimmed() + QLatin1Char(')')
                                  : QString());
    return false;
}

// Reads the pass table, the settings and the location names into a fresh
// configuration.
std::optional<Configuration> readConfiguration(Unit &u, QString *why)
{
    Progress progress;
    u.config = Configuration();
    if (readPart(u, progress, ReadPart::Passes, QStringLiteral("pass records"), why) &&
        readPart(u, progress, ReadPart::Settings, QStringLiteral("settings pages"), why) &&
        readPart(u, progress, ReadPart::Locations, QStringLiteral("location names"), why))
        return u.config;
    return std::nullopt;
}

// A data file for restore or verify: all or nothing, and every part present.
int loadFile(const QString &path, Configuration &c)
{
    QString why;
    const auto records = datafile::Load_Data_File(path, &why);
    if (!records)
        return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
    int passCount = 0, locations = 0, settingsRecords = 0;
    for (const auto &r : *records) {
        passCount += std::holds_alternative<datafile::PassData>(r);
        locations += std::holds_alternative<datafile::LocationData>(r);
        settingsRecords += std::holds_alternative<datafile::SettingsData>(r);
    }
    if (passCount < config::PassCount || locations < config::LocationCount || settingsRecords < 1)
        return fail(BadInput,
                    Msg::LoadFileError +
                        QStringLiteral(": the file holds %1 pass, %2 location and %3 settings records, "
                                       "not a whole configuration")
                            .arg(passCount)
                            .arg(locations)
                            .arg(settingsRecords));
    datafile::Apply_Records(*records, c, datafile::Parameter0::Load);
    return Ok;
}

// Connects, then reads the whole configuration; a status other than Ok on failure.
int readUnit(Unit &u, std::optional<Configuration> &unit)
{
    if (const int status = u.connect())
        return status;
    QString why;
    unit = readConfiguration(u, &why);
    return unit ? Ok : fail(UnitFailed, why);
}

int compare(const Configuration &unit, const Configuration &file)
{
    const auto differences = config::Differences(unit, file);
    for (const config::Difference &d : differences)
        print(config::Difference_Line(d, QStringLiteral("unit"), QStringLiteral("file")));
    if (differences.empty()) {
        Progress::say(QStringLiteral("the unit holds what the file holds"));
        return Ok;
    }
    Progress::say(QStringLiteral("the unit and the file differ in %1 fields").arg(differences.size()));
    return Different;
}

// Sends a plan, paced as the unit needs, and waits until it is done.
int store(Unit &u, const config::StorePlan &plan)
{
    Progress progress;
    const int total = static_cast<int>(plan.frames.size());
    progress.stage(QStringLiteral("storing"), total);
    int sent = 0;
    bool done = false, ok = false;
    QObject guard;
    // The unit's pacing makes the time left exact: the pauses still to come.
    std::vector<qint64> pausesFrom(plan.frames.size() + 1, 0);
    for (size_t i = plan.frames.size(); i-- > 0;)
        pausesFrom[i] = pausesFrom[i + 1] + session::PacedStore::Kept_Pause_Ms(plan.frames[i].pauseMs);
    QObject::connect(&u.session, &session::UnitSession::storeProgress, &guard, [&](int i) {
        progress.step(i, static_cast<qint64>(double(pausesFrom[static_cast<size_t>(i)]) * u.pauseScale()));
        sent = i;
    });
    QObject::connect(&u.session, &session::UnitSession::storeFinished, &guard,
                     [&](session::StoreOutcome outcome) {
                         done = true;
                         ok = outcome == session::StoreOutcome::Done;
                         sent = ok ? total : sent;
                     });
    if (!u.session.startStore(plan))
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": the port is closed"));
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    progress.finish(ok);
    if (!ok)
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": %1 of %2 frames sent").arg(sent).arg(total));
    Progress::say(QStringLiteral("%1 frames sent").arg(sent));
    return Ok;
}
} // namespace

int Ports(const Options &o)
{
    for (const port::PortEntry &e : catalogue(o).openable())
        print(port::PortCatalogue::Port_Entry_Text(e.number) + QLatin1Char('\t') +
              port::PortCatalogue::Port_Details(e));
    return Ok;
}

int Backup(const Options &o, const QString &file)
{
    Unit u(o);
    std::optional<Configuration> config;
    if (const int status = readUnit(u, config))
        return status; // no file written
    QString why;
    const auto content = datafile::Build_Data_File(*config, &why);
    if (!content || !datafile::Save_Data_File(file, *content, &why))
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
    Progress::say(QStringLiteral("configuration saved to %1").arg(file));
    return Ok;
}

int Restore(const Options &o, const QString &file, const RestoreHow &how)
{
    Configuration c;
    if (const int status = loadFile(file, c))
        return status;
    QString why;
    auto plan = config::Restore_Plan(c, &why);
    if (!plan)
        return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
    Unit u(o);
    if (how.changedOnly) {
        // Only the frames whose content the unit does not hold already.
        std::optional<Configuration> unit;
        if (const int status = readUnit(u, unit))
            return status;
        const auto unitPlan = config::Restore_Plan(*unit, &why);
        if (!unitPlan)
            return fail(UnitFailed, Msg::CommError + QStringLiteral(": ") + why);
        plan = config::Changed_Frames(*plan, *unitPlan);
        if (plan->frames.empty()) {
            Progress::say(QStringLiteral("the unit holds what the file holds: nothing to send"));
            return Ok;
        }
        Progress::say(QStringLiteral("%1 frames differ from the unit").arg(plan->frames.size()));
    }
    if (how.dryRun) {
        for (const config::PacedFrame &f : plan->frames)
            print(QString::fromLatin1(f.bytes.toHex(' ').toUpper()));
        return Ok;
    }
    if (!how.changedOnly)
        if (const int status = u.connect())
            return status;
    if (const int status = store(u, *plan))
        return status;
    if (!how.verify)
        return Ok;
    // The unit never acknowledges a store: reading it back is the only proof.
    const auto unit = readConfiguration(u, &why);
    if (!unit)
        return fail(UnitFailed, why);
    return compare(*unit, c);
}

int Verify(const Options &o, const QString &file)
{
    Configuration c;
    if (const int status = loadFile(file, c))
        return status;
    Unit u(o);
    std::optional<Configuration> unit;
    if (const int status = readUnit(u, unit))
        return status;
    return compare(*unit, c);
}

int Events(const Options &o, int pages, const QString &file)
{
    if (!eventlog::Page_Count_Ok(QString::number(pages)))
        return fail(BadInput, QStringLiteral("--pages takes 1 to %1").arg(eventlog::RingPages - 1));
    const bool toStdout = file == QStringLiteral("-");
    QString why;
    // The operator's earlier log stays as it is until the unit has answered: here the
    // file is only checked, not created or emptied.
    if (!toStdout && !eventlog::Can_Write_File(file, &why))
        return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
    Unit u(o);
    session::UnitSession &s = u.session;
    if (const int status = u.connect())
        return status;

    int lines = 0;
    bool writeFailed = false;
    QElapsedTimer sinceLine;
    sinceLine.start();
    QObject guard;
    QObject::connect(&s, &session::UnitSession::eventLine, &guard, [&] {
        sinceLine.restart();
        ++lines;
    });
    QObject::connect(&s, &session::UnitSession::filingFailed, &guard, [&] { writeFailed = true; });

    Progress progress;
    progress.stage(QStringLiteral("event pages"), pages);
    int requested = 0;
    bool lastSent = false;
    QElapsedTimer waitingForPointer;
    s.startEventLogRead();
    while (true) {
        u.pause(static_cast<int>(s.eventLogger().intervalMs() * o.pauseScale));
        if (s.linkLost() || writeFailed)
            break;
        if (s.eventLogger().state() == eventlog::EventLogger::State::Plan) {
            // Plan only with the pointer the unit gave; the file is opened once it has.
            if (!s.lastPointer()) {
                if (!waitingForPointer.isValid())
                    waitingForPointer.start();
                if (waitingForPointer.elapsed() > o.timeoutMs)
                    return fail(UnitFailed,
                                Msg::CommError +
                                    QStringLiteral(": the unit did not answer the pointer request"));
                continue;
            }
            const bool open = toStdout ? s.startFilingToStandardOutput() : s.startFiling(file, &why);
            if (!open)
                return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
        }
        const auto a = s.eventLoggerTick(s.lastPointer().value_or(0), pages);
        if (!a)
            break;
        if (a->kind == eventlog::EventLogger::Action::Kind::ReadPages) {
            requested += a->count;
            progress.step(requested);
            lastSent = s.eventLogger().state() == eventlog::EventLogger::State::Idle;
            sinceLine.restart();
        }
        // Done once the last chunk is asked for and the unit has been quiet as long as
        // the logger waits between chunks.
        if (lastSent && double(sinceLine.elapsed()) >= o.pauseScale *
                                                           eventlog::EventLogger::QuietTicksBeforeChunk *
                                                           eventlog::EventLogger::PacedIntervalMs)
            break;
    }
    progress.finish(!writeFailed && !s.linkLost() && lastSent);
    if (writeFailed)
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": %1").arg(file));
    if (s.linkLost() || !lastSent)
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": the link broke; %1 event lines (%2 pages) "
                                                                "arrived and are kept")
                                                     .arg(lines)
                                                     .arg(lines / eventlog::EventsPerPage));
    Progress::say(QStringLiteral("%1 event lines from %2 pages").arg(lines).arg(pages));
    return Ok;
}

int Clock(const Options &o)
{
    Unit u(o);
    if (const int status = u.connect())
        return status;
    const QDateTime now = QDateTime::currentDateTime();
    if (!u.session.setClock(now))
        return fail(UnitFailed, Msg::CommError);
    u.pause(50); // let the frame leave before the port closes
    Progress::say(QStringLiteral("clock set to ") + now.toString(QStringLiteral("MM/dd/yy HH:mm:ss")));
    return Ok;
}

int Doctor(const Options &o, const QString &root)
{
    const port::SystemSnapshot system(root);
    QList<port::PortEntry> ports;
    if (root == QLatin1String("/")) {
        ports = catalogue(o).entries(); // the ports as the tool lists them
    } else {
        QList<port::PortEntry> found;
        for (const QString &path : system.usbSerialDevices())
            found.append({0, path, {}});
        ports = port::PortCatalogue::Number_Ports(o.extraPorts, found);
    }
    const port::ComputerCheck check = port::Check_Computer(system, ports);
    for (const QString &line : check.lines)
        print(line);
    return check.problems == 0 ? Ok : UnitFailed;
}

} // namespace halvo::cli
