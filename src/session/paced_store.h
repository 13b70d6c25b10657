#pragma once

#include "config/store_plan.h"

#include <QObject>

namespace halvo::session {

class PaceClock;
class UnitChannel;

enum class StoreOutcome {
    Done,      // every frame went out, with its pause
    Failed,    // a frame could not be written, or the plan stops short (why says which)
    Cancelled, // the window closed, or the operator cancelled
    LinkLost,  // the unit went away; the link has said so already
    NotTaken,  // read back after every resend, the unit still lacks some items
    NoAnswer,  // the unit did not answer a read back: what it holds is not known
};

// Sends a store plan on the link, frame by frame. The pause after a frame starts only
// once the whole frame has gone out of the port, so no two frames reach the unit
// closer together than their pause, however late the bytes leave.
class PacedStore : public QObject
{
    Q_OBJECT
public:
    PacedStore(UnitChannel &unit, PaceClock &clock, QObject *parent = nullptr);

    // A frame reaches the unit a little sooner or later after leaving the port than
    // the one before it did (the adapter's and the driver's own jitter, a few ms on a
    // busy machine). Each pause is the unit's minimum plus this margin, so that jitter
    // never brings two frames closer than the unit needs.
    static constexpr int JitterMarginMs = 10;
    // The pause kept after a frame the plan wants planned ms after; none stays none.
    static int Kept_Pause_Ms(int planned) { return planned > 0 ? planned + JitterMarginMs : 0; }

    // Pauses are multiplied by scale (tests shorten them).
    void setPauseScale(double scale) { m_scale = scale; }
    double pauseScale() const { return m_scale; }
    // False, and nothing sent, while another store is under way: two stores' frames
    // would interleave.
    bool start(config::StorePlan plan);
    // Ends a store under way at once; nothing more is sent.
    void stop(StoreOutcome outcome);
    bool running() const { return m_running; }
    // Every byte handed to the port has gone out (the session hears it from the link).
    void frameWentOut();

signals:
    // Before frame `done` of `total` is written (the progress bar's value).
    void progress(int done, int total);
    void finished(session::StoreOutcome outcome, const QString &why);

private:
    void sendNext();
    void pauseAfterFrame();

    UnitChannel &m_unit;
    PaceClock &m_clock;
    double m_scale = 1.0;
    config::StorePlan m_plan;
    size_t m_next = 0;
    bool m_running = false;
    bool m_waitingForBytes = false;
};

} // namespace halvo::session
