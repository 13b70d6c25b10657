#include "event_filing.h"

#include <utility>

namespace halvo::session {

void EventFiling::hold()
{
    stop();
    m_holding = true;
}

bool EventFiling::start(const QString &path, QString *why)
{
    const QList<QByteArray> held = std::exchange(m_held, {});
    m_holding = false;
    if (!m_file.open(path, why))
        return false;
    for (const QByteArray &line : held)
        lineArrived(line);
    return true;
}

bool EventFiling::startToStandardOutput()
{
    stop();
    return m_file.openStandardOutput();
}

void EventFiling::stop()
{
    m_file.close();
    m_holding = false;
    m_held.clear();
}

void EventFiling::lineArrived(const QByteArray &line)
{
    if (m_holding) {
        m_held << line; // the file is being chosen: it gets the line once open
        return;
    }
    if (!m_file.isOpen() || m_file.write(line))
        return;
    stop(); // told once, not once per line
    emit failed();
}

} // namespace halvo::session
