#pragma once

#include "config/configuration.h"
#include "config/store_plan.h"
#include "eventlog/event_log_file.h"
#include "eventlog/event_logger.h"
#include "eventlog/event_requests.h"
#include "link/receive_assembler.h"
#include "link/reply_router.h"
#include "paced_store.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace halvo::port {
class Link;
}

namespace halvo::session {

class PaceClock;

// The three reads of a unit's configuration, one per configuration tab.
enum class ReadPart { Passes = 0, Settings = 1, Locations = 2 };

enum class OpenResult {
    Opened,
    InUse,        // another program holds the device (why names it where the system tells)
    NoPermission, // the device is there, but the user may not open it (why says what to do)
    Failed,       // no such device, or the settings were refused
};

// What the operator is to be told; the front end words it.
enum class Notice {
    CommError,       // a send failed, a reply could not be placed, the link broke
    TerminatorError, // a reply frame did not end LF, CR and was dropped
};

// One unit on one link, for the window and halvo-cli alike. It owns the link, the
// receive path (assembler, reply routing, the error latch), the link watchdog, the
// paced stores and the event logger's ticks. Replies are applied to the
// configuration it is given and signalled; nothing here shows anything.
class UnitSession : public QObject, private link::ReplyHandlers
{
    Q_OBJECT
public:
    explicit UnitSession(QObject *parent = nullptr);
    ~UnitSession() override;

    // ---- set-up
    void setConfiguration(config::Configuration *config) { m_config = config; }
    // Replaces the serial link (tests); before anything is opened.
    void setLink(std::unique_ptr<port::Link> link);
    void setPaceClock(std::unique_ptr<PaceClock> clock);
    // Store pauses are multiplied by scale (tests shorten them).
    void setPauseScale(double scale);
    // Interactive senders run this while the port is closed: the window asks the
    // operator and connects on OK. Without it they only send on an open port.
    void setPortCheck(std::function<bool()> check) { m_portCheck = std::move(check); }

    // ---- the link
    // Opens the device and drops what arrived before; why says what went wrong.
    OpenResult open(const QString &path, QString *why = nullptr);
    void close();
    bool isOpen() const;
    QString path() const;
    bool linkLost() const { return m_lost; }

    // ---- the receive path
    // Bytes from the unit, as one receive event takes them (the link hands them
    // over; the fuzz target too).
    void takeBytes(const QByteArray &bytes);
    bool errorLatch() const { return m_latch; }
    void clearErrorLatch() { m_latch = false; }
    QString unitId() const { return m_unitId; }
    void clearUnitId() { m_unitId.clear(); }
    std::optional<int> lastPointer() const { return m_pointer; }
    const link::ReceiveAssembler &assembler() const { return m_rx; }
    // Replies placed since the part's last read request, and what is still missing.
    int arrived(ReadPart part) const;
    static int Expected(ReadPart part);
    QStringList missing(ReadPart part) const;

    // ---- the link watchdog: more than 20 ticks without a text line show DISCONNECTED
    void watchdogTick();
    int watchdog() const { return m_watchdog; }
    bool connectedShown() const { return m_connectedShown; }
    void showConnected(bool connected);

    // ---- requests; each runs the port check first and says whether it went out
    bool Ensure_Port_Open();
    bool read(ReadPart part);
    bool readPointer();
    // Asks for the count pages that end just before start; start becomes the first.
    bool readPages(int &start, int count);
    bool clearEventLog();
    bool setClock(const QDateTime &now);
    // Writes one frame as it is (the port check is the caller's); a failure is
    // reported.
    bool send(const QByteArray &frame);
    // The operator is told a send failed, unless it is the broken link just told.
    void reportSendFailure();

    // ---- the unit image: the configuration as last read from the unit, part by
    // part (the pass table once all 72 rows are in, the settings values page, all 50
    // aliases). Nothing of a part is known until it has been read.
    const config::Configuration &unitImage() const { return m_image; }
    bool imageRead(ReadPart part) const { return m_imageRead[int(part)]; }
    // Reads a part back into the image only: the operator's fields stay as they are.
    bool readBack(ReadPart part);
    // A store that is not read back: what it sent is taken as what the unit holds, for
    // a part read before (passes: rows 1..passes).
    void noteStored(ReadPart part, const config::Configuration &sent, int passes = config::PassCount);

    // ---- paced stores
    bool startStore(config::StorePlan plan);
    void stopStore() { m_store->stop(StoreOutcome::Cancelled); }
    bool storing() const { return m_store->running(); }

    // ---- the event log
    // "Read Last # of Pages of Events": the logger starts again from the pointer.
    void startEventLogRead();
    // One tick of the paced read: what it sent, or nothing when a request could not
    // be sent (the read is then abandoned).
    std::optional<eventlog::EventLogger::Action> eventLoggerTick(int shownPointer, int pagesWanted);
    const eventlog::EventLogger &eventLogger() const { return m_logger; }
    // Event lines to a file: held while the file is being chosen, written once it is
    // open, each flushed. A failed write stops the filing and says so once.
    void holdEventLines();
    bool startFiling(const QString &path, QString *why = nullptr);
    bool startFilingToStandardOutput();
    void stopFiling();
    bool filing() const { return m_file.isOpen(); }

signals:
    void connectedShownChanged(bool connected);
    void identified(const QString &unitId);
    void eventLine(const QByteArray &line);
    void passApplied(int row, int optionMode);
    void settingsPageApplied(settings::SettingsPageKind kind);
    void locationApplied(int slot);
    void pointerReceived(int shown);
    void readComplete(session::ReadPart part);
    void imageChanged(session::ReadPart part);
    void notice(session::Notice what, const QString &detail);
    void linkLostSignal(const QString &reason);
    void storeProgress(int done, int total);
    void storeFinished(session::StoreOutcome outcome, const QString &why);
    void filingFailed();

private:
    void onBytesReceived();
    void onLinkLost(const QString &reason);
    void markArrived(ReadPart part, int item);
    void imageTakes(ReadPart part, const config::Configuration &from, int passes = config::PassCount);
    void fileLine(const QByteArray &line);
    bool Decode_Pass_Record(const QByteArray &reply) override;
    bool Decode_Event_Log_Pointer(const QByteArray &reply) override;
    bool Decode_Location_Reply(const QByteArray &reply) override;
    bool Decode_Settings_Page(const QByteArray &reply) override;

    std::unique_ptr<port::Link> m_link;
    std::unique_ptr<PaceClock> m_clock;
    std::unique_ptr<PacedStore> m_store;
    config::Configuration *m_config = nullptr;
    std::function<bool()> m_portCheck;

    link::ReceiveAssembler m_rx;
    QString m_why; // why the reply being routed could not be placed
    bool m_inReceive = false;
    bool m_latch = false;
    bool m_lost = false;     // the link broke since it was opened
    bool m_lostTold = false; // and the operator has been told
    QString m_unitId;
    std::optional<int> m_pointer;
    std::vector<bool> m_arrived[3];
    config::Configuration m_image;
    config::Configuration m_staging; // a read under way, until it is complete
    bool m_imageRead[3] = {false, false, false};
    bool m_readingBack[3] = {false, false, false};

    int m_watchdog = 0;
    bool m_connectedShown = false;

    eventlog::EventLogger m_logger;
    eventlog::EventLogFile m_file;
    bool m_holdingLines = false;
    QList<QByteArray> m_heldLines;
};

} // namespace halvo::session
