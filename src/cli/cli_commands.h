#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace halvo::port {
class Link;
}

namespace halvo::cli {

// Exit status of every subcommand.
enum Exit : int {
    Ok = 0,
    UnitFailed = 1, // the unit or the port failed
    BadInput = 2,   // bad arguments, or a file that is refused
    Different = 3,  // verify or diff found differences
    PortHeld = 4,   // events --new: another program holds the port (not now, not a failure)
};

struct Options
{
    QString port;                  // a device path, or a port number as "ports" lists it
    QStringList extraPorts;        // listed first (the demo unit)
    int timeoutMs = 25000;         // for the unit's banner and for each read
    double pauseScale = 1.0;       // tests shorten the pacing of stores and log reads
    bool readOnce = false;         // records read once, not until two reads agree (benchmarks)
    bool portHeldIsNotNow = false; // a port another program holds ends with PortHeld
    // The records: the folder (empty records nothing), who records, and the name a unit
    // met for the first time is kept by (its banner when empty).
    QString records;
    QString operatorName;
    QString unitName;
    // The demo unit inside the tool, opened as "demo".
    std::function<std::unique_ptr<port::Link>()> demoLink;
};

int ports(const Options &o);
int backup(const Options &o, const QString &file);
struct RestoreHow
{
    bool dryRun = false;      // print the frames, send nothing
    bool noVerify = false;    // send only: the unit is not read back
    bool changedOnly = false; // read the unit first and send only what differs
};
int restore(const Options &o, const QString &file, const RestoreHow &how);
int verify(const Options &o, const QString &file);
// Two data files compared, one line per field that differs, as verify words them.
int diff(const QString &first, const QString &second);
int events(const Options &o, int pages, const QString &file);
// Only the pages archive does not hold yet, appended to it; pages for a first download.
// No archive: the unit's own in the records, once it has announced itself.
// An archive of another unit, or whose last page the unit no longer holds, is refused
// (exit 2) unless appendAnyway.
int newEvents(const Options &o, std::optional<int> pages, QString archive, bool appendAnyway = false);
int clock(const Options &o);
// Checks what stands between this user and the serial devices; root is "/" or a
// folder that holds a snapshot of a system's /dev, /sys, /proc and /etc.
int doctor(const Options &o, const QString &root);
// A support file: this computer, its ports, the connection to the unit (--port,
// --demo) and the log of this run; with includeConfiguration the unit's configuration
// is read into it, staff names and all. Written even when the unit fails, whose status
// is returned after it.
int supportFile(const Options &o, const QString &file, bool includeConfiguration);
// The configuration sheet of a data file, or of the unit when dataFile is empty.
int sheet(const Options &o, const QString &dataFile, const QString &pdf, bool letter);
// The roster (or the location names) of a data file as CSV, and a CSV applied to a
// data file, written as another.
enum class Records { Roster, Locations };
int exportRecords(Records what, const QString &dataFile, const QString &csv);
int importRecords(Records what, const QString &dataFile, const QString &csv, const QString &outFile);
// The units in the records, one line each with its last version.
int units(const Options &o);
// A unit's versions, newest first; with diff, the items two versions differ in
// (Different when they do); with show, one version written as a data file.
struct HistoryHow
{
    std::optional<std::pair<int, int>> diff;
    std::optional<int> show;
    QString out;
};
int history(const Options &o, const QString &unit, const HistoryHow &how);
// records remote URL: the department's remote, then a sync; records sync.
int shareRecords(const Options &o, const QStringList &args);

} // namespace halvo::cli
