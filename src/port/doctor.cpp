#include "doctor.h"

#include "port_catalogue.h"
#include "win_serial_rules.h"

#include <QCoreApplication>
#include <QMap>

namespace halvo::port {

namespace {
// Chips that brltty's rules take for braille displays, though most are serial adapters.
const QStringList CommonSerialChips = {QStringLiteral("1a86:7523"), QStringLiteral("10c4:ea60"),
                                       QStringLiteral("0403:6001"), QStringLiteral("067b:2303")};

QString groupList(const SystemSnapshot &system, const QList<uint> &gids)
{
    QStringList names;
    for (uint g : gids)
        names << system.groupName(g);
    names.sort();
    return names.join(QStringLiteral(", "));
}

// What this user may do with the device, and what to do about it.
QString access(const SystemSnapshot &system, const UserView &user, const DeviceNode &node, bool *problem)
{
    const QString who =
        QStringLiteral("  this user (%1): ").arg(user.name.isEmpty() ? QString::number(user.uid) : user.name);
    if (system.mayOpen(user, node))
        return who + QStringLiteral("can open it now");
    *problem = true;
    if (user.listedGroups.contains(node.gid))
        return who + QStringLiteral("is in the group \"%1\" since this login started: log out and in again "
                                    "(or restart) before the tool can open it")
                         .arg(node.group);
    return who + QStringLiteral("cannot open it: not in the group \"%1\". Run: sudo adduser %2 %1, then log "
                                "out and in again")
                     .arg(node.group, user.name.isEmpty() ? QStringLiteral("$USER") : user.name);
}
} // namespace

ComputerCheck Check_Computer(const SystemSnapshot &system, const QList<PortEntry> &ports,
                             const QString &openHere)
{
    ComputerCheck out;
    const UserView user = system.user();
    out.lines << QStringLiteral("User %1 (uid %2), groups of this login: %3")
                     .arg(user.name, QString::number(user.uid), groupList(system, user.sessionGroups));
    out.lines << QStringLiteral("Serial devices: %1").arg(ports.size());
    QMap<QString, QStringList> withoutSerial; // "vendor:product" -> devices with no serial number
    QStringList adapterIds;
    for (const PortEntry &port : ports) {
        out.lines << PortCatalogue::Port_Entry_Text(port.number) + QLatin1Char(' ') + port.path;
        const auto node = system.node(port.path);
        if (!node) {
            out.lines << QStringLiteral("  gone: the device is no longer there");
            continue;
        }
        if (node->canonical != port.path)
            out.lines << QStringLiteral("  is: ") + node->canonical;
        const QStringList names = system.aliases(node->canonical, QStringLiteral("by-id")) +
                                  system.aliases(node->canonical, QStringLiteral("by-path"));
        if (!names.isEmpty())
            out.lines << QStringLiteral("  also: ") + names.join(QStringLiteral(", "));
        if (const auto ids = system.usbIds(node->canonical)) {
            const QString pair = ids->vendor + QLatin1Char(':') + ids->product;
            adapterIds << pair;
            out.lines << QStringLiteral("  adapter: USB %1, %2")
                             .arg(pair, ids->serial.isEmpty()
                                            ? QStringLiteral("no serial number")
                                            : QStringLiteral("serial number ") + ids->serial);
            if (ids->serial.isEmpty())
                withoutSerial[pair] << node->canonical;
        }
        out.lines << QStringLiteral("  node: owner %1, group %2, mode %3")
                         .arg(node->owner.isEmpty() ? QString::number(node->uid) : node->owner, node->group,
                              QString::number(node->mode, 8).rightJustified(4, QLatin1Char('0')));
        bool problem = false;
        out.lines << access(system, user, *node, &problem);
        // The port this tool is connected through is held by it: its lock names it.
        const bool here = !openHere.isEmpty() && port.path == openHere;
        QStringList held;
        for (const Holder &h : system.holders(*node))
            if (!here || h.pid != QCoreApplication::applicationPid())
                held << QStringLiteral("%1 (process %2)").arg(h.name).arg(h.pid);
        out.lines << QStringLiteral("  held by: ") +
                         (here ? QStringLiteral("this tool, connected through it; ") : QString()) +
                         (held.isEmpty() ? QStringLiteral("no other program")
                                         : held.join(QStringLiteral(", ")));
        problem = problem || !held.isEmpty();
        out.problems += problem;
    }

    if (system.running(QStringLiteral("ModemManager"))) {
        const bool adapters = !system.usbSerialDevices().isEmpty();
        out.problems += adapters;
        out.lines << QStringLiteral(
            "ModemManager: running. It sends AT commands to a new ttyACM port for "
            "several seconds after it appears, and the unit's first answers can be "
            "lost. To make it leave an adapter alone, put this line in "
            "/etc/udev/rules.d/99-halvo.rules and run: sudo udevadm control --reload");
        adapterIds.removeDuplicates();
        for (const QString &pair :
             adapterIds.isEmpty() ? QStringList{QStringLiteral("VVVV:PPPP")} : adapterIds)
            out.lines << QStringLiteral("  ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", "
                                        "ENV{ID_MM_DEVICE_IGNORE}=\"1\"")
                             .arg(pair.section(QLatin1Char(':'), 0, 0), pair.section(QLatin1Char(':'), 1));
    }
    QStringList claimed;
    for (const QString &pair : system.brlttyClaims())
        if (CommonSerialChips.contains(pair) || adapterIds.contains(pair))
            claimed << pair;
    if (!claimed.isEmpty()) {
        ++out.problems;
        out.lines << QStringLiteral(
                         "brltty: installed, and its udev rules claim USB serial chips (%1): it "
                         "takes such an adapter away as soon as it is plugged in. Where no braille "
                         "display is used, remove it: sudo apt remove brltty")
                         .arg(claimed.join(QStringLiteral(", ")));
    }
    for (auto it = withoutSerial.cbegin(); it != withoutSerial.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        ++out.problems;
        out.lines << QStringLiteral(
                         "Same by-id name: %1 are adapters of one kind (USB %2) without a serial "
                         "number, so they share one /dev/serial/by-id name, which leads to only one "
                         "of them. Tell them apart by their /dev/serial/by-path names.")
                         .arg(it.value().join(QStringLiteral(" and ")), it.key());
    }
    out.lines << (out.problems == 0   ? QStringLiteral("Result: nothing wrong found.")
                  : out.problems == 1 ? QStringLiteral("Result: 1 problem found.")
                                      : QStringLiteral("Result: %1 problems found.").arg(out.problems));
    return out;
}

ComputerCheck Check_Com_Ports(const QList<ComPortFacts> &ports)
{
    ComputerCheck out;
    out.lines << QStringLiteral("COM ports: %1").arg(ports.size());
    for (const ComPortFacts &port : ports) {
        out.lines << PortCatalogue::Port_Entry_Text(port.number) + QLatin1Char(' ') + port.name +
                         QStringLiteral(" (opened as %1)").arg(win::Device_Path(port.name));
        if (!port.friendlyName.isEmpty())
            out.lines << QStringLiteral("  name: ") + port.friendlyName;
        if (!port.usbIds.isEmpty())
            out.lines << QStringLiteral("  adapter: USB %1, %2")
                             .arg(port.usbIds, port.serialNumber.isEmpty()
                                                   ? QStringLiteral("no serial number")
                                                   : QStringLiteral("serial number ") + port.serialNumber);
        out.lines << QStringLiteral("  driver: ") +
                         (port.driver.isEmpty() ? QStringLiteral("not known") : port.driver);
        switch (port.opens) {
        case ComPortFacts::Opens::Now:
            out.lines << QStringLiteral("  this user: can open it now");
            break;
        case ComPortFacts::Opens::InUse:
            ++out.problems;
            out.lines << QStringLiteral("  in use by another program: close it and retry");
            break;
        case ComPortFacts::Opens::No:
            ++out.problems;
            out.lines << QStringLiteral("  cannot open it: ") + port.openError;
            break;
        case ComPortFacts::Opens::Here:
            out.lines << QStringLiteral("  open in this tool, connected through it");
            break;
        }
    }
    out.lines << (out.problems == 0   ? QStringLiteral("Result: nothing wrong found.")
                  : out.problems == 1 ? QStringLiteral("Result: 1 problem found.")
                                      : QStringLiteral("Result: %1 problems found.").arg(out.problems));
    return out;
}

} // namespace halvo::port
