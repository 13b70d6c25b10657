#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace halvo::port {

// Tells when a serial device may have come or gone: it watches the device folders
// (/dev, and /dev/serial/by-id) and any folder of the operator's, and says so once
// the burst of changes a plug-in makes has settled. A folder that does not exist yet
// (/dev/serial/by-id before the first adapter) is waited for: its nearest existing
// parent is watched until it appears. Where a folder cannot be watched it looks at
// the folders' names once a second instead. Where the system keeps its list of ports
// elsewhere (Windows' registry) that list is looked at once a second, unless the tool
// is busy with a port.
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int SettleMs = 300;
    static constexpr int PollMs = 1000;
    using PortNames = std::function<QStringList()>;
    static QStringList System_Folders();
    // The system's list of port names when it has one to look at (Windows), else none.
    static PortNames System_List();

    explicit PortWatcher(const QStringList &extraFolders, QObject *parent = nullptr,
                         const QStringList &systemFolders = System_Folders(),
                         PortNames systemList = System_List());
    // While busy() says so (a port open, a scan), the system's list is not looked at.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    // The folders watched: the system's device folders that exist, then the extra ones.
    QStringList folders() const;
    bool polling() const { return m_poll.isActive(); }

signals:
    void devicesChanged();

private:
    // Watches what is wanted now; true when a wanted folder has come since last time.
    bool watchWhatExists();
    QStringList snapshot() const;

    QStringList m_wanted;
    QFileSystemWatcher m_watcher;
    QStringList m_watching; // the wanted folders being watched
    QTimer m_settle;
    QTimer m_poll;
    QStringList m_seen; // what the folders held at the last look, when polling
    PortNames m_systemList;
    std::function<bool()> m_busy;
};

} // namespace halvo::port
