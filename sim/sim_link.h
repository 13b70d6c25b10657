#pragma once

#include "port/link_switch.h"
#include "sim_wire.h"

#include <QPointer>
#include <QTimer>

namespace halvo::sim {

class SimUnit;

// The demo unit inside the tool: a link whose far end is a simulated unit. The tool
// opens it by its name as it would a serial port, so the demo needs no pseudo-terminal
// and runs the same on every system. Bytes go each way on the next turn of the event
// loop, as they would over a cable.
class SimLink : public port::Link, public SimWire
{
    Q_OBJECT
public:
    // What the port list shows for it and the tool opens.
    static QString Demo_Path() { return port::Demo_Port(); }

    explicit SimLink(SimUnit &unit, QObject *parent = nullptr);
    ~SimLink() override;

    // ---- the tool's side
    bool open(const QString &path, OpenError *error = nullptr, QString *errorText = nullptr) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QString path() const override { return Demo_Path(); }
    qint64 bytesWaiting() const override { return m_in.size(); }
    QByteArray read(qint64 maxBytes) override;
    void clearInput() override { m_in.clear(); }
    bool write(const QByteArray &frame) override;
    // Bytes on their way to the unit: they reach it on the next turn of the event loop.
    qint64 bytesToWrite() const override { return m_sent.size(); }

    // ---- the unit's side
    qint64 send(const QByteArray &bytes) override;
    void hangUp() override;

private:
    QPointer<SimUnit> m_unit;
    QByteArray m_in;   // from the unit, waiting to be read
    QByteArray m_sent; // to the unit, on its way
    QTimer m_toTool, m_toUnit;
    bool m_open = false;
    bool m_gone = false; // the unit hung up
    bool m_lostTold = false;
};

} // namespace halvo::sim
