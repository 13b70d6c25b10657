#include "pty_wire.h"

#include "sim_unit.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace halvo::sim {

PtyWire::PtyWire(SimUnit &unit) : m_unit(unit) {}

PtyWire::~PtyWire()
{
    hangUp();
}

bool PtyWire::open(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        hangUp();
        return false;
    };
    // Close-on-exec: a program started from here (a test's halvo-cli) must not hold
    // the unit's end open, or hanging up would not reach the tool.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);
    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveHold < 0)
        return fail("open slave");
    termios t{};
    if (::tcgetattr(m_slaveHold, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B38400);
        ::tcsetattr(m_slaveHold, TCSANOW, &t);
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyWire::readable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        m_writeNotifier->setEnabled(false);
        m_unit.wireReady();
    });
    return true;
}

void PtyWire::readable()
{
    QByteArray in;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            in.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: all read; EIO cannot happen while the slave is held open
    }
    m_unit.take(in);
}

qint64 PtyWire::send(const QByteArray &bytes)
{
    if (m_master < 0)
        return -1;
    const ssize_t n = ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR) {
        m_writeNotifier->setEnabled(true); // the pty is full: wait until it takes bytes again
        return 0;
    }
    return -1;
}

void PtyWire::hangUp()
{
    for (QSocketNotifier **n : {&m_notifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
    m_master = m_slaveHold = -1;
}

} // namespace halvo::sim
