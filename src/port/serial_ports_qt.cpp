#include "serial_ports.h"

#include "doctor.h"
#include "link_switch.h"
#include "serial_ports_windows.h"
#include "win_serial_rules.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace halvo::port {

namespace {
// The kernel driver bound to a tty's device ("ftdi_sio", "cp210x").
QString linuxDriver(const QString &device)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    return QFileInfo(QStringLiteral("/sys/class/tty/%1/device/driver").arg(name))
        .canonicalFilePath()
        .section(QLatin1Char('/'), -1);
}

QString hex4(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}
} // namespace

QList<SystemPort> System_Ports()
{
    QList<SystemPort> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        auto known = [](bool has, quint16 id) { return has ? std::optional<quint16>(id) : std::nullopt; };
        SystemPort port;
#ifdef Q_OS_WIN
        port.openedAs = info.portName(); // the tool opens COM ports by their names
#else
        port.openedAs = info.systemLocation();
        port.driver = linuxDriver(info.systemLocation());
#endif
        port.systemLocation = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        port.vendor = known(info.hasVendorIdentifier(), info.vendorIdentifier());
        port.product = known(info.hasProductIdentifier(), info.productIdentifier());
        out << port;
    }
    return out;
}

QString Usb_Ids(const SystemPort &port)
{
    return port.vendor && port.product ? hex4(*port.vendor) + QLatin1Char(':') + hex4(*port.product)
                                       : QString();
}

QList<PortEntry> System_Serial_Ports()
{
    QList<PortEntry> out;
    for (const SystemPort &port : System_Ports())
        out.append({0, port.openedAs,
                    PortCatalogue::Adapter_Description(port.description, port.vendor, port.product,
                                                       port.serialNumber)});
    return out;
}

QStringList Com_Port_Names(const QStringList &listed)
{
    QStringList names;
    for (const QString &name : listed)
        if (win::Com_Number(name) > 0 && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    names.sort();
    return names;
}

QStringList System_Port_Names()
{
    return Com_Port_Names(win::Registry_Port_Names());
}

QString Serial_Number_Of(const QString &path, const QList<SystemPort> &system)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    for (const SystemPort &port : system)
        if (port.openedAs == path ||
            (!device.isEmpty() && QFileInfo(port.systemLocation).canonicalFilePath() == device))
            return port.serialNumber;
    return {};
}

QString Adapter_Serial_Number(const QString &path)
{
    return Serial_Number_Of(path, System_Ports());
}

bool Can_Open_Port(const QString &path)
{
#ifdef Q_OS_WIN
    return win::Try_Open(path, nullptr) == ComPortFacts::Opens::Now;
#else
    QSerialPort probe(path);
    return probe.open(QIODevice::ReadWrite);
#endif
}

QList<ComPortFacts> Com_Port_Facts(const QList<PortEntry> &ports, const QList<SystemPort> &system,
                                   const QMap<QString, win::PortDriver> &drivers, const OpenProbe &tryOpen,
                                   const QString &openHere)
{
    QList<ComPortFacts> out;
    for (const PortEntry &entry : ports) {
        ComPortFacts facts;
        facts.number = entry.number;
        facts.name = entry.path;
        for (const SystemPort &port : system) {
            if (port.openedAs != entry.path)
                continue;
            facts.friendlyName = port.description;
            facts.usbIds = Usb_Ids(port);
            facts.serialNumber = port.serialNumber;
        }
        const auto driver = drivers.find(entry.path.toUpper());
        if (driver != drivers.end()) {
            facts.friendlyName = driver->friendlyName;
            facts.driver = driver->service;
        }
        // The port this tool is connected through would refuse it as "in use".
        facts.opens =
            entry.path == openHere ? ComPortFacts::Opens::Here : tryOpen(entry.path, &facts.openError);
        out << facts;
    }
    return out;
}

QList<ComPortFacts> System_Com_Ports(const QList<PortEntry> &ports, const QString &openHere)
{
    return Com_Port_Facts(ports, System_Ports(), win::Port_Drivers(), win::Try_Open, openHere);
}

QStringList Port_Detail_Lines(const QList<PortEntry> &ports, const QList<SystemPort> &system,
                              const QMap<QString, win::PortDriver> &drivers)
{
    QStringList out;
    for (const PortEntry &entry : ports) {
        out << PortCatalogue::Port_Entry_Text(entry.number) + QLatin1Char(' ') + entry.path;
        if (entry.path == Demo_Port()) {
            out << QStringLiteral("  the simulated unit inside the tool");
            continue;
        }
        QString driver;
        for (const SystemPort &port : system) {
            if (port.openedAs != entry.path)
                continue;
            if (!port.description.isEmpty())
                out << QStringLiteral("  name: ") + port.description;
            if (!port.manufacturer.isEmpty())
                out << QStringLiteral("  maker: ") + port.manufacturer;
            if (const QString ids = Usb_Ids(port); !ids.isEmpty())
                out << QStringLiteral("  adapter: USB ") + ids +
                           (port.serialNumber.isEmpty()
                                ? QString()
                                : QStringLiteral(", serial number ") + port.serialNumber);
            driver = port.driver;
        }
        if (const auto d = drivers.find(entry.path.toUpper()); d != drivers.end())
            driver = d->service;
        out << QStringLiteral("  driver: ") + (driver.isEmpty() ? QStringLiteral("not known") : driver);
    }
    return out;
}

QStringList Port_Detail_Lines(const QList<PortEntry> &ports)
{
    return Port_Detail_Lines(ports, System_Ports(), win::Port_Drivers());
}

ComputerCheck Check_This_Computer(const QList<PortEntry> &ports, const QString &openHere)
{
#ifdef Q_OS_WIN
    QList<PortEntry> comPorts;
    for (const PortEntry &e : ports)
        if (win::Com_Number(e.path) > 0)
            comPorts << e; // the demo unit is no port of the system's
    return Check_Com_Ports(System_Com_Ports(comPorts, openHere));
#else
    QList<PortEntry> devices;
    for (const PortEntry &e : ports)
        if (e.path != Demo_Port())
            devices << e;
    return Check_Computer(SystemSnapshot(), devices, openHere);
#endif
}

} // namespace halvo::port
