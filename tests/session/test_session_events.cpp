// The session's event log jobs on a fake link and clock: the paced read, new events
// into an archive and how their runs end, the last pages into a file, filing lines.
#include "eventlog/event_archive.h"
#include "session/archive_download.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "session/pace_clock.h"
#include "session/run.h"
#include "session/store_job.h"
#include "session/unit_memory.h"
#include "session/unit_session.h"
#include "sim_link.h"
#include "sim_unit.h"
#include "support/bytes.h"
#include "support/session_fixture.h"
#include "support/session_probe.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using namespace halvo::test;
using config::Part;
using session::Notice;
using session::StoreOutcome;

class TestSessionEvents : public SessionTest
{
    Q_OBJECT

private slots:
    // Filing event lines: held while the file is chosen, then written; choosing another
    // file ends the first run; a cancelled choice drops what was held and files nothing.
    void eventLinesAreFiledByOneRunAtATime()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("first.txt"), second = dir.filePath("second.txt");
        s->holdEventLines();
        link->receive(" held line\r");
        session::Run *one = s->fileEvents(first);
        QVERIFY(one->running());
        QCOMPARE(one->kind(), session::Run::Kind::FileEvents);
        QCOMPARE(one->subject(), first);
        link->receive(" live line\r");
        QSignalSpy oneEnded(one, &session::Run::finished);
        session::Run *two = s->fileEvents(second);
        QCOMPARE(oneEnded.size(), 1); // the first file is done with
        QCOMPARE(oneEnded.first().first().value<session::RunResult>().status,
                 session::RunResult::Status::Stopped);
        QVERIFY(two->running());
        link->receive(" later line\r");
        QCOMPARE(QString::fromLatin1(test::readFile(first)).count("line"), 2);
        QVERIFY(test::readFile(first).contains("held line"));
        QVERIFY(test::readFile(second).contains("later line"));
        QVERIFY(!test::readFile(second).contains("live line"));

        QSignalSpy twoEnded(two, &session::Run::finished);
        s->holdEventLines(); // another file is being chosen...
        QCOMPARE(twoEnded.size(), 1);
        link->receive(" while choosing\r");
        session::Run *none = s->fileEvents({}); // ...and the choice is cancelled
        QVERIFY(!none->running());
        link->receive(" after\r");
        QVERIFY(!test::readFile(second).contains("while choosing"));
        QVERIFY(!test::readFile(second).contains("after"));
    }

    // "Read Last # of Pages": the pointer, the plan with the unit's pointer, chunks of
    // at most 100 each after four quiet ticks, then complete once the unit has been
    // quiet as long again. Progress counts pages asked and lines come.
    void theEventDownloadPacesItsChunksAndKnowsWhenItIsComplete()
    {
        session::EventDownload &d = Probe::events(*s);
        QSignalSpy ended(&d, &session::EventDownload::ended);
        FakeClock &ticks = *fake->events;
        QVERIFY(!d.running());
        d.start(250);
        QVERIFY(link->written.isEmpty() && ticks.waiting()); // nothing at once
        ticks.fire();
        QCOMPARE(link->written.last(), QByteArray("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8));
        ticks.fire(); // no pointer reply yet: the plan waits for it
        QCOMPARE(d.state(), eventlog::EventLogger::State::Plan);
        link->receive(reply('/', QByteArray("\x00\x03\x03", 3))); // page 51: the tool shows 50
        ticks.fire();
        auto firstPages = [&] {
            QStringList out;
            for (const QByteArray &f : link->written)
                if (f.at(1) == ')')
                    out << QString::number(quint8(f[4]) * 256 + quint8(f[5]) * 16 + quint8(f[6])) + "/" +
                               QString::number(quint8(f[7]));
            return out;
        };
        for (int t = 0; t < 3; ++t)
            ticks.fire();
        QVERIFY(firstPages().isEmpty());
        ticks.fire(); // the fourth quiet tick
        QCOMPARE(firstPages(), QStringList{"32280/100"});
        QCOMPARE(d.progress().msLeft, -1); // no estimate before a chunk has come
        QCOMPARE(session::Download_Line(d.progress().pagesArrived(), d.progress().pagesExpected,
                                        d.progress().msLeft),
                 "Page 0 of 250");
        for (int t = 0; t < 3; ++t) {
            ticks.fire();
            link->receive(" event line\r"); // lines keep the next chunk waiting
        }
        QVERIFY(firstPages().size() == 1);
        for (int l = 3; l < 400; ++l)
            link->receive(" event line\r");
        QCOMPARE(d.progress().pagesArrived(), 100);
        QVERIFY(d.progress().msLeft >= 0);
        QVERIFY(QRegularExpression("^Page 100 of 250, about \\d+ s left$")
                    .match(session::Download_Line(d.progress().pagesArrived(), d.progress().pagesExpected,
                                                  d.progress().msLeft))
                    .hasMatch());
        for (int t = 0; t < 8; ++t)
            ticks.fire();
        QCOMPARE(firstPages(), (QStringList{"32280/100", "32380/100", "32480/50"}));
        QCOMPARE(d.progress().pagesAsked, 250);
        for (int t = 0; t < 3; ++t)
            ticks.fire();
        QVERIFY(ended.isEmpty() && d.running());
        ticks.fire();
        QCOMPARE(ended.takeFirst().first().value<session::EventDownload::End>(),
                 session::EventDownload::End::Complete);
        QVERIFY(!ticks.waiting());
    }

    // A line that arrives while a read waits restarts the quiet count: the next chunk
    // goes on the fourth quiet tick after the last line, in a read of the last pages
    // and in a planned one alike.
    void aLineRestartsTheQuietCount()
    {
        session::EventDownload &d = Probe::events(*s);
        FakeClock &ticks = *fake->events;
        auto pageRequests = [&] {
            return std::count_if(link->written.begin(), link->written.end(),
                                 [](const QByteArray &f) { return f.at(1) == ')'; });
        };
        auto quietThenLine = [&] {
            for (int t = 0; t < 3; ++t)
                ticks.fire();
            link->receive(" event line\r");
            for (int t = 0; t < 3; ++t)
                ticks.fire();
        };
        d.start(250);
        ticks.fire(); // the pointer request
        link->receive(reply('/', QByteArray("\x00\x03\x03", 3)));
        ticks.fire(); // the plan
        for (int t = 0; t < 4; ++t)
            ticks.fire();
        QCOMPARE(pageRequests(), 1);
        quietThenLine();
        QCOMPARE(pageRequests(), 1);
        ticks.fire();
        QCOMPARE(pageRequests(), 2);

        d.startPlanned([](int) { return std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}; });
        link->receive(reply('/', QByteArray("\x00\x03\x03", 3)));
        ticks.fire(); // the first chunk as soon as the pointer is in
        QCOMPARE(pageRequests(), 3);
        quietThenLine();
        QCOMPARE(pageRequests(), 3);
        ticks.fire();
        QCOMPARE(pageRequests(), 4);
    }

    void anEventDownloadStopsOrBreaks()
    {
        session::EventDownload &d = Probe::events(*s);
        QSignalSpy ended(&d, &session::EventDownload::ended);
        FakeClock &ticks = *fake->events;
        d.start(10);
        ticks.fire();
        link->receive(reply('/', QByteArray("\x00\x03\x03", 3)));
        for (int t = 0; t < 5; ++t)
            ticks.fire();
        QCOMPARE(link->written.last(), QByteArray("\x44\x29\x00\x07\x00\x02\x08\x0A\x88\x0A\x0D", 11));
        d.start(300); // again: the read under way ends; the chunk asked for is not repeated
        QCOMPARE(ended.takeFirst().at(1).toString(), "a new read began");
        d.stop();
        QCOMPARE(ended.takeFirst().first().value<session::EventDownload::End>(),
                 session::EventDownload::End::Stopped);
        QVERIFY(!ticks.waiting());
        link->receive(" late line\r"); // lines of chunks asked for still count
        QCOMPARE(d.progress().lines, 1);

        d.start(10);
        ticks.fire();
        link->pull();
        QCOMPARE(ended.takeFirst().first().value<session::EventDownload::End>(),
                 session::EventDownload::End::Broken);
        QCOMPARE(d.state(), eventlog::EventLogger::State::Idle);
        QVERIFY(Probe::channel(*s).open("/dev/fake"));
        d.start(10);
        s->close(); // a request that cannot go out ends the read: not asked again and again
        ticks.fire();
        QCOMPARE(ended.takeFirst().at(1).toString(), "a request could not be sent");
    }

    // "Read New Events": a first download of the last pages, then only the pages the
    // archive does not hold (the last one read again, its known lines left out), the
    // record following; an unchanged pointer reads nothing; a damaged record or an
    // archive that cannot be written appends nothing and moves nothing.
    void newEventsAreAppendedOnceAndTheRecordFollows()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("archive.txt");
        session::ArchiveDownload &a = Probe::archive(*s);
        QList<QVariantList> ended; // each archive download's end: all appended, entries, why
        connect(&a, &session::ArchiveDownload::ended, this, [&](const session::DownloadEnd &e) {
            QVERIFY(e.archive);
            ended << QVariantList{e.appendedAll, e.appended, e.why};
        });
        QSignalSpy notes(&a, &session::ArchiveDownload::note);
        FakeClock &ticks = *fake->archive;
        auto pointer = [&](int shown) {
            const int raw = shown + 1;
            link->receive(reply('/', test::bytes({raw / 256, raw / 16 % 16, raw % 16})));
        };
        auto page = [&](int n, int lines = 4) {
            QByteArray out;
            for (int e = 1; e <= lines; ++e)
                out += " Page " + QByteArray::number(n) + " Ev " + QByteArray::number(e) + "\r";
            return out;
        };
        auto lastRequest = [&] {
            const QByteArray f = link->written.last();
            return f.at(1) == ')' ? QStringLiteral("%1/%2")
                                        .arg(quint8(f[4]) * 256 + quint8(f[5]) * 16 + quint8(f[6]))
                                        .arg(quint8(f[7]))
                                  : QString::fromLatin1(f.toHex(' '));
        };
        auto quiet = [&] {
            for (int t = 0; t < 4; ++t)
                ticks.fire();
        };
        QString why;
        QVERIFY(!a.start(archive, std::nullopt, &why)); // a first download needs a page count
        QVERIFY(why.contains("no record of an earlier download"));

        QVERIFY(a.start(archive, 2, &why)); // the last 2 pages, as "Read Last # of Pages"
        ticks.fire();
        pointer(10);
        ticks.fire();
        quiet();
        QCOMPARE(lastRequest(), "8/2");
        link->receive(page(8) + page(9, 3)); // page 9 is not full yet
        quiet();
        QCOMPARE(ended.takeFirst(), (QVariantList{true, 7, QString()}));
        QCOMPARE(test::readFile(archive).count("\r\n"), 7);

        QVERIFY(a.start(archive, std::nullopt, &why));      // pages 9 (again), 10 and 11
        QCOMPARE(lastRequest(), "44 2e 00 04 00 76 0a 0d"); // the pointer at once
        pointer(12);
        ticks.fire(); // the first chunk as soon as the pointer is in
        QCOMPARE(lastRequest(), "9/3");
        link->receive(page(9) + page(10) + page(11));
        quiet();
        QCOMPARE(ended.takeFirst(), (QVariantList{true, 9, QString()}));
        const QByteArray held = test::readFile(archive);
        QCOMPARE(held.count("Page 9 Ev 3"), 1);
        QCOMPARE(held.count("Page 9 Ev 4") + held.count("Page 11 Ev 4"), 2);
        QVERIFY(notes.isEmpty());

        link->written.clear();
        QVERIFY(a.start(archive, std::nullopt, &why)); // the pointer has not moved
        pointer(12);
        ticks.fire();
        QCOMPARE(ended.takeFirst().at(1).toInt(), 0);
        QVERIFY(notes.takeFirst().first().toString().startsWith("No new events since "));
        QCOMPARE(link->written.size(), 1); // the pointer request, no page

        QFile record(eventlog::Record_Path(archive));
        QVERIFY(QFile::copy(record.fileName(), dir.filePath("folder.txt.halvo-record")));
        QVERIFY(QDir(dir.path()).mkdir("folder.txt")); // an archive that cannot be written
        QVERIFY(a.start(dir.filePath("folder.txt"), std::nullopt, &why));
        pointer(14);
        ticks.fire();
        link->receive(page(11) + page(12));
        QCOMPARE(ended.takeFirst().first().toBool(), false);
        QCOMPARE(eventlog::Read_Record(dir.filePath("folder.txt"), &why)->endPage, 12); // not moved

        QVERIFY(record.open(QIODevice::Append) && record.write("end-page: x\n") > 0);
        record.close();
        QVERIFY(!a.start(archive, 5, &why)); // damaged: a clear reason, nothing read or appended
        QVERIFY(why.contains("is damaged"));
        QCOMPARE(test::readFile(archive), held);
    }

    // A run of new events ends as its download did: failed, and said why, when the
    // archive's last page is no longer the unit's; stopped when the operator stops it.
    void aNewEventsRunEndsAsItsDownloadDid()
    {
        using Status = session::RunResult::Status;
        QTemporaryDir dir;
        sim::SimUnit unit;
        unit.setBannerInterval(0);
        session::UnitSession events({std::make_unique<sim::SimLink>(unit), {}});
        QVERIFY(Probe::channel(events).open(sim::SimLink::Demo_Path()));
        session::SessionTiming t;
        t.eventScale = 0.01;
        events.setTiming(t);
        auto finish = [](session::Run *run) {
            QSignalSpy ended(run, &session::Run::finished);
            if (run->running())
                [&] { QVERIFY(ended.wait(10000)); }();
            return run->result();
        };
        const QString archive = dir.filePath("archive.txt");
        QVERIFY(finish(events.downloadNewEvents(archive, 2)).ok());
        unit.setLogGeneration(1); // cleared and refilled elsewhere
        unit.addEventPages(1);
        const auto refused = finish(events.downloadNewEvents(archive, std::nullopt));
        QCOMPARE(refused.status, Status::Failed);
        QVERIFY(refused.download.mismatch && !refused.why.isEmpty());
        unit.addEventPages(20);
        session::Run *run = events.downloadNewEvents(archive, std::nullopt, true);
        QVERIFY(run->running());
        run->stop();
        QCOMPARE(finish(run).status, Status::Stopped);
    }

    // The last pages into a file: the run's result names the file, which holds every
    // line that came.
    void pagesDownloadedIntoAFileNameIt()
    {
        QTemporaryDir dir;
        sim::SimUnit unit;
        unit.setBannerInterval(0);
        session::UnitSession pages({std::make_unique<sim::SimLink>(unit), {}});
        QVERIFY(Probe::channel(pages).open(sim::SimLink::Demo_Path()));
        session::SessionTiming t;
        t.eventScale = 0.01;
        pages.setTiming(t);
        const QString file = dir.filePath("last.txt");
        session::Run *run = pages.downloadPages(2, file);
        QSignalSpy ended(run, &session::Run::finished);
        QVERIFY(ended.wait(10000));
        const auto result = ended.first().first().value<session::RunResult>();
        QVERIFY2(result.ok(), qPrintable(result.why));
        QCOMPARE(result.file, file);
        QCOMPARE(result.lines, 8);
        QCOMPARE(test::readFile(file).count("\"\r\n"), 8);
    }
};

QTEST_GUILESS_MAIN(TestSessionEvents)
#include "test_session_events.moc"
