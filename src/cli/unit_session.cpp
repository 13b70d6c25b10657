#include "unit_session.h"

#include "eventlog/event_requests.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace halvo::cli {

UnitSession::UnitSession(QObject *parent) : QObject(parent)
{
    connect(&m_link, &link::SerialLink::bytesReceived, this, &UnitSession::onBytes);
    connect(&m_link, &link::SerialLink::linkLost, this, [this] { m_lost = true; });
}

bool UnitSession::open(const QString &path, QString *error)
{
    link::SerialLink::OpenError why = link::SerialLink::OpenError::None;
    QString text;
    if (m_link.open(path, &why, &text)) {
        m_link.clearInput(); // bytes from before the session are not the unit's answers
        return true;
    }
    if (error)
        *error = why == link::SerialLink::OpenError::Permission
                     ? link::Permission_Message(path, link::Device_Group(path))
                     : QStringLiteral("cannot open %1: %2").arg(path, text);
    return false;
}

bool UnitSession::send(const QByteArray &frame)
{
    return m_link.write(frame);
}

bool UnitSession::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (m_lost || !m_got.refused.isEmpty() || deadline.hasExpired())
            return false;
        sleepUntilEvent(deadline);
    }
    return true;
}

void UnitSession::pause(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        sleepUntilEvent(deadline);
}

// Sleeps until an event arrives or the deadline passes. The wake-up timer is
// precise and re-armed for what is left: a coarse one may fire a little early and
// leave the wait blocked with nothing more to come from a silent unit.
void UnitSession::sleepUntilEvent(const QDeadlineTimer &deadline)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void UnitSession::onBytes()
{
    m_rx.push(m_link.readAll());
    while (auto item = m_rx.next()) {
        using Kind = link::ReceiveItem::Kind;
        switch (item->kind) {
        case Kind::Reply:
            if (link::Decode_Reply(item->data, *this) == link::RouteResult::Failed && m_got.refused.isEmpty())
                m_got.refused = QStringLiteral("a reply the tool cannot place arrived");
            break;
        case Kind::TerminatorError:
            ++m_got.damaged;
            break;
        case Kind::Identification:
            m_got.identified = true;
            break;
        case Kind::EventLine:
            emit eventLine(item->data);
            break;
        case Kind::Overflow:
            break; // a line that never ends is not the unit's answer to anything
        }
    }
}

bool UnitSession::Decode_Pass_Record(const QByteArray &reply)
{
    QString why;
    const auto d = passes::Decode_Pass_Record(reply, &why);
    if (!d) {
        m_got.refused = why;
        return false;
    }
    m_got.passes[static_cast<size_t>(d->row - 1)] = *d;
    return true;
}

bool UnitSession::Decode_Event_Log_Pointer(const QByteArray &reply)
{
    m_got.pointer = eventlog::Decode_Event_Log_Pointer(reply);
    if (!m_got.pointer)
        m_got.refused = QStringLiteral("the event log pointer reply does not fit 16 bits");
    return m_got.pointer.has_value();
}

bool UnitSession::Decode_Location_Reply(const QByteArray &reply)
{
    if (const auto d = settings::Decode_Location_Reply(reply))
        m_got.aliases[static_cast<size_t>(d->slot)] = d->alias;
    return true;
}

bool UnitSession::Decode_Settings_Page(const QByteArray &reply)
{
    if (const auto p = settings::Decode_Settings_Page(reply))
        m_got.pages[static_cast<size_t>(p->kind)] = p->bytes;
    return true;
}

} // namespace halvo::cli
