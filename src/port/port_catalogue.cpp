#include "port_catalogue.h"

#include "link_switch.h"
#include "logging.h"
#include "serial_ports.h"
#include "win_serial_rules.h"

#include <QDir>
#include <QFileInfo>

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
#ifdef Q_OS_WIN
    // COMn is port n; nothing to number but the tool's own ports.
    m_entries = Number_Com_Ports(m_extra, System_Serial_Ports());
#else
    // The folders' devices first: one the system lists too keeps the folder's name.
    QList<PortEntry> system;
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
    for (const PortEntry &e : System_Serial_Ports())
        if (!claimed.contains(QFileInfo(e.path).canonicalFilePath()))
            system.append(e);
    m_entries = Number_Ports(m_extra, system);
#endif
    qCInfo(lcPort) << "port list read:" << m_entries.size() << "ports";
}

QList<PortEntry> PortCatalogue::openable() const
{
    QList<PortEntry> out;
    for (const PortEntry &e : m_entries)
        if (e.path == Demo_Port() || Can_Open_Port(e.path)) // the demo is there while the tool runs
            out.append(e);
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

QList<PortEntry> PortCatalogue::Number_Com_Ports(const QStringList &extra, const QList<PortEntry> &comPorts)
{
    QList<PortEntry> out;
    auto taken = [&](int number) {
        return std::any_of(out.begin(), out.end(), [&](const PortEntry &e) { return e.number == number; });
    };
    for (const PortEntry &e : comPorts) {
        const int n = win::Com_Number(e.path);
        if (n > 0 && !taken(n))
            out.append({n, e.path, e.description});
    }
    // A COM port named on the command line keeps its number, listed or not; the
    // others take the lowest numbers free.
    QStringList others;
    for (const QString &p : extra) {
        const int n = win::Com_Number(p);
        if (n == 0)
            others << p;
        else if (!taken(n))
            out.append({n, p, QStringLiteral("named on the command line")});
    }
    int next = FirstPort;
    for (const QString &p : others) {
        while (taken(next))
            ++next;
        out.append({next, p,
                    p == Demo_Port() ? QStringLiteral("the simulated unit inside the tool")
                                     : QStringLiteral("named on the command line")});
    }
    std::sort(out.begin(), out.end(),
              [](const PortEntry &a, const PortEntry &b) { return a.number < b.number; });
    return out;
}

QString PortCatalogue::Adapter_Description(const QString &description, std::optional<quint16> vendorId,
                                           std::optional<quint16> productId, const QString &serialNumber)
{
    QString desc = description;
    if (vendorId && productId)
        desc += QStringLiteral(" [%1:%2]")
                    .arg(*vendorId, 4, 16, QLatin1Char('0'))
                    .arg(*productId, 4, 16, QLatin1Char('0'));
    if (!serialNumber.isEmpty())
        desc += QStringLiteral(" S/N ") + serialNumber;
    return desc.trimmed();
}

} // namespace halvo::port
