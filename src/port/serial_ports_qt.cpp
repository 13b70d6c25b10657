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
// What the tool opens: the device on Linux, the port's name on Windows.
QString openedAs(const QSerialPortInfo &info)
{
#ifdef Q_OS_WIN
    return info.portName();
#else
    return info.systemLocation();
#endif
}

QString hex4(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

// The kernel driver bound to a tty's device ("ftdi_sio", "cp210x").
QString linuxDriver(const QString &device)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    return QFileInfo(QStringLiteral("/sys/class/tty/%1/device/driver").arg(name))
        .canonicalFilePath()
        .section(QLatin1Char('/'), -1);
}
} // namespace

QList<PortEntry> System_Serial_Ports()
{
    QList<PortEntry> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        auto known = [](bool has, quint16 id) { return has ? std::optional<quint16>(id) : std::nullopt; };
        out.append({0, openedAs(info),
                    PortCatalogue::Adapter_Description(
                        info.description(), known(info.hasVendorIdentifier(), info.vendorIdentifier()),
                        known(info.hasProductIdentifier(), info.productIdentifier()), info.serialNumber())});
    }
    return out;
}

QStringList System_Port_Names()
{
    QStringList names;
    for (const QString &name : win::Registry_Port_Names())
        if (win::Com_Number(name) > 0 && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    names.sort();
    return names;
}

QString Adapter_Serial_Number(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (openedAs(info) == path || QFileInfo(info.systemLocation()).canonicalFilePath() == device)
            return info.serialNumber();
    return {};
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

QList<ComPortFacts> System_Com_Ports(const QList<PortEntry> &ports, const QString &openHere)
{
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    const auto drivers = win::Port_Drivers();
    QList<ComPortFacts> out;
    for (const PortEntry &port : ports) {
        ComPortFacts facts;
        facts.number = port.number;
        facts.name = port.path;
        for (const QSerialPortInfo &info : infos) {
            if (openedAs(info) != port.path)
                continue;
            facts.friendlyName = info.description();
            if (info.hasVendorIdentifier() && info.hasProductIdentifier())
                facts.usbIds =
                    hex4(info.vendorIdentifier()) + QLatin1Char(':') + hex4(info.productIdentifier());
            facts.serialNumber = info.serialNumber();
        }
        const auto driver = drivers.find(port.path.toUpper());
        if (driver != drivers.end()) {
            facts.friendlyName = driver->friendlyName;
            facts.driver = driver->service;
        }
        // The port this tool is connected through would refuse it as "in use".
        facts.opens =
            port.path == openHere ? ComPortFacts::Opens::Here : win::Try_Open(port.path, &facts.openError);
        out << facts;
    }
    return out;
}

QStringList Port_Detail_Lines(const QList<PortEntry> &ports)
{
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    const auto drivers = win::Port_Drivers();
    QStringList out;
    for (const PortEntry &port : ports) {
        out << PortCatalogue::Port_Entry_Text(port.number) + QLatin1Char(' ') + port.path;
        if (port.path == Demo_Port()) {
            out << QStringLiteral("  the simulated unit inside the tool");
            continue;
        }
        QString driver;
        for (const QSerialPortInfo &info : infos) {
            if (openedAs(info) != port.path)
                continue;
            if (!info.description().isEmpty())
                out << QStringLiteral("  name: ") + info.description();
            if (!info.manufacturer().isEmpty())
                out << QStringLiteral("  maker: ") + info.manufacturer();
            if (info.hasVendorIdentifier() && info.hasProductIdentifier())
                out << QStringLiteral("  adapter: USB %1:%2%3")
                           .arg(hex4(info.vendorIdentifier()), hex4(info.productIdentifier()),
                                info.serialNumber().isEmpty()
                                    ? QString()
                                    : QStringLiteral(", serial number ") + info.serialNumber());
            driver = linuxDriver(info.systemLocation());
        }
        if (const auto d = drivers.find(port.path.toUpper()); d != drivers.end())
            driver = d->service;
        out << QStringLiteral("  driver: ") + (driver.isEmpty() ? QStringLiteral("not known") : driver);
    }
    return out;
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
