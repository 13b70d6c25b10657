#include "port_scanner.h"

#include "logging.h"
#include "unit_channel.h"

namespace halvo::session {

PortScanner::PortScanner(UnitChannel &unit, QObject *parent) : QObject(parent), m_unit(unit)
{
    m_listen.setSingleShot(true);
    m_listen.setInterval(6200);
    connect(&m_listen, &QTimer::timeout, this, [this] {
        emit heard(m_ports.at(m_index), m_unit.unitId());
        m_unit.close();
        listenOnNext();
    });
}

bool PortScanner::start(const QList<port::PortEntry> &ports)
{
    if (running())
        return false;
    qCInfo(lcSession) << "scan of" << ports.size() << "ports begins";
    m_unit.clearErrorLatch();
    m_ports = ports;
    listenOnNext();
    return true;
}

void PortScanner::stop()
{
    if (!running())
        return;
    m_listen.stop();
    m_unit.close();
    m_index = -1;
    emit finished();
}

void PortScanner::listenOnNext()
{
    for (++m_index; m_index < m_ports.size(); ++m_index) {
        m_unit.showConnected(false);
        m_unit.close();
        if (!m_unit.open(m_ports.at(m_index).path))
            continue; // held elsewhere or gone: not listed
        m_unit.forgetUnit();
        emit listening(m_index, static_cast<int>(m_ports.size()), m_ports.at(m_index));
        m_listen.start();
        return;
    }
    m_index = -1;
    qCInfo(lcSession) << "scan ended";
    emit finished();
}

} // namespace halvo::session
