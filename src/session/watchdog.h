#pragma once

#include "unit_channel.h"

#include <QObject>
#include <QTimer>

namespace halvo::session {

// The link watchdog: the unit is shown CONNECTED while it keeps talking. It ticks
// every second; more than 20 ticks without a text line from the unit (its banner or
// an event line) show DISCONNECTED again, and re-assert it every 21 ticks.
class Watchdog : public QObject, public UnitListener
{
    Q_OBJECT
public:
    static constexpr int TickMs = 1000;
    static constexpr int SilentTicks = 20;

    explicit Watchdog(QObject *parent = nullptr);
    // Ticks every second from now on (the window; halvo-cli needs no indicator).
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); } // tests tick it themselves
    void TimerDisconnect_Timer();
    // The unit said something, a page request went out, or a port step began.
    void reset() { m_count = 0; }
    void showConnected(bool connected);
    bool connectedShown() const { return m_shown; }
    int count() const { return m_count; }

signals:
    void connectedShownChanged(bool connected);

private:
    void unitIdentified() override { showConnected(true); }
    void lineArrived(const QByteArray &) override { reset(); }
    void linkBroke(const QString &) override { showConnected(false); }

    QTimer m_timer;
    int m_count = 0;
    bool m_shown = false;
};

} // namespace halvo::session
