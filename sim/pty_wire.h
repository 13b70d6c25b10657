#pragma once

#include "sim_wire.h"

#include <QObject>

class QSocketNotifier;

namespace halvo::sim {

class SimUnit;

// A pseudo-terminal: the tool opens its device path like a serial port (raw, 38400).
class PtyWire : public QObject, public SimWire
{
public:
    explicit PtyWire(SimUnit &unit);
    ~PtyWire() override;
    bool open(QString *error);
    QString path() const override { return m_path; }
    qint64 send(const QByteArray &bytes) override;
    void hangUp() override;

private:
    void readable();

    SimUnit &m_unit;
    int m_master = -1;
    int m_slaveHold = -1; // keeps the slave side open so the master never reads EIO
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr; // armed while the pty is full
};

} // namespace halvo::sim
