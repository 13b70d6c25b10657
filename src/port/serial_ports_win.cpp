#include "serial_ports.h"

#include "win_serial_rules.h"

#include <QMap>

#include <algorithm>

// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

namespace halvo::port {

namespace {
// The COM ports the system has now: the data of each value under SERIALCOMM.
QStringList registryComPorts()
{
    QStringList out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256, dataBytes = sizeof(data) - sizeof(wchar_t), type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE *>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = 0;
        const QString port = QString::fromWCharArray(data).trimmed();
        if (win::Com_Number(port) > 0 && !out.contains(port, Qt::CaseInsensitive))
            out << port;
    }
    RegCloseKey(key);
    return out;
}

// "USB Serial Port (COM5)" for "COM5", where SetupAPI knows the adapter.
QMap<QString, QString> friendlyNames()
{
    QMap<QString, QString> out;
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
        wchar_t friendly[256] = {};
        if (named && SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                       reinterpret_cast<BYTE *>(friendly),
                                                       sizeof(friendly) - sizeof(wchar_t), nullptr))
            out.insert(QString::fromWCharArray(port).toUpper(), QString::fromWCharArray(friendly));
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}
} // namespace

QList<PortEntry> System_Serial_Ports()
{
    const QMap<QString, QString> names = friendlyNames();
    QList<PortEntry> out;
    for (const QString &port : registryComPorts())
        out.append({0, port, names.value(port.toUpper())});
    return out;
}

QStringList System_Port_Names()
{
    QStringList ports = registryComPorts();
    std::sort(ports.begin(), ports.end());
    return ports;
}

QString Adapter_Serial_Number(const QString &)
{
    return {}; // the registry's list names no adapter: the port stands for it
}

bool Can_Open_Port(const QString &path)
{
    const std::wstring device = win::Device_Path(path).toStdWString();
    HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

} // namespace halvo::port
