// The subcommands of halvo-cli: each parses nothing and prints what it did; the
// unit is reached through the session, the data through the configuration model
// and the data file.
#include "cli_commands.h"
#include "cli_unit.h"

#include "config/differences.h"
#include "config/store_plan.h"
#include "datafile/data_file.h"
#include "port/doctor.h"
#include "port/port_catalogue.h"
#include "port/serial_ports.h"
#include "progress.h"
#include "session/messages.h"
#include "session/support_file.h"
#include "session/unit_session.h"

#include <QCoreApplication>

#include <cstdio>

namespace halvo::cli {

namespace {
using config::Configuration;
namespace Msg = session::Msg;

// One line per field that differs, first's value beside second's; Different when any does.
int compare(const Configuration &first, const Configuration &second, const QString &firstName,
            const QString &secondName, const QString &same)
{
    const auto differences = config::Differences(first, second);
    for (const config::Difference &d : differences)
        print(config::Difference_Line(d, firstName, secondName));
    if (differences.empty()) {
        Progress::say(same);
        return Ok;
    }
    Progress::say(
        QStringLiteral("%1 and %2 differ in %3 fields").arg(firstName, secondName).arg(differences.size()));
    return Different;
}

} // namespace

int ports(const Options &o)
{
    for (const port::PortEntry &e : catalogue(o).openable())
        print(port::PortCatalogue::Port_Entry_Text(e.number) + QLatin1Char('\t') +
              port::PortCatalogue::Port_Details(e));
    return Ok;
}

int backup(const Options &o, const QString &file)
{
    Unit u(o);
    std::optional<Configuration> config;
    if (const int status = readUnit(u, config))
        return status; // no file written
    QString why;
    const auto content = datafile::Build_Data_File(*config, &why);
    if (!content || !datafile::Save_Whole_File(file, *content, &why))
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
    Progress::say(QStringLiteral("configuration saved to %1").arg(file));
    return Ok;
}

int restore(const Options &o, const QString &file, const RestoreHow &how)
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
        // Only the items the unit does not hold already.
        std::optional<Configuration> unit;
        if (const int status = readUnit(u, unit))
            return status;
        plan = config::Changes_Store_Plan(c, *unit, &why); // as Store Selected sends them
        if (!plan)
            return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
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
    // The unit never acknowledges a store: reading it back is the only proof, and
    // what it lacks goes again.
    return store(u, *plan, !how.noVerify);
}

int verify(const Options &o, const QString &file)
{
    Configuration c;
    if (const int status = loadFile(file, c))
        return status;
    Unit u(o);
    std::optional<Configuration> unit;
    if (const int status = readUnit(u, unit))
        return status;
    return compare(*unit, c, QStringLiteral("unit"), QStringLiteral("file"),
                   QStringLiteral("the unit holds what the file holds"));
}

int diff(const QString &first, const QString &second)
{
    Configuration a, b;
    if (const int status = loadFile(first, a))
        return status;
    if (const int status = loadFile(second, b))
        return status;
    return compare(a, b, first, second,
                   QStringLiteral("%1 and %2 hold the same configuration").arg(first, second));
}

int clock(const Options &o)
{
    Unit u(o);
    if (const int status = u.connect())
        return status;
    const QDateTime now = QDateTime::currentDateTime();
    // Done once the frame has left the port, before the port closes.
    if (const session::RunResult end = u.wait(u.session.setClock(now)); !end.ok())
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": ") + end.why);
    Progress::say(QStringLiteral("clock set to ") + now.toString(QStringLiteral("MM/dd/yy HH:mm:ss")));
    return Ok;
}

int doctor(const Options &o, const QString &root)
{
    port::ComputerCheck check;
    if (root == QLatin1String("/")) {
        check = port::Check_This_Computer(catalogue(o).entries()); // the ports as the tool lists them
    } else {
        const port::SystemSnapshot system(root);
        QList<port::PortEntry> found;
        for (const QString &path : system.usbSerialDevices())
            found.append({0, path, {}});
        check = port::Check_Computer(system, port::PortCatalogue::Number_Ports(o.extraPorts, found));
    }
    for (const QString &line : check.lines)
        print(line);
    return check.problems == 0 ? Ok : UnitFailed;
}

int supportFile(const Options &o, const QString &file, bool includeConfiguration)
{
    Unit u(o);
    std::optional<Configuration> config;
    int status = Ok;
    if (!o.port.isEmpty())
        status = includeConfiguration ? readUnit(u, config) : u.connect();
    // Written whatever became of the unit: the file is what shows why.
    const QList<port::PortEntry> ports = catalogue(o).entries();
    const session::SupportFacts facts{
        QStringLiteral("halvo-cli"),
        QStringLiteral(HALVO_VERSION),
        port::Port_Detail_Lines(ports),
        port::Check_This_Computer(ports, u.session.isOpen() ? u.session.path() : QString()).lines,
        config ? &*config : nullptr,
        includeConfiguration};
    QString why;
    if (!session::Save_Support_File(file, u.session, facts, &why))
        return fail(UnitFailed, QStringLiteral("the support file could not be saved: ") + why);
    Progress::say(QStringLiteral("support file saved to %1").arg(file));
    return status;
}

} // namespace halvo::cli
