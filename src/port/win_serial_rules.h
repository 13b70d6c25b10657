#pragma once

#include <QString>

namespace halvo::port::win {

// How Windows names its serial ports, kept apart so the rules build and are tested
// on every system.

// The name CreateFile opens: "COM12" gives "\\.\COM12" (needed above COM9, harmless
// below); a name that already has the prefix is kept.
QString Device_Path(const QString &port);
// The number of a COM port's name: "COM12", "com3" and "COM123" give 12, 3 and 123;
// anything else 0.
int Com_Number(const QString &name);
// What CreateFile's refusal of a COM port means: "access denied" (5) and "sharing
// violation" (32) are a port another program holds, as a COM port is opened by one
// program at a time; anything else is a port that does not open.
bool Held_Elsewhere(unsigned long systemError);

} // namespace halvo::port::win
