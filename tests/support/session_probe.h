#pragma once

#include "session/archive_download.h"
#include "session/connection.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "session/event_filing.h"
#include "session/port_scanner.h"
#include "session/read_job.h"
#include "session/run.h"
#include "session/store_job.h"
#include "session/unit_channel.h"
#include "session/unit_session.h"
#include "session/watchdog.h"

namespace halvo::session {

// The tests' view into a session: its jobs and its channel, to look at and to drive
// where a case needs what no front end may reach.
class SessionProbe
{
public:
    static StoreJob &stores(UnitSession &s) { return *s.m_stores; }
    static ReadJob &reads(UnitSession &s) { return *s.m_reads; }
    static EventDownload &events(UnitSession &s) { return *s.m_events; }
    static ArchiveDownload &archive(UnitSession &s) { return *s.m_archive; }
    static EventCollection &collection(UnitSession &s) { return *s.m_collection; }
    static EventFiling &filing(UnitSession &s) { return *s.m_filing; }
    static PortScanner &scanner(UnitSession &s) { return *s.m_scanner; }
    static Connection &connection(UnitSession &s) { return *s.m_connection; }
    static Watchdog &watchdog(UnitSession &s) { return *s.m_watchdog; }
    static UnitChannel &channel(UnitSession &s) { return s.channel(); }
    // A single frame's run went out, or is going.
    static bool sent(const Run *run) { return run->running() || run->result().ok(); }
};

} // namespace halvo::session

using Probe = halvo::session::SessionProbe;
