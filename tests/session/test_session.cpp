// The unit session without a port: a fake link feeds it bytes and keeps what it
// writes, a fake clock ends its pauses. Replies reach the configuration, failures
// are told once, stores are paced frame by frame, the event log is filed.
#include "eventlog/event_archive.h"
#include "session/archive_download.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "session/event_filing.h"
#include "session/read_job.h"
#include "session/receive_path.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "session/watchdog.h"
#include "sim_link.h"
#include "sim_unit.h"
#include "support/bytes.h"
#include "support/fake_link.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using config::Part;
using session::Notice;
using session::StoreOutcome;
using test::FakeClock;
using test::FakeLink;

Q_DECLARE_METATYPE(session::StoreOutcome)

namespace {
QByteArray reply(char code, const QByteArray &data)
{
    return "D" + QByteArray(1, code) + data.leftJustified(36, ' ') + "\n\r";
}
QByteArray passReply(int index, const QByteArray &name)
{
    QByteArray r(1, char(index));
    r += name.leftJustified(16, ' ') + " 0A" + char(3) + "0E" + char(60) + char(0x80) + char(1) + char(5) +
         char(15) + char(0) + char(2);
    return reply('!', r);
}
QByteArray page(char kind, std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray p(32, '\0');
    for (auto [i, v] : bytes)
        p[i] = char(v);
    return reply('$', QByteArray(1, kind) + p);
}
const QByteArray BadPass = passReply(72, "no row");
} // namespace

class TestSession : public QObject
{
    Q_OBJECT
    QStringList log;
    config::Configuration config;
    std::unique_ptr<test::FakeSession> fake;
    session::UnitSession *s = nullptr;
    FakeLink *link = nullptr;
    FakeClock *clock = nullptr;
    QList<QString> notices;

    config::StorePlan plan(std::initializer_list<int> pauses)
    {
        config::StorePlan p;
        for (int ms : pauses)
            p.frames.push_back({"D" + QByteArray::number(ms), ms, {}});
        return p;
    }

private slots:
    void init()
    {
        log.clear();
        notices.clear();
        config = config::Configuration();
        fake = std::make_unique<test::FakeSession>(log);
        s = fake->session.get();
        link = fake->link;
        clock = fake->store;
        s->setConfiguration(&config);
        connect(s, &session::UnitSession::notice, this, [this](Notice what, const QString &detail) {
            notices << (what == Notice::CommError ? "comm: " : "terminator: ") + detail;
        });
        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
    }

    void repliesReachTheConfiguration()
    {
        QSignalSpy rows(config.notifier(), &config::ConfigurationNotifier::changed);
        QSignalSpy complete(&s->image(), &session::UnitImage::readComplete);
        QVERIFY(s->read(Part::Passes));
        QCOMPARE(link->written, QList<QByteArray>{QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8)});
        link->receive(passReply(253, "Night Porter")); // the unit reports pass 13 as 253
        QCOMPARE(config.passRow(14)[passes::ColUserName], "Night Porter    ");
        QCOMPARE(config.passRow(14)[passes::ColOptionModeName], "Off  ");
        QCOMPARE(rows.takeFirst().first().value<config::Change>().index, 14); // the views are told the row
        QCOMPARE(s->image().arrived(Part::Passes), 1);
        QByteArray rest;
        for (int i = 0; i < 72; ++i)
            rest += passReply(i, "P" + QByteArray::number(i));
        link->receive(rest.left(1000)); // split anywhere
        link->receive(rest.mid(1000));
        QCOMPARE(complete.size(), 1);
        QCOMPARE(config.passRow(72)[passes::ColUserName], "P71             ");

        link->receive(page('0', {{2, 120}}) +
                      page('3', {{3, 1}, {2, 45}, {16, 1}, {22, 2}, {21, 3}, {17, 4}, {18, 5}, {19, 6}}));
        QCOMPARE(config.limit(config::Limit::Maximum, 2) + config.param(2), "12045");
        QVERIFY(config.ticked(3));
        QCOMPARE(config.priorityCaption(6), "No Pass Data Priority");
        QCOMPARE(s->image().missing(Part::Settings), (QStringList{"minima", "defaults"}));
        link->receive(reply('-', "07Boiler Room") + reply('-', "50Nowhere") +
                      reply('/', QByteArray("\x01\x02\x03", 3)));
        QCOMPARE(config.alias(7), "Boiler Room     ");
        QCOMPARE(s->receive().lastPointer(), 290);
        QVERIFY(notices.isEmpty());
    }

    // The image takes a part once it is whole; a read back reaches the image only.
    void theUnitImageIsWhatTheUnitLastSent()
    {
        const session::UnitImage &image = s->image();
        QSignalSpy changed(&image, &session::UnitImage::changed);
        QByteArray table;
        for (int i = 0; i < 72; ++i)
            table += passReply(i, "P" + QByteArray::number(i));
        s->read(Part::Passes);
        link->receive(table.left(71 * 40));
        QVERIFY(!image.read(Part::Passes) && changed.isEmpty());
        link->receive(table.mid(71 * 40));
        QVERIFY(image.read(Part::Passes));
        QCOMPARE(image.unit().passRow(72)[passes::ColUserName], "P71             ");

        auto row = config.passRow(3);
        row[passes::ColUserName] = "Edited";
        config.setPassRow(3, row);
        s->close();
        QVERIFY(!s->readBack(Part::Passes)); // nothing went out: nothing is read back
        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
        QVERIFY(s->readBack(Part::Passes));
        table.replace("P2  ", "Q2  ");
        link->receive(table);
        QCOMPARE(config.passRow(3)[passes::ColUserName], "Edited"); // the operator's edit stays
        QCOMPARE(image.unit().passRow(3)[passes::ColUserName], "Q2              ");
        link->receive(passReply(5, "After")); // a later plain reply reaches the window again
        QCOMPARE(config.passRow(6)[passes::ColUserName], "After           ");

        // The values page as the unit sent it, whatever the boxes make of it.
        config.clickSwitch(20, true);
        link->receive(page('3', {{20, 2}}));
        QCOMPARE(config.param(20) + image.unit().param(20), "02");
        QVERIFY(image.read(Part::Settings) && !image.read(Part::Locations));
    }

    // The unit never answers a store: each is read back, and only what the unit lacks
    // goes again, paced, at most twice more; what it still lacks is named.
    void aStoreIsReadBackAndWhatIsLackingGoesAgain()
    {
        session::StoreJob &job = s->stores();
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
        QCOMPARE(config.alias(4), "Gate West       ");

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
        session::StoreJob &job = s->stores();
        QSignalSpy finished(&job, &session::StoreJob::finished), started(&job, &session::StoreJob::started);
        job.setReadBackTimeoutMs(4000);
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
        session::ReadJob &reads = s->reads();
        QSignalSpy finished(&reads, &session::ReadJob::finished),
            started(&reads, &session::ReadJob::readStarted);
        FakeClock &timeout = *fake->read;
        reads.setTimeoutMs(3000);
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

    void receiveFailuresAreToldOnceUntilAnEventCompletes()
    {
        link->receive(BadPass);
        QCOMPARE(notices, QStringList{"comm: pass record for pass 72, which has no row"});
        QVERIFY(s->receive().errorLatch());
        link->receive(BadPass);   // a second failure in a row says nothing
        link->receive(" fine\r"); // an event that completes clears the latch
        QVERIFY(!s->receive().errorLatch());
        link->receive(BadPass);
        // A wrong terminator has its own notice; an unknown code is dropped silently;
        // a values page the priority list cannot show is a failure.
        link->receive(reply('$', "3").left(38) + "\r\r");
        link->receive(reply('?', "x"));
        link->receive(page('3', {{16, 9}}));
        QCOMPARE(notices.size(), 4);
        QCOMPARE(notices.at(2), "terminator: ");
        QCOMPARE(config.param(16), "9"); // written all the same
        link->receive(" fine\r");
        link->receive(QByteArray(400, 'x')); // a line that never ends
        QCOMPARE(notices.last(), "comm: a text line ran past the receive buffer");
    }

    // While a notice is shown, bytes that arrive wait: the event that failed drops the
    // rest of its own bytes, and the later ones are taken when the notice is answered.
    void aNoticeLetsNoSecondReceiveEventIn()
    {
        QList<QByteArray> lines;
        connect(&s->receive(), &session::ReceivePath::eventLine, this,
                [&](const QByteArray &l) { lines << l; });
        int depth = 0, deepest = 0;
        connect(s, &session::UnitSession::notice, this, [&] {
            deepest = std::max(deepest, ++depth);
            link->receive("second\r");
            --depth;
        });
        link->receive(BadPass + "first\r");
        QCOMPARE(deepest, 1);
        QCOMPARE(lines, QList<QByteArray>{" second\r"});
    }

    void theWatchdogFollowsTextLines()
    {
        session::Watchdog &dog = s->watchdog();
        QSignalSpy shown(&dog, &session::Watchdog::connectedShownChanged);
        link->receive("Halvo Base Unit V2.04\r");
        QCOMPARE(s->receive().unitId(), "Halvo Base U"); // the first line: no leading blank
        QVERIFY(dog.connectedShown());
        for (int t = 0; t < 20; ++t)
            dog.TimerDisconnect_Timer();
        link->receive("Page 1 Alarm\r"); // an event line at tick 20 keeps CONNECTED
        for (int t = 0; t < 20; ++t)
            dog.TimerDisconnect_Timer();
        QVERIFY(dog.connectedShown());
        dog.TimerDisconnect_Timer();
        QVERIFY(!dog.connectedShown());
        QCOMPARE(shown.size(), 2);
    }

    // Each pause starts only when its frame has left the port, however late.
    void aStorePausesAfterEachFrameHasGoneOut()
    {
        session::StoreJob &job = s->stores();
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
        session::StoreJob &job = s->stores();
        QSignalSpy finished(&job, &session::StoreJob::finished);
        job.setPauseScale(0.5);
        QVERIFY(job.start(plan({200, 200, 200})));
        QCOMPARE(log.last(), "pause 105");
        link->pull();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::LinkLost);
        QVERIFY(!clock->waiting() && link->written.size() == 1);
        QTRY_COMPARE(notices, QStringList{"comm: the device went away"}); // told once, from the event loop
        QVERIFY(!s->clearEventLog()); // a sender failing on the broken link says nothing more
        QCOMPARE(notices.size(), 1);

        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
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
        s->read(Part::Passes);
        link->receive(table);
        for (int r = 1; r <= 72; ++r)
            config.setPassRow(r, s->image().unit().passRow(r));
        auto row = config.passRow(2);
        row[passes::ColUserName] = "Changed         ";
        config.setPassRow(2, row);
        link->written.clear();
        QVERIFY(s->stores().store(Part::Passes, config, 32));
        QCOMPARE(s->stores().passCount(), 32);
        for (int f = 0; f < 32; ++f)
            clock->fire();
        QCOMPARE(link->written.size(), 33);
        QCOMPARE(quint8(link->written.at(31).at(4)), 31);
        QCOMPARE(link->written.last(), QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8));
        QCOMPARE(s->stores().passCount(), 32); // until the check ends
        link->receive(
            table.replace("P1              ", "Changed         ").left(32 * 40)); // the 32 rows sent suffice
        QVERIFY(!s->stores().running() && s->stores().checked());
        QCOMPARE(s->stores().passCount(), 72);
        link->receive(table.mid(32 * 40));
        QCOMPARE(s->image().unit().passRow(2)[passes::ColUserName], "Changed         ");
    }

    // Told once per opening: after a reconnect the link is whole again, and a second
    // unplug is told again.
    void aSecondUnplugAfterAReconnectIsToldAgain()
    {
        link->pull();
        QTRY_COMPARE(notices.size(), 1);
        QVERIFY(s->linkLost());
        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
        QVERIFY(!s->linkLost());
        link->pull();
        QTRY_COMPARE(notices.size(), 2);
    }

    void requestsAskFirstWhileThePortIsClosed()
    {
        s->close();
        int asked = 0;
        bool answer = false;
        s->setPortCheck([&] {
            ++asked;
            if (answer)
                s->open("/dev/fake");
            return answer;
        });
        QVERIFY(!s->read(Part::Settings));
        QVERIFY(!s->clearEventLog());
        QVERIFY(link->written.isEmpty() && notices.isEmpty());
        answer = true;
        QVERIFY(s->read(Part::Settings));
        QCOMPARE(asked, 3);
        QCOMPARE(link->written.last(), QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8));
        link->refuseWrites = true;
        QVERIFY(!s->clearEventLog());
        QCOMPARE(notices, QStringList{"comm: the port refused the frame"});
        s->watchdog().showConnected(false);
        link->receive(BadPass); // the clock stays quiet while the receive path's message stands
        QVERIFY(!s->setClock(QDateTime::currentDateTime()));
        QCOMPARE(notices.size(), 2);
    }

    // "Read Last # of Pages": the pointer, the plan with the unit's pointer, chunks of
    // at most 100 each after four quiet ticks, then complete once the unit has been
    // quiet as long again. Progress counts pages asked and lines come.
    void theEventDownloadPacesItsChunksAndKnowsWhenItIsComplete()
    {
        session::EventDownload &d = s->events();
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
        QCOMPARE(session::Download_Line(d.progress()), "Page 0 of 250");
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
                    .match(session::Download_Line(d.progress()))
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
        session::EventDownload &d = s->events();
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
        session::EventDownload &d = s->events();
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
        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
        s->setPortCheck([] { return false; });
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
        session::ArchiveDownload &a = s->archive();
        QList<QVariantList> ended; // each archive download's end: all appended, entries, why
        connect(s, &session::UnitSession::downloadEnded, this, [&](const session::DownloadEnd &e) {
            QVERIFY(e.archive);
            ended << QVariantList{e.appendedAll, e.appended, e.why};
        });
        QSignalSpy notes(&a, &session::ArchiveDownload::note);
        FakeClock &ticks = *fake->events;
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

    // New events on a schedule: into the archive once a period; one that falls due
    // while a store runs waits for it; a failure is told each time, and whether it is
    // the first of a row, so that only that one becomes a message.
    void newEventsAreCollectedOnTheirSchedule()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("collected.txt");
        session::EventCollection &c = s->collection();
        QDateTime now(QDate(2026, 12, 8), QTime(10, 0));
        c.setNow([&] { return now; });
        QSignalSpy collected(&c, &session::EventCollection::collected),
            failed(&c, &session::EventCollection::failed);
        FakeClock &period = *fake->collect, &ticks = *fake->events;
        c.start(archive, 15, 2);
        QCOMPARE(log.last(), "pause 900000");
        QCOMPARE(c.nextAt(), now.addSecs(15 * 60));

        QVERIFY(s->stores().start(plan({200}), session::StoreJob::Check::None));
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
        session::UnitSession day({std::make_unique<sim::SimLink>(unit),
                                  [&](const char *job) -> std::unique_ptr<session::PaceClock> {
                                      if (QByteArray(job) != "collect")
                                          return std::make_unique<session::TimerPaceClock>();
                                      auto c = std::make_unique<test::FakeClock>(ignored);
                                      period = c.get();
                                      return c;
                                  }});
        QCOMPARE(day.open(sim::SimLink::Demo_Path()), session::OpenResult::Opened);
        day.events().setPauseScale(0.01);
        QSignalSpy collected(&day.collection(), &session::EventCollection::collected),
            failed(&day.collection(), &session::EventCollection::failed);
        day.collection().start(archive, 15, 3);
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

    void eventLinesAreFiledFromTheMomentTheFileIsChosen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        session::EventFiling &filing = s->filing();
        QSignalSpy failed(&filing, &session::EventFiling::failed);
        link->receive(" before\r");
        filing.hold();
        link->receive(" while choosing\r");
        QVERIFY(filing.start(path));
        link->receive(" after\r" + QByteArray(80, 'x') + "\r");
        QCOMPARE(test::readFile(path),
                 "\"  while choosing\r\"\r\n\"  after\r\"\r\n\" " + QByteArray(62, 'x') + "\"\r\n");
        // Lines held while a file is chosen do not outlive a stop of filing.
        filing.hold();
        link->receive(" held\r");
        filing.stop();
        QVERIFY(filing.start(dir.filePath("next.txt")));
        link->receive(" next\r");
        QCOMPARE(test::readFile(dir.filePath("next.txt")), "\"  next\r\"\r\n");
        QVERIFY(filing.start("/dev/full"));
        link->receive(" one\r two\r");
        QCOMPARE(failed.size(), 1); // told once, not once per line
        QVERIFY(!filing.filing());
        QVERIFY(!filing.start(dir.filePath("no/such/folder.txt")));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
