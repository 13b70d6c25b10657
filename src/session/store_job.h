#pragma once

#include "config/store_plan.h"
#include "paced_store.h"

#include "unit_channel.h"

#include <QObject>

#include <memory>
#include <vector>

namespace halvo::session {

class PaceClock;
class UnitChannel;

// The session's stores: a whole part (STORE CONFIGURATION), the items the operator
// chose (Review Changes), or a plan as it is (halvo-cli restore). Frames go out one
// after another, each followed by the unit's pause; one store at a time.
//
// The unit never answers a store, so a store is checked before it is called done:
// the parts it sent to are read back, and each frame is compared with the frame the
// unit's reply would make. Frames whose content the unit lacks go out again, with the
// same pacing, and are read back again; after two rounds of resending, what is still
// lacking is named. The unit image takes what was read back, never what was sent.
class StoreJob : public QObject, public UnitListener
{
    Q_OBJECT
public:
    enum class Check { ReadBack, None };

    StoreJob(UnitChannel &unit, std::unique_ptr<PaceClock> clock);
    ~StoreJob() override;

    // Pauses are multiplied by scale (tests and benchmarks shorten them).
    void setPauseScale(double scale) { m_paced->setPauseScale(scale); }
    // How long a read back may take before the unit counts as not answering.
    void setReadBackTimeoutMs(int ms) { m_readBackMs = ms; }
    // The part the visible tab shows: passes 1..passCount (72, or 32 for a "Halvo
    // ST" unit), the one settings frame (no pause, no progress), all 50 aliases.
    // Nothing is sent, and nothing said, on a closed port or while another store runs.
    bool store(config::Part part, const config::Configuration &config, int passCount = config::PassCount);
    bool storeItems(const std::vector<config::ItemRef> &items, const config::Configuration &config);
    bool start(config::StorePlan plan, Check check = Check::ReadBack);
    void stop();
    bool running() const { return m_running; }
    bool checking() const { return m_running && !m_paced->running(); }
    // The pauses still to come in the round under way from frame done on: the time
    // it has left, exact, for the unit paces it.
    qint64 pausesLeftMs(int done) const;
    // Of the last store that ended Done: whether the unit was read back.
    bool checked() const { return m_checked; }
    // The items the last store sent, each once.
    std::vector<config::ItemRef> sentItems() const;

    // The most rounds of resending after the first sending.
    static constexpr int ResendRounds = 2;

signals:
    // A round of frames begins (the first, or a resend); a store of the settings alone
    // shows no progress.
    void started(int total);
    // Before frame done of total is written (the progress bar's value).
    void progress(int done, int total);
    // The frames of a round are out; the unit is being read back.
    void checkingStarted();
    // A read back is in: lacking of the round's frames hold what the unit lacks.
    void roundChecked(int lacking, int frames);
    // Done: the unit holds every frame (or, unchecked, every frame went out). NotTaken
    // and NoAnswer: why is the one message for the operator.
    void finished(halvo::session::StoreOutcome outcome, const QString &why);

private:
    void writtenOut() override { m_paced->frameWentOut(); }
    void replyPlaced(config::Part part) override;
    void linkBroke(const QString &reason) override;

    bool run(config::StorePlan plan, Check check, bool quiet = false);
    void sendRound(std::vector<config::PacedFrame> frames);
    void onSent(StoreOutcome outcome, const QString &why);
    void readNextPart();
    void compare();
    void finish(StoreOutcome outcome, const QString &why = {});
    int &timesSent(const config::PacedFrame &frame);

    UnitChannel &m_unit;
    std::unique_ptr<PaceClock> m_clock;
    std::unique_ptr<PacedStore> m_paced;
    int m_readBackMs = 5000;
    bool m_running = false;
    bool m_quiet = false;
    bool m_checked = false;
    Check m_check = Check::ReadBack;
    int m_round = 0;
    std::vector<config::PacedFrame> m_roundFrames; // the frames of the round under way
    std::vector<config::Part> m_toRead;            // parts still to be read back this round
    std::vector<std::pair<config::ItemRef, int>> m_sends;
};

} // namespace halvo::session
