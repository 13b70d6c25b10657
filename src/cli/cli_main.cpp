// halvo-cli: back up, restore and verify a base unit's configuration, download its
// event log, set its clock, make its configuration sheet and exchange its roster with
// a spreadsheet, from a script or a cron job.
#include "cli_commands.h"
#include "logging.h"
#include "progress.h"
#include "session/support_log.h"
#include "sim_link.h"
#include "sim_unit.h"
#ifdef HALVO_HAS_RECORDS
#include "recorder/records_place.h"
#endif

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

Q_LOGGING_CATEGORY(lcCli, "halvo.cli", QtWarningMsg)

using namespace halvo::cli;

namespace {
enum Needs { NoUnit, Unit, MaybeUnit };
struct Command
{
    const char *name;
    const char *summary;
    const char *arguments; // the positional arguments, as the help shows them
    int minArgs, maxArgs;
    Needs unit;
};
const Command Commands[] = {
    {"ports", "List the serial ports as the window numbers them.", "", 0, 0, NoUnit},
    {"backup", "Read the unit's configuration into a data file.", "FILE", 1, 1, Unit},
    {"restore", "Store a data file's configuration to the unit.", "FILE", 1, 1, Unit},
    {"verify", "Compare the unit's configuration with a data file.", "FILE", 1, 1, Unit},
    {"diff", "Compare two data files, one line per field that differs.", "A.csv B.csv", 2, 2, NoUnit},
    {"events",
     "Download the last pages of the event log (FILE - for standard output); with --new, only the "
     "pages the archive FILE does not hold yet (without FILE, the unit's archive in the records).",
     "[FILE]", 0, 1, Unit},
    {"clock", "Set the unit's clock from this computer's clock.", "", 0, 0, Unit},
    {"doctor", "Check what stands between this user and the serial devices.", "", 0, 0, NoUnit},
    {"sheet", "Make the configuration sheet (PDF) of a data file, or of the unit (--port, --demo).",
     "[DATAFILE] OUT.pdf", 1, 2, MaybeUnit},
    {"roster", "Export the pass roster of a data file as CSV, or import one into a data file.",
     "export DATAFILE OUT.csv | import DATAFILE ROSTER.csv OUT_DATAFILE", 3, 4, NoUnit},
    {"locations", "Export the location names of a data file as CSV, or import them into a data file.",
     "export DATAFILE OUT.csv | import DATAFILE NAMES.csv OUT_DATAFILE", 3, 4, NoUnit},
    {"support-file",
     "Write a support file: this computer, its ports, the connection to the unit (--port, --demo) and "
     "the log of this run.",
     "OUT.txt", 1, 1, MaybeUnit},
#ifdef HALVO_HAS_RECORDS
    {"units", "List the units in the records, each with its last version.", "", 0, 0, NoUnit},
    {"history",
     "List a unit's versions in the records; with --diff N M, the items two versions differ in; with --show "
     "N, "
     "write that version as a data file.",
     "UNIT [M | OUT.csv]", 1, 2, NoUnit},
    {"records",
     "Share the records through the department's remote: set it (remote URL: a bare repository's folder, "
     "file://, or https://) and sync, or sync (fetch, merge, push).",
     "remote URL | sync", 1, 2, NoUnit},
#endif
};

int usage(const QString &error = {})
{
    if (!error.isEmpty())
        std::fprintf(stderr, "halvo-cli: %s\n\n", qPrintable(error));
    std::fprintf(stderr,
                 "Usage: halvo-cli COMMAND [options]   (halvo-cli COMMAND --help for its options)\n\n");
    for (const Command &c : Commands)
        std::fprintf(stderr, "  %-12s %s\n", c.name, c.summary);
    std::fprintf(
        stderr,
        "\nExit status: 0 success, 1 the unit or port failed (doctor: a problem found), 2 bad "
        "arguments or a refused file, 3 verify or diff found differences, 4 events --new found the port "
        "held by another program.\n");
    return error.isEmpty() ? Ok : BadInput;
}

// Runs one parsed subcommand.
int run(const QString &verb, Options &o, const QCommandLineParser &p, const QStringList &args)
{
    const QString file = args.value(0);
    if (verb == QLatin1String("ports"))
        return ports(o);
    if (verb == QLatin1String("doctor")) {
        o.extraPorts += p.values(QStringLiteral("port"));
        return doctor(o, p.value(QStringLiteral("root")));
    }
    if (verb == QLatin1String("backup"))
        return backup(o, file);
    if (verb == QLatin1String("restore"))
        return restore(o, file,
                       {p.isSet(QStringLiteral("dry-run")), p.isSet(QStringLiteral("no-verify")),
                        p.isSet(QStringLiteral("changed-only"))});
    if (verb == QLatin1String("verify"))
        return verify(o, file);
    if (verb == QLatin1String("diff"))
        return diff(args.at(0), args.at(1));
    if (verb == QLatin1String("events")) {
        bool ok = false;
        const int n = p.value(QStringLiteral("pages")).toInt(&ok);
        if (p.isSet(QStringLiteral("pages")) && !ok)
            return usage(QStringLiteral("--pages takes a number"));
        o.portHeldIsNotNow = p.isSet(QStringLiteral("new"));
        if (p.isSet(QStringLiteral("new")))
            return newEvents(o, p.isSet(QStringLiteral("pages")) ? std::optional<int>(n) : std::nullopt, file,
                             p.isSet(QStringLiteral("append-anyway")));
        if (file.isEmpty())
            return usage(QStringLiteral("events needs FILE (- for standard output)"));
        if (!p.isSet(QStringLiteral("pages")))
            return usage(QStringLiteral("events needs --pages N"));
        return events(o, n, file);
    }
    if (verb == QLatin1String("sheet")) {
        const QString size = p.value(QStringLiteral("page-size")).toLower();
        if (size != QLatin1String("a4") && size != QLatin1String("letter"))
            return usage(QStringLiteral("--page-size takes a4 or letter"));
        if ((args.size() == 2) == !o.port.isEmpty())
            return usage(QStringLiteral("sheet takes DATAFILE OUT.pdf, or OUT.pdf with --port or --demo"));
        return sheet(o, args.size() == 2 ? args.at(0) : QString(), args.last(),
                     size == QLatin1String("letter"));
    }
    if (verb == QLatin1String("clock"))
        return clock(o);
#ifdef HALVO_HAS_RECORDS
    if (verb == QLatin1String("units"))
        return units(o);
    if (verb == QLatin1String("records"))
        return shareRecords(o, args);
    if (verb == QLatin1String("history")) {
        HistoryHow how;
        bool ok = true;
        if (p.isSet(QStringLiteral("diff"))) {
            const int m = args.value(1).toInt(&ok);
            const int n = p.value(QStringLiteral("diff")).toInt(&ok) * (ok ? 1 : 0);
            if (!ok || args.size() != 2 || !n || !m)
                return usage(QStringLiteral("--diff takes two version numbers: history UNIT --diff N M"));
            how.diff = std::pair{n, m};
        } else if (p.isSet(QStringLiteral("show"))) {
            how.show = p.value(QStringLiteral("show")).toInt(&ok);
            if (!ok || args.size() != 2)
                return usage(QStringLiteral(
                    "--show takes a version number and a file: history UNIT --show N OUT.csv"));
            how.out = args.at(1);
        } else if (args.size() != 1) {
            return usage(QStringLiteral("history takes UNIT, with --diff N M or --show N OUT.csv"));
        }
        return history(o, file, how);
    }
#endif
    if (verb == QLatin1String("support-file")) {
        const bool include = p.isSet(QStringLiteral("include-configuration"));
        if (include && o.port.isEmpty())
            return usage(QStringLiteral("--include-configuration reads the unit: give --port or --demo"));
        o.extraPorts += p.values(QStringLiteral("port")); // listed with the system's ports
        return supportFile(o, file, include);
    }
    const QString how = args.value(0);
    const bool import = how == QLatin1String("import");
    if ((how != QLatin1String("export") && !import) || args.size() != (import ? 4 : 3))
        return usage(QStringLiteral("%1 takes export DATAFILE OUT.csv, or import DATAFILE CSV OUT_DATAFILE")
                         .arg(verb));
    const Records what = verb == QLatin1String("roster") ? Records::Roster : Records::Locations;
    return import ? importRecords(what, args.at(1), args.at(2), args.at(3))
                  : exportRecords(what, args.at(1), args.at(2));
}
} // namespace

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    // Standard output carries data (event lines ending CR LF, frames, CSV): byte for
    // byte as on Linux, never translated.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stdin), _O_BINARY);
#endif
    // The sheet is drawn with fonts, which takes a graphical application; none is shown.
    const bool drawing = argc > 1 && qstrcmp(argv[1], "sheet") == 0;
#ifndef Q_OS_WIN
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // Every line of the run's log is kept from the start, for a support file.
    halvo::session::support_log::Install();
    std::unique_ptr<QCoreApplication> app(drawing ? new QGuiApplication(argc, argv)
                                                  : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("halvo-cli"));
    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.at(1) == QLatin1String("--help") || args.at(1) == QLatin1String("-h"))
        return usage();
    const QString name = args.at(1);
    const Command *command = nullptr;
    for (const Command &c : Commands)
        if (name == QLatin1String(c.name))
            command = &c;
    if (!command)
        return usage(QStringLiteral("unknown command \"%1\"").arg(name));
    args.removeAt(1);

    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(command->summary));
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption port("port", "The unit's device PATH, or its port NUMBER as \"ports\" lists it.",
                                  "port");
    const QCommandLineOption demo("demo", "Run against the built-in simulated unit.");
    const QCommandLineOption timeout("timeout", "Seconds to wait for the unit's banner and for each read.",
                                     "seconds", "25");
    QCommandLineOption pace("pause-scale", "Scale the pacing (tests).", "factor", "1");
    pace.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption quiet("quiet", "Print nothing but failures (a scheduled run).");
    const QCommandLineOption log(
        "log", "Write every line of this run's log to FILE as it happens (appended).", "file");
    QCommandLineOption readOnce("read-once", "Read each part once, unchecked (the benchmark's yardstick).");
    readOnce.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOptions({help, demo, pace, readOnce, quiet, log});
    const QString verb = QString::fromLatin1(command->name);
    if (command->unit != NoUnit || verb == QLatin1String("doctor"))
        p.addOption(port);
    if (command->unit != NoUnit)
        p.addOption(timeout);
    if (verb == QLatin1String("doctor"))
        p.addOption({"root", "Check the system whose /dev, /sys, /proc and /etc are under DIR.", "dir", "/"});
    if (verb == QLatin1String("events")) {
        p.addOption({"pages", "How many pages of events, 1 to 32479.", "n"});
        p.addOption({"new", "FILE is an archive: append only the pages it does not hold yet (--pages for the "
                            "first time)."});
        p.addOption({"append-anyway", "With --new: append even when the page read again is not the page the "
                                      "archive ends with, or the archive names another unit."});
    }
    if (verb == QLatin1String("restore")) {
        p.addOption({"dry-run", "Print the frames a restore would send; send nothing."});
        p.addOption({"verify", "Read the unit back after the restore and send again what it lacks (the "
                               "default)."});
        p.addOption({"no-verify", "Send only; the unit is not read back (\"sent, not checked\")."});
        p.addOption(
            {"changed-only", "Read the unit first and send only the frames that differ from the file."});
    }
    if (verb == QLatin1String("sheet"))
        p.addOption({"page-size", "a4 or letter.", "size", "a4"});
    if (verb == QLatin1String("support-file"))
        p.addOption({"include-configuration",
                     "Read the unit's configuration into the file, pass user names and "
                     "location names with it (left out otherwise)."});
#ifdef HALVO_HAS_RECORDS
    // What reads or stores a unit records it, unless told not to; every command finds
    // the records where it is told.
    const bool records = verb == QLatin1String("units") || verb == QLatin1String("history") ||
                         verb == QLatin1String("records");
    const bool recording = verb == QLatin1String("backup") || verb == QLatin1String("restore") ||
                           verb == QLatin1String("sheet") || verb == QLatin1String("events");
    const QCommandLineOption recordsAt("records",
                                       "The records' folder (else HALVO_RECORDS, else the window's).", "dir");
    p.addOption(recordsAt);
    if (recording) {
        p.addOption({"no-records", "Record nothing of this run."});
        p.addOption(
            {"unit-name", "The name a unit new to the records is kept by (its banner otherwise).", "name"});
        p.addOption({"operator",
                     "Who the records name for this run's versions (else HALVO_OPERATOR, else the "
                     "name kept on this PC, else the login's full name).",
                     "name"});
    }
    if (verb == QLatin1String("history")) {
        p.addOption({"diff", "The items version N and version M differ in.", "N"});
        p.addOption({"show", "Write version N as a data file.", "N"});
    }
#endif
    if (command->maxArgs > 0)
        p.addPositionalArgument(QString::fromLatin1(command->arguments), QString());
    if (!p.parse(args))
        return usage(p.errorText());
    if (p.isSet(help)) {
        std::fprintf(stdout, "%s",
                     qPrintable(p.helpText().replace(QStringLiteral("halvo-cli"),
                                                     QStringLiteral("halvo-cli ") + verb)));
        return Ok;
    }
    const QStringList positional = p.positionalArguments();
    if (positional.size() < command->minArgs || positional.size() > command->maxArgs)
        return usage(command->maxArgs == 0
                         ? QStringLiteral("%1 takes no file").arg(verb)
                         : QStringLiteral("%1 takes %2").arg(verb, QLatin1String(command->arguments)));

    halvo::cli::Progress::setQuiet(p.isSet(quiet));
    if (p.isSet(log)) {
        QString why;
        if (!halvo::session::support_log::Install(p.value(log), &why))
            return usage(QStringLiteral("cannot write the log to %1: %2").arg(p.value(log), why));
    }
    Options o;
    bool ok = true;
    if (command->unit != NoUnit) {
        o.timeoutMs = static_cast<int>(p.value(timeout).toDouble(&ok) * 1000);
        if (!ok || o.timeoutMs <= 0)
            return usage(QStringLiteral("--timeout takes a number of seconds"));
    }
    o.readOnce = p.isSet(readOnce);
    o.pauseScale = p.value(pace).toDouble(&ok);
    if (!ok || o.pauseScale < 0)
        return usage(QStringLiteral("--pause-scale takes a factor"));
    // The demo unit runs inside the tool, on every system.
    std::unique_ptr<halvo::sim::SimUnit> unit;
    if (p.isSet(demo)) {
        unit = std::make_unique<halvo::sim::SimUnit>();
        unit->setBannerInterval(1000); // a script need not wait the real unit's 3 s for its first banner
        o.demoLink = [&unit] { return std::make_unique<halvo::sim::SimLink>(*unit); };
        o.extraPorts = {halvo::sim::SimLink::Demo_Path()};
        o.port = halvo::sim::SimLink::Demo_Path();
    }
    if (command->unit != NoUnit && p.isSet(port))
        o.port = p.value(port);
#ifdef HALVO_HAS_RECORDS
    if (records || recording)
        o.records = halvo::recorder::Records_Folder_For(p.value(recordsAt),
                                                        recording && p.isSet(QStringLiteral("no-records")));
    if (recording) {
        o.operatorName = p.value(QStringLiteral("operator"));
        o.unitName = p.value(QStringLiteral("unit-name"));
    }
#endif
    const bool dryRunOnly = verb == QLatin1String("restore") && p.isSet(QStringLiteral("dry-run")) &&
                            !p.isSet(QStringLiteral("changed-only"));
    if (command->unit == Unit && o.port.isEmpty() && !dryRunOnly)
        return usage(QStringLiteral("%1 needs --port (or --demo)").arg(verb));

    qCInfo(lcCli).noquote() << verb << args.mid(1).join(QLatin1Char(' '));
    const int status = run(verb, o, p, positional);
    qCInfo(lcCli).noquote() << verb << "ended with status" << status;
    return status;
}
