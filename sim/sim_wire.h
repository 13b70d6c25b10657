#pragma once

#include <QByteArray>
#include <QString>

namespace halvo::sim {

// What carries the simulated unit's bytes: a pseudo-terminal the tool opens as a
// serial port, or a link inside the tool itself (the demo, on every system).
class SimWire
{
public:
    virtual ~SimWire() = default;
    // What the tool opens: a device path, or the demo's name.
    virtual QString path() const = 0;
    // Takes what it can of the unit's bytes: how many it took; 0 when it is full for
    // now (the unit is called on to go on later); -1 when nothing can be taken any more.
    virtual qint64 send(const QByteArray &bytes) = 0;
    // The cable is pulled.
    virtual void hangUp() = 0;
};

} // namespace halvo::sim
