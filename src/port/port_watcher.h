#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace halvo::port {

// Tells when a serial device may have come or gone: it watches the device folder
// (/dev, and /dev/serial/by-id once it exists) and any folder of the operator's, and
// says so once the burst of changes a plug-in makes has settled. Where a folder
// cannot be watched it looks at the folders' names once a second instead.
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int SettleMs = 300;
    static constexpr int PollMs = 1000;

    explicit PortWatcher(const QStringList &extraFolders, QObject *parent = nullptr);
    // The folders watched: the system's device folders that exist, then the extra ones.
    QStringList folders() const;
    bool polling() const { return m_poll.isActive(); }

signals:
    void devicesChanged();

private:
    void watchWhatExists();
    QStringList snapshot() const;

    QStringList m_extra;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
    QStringList m_seen; // what the folders held at the last look, when polling
};

} // namespace halvo::port
