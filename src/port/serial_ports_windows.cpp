#include "serial_ports_windows.h"

#include "win_serial_rules.h"

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

QStringList Registry_Port_Names()
{
    QStringList out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        wchar_t data[64] = {};
        DWORD nameSize = 255, dataSize = sizeof(data) - sizeof(wchar_t), type = 0;
        const LONG result =
            RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ)
            out << QString::fromWCharArray(data).trimmed();
    }
    RegCloseKey(key);
    return out;
}

ComPortFacts::Opens Try_Open(const QString &port, QString *why)
{
    const QString path = Device_Path(port);
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return ComPortFacts::Opens::Now;
    }
    const DWORD error = GetLastError();
    if (why)
        *why = qt_error_string(static_cast<int>(error));
    return Held_Elsewhere(error) ? ComPortFacts::Opens::InUse : ComPortFacts::Opens::No;
}
#else
QMap<QString, PortDriver> Port_Drivers()
{
    return {};
}

QStringList Registry_Port_Names()
{
    return {};
}

ComPortFacts::Opens Try_Open(const QString &, QString *)
{
    return ComPortFacts::Opens::No;
}
#endif

} // namespace halvo::port::win
