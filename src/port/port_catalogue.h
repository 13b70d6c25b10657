#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

namespace halvo::port {

// The unit is addressed by a port number, as the operator knows it ("COM 4"). On
// Windows port n is COMn; elsewhere the catalogue numbers up to 17 serial devices in a
// stable order so the same adapter keeps the same number between runs.
struct PortEntry
{
    int number = 0;
    QString path;        // what QSerialPort opens: "COM4", "/dev/ttyUSB0", "/dev/pts/3"
    QString description; // for the tooltip
};

class PortCatalogue
{
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 17;

    // Ports named on the command line and the demo unit's pty; listed first.
    void setExtraPorts(const QStringList &paths) { m_extra = paths; }
    void addExtraPort(const QString &path);
    const QStringList &extraPorts() const { return m_extra; }
    // Folders whose every device is a port too (a folder of udev symlinks, --port-dir).
    // A device the system lists as well is listed once, under the folder's name.
    void setFolders(const QStringList &folders) { m_folders = folders; }
    const QStringList &folders() const { return m_folders; }

    // Re-reads the system's serial ports and numbers them again.
    void refresh();
    const QList<PortEntry> &entries() const { return m_entries; }
    // The entries whose device can be opened now; nothing is sent or listened for.
    QList<PortEntry> openable() const;
    // What a tooltip or a listing says of a port: its path, and the adapter's description.
    static QString Port_Details(const PortEntry &e);
    const PortEntry *find(int number) const;

    // Numbers ports in the order: extra ports as given, then USB adapters
    // (ttyUSB*, ttyACM*, or a link to one) by name, then the rest by name; at most 17.
    static QList<PortEntry> Number_Ports(const QStringList &extra, QList<PortEntry> systemPorts);
    // Numbers ports as Windows does: COMn is port n (above 17 too); extra ports that
    // are no COM port (the demo unit) take the lowest numbers left free.
    static QList<PortEntry> Number_Com_Ports(const QStringList &extra, const QList<PortEntry> &comPorts);

    // "COM" + the number with one leading blank + " :" + suffix; port 4 gives "COM 4 :".
    static QString Port_Entry_Text(int number, const QString &suffix = {});
    static bool Is_Usb_Adapter(const QString &path);
    // What the tooltip says of an adapter: "FT232R USB UART [0403:6001] S/N A12345",
    // the IDs when the system knows both, the serial number when there is one.
    static QString Adapter_Description(const QString &description, std::optional<quint16> vendorId,
                                       std::optional<quint16> productId, const QString &serialNumber);

private:
    QStringList m_extra;
    QStringList m_folders;
    QList<PortEntry> m_entries;
};

} // namespace halvo::port

Q_DECLARE_METATYPE(halvo::port::PortEntry)
