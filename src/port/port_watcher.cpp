#include "port_watcher.h"

#include <QDir>

namespace halvo::port {

namespace {
const QStringList SystemFolders = {QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id")};
} // namespace

PortWatcher::PortWatcher(const QStringList &extraFolders, QObject *parent)
    : QObject(parent), m_extra(extraFolders)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::devicesChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        watchWhatExists(); // /dev/serial/by-id comes with the first USB adapter
        m_settle.start();
    });
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        const QStringList now = snapshot();
        if (now != m_seen) {
            m_seen = now;
            emit devicesChanged();
        }
    });
    watchWhatExists();
}

QStringList PortWatcher::folders() const
{
    QStringList out;
    for (const QString &f : SystemFolders + m_extra)
        if (QDir(f).exists() && !out.contains(f))
            out << f;
    return out;
}

void PortWatcher::watchWhatExists()
{
    const QStringList wanted = folders(), watched = m_watcher.directories();
    bool allWatched = true;
    for (const QString &f : wanted)
        if (!watched.contains(f) && !m_watcher.addPath(f))
            allWatched = false;
    if (allWatched) {
        m_poll.stop();
    } else if (!m_poll.isActive()) {
        m_seen = snapshot();
        m_poll.start();
    }
}

QStringList PortWatcher::snapshot() const
{
    QStringList names;
    for (const QString &f : folders())
        for (const QString &name :
             QDir(f).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            names << f + QLatin1Char('/') + name;
    return names;
}

} // namespace halvo::port
