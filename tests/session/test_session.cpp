// The unit session without a port: a fake link feeds it bytes and keeps what it
// writes, a fake clock ends its pauses. Replies reach the configuration, failures
// are told once, stores are paced frame by frame, the event log is filed.
#include "session/unit_session.h"
#include "support/bytes.h"
#include "support/fake_link.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using session::Notice;
using session::ReadPart;
using session::StoreOutcome;
using test::FakeClock;
using test::FakeLink;

Q_DECLARE_METATYPE(session::Notice)
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
    std::unique_ptr<session::UnitSession> s;
    FakeLink *link = nullptr;
    FakeClock *clock = nullptr;
    QList<QString> notices;

    config::StorePlan plan(std::initializer_list<int> pauses)
    {
        config::StorePlan p;
        for (int ms : pauses)
            p.frames.push_back({"D" + QByteArray::number(ms), ms});
        return p;
    }

private slots:
    void init()
    {
        log.clear();
        notices.clear();
        config = config::Configuration();
        s = std::make_unique<session::UnitSession>();
        auto l = std::make_unique<FakeLink>(log);
        auto c = std::make_unique<FakeClock>(log);
        link = l.get();
        clock = c.get();
        s->setLink(std::move(l));
        s->setPaceClock(std::move(c));
        s->setConfiguration(&config);
        connect(s.get(), &session::UnitSession::notice, this, [this](Notice what, const QString &detail) {
            notices << (what == Notice::CommError ? "comm: " : "terminator: ") + detail;
        });
        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
    }

    void repliesReachTheConfiguration()
    {
        QSignalSpy rows(s.get(), &session::UnitSession::passApplied);
        QSignalSpy complete(s.get(), &session::UnitSession::readComplete);
        QVERIFY(s->read(ReadPart::Passes));
        QCOMPARE(link->written, QList<QByteArray>{QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8)});
        link->receive(passReply(253, "Night Porter")); // the unit reports pass 13 as 253
        QCOMPARE(config.passRow(14)[passes::ColUserName], "Night Porter    ");
        QCOMPARE(config.passRow(14)[passes::ColOptionModeName], "Off  ");
        QCOMPARE(rows.takeFirst(), (QVariantList{14, 5}));
        QCOMPARE(s->arrived(ReadPart::Passes), 1);
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
        QCOMPARE(s->missing(ReadPart::Settings), (QStringList{"minima", "defaults"}));
        link->receive(reply('-', "07Boiler Room") + reply('-', "50Nowhere") +
                      reply('/', QByteArray("\x01\x02\x03", 3)));
        QCOMPARE(config.alias(7), "Boiler Room     ");
        QCOMPARE(s->lastPointer(), 290);
        QVERIFY(notices.isEmpty());
    }

    // The image takes a part once it is whole; a read back reaches the image only.
    void theUnitImageIsWhatTheUnitLastSent()
    {
        QSignalSpy changed(s.get(), &session::UnitSession::imageChanged);
        QByteArray table;
        for (int i = 0; i < 72; ++i)
            table += passReply(i, "P" + QByteArray::number(i));
        s->read(ReadPart::Passes);
        link->receive(table.left(71 * 40));
        QVERIFY(!s->imageRead(ReadPart::Passes) && changed.isEmpty());
        link->receive(table.mid(71 * 40));
        QVERIFY(s->imageRead(ReadPart::Passes));
        QCOMPARE(s->unitImage().passRow(72)[passes::ColUserName], "P71             ");

        auto row = config.passRow(3);
        row[passes::ColUserName] = "Edited";
        config.setPassRow(3, row);
        QVERIFY(s->readBack(ReadPart::Passes));
        table.replace("P2  ", "Q2  ");
        link->receive(table);
        QCOMPARE(config.passRow(3)[passes::ColUserName], "Edited"); // the operator's edit stays
        QCOMPARE(s->unitImage().passRow(3)[passes::ColUserName], "Q2              ");
        link->receive(passReply(5, "After")); // a later plain reply reaches the window again
        QCOMPARE(config.passRow(6)[passes::ColUserName], "After           ");

        // The values page as the unit sent it, whatever the boxes make of it.
        config.clickSwitch(20, true);
        link->receive(page('3', {{20, 2}}));
        QCOMPARE(config.param(20) + s->unitImage().param(20), "02");
        QVERIFY(s->imageRead(ReadPart::Settings) && !s->imageRead(ReadPart::Locations));
        // A store that is not read back counts for a part read before only.
        config.setAlias(0, "Gate");
        s->noteStored(ReadPart::Locations, config);
        QVERIFY(!s->imageRead(ReadPart::Locations));
        s->noteStored(ReadPart::Settings, config);
        QCOMPARE(s->unitImage().param(20), "0");
    }

    void receiveFailuresAreToldOnceUntilAnEventCompletes()
    {
        link->receive(BadPass);
        QCOMPARE(notices, QStringList{"comm: pass record for pass 72, which has no row"});
        QVERIFY(s->errorLatch());
        link->receive(BadPass);   // a second failure in a row says nothing
        link->receive(" fine\r"); // an event that completes clears the latch
        QVERIFY(!s->errorLatch());
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
        connect(s.get(), &session::UnitSession::eventLine, this, [&](const QByteArray &l) { lines << l; });
        int depth = 0, deepest = 0;
        connect(s.get(), &session::UnitSession::notice, this, [&] {
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
        QSignalSpy shown(s.get(), &session::UnitSession::connectedShownChanged);
        link->receive("Halvo Base Unit V2.04\r");
        QCOMPARE(s->unitId(), "Halvo Base U"); // the first line: no leading blank
        QVERIFY(s->connectedShown());
        for (int t = 0; t < 20; ++t)
            s->watchdogTick();
        link->receive("Page 1 Alarm\r"); // an event line at tick 20 keeps CONNECTED
        for (int t = 0; t < 20; ++t)
            s->watchdogTick();
        QVERIFY(s->connectedShown());
        s->watchdogTick();
        QVERIFY(!s->connectedShown());
        QCOMPARE(shown.size(), 2);
    }

    // Each pause starts only when its frame has left the port, however late.
    void aStorePausesAfterEachFrameHasGoneOut()
    {
        QSignalSpy progress(s.get(), &session::UnitSession::storeProgress);
        QSignalSpy finished(s.get(), &session::UnitSession::storeFinished);
        link->holdBytes = true;
        QVERIFY(s->startStore(plan({200, 0, 300})));
        QVERIFY(!s->startStore(plan({200}))); // a second store would interleave: ignored
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
        QVERIFY(!s->storing());
    }

    void aStoreStopsAtOnce()
    {
        QSignalSpy finished(s.get(), &session::UnitSession::storeFinished);
        s->setPauseScale(0.5);
        QVERIFY(s->startStore(plan({200, 200, 200})));
        QCOMPARE(log.last(), "pause 105");
        link->pull();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::LinkLost);
        QVERIFY(!clock->waiting() && link->written.size() == 1);
        QTest::qWait(1);
        QCOMPARE(notices, QStringList{"comm: the device went away"}); // told once, from the event loop
        s->reportSendFailure(); // a sender failing on the broken link says nothing more
        QCOMPARE(notices.size(), 1);

        QCOMPARE(s->open("/dev/fake"), session::OpenResult::Opened);
        config::StorePlan short4 = plan({200, 200});
        short4.stopsShort = "row 3 cannot be built";
        QVERIFY(s->startStore(short4));
        clock->fire();
        clock->fire();
        QCOMPARE(finished.takeFirst(),
                 (QVariantList{QVariant::fromValue(StoreOutcome::Failed), "row 3 cannot be built"}));
        link->refuseWrites = true;
        QVERIFY(s->startStore(plan({200})));
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Failed);
        link->refuseWrites = false;
        QVERIFY(s->startStore(plan({200})));
        s->stopStore();
        QCOMPARE(finished.takeFirst().first().value<StoreOutcome>(), StoreOutcome::Cancelled);
        s->close();
        QVERIFY(!s->startStore(plan({200}))); // nothing goes out on a closed port
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
        QVERIFY(!s->read(ReadPart::Settings));
        QVERIFY(!s->clearEventLog());
        QVERIFY(link->written.isEmpty() && notices.isEmpty());
        answer = true;
        QVERIFY(s->read(ReadPart::Settings));
        QCOMPARE(asked, 3);
        QCOMPARE(link->written.last(), QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8));
        link->refuseWrites = true;
        QVERIFY(!s->clearEventLog());
        QCOMPARE(notices, QStringList{"comm: the port refused the frame"});
        s->showConnected(false);
        link->receive(BadPass); // the clock stays quiet while the receive path's message stands
        QVERIFY(!s->setClock(QDateTime::currentDateTime()));
        QCOMPARE(notices.size(), 2);
    }

    // The paced read through the session: the pointer, then the pages before it; a
    // request that cannot go out abandons the read.
    void theEventLoggerSendsItsRequests()
    {
        s->startEventLogRead();
        QCOMPARE(s->eventLoggerTick(0, 10)->kind, eventlog::EventLogger::Action::Kind::ReadPointer);
        QCOMPARE(link->written.last(), QByteArray("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8));
        for (int t = 0; t < 5; ++t) // the plan, then four quiet ticks
            s->eventLoggerTick(50, 10);
        QCOMPARE(link->written.last(),
                 QByteArray("\x44\x29\x00\x07\x00\x02\x08\x0A\x88\x0A\x0D", 11)); // page 40, 10 pages
        s->startEventLogRead();
        s->close();
        QVERIFY(!s->eventLoggerTick(50, 10));
        QCOMPARE(s->eventLogger().state(), eventlog::EventLogger::State::Idle);
    }

    void eventLinesAreFiledFromTheMomentTheFileIsChosen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QSignalSpy failed(s.get(), &session::UnitSession::filingFailed);
        link->receive(" before\r");
        s->holdEventLines();
        link->receive(" while choosing\r");
        QVERIFY(s->startFiling(path));
        link->receive(" after\r" + QByteArray(80, 'x') + "\r");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 "\"  while choosing\r\"\r\n\"  after\r\"\r\n\" " + QByteArray(62, 'x') + "\"\r\n");
        // Lines held while a file is chosen do not outlive a stop of filing.
        s->holdEventLines();
        link->receive(" held\r");
        s->stopFiling();
        QVERIFY(s->startFiling(dir.filePath("next.txt")));
        link->receive(" next\r");
        QCOMPARE(test::readFile(dir.filePath("next.txt")), "\"  next\r\"\r\n");
        QVERIFY(s->startFiling("/dev/full"));
        link->receive(" one\r two\r");
        QCOMPARE(failed.size(), 1); // told once, not once per line
        QVERIFY(!s->filing());
        QVERIFY(!s->startFiling(dir.filePath("no/such/folder.txt")));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
