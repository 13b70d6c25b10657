#include "port_scanner.h"

#include "logging.h"
#include "unit_session.h"
#include "watchdog.h"

namespace halvo::session {

PortScanner::PortScanner(UnitSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    m_listen.setSingleShot(true);
    m_listen.setInterval(6200);
    connect(&m_listen, &QTimer::timeout, this, [this] {
        emit heard(m_ports.at(m_index), m_session.unitId());
        m_session.close();
        listenOnNext();
    });
}

bool PortScanner::start(const QList<port::PortEntry> &ports)
{
    if (running())
        return false;
    qCInfo(lcSession) << "scan of" << ports.size() << "ports begins";
    m_session.clearErrorLatch();
    m_ports = ports;
    listenOnNext();
    return true;
}

void PortScanner::stop()
{
    if (!running())
        return;
    m_listen.stop();
    m_session.close();
    m_index = -1;
    emit finished();
}

void PortScanner::listenOnNext()
{
    for (++m_index; m_index < m_ports.size(); ++m_index) {
        m_session.watchdog().showConnected(false);
        m_session.close();
        if (!m_session.open(m_ports.at(m_index).path))
            continue; // held elsewhere or gone: not listed
        m_session.forgetUnit();
        emit listening(m_index, static_cast<int>(m_ports.size()), m_ports.at(m_index));
        m_listen.start();
        return;
    }
    m_index = -1;
    qCInfo(lcSession) << "scan ended";
    emit finished();
}

} // namespace halvo::session
