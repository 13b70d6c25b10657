#include "config_params.h"

namespace halvo::settings {

namespace {
using G = Group;
const std::array<ParamInfo, ParamCount> Params = {{
    {"Spare Index 0", false, G::Hidden},
    {"Backlight Display Intensity", false, G::SystemSettings},
    {"Backlight Timeout (sec)", false, G::SystemSettings},
    {"Enable Beep", true, G::SystemSettings},
    {"Pass Auto Scroll Time", false, G::SystemSettings},
    {"Global Pass Timeout", false, G::SystemSettings},
    {"Low Battery Timeout", false, G::SystemSettings},
    {"Default Passes to Display", false, G::SystemSettings},
    {"USB Mode", false, G::SystemSettings},
    {"Alarm On Signal Loss", true, G::SystemSettings},
    {"Spare Index 10", false, G::Hidden},
    {"Spare Index 11", false, G::Hidden},
    {"Spare Index 12", false, G::Hidden},
    {"Spare Index 13", false, G::Hidden},
    {"Spare Index 14", false, G::Hidden},
    {"Spare Index 15", false, G::Hidden},
    {"Alarm Priority", false, G::Hidden},
    {"Pass Device On Priority", false, G::Hidden},
    {"Pass Device Off Priority", false, G::Hidden},
    {"No Pass Data Priority", false, G::Hidden},
    {"Hide un-Set Pass", true, G::PassDisplayPriority},
    {"Signal Timeout Priority", false, G::Hidden},
    {"EVAC Display Priority", false, G::Hidden},
    {"Spare Index 23", false, G::Hidden},
    {"Spare Index 24", false, G::Hidden},
    {"Spare Index 25", false, G::Hidden},
    {"All recieved data", true, G::DataLoggerSetup},
    {"Only stored pass device", true, G::DataLoggerSetup},
    {"Attached Pass state change", true, G::DataLoggerSetup},
    {"Attached Connects/Disconnects", true, G::DataLoggerSetup},
    {"Attached Alarms/Reset", true, G::DataLoggerSetup},
    {"Spare Index 31", false, G::Hidden},
}};
const ParamInfo Beyond = {"Spare Index 32", false, G::Hidden}; // the window's unused 33rd field
} // namespace

const ParamInfo &Param_Info(int i)
{
    return i >= 0 && i < ParamCount ? Params[static_cast<size_t>(i)] : Beyond;
}

QString Param_Description(int i)
{
    return QString::fromLatin1(Param_Info(i).description);
}

bool Is_Switch(int i)
{
    return Param_Info(i).isSwitch;
}

} // namespace halvo::settings
