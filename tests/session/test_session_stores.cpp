// The session's stores and reads on a fake link and clock: stores paced frame by
// frame, read back and sent again until the unit holds them; reads that become
// records read until two agree.
#include "session/read_job.h"
#include "session/run.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "support/bytes.h"
#include "support/session_fixture.h"
#include "support/session_probe.h"

#include <QDir>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using namespace halvo::test;
using config::Part;
using session::Notice;
using session::StoreOutcome;

class TestSessionStores : public SessionTest
{
    Q_OBJECT

private slots:
    // A run is told to watchers before its work; a second store asked while one runs
    // is refused, told once the command has returned, and never begins; a run
    // stopped midway sends nothing more, ends Stopped, and is gone after its end.
    void runsAreRefusedWhileTheirKindRunsAndStopWhereTheyAreStopped()
    {
        QSignalSpy begun(s, &session::UnitSession::runStarted);
        session::Run *run = s->store(plan({200, 200, 200}), false);
        QVERIFY(run->running());
        QCOMPARE(run->kind(), session::Run::Kind::Store);
        QCOMPARE(begun.size(), 1);
        QSignalSpy ended(run, &session::Run::finished), moved(run, &session::Run::progressed);
        QCOMPARE(link->written.size(), 1);
        clock->fire();
        QCOMPARE(link->written.size(), 2);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(run->done(), 1);
        QCOMPARE(run->total(), 3);

        session::Run *second = s->store(plan({200}), false);
        QVERIFY(!second->running());
        QCOMPARE(second->result().status, session::RunResult::Status::Refused);
        QVERIFY(!second->result().why.isEmpty());
        QSignalSpy secondEnded(second, &session::Run::finished);
        QVERIFY(secondEnded.wait(1000)); // told to whoever connected after it was returned
        QCOMPARE(begun.size(), 1);
        QCOMPARE(link->written.size(), 2);

        QPointer<session::Run> stopped(run);
        run->stop();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<session::RunResult>().status,
                 session::RunResult::Status::Stopped);
        clock->fire();
        QCOMPARE(link->written.size(), 2);
        QTRY_VERIFY(!stopped);

        // Once it has ended, the next one begins.
        session::Run *next = s->store(plan({200}), false);
        QVERIFY(next->running());
        QCOMPARE(begun.size(), 2);
        QSignalSpy nextEnded(next, &session::Run::finished);
        clock->fire();
        QCOMPARE(nextEnded.size(), 1);
        const auto done = nextEnded.first().first().value<session::RunResult>();
        QVERIFY(done.ok());
        QVERIFY(!done.checked); // unchecked, and it says so
    }

    // A read's run says which part it reads, and how much of it has come; silence
    // ends it Failed, never Done.
    void aReadRunSaysWhichPartItReads()
    {
        session::Run *run = s->read({Part::Locations, Part::Settings});
        QVERIFY(run->running());
        QCOMPARE(run->kind(), session::Run::Kind::Read);
        QCOMPARE(run->part(), Part::Locations);
        QCOMPARE(run->stage(), session::Run::Stage::Reading);
        QCOMPARE(run->total(), 50);
        QSignalSpy ended(run, &session::Run::finished);
        fake->read->fire(); // the unit stays silent
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<session::RunResult>().status,
                 session::RunResult::Status::Failed);
    }

    // A run asked on a closed port never begins, and says why.
    void aRunOnAClosedPortIsRefused()
    {
        s->close();
        QSignalSpy begun(s, &session::UnitSession::runStarted);
        for (session::Run *run : {s->store(plan({200}), false), s->read({Part::Passes}), s->downloadPages(2),
                                  s->setClock(QDateTime::currentDateTime()), s->clearLog()}) {
            QVERIFY(!run->running());
            QCOMPARE(run->result().status, session::RunResult::Status::Refused);
            QVERIFY(run->result().why.contains("closed"));
        }
        QVERIFY(begun.isEmpty());
        QVERIFY(link->written.isEmpty());
    }

    // The unit never answers a store: each is read back, and only what the unit lacks
    // goes again, paced, at most twice more; what it still lacks is named.
    void aStoreIsReadBackAndWhatIsLackingGoesAgain()
    {
        session::StoreJob &job = Probe::stores(*s);
        QSignalSpy finished(&job, &session::StoreJob::finished);
        const session::UnitImage &image = s->image();
        auto names = [](const QByteArray &slot4) {
            QByteArray out;
            for (int slot = 0; slot < 50; ++slot)
                out += reply('-', QByteArray::number(slot).rightJustified(2, '0') +
                                      (slot == 0   ? QByteArray("Gate")
                                       : slot == 4 ? slot4
                                                   : QByteArray("Zone")));
            return out;
        };
        const QByteArray readLocations("\x44\x2D\x00\x04\x00\x75\x0A\x0D", 8);
        config.setAlias(0, "Gate");
        for (int slot = 1; slot < 50; ++slot)
            config.setAlias(slot, "Zone");
        config.setAlias(4, "Gate West");
        QVERIFY(job.store(Part::Locations, config));
        for (int f = 0; f < 50; ++f)
            clock->fire();
        QCOMPARE(link->written.size(), 51); // the 50 frames, then the read back of the part
        QCOMPARE(link->written.last(), readLocations);
        QVERIFY(job.running() && job.checking() && !image.read(Part::Locations));
        link->receive(names("Old")); // slot 4 still holds its old name
        QCOMPARE(link->written.size(), 52);
        QCOMPARE(link->written.last(), link->written.at(4)); // only slot 4's frame goes again
        QCOMPARE(log.last(), "pause 310");
        clock->fire();
        QCOMPARE(link->written.last(), readLocations);
        link->receive(names("Gate West"));
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Done);
        QVERIFY(job.checked() && !job.running());
        QCOMPARE(image.unit().alias(4), "Gate West       "); // what was read back, never what was sent
        QCOMPARE(config.alias(4), "Gate West");              // a store changes no configuration

        // A unit that never takes it: sent three times in all, then named.
        QVERIFY(job.store(Part::Locations, config));
        for (int round = 0; round < 3; ++round) {
            while (clock->waiting() && link->written.last() != readLocations)
                clock->fire();
            link->receive(names("Old"));
        }
        QCOMPARE(link->written.count(link->written.at(4)), 2 + 3);
        QCOMPARE(finished.takeFirst(),
                 (QVariantList{QVariant::fromValue(StoreOutcome::NotTaken),
                               "The unit did not take: location 5 name \"Gate West\" (sent 3 times)."}));
        QCOMPARE(image.unit().alias(4), "Old             ");
        QVERIFY(notices.isEmpty()); // the window tells the operator; the session only ends the store
    }

    // The settings frame alone: no progress, a settle before the read back; a unit that
    // stays silent is waited for, then the store ends without a word of success.
    void aStoreReadBackThatIsNotAnsweredEndsIt()
    {
        session::StoreJob &job = Probe::stores(*s);
        QSignalSpy finished(&job, &session::StoreJob::finished), started(&job, &session::StoreJob::started);
        session::SessionTiming timing; // the front ends give the read back's time through the session
        timing.readBackMs = 4000;
        s->setTiming(timing);
        config.typeParam(3, "7");
        QVERIFY(job.store(Part::Settings, config));
        QCOMPARE(link->written.size(), 1);
        QCOMPARE(link->written.first().size(), 39);
        clock->fire(); // the frame's own pause: none
        QCOMPARE(log.mid(log.size() - 2), (QStringList{"pause 0", "pause 300"}));
        clock->fire();
        QCOMPARE(link->written.last(), QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8));
        QCOMPARE(log.last(), "pause 4000");
        link->receive(page('0', {})); // a limits page is not what a settings store is checked by
        QVERIFY(job.checking());
        clock->fire();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::NoAnswer);
        QVERIFY(started.isEmpty() && !job.checked() && !job.running());

        // Read back and found: the values page is the proof.
        QVERIFY(job.store(Part::Settings, config));
        clock->fire();
        clock->fire();
        QByteArray values(32, '\0');
        for (int i = 0; i < 32; ++i)
            values[i] = char(config.param(i).toInt());
        link->receive(reply('$', "3" + values));
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Done);
        QVERIFY(job.checked());
        // Unchecked, on purpose: sent, and said to be no more than that.
        QVERIFY(job.start(*config::Items_Store_Plan(config, {{Part::Settings, 0}}),
                          session::StoreJob::Check::None));
        clock->fire();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Done);
        QVERIFY(!job.checked());
        // The link breaks while the unit is read back: the store ends lost.
        QVERIFY(job.store(Part::Settings, config));
        clock->fire();
        clock->fire();
        link->pull();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::LinkLost);
    }

    // What becomes a record is read until two reads in a row agree, four at most; a
    // reply refused ends the read at once, its timeout with it; a silent unit is
    // waited for, then what is missing is named.
    void aRecordIsReadUntilTwoReadsAgree()
    {
        session::ReadJob &reads = Probe::reads(*s);
        QSignalSpy finished(&reads, &session::ReadJob::finished),
            started(&reads, &session::ReadJob::readStarted);
        FakeClock &timeout = *fake->read;
        session::SessionTiming timing; // the front ends give the read's time through the session
        timing.readMs = 3000;
        s->setTiming(timing);
        auto names = [](const QByteArray &slot4) {
            QByteArray out;
            for (int slot = 0; slot < 50; ++slot)
                out += reply('-',
                             QByteArray::number(slot).rightJustified(2, '0') + (slot == 4 ? slot4 : "Zone"));
            return out;
        };
        const QByteArray readNames("\x44\x2D\x00\x04\x00\x75\x0A\x0D", 8);
        QVERIFY(reads.start({Part::Locations}));
        QCOMPARE(log.last(), "pause 3000");
        link->receive(names("Gate"));
        link->receive(names("Gbte")); // one bit changed on its way
        link->receive(names("Gbte"));
        QCOMPARE(finished.takeFirst(), (QVariantList{true, QString()}));
        QCOMPARE(started.size(), 3);
        QCOMPARE(link->written.count(readNames), 3);
        QCOMPARE(config.alias(4), "Gbte            ");

        QVERIFY(reads.start({Part::Locations}));
        for (const char *n : {"Gate", "Gbte", "Gate", "Gbte"})
            link->receive(names(n));
        QCOMPARE(
            finished.takeFirst(),
            (QVariantList{false, "the unit's location names read differently each of 4 times (changed "
                                 "between reads: location 0x05): its replies are being damaged on the way"}));

        QVERIFY(reads.start({Part::Passes}));
        link->receive(BadPass);
        QCOMPARE(
            finished.takeFirst(),
            (QVariantList{false, "Communications Error Please correct and retry: pass record for pass 72, "
                                 "which has no row"}));
        QVERIFY(!timeout.waiting() && !reads.running());

        QVERIFY(reads.start({Part::Settings}));
        link->receive(page('0', {}));
        timeout.fire();
        QCOMPARE(finished.takeFirst(),
                 (QVariantList{false, "1 of 4 settings pages arrived; missing: minima, defaults, values"}));
        QVERIFY(finished.isEmpty());
    }

    // Each pause starts only when its frame has left the port, however late.
    void aStorePausesAfterEachFrameHasGoneOut()
    {
        session::StoreJob &job = Probe::stores(*s);
        QSignalSpy progress(&job, &session::StoreJob::progress);
        QSignalSpy finished(&job, &session::StoreJob::finished);
        link->holdBytes = true;
        QVERIFY(job.start(plan({200, 0, 300})));
        QVERIFY(!job.start(plan({200}))); // a second store would interleave: ignored
        QCOMPARE(log, QStringList{"write 0"});
        link->drain();
        clock->fire();
        link->drain();
        clock->fire();
        // Each pause is the unit's minimum and a margin for the delivery's jitter.
        QCOMPARE(log, (QStringList{"write 0", "out", "pause 210", "write 1", "out", "pause 0", "write 2"}));
        link->drain();
        QVERIFY(finished.isEmpty()); // the last frame's pause is part of the store
        clock->fire();
        QCOMPARE(progress.size(), 3);
        QCOMPARE(progress.at(2), (QVariantList{2, 3}));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<StoreOutcome>(), StoreOutcome::Done);
        QVERIFY(!job.running());
    }

    void aStoreStopsAtOnce()
    {
        session::StoreJob &job = Probe::stores(*s);
        QSignalSpy finished(&job, &session::StoreJob::finished);
        job.setPauseScale(0.5);
        QVERIFY(job.start(plan({200, 200, 200})));
        QCOMPARE(log.last(), "pause 105");
        link->pull();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::LinkLost);
        QVERIFY(!clock->waiting() && link->written.size() == 1);
        QTRY_COMPARE(notices, QStringList{"comm: the device went away"}); // told once, from the event loop
        QVERIFY(!Probe::sent(s->clearLog())); // a sender failing on the broken link says nothing more
        QCOMPARE(notices.size(), 1);

        QVERIFY(Probe::channel(*s).open("/dev/fake"));
        config::StorePlan short4 = plan({200, 200});
        short4.stopsShort = "row 3 cannot be built";
        QVERIFY(job.start(short4));
        clock->fire();
        clock->fire();
        QCOMPARE(finished.takeFirst(),
                 (QVariantList{QVariant::fromValue(StoreOutcome::Failed), "row 3 cannot be built"}));
        QCOMPARE(notices.last(), "comm: row 3 cannot be built");
        link->refuseWrites = true;
        QVERIFY(job.start(plan({200})));
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Failed);
        link->refuseWrites = false;
        QVERIFY(job.start(plan({200})));
        job.stop();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Cancelled);
        s->close();
        QVERIFY(!job.start(plan({200}))); // nothing goes out on a closed port
    }

    // A pass store covers the pass count it was given; the table's whole-table
    // operations follow it until it ends; the read back checks the rows it sent.
    void aPassStoreCoversItsCountAndTheImageFollows()
    {
        QByteArray table;
        for (int i = 0; i < 72; ++i)
            table += passReply(i, "P" + QByteArray::number(i));
        Probe::channel(*s).read(Part::Passes);
        link->receive(table);
        for (int r = 1; r <= 72; ++r)
            config.setPassRow(r, s->image().unit().passRow(r));
        auto row = config.passRow(2);
        row[passes::ColUserName] = "Changed         ";
        config.setPassRow(2, row);
        link->written.clear();
        QVERIFY(Probe::stores(*s).store(Part::Passes, config, 32));
        for (int f = 0; f < 32; ++f)
            clock->fire();
        QCOMPARE(link->written.size(), 33);
        QCOMPARE(quint8(link->written.at(31).at(4)), 31);
        QCOMPARE(link->written.last(), QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8));
        link->receive(
            table.replace("P1              ", "Changed         ").left(32 * 40)); // the 32 rows sent suffice
        QVERIFY(!Probe::stores(*s).running() && Probe::stores(*s).checked());
        link->receive(table.mid(32 * 40));
        QCOMPARE(s->image().unit().passRow(2)[passes::ColUserName], "Changed         ");
    }
};

QTEST_GUILESS_MAIN(TestSessionStores)
#include "test_session_stores.moc"
