// halvo-cli events: the last pages of the event log, paced as the window reads them,
// or only the pages an archive does not hold yet.
#include "cli_commands.h"
#include "cli_unit.h"
#include "eventlog/event_archive.h"
#include "eventlog/event_log_file.h"
#include "eventlog/event_requests.h"
#include "progress.h"
#include "session/archive_download.h"
#include "session/event_download.h"
#include "session/messages.h"

#include <QCoreApplication>

namespace halvo::cli {

namespace Msg = session::Msg;

int events(const Options &o, int pages, const QString &file)
{
    if (!eventlog::Page_Count_Ok(QString::number(pages)))
        return fail(BadInput, QStringLiteral("--pages takes 1 to %1").arg(eventlog::RingPages - 1));
    const bool toStdout = file == QStringLiteral("-");
    QString why;
    // The operator's earlier log stays as it is until the unit has answered: here the
    // file is only checked, not created or emptied.
    if (!toStdout && !eventlog::Can_Write_File(file, &why))
        return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
    Unit u(o);
    session::UnitSession &s = u.session;
    if (const int status = u.connect())
        return status;

    Progress progress;
    progress.stage(QStringLiteral("event pages"), pages);
    session::Run *run = s.downloadPages(pages, file);
    QObject::connect(run, &session::Run::progressed, run,
                     [&progress, run](int arrived) { progress.step(arrived, run->msLeft()); });
    const session::RunResult end = u.wait(run);
    progress.finish(end.ok());
    if (!end.ok() && end.why.startsWith(Msg::SaveFileError))
        return fail(UnitFailed, end.why);
    if (!end.ok())
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": %1; %2 event lines (%3 pages) arrived and are "
                                                    "kept")
                                         .arg(s.linkLost() ? QStringLiteral("the link broke") : end.why)
                                         .arg(end.lines)
                                         .arg(end.pagesArrived));
    Progress::say(QStringLiteral("%1 event lines from %2 pages").arg(end.lines).arg(pages));
    return Ok;
}

int newEvents(const Options &o, std::optional<int> pages, QString archive, bool appendAnyway)
{
    if (pages && !eventlog::Page_Count_Ok(QString::number(*pages)))
        return fail(BadInput, QStringLiteral("--pages takes 1 to %1").arg(eventlog::RingPages - 1));
    // A file that cannot be written, a damaged record, or a first download without a
    // page count: nothing is read.
    auto refused = [&]() -> int {
        QString why;
        if (!eventlog::Can_Write_File(archive, &why))
            return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
        if (const QString problem = session::ArchiveDownload::Record_Problem(
                archive, pages, QStringLiteral("give --pages N for the first one"));
            !problem.isEmpty())
            return fail(BadInput, problem);
        return Ok;
    };
    if (!archive.isEmpty())
        if (const int status = refused())
            return status;
    Unit u(o);
    session::UnitSession &s = u.session;
    if (const int status = u.connect())
        return status;
    if (archive.isEmpty()) { // the unit's own, in the records: known once it has announced itself
        archive = s.archiveFor({});
        if (archive.isEmpty())
            return fail(BadInput, QStringLiteral("events --new needs FILE: the records hold no folder for "
                                                 "the unit on %1 (a backup makes one), or none are kept")
                                      .arg(s.path()));
        if (const int status = refused())
            return status;
    }
    Progress progress;
    // Another unit's archive is refused before anything is asked of the unit.
    session::Run *run = s.downloadNewEvents(archive, pages, appendAnyway);
    if (!run->running())
        return fail(BadInput, run->result().why);
    progress.stage(QStringLiteral("new event pages"), 0);
    QObject::connect(run, &session::Run::noted, run, [](const QString &text) { Progress::say(text); });
    QObject::connect(run, &session::Run::progressed, run, [&progress, run](int arrived, int expected) {
        progress.total(expected);
        progress.step(arrived, run->msLeft());
    });
    const session::RunResult result = u.wait(run);
    const session::DownloadEnd &end = result.download;
    progress.finish(end.appendedAll);
    if (end.mismatch)
        return fail(BadInput,
                    end.why + QStringLiteral(" (--append-anyway appends the unit's pages all the same)"));
    if (!end.appendedAll)
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": %1; %2 whole pages appended to %3, the record moved "
                                                    "past them only")
                                         .arg(s.linkLost() ? QStringLiteral("the link broke") : end.why)
                                         .arg(end.pagesAppended)
                                         .arg(archive));
    Progress::say(QStringLiteral("%1 new event lines appended to %2 (%3 pages read)")
                      .arg(end.appended)
                      .arg(archive)
                      .arg(result.pagesAsked));
    return Ok;
}

} // namespace halvo::cli
