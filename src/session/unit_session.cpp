#include "unit_session.h"

#include "archive_download.h"
#include "event_collection.h"
#include "event_download.h"
#include "event_filing.h"
#include "eventlog/event_requests.h"
#include "link/frame.h"
#include "logging.h"
#include "pace_clock.h"
#include "port/link_switch.h"
#include "port/system_snapshot.h"
#include "port_scanner.h"
#include "read_job.h"
#include "receive_path.h"
#include "store_job.h"
#include "unit_image.h"
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

UnitSession::UnitSession(SessionSeams seams, QObject *parent)
    : QObject(parent), m_link(seams.link ? std::move(seams.link) : port::Make_Serial_Link()),
      m_image(std::make_unique<UnitImage>()), m_receive(std::make_unique<ReceivePath>(*m_image)),
      m_watchdog(std::make_unique<Watchdog>())
{
    auto clock = [&](const char *job) -> std::unique_ptr<PaceClock> {
        return seams.clock ? seams.clock(job) : std::make_unique<TimerPaceClock>();
    };
    m_stores = std::make_unique<StoreJob>(*this, *m_link, clock("store"));
    m_reads = std::make_unique<ReadJob>(*this, clock("read"));
    m_filing = std::make_unique<EventFiling>(*m_receive);
    m_events = std::make_unique<EventDownload>(*this, clock("events"));
    m_archive = std::make_unique<ArchiveDownload>(*this);
    m_collection = std::make_unique<EventCollection>(*this, clock("collect"));
    m_scanner = std::make_unique<PortScanner>(*this);
    connect(m_events.get(), &EventDownload::ended, this, &UnitSession::onDownloadEnded);
    connect(m_link.get(), &port::Link::bytesReceived, this, &UnitSession::onBytesReceived);
    connect(m_link.get(), &port::Link::linkLost, this, &UnitSession::onLinkLost);
    connect(m_receive.get(), &ReceivePath::notice, this, &UnitSession::notice);
    connect(m_receive.get(), &ReceivePath::identified, m_watchdog.get(),
            [this] { m_watchdog->showConnected(true); });
    connect(m_receive.get(), &ReceivePath::eventLine, m_watchdog.get(), &Watchdog::reset);
    connect(m_filing.get(), &EventFiling::failed, this, [] { qCInfo(lcSession) << "event log file failed"; });
}

UnitSession::~UnitSession()
{
    // Whoever listened may be half gone: the jobs end without a word.
    m_stores->disconnect();
    m_reads->disconnect();
    m_archive->disconnect();
    m_collection->disconnect();
    m_collection->stop();
    m_events->disconnect();
    m_scanner->disconnect();
    m_stores->stop();
    m_reads->stop();
    m_events->stop();
    m_scanner->stop();
    close();
}

void UnitSession::setConfiguration(config::Configuration *config)
{
    m_receive->setConfiguration(config);
}

// ---------------------------------------------------------------- the link

OpenResult UnitSession::open(const QString &path, QString *why)
{
    port::Link::OpenError error = port::Link::OpenError::None;
    QString text;
    if (!m_link->open(path, &error, &text)) {
        OpenResult result = OpenResult::Failed;
        QString reason = QStringLiteral("cannot open %1: %2").arg(path, text);
        if (error == port::Link::OpenError::Permission || error == port::Link::OpenError::Busy) {
            // Refused: another program holds it, or this user may not use it.
            const auto diagnosis = port::Diagnose_Open_Failure(port::SystemSnapshot(), path, error);
            reason = diagnosis.text;
            result = diagnosis.kind == port::OpenDiagnosis::Kind::InUse ? OpenResult::InUse
                                                                        : OpenResult::NoPermission;
        }
        qCInfo(lcSession).noquote() << "open refused:" << reason;
        if (why)
            *why = reason;
        return result;
    }
    m_link->clearInput(); // bytes from before the connection are not the unit's answers
    m_lost = m_lostTold = false;
    qCInfo(lcSession).noquote() << "connected to" << path;
    return OpenResult::Opened;
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

void UnitSession::onLinkLost(const QString &reason)
{
    m_lost = true;
    qCInfo(lcSession).noquote() << "link lost:" << reason;
    m_watchdog->showConnected(false);
    emit linkBroke(reason); // the jobs stop
    if (m_lostTold)
        return;
    m_lostTold = true;
    // Told from the event loop, not from inside the port's error signal.
    QTimer::singleShot(0, this, [this, reason] { emit notice(Notice::CommError, reason); });
}

// The end of an event download, in one order: the archive being filled records what
// it appended, then the front ends hear of it, once.
void UnitSession::onDownloadEnded(DownloadEnd::How how, const QString &why)
{
    DownloadEnd end;
    end.how = how;
    end.why = why;
    m_archive->downloadEnded(end);
    m_collection->downloadEnded(end);
    emit downloadEnded(end);
}

bool UnitSession::busy() const
{
    return m_stores->running() || m_reads->running() || m_events->running() || m_scanner->running();
}

void UnitSession::reportSendFailure(const QString &why)
{
    if (m_lostTold && !isOpen())
        return;
    emit notice(Notice::CommError, !why.isEmpty() ? why
                                   : m_lost       ? QStringLiteral("the link to the unit broke")
                                                  : QStringLiteral("the port refused the frame"));
}

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
        m_receive->take(m_link->read(ReceivePieceBytes));
    }
    m_inReceive = false;
}

// ---------------------------------------------------------------- requests

bool UnitSession::Ensure_Port_Open()
{
    return isOpen() || (m_portCheck && m_portCheck() && isOpen());
}

bool UnitSession::send(const QByteArray &frame)
{
    if (!frame.isEmpty() && m_link->write(frame))
        return true;
    reportSendFailure();
    return false;
}

bool UnitSession::read(Part part)
{
    static const quint8 codes[] = {link::Cmd::ReadPassTable, link::Cmd::ReadSettings,
                                   link::Cmd::ReadLocations};
    if (part == Part::EventLog || !Ensure_Port_Open())
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
    return Ensure_Port_Open() && send(eventlog::Build_Pointer_Request());
}

bool UnitSession::readPages(int &start, int count)
{
    if (!Ensure_Port_Open())
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
    if (!Ensure_Port_Open() || !send(eventlog::Build_Clear_Request()))
        return false;
    m_archive->noteCleared(); // the archive in use reads from the start of the ring next time
    return true;
}

bool UnitSession::setClock(const QDateTime &now)
{
    if (!Ensure_Port_Open())
        return false;
    if (m_link->write(eventlog::Build_Clock_Request(now)))
        return true;
    if (!m_receive->errorLatch()) // this sender stays quiet while the receive path's message stands
        reportSendFailure();
    return false;
}

} // namespace halvo::session
