#pragma once

#include "doctor.h"
#include "port_catalogue.h"
#include "serial_ports_windows.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>
#include <optional>

namespace halvo::port {

// The system's own view of its serial ports, through QtSerialPort on every system.
// Only the names Windows keeps in its registry and the driver behind a COM port are
// asked of Windows itself.

// What the system says of one of its serial ports, as plain values, so that what is
// made of them can be tested with a list of the test's own.
struct SystemPort
{
    QString openedAs;       // what the tool opens: the device on Linux, "COM3" on Windows
    QString systemLocation; // the device the system opens
    QString description, manufacturer, serialNumber;
    std::optional<quint16> vendor, product; // the USB adapter's ids, where told
    QString driver;                         // the kernel driver on Linux, where told
};
// The ports QtSerialPort lists now.
QList<SystemPort> System_Ports();
// A USB adapter's "0403:6001", when the system tells both ids; empty otherwise.
QString Usb_Ids(const SystemPort &port);

// The serial ports the system lists, unnumbered, with what it says of each adapter:
// the device path on Linux ("/dev/ttyUSB0"), the port's name on Windows ("COM3").
QList<PortEntry> System_Serial_Ports();
// Only their names, cheap enough to look at once a second: Windows' COM ports as the
// registry lists them (HARDWARE\DEVICEMAP\SERIALCOMM), nothing on Linux (there the
// device folders are watched instead).
QStringList System_Port_Names();
// Of the names the registry lists, the COM ports' names, each once, sorted.
QStringList Com_Port_Names(const QStringList &listed);
// The serial number of the USB adapter behind a device, when the system tells one;
// an empty string otherwise (a built-in port, a pseudo-terminal, the demo unit).
QString Adapter_Serial_Number(const QString &path);
// The same, from a list: the port opened as path, or behind the same device (path a
// link to it).
QString Serial_Number_Of(const QString &path, const QList<SystemPort> &system);
// Whether the port opens now; nothing is sent and it is closed again at once.
bool Can_Open_Port(const QString &path);
// What the system says of each numbered COM port, and whether it opens now: the
// facts "Check This Computer" reports on Windows. The device manager's name and
// driver win over QtSerialPort's; the port the tool is connected through (openHere)
// is not opened again.
using OpenProbe = std::function<ComPortFacts::Opens(const QString &port, QString *why)>;
QList<ComPortFacts> Com_Port_Facts(const QList<PortEntry> &ports, const QList<SystemPort> &system,
                                   const QMap<QString, win::PortDriver> &drivers, const OpenProbe &tryOpen,
                                   const QString &openHere = {});
QList<ComPortFacts> System_Com_Ports(const QList<PortEntry> &ports, const QString &openHere = {});
// Each listed port with what the system says of it: its name and maker, the USB
// adapter's VID:PID and serial number, and the driver behind it, where the system
// tells (the support file).
QStringList Port_Detail_Lines(const QList<PortEntry> &ports, const QList<SystemPort> &system,
                              const QMap<QString, win::PortDriver> &drivers);
QStringList Port_Detail_Lines(const QList<PortEntry> &ports);
// "Check This Computer" of the system the tool runs on, for the ports it lists: the
// device files, groups and programs on Linux; the COM ports and their drivers on
// Windows. It reads every process's open files: run it away from the window's thread.
ComputerCheck Check_This_Computer(const QList<PortEntry> &ports, const QString &openHere = {});

} // namespace halvo::port
