#include "serial_ports.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace halvo::port {

QList<PortEntry> System_Serial_Ports()
{
    QList<PortEntry> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        auto known = [](bool has, quint16 id) { return has ? std::optional<quint16>(id) : std::nullopt; };
        out.append({0, info.systemLocation(),
                    PortCatalogue::Adapter_Description(
                        info.description(), known(info.hasVendorIdentifier(), info.vendorIdentifier()),
                        known(info.hasProductIdentifier(), info.productIdentifier()), info.serialNumber())});
    }
    return out;
}

QStringList System_Port_Names()
{
    return {};
}

QString Adapter_Serial_Number(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.systemLocation() == path || QFileInfo(info.systemLocation()).canonicalFilePath() == device)
            return info.serialNumber();
    return {};
}

bool Can_Open_Port(const QString &path)
{
    QSerialPort probe(path);
    return probe.open(QIODevice::ReadWrite);
}

} // namespace halvo::port
