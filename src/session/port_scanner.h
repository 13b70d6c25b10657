#pragma once

#include "port/port_catalogue.h"

#include <QObject>
#include <QTimer>

namespace halvo::session {

class UnitChannel;

// "Scan For Halvo": opens each port in turn and listens for the unit's banner; the
// unit announces itself, so nothing is sent. The window stays live meanwhile; every
// port it listened on is closed again.
class PortScanner : public QObject
{
    Q_OBJECT
public:
    explicit PortScanner(UnitChannel &unit, QObject *parent = nullptr);
    // How long to listen on each port (6.2 s; tests shorten it).
    void setListenMs(int ms) { m_listen.setInterval(ms); }
    // False, and nothing done, while a scan runs.
    bool start(const QList<port::PortEntry> &ports);
    void stop();
    bool running() const { return m_index >= 0; }

signals:
    void listening(int index, int count, const halvo::port::PortEntry &entry);
    // A port that opened, and what the unit said on it (empty when nothing came).
    void heard(const halvo::port::PortEntry &entry, const QString &unitId);
    void finished();

private:
    void listenOnNext();

    UnitChannel &m_unit;
    QTimer m_listen;
    QList<port::PortEntry> m_ports;
    int m_index = -1;
};

} // namespace halvo::session
