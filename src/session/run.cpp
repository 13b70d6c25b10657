#include "run.h"

#include <QTimer>

namespace halvo::session {

Run::Run(Kind kind, QObject *parent) : QObject(parent), m_kind(kind) {}

void Run::stop()
{
    if (!m_running || !m_stop)
        return;
    const auto stopping = m_stop; // the end clears m_stop while it runs
    stopping();
}

void Run::enter(Stage stage, int total)
{
    m_stage = stage;
    m_done = 0;
    m_total = total;
    emit stageChanged(stage);
}

void Run::advance(int done)
{
    m_done = done;
    emit progressed(done, m_total);
}

// An end that comes while the command that began the run is still under way (a port
// that would not open, a run refused as it is asked) is told from the event loop,
// once the command has returned the run to whoever asked; any other end at once.
void Run::finish(RunResult result)
{
    if (!m_running)
        return;
    m_running = false;
    m_result = std::move(result);
    m_stop = {};
    m_msLeft = {};
    auto tell = [this] {
        emit finished(m_result);
        deleteLater();
    };
    if (m_beginning)
        QTimer::singleShot(0, this, tell);
    else
        tell();
}

} // namespace halvo::session
