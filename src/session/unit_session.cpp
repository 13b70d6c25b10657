#include "unit_session.h"

#include "archive_download.h"
#include "archive_questions.h"
#include "connection.h"
#include "event_collection.h"
#include "event_download.h"
#include "event_filing.h"
#include "eventlog/event_requests.h"
#include "link/frame.h"
#include "logging.h"
#include "messages.h"
#include "pace_clock.h"
#include "port/link_switch.h"
#include "port/serial_ports.h"
#include "port_scanner.h"
#include "read_job.h"
#include "receive_path.h"
#include "run.h"
#include "store_job.h"
#include "unit_image.h"
#include "unit_memory.h"
#include "watchdog.h"

#include <QElapsedTimer>
#include <QTimer>

#include <type_traits>

Q_LOGGING_CATEGORY(lcSession, "halvo.session", QtWarningMsg)

namespace halvo::session {

using config::Part;

namespace {
constexpr qint64 ReceivePieceBytes = 4096;
constexpr qint64 ReceiveSliceMs = 8; // then the window's events run before the next piece
} // namespace

SessionSeams Serial_Seams(std::function<std::unique_ptr<port::Link>()> demoLink)
{
    auto links = std::make_unique<port::LinkSwitch>(port::Make_Serial_Link());
    if (demoLink)
        links->add(port::Demo_Port(), demoLink());
    return {std::move(links), {}};
}

// The jobs' way to the unit: the session's link, receive path and image, and nothing
// of the session's face.
class UnitSession::Channel final : public UnitChannel
{
public:
    explicit Channel(UnitSession &session) : s(session) {}

    bool isOpen() const override { return s.m_link->isOpen(); }
    QString path() const override { return s.m_link->path(); }
    bool linkLost() const override { return s.m_lost; }

    bool open(const QString &path, port::Link::OpenError *error, QString *why) override
    {
        QString text;
        if (!s.m_link->open(path, error, &text)) {
            qCInfo(lcSession).noquote() << "open refused:" << path << text;
            if (why)
                *why = text;
            return false;
        }
        s.m_link->clearInput(); // bytes from before the connection are not the unit's answers
        s.m_adapter.reset();
        s.m_lost = s.m_lostTold = false;
        qCInfo(lcSession).noquote() << "connected to" << path;
        return true;
    }
    void close() override { s.m_link->close(); }

    bool send(const QByteArray &frame, Tell tell) override
    {
        if (!frame.isEmpty() && s.m_link->isOpen() && s.m_link->write(frame)) {
            // The command and the length only: a payload may hold staff names.
            qCDebug(lcSession) << "sent command" << int(quint8(frame.at(1))) << "in" << frame.size()
                               << "bytes";
            return true;
        }
        if (tell == Tell::Always || !s.m_receive->errorLatch())
            tellFailure(!s.m_link->isOpen() && !s.m_lost ? QStringLiteral("the port is closed") : QString());
        return false;
    }
    qint64 bytesToWrite() const override { return s.m_link->bytesToWrite(); }
    void tellFailure(const QString &why) override
    {
        if (s.m_lostTold && !isOpen())
            return;
        emit s.notice(Notice::CommError, !why.isEmpty() ? why
                                         : s.m_lost     ? QStringLiteral("the link to the unit broke")
                                                        : QStringLiteral("the port refused the frame"));
    }

    bool read(Part part) override
    {
        static const quint8 codes[] = {link::Cmd::ReadPassTable, link::Cmd::ReadSettings,
                                       link::Cmd::ReadLocations};
        if (part == Part::EventLog || !isOpen())
            return false;
        s.m_image->startRead(part, false);
        return send(link::Build_Short_Request(codes[int(part)]), Tell::Always);
    }
    bool readBack(Part part) override
    {
        if (!read(part))
            return false;
        s.m_image->startRead(part, true);
        return true;
    }
    bool readPointer() override
    {
        s.m_receive->forgetPointer();
        return isOpen() && send(eventlog::Build_Pointer_Request(), Tell::Always);
    }
    bool readPagesFrom(int firstPage, int count) override
    {
        const auto frame = eventlog::Build_Page_Request(firstPage, count); // a count above 255 cannot be sent
        if (!isOpen() || !send(frame.value_or(QByteArray()), Tell::Always))
            return false;
        s.m_watchdog->reset();
        return true;
    }

    const UnitImage &image() const override { return *s.m_image; }
    QString unitId() const override { return s.m_receive->unitId(); }
    QString identification() const override { return s.m_receive->identification(); }
    std::optional<int> lastPointer() const override { return s.m_receive->lastPointer(); }
    void forgetUnit() override { s.m_receive->clearUnitId(); }
    void clearErrorLatch() override { s.m_receive->clearErrorLatch(); }
    void showConnected(bool connected) override { s.m_watchdog->showConnected(connected); }

private:
    UnitSession &s;
};

UnitSession::UnitSession(SessionSeams seams, QObject *parent)
    : QObject(parent), m_link(seams.link ? std::move(seams.link) : port::Make_Serial_Link()),
      m_image(std::make_unique<UnitImage>()), m_receive(std::make_unique<ReceivePath>(*m_image)),
      m_watchdog(std::make_unique<Watchdog>()), m_channel(std::make_unique<Channel>(*this))
{
    auto clock = [&](const char *job) -> std::unique_ptr<PaceClock> {
        return seams.clock ? seams.clock(job) : std::make_unique<TimerPaceClock>();
    };
    UnitChannel &unit = *m_channel;
    // The jobs, in the order they hear the unit.
    m_listeners.push_back(m_watchdog.get());
    m_connection = hearing(std::make_unique<Connection>(unit, clock("connect")));
    m_stores = hearing(std::make_unique<StoreJob>(unit, clock("store")));
    m_reads = hearing(std::make_unique<ReadJob>(unit, clock("read")));
    m_filing = hearing(std::make_unique<EventFiling>());
    m_events = hearing(std::make_unique<EventDownload>(unit, clock("events")));
    m_archive = hearing(std::make_unique<ArchiveDownload>(unit, clock("archive")));
    m_collection = hearing(std::make_unique<EventCollection>(*this, clock("collect")));
    m_scanner = hearing(std::make_unique<PortScanner>(unit));

    connect(m_link.get(), &port::Link::bytesReceived, this, &UnitSession::onBytesReceived);
    connect(m_link.get(), &port::Link::linkLost, this, &UnitSession::onLinkLost);
    connect(m_link.get(), &port::Link::writtenOut, this, [this] {
        for (UnitListener *l : m_listeners)
            l->writtenOut();
    });
    connect(m_receive.get(), &ReceivePath::notice, this, &UnitSession::onNotice);
    connect(m_receive.get(), &ReceivePath::identified, this, [this](const QString &id) {
        for (UnitListener *l : m_listeners)
            l->unitIdentified();
        emit identified(id);
    });
    connect(m_receive.get(), &ReceivePath::eventLine, this, &UnitSession::onEventLine);
    connect(m_receive.get(), &ReceivePath::pointerReceived, this, &UnitSession::pointerReceived);
    connect(m_image.get(), &UnitImage::replyArrived, this, &UnitSession::onReplyPlaced);
    connect(m_filing.get(), &EventFiling::failed, this, [this] {
        qCInfo(lcSession) << "event log file failed";
        m_events->fileFailed();
        if (m_filingRun)
            m_filingRun->finish(RunResult::Of(RunResult::Status::Failed, Msg::SaveFileError));
    });
    connect(m_watchdog.get(), &Watchdog::connectedShownChanged, this, &UnitSession::connectedShownChanged);
    connect(m_collection.get(), &EventCollection::choiceChanged, this, &UnitSession::collectionChosen);
    connect(m_collection.get(), &EventCollection::scheduled, this, [this] { emit collectionChanged({}); });
    connect(m_collection.get(), &EventCollection::collected, this, &UnitSession::collectionChanged);
    connect(m_collection.get(), &EventCollection::failed, this, &UnitSession::collectionFailed);
    connect(m_collection.get(), &EventCollection::archiveWanted, this, &UnitSession::archiveWanted);
}

// A job of the session's: told what the unit says, in the order jobs were added, if
// it listens; disconnected when the session goes.
template <typename Job> std::unique_ptr<Job> UnitSession::hearing(std::unique_ptr<Job> job)
{
    m_jobs.push_back(job.get());
    if constexpr (std::is_base_of_v<UnitListener, Job>)
        m_listeners.push_back(job.get());
    return job;
}

UnitChannel &UnitSession::channel()
{
    return *m_channel;
}

UnitSession::~UnitSession()
{
    // Whoever listened may be half gone: the jobs and the runs end without a word.
    for (QObject *job : m_jobs)
        job->disconnect();
    for (Run *run : findChildren<Run *>(Qt::FindDirectChildrenOnly))
        run->disconnect();
    disconnect();
    stopJobs();
    m_link->close();
}

void UnitSession::setConfiguration(config::Configuration *config)
{
    m_receive->setConfiguration(config);
}

void UnitSession::setTiming(const SessionTiming &t)
{
    m_stores->setPauseScale(t.pauseScale);
    m_stores->setReadBackTimeoutMs(t.readBackMs);
    m_reads->setTimeoutMs(t.readMs);
    for (EventDownload *d : {m_events.get(), &m_archive->download()}) {
        d->setPauseScale(t.eventScale);
        d->setPointerWaitMs(t.pointerWaitMs);
    }
    m_scanner->setListenMs(t.scanListenMs);
    m_collection->setMinuteMs(t.collectMinuteMs);
}

// Every job works for a run, but the collection's schedule.
void UnitSession::stopJobs()
{
    m_collection->stop();
    for (Run *run : findChildren<Run *>(Qt::FindDirectChildrenOnly))
        run->stop();
}

// ---------------------------------------------------------------- runs

Run *UnitSession::refuse(Run::Kind kind, const QString &why)
{
    auto *run = new Run(kind, this);
    run->finish(RunResult::Of(RunResult::Status::Refused, why));
    return begun(run);
}

// A run told to its watchers before its work begins. Stopping it stops the job, and
// a job that ends without a word on being stopped ends its run all the same.
Run *UnitSession::begin(Run::Kind kind, std::function<void()> stop)
{
    auto *run = new Run(kind, this);
    run->m_stop = [run, stop = std::move(stop)] {
        stop();
        run->finish(RunResult::Of(RunResult::Status::Stopped, QStringLiteral("stopped")));
    };
    emit runStarted(run);
    return run;
}

Run *UnitSession::begun(Run *run)
{
    run->m_beginning = false;
    return run;
}

// ---------------------------------------------------------------- the link and the state

void UnitSession::close()
{
    m_link->close();
}

bool UnitSession::isOpen() const
{
    return m_link->isOpen();
}

QString UnitSession::path() const
{
    return m_link->path();
}

QString UnitSession::adapter() const
{
    if (!m_adapter || !isOpen()) {
        const QString serial = port::Adapter_Serial_Number(path());
        m_adapter = serial.isEmpty() ? path() : serial;
    }
    return *m_adapter;
}

void UnitSession::startWatchdog()
{
    m_watchdog->start();
}

bool UnitSession::connectedShown() const
{
    return m_watchdog->connectedShown();
}

bool UnitSession::busy() const
{
    using Kind = Run::Kind;
    for (const Run *run : findChildren<Run *>(Qt::FindDirectChildrenOnly))
        if (run->running() &&
            (run->kind() == Kind::Store || run->kind() == Kind::Read || run->kind() == Kind::Scan ||
             run->kind() == Kind::DownloadPages || run->kind() == Kind::DownloadNewEvents))
            return true;
    return false;
}

bool UnitSession::storeChecking() const
{
    return m_stores->checking();
}

void UnitSession::setCollectionFirstPages(std::function<int()> pages)
{
    m_collection->setFirstPages(std::move(pages));
}

void UnitSession::chooseCollection(bool on, int minutes)
{
    m_collection->choose(on, minutes);
}

bool UnitSession::collecting() const
{
    return m_collection->active();
}

QDateTime UnitSession::nextCollection() const
{
    return m_collection->nextAt();
}

// ---------------------------------------------------------------- what the unit sends

// A receive event takes every waiting byte. While a notice is being shown further
// receive events wait; their bytes are taken by this loop when it returns, so the
// buffers are never shared by two events at once. A long burst (a whole event log
// from a fast unit) is taken a piece at a time, the window's own events running
// between the pieces.
void UnitSession::onBytesReceived()
{
    if (m_inReceive)
        return;
    m_inReceive = true;
    QElapsedTimer busy;
    busy.start();
    while (m_link->isOpen() && m_link->bytesWaiting() > 0) {
        if (busy.elapsed() >= ReceiveSliceMs) {
            QTimer::singleShot(0, this, &UnitSession::onBytesReceived);
            break;
        }
        const QByteArray piece = m_link->read(ReceivePieceBytes);
        qCDebug(lcSession) << "received" << piece.size() << "bytes";
        m_receive->take(piece);
    }
    m_inReceive = false;
}

void UnitSession::take(const QByteArray &bytes)
{
    m_receive->take(bytes);
}

// An event line keeps the link alive, goes to the event log file, paces the event
// download and fills the archive, then is listed.
void UnitSession::onEventLine(const QByteArray &line)
{
    for (UnitListener *l : m_listeners)
        l->lineArrived(line);
    emit eventLine(line);
}

// A reply placed in the unit image: a store's read back, then a read.
void UnitSession::onReplyPlaced(Part part)
{
    for (UnitListener *l : m_listeners)
        l->replyPlaced(part);
}

void UnitSession::onNotice(Notice what, const QString &detail)
{
    for (UnitListener *l : m_listeners)
        l->noticed(what, detail);
    emit notice(what, detail);
}

void UnitSession::onLinkLost(const QString &reason)
{
    m_lost = true;
    qCInfo(lcSession).noquote() << "link lost:" << reason;
    for (UnitListener *l : m_listeners)
        l->linkBroke(reason);
    emit linkBroke(reason);
    if (m_lostTold)
        return;
    m_lostTold = true;
    // Told from the event loop, not from inside the port's error signal.
    QTimer::singleShot(0, this, [this, reason] { emit notice(Notice::CommError, reason); });
}

QString UnitSession::unitId() const
{
    return m_receive->unitId();
}

QString UnitSession::identification() const
{
    return m_receive->identification();
}

std::optional<int> UnitSession::lastPointer() const
{
    return m_receive->lastPointer();
}

bool UnitSession::errorLatch() const
{
    return m_receive->errorLatch();
}

} // namespace halvo::session
