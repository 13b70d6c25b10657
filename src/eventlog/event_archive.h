#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace halvo::eventlog {

// An event archive is an event log file that only ever grows: each download of "new
// events" appends the lines of the pages the archive does not hold yet. Beside it, a
// small record says where the last complete download ended.
//
// Pages are counted as the tool shows the pointer: a read of the last N pages asks
// for the N pages before the shown pointer, so a download that planned with pointer P
// holds every page before P.
struct ArchiveRecord
{
    int endPage = 0; // the pointer the last complete download planned with
    QDateTime savedAt;
    QString unitId; // the unit's banner line (an earlier release kept its first 12 characters)
    QString port;
    bool cleared = false; // the tool cleared the unit's log since
    QList<QByteArray>
        lastPage; // the entries of page endPage - 1 as written, to leave out when it is read again
};

// "events.txt" -> "events.txt.halvo-record".
QString Record_Path(const QString &archive);
QByteArray Format_Record(const ArchiveRecord &record);
// Nothing, and why, when the text is not a record this tool wrote.
std::optional<ArchiveRecord> Parse_Record(const QByteArray &text, QString *why = nullptr);

// The record beside an archive: nothing and no why when there is none yet (a first
// download); nothing and why when it cannot be read or is damaged.
std::optional<ArchiveRecord> Read_Record(const QString &archive, QString *why);
// Written whole or not at all: the old record stays until the new one is complete.
bool Write_Record(const QString &archive, const ArchiveRecord &record, QString *why = nullptr);
// Appends entries to the archive, flushed; never empties it.
bool Append_Entries(const QString &archive, const QList<QByteArray> &entries, QString *why = nullptr);

// What a download of new events reads, given the record and the unit's pointer now.
struct NewPages
{
    int firstPage = 0;
    int count = 0;                // 0: nothing to read
    bool rereadsLastPage = false; // the first page is the record's last page, read again in case it grew
    QString note;                 // what the operator is told before anything is read, if anything
};
// What the operator is told when the page read again is not the archive's last page.
QString Mismatch_Note(const ArchiveRecord &record);
// Whether record belongs to the unit whose banner line is identification. A record
// that names no unit belongs to any; one an earlier release wrote, which kept only
// the banner's first 12 characters, to any unit whose banner begins with them.
bool Record_Is_Of_Unit(const ArchiveRecord &record, const QString &identification);
NewPages Plan_New_Pages(const ArchiveRecord &record, int pointer);

// The page requests of a read, oldest first, each of at most 100 pages: (first page,
// count). Page numbers run round the ring, 0 to 32479.
std::vector<std::pair<int, int>> Page_Chunks(int firstPage, int count);

// Takes the event lines of a download in the order they come and hands out the
// archive entries of whole pages (four lines each). The lines of a page read again
// that the archive holds already are left out; a page read again that does not begin
// with them is another unit's, or a log cleared and refilled since: nothing of it is
// handed out, and mismatch() says so. What a broken download left of a page is never
// handed out; a complete one hands out its last page as it is.
class PageCollector
{
public:
    explicit PageCollector(QList<QByteArray> knownFirstPage = {}) : m_known(std::move(knownFirstPage)) {}
    QList<QByteArray> take(const QByteArray &line);
    QList<QByteArray> finish();
    bool pending() const { return !m_page.isEmpty(); }
    bool mismatch() const { return m_mismatch; }
    int wholePages() const { return m_pages; }
    // The entries of the last page handed out, all of them (those left out included).
    const QList<QByteArray> &lastPage() const { return m_lastPage; }

private:
    QList<QByteArray> handOut();

    QList<QByteArray> m_known;
    QList<QByteArray> m_page; // entries of the page being collected
    QList<QByteArray> m_lastPage;
    int m_pages = 0;
    bool m_mismatch = false;
};

} // namespace halvo::eventlog
