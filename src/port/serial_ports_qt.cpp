#include "serial_ports.h"

#include <QSerialPort>
#include <QSerialPortInfo>

namespace halvo::port {

QList<PortEntry> System_Serial_Ports()
{
    QList<PortEntry> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QString desc = info.description();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            desc += QStringLiteral(" [%1:%2]")
                        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        if (!info.serialNumber().isEmpty())
            desc += QStringLiteral(" S/N ") + info.serialNumber();
        out.append({0, info.systemLocation(), desc.trimmed()});
    }
    return out;
}

QStringList System_Port_Names()
{
    return {};
}

bool Can_Open_Port(const QString &path)
{
    QSerialPort probe(path);
    return probe.open(QIODevice::ReadWrite);
}

} // namespace halvo::port
