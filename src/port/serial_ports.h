#pragma once

#include "port_catalogue.h"

#include <QList>
#include <QStringList>

namespace halvo::port {

struct ComPortFacts;

// The system's own view of its serial ports, through QtSerialPort on every system.
// Only the names Windows keeps in its registry and the driver behind a COM port are
// asked of Windows itself.

// The serial ports the system lists, unnumbered, with what it says of each adapter:
// the device path on Linux ("/dev/ttyUSB0"), the port's name on Windows ("COM3").
QList<PortEntry> System_Serial_Ports();
// Only their names, cheap enough to look at once a second: Windows' COM ports as the
// registry lists them (HARDWARE\DEVICEMAP\SERIALCOMM), nothing on Linux (there the
// device folders are watched instead).
QStringList System_Port_Names();
// The serial number of the USB adapter behind a device, when the system tells one;
// an empty string otherwise (a built-in port, a pseudo-terminal, the demo unit).
QString Adapter_Serial_Number(const QString &path);
// Whether the port opens now; nothing is sent and it is closed again at once.
bool Can_Open_Port(const QString &path);
// What the system says of each numbered COM port, and whether it opens now: the
// facts "Check This Computer" reports on Windows.
QList<ComPortFacts> System_Com_Ports(const QList<PortEntry> &ports, const QString &openHere = {});
// Each listed port with what the system says of it: its name and maker, the USB
// adapter's VID:PID and serial number, and the driver behind it, where the system
// tells (the support file).
QStringList Port_Detail_Lines(const QList<PortEntry> &ports);
struct ComputerCheck;
// "Check This Computer" of the system the tool runs on, for the ports it lists: the
// device files, groups and programs on Linux; the COM ports and their drivers on
// Windows. It reads every process's open files: run it away from the window's thread.
ComputerCheck Check_This_Computer(const QList<PortEntry> &ports, const QString &openHere = {});

} // namespace halvo::port
