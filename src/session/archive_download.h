#pragma once

#include "download_end.h"
#include "eventlog/event_archive.h"

#include "download_end.h"
#include "unit_channel.h"

#include <QObject>

#include <memory>
#include <optional>

namespace halvo::session {

class EventDownload;
class PaceClock;
class UnitChannel;

// "Read New Events": only the pages an event archive does not hold yet are read, and
// their lines appended to it, a whole page at a time. The record beside the archive
// says where the last complete download ended; it moves only past pages that were
// appended. The download itself is the session's EventDownload.
class ArchiveDownload : public QObject, public UnitListener
{
    Q_OBJECT
public:
    ArchiveDownload(UnitChannel &unit, std::unique_ptr<PaceClock> clock);
    ~ArchiveDownload() override;

    // Starts a download into archive. A first one (no record yet) reads the last
    // firstPages pages. False, and why, when it cannot start: a damaged record, no
    // page count for a first download, an archive of another unit. The page read again
    // is checked against the archive's last page unless appendAnyway.
    bool start(const QString &archive, std::optional<int> firstPages, QString *why,
               bool appendAnyway = false);
    // What stands in the way of a download into archive before the unit is asked
    // anything: a damaged record, or no record and no page count for a first one (hint
    // says how to give one). Empty when nothing does.
    static QString Record_Problem(const QString &archive, std::optional<int> firstPages,
                                  const QString &hint = QStringLiteral("the first one needs a page count"));
    // Whether start would take archive, without starting.
    bool canStart(const QString &archive, std::optional<int> firstPages, QString *why,
                  bool appendAnyway = false) const;
    void stop();
    bool running() const { return m_active; }
    // The download that reads the pages, for its pacing and its progress.
    EventDownload &download() { return *m_download; }
    const EventDownload &download() const { return *m_download; }
    QString archive() const { return m_archive; }
    // The tool cleared the unit's log: the next download starts at the start of the ring.
    void noteCleared();

signals:
    // Said before anything is read: no new events, or the pointer went back.
    void note(const QString &text);
    void progressed();
    // The pages appended are recorded, and end says so.
    void ended(const halvo::session::DownloadEnd &end);

private:
    void lineArrived(const QByteArray &line) override;
    void linkBroke(const QString &reason) override;
    void downloadEnded(DownloadEnd::How how, const QString &why);
    bool append(const QList<QByteArray> &entries);

    UnitChannel &m_unit;
    std::unique_ptr<EventDownload> m_download;
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
