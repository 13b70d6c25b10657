#include "watchdog.h"

namespace halvo::session {

Watchdog::Watchdog(QObject *parent) : QObject(parent)
{
    m_timer.setObjectName(QStringLiteral("TimerDisconnect"));
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &Watchdog::TimerDisconnect_Timer);
}

void Watchdog::TimerDisconnect_Timer()
{
    if (++m_count > SilentTicks)
        showConnected(false);
}

void Watchdog::showConnected(bool connected)
{
    m_count = 0;
    m_shown = connected;
    emit connectedShownChanged(connected);
}

} // namespace halvo::session
