#pragma once

#include "config/configuration.h"
#include "notice.h"

#include "unit_channel.h"

#include <QObject>

#include <memory>
#include <vector>

namespace halvo::session {

class PaceClock;
class UnitChannel;

// Reads parts of the unit whole, one after another, into the session's
// configuration. A read that becomes a record (a backup, a comparison, a sheet) is
// made until two reads in a row agree: the unit's replies carry no checksum, and a
// reply changed on its way reads as a value the unit never held. A read ends when
// every reply of the part is in; it fails when the unit stays silent for the
// timeout, a reply cannot be placed, or the link breaks.
class ReadJob : public QObject, public UnitListener
{
    Q_OBJECT
public:
    enum class Reads { Once, UntilTwoAgree };
    // The most reads of one part before its replies count as untrustworthy.
    static constexpr int MostReads = 4;

    ReadJob(UnitChannel &unit, std::unique_ptr<PaceClock> clock);
    ~ReadJob() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    bool start(std::vector<config::Part> parts, Reads reads = Reads::UntilTwoAgree);
    void stop();
    bool running() const { return m_running; }
    config::Part part() const { return m_parts.empty() ? config::Part::Passes : m_parts.front(); }
    int attempt() const { return m_attempt; }

signals:
    // A read of a part goes out (attempt 1, 2, ...).
    void readStarted(halvo::config::Part part, int attempt);
    void progressed(int arrived, int expected);
    // ok: every part read whole (and agreed); otherwise why says what went wrong.
    void finished(bool ok, const QString &why);

private:
    void replyPlaced(config::Part part) override;
    void noticed(Notice what, const QString &detail) override;
    void linkBroke(const QString &reason) override;

    void readPart();
    void partRead();
    void timedOut();
    void finish(bool ok, const QString &why = {});

    UnitChannel &m_unit;
    std::unique_ptr<PaceClock> m_clock;
    int m_timeoutMs = 25000;
    bool m_running = false;
    Reads m_reads = Reads::UntilTwoAgree;
    std::vector<config::Part> m_parts;
    int m_attempt = 0;
    int m_damaged = 0;
    std::unique_ptr<config::Configuration> m_previous; // the part as the read before gave it
    std::vector<config::ItemRef> m_changed;            // items that changed between reads
};

} // namespace halvo::session
