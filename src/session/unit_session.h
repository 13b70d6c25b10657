#pragma once

#include "config/part.h"
#include "download_end.h"
#include "notice.h"
#include "port/link.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace halvo::config {
class Configuration;
}

namespace halvo::session {

class ArchiveDownload;
class Connection;
class EventCollection;
class EventDownload;
class EventFiling;
class PaceClock;
class PortScanner;
class ReadJob;
class ReceivePath;
class StoreJob;
class UnitImage;
class Watchdog;

// What a session is built on. Tests put a fake link and fake clocks in.
struct SessionSeams
{
    std::unique_ptr<port::Link> link; // the serial link when empty
    // The clock that paces a job ("store", "read", "events", "collect", "connect"); a
    // real timer each when empty.
    std::function<std::unique_ptr<PaceClock>(const char *job)> clock;
};

// How long the jobs wait, and how their pauses are scaled; tests and the demo shorten
// them. The pauses of a store and the ticks of an event download are the unit's own
// pacing: only scaled, never dropped.
struct SessionTiming
{
    double pauseScale = 1.0;     // a store's pauses
    double eventScale = 1.0;     // the paced event read's ticks
    int readMs = 25000;          // a read's replies; the unit's banner when connecting
    int readBackMs = 5000;       // a store's read back
    int pointerWaitMs = 10000;   // the event log pointer, before a paced read is given up
    int scanListenMs = 6200;     // listening on each port during a scan
    int collectMinuteMs = 60000; // a minute of the collection's period
};

// The serial link, and beside it the demo unit's link when there is one: what the
// window and halvo-cli are built on.
SessionSeams Serial_Seams(std::function<std::unique_ptr<port::Link>()> demoLink = {});

// One unit on one link, for the window, halvo-cli and the fuzz target alike. It owns
// the link, the receive path and the jobs that run against the unit, and it is the
// only one that hears the unit: each reply, line and break is handed to its jobs in
// the order this class's code shows, then told to the front ends. Every frame to the
// unit goes out through its one write path. Nothing here asks or shows anything: a
// request on a closed port fails, and what the operator is to be told is a notice.
class UnitSession : public QObject
{
    Q_OBJECT
public:
    explicit UnitSession(SessionSeams seams = {}, QObject *parent = nullptr);
    ~UnitSession() override;

    void setConfiguration(config::Configuration *config);
    void setTiming(const SessionTiming &timing);
    // Every job ends without sending more (the window closes).
    void stopJobs();

    // ---- the link
    // Opens the device and drops what arrived before. A refusal says which (error)
    // and the system's words (why); Connection says what stands in the way.
    bool open(const QString &path, port::Link::OpenError *error = nullptr, QString *why = nullptr);
    void close();
    bool isOpen() const;
    QString path() const;
    // The link broke since it was last opened.
    bool linkLost() const { return m_lost; }
    // How the link is known apart from the unit at its end: the adapter's serial
    // number, or the port where the system gives none. Asked of the system once for
    // each opening: the adapter cannot change while its port is open.
    QString adapter() const;

    // ---- the one write path: false, and the operator told once, when the port is
    // closed, the link broke or the port refused the frame. A sender that stays quiet
    // while the receive path's message stands (the clock) says so.
    enum class Tell { Always, UnlessLatched };
    bool send(const QByteArray &frame, Tell tell = Tell::Always);
    // Of the frames handed over, the bytes that have not left the port yet.
    qint64 bytesToWrite() const;
    // A job's failure the operator is to hear of, unless it is the broken link just told.
    void tellFailure(const QString &why = {});

    // ---- requests; each says whether it went out (a closed port: it did not)
    bool read(config::Part part);
    // Reads a part back into the unit image only: the operator's fields stay.
    bool readBack(config::Part part);
    bool readPointer();
    // Asks for the count pages that end just before start; start becomes the first.
    bool readPages(int &start, int count);
    // Asks for count pages from firstPage on (a planned read).
    bool readPagesFrom(int firstPage, int count);
    bool clearEventLog();
    bool setClock(const QDateTime &now);

    // ---- what the unit said
    // The first 12 characters of its last banner, and the banner whole.
    QString unitId() const;
    QString identification() const;
    void forgetUnit();
    // The pointer the unit last sent since it was asked, if any.
    std::optional<int> lastPointer() const;
    bool errorLatch() const;
    void clearErrorLatch();
    // One receive event's bytes as the link would hand them over (the fuzz target).
    void take(const QByteArray &bytes);
    const ReceivePath &receivePath() const { return *m_receive; }

    // ---- its jobs, to start and to listen to
    const UnitImage &image() const { return *m_image; }
    Watchdog &watchdog() { return *m_watchdog; }
    const Watchdog &watchdog() const { return *m_watchdog; }
    Connection &connection() { return *m_connection; }
    StoreJob &stores() { return *m_stores; }
    ReadJob &reads() { return *m_reads; }
    EventDownload &events() { return *m_events; }
    ArchiveDownload &archive() { return *m_archive; }
    EventCollection &collection() { return *m_collection; }
    EventFiling &filing() { return *m_filing; }
    PortScanner &scanner() { return *m_scanner; }
    // A job of the operator's runs: a store, a read, an event download, a scan.
    bool busy() const;

signals:
    void notice(halvo::session::Notice what, const QString &detail);
    // The link broke (unplugged, hung up); the port is closed already, the jobs told.
    void linkBroke(const QString &reason);
    // The unit's banner; an event line; the event log pointer as the tool shows it.
    void identified(const QString &unitId);
    void eventLine(const QByteArray &line);
    void pointerReceived(int shown);
    // An event download ended, told once the session's jobs have finished with it.
    void downloadEnded(const halvo::session::DownloadEnd &end);

private:
    void onBytesReceived();
    void onLinkLost(const QString &reason);
    void onEventLine(const QByteArray &line);
    void onReplyPlaced(config::Part part);
    void onNotice(Notice what, const QString &detail);
    void onDownloadEnded(DownloadEnd::How how, const QString &why);

    std::unique_ptr<port::Link> m_link;
    std::unique_ptr<UnitImage> m_image;
    std::unique_ptr<ReceivePath> m_receive;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<StoreJob> m_stores;
    std::unique_ptr<ReadJob> m_reads;
    std::unique_ptr<EventFiling> m_filing;
    std::unique_ptr<EventDownload> m_events;
    std::unique_ptr<ArchiveDownload> m_archive;
    std::unique_ptr<EventCollection> m_collection;
    std::unique_ptr<PortScanner> m_scanner;
    mutable std::optional<QString> m_adapter; // of the port opened last
    bool m_inReceive = false;
    bool m_lost = false;     // the link broke since it was opened
    bool m_lostTold = false; // and the operator has been told
};

} // namespace halvo::session
