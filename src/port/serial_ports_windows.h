#pragma once

#include "doctor.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace halvo::port::win {

// What Windows' device manager says of a COM port's adapter.
struct PortDriver
{
    QString friendlyName; // "USB Serial Port (COM3)"
    QString service;      // the driver: "FTSER2K", "usbser"
};
// For each COM port present ("COM3"), its adapter's name and driver (Windows); empty
// elsewhere.
QMap<QString, PortDriver> Port_Drivers();
// The registry's list of the COM ports there are now (HARDWARE\DEVICEMAP\SERIALCOMM),
// read in a moment, so the port list can follow adapters while nothing is open. Its
// value names hold backslashes ("\Device\VCP0"), which QSettings takes for subkeys,
// so it is read with the registry's own calls. Windows only.
QStringList Registry_Port_Names();
// Whether a COM port ("COM3") opens now, asked of Windows itself and closed again at
// once: nothing is set on the port and no read is started. QSerialPort's open starts
// waiting for the port's events as well, which Wine answers by blocking the caller
// when no device stands behind the port. When it does not open, why says the system's
// words; "access denied" is a port another program holds. Windows only.
ComPortFacts::Opens Try_Open(const QString &port, QString *why);

} // namespace halvo::port::win
