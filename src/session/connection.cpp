#include "connection.h"

#include "logging.h"
#include "messages.h"
#include "off_thread.h"
#include "pace_clock.h"
#include "port/system_snapshot.h"
#include "unit_channel.h"

namespace halvo::session {

Connection::Connection(UnitChannel &unit, std::unique_ptr<PaceClock> clock)
    : m_unit(unit), m_clock(std::move(clock))
{
}

Connection::~Connection()
{
    m_clock->cancel();
}

void Connection::start(const QString &path, int bannerWaitMs)
{
    stop();
    m_path = path;
    m_running = true;
    m_waitingForBanner = false;
    port::Link::OpenError error = port::Link::OpenError::None;
    QString text;
    if (!m_unit.open(path, &error, &text)) {
        refused(error, text);
        return;
    }
    if (bannerWaitMs <= 0) {
        finish(Result::Opened);
        return;
    }
    m_unit.forgetUnit(); // the banner of this connection, not of one before
    m_waitingForBanner = true;
    m_clock->wait(bannerWaitMs, [this, bannerWaitMs] {
        finish(Result::Silent, QStringLiteral("no base unit announced itself on %1 within %2 s")
                                   .arg(m_path)
                                   .arg(bannerWaitMs / 1000.0));
    });
}

void Connection::stop()
{
    m_clock->cancel();
    m_running = m_waitingForBanner = false;
}

// Held elsewhere or not allowed: which, and what to do, is read from the system (a
// walk through every process's open files) on another thread; the end comes back here.
void Connection::refused(port::Link::OpenError error, const QString &text)
{
    using port::Link;
    if (error != Link::OpenError::Permission && error != Link::OpenError::Busy) {
        finish(Result::Failed, QStringLiteral("cannot open %1: %2").arg(m_path, text));
        return;
    }
    const QString path = m_path;
    Off_Thread(
        this, [path, error] { return port::Diagnose_Open_Failure(port::SystemSnapshot(), path, error); },
        [this, path](const port::OpenDiagnosis &diagnosis) {
            if (!m_running || m_path != path)
                return; // stopped, or another connection since
            finish(diagnosis.kind == port::OpenDiagnosis::Kind::InUse ? Result::InUse : Result::NoPermission,
                   diagnosis.text);
        });
}

void Connection::unitIdentified()
{
    if (m_running && m_waitingForBanner)
        finish(Result::Opened);
}

void Connection::linkBroke(const QString &reason)
{
    if (m_running)
        finish(Result::LinkLost, reason);
}

void Connection::finish(Result result, const QString &why)
{
    m_clock->cancel();
    if (result == Result::Opened)
        m_unit.showConnected(true);
    m_running = m_waitingForBanner = false;
    qCInfo(lcSession).noquote() << "connection to" << m_path << "ended:" << int(result) << why;
    emit finished(result, why);
}

QString Connection::Operator_Text(Result result, const QString &why, bool detailed)
{
    if (result == Result::InUse || result == Result::NoPermission)
        return why;
    return detailed && !why.isEmpty() ? Msg::CommError + QStringLiteral(": ") + why : Msg::CommError;
}

} // namespace halvo::session
