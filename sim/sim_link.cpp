#include "sim_link.h"

#include "sim_unit.h"

namespace halvo::sim {

SimLink::SimLink(SimUnit &unit, QObject *parent) : port::Link(parent), m_unit(&unit)
{
    for (QTimer *t : {&m_toTool, &m_toUnit}) {
        t->setSingleShot(true);
        t->setInterval(0);
    }
    connect(&m_toTool, &QTimer::timeout, this, &SimLink::bytesReceived);
    connect(&m_toUnit, &QTimer::timeout, this, [this] {
        if (m_unit)
            m_unit->take(std::exchange(m_sent, {}));
    });
    unit.attach(this);
}

SimLink::~SimLink()
{
    if (m_unit && !m_gone)
        m_unit->attach(nullptr);
}

bool SimLink::open(const QString &path, OpenError *error, QString *errorText)
{
    if (path != Demo_Path() || m_gone || !m_unit) {
        if (error)
            *error = OpenError::NotFound;
        if (errorText)
            *errorText = QStringLiteral("the demo unit is not there");
        return false;
    }
    m_open = true;
    m_lostTold = false;
    if (error)
        *error = OpenError::None;
    return true;
}

QByteArray SimLink::read(qint64 maxBytes)
{
    const QByteArray taken = m_in.left(maxBytes);
    m_in.remove(0, taken.size());
    return taken;
}

bool SimLink::write(const QByteArray &frame)
{
    if (!m_open)
        return false;
    m_sent += frame;
    m_toUnit.start();
    QTimer::singleShot(0, this, &SimLink::writtenOut);
    return true;
}

// Bytes of a unit nobody listens to are lost, as on a cable.
qint64 SimLink::send(const QByteArray &bytes)
{
    if (m_gone)
        return -1;
    if (m_open) {
        m_in += bytes;
        m_toTool.start();
    }
    return bytes.size();
}

void SimLink::hangUp()
{
    m_gone = true;
    const bool wasOpen = std::exchange(m_open, false);
    if (wasOpen && !std::exchange(m_lostTold, true))
        emit linkLost(QStringLiteral("the demo unit hung up"));
}

} // namespace halvo::sim
