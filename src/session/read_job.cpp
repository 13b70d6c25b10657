#include "read_job.h"

#include "config/differences.h"
#include "logging.h"
#include "messages.h"
#include "pace_clock.h"
#include "unit_channel.h"
#include "unit_image.h"

#include <algorithm>

namespace halvo::session {

using config::Part;

ReadJob::ReadJob(UnitChannel &unit, std::unique_ptr<PaceClock> clock)
    : m_unit(unit), m_clock(std::move(clock))
{
}

void ReadJob::linkBroke(const QString &)
{
    if (m_running)
        finish(false, Msg::CommError + QStringLiteral(": the link to the unit broke"));
}

// A reply that cannot be placed ends the read; a damaged one is counted for the end.
void ReadJob::noticed(Notice what, const QString &detail)
{
    if (!m_running)
        return;
    if (what == Notice::TerminatorError)
        ++m_damaged;
    else
        finish(false, Msg::CommError + QStringLiteral(": ") + detail);
}

ReadJob::~ReadJob()
{
    m_clock->cancel();
}

bool ReadJob::start(std::vector<Part> parts, Reads reads)
{
    if (m_running || parts.empty() || !m_unit.isOpen())
        return false;
    m_running = true;
    m_reads = reads;
    m_parts = std::move(parts);
    m_attempt = 0;
    m_previous.reset();
    m_changed.clear();
    readPart();
    return m_running;
}

void ReadJob::stop()
{
    if (m_running)
        finish(false, QStringLiteral("the read was stopped"));
}

void ReadJob::readPart()
{
    ++m_attempt;
    m_damaged = 0;
    qCInfo(lcSession) << "read of" << config::Part_Title(part()) << "attempt" << m_attempt;
    emit readStarted(part(), m_attempt);
    if (!m_running)
        return;
    if (!m_unit.read(part())) {
        finish(false, Msg::CommError + QStringLiteral(": the port refused the read request"));
        return;
    }
    m_clock->wait(m_timeoutMs, [this] { timedOut(); });
}

void ReadJob::replyPlaced(Part p)
{
    if (!m_running || p != part())
        return;
    const UnitImage &image = m_unit.image();
    const int expected = UnitImage::Expected(p);
    emit progressed(image.arrived(p), expected);
    if (image.arrived(p) == expected) {
        m_clock->cancel();
        partRead();
    }
}

// A record is taken from a read only when the one before it read the same.
void ReadJob::partRead()
{
    const config::Configuration &now = m_unit.image().lastReplies();
    bool agreed = m_reads == Reads::Once;
    if (!agreed && m_previous) {
        const auto changed = config::Items_Read_Differently(*m_previous, now, part());
        agreed = changed.empty();
        for (const config::ItemRef &item : changed)
            if (std::find(m_changed.begin(), m_changed.end(), item) == m_changed.end())
                m_changed.push_back(item);
    }
    if (agreed) {
        m_parts.erase(m_parts.begin());
        m_previous.reset();
        m_changed.clear();
        m_attempt = 0;
        if (m_parts.empty())
            finish(true);
        else
            readPart();
        return;
    }
    if (m_attempt >= MostReads) {
        std::sort(m_changed.begin(), m_changed.end(),
                  [](const config::ItemRef &a, const config::ItemRef &b) { return a.index < b.index; });
        QStringList names;
        for (const config::ItemRef &item : m_changed)
            names << config::Item_Name(item.part, item.index);
        finish(false,
               QStringLiteral("the unit's %1 read differently each of %2 times (changed between reads: "
                              "%3): its replies are being damaged on the way")
                   .arg(config::Part_Replies(part()))
                   .arg(m_attempt)
                   .arg(names.join(QStringLiteral(", "))));
        return;
    }
    m_previous = std::make_unique<config::Configuration>(now);
    readPart();
}

void ReadJob::timedOut()
{
    const UnitImage &image = m_unit.image();
    const Part p = part();
    finish(false, QStringLiteral("%1 of %2 %3 arrived; missing: %4%5")
                      .arg(image.arrived(p))
                      .arg(UnitImage::Expected(p))
                      .arg(config::Part_Replies(p), image.missing(p).join(QStringLiteral(", ")),
                           m_damaged ? QStringLiteral(" (%1 arrived damaged: ").arg(m_damaged) +
                                           Msg::TerminatorError.trimmed() + QLatin1Char(')')
                                     : QString()));
}

void ReadJob::finish(bool ok, const QString &why)
{
    m_clock->cancel();
    m_running = false;
    qCInfo(lcSession) << "read ended:" << ok << why;
    emit finished(ok, why);
}

} // namespace halvo::session
