#include "unit_session.h"

#include "archive_download.h"
#include "connection.h"
#include "event_collection.h"
#include "event_download.h"
#include "event_filing.h"
#include "eventlog/event_requests.h"
#include "link/frame.h"
#include "logging.h"
#include "pace_clock.h"
#include "port/link_switch.h"
#include "port/serial_ports.h"
#include "port_scanner.h"
#include "read_job.h"
#include "receive_path.h"
#include "store_job.h"
#include "unit_image.h"
#include "unit_memory.h"
#include "watchdog.h"

#include <QElapsedTimer>
#include <QTimer>

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

UnitSession::UnitSession(SessionSeams seams, QObject *parent)
    : QObject(parent), m_link(seams.link ? std::move(seams.link) : port::Make_Serial_Link()),
      m_image(std::make_unique<UnitImage>()), m_receive(std::make_unique<ReceivePath>(*m_image)),
      m_watchdog(std::make_unique<Watchdog>())
{
    auto clock = [&](const char *job) -> std::unique_ptr<PaceClock> {
        return seams.clock ? seams.clock(job) : std::make_unique<TimerPaceClock>();
    };
    m_connection = std::make_unique<Connection>(*this, clock("connect"));
    m_stores = std::make_unique<StoreJob>(*this, clock("store"));
    m_reads = std::make_unique<ReadJob>(*this, clock("read"));
    m_filing = std::make_unique<EventFiling>();
    m_events = std::make_unique<EventDownload>(*this, clock("events"));
    m_archive = std::make_unique<ArchiveDownload>(*this);
    m_collection = std::make_unique<EventCollection>(*this, clock("collect"));
    m_scanner = std::make_unique<PortScanner>(*this);
    // What the unit sends is heard here first, and handed on in the order below.
    connect(m_link.get(), &port::Link::bytesReceived, this, &UnitSession::onBytesReceived);
    connect(m_link.get(), &port::Link::linkLost, this, &UnitSession::onLinkLost);
    connect(m_link.get(), &port::Link::writtenOut, this, [this] { m_stores->frameWentOut(); });
    connect(m_receive.get(), &ReceivePath::notice, this, &UnitSession::onNotice);
    connect(m_receive.get(), &ReceivePath::identified, this, [this](const QString &id) {
        m_watchdog->showConnected(true);
        m_connection->identified();
        m_collection->unitIdentified();
        emit identified(id);
    });
    connect(m_receive.get(), &ReceivePath::eventLine, this, &UnitSession::onEventLine);
    connect(m_receive.get(), &ReceivePath::pointerReceived, this, &UnitSession::pointerReceived);
    connect(m_image.get(), &UnitImage::replyArrived, this, &UnitSession::onReplyPlaced);
    connect(m_events.get(), &EventDownload::ended, this, &UnitSession::onDownloadEnded);
    connect(m_filing.get(), &EventFiling::failed, this, [this] {
        qCInfo(lcSession) << "event log file failed";
        m_events->fileFailed();
    });
}

UnitSession::~UnitSession()
{
    // Whoever listened may be half gone: the jobs end without a word.
    for (QObject *job : std::initializer_list<QObject *>{m_connection.get(), m_stores.get(), m_reads.get(),
                                                         m_archive.get(), m_collection.get(), m_events.get(),
                                                         m_scanner.get(), m_filing.get()})
        job->disconnect();
    disconnect();
    stopJobs();
    close();
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
    m_events->setPauseScale(t.eventScale);
    m_events->setPointerWaitMs(t.pointerWaitMs);
    m_scanner->setListenMs(t.scanListenMs);
    m_collection->setMinuteMs(t.collectMinuteMs);
}

void UnitSession::stopJobs()
{
    m_collection->stop();
    m_connection->stop();
    m_stores->stop();
    m_reads->stop();
    m_events->stop();
    m_scanner->stop();
}

// ---------------------------------------------------------------- the link

bool UnitSession::open(const QString &path, port::Link::OpenError *error, QString *why)
{
    QString text;
    if (!m_link->open(path, error, &text)) {
        qCInfo(lcSession).noquote() << "open refused:" << path << text;
        if (why)
            *why = text;
        return false;
    }
    m_link->clearInput(); // bytes from before the connection are not the unit's answers
    m_adapter.reset();
    m_lost = m_lostTold = false;
    qCInfo(lcSession).noquote() << "connected to" << path;
    return true;
}

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

bool UnitSession::busy() const
{
    return m_stores->running() || m_reads->running() || m_events->running() || m_scanner->running();
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
    m_watchdog->reset();
    m_filing->take(line);
    m_events->lineArrived();
    m_archive->lineArrived(line);
    emit eventLine(line);
}

// A reply placed in the unit image: a store's read back, then a read.
void UnitSession::onReplyPlaced(Part part)
{
    m_stores->replyArrived(part);
    m_reads->replyArrived(part);
}

void UnitSession::onNotice(Notice what, const QString &detail)
{
    m_reads->noticed(what, detail);
    emit notice(what, detail);
}

void UnitSession::onLinkLost(const QString &reason)
{
    m_lost = true;
    qCInfo(lcSession).noquote() << "link lost:" << reason;
    m_watchdog->showConnected(false);
    m_connection->linkBroke(reason);
    m_stores->linkBroke();
    m_reads->linkBroke();
    m_events->linkBroke(reason);
    emit linkBroke(reason);
    if (m_lostTold)
        return;
    m_lostTold = true;
    // Told from the event loop, not from inside the port's error signal.
    QTimer::singleShot(0, this, [this, reason] { emit notice(Notice::CommError, reason); });
}

// The end of an event download, in one order: the archive being filled records what
// it appended, a collection on its schedule takes note, then the front ends hear of
// it, once.
void UnitSession::onDownloadEnded(DownloadEnd::How how, const QString &why)
{
    DownloadEnd end;
    end.how = how;
    end.why = why;
    m_archive->downloadEnded(end);
    if (end.archive)
        UnitMemory(*this).noteDownloadInto(m_archive->archive());
    m_collection->downloadEnded(end);
    emit downloadEnded(end);
}

QString UnitSession::unitId() const
{
    return m_receive->unitId();
}

QString UnitSession::identification() const
{
    return m_receive->identification();
}

void UnitSession::forgetUnit()
{
    m_receive->clearUnitId();
}

std::optional<int> UnitSession::lastPointer() const
{
    return m_receive->lastPointer();
}

bool UnitSession::errorLatch() const
{
    return m_receive->errorLatch();
}

void UnitSession::clearErrorLatch()
{
    m_receive->clearErrorLatch();
}

// ---------------------------------------------------------------- the write path

bool UnitSession::send(const QByteArray &frame, Tell tell)
{
    if (!frame.isEmpty() && m_link->isOpen() && m_link->write(frame)) {
        // The command and the length only: a payload may hold staff names.
        qCDebug(lcSession) << "sent command" << int(quint8(frame.at(1))) << "in" << frame.size() << "bytes";
        return true;
    }
    if (tell == Tell::Always || !m_receive->errorLatch())
        tellFailure(!m_link->isOpen() && !m_lost ? QStringLiteral("the port is closed") : QString());
    return false;
}

qint64 UnitSession::bytesToWrite() const
{
    return m_link->bytesToWrite();
}

void UnitSession::tellFailure(const QString &why)
{
    if (m_lostTold && !isOpen())
        return;
    emit notice(Notice::CommError, !why.isEmpty() ? why
                                   : m_lost       ? QStringLiteral("the link to the unit broke")
                                                  : QStringLiteral("the port refused the frame"));
}

// ---------------------------------------------------------------- requests

bool UnitSession::read(Part part)
{
    static const quint8 codes[] = {link::Cmd::ReadPassTable, link::Cmd::ReadSettings,
                                   link::Cmd::ReadLocations};
    if (part == Part::EventLog || !isOpen())
        return false;
    m_image->startRead(part, false);
    return send(link::Build_Short_Request(codes[int(part)]));
}

bool UnitSession::readBack(Part part)
{
    if (!read(part))
        return false;
    m_image->startRead(part, true);
    return true;
}

bool UnitSession::readPointer()
{
    m_receive->forgetPointer();
    return isOpen() && send(eventlog::Build_Pointer_Request());
}

bool UnitSession::readPages(int &start, int count)
{
    if (!isOpen())
        return false;
    start = eventlog::First_Page(start, count);
    return readPagesFrom(start, count);
}

bool UnitSession::readPagesFrom(int firstPage, int count)
{
    const auto frame = eventlog::Build_Page_Request(firstPage, count); // a count above 255 cannot be sent
    if (!isOpen() || !send(frame.value_or(QByteArray())))
        return false;
    m_watchdog->reset();
    return true;
}

bool UnitSession::clearEventLog()
{
    if (!isOpen() || !send(eventlog::Build_Clear_Request()))
        return false;
    m_archive->noteCleared(); // the archive in use reads from the start of the ring next time
    return true;
}

// The clock sender stays quiet while the receive path's message stands.
bool UnitSession::setClock(const QDateTime &now)
{
    return isOpen() && send(eventlog::Build_Clock_Request(now), Tell::UnlessLatched);
}

} // namespace halvo::session
