#include "config_params.h"

#include "base/field_text.h"
#include "link/frame.h"

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

std::optional<int> Param_Value(const QString &text)
{
    return base::Round_Int16(text);
}

std::optional<ParamBytes> Param_Bytes(const ParamTexts &values, QString *error)
{
    ParamBytes bytes{};
    for (int i = 0; i < ParamCount; ++i) {
        const QString &text = values[static_cast<size_t>(i)];
        const auto v = base::Round_Int16(text);
        if (!v || *v < 0 || *v > 255) {
            if (error)
                *error = QStringLiteral("%1 \"%2\" is not a number 0..255").arg(Param_Description(i), text);
            return std::nullopt;
        }
        bytes[static_cast<size_t>(i)] = static_cast<quint8>(*v);
    }
    return bytes;
}

std::optional<QByteArray> Build_Config_Frame(const ParamTexts &values, QString *error)
{
    const auto bytes = Param_Bytes(values, error);
    if (!bytes)
        return std::nullopt;
    return link::Build_Request_Frame(link::Cmd::StoreSettings,
                                     QByteArray(reinterpret_cast<const char *>(bytes->data()), ParamCount));
}

std::optional<SettingsPage> Decode_Settings_Page(const QByteArray &reply)
{
    if (reply.size() < 3 + ParamCount)
        return std::nullopt;
    const char page = reply.at(2);
    if (page < '0' || page > '3')
        return std::nullopt;
    SettingsPage p{static_cast<SettingsPageKind>(page - '0'), {}};
    for (int i = 0; i < ParamCount; ++i)
        p.bytes[static_cast<size_t>(i)] = static_cast<quint8>(reply.at(3 + i));
    return p;
}

ValueCheck Check_Config_Value(const QString &value, const QString &maximum, const QString &minimum,
                              const QString &defaultText)
{
    const auto v = base::Round_Int16(value);
    const auto hi = base::Round_Int16(maximum);
    const auto lo = base::Round_Int16(minimum);
    const auto def = base::Round_Int16(defaultText);
    if (v && hi && lo && def && *lo <= *v && *v <= *hi)
        return {true, value};
    return {false, defaultText};
}

SwitchState Apply_Switch(const QString &written, bool wasChecked)
{
    const bool checked = base::Round_Int16(written) == 1;
    return {checked, checked != wasChecked ? Switch_Text(checked) : written};
}

int Numeric_Value(const QString &text)
{
    return base::Round_Int16(text).value_or(0);
}

} // namespace halvo::settings
