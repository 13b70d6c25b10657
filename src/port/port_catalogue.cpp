#include "port_catalogue.h"

#include "link_switch.h"
#include "logging.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

namespace halvo::port {

bool PortCatalogue::Is_Usb_Adapter(const QString &path)
{
    auto usb = [](const QString &p) {
        const QString name = QFileInfo(p).fileName();
        return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
    };
    return usb(path) || usb(QFileInfo(path).canonicalFilePath());
}

void PortCatalogue::addExtraPort(const QString &path)
{
    if (!m_extra.contains(path))
        m_extra.append(path);
}

void PortCatalogue::refresh()
{
    QList<PortEntry> system;
#ifdef Q_OS_WIN
    // COMn is port n; nothing to number.
    m_entries.clear();
    for (int n = FirstPort; n <= LastPort; ++n)
        m_entries.append({n, QStringLiteral("COM%1").arg(n), {}});
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        for (PortEntry &e : m_entries)
            if (e.path.compare(info.portName(), Qt::CaseInsensitive) == 0)
                e.description = info.description();
    }
    return;
#else
    // The folders' devices first: one the system lists too keeps the folder's name.
    QStringList claimed;
    for (const QString &folder : m_folders) {
        const QDir dir(folder);
        for (const QFileInfo &f :
             dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString device = f.canonicalFilePath();
            if (device.isEmpty() || claimed.contains(device))
                continue; // a link to nothing
            claimed << device;
            system.append({0, f.absoluteFilePath(), QStringLiteral("in ") + folder});
        }
    }
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (claimed.contains(QFileInfo(info.systemLocation()).canonicalFilePath()))
            continue;
        QString desc = info.description();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            desc += QStringLiteral(" [%1:%2]")
                        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        if (!info.serialNumber().isEmpty())
            desc += QStringLiteral(" S/N ") + info.serialNumber();
        system.append({0, info.systemLocation(), desc.trimmed()});
    }
    m_entries = Number_Ports(m_extra, system);
    qCInfo(lcPort) << "port list read:" << m_entries.size() << "ports";
#endif
}

QList<PortEntry> PortCatalogue::openable() const
{
    QList<PortEntry> out;
    for (const PortEntry &e : m_entries) {
        if (e.path == Demo_Port()) { // the tool's own: always there while it runs
            out.append(e);
            continue;
        }
        QSerialPort probe(e.path);
        if (probe.open(QIODevice::ReadWrite))
            out.append(e);
    }
    return out;
}

QString PortCatalogue::Port_Details(const PortEntry &e)
{
    return e.description.isEmpty() ? e.path : e.path + QStringLiteral(" - ") + e.description;
}

const PortEntry *PortCatalogue::find(int number) const
{
    for (const PortEntry &e : m_entries)
        if (e.number == number)
            return &e;
    return nullptr;
}

QList<PortEntry> PortCatalogue::Number_Ports(const QStringList &extra, QList<PortEntry> systemPorts)
{
    QList<PortEntry> out;
    auto add = [&](const PortEntry &e) {
        if (out.size() >= LastPort)
            return;
        for (const PortEntry &o : out)
            if (o.path == e.path)
                return;
        PortEntry n = e;
        n.number = static_cast<int>(out.size()) + FirstPort;
        out.append(n);
    };
    for (const QString &p : extra)
        add({0, p,
             p == Demo_Port() ? QStringLiteral("the simulated unit inside the tool")
                              : QStringLiteral("named on the command line")});
    std::stable_sort(systemPorts.begin(), systemPorts.end(), [](const PortEntry &a, const PortEntry &b) {
        const bool ua = Is_Usb_Adapter(a.path), ub = Is_Usb_Adapter(b.path);
        if (ua != ub)
            return ua;
        return a.path < b.path;
    });
    for (const PortEntry &e : systemPorts)
        add(e);
    return out;
}

QString PortCatalogue::Port_Entry_Text(int number, const QString &suffix)
{
    // A number that is not negative is written with one leading blank.
    const QString num = number >= 0 ? QStringLiteral(" %1").arg(number) : QString::number(number);
    return QStringLiteral("COM") + num + QStringLiteral(" :") + suffix;
}

int PortCatalogue::Port_Number_From_Entry(const QString &text, bool *ok)
{
    const QString chars = text.mid(4, 2).trimmed();
    bool parsed = false;
    const int n = chars.toInt(&parsed);
    if (ok)
        *ok = parsed;
    return parsed ? n : 0;
}

} // namespace halvo::port
