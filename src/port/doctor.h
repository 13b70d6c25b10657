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
ComputerCheck Check_Computer(const SystemSnapshot &system, const QList<PortEntry> &ports);

} // namespace halvo::port
