#pragma once

#include "config/part.h"
#include "connection.h"
#include "download_end.h"
#include "paced_store.h"
#include "port/port_catalogue.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace halvo::session {

// How a run ended. Done is said only of what was checked as the run's kind checks
// it: a store read back (or, unchecked, every frame out), a read whole and agreed, a
// frame written out of the port.
struct RunResult
{
    enum class Status {
        Done,
        Failed,  // why says what went wrong, for the operator
        Stopped, // the operator stopped it
        Refused, // never began: another run of its kind runs, the port is closed, bad input
    };
    Status status = Status::Done;
    QString why;
    // A store: how it ended, and whether the unit was read back.
    StoreOutcome store = StoreOutcome::Failed;
    bool checked = false;
    int frames = 0;
    // What a read or a store found the unit to hold (the session's image holds it): the
    // parts a read read whole, the items a store read back after sending them, taken or not.
    std::vector<config::Part> parts;
    std::vector<config::ItemRef> items;
    // A connection: how the port opened, or what stood in the way.
    Connection::Result connection = Connection::Result::Failed;
    // An event download: what arrived, and what an archive took.
    DownloadEnd download;
    int lines = 0;
    int pagesArrived = 0;
    int pagesExpected = 0;
    int pagesAsked = 0;
    // A download into an archive, or a file filled: the file.
    QString file;

    bool ok() const { return status == Status::Done; }
    static RunResult Of(Status status, const QString &why = {})
    {
        RunResult r;
        r.status = status;
        r.why = why;
        return r;
    }
};

// One piece of work the session does for a front end: started by one of the
// session's commands, and owned by the session until it has told its end. Whatever
// watches it (the one who asked, or anyone who heard runStarted) reads its progress
// from its signals or, for what came before it was heard, from its state.
class Run : public QObject
{
    Q_OBJECT
public:
    enum class Kind {
        Connect,
        Scan,
        Read,
        Store,
        DownloadPages,
        DownloadNewEvents,
        FileEvents,
        SetClock,
        ClearLog,
    };
    // What a run is at. A store: Sending its frames (again after a round read back
    // short), then Checking; a read: Reading each part (again until two agree); an
    // event download: Asking for the pointer, then Downloading pages; a scan:
    // Listening on each port.
    enum class Stage {
        Starting,
        Sending,
        SendingAgain,
        Checking,
        Reading,
        ReadingAgain,
        Asking,
        Downloading,
        Listening,
        Filing
    };

    Kind kind() const { return m_kind; }
    bool running() const { return m_running; }
    // Valid once finished has been told; what it has come to so far before that.
    const RunResult &result() const { return m_result; }
    Stage stage() const { return m_stage; }
    int done() const { return m_done; }
    int total() const { return m_total; }
    // The time the run has left, when it knows; -1 when it does not.
    qint64 msLeft() const { return m_msLeft ? m_msLeft(m_done) : -1; }
    // The part being read, the archive or file being filled, the port being listened on.
    config::Part part() const { return m_part; }
    QString subject() const { return m_subject; }
    const port::PortEntry &port() const { return m_port; }
    // Ends the run without asking for more; finished follows.
    void stop();

signals:
    void stageChanged(halvo::session::Run::Stage stage);
    void progressed(int done, int total);
    // Said to the operator before anything is read ("No new events", the pointer went back).
    void noted(const QString &text);
    // A scan: a port that opened, and what the unit said on it (empty when nothing came).
    void heard(const halvo::port::PortEntry &entry, const QString &unitId);
    // Told once; the run is deleted soon after.
    void finished(const halvo::session::RunResult &result);

private:
    friend class UnitSession;
    Run(Kind kind, QObject *parent);
    void enter(Stage stage, int total = 0);
    void advance(int done);
    void finish(RunResult result);

    Kind m_kind;
    bool m_running = true;
    bool m_beginning = true; // the command that began it has not returned yet
    RunResult m_result;
    Stage m_stage = Stage::Starting;
    int m_done = 0;
    int m_total = 0;
    config::Part m_part = config::Part::Passes;
    QString m_subject;
    port::PortEntry m_port;
    std::function<qint64(int)> m_msLeft;
    std::function<void()> m_stop;
};

} // namespace halvo::session

Q_DECLARE_METATYPE(halvo::session::RunResult)
