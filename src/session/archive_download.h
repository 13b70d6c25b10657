#pragma once

#include "download_end.h"
#include "eventlog/event_archive.h"

#include <QObject>

#include <memory>
#include <optional>

namespace halvo::session {

class UnitSession;

// "Read New Events": only the pages an event archive does not hold yet are read, and
// their lines appended to it, a whole page at a time. The record beside the archive
// says where the last complete download ended; it moves only past pages that were
// appended. The download itself is the session's EventDownload.
class ArchiveDownload : public QObject
{
    Q_OBJECT
public:
    explicit ArchiveDownload(UnitSession &session, QObject *parent = nullptr);
    ~ArchiveDownload() override;

    // Starts a download into archive. A first one (no record yet) reads the last
    // firstPages pages. False, and why, when it cannot start: a damaged record, no
    // page count for a first download, an archive of another unit. The page read again
    // is checked against the archive's last page unless appendAnyway.
    bool start(const QString &archive, std::optional<int> firstPages, QString *why,
               bool appendAnyway = false);
    bool running() const { return m_active; }
    QString archive() const { return m_archive; }
    // The tool cleared the unit's log: the next download starts at the start of the ring.
    void noteCleared();

    // ---- the session's side
    void lineArrived(const QByteArray &line);
    // The session's download ended: the pages appended are recorded, and end says so.
    void downloadEnded(DownloadEnd &end);

signals:
    // Said before anything is read: no new events, or the pointer went back.
    void note(const QString &text);

private:
    bool append(const QList<QByteArray> &entries);

    UnitSession &m_session;
    QString m_archive;
    std::optional<eventlog::ArchiveRecord> m_record;
    std::unique_ptr<eventlog::PageCollector> m_pages;
    int m_firstPage = 0;
    int m_appended = 0;
    int m_pagesWritten = 0;
    QList<QByteArray> m_lastPage; // of the last page written
    bool m_active = false;
    bool m_mismatch = false;
    QString m_failure;
};

} // namespace halvo::session
