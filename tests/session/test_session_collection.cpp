// Collecting new events on a schedule: the session's collection against a fake
// clock and the simulated unit, what it keeps for the unit, and a day of it.
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

// The simulated unit's link, the collection's period on a fake clock (period), every
// other job's clock a real one.
session::SessionSeams collectedBy(sim::SimUnit &unit, QStringList &log, test::FakeClock *&period)
{
    return {std::make_unique<sim::SimLink>(unit),
            [&log, &period](const char *job) -> std::unique_ptr<session::PaceClock> {
                if (QByteArray(job) != "collect")
                    return std::make_unique<session::TimerPaceClock>();
                auto c = std::make_unique<test::FakeClock>(log);
                period = c.get();
                return c;
            }};
}

class TestSessionCollection : public SessionTest
{
    Q_OBJECT

private slots:
    // New events on a schedule: into the archive once a period; one that falls due
    // while a store runs waits for it; a failure is told each time, and whether it is
    // the first of a row, so that only that one becomes a message.
    void newEventsAreCollectedOnTheirSchedule()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("collected.txt");
        session::EventCollection &c = Probe::collection(*s);
        QDateTime now(QDate(2026, 12, 8), QTime(10, 0));
        c.setNow([&] { return now; });
        QSignalSpy collected(&c, &session::EventCollection::collected),
            failed(&c, &session::EventCollection::failed);
        FakeClock &period = *fake->collect, &ticks = *fake->archive;
        c.setFirstPages([] { return 2; });
        c.start(archive, 15);
        QCOMPARE(log.last(), "pause 900000");
        QCOMPARE(c.nextAt(), now.addSecs(15 * 60));

        QVERIFY(s->store(plan({200}), false)->running());
        now = now.addSecs(15 * 60);
        period.fire(); // due while the store runs: it waits, nothing is asked
        QCOMPARE(log.last(), "pause 1000");
        QCOMPARE(link->written.size(), 1);
        clock->fire(); // the store ends
        period.fire();
        ticks.fire(); // a first download: the pointer, then the last 2 pages
        link->receive(reply('/', test::bytes({0, 0, 11}))); // page 11: the tool shows 10
        for (int t = 0; t < 5; ++t)
            ticks.fire();
        QCOMPARE(link->written.last(), QByteArray("\x44\x29\x00\x07\x00\x00\x08\x02\x7E\x0A\x0D", 11));
        for (int e = 0; e < 8; ++e)
            link->receive(" Page " + QByteArray::number(8 + e / 4) + " Ev " + QByteArray::number(e % 4) +
                          "\r");
        for (int t = 0; t < 4; ++t)
            ticks.fire();
        QCOMPARE(collected.takeFirst().first().toString(), "8 new lines at 10:15");
        QCOMPARE(log.last(), "pause 900000");
        QCOMPARE(test::readFile(archive).count("\r\n"), 8);

        // Nothing new: said with the time of the last lines.
        now = now.addSecs(15 * 60);
        period.fire();
        link->receive(reply('/', test::bytes({0, 0, 11})));
        ticks.fire();
        QString why;
        const QDateTime saved = eventlog::Read_Record(archive, &why)->savedAt; // when the lines went in
        QCOMPARE(collected.takeFirst().first().toString(), "No new events since " + saved.toString("HH:mm"));

        // A damaged record: told each period, the first of a row marked so; a success
        // starts the count again.
        const QByteArray record = test::readFile(eventlog::Record_Path(archive));
        QFile damaged(eventlog::Record_Path(archive));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("damaged\n") > 0);
        damaged.close();
        period.fire();
        period.fire();
        QCOMPARE(failed.size(), 2);
        QCOMPARE(failed.at(0).at(1).toBool(), true);
        QCOMPARE(failed.at(1).at(1).toBool(), false);
        QVERIFY(failed.at(0).first().toString().contains("is damaged"));
        // Mended, then damaged again: the first of a new row.
        QVERIFY(eventlog::Write_Record(archive, *eventlog::Parse_Record(record)));
        period.fire();
        link->receive(reply('/', test::bytes({0, 0, 11})));
        ticks.fire();
        QCOMPARE(collected.size(), 1);
        s->close(); // the port closed: a failure too, and the period goes on
        period.fire();
        QCOMPARE(failed.last(), (QVariantList{"the port is closed", true}));
        QVERIFY(period.waiting());
        c.stop();
        QVERIFY(!period.waiting() && !c.active() && !c.nextAt().isValid());
    }

    // A collection turned off before the unit has said which it is stays off once it
    // has: nothing is kept as on for the unit.
    void aCollectionTurnedOffBeforeTheBannerStaysOff()
    {
        QStandardPaths::setTestModeEnabled(true); // the settings stay the test's own
        QSettings().clear();
        sim::SimUnit unit;
        unit.setBannerInterval(0);
        session::UnitSession quiet({std::make_unique<sim::SimLink>(unit), {}});
        QVERIFY(Probe::channel(quiet).open(sim::SimLink::Demo_Path()));
        Probe::collection(quiet).choose(false, 20);
        QSignalSpy identified(&quiet, &session::UnitSession::identified);
        unit.sendBanner();
        QVERIFY(identified.wait(5000));
        QVERIFY(!Probe::collection(quiet).active());
        QVERIFY(!session::UnitMemory(quiet).collects());
        QVERIFY(session::UnitMemory(quiet).archive().isEmpty());
    }

    // The default archive (the records' file of the month) takes over from one in its
    // own folder, an earlier month's; an archive chosen elsewhere stays the operator's.
    void aCollectionFollowsTheDefaultArchive()
    {
        QTemporaryDir dir;
        sim::SimUnit unit;
        unit.setBannerInterval(0);
        QStringList ignored;
        test::FakeClock *period = nullptr;
        session::UnitSession month(collectedBy(unit, ignored, period));
        const QString december = dir.filePath("2026-12.txt"), november = dir.filePath("2026-11.txt");
        const QString elsewhere = dir.filePath("kept/events.txt");
        QString placed = december;
        month.setArchivePlace([&] { return placed; });
        QCOMPARE(month.archiveFor({}), december);
        QCOMPARE(month.archiveFor(november), december);
        QCOMPARE(month.archiveFor(elsewhere), elsewhere);
        QVERIFY(Probe::channel(month).open(sim::SimLink::Demo_Path()));
        Probe::archive(month).download().setPauseScale(0.01);
        QSignalSpy collected(&Probe::collection(month), &session::EventCollection::collected);
        Probe::collection(month).setFirstPages([] { return 1; });
        Probe::collection(month).start(november, 15);
        period->fire();
        QVERIFY(collected.wait(5000));
        QVERIFY(QFile::exists(december));
        QVERIFY(!QFile::exists(november));
        placed.clear(); // no default any more: the archive in use stays
        unit.addEventPages(1);
        period->fire();
        QVERIFY(collected.wait(5000));
        QCOMPARE(test::readFile(december).count('\n'), 8);
    }

    // A day of collections every 15 minutes against the simulated unit, which logs 0 to
    // 4 pages between them: every page asked for once (the last of each read again),
    // every line in the archive once, none missing.
    void aDayOfCollectionsMissesNothingAndRepeatsNothing()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("day.txt");
        sim::SimUnit unit;
        unit.setBannerInterval(0);
        QStringList ignored;
        test::FakeClock *period = nullptr;
        session::UnitSession day(collectedBy(unit, ignored, period));
        QVERIFY(Probe::channel(day).open(sim::SimLink::Demo_Path()));
        Probe::archive(day).download().setPauseScale(0.01);
        QSignalSpy collected(&Probe::collection(day), &session::EventCollection::collected),
            failed(&Probe::collection(day), &session::EventCollection::failed);
        Probe::collection(day).setFirstPages([] { return 3; });
        Probe::collection(day).start(archive, 15);
        int logged = 3, pagesAsked = 0;
        for (int n = 0; n < 96; ++n) {
            const int pages = n % 5;
            unit.addEventPages(pages);
            logged += pages;
            unit.clearRecord();
            period->fire();
            QVERIFY(collected.wait(5000));
            for (const QString &frame : unit.receivedFrames())
                if (frame.startsWith("44 29"))
                    pagesAsked += frame.mid(21, 2).toInt(nullptr, 16);
        }
        QVERIFY(failed.isEmpty());
        const QStringList lines =
            QString::fromLatin1(test::readFile(archive)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), logged * 4); // the 3 pages of the first collection, then all that came
        QCOMPARE(QStringList(lines).removeDuplicates(), 0);
        QCOMPARE(lines.first().left(17), QStringLiteral("\" Page 00496 Ev 1"));
        QCOMPARE(lines.last().left(17),
                 QStringLiteral("\" Page %1 Ev 4").arg(496 + logged - 1, 5, 10, QChar('0')));
        qInfo("a day: %d collections, %d pages logged, %d pages asked for, %lld lines appended", 96, logged,
              pagesAsked, static_cast<long long>(lines.size()));
    }
};

QTEST_GUILESS_MAIN(TestSessionCollection)
#include "test_session_collection.moc"
