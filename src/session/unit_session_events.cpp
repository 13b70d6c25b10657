// The session's event log commands: the paced downloads, new events into an
// archive, filing lines, and the single frames (the clock, clearing the log).
#include "unit_session.h"

#include "archive_download.h"
#include "archive_questions.h"
#include "event_download.h"
#include "event_filing.h"
#include "eventlog/event_requests.h"
#include "messages.h"
#include "run.h"
#include "unit_memory.h"

#include <QFileInfo>
#include <QTimer>

#include <memory>
#include <utility>

namespace halvo::session {

namespace {
constexpr int FrameOutMs = 5000; // a single frame leaves the port well within this

RunResult::Status Status_Of(DownloadEnd::How how)
{
    return how == DownloadEnd::How::Complete  ? RunResult::Status::Done
           : how == DownloadEnd::How::Stopped ? RunResult::Status::Stopped
                                              : RunResult::Status::Failed;
}

// A download's progress as its run shows it: asking for the pointer, then pages.
void Show_Download(Run &run, const EventDownload::Progress &p, std::function<void(Run::Stage, int)> enter,
                   std::function<void(int)> advance)
{
    const Run::Stage stage = p.pagesExpected > 0 ? Run::Stage::Downloading : Run::Stage::Asking;
    if (run.stage() != stage || run.total() != p.pagesExpected)
        enter(stage, p.pagesExpected);
    advance(p.pagesArrived());
}

void Fill_Download(RunResult &r, const EventDownload::Progress &p)
{
    r.lines = p.lines;
    r.pagesArrived = p.pagesArrived();
    r.pagesExpected = p.pagesExpected;
    r.pagesAsked = p.pagesAsked;
}
} // namespace

Run *UnitSession::downloadPages(int pages, const QString &file)
{
    if (m_events->running() || m_archive->running())
        return refuse(Run::Kind::DownloadPages, QStringLiteral("an event download runs"));
    if (!isOpen())
        return refuse(Run::Kind::DownloadPages, QStringLiteral("the port is closed"));
    Run *run = begin(Run::Kind::DownloadPages, [this] { m_events->stop(); });
    run->m_subject = file;
    run->m_msLeft = [this](int) { return m_events->progress().msLeft; };
    auto fileFailed = std::make_shared<QString>();
    if (!file.isEmpty()) {
        // The operator's earlier file stays as it is until the unit has answered.
        auto opened = std::make_shared<bool>(false);
        connect(this, &UnitSession::pointerReceived, run, [this, file, opened, fileFailed] {
            if (std::exchange(*opened, true))
                return;
            QString why;
            if (!(file == QLatin1String("-") ? m_filing->startToStandardOutput()
                                             : m_filing->start(file, &why))) {
                *fileFailed = why.isEmpty() ? file : why;
                m_events->stop();
            }
        });
        connect(m_filing.get(), &EventFiling::failed, run, [fileFailed, file] { *fileFailed = file; });
    }
    connect(m_events.get(), &EventDownload::progressed, run, [this, run] {
        Show_Download(
            *run, m_events->progress(), [run](Run::Stage s, int n) { run->enter(s, n); },
            [run](int d) { run->advance(d); });
    });
    connect(m_events.get(), &EventDownload::ended, run,
            [this, run, file, fileFailed](DownloadEnd::How how, const QString &why) {
                if (!file.isEmpty())
                    m_filing->stop();
                RunResult r = RunResult::Of(Status_Of(how), why);
                r.download.how = how;
                r.download.why = why;
                r.file = file;
                Fill_Download(r, m_events->progress());
                if (!fileFailed->isEmpty()) {
                    r.status = RunResult::Status::Failed;
                    r.why = Msg::SaveFileError + QStringLiteral(": ") + *fileFailed;
                }
                run->finish(r);
            });
    run->enter(Run::Stage::Asking, 0);
    m_events->start(pages);
    return begun(run);
}

QString UnitSession::archiveFor(const QString &chosen) const
{
    const QString placed = m_archivePlace ? m_archivePlace() : QString();
    if (placed.isEmpty() ||
        (!chosen.isEmpty() && QFileInfo(chosen).absolutePath() != QFileInfo(placed).absolutePath()))
        return chosen;
    return placed;
}

Run *UnitSession::downloadNewEvents(const QString &archive, std::optional<int> firstPages, bool appendAnyway)
{
    if (m_events->running() || m_archive->running())
        return refuse(Run::Kind::DownloadNewEvents, QStringLiteral("an event download runs"));
    if (!isOpen())
        return refuse(Run::Kind::DownloadNewEvents, QStringLiteral("the port is closed"));
    QString why;
    if (!m_archive->canStart(archive, firstPages, &why, appendAnyway))
        return refuse(Run::Kind::DownloadNewEvents, why);
    Run *run = begin(Run::Kind::DownloadNewEvents, [this] { m_archive->stop(); });
    hearNewEvents(run, firstPages, nullptr);
    startNewEvents(run, archive, firstPages, appendAnyway, nullptr);
    return begun(run);
}

Run *UnitSession::readNewEvents(ArchiveQuestions &questions, int firstPages)
{
    if (m_events->running() || m_archive->running())
        return refuse(Run::Kind::DownloadNewEvents, QStringLiteral("an event download runs"));
    if (!isOpen())
        return refuse(Run::Kind::DownloadNewEvents, QStringLiteral("the port is closed"));
    QString archive = archiveFor(UnitMemory(*this).usableArchive());
    if (archive.isEmpty())
        archive = questions.chooseArchive();
    if (archive.isEmpty())
        return refuse(Run::Kind::DownloadNewEvents); // cancelled: nothing to tell
    QString why;
    if (!m_archive->canStart(archive, firstPages, &why, false))
        return refuse(Run::Kind::DownloadNewEvents, why);
    Run *run = begin(Run::Kind::DownloadNewEvents, [this] { m_archive->stop(); });
    hearNewEvents(run, firstPages, &questions);
    startNewEvents(run, archive, firstPages, false, &questions);
    return begun(run);
}

// Into archive, remembered for the unit once it has taken it. When the operator is
// there to ask (questions), an archive that ends with a page the unit does not hold
// is another unit's, or the ring went round: another archive is chosen, or the
// unit's pages appended all the same, and the same run goes on.
void UnitSession::startNewEvents(Run *run, const QString &archive, std::optional<int> firstPages,
                                 bool appendAnyway, ArchiveQuestions *questions)
{
    QString why;
    if (!m_archive->start(archive, firstPages, &why, appendAnyway)) {
        run->finish(RunResult::Of(RunResult::Status::Failed, why));
        return;
    }
    if (questions)
        UnitMemory(*this).setArchive(archive);
    run->m_subject = archive;
    run->m_msLeft = [this](int) { return m_archive->download().progress().msLeft; };
    run->enter(Run::Stage::Asking, 0);
}

// What the archive's download says is the run's, once for the run however often it
// starts again.
void UnitSession::hearNewEvents(Run *run, std::optional<int> firstPages, ArchiveQuestions *questions)
{
    connect(m_archive.get(), &ArchiveDownload::note, run, &Run::noted);
    connect(m_archive.get(), &ArchiveDownload::progressed, run, [this, run] {
        Show_Download(
            *run, m_archive->download().progress(), [run](Run::Stage s, int n) { run->enter(s, n); },
            [run](int d) { run->advance(d); });
    });
    connect(m_archive.get(), &ArchiveDownload::ended, run,
            [this, run, firstPages, questions](const DownloadEnd &end) {
                UnitMemory(*this).noteDownloadInto(m_archive->archive());
                RunResult r =
                    RunResult::Of(end.appendedAll ? RunResult::Status::Done : Status_Of(end.how), end.why);
                // Not all appended is no success; a page that is not the archive's
                // stopped the download, but nobody stopped the run.
                if ((r.status == RunResult::Status::Done && !end.appendedAll) || end.mismatch)
                    r.status = RunResult::Status::Failed;
                r.download = end;
                r.file = m_archive->archive();
                Fill_Download(r, m_archive->download().progress());
                if (!(end.mismatch && questions)) {
                    run->finish(r);
                    return;
                }
                emit run->noted(end.why);
                // Asked once the download has ended, never from inside the receive path.
                QTimer::singleShot(0, run, [this, run, r, firstPages, questions] {
                    QString other;
                    const auto answer = questions->anotherUnitsArchive(r.why);
                    emit run->noted({}); // asked and answered
                    switch (answer) {
                    case ArchiveQuestions::OnMismatch::ChooseAnother:
                        other = questions->chooseArchive();
                        if (!other.isEmpty())
                            return startNewEvents(run, other, firstPages, false, questions);
                        break;
                    case ArchiveQuestions::OnMismatch::AppendAnyway:
                        return startNewEvents(run, r.file, firstPages, true, questions);
                    case ArchiveQuestions::OnMismatch::Cancel:
                        break;
                    }
                    run->finish(r);
                });
            });
}

void UnitSession::holdEventLines()
{
    if (m_filingRun)
        m_filingRun->stop();
    m_filing->hold();
}

Run *UnitSession::fileEvents(const QString &file)
{
    if (m_filingRun)
        m_filingRun->stop();
    if (file.isEmpty()) {
        m_filing->stop(); // the choice was cancelled: what was held goes
        return refuse(Run::Kind::FileEvents);
    }
    QString why;
    if (!m_filing->start(file, &why)) {
        m_filing->stop();
        return refuse(Run::Kind::FileEvents, why.isEmpty() ? file : why);
    }
    Run *run = begin(Run::Kind::FileEvents, [this] { m_filing->stop(); });
    run->m_subject = file;
    run->enter(Run::Stage::Filing);
    m_filingRun = run;
    return begun(run);
}

// A single frame's run is done once the frame has left the port.
Run *UnitSession::sendOne(Run::Kind kind, const QByteArray &frame, UnitChannel::Tell tell,
                          const std::function<void()> &sent)
{
    if (!isOpen())
        return refuse(kind, QStringLiteral("the port is closed"));
    Run *run = begin(kind, [] {});
    run->enter(Run::Stage::Sending, 1);
    if (!channel().send(frame, tell)) {
        run->finish(RunResult::Of(RunResult::Status::Failed,
                                  linkLost() ? QStringLiteral("the link to the unit broke")
                                             : QStringLiteral("the port refused the frame")));
        return run;
    }
    if (sent)
        sent();
    // Out once the port says it has written what it was handed, as a store's pause
    // waits for it.
    connect(m_link.get(), &port::Link::writtenOut, run,
            [run] { run->finish(RunResult::Of(RunResult::Status::Done)); });
    QTimer::singleShot(FrameOutMs, run, [run] {
        run->finish(
            RunResult::Of(RunResult::Status::Failed, QStringLiteral("the frame did not leave the port")));
    });
    if (m_link->bytesToWrite() == 0)
        run->finish(RunResult::Of(RunResult::Status::Done));
    return begun(run);
}

// The clock sender stays quiet while the receive path's message stands.
Run *UnitSession::setClock(const QDateTime &now)
{
    return sendOne(Run::Kind::SetClock, eventlog::Build_Clock_Request(now), UnitChannel::Tell::UnlessLatched,
                   {});
}

Run *UnitSession::clearLog()
{
    // The archive in use reads from the start of the ring next time.
    return sendOne(Run::Kind::ClearLog, eventlog::Build_Clear_Request(), UnitChannel::Tell::Always,
                   [this] { m_archive->noteCleared(); });
}

bool UnitSession::readPointer()
{
    return channel().readPointer();
}

bool UnitSession::readPages(int start, int count)
{
    return isOpen() && channel().readPagesFrom(eventlog::First_Page(start, count), count);
}

} // namespace halvo::session
