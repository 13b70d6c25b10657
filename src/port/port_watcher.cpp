#include "port_watcher.h"

#include "serial_ports.h"

#include <QDir>
#include <QFileInfo>

namespace halvo::port {

namespace {
// The folder itself, or the nearest of its parents that exists.
QString nearestExisting(QString folder)
{
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return {};
        folder = parent;
    }
    return folder;
}
} // namespace

QStringList PortWatcher::System_Folders()
{
#ifdef Q_OS_WIN
    return {};
#else
    return {QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id")};
#endif
}

PortWatcher::PortNames PortWatcher::System_List()
{
#ifdef Q_OS_WIN
    return System_Port_Names;
#else
    return {};
#endif
}

PortWatcher::PortWatcher(const QStringList &extraFolders, QObject *parent, const QStringList &systemFolders,
                         PortNames systemList)
    : QObject(parent), m_systemList(std::move(systemList))
{
    for (const QString &f : systemFolders + extraFolders)
        if (!m_wanted.contains(f))
            m_wanted << f;
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::devicesChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        const bool arrived = watchWhatExists(); // /dev/serial/by-id comes with the first adapter
        if (arrived || m_watching.contains(path))
            m_settle.start();
    });
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_systemList && m_busy && m_busy())
            return;
        watchWhatExists();
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
    for (const QString &f : m_wanted)
        if (QDir(f).exists())
            out << f;
    return out;
}

bool PortWatcher::watchWhatExists()
{
    QStringList needed, watching;
    for (const QString &f : m_wanted) {
        const QString at = nearestExisting(f);
        if (!at.isEmpty() && !needed.contains(at))
            needed << at;
        if (at == f)
            watching << f;
    }
    bool allWatched = true;
    const QStringList watched = m_watcher.directories();
    for (const QString &f : needed)
        if (!watched.contains(f) && !m_watcher.addPath(f))
            allWatched = false;
    for (const QString &f : watched) // a parent watched while its folder was missing
        if (!needed.contains(f))
            m_watcher.removePath(f);
    if (allWatched && !m_systemList) {
        m_poll.stop();
    } else if (!m_poll.isActive()) {
        m_seen = snapshot();
        m_poll.start();
    }
    bool arrived = false;
    for (const QString &f : watching)
        arrived = arrived || !m_watching.contains(f);
    m_watching = watching;
    return arrived;
}

QStringList PortWatcher::snapshot() const
{
    QStringList names;
    for (const QString &f : folders())
        for (const QString &name :
             QDir(f).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            names << f + QLatin1Char('/') + name;
    if (m_systemList)
        names += m_systemList();
    return names;
}

} // namespace halvo::port
