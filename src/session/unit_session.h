#pragma once

#include "config/part.h"
#include "notice.h"
#include "port/link.h"
#include "run.h"
#include "unit_channel.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace halvo::config {
class Configuration;
}

namespace halvo::session {

class ArchiveDownload;
class ArchiveQuestions;
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
    // Every run ends without sending more (the window closes).
    void stopJobs();

    // ---- commands. Each returns its run, owned by the session until it has told its
    // end; runStarted is told before the work begins. A command that cannot begin
    // (its kind runs already, the port is closed, the input is refused) returns a run
    // that ends Refused, and runStarted is not told.
    // Opens path; with bannerWaitMs > 0 the run ends once the unit announced itself.
    Run *connectTo(const QString &path, int bannerWaitMs = 0);
    // Listens on each port in turn for a unit's banner; nothing is sent.
    Run *scan(const QList<port::PortEntry> &ports);
    // Reads parts whole into the configuration; a record is read until two reads agree.
    enum class Reads { Once, UntilTwoAgree };
    Run *read(std::vector<config::Part> parts, Reads reads = Reads::Once);
    // STORE CONFIGURATION of a part (passes 1..passCount), the items the operator chose,
    // or a plan as it is; each checked by reading the unit back unless told not to.
    Run *store(config::Part part, const config::Configuration &config, int passCount = config::PassCount);
    Run *storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config);
    Run *store(config::StorePlan plan, bool check = true);
    // The last pages of the event log, paced, into file as they come when one is
    // given ("-": standard output), opened once the unit has answered.
    Run *downloadPages(int pages, const QString &file = {});
    // Only the pages archive does not hold yet; a first one reads firstPages.
    Run *downloadNewEvents(const QString &archive, std::optional<int> firstPages, bool appendAnyway = false);
    // The same for the window: the unit's own archive, chosen when it has none, and
    // what to do when the archive ends with another unit's page, asked.
    Run *readNewEvents(ArchiveQuestions &questions, int firstPages);
    // Every event line from now on goes into file, until the run is stopped or the
    // file fails. Held first: lines that come while the file is chosen go to it.
    void holdEventLines();
    Run *fileEvents(const QString &file);
    // One frame each; the run is done once the frame has left the port.
    Run *setClock(const QDateTime &now);
    Run *clearLog();
    // The single requests of the event recorder tab; each says whether it went out.
    bool readPointer();
    bool readPages(int start, int count);

    // ---- the link
    void close();
    bool isOpen() const;
    QString path() const;
    // The link broke since it was last opened.
    bool linkLost() const { return m_lost; }
    // How the link is known apart from the unit at its end: the adapter's serial
    // number, or the port where the system gives none. Asked of the system once for
    // each opening: the adapter cannot change while its port is open.
    QString adapter() const;
    // The link watchdog's CONNECTED, ticking every second from startWatchdog on.
    void startWatchdog();
    bool connectedShown() const;

    // ---- state
    // The first 12 characters of its last banner, and the banner whole.
    QString unitId() const;
    QString identification() const;
    bool errorLatch() const;
    // The pointer the unit last sent since it was asked, if any.
    std::optional<int> lastPointer() const;
    // What the unit was last read to hold.
    const UnitImage &image() const { return *m_image; }
    // A run of the operator's is under way: a store, a read, an event download, a scan.
    bool busy() const;
    bool storeChecking() const;

    // ---- where the unit's new events are kept
    // The archive the unit keeps by default (the records' file of this month, for a unit
    // they know), asked each time one is wanted; empty when there is none.
    void setArchivePlace(std::function<QString()> place) { m_archivePlace = std::move(place); }
    // The archive to read the unit's new events into: that default, when chosen is none
    // or lies in the default's own folder (an earlier month's file), else chosen.
    QString archiveFor(const QString &chosen) const;

    // ---- collecting new events on a schedule, for the unit on the link
    void setCollectionFirstPages(std::function<int()> pages);
    // The operator's choice, kept for the unit.
    void chooseCollection(bool on, int minutes);
    bool collecting() const;
    QDateTime nextCollection() const;

    // One receive event's bytes as the link would hand them over (the fuzz target).
    void take(const QByteArray &bytes);
    const ReceivePath &receivePath() const { return *m_receive; }

signals:
    // A run begins: told to passive watchers (the progress frame, the changes line).
    void runStarted(halvo::session::Run *run);
    void notice(halvo::session::Notice what, const QString &detail);
    // The link broke (unplugged, hung up); the port is closed already, the runs told.
    void linkBroke(const QString &reason);
    // The unit's banner; an event line; the event log pointer as the tool shows it.
    void identified(const QString &unitId);
    void eventLine(const QByteArray &line);
    void pointerReceived(int shown);
    void connectedShownChanged(bool connected);
    // The collection: the unit's choice came back or the operator's was taken; its
    // next time or last result changed; it failed (the first of a row or not); the
    // file of the archive it collects into has gone and one is to be chosen again.
    void collectionChosen(bool on, int minutes);
    void collectionChanged(const QString &lastResult);
    void collectionFailed(const QString &why, bool firstInARow);
    void archiveWanted(const QString &gone);

private:
    friend class SessionProbe; // the tests' view of the jobs
    class Channel;
    UnitChannel &channel();

    template <typename Job> std::unique_ptr<Job> hearing(std::unique_ptr<Job> job);
    Run *refuse(Run::Kind kind, const QString &why = {});
    Run *begin(Run::Kind kind, std::function<void()> stop);
    Run *begun(Run *run);
    Run *startStore(const std::function<bool()> &start);
    Run *sendOne(Run::Kind kind, const QByteArray &frame, UnitChannel::Tell tell,
                 const std::function<void()> &sent);
    void startNewEvents(Run *run, const QString &archive, std::optional<int> firstPages, bool appendAnyway,
                        ArchiveQuestions *questions);
    void hearNewEvents(Run *run, std::optional<int> firstPages, ArchiveQuestions *questions);
    void onBytesReceived();
    void onLinkLost(const QString &reason);
    void onEventLine(const QByteArray &line);
    void onReplyPlaced(config::Part part);
    void onNotice(Notice what, const QString &detail);

    std::function<QString()> m_archivePlace;
    std::unique_ptr<port::Link> m_link;
    std::unique_ptr<UnitImage> m_image;
    std::unique_ptr<ReceivePath> m_receive;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<Channel> m_channel;
    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<StoreJob> m_stores;
    std::unique_ptr<ReadJob> m_reads;
    std::unique_ptr<EventFiling> m_filing;
    std::unique_ptr<EventDownload> m_events;
    std::unique_ptr<ArchiveDownload> m_archive;
    std::unique_ptr<EventCollection> m_collection;
    std::unique_ptr<PortScanner> m_scanner;
    std::vector<QObject *> m_jobs;
    std::vector<UnitListener *> m_listeners; // in the order they hear the unit
    QPointer<Run> m_downloadRun;             // the event download's, or the archive's
    QPointer<Run> m_filingRun;
    mutable std::optional<QString> m_adapter; // of the port opened last
    bool m_inReceive = false;
    bool m_lost = false;     // the link broke since it was opened
    bool m_lostTold = false; // and the operator has been told
};

} // namespace halvo::session
