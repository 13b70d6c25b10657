// halvo-cli: back up, restore and verify a base unit's configuration, download its
// event log and set its clock, from a script or a cron job.
#include "cli_commands.h"
#include "logging.h"
#include "sim_unit.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

Q_LOGGING_CATEGORY(lcCli, "halvo.cli", QtWarningMsg)

using namespace halvo::cli;

namespace {
struct Command
{
    const char *name;
    const char *summary;
    const char *arguments; // the positional file argument, if any
};
const Command Commands[] = {
    {"ports", "List the serial ports as the window numbers them.", nullptr},
    {"backup", "Read the unit's configuration into a data file.", "FILE"},
    {"restore", "Store a data file's configuration to the unit.", "FILE"},
    {"verify", "Compare the unit's configuration with a data file.", "FILE"},
    {"events",
     "Download the last pages of the event log (FILE - for standard output); with --new, only the "
     "pages the archive FILE does not hold yet.",
     "FILE"},
    {"clock", "Set the unit's clock from this computer's clock.", nullptr},
    {"doctor", "Check what stands between this user and the serial devices.", nullptr},
};

int usage(const QString &error = {})
{
    if (!error.isEmpty())
        std::fprintf(stderr, "halvo-cli: %s\n\n", qPrintable(error));
    std::fprintf(stderr,
                 "Usage: halvo-cli COMMAND [options]   (halvo-cli COMMAND --help for its options)\n\n");
    for (const Command &c : Commands)
        std::fprintf(stderr, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(stderr,
                 "\nExit status: 0 success, 1 the unit or port failed (doctor: a problem found), 2 bad "
                 "arguments or a refused file, 3 verify found differences.\n");
    return error.isEmpty() ? Ok : BadInput;
}
// Runs one parsed subcommand.
int run(const QString &verb, Options &o, const QCommandLineParser &p, const QString &file)
{
    bool ok = false;
    if (verb == QLatin1String("ports"))
        return Ports(o);
    if (verb == QLatin1String("doctor")) {
        o.extraPorts += p.values(QStringLiteral("port"));
        return Doctor(o, p.value(QStringLiteral("root")));
    }
    if (verb == QLatin1String("backup"))
        return Backup(o, file);
    if (verb == QLatin1String("restore"))
        return Restore(o, file,
                       {p.isSet(QStringLiteral("dry-run")), p.isSet(QStringLiteral("verify")),
                        p.isSet(QStringLiteral("changed-only"))});
    if (verb == QLatin1String("verify"))
        return Verify(o, file);
    if (verb == QLatin1String("events")) {
        const int n = p.value(QStringLiteral("pages")).toInt(&ok);
        if (p.isSet(QStringLiteral("pages")) && !ok)
            return usage(QStringLiteral("--pages takes a number"));
        if (p.isSet(QStringLiteral("new")))
            return NewEvents(o, p.isSet(QStringLiteral("pages")) ? std::optional<int>(n) : std::nullopt,
                             file);
        if (!p.isSet(QStringLiteral("pages")))
            return usage(QStringLiteral("events needs --pages N"));
        return Events(o, n, file);
    }
    return Clock(o);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
    const QCommandLineOption pages("pages", "How many pages of events, 1 to 32479.", "n");
    const QCommandLineOption newOnly(
        "new",
        "FILE is an archive: append only the pages it does not hold yet (--pages for the first time).");
    const QCommandLineOption dryRun("dry-run", "Print the frames a restore would send; send nothing.");
    const QCommandLineOption verify("verify", "Read the unit back after the restore and compare.");
    const QCommandLineOption changedOnly(
        "changed-only", "Read the unit first and send only the frames that differ from the file.");
    const QCommandLineOption root("root", "Check the system whose /dev, /sys, /proc and /etc are under DIR.",
                                  "dir", "/");
    QCommandLineOption pace("pause-scale", "Scale the pacing (tests).", "factor", "1");
    pace.setFlags(QCommandLineOption::HiddenFromHelp);
    p.addOption(help);
    p.addOption(demo);
    p.addOption(pace);
    const QString verb = QString::fromLatin1(command->name);
    const bool unitCommand = verb != QLatin1String("ports") && verb != QLatin1String("doctor");
    if (verb == QLatin1String("doctor")) {
        p.addOption(port);
        p.addOption(root);
    }
    if (unitCommand) {
        p.addOption(port);
        p.addOption(timeout);
    }
    if (verb == QLatin1String("events"))
        p.addOption(pages);
    p.addOption(newOnly);
    if (verb == QLatin1String("restore")) {
        p.addOption(dryRun);
        p.addOption(verify);
        p.addOption(changedOnly);
    }
    if (command->arguments)
        p.addPositionalArgument(QString::fromLatin1(command->arguments), QStringLiteral("The data file."));
    if (!p.parse(args))
        return usage(p.errorText());
    if (p.isSet(help)) {
        std::fprintf(stdout, "%s",
                     qPrintable(p.helpText().replace(QStringLiteral("halvo-cli"),
                                                     QStringLiteral("halvo-cli ") + verb)));
        return Ok;
    }
    const QStringList positional = p.positionalArguments();
    if (positional.size() != (command->arguments ? 1 : 0))
        return usage(command->arguments ? QStringLiteral("%1 takes one FILE").arg(verb)
                                        : QStringLiteral("%1 takes no file").arg(verb));

    Options o;
    bool ok = true;
    if (unitCommand) {
        o.timeoutMs = static_cast<int>(p.value(timeout).toDouble(&ok) * 1000);
        if (!ok || o.timeoutMs <= 0)
            return usage(QStringLiteral("--timeout takes a number of seconds"));
    }
    o.pauseScale = p.value(pace).toDouble(&ok);
    if (!ok || o.pauseScale < 0)
        return usage(QStringLiteral("--pause-scale takes a factor"));
    std::unique_ptr<halvo::sim::SimUnit> unit;
    if (p.isSet(demo)) {
        unit = std::make_unique<halvo::sim::SimUnit>();
        unit->setBannerInterval(1000); // a script need not wait the real unit's 3 s for its first banner
        QString error;
        if (!unit->start(&error)) {
            std::fprintf(stderr, "halvo-cli: cannot start the simulated unit: %s\n", qPrintable(error));
            return UnitFailed;
        }
        o.extraPorts = {unit->devicePath()};
        o.port = unit->devicePath();
    }
    const bool needsPort = unitCommand;
    if (needsPort && p.isSet(port))
        o.port = p.value(port);
    const bool dryRunOnly = verb == QLatin1String("restore") && p.isSet(dryRun) && !p.isSet(changedOnly);
    if (needsPort && o.port.isEmpty() && !dryRunOnly)
        return usage(QStringLiteral("%1 needs --port (or --demo)").arg(verb));
    const QString file = positional.value(0);

    qCInfo(lcCli).noquote() << verb << args.mid(1).join(QLatin1Char(' '));
    const int status = run(verb, o, p, file);
    qCInfo(lcCli).noquote() << verb << "ended with status" << status;
    return status;
}
