#include "cli_unit.h"

#include "datafile/data_file.h"
#include "port/link_switch.h"
#include "port/port_catalogue.h"
#include "progress.h"
#include "session/event_download.h"
#include "session/messages.h"
#include "session/receive_path.h"
#include "session/store_job.h"
#include "session/unit_image.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <cstdio>

namespace halvo::cli {

using config::Part;
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

namespace {
// Sleeps until an event arrives or the deadline passes. The wake-up timer is precise
// and re-armed for what is left: a coarse one may fire a little early and leave the
// wait blocked with nothing more to come from a silent unit.
void sleepUntilEvent(const QDeadlineTimer &deadline)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
} // namespace

namespace {
// The serial link, and the demo unit's when there is one.
session::SessionSeams seams(const Options &o)
{
    auto links = std::make_unique<port::LinkSwitch>(port::Make_Serial_Link());
    if (o.demoLink)
        links->add(port::Demo_Port(), o.demoLink());
    return {std::move(links), {}};
}
} // namespace

Unit::Unit(const Options &o) : session(seams(o)), m_options(o)
{
    session.setConfiguration(&config);
    session.stores().setPauseScale(o.pauseScale);
    session.events().setPauseScale(o.pauseScale);
    QObject::connect(&session, &session::UnitSession::notice, &m_guard,
                     [this](session::Notice what, const QString &detail) {
                         if (what == session::Notice::TerminatorError)
                             ++damaged;
                         else if (refused.isEmpty())
                             refused = detail;
                     });
}

bool Unit::waitFor(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(m_options.timeoutMs);
    while (!done()) {
        if (session.linkLost() || !refused.isEmpty() || deadline.hasExpired())
            return false;
        sleepUntilEvent(deadline);
    }
    return true;
}

void Unit::pause(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        sleepUntilEvent(deadline);
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
    if (!waitFor([&] { return !session.receive().unitId().isEmpty(); }))
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": no base unit announced itself on %1 within %2 s")
                                         .arg(path)
                                         .arg(m_options.timeoutMs / 1000));
    return Ok;
}

QString Unit::failure() const
{
    if (session.linkLost())
        return Msg::CommError + QStringLiteral(": the link to the unit broke");
    return Msg::CommError + QStringLiteral(": ") + refused;
}

bool readPart(Unit &u, Progress &progress, Part part, const QString &what, QString *why)
{
    const session::UnitImage &image = u.session.image();
    const int expected = session::UnitImage::Expected(part);
    progress.stage(QStringLiteral("reading ") + what, expected);
    if (!u.session.read(part)) {
        *why = Msg::CommError + QStringLiteral(": the port refused the read request");
        return false;
    }
    const bool complete = u.waitFor([&] {
        progress.step(image.arrived(part));
        return image.arrived(part) == expected;
    });
    progress.finish(complete);
    if (complete)
        return true;
    if (u.session.linkLost() || !u.refused.isEmpty())
        *why = u.failure();
    else
        *why = QStringLiteral("%1 of %2 %3 arrived; missing: %4%5")
                   .arg(image.arrived(part))
                   .arg(expected)
                   .arg(what, image.missing(part).join(QStringLiteral(", ")),
                        u.damaged ? QStringLiteral(" (%1 arrived damaged: ").arg(u.damaged) +
                                        Msg::TerminatorError.trimmed() + QLatin1Char(')')
                                  : QString());
    return false;
}

// Reads the pass table, the settings and the location names into a fresh
// configuration.
std::optional<config::Configuration> readConfiguration(Unit &u, QString *why)
{
    Progress progress;
    u.config = config::Configuration();
    if (readPart(u, progress, Part::Passes, QStringLiteral("pass records"), why) &&
        readPart(u, progress, Part::Settings, QStringLiteral("settings pages"), why) &&
        readPart(u, progress, Part::Locations, QStringLiteral("location names"), why))
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
    QObject::connect(&u.session.stores(), &session::StoreJob::progress, &guard, [&](int i) {
        progress.step(i, static_cast<qint64>(double(pausesFrom[static_cast<size_t>(i)]) * u.pauseScale()));
        sent = i;
    });
    QObject::connect(&u.session.stores(), &session::StoreJob::finished, &guard,
                     [&](session::StoreOutcome outcome) {
                         done = true;
                         ok = outcome == session::StoreOutcome::Done;
                         sent = ok ? total : sent;
                     });
    if (!u.session.stores().start(plan))
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

int loadFile(const QString &path, config::Configuration &c)
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

} // namespace halvo::cli
