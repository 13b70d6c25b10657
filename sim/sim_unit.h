#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>

namespace halvo::sim {

class SimWire;

// Ways the simulated unit can misbehave on purpose.
struct SimFaults
{
    bool badTerminator = false;       // reply frames end CR, CR instead of LF, CR
    bool unknownReplyCode = false;    // reply frames carry the code "?"
    bool passIndexOutOfRange = false; // the first pass record reply names pass 72
    bool optionModeAbove8 = false;    // pass record replies carry option mode 9
    bool longLine = false;            // a 400-byte text line goes out before each answer
    int chunkSize = 0;                // > 0: deliver output in chunks of this many bytes
    int chunkDelayMs = 2;             // gap between chunks
    bool pace38400 = false;           // deliver at the link's 3840 bytes per second
    int hangUpAfterFrames = -1;       // >= 0: close the pty after that many request frames
    QList<int> dropStores;            // these store frames (counting stores from 0) lose a byte on the way
                                      // and are not taken
    QList<int> flipReplies;           // these reply frames (counting replies from 0) reach the tool with
                                      // one bit of their data changed
    int repeatReply = -1;             // >= 0: that reply frame is sent twice
    int hangUpAfterLines = -1;        // >= 0: the unit sends that many event lines in all, then hangs up
    int deafAfterFrames = -1;         // >= 0: after that many request frames the unit restarts and
    int deafFrames = 0;               // hears nothing of the next deafFrames frames
};

// A base unit on a pseudo-terminal. The tool opens devicePath() like a serial port.
// The unit announces itself with its banner, answers every read request, applies
// every store to its own state and records each request frame it receives.
class SimUnit : public QObject
{
    Q_OBJECT
public:
    static constexpr int PassCount = 72;
    static constexpr int RecordSize = 36;
    static constexpr int ParamCount = 32;
    static constexpr int LocationCount = 50;

    explicit SimUnit(QObject *parent = nullptr);
    ~SimUnit() override;

    // On a pseudo-terminal (Linux): the tool opens devicePath() like a serial port.
    bool start(QString *error = nullptr);
    // On a wire of the caller's (a link inside the tool); nothing to open.
    void attach(SimWire *wire);
    // Hangs up: closes the wire, as an unplugged cable would.
    void hangUp();
    bool isRunning() const { return m_wire != nullptr; }
    QString devicePath() const;

    // ---- the wire's side
    // Bytes from the tool.
    void take(const QByteArray &bytes);
    // The wire takes bytes again after it was full.
    void wireReady() { pumpOut(); }

    // The banner goes out every interval; 0 silences it.
    void setBannerInterval(int ms);
    QByteArray bannerText() const { return m_banner; }
    void setBannerText(const QByteArray &line) { m_banner = line; }
    void sendBanner();
    // Queues raw bytes for the tool, through the same pacing as every answer.
    void sendRaw(const QByteArray &bytes);

    SimFaults &faults() { return m_faults; }

    // Optional files: the unit's state (loaded now, saved after each store) and the
    // record of received frames (hex, one per line).
    bool setStateFile(const QString &path, QString *error = nullptr);
    void setRecordFile(const QString &path) { m_recordFile = path; }
    // Each recorded frame starts with the microseconds since start() at which it was
    // taken whole, for measuring the tool's pacing where the unit sees it.
    void setRecordTimes(bool on) { m_recordTimes = on; }

    // State, as the unit keeps it.
    QByteArray passRecord(int index) const { return m_passes.at(static_cast<size_t>(index)); }
    void setPassRecord(int index, const QByteArray &record);
    QByteArray settingsPage(int page) const { return m_settings.at(static_cast<size_t>(page)); }
    void setSettingsPage(int page, const QByteArray &bytes);
    QByteArray locationName(int slot) const { return m_locations.at(static_cast<size_t>(slot)); }
    QByteArray clockText() const { return m_clock; }
    int eventLogPointer() const { return m_logPointer; }
    void setEventLogPointer(int page) { m_logPointer = page; }
    // Events come in: the pointer moves on by that many pages, round the ring.
    void addEventPages(int pages) { m_logPointer = (m_logPointer + pages) % 32480; }
    int clearCount() const { return m_clears; }
    // The log as if cleared and refilled that many times: the same pages hold other events.
    void setLogGeneration(int generation) { m_logGeneration = generation; }

    // Request frames received, in hex, one per frame; and those that were malformed.
    const QStringList &receivedFrames() const { return m_received; }
    int badFrameCount() const { return m_badFrames; }
    // Reply frames sent since start: where faults counted by reply (flipReplies,
    // repeatReply) are aimed from.
    int repliesSent() const { return m_replyCount; }
    void clearRecord()
    {
        m_received.clear();
        m_badFrames = 0;
    }

    // The default pass record of a pass index, as the unit leaves the factory.
    static QByteArray Default_Pass_Record(int index);
    // An event line; generation counts the times the log was cleared and filled again
    // (its events are other events, on other days).
    static QByteArray Event_Line(int page, int event, int generation = 0);
    // One of the four settings pages a new unit sends: 0 maxima, 1 minima, 2 defaults, 3 values.
    static QByteArray Default_Settings_Page(int page);

signals:
    void frameReceived(const QByteArray &frame);
    void hungUpSignal();

private:
    void parseRequests();
    void handleFrame(const QByteArray &frame);
    QByteArray replyFrame(char code, const QByteArray &data);
    void queueOut(const QByteArray &bytes);
    void pumpOut();
    void saveState() const;

    SimWire *m_wire = nullptr;
    std::unique_ptr<SimWire> m_pty; // the pseudo-terminal, once started
    bool m_waitingForWire = false;  // the wire was full
    bool m_hangUpWhenSent = false;  // once what is queued has gone out
    int m_linesSent = 0;
    QTimer m_bannerTimer;
    QTimer m_outTimer;
    QByteArray m_banner = QByteArrayLiteral("Halvo Base Unit V2.04 SN 000417\r");
    QByteArray m_in;
    QByteArray m_out;
    SimFaults m_faults;
    QString m_stateFile;
    QString m_recordFile;
    bool m_recordTimes = false;
    QElapsedTimer m_started;

    std::array<QByteArray, PassCount> m_passes;
    std::array<QByteArray, 4> m_settings; // maxima, minima, defaults, values
    std::array<QByteArray, LocationCount> m_locations;
    QByteArray m_clock;
    int m_logPointer = 500;
    int m_clears = 0;
    int m_logGeneration = 0;
    QStringList m_received;
    int m_badFrames = 0;
    int m_frameCount = 0;
    int m_storeCount = 0;
    int m_replyCount = 0;
};

} // namespace halvo::sim
