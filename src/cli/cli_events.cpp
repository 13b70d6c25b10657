// halvo-cli events: the last pages of the event log, paced as the window reads them,
// or only the pages an archive does not hold yet.
#include "cli_commands.h"
#include "cli_unit.h"
#include "eventlog/event_log_file.h"
#include "eventlog/event_requests.h"
#include "progress.h"
#include "session/archive_download.h"
#include "session/event_download.h"
#include "session/event_filing.h"
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

    session::EventDownload &download = s.events();
    Progress progress;
    progress.stage(QStringLiteral("event pages"), pages);
    QObject guard;
    bool opened = false, fileFailed = false, ended = false;
    session::EventDownload::End how = session::EventDownload::End::Broken;
    QString endWhy;
    QObject::connect(&s, &session::UnitSession::pointerReceived, &guard, [&] {
        if (opened)
            return;
        opened = toStdout ? s.filing().startToStandardOutput() : s.filing().start(file, &why);
        if (!opened) {
            fileFailed = true;
            download.stop();
        }
    });
    QObject::connect(&s.filing(), &session::EventFiling::failed, &guard, [&] { fileFailed = true; });
    QObject::connect(&download, &session::EventDownload::progressed, &guard,
                     [&] { progress.step(download.progress().pagesArrived(), download.progress().msLeft); });
    QObject::connect(&s, &session::UnitSession::downloadEnded, &guard, [&](const session::DownloadEnd &end) {
        ended = true;
        how = end.how;
        endWhy = end.why;
    });
    download.start(pages);
    u.waitUntil([&] { return ended; });
    const auto &got = download.progress();
    const bool whole = how == session::EventDownload::End::Complete && !fileFailed;
    progress.finish(whole);
    if (fileFailed)
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + (why.isEmpty() ? file : why));
    if (!whole)
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": %1; %2 event lines (%3 pages) arrived and are "
                                                    "kept")
                                         .arg(s.linkLost() ? QStringLiteral("the link broke") : endWhy)
                                         .arg(got.lines)
                                         .arg(got.pagesArrived()));
    Progress::say(QStringLiteral("%1 event lines from %2 pages").arg(got.lines).arg(pages));
    return Ok;
}

int newEvents(const Options &o, std::optional<int> pages, const QString &archive, bool appendAnyway)
{
    if (pages && !eventlog::Page_Count_Ok(QString::number(*pages)))
        return fail(BadInput, QStringLiteral("--pages takes 1 to %1").arg(eventlog::RingPages - 1));
    QString why;
    if (!eventlog::Can_Write_File(archive, &why))
        return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
    // A damaged record, or a first download without a page count: nothing is read.
    if (!eventlog::Read_Record(archive, &why) && (!why.isEmpty() || !pages))
        return fail(BadInput, !why.isEmpty()
                                  ? why
                                  : QStringLiteral("%1 has no record of an earlier download: give --pages N "
                                                   "for the first one")
                                        .arg(archive));
    Unit u(o);
    session::UnitSession &s = u.session;
    if (const int status = u.connect())
        return status;
    session::EventDownload &download = s.events();
    Progress progress;
    QObject guard;
    bool ended = false;
    session::DownloadEnd end;
    QObject::connect(&s.archive(), &session::ArchiveDownload::note, &guard,
                     [](const QString &text) { Progress::say(text); });
    QObject::connect(&download, &session::EventDownload::progressed, &guard, [&] {
        progress.total(download.progress().pagesExpected);
        progress.step(download.progress().pagesArrived(), download.progress().msLeft);
    });
    QObject::connect(&s, &session::UnitSession::downloadEnded, &guard, [&](const session::DownloadEnd &e) {
        ended = true;
        end = e;
    });
    // Another unit's archive is refused before anything is asked of the unit.
    if (!s.archive().start(archive, pages, &why, appendAnyway))
        return fail(BadInput, why);
    progress.stage(QStringLiteral("new event pages"), 0);
    u.waitUntil([&] { return ended; });
    progress.finish(end.appendedAll);
    const auto &got = download.progress();
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
                      .arg(got.pagesAsked));
    return Ok;
}

} // namespace halvo::cli
