#pragma once
// Test helper: a folder laid out as a Linux system's /dev, /sys, /proc and /etc, for
// the checks that read the computer. Device nodes are plain files whose group is the
// test's own, named "dialout" in the folder's /etc/group; the user is alice (uid 4242).

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace halvo::test {

class FakeSystem
{
public:
    static constexpr uint Alice = 4242;

    FakeSystem() { loginWith(false, false); }
    QString root() const { return m_dir.path(); }
    // The group the nodes are made with: 20 where the test may hand files to it.
    static uint dialout() { return ::getuid() == 0 ? 20 : ::getgid(); }

    void write(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(root() + path).absolutePath());
        QFile f(root() + path);
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    void link(const QString &path, const QString &target)
    {
        QDir().mkpath(QFileInfo(root() + path).absolutePath());
        QFile::link(target, root() + path);
    }
    // alice is listed in dialout (in /etc/group) and this login has it, or not.
    void loginWith(bool listed, bool inSession)
    {
        const QByteArray gid = QByteArray::number(dialout());
        write("/etc/passwd", "root:x:0:0::/root:/bin/sh\nalice:x:4242:4242::/home/alice:/bin/bash\n");
        write("/etc/group", "dialout:x:" + gid + ":" + (listed ? "alice" : "") + "\nalice:x:4242:\n");
        write("/proc/self/status",
              "Name:\thalvo-cli\nUid:\t4242\t4242\t4242\t4242\nGid:\t4242\t4242\t4242\t4242\n"
              "Groups:\t4242 " +
                  (inSession ? gid : QByteArray()) + "\n");
    }
    // A USB adapter at /dev/NAME, with its sysfs entry and, with a serial number, its
    // by-id name.
    void adapter(const QString &name, const QByteArray &vendor, const QByteArray &product,
                 const QByteArray &serial = {})
    {
        write("/dev/" + name, {});
        [[maybe_unused]] const int given =
            ::chown(QFile::encodeName(root() + "/dev/" + name).constData(), uid_t(-1), dialout());
        QFile::setPermissions(root() + "/dev/" + name,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
        const QString usb = "/sys/devices/usb1/1-" + name;
        write(usb + "/idVendor", vendor + "\n");
        write(usb + "/idProduct", product + "\n");
        if (!serial.isEmpty())
            write(usb + "/serial", serial + "\n");
        QDir().mkpath(root() + usb + "/1-1:1.0/" + name);
        link("/sys/class/tty/" + name + "/device", root() + usb + "/1-1:1.0/" + name);
        if (!serial.isEmpty())
            link("/dev/serial/by-id/usb-" + vendor + "_" + serial + "-if00-port0", root() + "/dev/" + name);
    }
    void process(int pid, const QByteArray &name, const QString &holds = {})
    {
        write(QStringLiteral("/proc/%1/comm").arg(pid), name + "\n");
        if (!holds.isEmpty())
            link(QStringLiteral("/proc/%1/fd/3").arg(pid), holds);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace halvo::test
