// The simulated unit, checked through the tool's own link and receive assembler.
#include "sim_unit.h"
#include "support/sim_client.h"

#include <QProcess>
#include <QTemporaryDir>

using halvo::link::Build_Request_Frame;
using halvo::link::Build_Short_Request;
using halvo::sim::SimUnit;
using halvo::test::SimClient;
using Kind = halvo::link::ReceiveItem::Kind;

namespace {
const QByteArray ReadPasses("\x44\x21\x00\x04\x00\x69\x0A\x0D", 8);
const QByteArray ReadSettings("\x44\x24\x00\x04\x00\x6C\x0A\x0D", 8);
const QByteArray ReadPointer("\x44\x2E\x00\x04\x00\x76\x0A\x0D", 8);
} // namespace

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
    }
    void cleanup()
    {
        client.reset();
        unit.reset();
    }

    void appliesStoresKeepsStateAndRecordsFrames()
    {
        QTemporaryDir dir;
        const QString state = dir.filePath("unit.state"), record = dir.filePath("frames.hex");
        QVERIFY(unit->setStateFile(state));
        unit->setRecordFile(record);
        connectClient();
        QByteArray rec(36, 'r');
        rec[0] = 5;
        QVERIFY(client->link.write(Build_Request_Frame(34, rec)));
        QVERIFY(client->link.write(Build_Request_Frame(35, QByteArray(1, '\0') + QByteArray(31, '\x09'))));
        QVERIFY(client->link.write(Build_Request_Frame(43, "\x07Loading Dock    1234567890123456789")));
        QVERIFY(client->link.write(Build_Request_Frame(38, " 12/05/26 04:46:16:")));
        QVERIFY(client->link.write(Build_Short_Request(40)));
        QByteArray broken = Build_Request_Frame(34, QByteArray(36, 'q'));
        broken[40] = char(broken.at(40) + 1); // a bad checksum is not applied
        QVERIFY(client->link.write(broken));
        QVERIFY(QTest::qWaitFor(
            [&] { return unit->receivedFrames().size() == 5 && unit->badFrameCount() > 0; }, 3000));

        QCOMPARE(unit->passRecord(5), rec);
        QCOMPARE(unit->passRecord(4), SimUnit::Default_Pass_Record(4));
        QCOMPARE(int(unit->settingsPage(3).at(1)), 9);
        QCOMPARE(unit->clockText(), QByteArray(" 12/05/26 04:46:16:"));
        QCOMPARE(unit->clearCount(), 1);
        SimUnit again;
        QVERIFY(again.setStateFile(state));
        QCOMPARE(again.passRecord(5), rec);
        QCOMPARE(again.locationName(7), QByteArray("Loading Dock    "));
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().split('\n').first(), Build_Request_Frame(34, rec).toHex(' ').toUpper());
    }

    void faultSwitches()
    {
        connectClient();
        auto &f = unit->faults();
        f.badTerminator = true;
        QVERIFY(client->link.write(ReadPasses));
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::TerminatorError) == 72; }, 5000));
        f = {};
        f.unknownReplyCode = true;
        QVERIFY(client->link.write(ReadPasses));
        QVERIFY(client->waitForReplies('?', 72));
        f = {};
        f.passIndexOutOfRange = f.optionModeAbove8 = true;
        client->items.clear();
        QVERIFY(client->link.write(ReadPasses));
        QVERIFY(client->waitForReplies('!', 72));
        QCOMPARE(int(quint8(client->items[0].data.at(2))), 72);
        QCOMPARE(int(client->items[1].data.at(28)), 9);
        f = {};
        f.longLine = true;
        client->items.clear();
        QVERIFY(client->link.write(ReadPointer));
        QVERIFY(QTest::qWaitFor([&] { return client->count(Kind::Overflow) == 1; }, 3000));
        // Split delivery and pacing change nothing the tool sees.
        for (bool paced : {false, true}) {
            f = {};
            f.chunkSize = 7;
            f.chunkDelayMs = 1;
            f.pace38400 = paced;
            client->items.clear();
            QVERIFY(client->link.write(ReadSettings));
            QVERIFY(client->waitForReplies('$', 4));
            QCOMPARE(client->items.size(), size_t(4));
        }
        f = {};
        f.hangUpAfterFrames = 1;
        QVERIFY(client->link.write(Build_Short_Request(40)));
        QVERIFY(QTest::qWaitFor([&] { return client->lost == 1 && !unit->isRunning(); }, 3000));
        QVERIFY(!client->link.isOpen());
    }

    void executablePrintsItsPty()
    {
        QProcess p;
        p.start(QStringLiteral(HALVO_SIM_EXE), {"--banner-interval", "100"});
        QVERIFY(p.waitForReadyRead(3000));
        const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
        SimClient c;
        QVERIFY(c.open(path));
        QVERIFY(c.link.write(ReadPasses));
        QVERIFY(c.waitForReplies('!', 72));
        QVERIFY(QTest::qWaitFor([&] { return c.count(Kind::Identification) >= 1; }, 3000));
        p.terminate();
        QVERIFY(p.waitForFinished(3000));
        QCOMPARE(p.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimUnit)
#include "test_sim_unit.moc"
