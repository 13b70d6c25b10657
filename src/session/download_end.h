#pragma once

#include <QMetaType>
#include <QString>

namespace halvo::session {

// How an event download ended. The session tells the front ends once, after its own
// jobs (an archive being filled) have finished with it.
struct DownloadEnd
{
    enum class How { Complete, Stopped, Broken };
    How how = How::Complete;
    QString why;
    bool archive = false;     // a read of new events into an archive
    bool appendedAll = false; // archive: every page asked for was appended, or none was new
    int appended = 0;         // archive: entries appended
    int pagesAppended = 0;    // archive: pages whose entries were appended
    bool mismatch = false;    // archive: the page read again is not the one it ends with
};

} // namespace halvo::session

Q_DECLARE_METATYPE(halvo::session::DownloadEnd)
