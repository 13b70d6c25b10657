#pragma once

#include "config/part.h"
#include "download_end.h"
#include "notice.h"
#include "port/link.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

namespace halvo::config {
class Configuration;
}

namespace halvo::session {

class ArchiveDownload;
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
    // The clock that paces a job ("store", "read", "events", "collect"); a real timer
    // each when empty.
    std::function<std::unique_ptr<PaceClock>(const char *job)> clock;
};

// One unit on one link, for the window, halvo-cli and the fuzz target alike. It owns
// the link and the receive path, and the jobs that run against the unit: the unit
// image, the watchdog, paced stores, the port scan, the event download and the event
// log file. Replies fill the configuration it is given; nothing here shows anything:
// what the operator is to be told is a notice.
class UnitSession : public QObject
{
    Q_OBJECT
public:
    explicit UnitSession(SessionSeams seams = {}, QObject *parent = nullptr);
    ~UnitSession() override;

    void setConfiguration(config::Configuration *config);
    // Interactive senders run this while the port is closed: the window asks the
    // operator and connects on OK. Without it they only send on an open port.
    void setPortCheck(std::function<bool()> check) { m_portCheck = std::move(check); }

    // ---- the link
    // Opens the device and drops what arrived before; why says what went wrong.
    OpenResult open(const QString &path, QString *why = nullptr);
    void close();
    bool isOpen() const;
    QString path() const;
    // The link broke since it was last opened.
    bool linkLost() const { return m_lost; }

    // ---- requests; each runs the port check first and says whether it went out
    bool Ensure_Port_Open();
    bool read(config::Part part);
    // Reads a part back into the unit image only: the operator's fields stay.
    bool readBack(config::Part part);
    bool readPointer();
    // Asks for the count pages that end just before start; start becomes the first.
    bool readPages(int &start, int count);
    bool clearEventLog();
    bool setClock(const QDateTime &now);

    // ---- what the session is made of
    ReceivePath &receive() { return *m_receive; }
    const ReceivePath &receive() const { return *m_receive; }
    const UnitImage &image() const { return *m_image; }
    Watchdog &watchdog() { return *m_watchdog; }
    const Watchdog &watchdog() const { return *m_watchdog; }
    StoreJob &stores() { return *m_stores; }
    ReadJob &reads() { return *m_reads; }
    EventDownload &events() { return *m_events; }
    ArchiveDownload &archive() { return *m_archive; }
    EventCollection &collection() { return *m_collection; }
    // A job of the operator's runs: a store, a read, an event download, a scan.
    bool busy() const;
    EventFiling &filing() { return *m_filing; }
    PortScanner &scanner() { return *m_scanner; }

signals:
    void notice(halvo::session::Notice what, const QString &detail);
    // The link broke (unplugged, hung up); the port is closed already.
    void linkBroke(const QString &reason);
    // An event download ended, told once the session's jobs have finished with it.
    void downloadEnded(const halvo::session::DownloadEnd &end);

private:
    friend class StoreJob;
    friend class EventDownload;
    // Asks for count pages from firstPage on (a planned read).
    bool readPagesFrom(int firstPage, int count);
    // Writes one frame as it is (the port check is the caller's); a failure is told.
    bool send(const QByteArray &frame);
    // The operator is told a send failed, unless it is the broken link just told.
    void reportSendFailure(const QString &why = {});
    void onBytesReceived();
    void onLinkLost(const QString &reason);
    void onDownloadEnded(DownloadEnd::How how, const QString &why);

    std::unique_ptr<port::Link> m_link;
    std::unique_ptr<UnitImage> m_image;
    std::unique_ptr<ReceivePath> m_receive;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<StoreJob> m_stores;
    std::unique_ptr<ReadJob> m_reads;
    std::unique_ptr<EventFiling> m_filing;
    std::unique_ptr<EventDownload> m_events;
    std::unique_ptr<ArchiveDownload> m_archive;
    std::unique_ptr<EventCollection> m_collection;
    std::unique_ptr<PortScanner> m_scanner;
    std::function<bool()> m_portCheck;
    bool m_inReceive = false;
    bool m_lost = false;     // the link broke since it was opened
    bool m_lostTold = false; // and the operator has been told
};

} // namespace halvo::session
