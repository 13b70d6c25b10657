#pragma once
// What the subcommands share: reaching the unit through the session (waiting for
// its banner, reading parts whole, storing a plan) and saying what happened.

#include "cli_commands.h"
#include "config/configuration.h"
#include "config/store_plan.h"
#include "session/run.h"
#include "session/unit_session.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace halvo::port {
class PortCatalogue;
}
namespace halvo::recorder {
class UnitRecorder;
}

namespace halvo::cli {

class Progress;

// A line on standard error ("halvo-cli: ..."), and the status to exit with.
int fail(int status, const QString &text);
// A line on standard output.
void print(const QString &line);
port::PortCatalogue catalogue(const Options &o);

// A session to one unit and the configuration its replies fill. The command line
// starts the session's jobs and waits for their end, in one place.
class Unit
{
public:
    explicit Unit(const Options &o);
    // Waits for the records to take what the runs found, and says how they did: the
    // command's last line.
    ~Unit();
    Unit(const Unit &) = delete;
    Unit &operator=(const Unit &) = delete;
    // Runs events until done() holds (true) or timeoutMs pass (false; -1: no limit,
    // for a job that ends itself).
    bool waitUntil(const std::function<bool()> &done, int timeoutMs = -1);
    // Waits until run has ended, and says how.
    session::RunResult wait(session::Run *run);
    // Opens the port and waits for the unit's banner: nothing is sent before the unit
    // has said it is there.
    int connect();
    double pauseScale() const { return m_options.pauseScale; }
    bool readOnce() const { return m_options.readOnce; }
    // Why a job stopped on a broken link.
    QString failure() const;

    session::UnitSession session;
    config::Configuration config;

private:
    class Answers;
    const Options &m_options;
    std::unique_ptr<Answers> m_answers;
    std::unique_ptr<recorder::UnitRecorder> m_recorder;
    QStringList m_recordLines; // what the records said, failures marked "!"
};

// Reads the pass table, the settings and the location names into a fresh
// configuration, each part until two reads in a row agree.
std::optional<config::Configuration> readConfiguration(Unit &u, QString *why);
// Connects, then reads the whole configuration; a status other than Ok on failure.
int readUnit(Unit &u, std::optional<config::Configuration> &unit);
// A data file for restore, verify and records: all or nothing, and every part present.
int loadFile(const QString &path, config::Configuration &c);
// Sends a plan, paced as the unit needs, and waits until it is done; check: reads the
// unit back and sends again what it lacks, and succeeds only when the unit holds it all.
int store(Unit &u, const config::StorePlan &plan, bool check = true);

} // namespace halvo::cli
