#include "serial_ports_windows.h"

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on
#endif

namespace halvo::port::win {

#ifdef Q_OS_WIN
namespace {
QString property(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD which)
{
    wchar_t text[256] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, which, nullptr, reinterpret_cast<BYTE *>(text),
                                           sizeof(text) - sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(text);
}
} // namespace

QMap<QString, PortDriver> Port_Drivers()
{
    QMap<QString, PortDriver> out;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return out;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t port[64] = {};
        DWORD size = sizeof(port) - sizeof(wchar_t), type = 0;
        const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(port),
                                            &size) == ERROR_SUCCESS &&
                           type == REG_SZ;
        RegCloseKey(key);
        if (named)
            out.insert(QString::fromWCharArray(port).toUpper(),
                       {property(set, device, SPDRP_FRIENDLYNAME), property(set, device, SPDRP_SERVICE)});
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}
#else
QMap<QString, PortDriver> Port_Drivers()
{
    return {};
}
#endif

} // namespace halvo::port::win
