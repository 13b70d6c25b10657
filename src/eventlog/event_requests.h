#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace halvo::eventlog {

// The unit keeps its event log as a ring of pages, four events to a page. Page
// arithmetic wraps with the ring constant; the paced logger asks for at most a chunk
// of pages at a time.
inline constexpr int RingPages = 32480;
inline constexpr int ChunkPages = 100;
inline constexpr int EventsPerPage = 4;

// "D", ".", 0, 4, 0, checksum, LF, CR: answered by the pointer reply.
QByteArray Build_Pointer_Request();
// "D", "(", 0, 4, 0, checksum, LF, CR: the unit empties its log; no answer.
QByteArray Build_Clear_Request();

// The first page of the count pages that end just before start, wrapping through
// the top of the ring: start 500, count 10 gives 490; start 5, count 10 gives 32475.
int First_Page(int start, int count);

// "D", ")", 0, 7, page div 256, (page div 16) mod 16, page mod 16, count, checksum,
// LF, CR. Nothing when the page is not 0..32767 or the count does not fit its byte.
std::optional<QByteArray> Build_Page_Request(int firstPage, int count);

// The pointer reply carries a page in bytes 2..4 as the page request does. The tool
// shows the page before it (0 for 0). Nothing when the page does not fit 16 signed
// bits: the receive path reports it.
std::optional<int> Decode_Event_Log_Pointer(const QByteArray &reply);

// "about 1 min 40 s", "about 45 s", "about 2 h 5 min": what is left of a download.
QString About_Time(qint64 ms);

// The page count field keeps a number 1..32479; anything else becomes "1".
bool Page_Count_Ok(const QString &text);

// "D", "&", 0, 22, then " MM/DD/YY HH:MM:SS:" in ASCII digits, checksum, LF, CR.
// Every field comes from the one reading of the clock that is passed in, so a
// request built as midnight passes never mixes two days.
QByteArray Build_Clock_Request(const QDateTime &now);

} // namespace halvo::eventlog
