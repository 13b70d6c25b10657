#include "unit_session.h"

#include "eventlog/event_requests.h"
#include "link/frame.h"
#include "pace_clock.h"
#include "port/serial_link.h"
#include "port/system_snapshot.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace halvo::session {

namespace {
constexpr int WatchdogTicks = 20; // ticks without a text line that still count as heard
constexpr qint64 ReceivePieceBytes = 4096;
constexpr qint64 ReceiveSliceMs = 8; // then the window's events run before the next piece
} // namespace

UnitSession::UnitSession(QObject *parent) : QObject(parent)
{
    for (ReadPart part : {ReadPart::Passes, ReadPart::Settings, ReadPart::Locations})
        m_arrived[int(part)].assign(static_cast<size_t>(Expected(part)), false);
    setPaceClock(std::make_unique<TimerPaceClock>());
    setLink(std::make_unique<port::SerialLink>());
}

UnitSession::~UnitSession()
{
    // Whoever listened may be half gone: the store ends without a word.
    m_store->disconnect(this);
    m_store->stop(StoreOutcome::Cancelled);
    close();
}

void UnitSession::setLink(std::unique_ptr<port::Link> link)
{
    m_link = std::move(link);
    connect(m_link.get(), &port::Link::bytesReceived, this, &UnitSession::onBytesReceived);
    connect(m_link.get(), &port::Link::linkLost, this, &UnitSession::onLinkLost);
    setPaceClock(std::move(m_clock));
}

void UnitSession::setPaceClock(std::unique_ptr<PaceClock> clock)
{
    const double scale = m_store ? m_store->pauseScale() : 1.0;
    m_store.reset(); // it holds the old link and clock
    m_clock = std::move(clock);
    if (!m_link)
        return;
    m_store = std::make_unique<PacedStore>(*m_link, *m_clock);
    m_store->setPauseScale(scale);
    connect(m_store.get(), &PacedStore::progress, this, &UnitSession::storeProgress);
    connect(m_store.get(), &PacedStore::finished, this, &UnitSession::storeFinished);
}

void UnitSession::setPauseScale(double scale)
{
    m_store->setPauseScale(scale);
}

// ---------------------------------------------------------------- the link

OpenResult UnitSession::open(const QString &path, QString *why)
{
    port::Link::OpenError error = port::Link::OpenError::None;
    QString text;
    if (!m_link->open(path, &error, &text)) {
        if (error != port::Link::OpenError::Permission && error != port::Link::OpenError::Busy) {
            if (why)
                *why = QStringLiteral("cannot open %1: %2").arg(path, text);
            return OpenResult::Failed;
        }
        // Refused: another program holds it, or this user may not use it.
        const auto diagnosis = port::Diagnose_Open_Failure(port::SystemSnapshot(), path);
        if (why)
            *why = diagnosis.text;
        return diagnosis.kind == port::OpenDiagnosis::Kind::InUse ? OpenResult::InUse
                                                                  : OpenResult::NoPermission;
    }
    m_link->clearInput(); // bytes from before the connection are not the unit's answers
    m_lost = m_lostTold = false;
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
    showConnected(false);
    m_logger.Stop(); // a paced log read cannot go on without the unit
    m_store->stop(StoreOutcome::LinkLost);
    emit linkLostSignal(reason);
    if (m_lostTold)
        return;
    m_lostTold = true;
    // Told from the event loop, not from inside the port's error signal.
    QTimer::singleShot(0, this, [this, reason] { emit notice(Notice::CommError, reason); });
}

void UnitSession::reportSendFailure()
{
    if (!(m_lostTold && !isOpen()))
        emit notice(Notice::CommError, m_lost ? QStringLiteral("the link to the unit broke")
                                              : QStringLiteral("the port refused the frame"));
}

// ---------------------------------------------------------------- the receive path

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
        takeBytes(m_link->read(ReceivePieceBytes));
    }
    m_inReceive = false;
}

void UnitSession::takeBytes(const QByteArray &bytes)
{
    m_rx.push(bytes);
    std::vector<std::pair<Notice, QString>> notices;
    QString failure;
    while (auto item = m_rx.next()) {
        using Kind = link::ReceiveItem::Kind;
        switch (item->kind) {
        case Kind::Reply:
            m_why.clear();
            if (link::Decode_Reply(item->data, *this) == link::RouteResult::Failed)
                failure = m_why;
            break;
        case Kind::TerminatorError:
            notices.emplace_back(Notice::TerminatorError, QString());
            break;
        case Kind::Identification:
            showConnected(true);
            m_unitId = QString::fromLatin1(item->unitId);
            emit identified(m_unitId);
            break;
        case Kind::EventLine:
            m_watchdog = 0;
            m_logger.Line_Received();
            emit eventLine(item->data);
            fileLine(item->data);
            break;
        case Kind::Overflow:
            failure = QStringLiteral("a text line ran past the receive buffer");
            break;
        }
        if (!failure.isEmpty())
            break;
    }
    if (!failure.isEmpty()) {
        m_rx.discardPending(); // the rest of this event's bytes go with it
        if (!m_latch) {
            m_latch = true;
            notices.emplace_back(Notice::CommError, failure);
        }
    } else {
        m_latch = false;
    }
    for (const auto &[what, detail] : notices)
        emit notice(what, detail);
}

int UnitSession::Expected(ReadPart part)
{
    switch (part) {
    case ReadPart::Passes:
        return config::PassCount;
    case ReadPart::Settings:
        return 4; // maxima, minima, defaults, values
    case ReadPart::Locations:
        break;
    }
    return config::LocationCount;
}

int UnitSession::arrived(ReadPart part) const
{
    const auto &a = m_arrived[int(part)];
    return static_cast<int>(std::count(a.begin(), a.end(), true));
}

QStringList UnitSession::missing(ReadPart part) const
{
    static const char *const pages[] = {"maxima", "minima", "defaults", "values"};
    QStringList out;
    const auto &a = m_arrived[int(part)];
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i])
            continue;
        const int n = static_cast<int>(i);
        out << (part == ReadPart::Passes     ? QStringLiteral("pass %1").arg(n + 1)
                : part == ReadPart::Settings ? QString::fromLatin1(pages[i])
                                             : settings::Location_Code_Caption(n));
    }
    return out;
}

void UnitSession::markArrived(ReadPart part, int item)
{
    auto &a = m_arrived[int(part)];
    if (a[static_cast<size_t>(item)])
        return;
    a[static_cast<size_t>(item)] = true;
    if (arrived(part) != Expected(part))
        return;
    if (part != ReadPart::Settings) // the settings values page is taken as it comes
        imageTakes(part, m_staging);
    emit readComplete(part);
}

void UnitSession::imageTakes(ReadPart part, const config::Configuration &from, int passes)
{
    switch (part) {
    case ReadPart::Passes:
        for (int r = 1; r <= passes; ++r)
            m_image.setPassRow(r, from.passRow(r));
        break;
    case ReadPart::Settings:
        for (int i = 0; i < config::ParamCount; ++i)
            m_image.typeParam(i, from.param(i));
        break;
    case ReadPart::Locations:
        for (int s = 0; s < config::LocationCount; ++s)
            m_image.setAlias(s, settings::Normalise_Alias(from.alias(s)));
        break;
    }
    m_imageRead[int(part)] = true;
    m_readingBack[int(part)] = false;
    emit imageChanged(part);
}

bool UnitSession::readBack(ReadPart part)
{
    if (!read(part))
        return false;
    m_readingBack[int(part)] = true;
    return true;
}

void UnitSession::noteStored(ReadPart part, const config::Configuration &sent, int passes)
{
    if (m_imageRead[int(part)])
        imageTakes(part, sent, passes);
}

bool UnitSession::Decode_Pass_Record(const QByteArray &reply)
{
    const auto pass = passes::Decode_Pass_Record(reply, &m_why);
    if (!pass)
        return false;
    m_staging.applyPass(*pass);
    if (m_config && !m_readingBack[int(ReadPart::Passes)]) {
        m_config->applyPass(*pass);
        emit passApplied(pass->row, pass->optionMode);
    }
    markArrived(ReadPart::Passes, pass->row - 1);
    return true;
}

bool UnitSession::Decode_Event_Log_Pointer(const QByteArray &reply)
{
    m_pointer = eventlog::Decode_Event_Log_Pointer(reply);
    if (!m_pointer) {
        m_why = QStringLiteral("the event log pointer reply does not fit 16 bits");
        return false;
    }
    emit pointerReceived(*m_pointer);
    return true;
}

bool UnitSession::Decode_Location_Reply(const QByteArray &reply)
{
    if (const auto location = settings::Decode_Location_Reply(reply)) {
        m_staging.setAlias(location->slot, location->alias);
        if (m_config && !m_readingBack[int(ReadPart::Locations)]) {
            m_config->setAlias(location->slot, location->alias);
            emit locationApplied(location->slot);
        }
        markArrived(ReadPart::Locations, location->slot);
    }
    return true; // a slot outside 0..49 changes nothing
}

bool UnitSession::Decode_Settings_Page(const QByteArray &reply)
{
    const auto page = settings::Decode_Settings_Page(reply);
    if (!page)
        return true; // an unknown page character: ignored
    bool shown = true;
    if (m_config && !m_readingBack[int(ReadPart::Settings)]) {
        shown = m_config->applySettingsPage(*page);
        emit settingsPageApplied(page->kind);
    }
    if (page->kind == settings::SettingsPageKind::Values) {
        // The image holds the unit's bytes as they are, without the boxes' rule.
        for (int i = 0; i < config::ParamCount; ++i)
            m_staging.typeParam(i, QString::number(page->bytes[static_cast<size_t>(i)]));
        imageTakes(ReadPart::Settings, m_staging);
    }
    if (!shown) {
        m_why = QStringLiteral("the priority list cannot show the values page");
        return false;
    }
    markArrived(ReadPart::Settings, int(page->kind));
    return true;
}

// ---------------------------------------------------------------- the watchdog

void UnitSession::watchdogTick()
{
    if (++m_watchdog > WatchdogTicks)
        showConnected(false);
}

void UnitSession::showConnected(bool connected)
{
    m_watchdog = 0;
    m_connectedShown = connected;
    emit connectedShownChanged(connected);
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

bool UnitSession::read(ReadPart part)
{
    if (!Ensure_Port_Open())
        return false;
    static const quint8 codes[] = {link::Cmd::ReadPassTable, link::Cmd::ReadSettings,
                                   link::Cmd::ReadLocations};
    auto &a = m_arrived[int(part)];
    std::fill(a.begin(), a.end(), false);
    m_readingBack[int(part)] = false;
    return send(link::Build_Short_Request(codes[int(part)]));
}

bool UnitSession::readPointer()
{
    m_pointer.reset();
    return Ensure_Port_Open() && send(eventlog::Build_Pointer_Request());
}

bool UnitSession::readPages(int &start, int count)
{
    if (!Ensure_Port_Open())
        return false;
    start = eventlog::First_Page(start, count);
    const auto frame = eventlog::Build_Page_Request(start, count); // a count above 255 cannot be sent
    if (!send(frame.value_or(QByteArray())))
        return false;
    m_watchdog = 0;
    return true;
}

bool UnitSession::clearEventLog()
{
    return Ensure_Port_Open() && send(eventlog::Build_Clear_Request());
}

bool UnitSession::setClock(const QDateTime &now)
{
    if (!Ensure_Port_Open())
        return false;
    if (m_link->write(eventlog::Build_Clock_Request(now)))
        return true;
    if (!m_latch) // this sender stays quiet while the receive path's message stands
        reportSendFailure();
    return false;
}

// ---------------------------------------------------------------- stores

bool UnitSession::startStore(config::StorePlan plan)
{
    return isOpen() && m_store->start(std::move(plan));
}

// ---------------------------------------------------------------- the event log

void UnitSession::startEventLogRead()
{
    m_logger.Start();
}

std::optional<eventlog::EventLogger::Action> UnitSession::eventLoggerTick(int shownPointer, int pagesWanted)
{
    using Kind = eventlog::EventLogger::Action::Kind;
    const auto action = m_logger.Tick(shownPointer, pagesWanted);
    int start = action.start;
    const bool sent = action.kind == Kind::None ||
                      (action.kind == Kind::ReadPointer ? readPointer() : readPages(start, action.count));
    if (sent)
        return action;
    m_logger.Stop(); // nothing went out: abandoned rather than asked again and again
    return std::nullopt;
}

void UnitSession::holdEventLines()
{
    stopFiling();
    m_holdingLines = true;
}

bool UnitSession::startFiling(const QString &path, QString *why)
{
    const QList<QByteArray> held = std::exchange(m_heldLines, {});
    m_holdingLines = false;
    if (!m_file.open(path, why))
        return false;
    for (const QByteArray &line : held)
        fileLine(line);
    return true;
}

bool UnitSession::startFilingToStandardOutput()
{
    stopFiling();
    return m_file.openStandardOutput();
}

void UnitSession::stopFiling()
{
    m_file.close();
    m_holdingLines = false;
    m_heldLines.clear();
}

void UnitSession::fileLine(const QByteArray &line)
{
    if (m_holdingLines) {
        m_heldLines << line; // the file is being chosen: it gets the line once open
        return;
    }
    if (!m_file.isOpen() || m_file.write(line))
        return;
    stopFiling(); // told once, not once per line
    emit filingFailed();
}

} // namespace halvo::session
