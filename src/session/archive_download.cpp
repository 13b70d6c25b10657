#include "archive_download.h"

#include "event_download.h"
#include "logging.h"
#include "pace_clock.h"
#include "unit_channel.h"

namespace halvo::session {

using eventlog::ArchiveRecord;

ArchiveDownload::ArchiveDownload(UnitChannel &unit, std::unique_ptr<PaceClock> clock)
    : m_unit(unit), m_download(std::make_unique<EventDownload>(unit, std::move(clock)))
{
    connect(m_download.get(), &EventDownload::progressed, this, &ArchiveDownload::progressed);
    connect(m_download.get(), &EventDownload::ended, this, &ArchiveDownload::downloadEnded);
}

ArchiveDownload::~ArchiveDownload() = default;

QString ArchiveDownload::Record_Problem(const QString &archive, std::optional<int> firstPages,
                                        const QString &hint)
{
    QString problem;
    if (!eventlog::Read_Record(archive, &problem) && problem.isEmpty() && !firstPages)
        problem = QStringLiteral("%1 has no record of an earlier download: %2").arg(archive, hint);
    return problem;
}

bool ArchiveDownload::canStart(const QString &archive, std::optional<int> firstPages, QString *why,
                               bool appendAnyway) const
{
    QString problem = Record_Problem(archive, firstPages);
    QString ignored;
    const auto record = problem.isEmpty() ? eventlog::Read_Record(archive, &ignored) : std::nullopt;
    const QString unit = m_unit.identification();
    if (problem.isEmpty() && record && !appendAnyway && !eventlog::Record_Is_Of_Unit(*record, unit))
        // Another unit's events never go into this archive; nothing is asked of the unit.
        problem = unit.isEmpty()
                      ? QStringLiteral("%1 holds the events of \"%2\"; the unit on %3 has not said "
                                       "which unit it is yet. Wait for CONNECTED and retry.")
                            .arg(archive, record->unitId, m_unit.path())
                      : QStringLiteral("%1 holds the events of \"%2\"; the unit on %3 is \"%4\". "
                                       "Choose another archive.")
                            .arg(archive, record->unitId, m_unit.path(), unit);
    if (!problem.isEmpty()) {
        if (why)
            *why = problem;
        return false;
    }
    return true;
}

bool ArchiveDownload::start(const QString &archive, std::optional<int> firstPages, QString *why,
                            bool appendAnyway)
{
    if (!canStart(archive, firstPages, why, appendAnyway))
        return false;
    QString ignored;
    auto record = eventlog::Read_Record(archive, &ignored);
    m_archive = archive;
    m_record = record;
    m_appended = m_pagesWritten = 0;
    m_lastPage.clear();
    m_failure.clear();
    m_mismatch = false;
    m_active = true;
    if (!record) { // a first download: the last pages, as "Read Last # of Pages of Events"
        m_pages = std::make_unique<eventlog::PageCollector>();
        m_firstPage = -*firstPages; // counted from the pointer once it is known
        m_download->start(*firstPages);
        return true;
    }
    m_pages.reset();
    m_download->startPlanned([this, appendAnyway](int pointer) {
        const eventlog::NewPages plan = eventlog::Plan_New_Pages(*m_record, pointer);
        if (!plan.note.isEmpty())
            emit note(plan.note);
        m_firstPage = plan.firstPage;
        m_pages = std::make_unique<eventlog::PageCollector>(
            plan.rereadsLastPage && !appendAnyway ? m_record->lastPage : QList<QByteArray>());
        return eventlog::Page_Chunks(plan.firstPage, plan.count);
    });
    return true;
}

void ArchiveDownload::noteCleared()
{
    if (m_archive.isEmpty())
        return;
    QString why;
    auto record = eventlog::Read_Record(m_archive, &why);
    if (!record)
        return; // nothing recorded yet (or a damaged record, told at the next download)
    record->cleared = true;
    record->lastPage.clear();
    eventlog::Write_Record(m_archive, *record);
}

void ArchiveDownload::stop()
{
    m_download->stop();
}

// The line paces the download first, then fills the archive.
void ArchiveDownload::lineArrived(const QByteArray &line)
{
    static_cast<UnitListener &>(*m_download).lineArrived(line);
    if (!m_active || !m_pages || !m_failure.isEmpty())
        return;
    const int pages = m_pages->wholePages();
    const QList<QByteArray> entries = m_pages->take(line);
    if (m_pages->mismatch()) {
        // Not the page the archive ends with: nothing of this download is written.
        m_mismatch = true;
        m_failure = eventlog::Mismatch_Note(*m_record);
        m_download->stop();
        return;
    }
    if (m_pages->wholePages() > pages)
        append(entries);
}

// A page handed out is in the archive only once it is written.
bool ArchiveDownload::append(const QList<QByteArray> &entries)
{
    QString why;
    if (eventlog::Append_Entries(m_archive, entries, &why)) {
        m_appended += static_cast<int>(entries.size());
        ++m_pagesWritten;
        m_lastPage = m_pages->lastPage();
        return true;
    }
    m_failure = QStringLiteral("%1 cannot be written: %2").arg(m_archive, why);
    m_download->stop(); // nothing more is asked for
    return false;
}

// A complete download hands out its last page as it is and moves the record to the
// pointer it planned with; any other end moves it only past the whole pages appended.
void ArchiveDownload::linkBroke(const QString &reason)
{
    static_cast<UnitListener &>(*m_download).linkBroke(reason);
}

void ArchiveDownload::downloadEnded(DownloadEnd::How how, const QString &why)
{
    if (!m_active)
        return;
    m_active = false;
    DownloadEnd end;
    end.how = how;
    end.why = why;
    const bool complete = end.how == DownloadEnd::How::Complete && m_failure.isEmpty();
    if (complete && m_pages && m_pages->pending())
        append(m_pages->finish());
    const auto pointer = m_download->plannedPointer();
    ArchiveRecord record = m_record.value_or(ArchiveRecord{});
    const int firstPage = m_record ? m_firstPage : pointer.value_or(0) + m_firstPage;
    const int pages = m_pagesWritten;
    bool moved = false;
    if (complete && pointer && (!m_record || *pointer != m_record->endPage || m_record->cleared)) {
        record.endPage = *pointer;
        moved = true;
    } else if (!complete && pages > 0) {
        record.endPage = (firstPage + pages + eventlog::RingPages) % eventlog::RingPages;
        moved = true;
    }
    if (moved) {
        if (pages > 0)
            record.lastPage = m_lastPage;
        record.cleared = false;
        record.savedAt = QDateTime::currentDateTime();
        record.unitId = m_unit.identification();
        record.port = m_unit.path();
        QString problem;
        if (!eventlog::Write_Record(m_archive, record, &problem) && m_failure.isEmpty())
            m_failure = QStringLiteral("the record of %1 cannot be written: %2").arg(m_archive, problem);
    }
    qCInfo(lcSession) << "archive download ended:" << m_appended << "entries appended" << m_failure;
    end.archive = true;
    end.appendedAll = complete && m_failure.isEmpty();
    end.appended = m_appended;
    end.pagesAppended = m_pagesWritten;
    end.mismatch = m_mismatch;
    if (!m_failure.isEmpty())
        end.why = m_failure;
    emit ended(end);
}

} // namespace halvo::session
