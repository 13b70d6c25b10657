#include "run.h"

#include <QTimer>

namespace halvo::session {

Run::Run(Kind kind, QObject *parent) : QObject(parent), m_kind(kind)
{
}

void Run::stop()
{
    if (m_running && m_stop)
        m_stop();
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

// Told from the event loop: a run refused as it is asked is told after the command
// has returned it, to whoever connected meanwhile.
void Run::finish(RunResult result)
{
    if (!m_running)
        return;
    m_running = false;
    m_result = std::move(result);
    m_stop = {};
    m_msLeft = {};
    QTimer::singleShot(0, this, [this] {
        emit finished(m_result);
        deleteLater();
    });
}

} // namespace halvo::session
