#pragma once

#include "port_catalogue.h"

#include <QList>
#include <QStringList>

namespace halvo::port {

// The system's own view of its serial ports; the one place that differs between
// systems. Linux asks QtSerialPort; Windows reads the COM ports from the registry
// (HARDWARE\DEVICEMAP\SERIALCOMM) and their adapters' names from SetupAPI.

// The serial ports the system lists, unnumbered, with what it says of each adapter.
QList<PortEntry> System_Serial_Ports();
// Only their names, cheap enough to look at once a second: Windows' COM ports ("COM3"),
// nothing on Linux (there the device folders are watched instead).
QStringList System_Port_Names();
// The serial number of the USB adapter behind a device, when the system tells one;
// an empty string otherwise (a built-in port, a pseudo-terminal, the demo unit).
QString Adapter_Serial_Number(const QString &path);
// Whether the port opens now; nothing is sent and it is closed again at once.
bool Can_Open_Port(const QString &path);

} // namespace halvo::port
