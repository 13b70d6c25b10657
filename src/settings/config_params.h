#pragma once

#include <QString>

#include <array>

namespace halvo::settings {

// The unit keeps its system settings as 32 one-byte config parameters, 0..31, each
// with a maximum, minimum and default of its own.
inline constexpr int ParamCount = 32;

// Where the System Settings tab shows a parameter.
enum class Group {
    Hidden,              // spares and the priority bytes: held, never shown as a field
    SystemSettings,      // the "System Settings" group
    PassDisplayPriority, // the "Pass Display Priority " group
    DataLoggerSetup,     // the "Data Logger Setup " group
};

struct ParamInfo
{
    const char *description;
    bool isSwitch; // an on/off switch shown as a check box mirroring 0 or 1
    Group group;
};

// Description, kind and group of parameter i (0..31).
const ParamInfo &Param_Info(int i);
QString Param_Description(int i);
bool Is_Switch(int i);

// The "System Settings" group lists these value fields top to bottom, then the
// switches 3 and 9; the "Data Logger Setup " group holds the switches 26..30.
inline constexpr std::array<int, 7> SystemValueParams = {1, 2, 4, 5, 6, 7, 8};
inline constexpr std::array<int, 2> SystemSwitchParams = {3, 9};
inline constexpr std::array<int, 5> LoggerSwitchParams = {26, 27, 28, 29, 30};
inline constexpr int HideUnsetPassParam = 20; // a switch in the priority group

} // namespace halvo::settings
