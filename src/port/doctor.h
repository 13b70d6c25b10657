#pragma once

#include "system_snapshot.h"

#include <QStringList>

namespace halvo::port {

struct PortEntry;

// "Check This Computer": what stands between this user and the serial devices, in
// plain lines a person can read and paste into a support request. For each device
// the tool would list: its other names, the adapter, its group and mode, whether
// this user can open it now or after a new login, and which program holds it; then
// what on the computer gets in the way (ModemManager, brltty, two adapters behind
// one by-id name).
struct ComputerCheck
{
    QStringList lines;
    int problems = 0;
};
// openHere is the device this tool has open now, if any: this tool holding it is no
// problem, and only other programs are named.
ComputerCheck Check_Computer(const SystemSnapshot &system, const QList<PortEntry> &ports,
                             const QString &openHere = {});

// What Windows says of a COM port, and whether it opens now.
struct ComPortFacts
{
    int number = 0;
    QString name;         // "COM3"
    QString friendlyName; // "USB Serial Port (COM3)"
    QString usbIds;       // "0403:6001", where the system tells
    QString serialNumber;
    QString driver;                            // "FTSER2K"
    enum class Opens { Now, InUse, No, Here }; // Here: this tool has it open
    Opens opens = Opens::Now;
    QString openError; // why not, in the system's words
};
// "Check This Computer" on Windows: each COM port with its name, adapter, driver,
// and whether it opens now. A port another program holds, or one that will not open,
// is a problem.
ComputerCheck Check_Com_Ports(const QList<ComPortFacts> &ports);

} // namespace halvo::port
