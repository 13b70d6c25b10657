// The unit session without a port: a fake link feeds it bytes and keeps what it
// writes. Replies reach the configuration and the unit image, failures are told
// once, the watchdog follows the unit, and a request on a closed port fails.
#include "eventlog/event_archive.h"
#include "session/archive_download.h"
#include "session/connection.h"
#include "session/event_filing.h"
#include "session/receive_path.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "session/watchdog.h"
#include "support/bytes.h"
#include "support/session_fixture.h"
#include "support/session_probe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace halvo;
using namespace halvo::test;
using config::Part;
using session::Notice;

Q_DECLARE_METATYPE(session::Connection::Result)

class TestSession : public SessionTest
{
    Q_OBJECT

private slots:
    // A first download into a new archive leaves its record at the pointer it was
    // planned with, whatever record an archive before it had.
    void aFirstDownloadRecordsWhereItEnded()
    {
        QTemporaryDir dir;
        session::ArchiveDownload &a = Probe::archive(*s);
        FakeClock &ticks = *fake->archive;
        for (const char *name : {"first.txt", "second.txt"}) {
            const QString archive = dir.filePath(name);
            QString why;
            QVERIFY(a.start(archive, 1, &why));
            ticks.fire();
            link->receive(reply('/', test::bytes({0, 0, 11}))); // the tool shows 10
            for (int t = 0; t < 5; ++t)
                ticks.fire();
            const QByteArray asked = link->written.last(); // page 9, one page
            QCOMPARE(asked.mid(1, 1) + asked.mid(4, 4), QByteArray("\x29\x00\x00\x09\x01", 5));
            link->receive(" Page 9 Ev 1\r Page 9 Ev 2\r Page 9 Ev 3\r Page 9 Ev 4\r");
            for (int t = 0; t < 4 && a.running(); ++t)
                ticks.fire();
            QVERIFY(!a.running());
            const auto record = eventlog::Read_Record(archive, &why);
            QVERIFY2(record, qPrintable(QStringLiteral("%1: %2").arg(name, why)));
            QCOMPARE(record->endPage, 10);
        }
    }

    void repliesReachTheConfiguration()
    {
        QSignalSpy rows(config.notifier(), &config::ConfigurationNotifier::changed);
        QSignalSpy complete(&s->image(), &session::UnitImage::readComplete);
        QVERIFY(Probe::channel(*s).read(Part::Passes));
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
        QCOMPARE(s->lastPointer(), 290);
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
        Probe::channel(*s).read(Part::Passes);
        link->receive(table.left(71 * 40));
        QVERIFY(!image.read(Part::Passes) && changed.isEmpty());
        link->receive(table.mid(71 * 40));
        QVERIFY(image.read(Part::Passes));
        QCOMPARE(image.unit().passRow(72)[passes::ColUserName], "P71             ");

        auto row = config.passRow(3);
        row[passes::ColUserName] = "Edited";
        config.setPassRow(3, row);
        s->close();
        QVERIFY(!Probe::channel(*s).readBack(Part::Passes)); // nothing went out: nothing is read back
        QVERIFY(Probe::channel(*s).open("/dev/fake"));
        QVERIFY(Probe::channel(*s).readBack(Part::Passes));
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
        QList<QByteArray> seen;
        connect(s, &session::UnitSession::eventLine, this, [&](const QByteArray &l) { seen << l; });
        int depth = 0, deepest = 0;
        connect(s, &session::UnitSession::notice, this, [&] {
            deepest = std::max(deepest, ++depth);
            link->receive("second\r");
            seen << "answered";
            --depth;
        });
        link->receive(BadPass + "first\r");
        QCOMPARE(deepest, 1);
        QCOMPARE(seen, (QList<QByteArray>{"answered", " second\r"}));
    }

    // A long burst is taken a piece at a time: once a piece has kept the session busy
    // for a while, the window's own events run before the next.
    void aLongBurstLetsTheWindowsEventsIn()
    {
        QList<QByteArray> seen;
        connect(s, &session::UnitSession::eventLine, this, [&](const QByteArray &l) {
            if (seen.isEmpty()) { // a slow first line: a piece's worth of time passes
                QElapsedTimer slow;
                slow.start();
                while (slow.elapsed() < 20) {
                }
            }
            seen << l;
        });
        QTimer::singleShot(0, this, [&] { seen << "window"; });
        QByteArray burst;
        for (int i = 0; i < 600; ++i) // 3 pieces of the link's reads
            burst += "Page 00001 Ev " + QByteArray::number(i).rightJustified(3, '0') + "\r";
        link->receive(burst);
        QTRY_COMPARE(seen.size(), 601);
        QVERIFY2(seen.indexOf("window") < 600, qPrintable(QString::number(seen.indexOf("window"))));
    }

    void theWatchdogFollowsTextLines()
    {
        session::Watchdog &dog = Probe::watchdog(*s);
        QSignalSpy shown(&dog, &session::Watchdog::connectedShownChanged);
        link->receive("Halvo Base Unit V2.04\r");
        QCOMPARE(s->unitId(), "Halvo Base U"); // the first line: no leading blank
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

    // Told once per opening: after a reconnect the link is whole again, and a second
    // unplug is told again.
    void aSecondUnplugAfterAReconnectIsToldAgain()
    {
        link->pull();
        QTRY_COMPARE(notices.size(), 1);
        QVERIFY(s->linkLost());
        QVERIFY(Probe::channel(*s).open("/dev/fake"));
        QVERIFY(!s->linkLost());
        link->pull();
        QTRY_COMPARE(notices.size(), 2);
    }

    // Connecting: the port opened, and for a script the unit's banner waited for; a
    // refusal says what stands in the way, worded for the window or for a script.
    void aConnectionOpensThePortAndWaitsForTheUnit()
    {
        using Result = session::Connection::Result;
        session::Connection &c = Probe::connection(*s);
        QSignalSpy ended(&c, &session::Connection::finished);
        s->close();
        c.start("/dev/fake");
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Opened);
        QVERIFY(s->isOpen() && Probe::watchdog(*s).connectedShown());

        c.start("/dev/fake", 3000);
        QCOMPARE(log.last(), "pause 3000");
        QVERIFY(ended.isEmpty() && c.running());
        link->receive("Halvo Base Unit V2.04\r");
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Opened);
        c.start("/dev/fake", 3000);
        fake->connect->fire(); // a silent unit
        QCOMPARE(ended.takeFirst(), (QVariantList{QVariant::fromValue(Result::Silent),
                                                  "no base unit announced itself on /dev/fake within 3 s"}));
        c.start("/dev/fake", 3000);
        link->pull();
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::LinkLost);

        link->refuseOpen = true;
        c.start("/dev/gone");
        QCOMPARE(ended.takeFirst(), (QVariantList{QVariant::fromValue(Result::Failed),
                                                  "cannot open /dev/gone: no such device"}));
        QCOMPARE(session::Connection::Operator_Text(Result::Failed, "cannot open /dev/gone: no such device",
                                                    false),
                 "Communications Error Please correct and retry");
        QCOMPARE(
            session::Connection::Operator_Text(Result::Failed, "cannot open /dev/gone: no such device", true),
            "Communications Error Please correct and retry: cannot open /dev/gone: no such device");
        QCOMPARE(session::Connection::Operator_Text(Result::InUse, "held by x", true), "held by x");
        // Held or not allowed: the system is looked into away from this thread.
        link->refusal = port::Link::OpenError::Busy;
        c.start("/dev/held");
        QVERIFY(ended.isEmpty());
        QVERIFY(ended.wait(5000));
        QCOMPARE(ended.first().first().value<Result>(), Result::InUse);
        QCOMPARE(ended.first().at(1).toString(),
                 "/dev/held is in use by another program. Close it and retry.");
    }

    // A connection and a scan use the one port: while either runs, the other is refused.
    void aConnectionAndAScanNeverRunTogether()
    {
        using Status = session::RunResult::Status;
        s->close();
        port::PortEntry entry;
        entry.path = "/dev/fake";
        session::Run *scan = s->scan({entry});
        QVERIFY(scan->running());
        session::Run *refused = s->connectTo("/dev/fake", 3000);
        QCOMPARE(refused->result().status, Status::Refused);
        QCOMPARE(refused->result().why, "a connection is being made");
        QSignalSpy scanEnded(scan, &session::Run::finished);
        scan->stop();
        QTRY_VERIFY(!scanEnded.isEmpty());
        session::Run *connecting = s->connectTo("/dev/fake", 3000);
        QVERIFY(connecting->running());
        QCOMPARE(s->scan({entry})->result().status, Status::Refused);
        connecting->stop();
    }

    // The session asks nobody: a request on a closed port fails, quietly (the window
    // has asked whether to open it before); one the port refuses is told.
    void requestsOnAClosedPortFail()
    {
        s->close();
        QVERIFY(!Probe::channel(*s).read(Part::Settings));
        QVERIFY(!Probe::sent(s->clearLog()));
        QVERIFY(!s->readPointer());
        int start = 20;
        QVERIFY(!s->readPages(start, 10));
        QVERIFY(!Probe::sent(s->setClock(QDateTime::currentDateTime())));
        QVERIFY(link->written.isEmpty() && notices.isEmpty());
        QVERIFY(!Probe::channel(*s).send("D(\x00\x04\x00\x70\n\r"));
        QCOMPARE(notices, QStringList{"comm: the port is closed"}); // a job's frame is told
        notices.clear();
        QVERIFY(Probe::channel(*s).open("/dev/fake"));
        QVERIFY(Probe::channel(*s).read(Part::Settings));
        QCOMPARE(link->written.last(), QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8));
        link->refuseWrites = true;
        QVERIFY(!Probe::sent(s->clearLog()));
        QCOMPARE(notices, QStringList{"comm: the port refused the frame"});
        Probe::watchdog(*s).showConnected(false);
        link->receive(BadPass); // the clock stays quiet while the receive path's message stands
        QVERIFY(!Probe::sent(s->setClock(QDateTime::currentDateTime())));
        QCOMPARE(notices.size(), 2);
    }

    // A single frame's run is done once the frame has left the port, not when it was
    // handed over; at once when nothing waits.
    void aSingleFramesRunIsDoneOnceTheFrameIsOut()
    {
        session::Run *cleared = s->clearLog();
        QSignalSpy clearedEnded(cleared, &session::Run::finished);
        QVERIFY(clearedEnded.wait(1000)); // told once the command has returned
        QVERIFY(clearedEnded.first().first().value<session::RunResult>().ok());
        QCOMPARE(link->written.last(), QByteArray("\x44\x28\x00\x04\x00\x70\x0A\x0D", 8));

        link->holdBytes = true;
        session::Run *setting = s->setClock(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 5)));
        QSignalSpy ended(setting, &session::Run::finished);
        QCoreApplication::processEvents();
        QVERIFY(setting->running()); // handed over, not out yet
        QVERIFY(ended.isEmpty());
        link->drain();
        QCOMPARE(ended.size(), 1);
        QVERIFY(ended.first().first().value<session::RunResult>().ok());
    }

    void eventLinesAreFiledFromTheMomentTheFileIsChosen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        session::EventFiling &filing = Probe::filing(*s);
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

        // Through the session: a choice cancelled lets the held lines go, so the next
        // file begins with what comes after it.
        s->holdEventLines();
        link->receive(" held again\r");
        QCOMPARE(s->fileEvents({})->result().status, session::RunResult::Status::Refused);
        session::Run *run = s->fileEvents(dir.filePath("after-cancel.txt"));
        QVERIFY(run->running());
        link->receive(" fresh\r");
        QCOMPARE(test::readFile(dir.filePath("after-cancel.txt")), "\"  fresh\r\"\r\n");
        run->stop();
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
