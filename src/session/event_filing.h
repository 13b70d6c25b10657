#pragma once

#include "eventlog/event_log_file.h"
#include "unit_channel.h"

#include <QList>
#include <QObject>

namespace halvo::session {

// Event lines to the event log file while "Store Event Log Data" is checked: held
// while the file is being chosen, written once it is open, each flushed. A failed
// write stops the filing and says so once.
class EventFiling : public QObject, public UnitListener
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Lines that arrive from now on wait for the file being chosen.
    void hold();
    bool start(const QString &path, QString *why = nullptr);
    bool startToStandardOutput();
    void stop();
    bool filing() const { return m_file.isOpen(); }
signals:
    void failed();

private:
    void lineArrived(const QByteArray &line) override;

    eventlog::EventLogFile m_file;
    bool m_holding = false;
    QList<QByteArray> m_held;
};

} // namespace halvo::session
