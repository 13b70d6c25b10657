// The simulated unit, checked through the tool's own link and receive assembler.
#include "sim_unit.h"
#include "support/cpu_time.h"
#include "support/sim_client.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using halvo::link::Build_Request_Frame;
using halvo::link::Build_Short_Request;
using halvo::link::ReceiveItem;
using halvo::sim::SimUnit;
using halvo::test::SimClient;
using Kind = ReceiveItem::Kind;

class TestSimUnit : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimUnit> unit;
    std::unique_ptr<SimClient> client;

    void connectClient()
    {
        client = std::make_unique<SimClient>();
        QVERIFY(client->open(unit->devicePath()));
    }

private slots:
    void init()
    {
        unit = std::make_unique<SimUnit>();
        unit->setBannerInterval(0);
        QVERIFY(unit->start());
        QVERIFY(unit->devicePath().startsWith("/dev/"));
    }
    void cleanup()
    {
        client.reset();
        unit.reset();
    }

    void answersEachRead()
    {
        connectClient();
        QVERIFY(client->link.write(QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('!', 72));
        // One reply per pass, indexes 0..71 in order.
        const auto replies = client->ofKind(Kind::Reply);
        for (int i = 0; i < 72; ++i)
            QCOMPARE(int(quint8(replies[size_t(i)].data.at(2))), i);

        QVERIFY(client->link.write(QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('$', 4));
        QByteArray pages;
        for (const auto &r : client->ofKind(Kind::Reply))
            if (r.data.at(1) == '$')
                pages += r.data.at(2);
        QCOMPARE(pages, QByteArray("0123"));

        QVERIFY(client->link.write(QByteArray("\x44\x2D\x00\x04\x00\x75\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('-', 50));

        unit->setEventLogPointer(291);
        QVERIFY(client->link.write(QByteArray("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('/', 1));
        const auto ptr = client->ofKind(Kind::Reply).back().data;
        QCOMPARE(QByteArray(ptr.mid(2, 3)), QByteArray("\x01\x02\x03", 3));

        // Two pages from 490: eight event lines, none starting with "D".
        QVERIFY(client->link.write(Build_Request_Frame(41, QByteArray("\x01\x0E\x0A\x02", 4))));
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::EventLine) >= 8; }, 5000));
        for (const auto &l : client->ofKind(Kind::EventLine)) {
            QVERIFY(l.data.endsWith('\r'));
            QVERIFY(!l.data.startsWith('D'));
        }
        QCOMPARE(unit->receivedFrames().size(), 5);
        QCOMPARE(unit->receivedFrames().first(), QStringLiteral("44 21 00 04 00 69 0A 0D"));
        QCOMPARE(unit->badFrameCount(), 0);
    }

    void appliesStoresAndRecordsFrames()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.state"), record = dir.filePath("frames.hex");
        QVERIFY(unit->setStateFile(state));
        unit->setRecordFile(record);
        connectClient();

        QByteArray rec(36, 'r');
        rec[0] = 5;
        QVERIFY(client->link.write(Build_Request_Frame(34, rec)));
        QByteArray params(32, '\0');
        params[1] = 9;
        QVERIFY(client->link.write(Build_Request_Frame(35, params)));
        QVERIFY(client->link.write(
            Build_Request_Frame(43, QByteArray(1, '\x07') + "Loading Dock    " + "1234567890123456789")));
        QVERIFY(client->link.write(Build_Request_Frame(38, " 12/05/26 04:46:16:")));
        QVERIFY(client->link.write(Build_Short_Request(40)));
        QVERIFY(QTest::qWaitFor([&] { return unit->receivedFrames().size() == 5; }, 3000));

        QCOMPARE(unit->passRecord(5), rec);
        QCOMPARE(unit->passRecord(4), SimUnit::Default_Pass_Record(4));
        QCOMPARE(int(unit->settingsPage(3).at(1)), 9);
        QCOMPARE(unit->locationName(7), QByteArray("Loading Dock    "));
        QCOMPARE(unit->clockText(), QByteArray(" 12/05/26 04:46:16:"));
        QCOMPARE(unit->eventLogPointer(), 0);
        QCOMPARE(unit->clearCount(), 1);

        // A bad checksum is not applied.
        QByteArray broken = Build_Request_Frame(34, QByteArray(36, 'q'));
        broken[40] = char(broken.at(40) + 1);
        QVERIFY(client->link.write(broken));
        QTest::qWait(100);
        QCOMPARE(unit->passRecord(5), rec);
        QVERIFY(unit->badFrameCount() > 0);

        // The state survives in its file; the record file holds one hex line per frame.
        SimUnit again;
        QVERIFY(again.setStateFile(state));
        QCOMPARE(again.passRecord(5), rec);
        QCOMPARE(again.locationName(7), QByteArray("Loading Dock    "));
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().split('\n').first(), Build_Request_Frame(34, rec).toHex(' ').toUpper());
    }

    void announcesItselfAndCanBeSilent()
    {
        connectClient();
        unit->setBannerInterval(50);
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::Identification) >= 2; }, 3000));
        QVERIFY(client->ofKind(Kind::Identification).back().data.startsWith(" Halvo"));
        unit->setBannerInterval(0);
        QTest::qWait(80);
        const size_t n = client->count(Kind::Identification);
        QTest::qWait(200);
        QCOMPARE(client->count(Kind::Identification), n);
    }

    void aFullPtyNeitherSpinsNorPilesUp()
    {
        // Nobody reads: banners fill the pty and then stop; the unit waits quietly.
        unit->setBannerInterval(1);
        QTest::qWait(1500);
        const double before = halvo::test::cpuMs();
        QTest::qWait(500);
        QVERIFY2(halvo::test::cpuMs() - before < 150, "the unit must not poll a full pty");
        unit->setBannerInterval(0);
        // A reader drains it and the unit talks again.
        connectClient();
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::Identification) > 10; }, 3000));
        // Let the backlog drain: no new item for 150 ms.
        for (size_t seen = SIZE_MAX; client->items.size() != seen;) {
            seen = client->items.size();
            QTest::qWait(150);
        }
        client->items.clear();
        QVERIFY(client->link.write(QByteArray("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('/', 1));
    }

    void faultSwitches()
    {
        connectClient();
        auto &f = unit->faults();
        const QByteArray readPasses("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8);

        f.badTerminator = true;
        QVERIFY(client->link.write(readPasses));
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::TerminatorError) == 72; }, 5000));
        f.badTerminator = false;

        f.unknownReplyCode = true;
        QVERIFY(client->link.write(readPasses));
        QVERIFY(client->waitForReplies('?', 72));
        f.unknownReplyCode = false;

        f.passIndexOutOfRange = true;
        f.optionModeAbove8 = true;
        client->items.clear();
        QVERIFY(client->link.write(readPasses));
        QVERIFY(client->waitForReplies('!', 72));
        const auto r = client->ofKind(Kind::Reply);
        QCOMPARE(int(quint8(r[0].data.at(2))), 72);
        QCOMPARE(int(r[1].data.at(28)), 9);
        f.passIndexOutOfRange = f.optionModeAbove8 = false;

        f.longLine = true;
        client->items.clear();
        QVERIFY(client->link.write(QByteArray("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8)));
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::Overflow) == 1; }, 3000));
        f.longLine = false;

        // Split delivery in 7-byte chunks changes nothing the tool sees.
        f.chunkSize = 7;
        f.chunkDelayMs = 1;
        client->items.clear();
        QVERIFY(client->link.write(QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('$', 4));
        QCOMPARE(client->items.size(), size_t(4));
        f.chunkSize = 0;

        // Paced at the link's rate, four pages (160 bytes) take about 42 ms.
        f.pace38400 = true;
        client->items.clear();
        QVERIFY(client->link.write(QByteArray("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8)));
        QVERIFY(client->waitForReplies('$', 4));
        f.pace38400 = false;
    }

    void hangsUpAfterNFrames()
    {
        connectClient();
        unit->faults().hangUpAfterFrames = 2;
        QVERIFY(client->link.write(Build_Short_Request(40)));
        QVERIFY(client->link.write(Build_Short_Request(40)));
        QVERIFY(QTest::qWaitFor([&] { return !unit->isRunning(); }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return client->lost == 1; }, 3000));
        QVERIFY(!client->link.isOpen());
        QTest::qWait(50);
        QCOMPARE(client->lost, 1);
    }

    void executablePrintsItsPty()
    {
        QProcess p;
        p.start(QStringLiteral(HALVO_SIM_EXE), {"--banner-interval", "100"});
        QVERIFY(p.waitForStarted());
        QVERIFY(p.waitForReadyRead(3000));
        const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
        SimClient c;
        QVERIFY(c.open(path));
        QVERIFY(c.link.write(QByteArray("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8)));
        QVERIFY(c.waitForReplies('!', 72));
        QVERIFY(QTest::qWaitFor([&] { return c.count(Kind::Identification) >= 1; }, 3000));
        p.terminate();
        QVERIFY(p.waitForFinished(3000));
        QCOMPARE(p.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimUnit)
#include "test_sim_unit.moc"
