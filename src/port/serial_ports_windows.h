#pragma once

#include <QMap>
#include <QString>

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

} // namespace halvo::port::win
