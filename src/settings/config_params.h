#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

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

// The window holds every parameter as the decimal text of its field.
using ParamTexts = std::array<QString, ParamCount>;
using ParamBytes = std::array<quint8, ParamCount>;

// A parameter's text as the unit is sent it: a whole number, a fraction rounded.
std::optional<int> Param_Value(const QString &text);

// Each text read as a whole number (a fraction rounded) that must lie in 0..255.
std::optional<ParamBytes> Param_Bytes(const ParamTexts &values, QString *error = nullptr);

// The 39-byte settings store frame: "D", "#", 0, 35, parameters 0..31, checksum, LF,
// CR. Built whole before anything is sent; a field that is no byte fails it.
std::optional<QByteArray> Build_Config_Frame(const ParamTexts &values, QString *error = nullptr);

// The unit answers a settings read with four pages of 32 raw bytes each.
enum class SettingsPageKind { Maxima = 0, Minima = 1, Defaults = 2, Values = 3 };
struct SettingsPage
{
    SettingsPageKind kind;
    ParamBytes bytes;
};
// A settings page reply (bytes 0..38 of the frame): the page character "0".."3" in
// byte 2, parameter i in byte 3 + i. Any other page character gives nothing: the
// page is ignored.
std::optional<SettingsPage> Decode_Settings_Page(const QByteArray &reply);

// A typed value is good when it lies within the parameter's limits (all read as
// 16-bit numbers); otherwise the field gets the default text back.
struct ValueCheck
{
    bool good = false;
    QString text; // what the field holds afterwards
};
ValueCheck Check_Config_Value(const QString &value, const QString &maximum, const QString &minimum,
                              const QString &defaultText);

// A switch's box mirrors its value: ticked for 1, clear otherwise. When writing a
// value changes the box, the box's click rule rewrites the field as "1" or "0";
// when it does not, the field keeps the written text (a 7 stays 7 behind a clear
// box).
struct SwitchState
{
    bool checked = false;
    QString text;
};
SwitchState Apply_Switch(const QString &written, bool wasChecked);
inline QString Switch_Text(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

// The number a field shows, as the priority refreshes read it: 0 when it is none.
int Numeric_Value(const QString &text);

} // namespace halvo::settings
