#pragma once

#include "port/link.h"

#include "unit_channel.h"

#include <QObject>
#include <QString>

#include <memory>

namespace halvo::session {

class PaceClock;
class UnitChannel;

// Connecting to a unit: the port opened and, for halvo-cli, the unit's banner waited
// for, since nothing is sent before the unit has said it is there. A port that will
// not open is looked into away from the window's thread (which program holds it,
// which group the user lacks, whether a new login is all it takes); the end says
// what the operator is to read.
class Connection : public QObject, public UnitListener
{
    Q_OBJECT
public:
    enum class Result {
        Opened,       // the port is open (and, when asked to wait, the unit announced itself)
        InUse,        // another program holds the device: why names it where the system tells
        NoPermission, // the device is there, but this user may not open it: why says what to do
        Failed,       // no such device, or its settings were refused
        Silent,       // open, but no unit announced itself in time
        LinkLost,     // the link broke while waiting
    };

    Connection(UnitChannel &unit, std::unique_ptr<PaceClock> clock);
    ~Connection() override;

    // Opens path; with bannerWaitMs > 0 the end waits for the unit's banner that long.
    void start(const QString &path, int bannerWaitMs = 0);
    void stop();
    bool running() const { return m_running; }

    // What the operator reads of an end: the reason itself when it says what to do,
    // else the fixed message, with the reason after it when detailed.
    static QString Operator_Text(Result result, const QString &why, bool detailed);

signals:
    void finished(halvo::session::Connection::Result result, const QString &why);

private:
    void unitIdentified() override;
    void linkBroke(const QString &reason) override;

    void refused(port::Link::OpenError error, const QString &text);
    void finish(Result result, const QString &why = {});

    UnitChannel &m_unit;
    std::unique_ptr<PaceClock> m_clock;
    QString m_path;
    bool m_running = false;
    bool m_waitingForBanner = false;
};

} // namespace halvo::session
