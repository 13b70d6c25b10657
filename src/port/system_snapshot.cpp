#include "system_snapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace halvo::port {

namespace {
QByteArray readSmall(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(1 << 16) : QByteArray();
}

// "name:x:gid:member,member" lines of a group file, or "name:x:uid:gid:..." of passwd.
QList<QStringList> colonFile(const QString &path)
{
    QList<QStringList> out;
    for (const QByteArray &line : readSmall(path).split('\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            out << QString::fromUtf8(line).split(QLatin1Char(':'));
    return out;
}

#ifdef Q_OS_UNIX
// The system's own account database (files, or network users through NSS).
std::optional<QString> liveUserName(uint uid, uint *primaryGid = nullptr)
{
    std::vector<char> buffer(16384);
    passwd pw{}, *found = nullptr;
    if (::getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    if (primaryGid)
        *primaryGid = found->pw_gid;
    return QString::fromLocal8Bit(found->pw_name);
}

std::optional<QString> liveGroupName(uint gid)
{
    std::vector<char> buffer(16384);
    group gr{}, *found = nullptr;
    if (::getgrgid_r(gid, &gr, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return QString::fromLocal8Bit(found->gr_name);
}

QList<uint> liveGroupsOf(const QString &name, uint primaryGid)
{
    const QByteArray user = name.toLocal8Bit();
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(user.constData(), primaryGid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count)); // count now says how many there are
        if (::getgrouplist(user.constData(), primaryGid, groups.data(), &count) < 0)
            return {primaryGid};
    }
    QList<uint> out;
    for (int i = 0; i < count; ++i)
        out << groups[static_cast<size_t>(i)];
    return out;
}
#endif

// The numbers after "Key:" in /proc/PID/status.
QList<uint> statusNumbers(const QByteArray &status, const char *key)
{
    QList<uint> out;
    for (const QByteArray &line : status.split('\n'))
        if (line.startsWith(key))
            for (const QByteArray &n : line.mid(qstrlen(key)).simplified().split(' ')) {
                bool ok = false;
                const uint v = n.toUInt(&ok);
                if (ok)
                    out << v;
            }
    return out;
}

// The names lock files are made under: QSerialPort's ("LCK..pts_3" for /dev/pts/3)
// and the classic ones ("LCK..ttyUSB0").
QStringList lockNames(const QString &path)
{
    QStringList out;
    for (QString name : {path, QFileInfo(path).fileName()}) {
        if (name.startsWith(QLatin1String("/dev/")))
            name = name.mid(5);
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        out << QStringLiteral("LCK..") + name;
    }
    out.removeDuplicates();
    return out;
}
} // namespace

SystemSnapshot::SystemSnapshot(QString root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.endsWith(QLatin1Char('/')))
        m_root.chop(1);
}

QString SystemSnapshot::at(const QString &path) const
{
    return m_root == QLatin1String("/") ? path : m_root + path;
}

QString SystemSnapshot::unrooted(const QString &path) const
{
    if (m_root == QLatin1String("/") || !path.startsWith(m_root + QLatin1Char('/')))
        return path;
    return path.mid(m_root.size());
}

QStringList SystemSnapshot::usbSerialDevices() const
{
    QStringList out;
    for (const QString &name : QDir(at(QStringLiteral("/dev")))
                                   .entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                              QDir::System | QDir::Files, QDir::Name))
        out << QStringLiteral("/dev/") + name;
    return out;
}

std::optional<DeviceNode> SystemSnapshot::node(const QString &path) const
{
#ifdef Q_OS_UNIX
    const QString canonical = QFileInfo(at(path)).canonicalFilePath();
    struct stat st
    {
    };
    if (canonical.isEmpty() || ::stat(QFile::encodeName(canonical).constData(), &st) != 0)
        return std::nullopt;
    DeviceNode n{path, unrooted(canonical), st.st_uid, st.st_gid, uint(st.st_mode & 07777), {}, {}};
    n.group = groupName(n.gid);
    if (live()) {
        n.owner = liveUserName(n.uid).value_or(QString::number(n.uid));
        return n;
    }
    for (const QStringList &p : colonFile(at(QStringLiteral("/etc/passwd"))))
        if (p.size() > 2 && p.at(2).toUInt() == n.uid)
            n.owner = p.at(0);
    return n;
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

QStringList SystemSnapshot::aliases(const QString &canonical, const QString &kind) const
{
    QStringList out;
    const QString folder = QStringLiteral("/dev/serial/") + kind;
    for (const QFileInfo &f : QDir(at(folder)).entryInfoList(QDir::System | QDir::Files, QDir::Name))
        if (unrooted(f.canonicalFilePath()) == canonical)
            out << folder + QLatin1Char('/') + f.fileName();
    return out;
}

QList<QPair<QString, QString>> SystemSnapshot::byIdNames() const
{
    QList<QPair<QString, QString>> out;
    const QString folder = QStringLiteral("/dev/serial/by-id");
    for (const QFileInfo &f : QDir(at(folder)).entryInfoList(QDir::System | QDir::Files, QDir::Name))
        out.append({f.fileName(), unrooted(f.canonicalFilePath())});
    return out;
}

QString SystemSnapshot::groupName(uint gid) const
{
#ifdef Q_OS_UNIX
    if (live())
        return liveGroupName(gid).value_or(QString::number(gid));
#endif
    for (const QStringList &g : colonFile(at(QStringLiteral("/etc/group"))))
        if (g.size() > 2 && g.at(2).toUInt() == gid)
            return g.at(0);
    return QString::number(gid);
}

UserView SystemSnapshot::user() const
{
    UserView u;
    const QByteArray status = readSmall(at(QStringLiteral("/proc/self/status")));
    const QList<uint> uids = statusNumbers(status, "Uid:"), gids = statusNumbers(status, "Gid:");
    u.uid = uids.value(0);
    u.sessionGroups = statusNumbers(status, "Groups:");
    if (!gids.isEmpty() && !u.sessionGroups.contains(gids.first()))
        u.sessionGroups << gids.first();
#ifdef Q_OS_UNIX
    if (live()) {
        uint primary = gids.value(0);
        u.name = liveUserName(u.uid, &primary).value_or(QString::number(u.uid));
        u.listedGroups = liveGroupsOf(u.name, primary);
        return u;
    }
#endif
    for (const QStringList &p : colonFile(at(QStringLiteral("/etc/passwd"))))
        if (p.size() > 3 && p.at(2).toUInt() == u.uid) {
            u.name = p.at(0);
            u.listedGroups << p.at(3).toUInt();
        }
    for (const QStringList &g : colonFile(at(QStringLiteral("/etc/group"))))
        if (g.size() > 3 && g.at(3).split(QLatin1Char(',')).contains(u.name) &&
            !u.listedGroups.contains(g.at(2).toUInt()))
            u.listedGroups << g.at(2).toUInt();
    return u;
}

bool SystemSnapshot::mayOpen(const UserView &user, const DeviceNode &node) const
{
    if (user.uid == 0)
        return true;
    const uint bits = user.uid == node.uid                    ? (node.mode >> 6) & 7
                      : user.sessionGroups.contains(node.gid) ? (node.mode >> 3) & 7
                                                              : node.mode & 7;
    return (bits & 6) == 6;
}

QString SystemSnapshot::processName(qint64 pid) const
{
    return QString::fromUtf8(readSmall(at(QStringLiteral("/proc/%1/comm").arg(pid))).trimmed());
}

QList<Holder> SystemSnapshot::holders(const DeviceNode &node) const
{
    QList<Holder> out;
    auto add = [&](qint64 pid) {
        for (const Holder &h : out)
            if (h.pid == pid)
                return;
        const QString name = processName(pid);
        if (!name.isEmpty()) // gone, or not ours to see
            out.append({pid, name});
    };
    static const char *const lockDirs[] = {"/var/lock",  "/run/lock", "/var/spool/locks", "/var/spool/uucp",
                                           "/etc/locks", "/tmp",      "/var/tmp"};
    for (const QString &name : lockNames(node.path) + lockNames(node.canonical))
        for (const char *dir : lockDirs) {
            const QString text = QString::fromLatin1(readSmall(at(QLatin1String(dir) + '/' + name)));
            const auto m = QRegularExpression(QStringLiteral("^\\s*(\\d+)")).match(text);
            if (m.hasMatch())
                add(m.captured(1).toLongLong());
        }
    const qint64 self = m_root == QLatin1String("/") ? QCoreApplication::applicationPid() : -1;
    const QDir proc(at(QStringLiteral("/proc")));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 n = pid.toLongLong();
        if (n <= 0 || n == self)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            const QString target = fd.symLinkTarget();
            if (target == node.canonical || unrooted(target) == node.canonical) {
                add(n);
                break;
            }
        }
    }
    return out;
}

bool SystemSnapshot::running(const QString &name) const
{
    const QDir proc(at(QStringLiteral("/proc")));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (pid.toLongLong() > 0 && processName(pid.toLongLong()) == name)
            return true;
    return false;
}

std::optional<UsbIds> SystemSnapshot::usbIds(const QString &canonical) const
{
    // /sys/class/tty/NAME/device leads into the USB device's folder; its vendor and
    // product are a few folders up.
    QString dir = QFileInfo(at(QStringLiteral("/sys/class/tty/") + QFileInfo(canonical).fileName() +
                               QStringLiteral("/device")))
                      .canonicalFilePath();
    for (int up = 0; up < 6 && !dir.isEmpty() && dir != m_root; ++up) {
        const QByteArray vendor = readSmall(dir + QStringLiteral("/idVendor")).trimmed();
        if (!vendor.isEmpty())
            return UsbIds{QString::fromLatin1(vendor),
                          QString::fromLatin1(readSmall(dir + QStringLiteral("/idProduct")).trimmed()),
                          QString::fromLatin1(readSmall(dir + QStringLiteral("/serial")).trimmed())};
        dir = QFileInfo(dir).absolutePath();
    }
    return std::nullopt;
}

QStringList SystemSnapshot::brlttyClaims() const
{
    QStringList claims;
    const bool installed = QFileInfo::exists(at(QStringLiteral("/usr/bin/brltty"))) ||
                           QFileInfo::exists(at(QStringLiteral("/bin/brltty")));
    if (!installed)
        return claims;
    // Its rules name devices as ENV{PRODUCT}=="1a86/7523/*".
    static const QRegularExpression product(QStringLiteral("PRODUCT\\}==\"([0-9a-fA-F]+)/([0-9a-fA-F]+)/"));
    for (const char *dir : {"/usr/lib/udev/rules.d", "/lib/udev/rules.d", "/etc/udev/rules.d"})
        for (const QFileInfo &f : QDir(at(QLatin1String(dir))).entryInfoList({QStringLiteral("*brltty*")})) {
            auto it = product.globalMatch(QString::fromLatin1(readSmall(f.filePath())));
            while (it.hasNext()) {
                const auto m = it.next();
                const QString pair = m.captured(1).rightJustified(4, QLatin1Char('0')).toLower() +
                                     QLatin1Char(':') +
                                     m.captured(2).rightJustified(4, QLatin1Char('0')).toLower();
                if (!claims.contains(pair))
                    claims << pair;
            }
        }
    return claims;
}

OpenDiagnosis Diagnose_Open_Failure(const SystemSnapshot &system, const QString &path, Link::OpenError error)
{
    using Kind = OpenDiagnosis::Kind;
    const auto node = system.node(path);
    // A port with no device node (Windows' COM ports) that refused as busy is held by
    // another program; the system does not say which.
    if (!node && error == Link::OpenError::Busy)
        return {Kind::InUse,
                QStringLiteral("%1 is in use by another program. Close it and retry.").arg(path)};
    if (!node)
        return {Kind::Other, QStringLiteral("%1 does not exist (the adapter is unplugged?)").arg(path)};
    const UserView user = system.user();
    if (system.mayOpen(user, *node)) {
        QStringList names;
        for (const Holder &h : system.holders(*node))
            names << QStringLiteral("%1 (process %2)").arg(h.name).arg(h.pid);
        return {Kind::InUse,
                names.isEmpty()
                    ? QStringLiteral("%1 is in use by another program. Close it and retry.").arg(path)
                    : QStringLiteral("%1 is in use by another program: %2. Close it and retry.")
                          .arg(path, names.join(QStringLiteral(", ")))};
    }
    if (user.listedGroups.contains(node->gid))
        return {Kind::NeedsLogin,
                QStringLiteral("Permission denied opening %1.\n\nYou are in the group \"%2\", but this login "
                               "started before you were added to it: log out and in again, and retry.")
                    .arg(path, node->group)};
    return {Kind::NoPermission, QStringLiteral("Permission denied opening %1.\n\nAdd your user to the group "
                                               "\"%2\" (sudo adduser $USER %2), log in again, and retry.")
                                    .arg(path, node->group)};
}

} // namespace halvo::port
