#pragma once

#include "link.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace halvo::port {

// A device node as the system shows it.
struct DeviceNode
{
    QString path;      // as asked for, "/dev/ttyUSB0"
    QString canonical; // the device behind any links, "/dev/ttyUSB0"
    uint uid = 0, gid = 0;
    uint mode = 0; // permission bits, 0660
    QString owner, group;
};

// The user running the tool: the groups the account database lists them in, and the
// groups this login actually has (a user added to a group has it only from the next
// login).
struct UserView
{
    uint uid = 0;
    QString name;
    QList<uint> listedGroups;
    QList<uint> sessionGroups;
};

// A process that holds a device open.
struct Holder
{
    qint64 pid = 0;
    QString name;
};

// A USB adapter's identity, as the kernel reports it.
struct UsbIds
{
    QString vendor, product, serial; // "0403", "6001", "A12345" (serial may be empty)
};

// What the tool reads of the computer about serial devices: /dev, /sys, /proc and
// the group and user files, under a root folder. The root is "/" for the real
// system; tests point it at a folder of their own that fakes the same layout.
class SystemSnapshot
{
public:
    explicit SystemSnapshot(QString root = QStringLiteral("/"));

    // USB serial adapters present: /dev/ttyUSB* and /dev/ttyACM*, by name.
    QStringList usbSerialDevices() const;
    std::optional<DeviceNode> node(const QString &path) const;
    // Other names of the device in /dev/serial/by-id or /dev/serial/by-path.
    QStringList aliases(const QString &canonical, const QString &kind) const;
    // Every name in /dev/serial/by-id with the device it leads to.
    QList<QPair<QString, QString>> byIdNames() const;
    UserView user() const;
    QString groupName(uint gid) const;
    // Whether the user may open the node for reading and writing, by its mode.
    bool mayOpen(const UserView &user, const DeviceNode &node) const;
    // Who holds the device: the process named in its lock file when it still runs,
    // then other processes with it open (our own left out: the simulated unit holds
    // its end).
    QList<Holder> holders(const DeviceNode &node) const;
    // Processes running under a name ("ModemManager").
    bool running(const QString &processName) const;
    std::optional<UsbIds> usbIds(const QString &canonical) const;
    // The USB vendor:product pairs brltty's udev rules claim, when brltty is installed.
    QStringList brlttyClaims() const;

private:
    // The running system: its accounts come from the system's own database, which
    // knows network users too; a snapshot's from its group and passwd files.
    bool live() const { return m_root == QLatin1String("/"); }
    QString at(const QString &path) const; // the path under the root
    QString unrooted(const QString &path) const;
    QString processName(qint64 pid) const;

    QString m_root;
};

// Why a device could not be opened, told so that the operator takes the right road:
// another program holds it (named where the system tells), or this user lacks the
// device's group (and whether a new login is all it takes).
struct OpenDiagnosis
{
    enum class Kind { InUse, NoPermission, NeedsLogin, Other };
    Kind kind = Kind::Other;
    QString text;
};
OpenDiagnosis Diagnose_Open_Failure(const SystemSnapshot &system, const QString &path,
                                    Link::OpenError error = Link::OpenError::Permission);

} // namespace halvo::port
