// Each job on its own, over a channel the test plays and a clock it fires: no session,
// no link. What a job sends, asks and ends with is all the test sees.
#include "eventlog/event_archive.h"
#include "session/archive_download.h"
#include "session/connection.h"
#include "session/event_download.h"
#include "session/port_scanner.h"
#include "session/read_job.h"
#include "session/store_job.h"
#include "session/unit_channel.h"
#include "session/unit_image.h"
#include "support/bytes.h"
#include "support/fake_link.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;
using namespace halvo::test;
using config::Part;
using session::StoreOutcome;

namespace {

// The unit as a job sees it. Requests are written down as words ("read 1",
// "pointer", "pages 8 2"), frames as they were handed over.
class FakeChannel final : public session::UnitChannel
{
public:
    bool isUp = true;           // the port is open
    bool opens = true;          // open() succeeds
    QStringList refusedPaths;   // ... except on these
    QList<QByteArray> frames;   // sent
    QStringList asked;          // requests
    QStringList failures;       // told
    std::optional<int> pointer; // the unit's last pointer
    QString banner;             // what it said
    QStringList shown;          // the watchdog's indicator, each time it is set
    session::UnitImage unitImage;

    bool isOpen() const override { return isUp; }
    QString path() const override { return QStringLiteral("/dev/alone"); }
    bool linkLost() const override { return false; }
    bool open(const QString &p, port::Link::OpenError *error, QString *why) override
    {
        const bool ok = opens && !refusedPaths.contains(p);
        if (!ok && error)
            *error = port::Link::OpenError::NotFound;
        if (!ok && why)
            *why = QStringLiteral("no such device");
        isUp = ok;
        asked << QStringLiteral("open ") + p;
        return ok;
    }
    void close() override
    {
        isUp = false;
        asked << QStringLiteral("close");
    }
    bool send(const QByteArray &frame, Tell) override
    {
        if (!isUp)
            return false;
        frames << frame;
        return true;
    }
    qint64 bytesToWrite() const override { return 0; }
    void tellFailure(const QString &why) override { failures << why; }
    bool read(Part part) override
    {
        asked << QStringLiteral("read %1").arg(int(part));
        return isUp;
    }
    bool readBack(Part part) override
    {
        asked << QStringLiteral("read back %1").arg(int(part));
        return isUp;
    }
    bool readPointer() override
    {
        asked << QStringLiteral("pointer");
        pointer.reset();
        return isUp;
    }
    bool readPagesFrom(int firstPage, int count) override
    {
        asked << QStringLiteral("pages %1 %2").arg(firstPage).arg(count);
        return isUp;
    }
    const session::UnitImage &image() const override { return unitImage; }
    QString unitId() const override { return banner.left(12); }
    QString identification() const override { return banner; }
    std::optional<int> lastPointer() const override { return pointer; }
    void forgetUnit() override { banner.clear(); }
    void clearErrorLatch() override { asked << "clear latch"; }
    void showConnected(bool connected) override { shown << (connected ? "connected" : "disconnected"); }
};

session::UnitListener &hears(session::UnitListener &job)
{
    return job;
}

config::StorePlan framesOf(std::initializer_list<const char *> frames)
{
    config::StorePlan plan;
    for (const char *f : frames)
        plan.frames.push_back({QByteArray(f), 100, {}});
    return plan;
}

} // namespace

class TestJobsAlone : public QObject
{
    Q_OBJECT

private slots:
    // Frames go out one at a time, each after the pause of the one before; a store
    // stopped midway sends nothing more and ends Cancelled; a broken link ends it
    // LinkLost; none starts on a closed channel or beside another.
    void aStoreSendsPacedAndStopsWhereItIsStopped()
    {
        QStringList log;
        FakeChannel unit;
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &pauses = *clock;
        session::StoreJob job(unit, std::move(clock));
        QSignalSpy ended(&job, &session::StoreJob::finished);

        QVERIFY(job.start(framesOf({"A", "B", "C"}), session::StoreJob::Check::None));
        QVERIFY(!job.start(framesOf({"X"}), session::StoreJob::Check::None)); // one at a time
        QCOMPARE(unit.frames, (QList<QByteArray>{"A"}));
        pauses.fire();
        QCOMPARE(unit.frames, (QList<QByteArray>{"A", "B"}));
        job.stop();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<StoreOutcome>(), StoreOutcome::Cancelled);
        pauses.fire();
        QCOMPARE(unit.frames.size(), 2); // nothing after the stop

        ended.clear();
        unit.frames.clear();
        QVERIFY(job.start(framesOf({"A", "B"}), session::StoreJob::Check::None));
        hears(job).linkBroke(QStringLiteral("unplugged"));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<StoreOutcome>(), StoreOutcome::LinkLost);

        ended.clear();
        QVERIFY(job.start(framesOf({"A", "B"}), session::StoreJob::Check::None));
        pauses.fire();
        pauses.fire();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<StoreOutcome>(), StoreOutcome::Done);
        QVERIFY(!job.checked()); // unchecked: out, not read back

        unit.isUp = false;
        QVERIFY(!job.store(Part::Settings, config::Configuration()));
    }

    // A checked store asks the unit back for the parts it sent to, and waits for the
    // reply; a unit that stays silent ends it NoAnswer, never Done.
    void aCheckedStoreWaitsForTheReadBack()
    {
        QStringList log;
        FakeChannel unit;
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &pauses = *clock;
        session::StoreJob job(unit, std::move(clock));
        QSignalSpy ended(&job, &session::StoreJob::finished),
            checking(&job, &session::StoreJob::checkingStarted);
        config::Configuration config;
        QVERIFY(job.store(Part::Settings, config));
        QCOMPARE(unit.frames.size(), 1);
        pauses.fire(); // the settings frame has no pause of its own
        QCOMPARE(checking.size(), 1);
        QVERIFY(unit.asked.isEmpty()); // the unit is given a location frame's time first
        pauses.fire();
        QCOMPARE(unit.asked, QStringList{"read back 1"});
        QVERIFY(ended.isEmpty());
        pauses.fire(); // the read back's time is up
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<StoreOutcome>(), StoreOutcome::NoAnswer);
    }

    // A read asks for each part in turn; silence for its time, a stop or a broken link
    // ends it unread, with a reason.
    void aReadEndsUnreadWhenTheUnitIsSilent()
    {
        QStringList log;
        FakeChannel unit;
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &timeout = *clock;
        session::ReadJob job(unit, std::move(clock));
        job.setTimeoutMs(700);
        QSignalSpy ended(&job, &session::ReadJob::finished), started(&job, &session::ReadJob::readStarted);

        QVERIFY(job.start({Part::Locations, Part::Passes}));
        QCOMPARE(unit.asked, QStringList{"read 2"});
        QCOMPARE(log.last(), "pause 700");
        QCOMPARE(started.size(), 1);
        timeout.fire();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!ended.first().first().toBool());
        QVERIFY(!ended.first().at(1).toString().isEmpty());
        QCOMPARE(unit.asked, QStringList{"read 2"}); // the passes were never asked for

        ended.clear();
        QVERIFY(job.start({Part::Passes}));
        hears(job).linkBroke(QStringLiteral("unplugged"));
        QCOMPARE(ended.size(), 1);
        QVERIFY(!ended.first().first().toBool());

        ended.clear();
        QVERIFY(job.start({Part::Passes}));
        job.stop();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!job.running());

        unit.isUp = false;
        QVERIFY(!job.start({Part::Passes}));
    }

    // The pointer first, then the pages before it, oldest first, once the unit has
    // been quiet four ticks; a stop midway asks for nothing more.
    void anEventDownloadAsksForThePagesBeforeThePointer()
    {
        QStringList log;
        FakeChannel unit;
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &ticks = *clock;
        session::EventDownload job(unit, std::move(clock));
        QSignalSpy ended(&job, &session::EventDownload::ended);

        job.start(2);
        QVERIFY(unit.asked.isEmpty()); // after a first tick
        ticks.fire();
        QCOMPARE(unit.asked, QStringList{"pointer"});
        unit.pointer = 10;
        for (int t = 0; t < 6 && unit.asked.size() < 2; ++t)
            ticks.fire();
        QCOMPARE(unit.asked.last(), "pages 8 2");
        for (int l = 0; l < 8; ++l)
            hears(job).lineArrived(" event\r");
        QCOMPARE(job.progress().pagesArrived(), 2);
        for (int t = 0; t < 8 && job.running(); ++t)
            ticks.fire();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<session::EventDownload::End>(),
                 session::EventDownload::End::Complete);

        ended.clear();
        unit.asked.clear();
        job.start(250); // three chunks
        ticks.fire();
        unit.pointer = 300;
        for (int t = 0; t < 6 && unit.asked.size() < 2; ++t)
            ticks.fire();
        QCOMPARE(unit.asked.last(), "pages 50 100");
        job.stop();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<session::EventDownload::End>(),
                 session::EventDownload::End::Stopped);
        for (int t = 0; t < 10; ++t)
            ticks.fire();
        QCOMPARE(unit.asked.size(), 2); // no chunk after the stop
    }

    // The archive's own download reads the last pages the first time, appends the whole
    // pages and ends with its own result; the next one asks only for what is new.
    void anArchiveDownloadEndsWithWhatItAppended()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("alone.txt");
        QStringList log;
        FakeChannel unit;
        unit.banner = QStringLiteral("HALVO BASE 7");
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &ticks = *clock;
        session::ArchiveDownload job(unit, std::move(clock));
        QSignalSpy ended(&job, &session::ArchiveDownload::ended);
        QString why;
        QVERIFY(!job.canStart(archive, std::nullopt, &why)); // a first one needs a page count
        QVERIFY(why.contains("no record"));

        QVERIFY(job.start(archive, 1, &why));
        ticks.fire();
        unit.pointer = 10;
        for (int t = 0; t < 6 && unit.asked.size() < 2; ++t)
            ticks.fire();
        QCOMPARE(unit.asked.last(), "pages 9 1");
        for (int e = 1; e <= 4; ++e)
            hears(job).lineArrived(" Page 9 Ev " + QByteArray::number(e) + "\r");
        for (int t = 0; t < 8 && job.running(); ++t)
            ticks.fire();
        QCOMPARE(ended.size(), 1);
        const auto end = ended.first().first().value<session::DownloadEnd>();
        QVERIFY(end.archive && end.appendedAll);
        QCOMPARE(end.appended, 4);
        const auto record = eventlog::Read_Record(archive, &why);
        QVERIFY2(record, qPrintable(why));
        QCOMPARE(record->endPage, 10);

        // Unchanged pointer: nothing new is asked for, and it is said.
        ended.clear();
        unit.asked.clear();
        QSignalSpy notes(&job, &session::ArchiveDownload::note);
        QVERIFY(job.start(archive, std::nullopt, &why));
        QCOMPARE(unit.asked, QStringList{"pointer"});
        unit.pointer = 10;
        for (int t = 0; t < 8 && job.running(); ++t)
            ticks.fire();
        QCOMPARE(ended.size(), 1);
        QVERIFY(ended.first().first().value<session::DownloadEnd>().appendedAll);
        QCOMPARE(unit.asked, QStringList{"pointer"});

        // Another unit's archive is refused before anything is asked.
        unit.banner = QStringLiteral("OTHER UNIT 2");
        unit.asked.clear();
        QVERIFY(!job.start(archive, 1, &why));
        QVERIFY(why.contains("OTHER UNIT 2"));
        QVERIFY(unit.asked.isEmpty());
    }

    // Opened at once, or once the unit has announced itself; silence for the wait,
    // or a broken link, ends it otherwise.
    void aConnectionWaitsForTheBannerWhenAsked()
    {
        QStringList log;
        FakeChannel unit;
        auto clock = std::make_unique<FakeClock>(log);
        FakeClock &wait = *clock;
        session::Connection job(unit, std::move(clock));
        QSignalSpy ended(&job, &session::Connection::finished);
        using Result = session::Connection::Result;

        job.start(QStringLiteral("/dev/a"));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Opened);

        job.start(QStringLiteral("/dev/a"), 3000);
        QVERIFY(ended.isEmpty());
        QCOMPARE(log.last(), "pause 3000");
        hears(job).unitIdentified();
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Opened);
        QCOMPARE(unit.shown.last(), "connected");

        job.start(QStringLiteral("/dev/a"), 3000);
        wait.fire();
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Silent);

        job.start(QStringLiteral("/dev/a"), 3000);
        hears(job).linkBroke(QStringLiteral("unplugged"));
        const auto lost = ended.takeFirst();
        QCOMPARE(lost.first().value<Result>(), Result::LinkLost);
        QCOMPARE(lost.at(1).toString(), "unplugged");

        unit.opens = false;
        job.start(QStringLiteral("/dev/gone"));
        QCOMPARE(ended.takeFirst().first().value<Result>(), Result::Failed);
    }

    // Each port that opens is listened on, then closed; one that does not open is
    // passed over; what was heard on each is told.
    void aScanListensOnEachPortThatOpens()
    {
        FakeChannel unit;
        unit.refusedPaths = {QStringLiteral("/dev/b")};
        session::PortScanner job(unit);
        job.setListenMs(1);
        QSignalSpy heard(&job, &session::PortScanner::heard), ended(&job, &session::PortScanner::finished);
        port::PortEntry a, b, c;
        a.path = QStringLiteral("/dev/a");
        b.path = QStringLiteral("/dev/b");
        c.path = QStringLiteral("/dev/c");
        QVERIFY(job.start({a, b, c}));
        QCOMPARE(unit.asked.first(), "clear latch"); // a failure told before is not this scan's
        QVERIFY(!job.start({a}));                    // one scan at a time
        unit.banner = QStringLiteral("HALVO BASE 7 rest");
        QVERIFY(ended.wait(5000));
        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard.at(0).first().value<port::PortEntry>().path, "/dev/a");
        QCOMPARE(heard.at(0).at(1).toString(), "HALVO BASE 7");
        QCOMPARE(heard.at(1).first().value<port::PortEntry>().path, "/dev/c");
        QVERIFY(!unit.isOpen());
        QVERIFY(unit.asked.contains("open /dev/b"));

        // Stopped while it listens: the port it listens on is closed, and it ends.
        ended.clear();
        heard.clear();
        job.setListenMs(60000);
        QVERIFY(job.start({a, c}));
        QVERIFY(unit.isOpen());
        job.stop();
        QVERIFY(!unit.isOpen());
        QCOMPARE(ended.size(), 1);
        QVERIFY(heard.isEmpty());
        QVERIFY(!job.running());
    }
};

QTEST_GUILESS_MAIN(TestJobsAlone)
#include "test_jobs_alone.moc"
