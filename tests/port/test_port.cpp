// The port layer against simulated units on ptys and folders of the test's own: the
// numbering, a device reached by two names, the frame that has left only once the
// driver's queue is empty, a broken link told once per opening, folders that appear
// late.
#include "port/doctor.h"
#include "port/link_switch.h"
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
#include "port/serial_link.h"
#include "port/serial_ports.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "session/unit_session.h"
#include "sim_link.h"
#include "sim_unit.h"
#include "support/fake_link.h"
#include "support/fake_system.h"
#include "support/session_probe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using halvo::port::PortCatalogue;
using halvo::port::PortEntry;
using halvo::port::SerialLink;
using halvo::port::SystemSnapshot;
using halvo::sim::SimUnit;
using halvo::test::FakeSystem;

class TestPort : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    static std::unique_ptr<SimUnit> unit()
    {
        auto u = std::make_unique<SimUnit>();
        u->setBannerInterval(0);
        return u->start() ? std::move(u) : nullptr;
    }

private slots:
    void portsAreNumberedNamedFirstThenAdaptersThenTheRest()
    {
        const QList<PortEntry> system = {
            {0, "/dev/ttyS0", {}}, {0, "/dev/ttyUSB1", {}}, {0, "/dev/ttyACM0", {}}, {0, "/dev/pts/7", {}}};
        QStringList got;
        for (const PortEntry &e : PortCatalogue::Number_Ports({"/dev/pts/7", "/dev/serial/x"}, system))
            got << QString::number(e.number) + "=" + e.path;
        QCOMPARE(got, (QStringList{"1=/dev/pts/7", "2=/dev/serial/x", "3=/dev/ttyACM0", "4=/dev/ttyUSB1",
                                   "5=/dev/ttyS0"}));
    }

    // Two udev names of one adapter are one port, listed under the folder's first name.
    void aDeviceReachedByTwoLinksIsListedOnce()
    {
        auto u = unit();
        QVERIFY(u);
        QVERIFY(QFile::link(u->devicePath(), dir.filePath("by-id-adapter")));
        QVERIFY(QFile::link(u->devicePath(), dir.filePath("by-path-adapter")));
        PortCatalogue c;
        c.setFolders({dir.path()});
        c.refresh();
        QStringList seen;
        for (const PortEntry &e : c.entries())
            if (QFileInfo(e.path).canonicalFilePath() == QFileInfo(u->devicePath()).canonicalFilePath())
                seen << QFileInfo(e.path).fileName();
        QCOMPARE(seen, QStringList{"by-id-adapter"});
    }

    // A frame has gone out when Qt's buffer and the driver's queue are both empty.
    void aFrameHasLeftOnlyOnceTheDriversQueueIsEmpty()
    {
        auto u = unit();
        QVERIFY(u);
        SerialLink link;
        qint64 queued = 7;
        link.setDriverQueueProbe([&](const QSerialPort &) { return queued; });
        QVERIFY(link.open(u->devicePath()));
        QSignalSpy out(&link, &SerialLink::writtenOut);
        QVERIFY(link.write(QByteArray("D!\0\4\0i\n\r", 8)));
        QVERIFY(QTest::qWaitFor([&] { return u->receivedFrames().size() == 1; }, 5000));
        QCOMPARE(link.bytesToWrite(), 7);
        QVERIFY(!out.wait(50));
        queued = 0;
        QVERIFY(out.wait(5000));
        QCOMPARE(link.bytesToWrite(), 0);
    }

    // Told once per opening: a second unplug after a reconnect is told again.
    void aBrokenLinkIsToldOncePerOpening()
    {
        auto a = unit(), b = unit();
        QVERIFY(a && b);
        SerialLink moving;
        QVERIFY(moving.open(a->devicePath()) && moving.open(b->devicePath())); // the old port let go first
        QVERIFY(moving.isOpen() && moving.path() == b->devicePath());
        SerialLink link;
        QSignalSpy lost(&link, &SerialLink::linkLost);
        for (int opening = 1; opening <= 2; ++opening) {
            auto u = unit();
            QVERIFY(u && link.open(u->devicePath()));
            u->hangUp();
            QVERIFY(QTest::qWaitFor([&] { return lost.size() == opening; }, 5000));
            QVERIFY(!link.isOpen());
            QVERIFY(!lost.wait(100)); // the burst of errors after an unplug says nothing more
        }
    }

    // What the operator is told when a device is refused, and what the computer check
    // finds, over a system of the test's own: the user's groups in /etc/group and in
    // this login, who holds the device, ModemManager, brltty, two adapters without a
    // serial number.
    void refusalsAndTheComputerCheckNameTheCause()
    {
        FakeSystem sys;
        sys.adapter("ttyUSB0", "0403", "6001", "A12345");
        sys.adapter("ttyUSB1", "1a86", "7523");
        sys.adapter("ttyUSB2", "1a86", "7523");
        sys.process(812, "minicom", "/dev/ttyUSB0");
        sys.process(900, "ModemManager");
        sys.write("/usr/bin/brltty", {});
        sys.write("/usr/lib/udev/rules.d/85-brltty.rules",
                  "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\"\n");
        const SystemSnapshot system(sys.root());
        auto diagnosis = [&] { return halvo::port::Diagnose_Open_Failure(system, "/dev/ttyUSB0").text; };
        QCOMPARE(diagnosis(),
                 QStringLiteral("Permission denied opening /dev/ttyUSB0.\n\nAdd your user to the "
                                "group \"dialout\" (sudo adduser $USER dialout), log in again, "
                                "and retry."));
        const QStringList ports = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"};
        QList<PortEntry> entries;
        for (const QString &p : ports)
            entries.append({int(entries.size()) + 1, p, {}});
        auto check = halvo::port::Check_Computer(system, entries);
        const QString report = check.lines.join('\n');
        for (const char *line :
             {"COM 1 : /dev/ttyUSB0", "  also: /dev/serial/by-id/usb-0403_A12345-if00-port0",
              "  adapter: USB 0403:6001, serial number A12345",
              "  this user (alice): cannot open it: not in the group \"dialout\". Run: sudo adduser alice "
              "dialout, then log out and in again",
              "  held by: minicom (process 812)",
              "  ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
              "Result: 6 problems found."})
            QVERIFY2(check.lines.contains(QString::fromLatin1(line)), line);
        QVERIFY(report.contains(", group dialout, mode 0660\n  this user (alice)"));
        QVERIFY(report.contains("brltty: installed, and its udev rules claim USB serial chips (1a86:7523)"));
        QVERIFY(report.contains("Same by-id name: /dev/ttyUSB1 and /dev/ttyUSB2 are adapters of one kind "
                                "(USB 1a86:7523)"));

        sys.loginWith(true, false); // added to the group, not yet logged in again
        QVERIFY(diagnosis().contains("You are in the group \"dialout\", but this login started before"));
        QVERIFY(
            halvo::port::Check_Computer(system, entries)
                .lines.contains("  this user (alice): is in the group \"dialout\" since this login started: "
                                "log out and in again (or restart) before the tool can open it"));
        sys.write("/proc/self/status", "Uid:\t4242\t4242\t4242\t4242\nGid:\t" +
                                           QByteArray::number(FakeSystem::dialout()) + "\nGroups:\t4242\n");
        QVERIFY(diagnosis().contains("is in use")); // its primary group is the device's: it may open it
        sys.loginWith(true, true);                  // it may open the device: it is in use
        QCOMPARE(diagnosis(),
                 QStringLiteral("/dev/ttyUSB0 is in use by another program: minicom (process 812). Close it "
                                "and retry."));
        QFile::remove(sys.root() + "/proc/812/fd/3");
        QFile::remove(sys.root() + "/proc/900/comm");
        QFile::remove(sys.root() + "/usr/bin/brltty");
        check = halvo::port::Check_Computer(system, entries.mid(0, 2));
        QCOMPARE(check.problems, 0);
        QCOMPARE(check.lines.last(), QStringLiteral("Result: nothing wrong found."));
    }

    // Under --root, a device is named as the computer being checked names it; one whose
    // link leads out of that computer keeps the whole path it leads to.
    void aDeviceIsNamedAsTheCheckedComputerNamesIt()
    {
        FakeSystem sys;
        QTemporaryDir outside;
        QFile elsewhere(outside.filePath("ttyS9"));
        QVERIFY(elsewhere.open(QIODevice::WriteOnly));
        elsewhere.close();
        sys.write("/dev/ttyS0", {});
        sys.link("/dev/ttyUSB7", sys.root() + "/dev/ttyS0");
        sys.link("/dev/ttyUSB8", elsewhere.fileName());
        const SystemSnapshot system(sys.root());
        QCOMPARE(system.node("/dev/ttyUSB7")->canonical, QStringLiteral("/dev/ttyS0"));
        QCOMPARE(system.node("/dev/ttyUSB8")->canonical, QFileInfo(elsewhere).canonicalFilePath());
    }

    // The live system is asked through its account database (network users too), not
    // through its files: /dev/null's owner is root by name, as is its group.
    void theLiveSystemNamesOwnersFromItsAccounts()
    {
        const auto node = SystemSnapshot().node("/dev/null");
        QVERIFY(node.has_value());
        QCOMPARE(node->owner, QStringLiteral("root"));
        QCOMPARE(node->group, QStringLiteral("root"));
    }

    // Opening takes reading and writing: a device this user may only read (0640 in
    // its group, 0644 outside it) cannot be opened. brltty is reported when its rules
    // claim a common serial chip, or the chip of an adapter attached now: either alone.
    void readOnlyDevicesAndBrlttysClaims()
    {
        FakeSystem sys;
        sys.loginWith(true, true);
        const SystemSnapshot system(sys.root());
        const halvo::port::UserView alice = system.user();
        halvo::port::DeviceNode node{"/dev/ttyUSB0", "/dev/ttyUSB0", 0,        FakeSystem::dialout(),
                                     0660,           "root",         "dialout"};
        QVERIFY(system.mayOpen(alice, node));
        for (uint mode : {0640u, 0600u, 0620u}) { // in the group, but not read and write
            node.mode = mode;
            QVERIFY2(!system.mayOpen(alice, node), qPrintable(QString::number(mode, 8)));
        }
        node.gid = 4711; // a group alice is not in
        for (const auto &[mode, opens] :
             {std::pair{0644u, false}, {0664u, false}, {0660u, false}, {0666u, true}}) {
            node.mode = mode;
            QCOMPARE(system.mayOpen(alice, node), opens);
        }

        auto claims = [&](const QByteArray &rules) {
            sys.write("/usr/bin/brltty", {});
            sys.write("/usr/lib/udev/rules.d/85-brltty.rules", rules);
            QList<PortEntry> entries;
            for (const QString &p : SystemSnapshot(sys.root()).usbSerialDevices())
                entries.append({int(entries.size()) + 1, p, {}});
            return halvo::port::Check_Computer(SystemSnapshot(sys.root()), entries).lines.join('\n');
        };
        // A common chip, and no adapter attached at all.
        QVERIFY(claims("ENV{PRODUCT}==\"10c4/ea60/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"sk\"\n")
                    .contains("brltty: installed, and its udev rules claim USB serial chips (10c4:ea60)"));
        // An uncommon chip, claimed because it is the adapter attached now.
        sys.adapter("ttyUSB0", "0921", "1200", "B777");
        QVERIFY(claims("ENV{PRODUCT}==\"921/1200/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"hw\"\n")
                    .contains("brltty: installed, and its udev rules claim USB serial chips (0921:1200)"));
        // Neither: nothing said.
        QVERIFY(
            !claims("ENV{PRODUCT}==\"f4d5/1234/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"xx\"\n").contains("brltty"));
    }

    // The demo unit inside the tool: opened by its name through the switch the
    // session talks to, it answers a read on a later turn of the event loop, and its
    // hang-up is a lost link, told once.
    void theDemoUnitAnswersInsideTheTool()
    {
        SimUnit unit;
        unit.setBannerInterval(0);
        auto links = std::make_unique<halvo::port::LinkSwitch>(halvo::port::Make_Serial_Link());
        auto *demo = new halvo::sim::SimLink(unit);
        links->add("demo", std::unique_ptr<halvo::sim::SimLink>(demo));
        QSignalSpy delivered(demo, &halvo::port::Link::bytesReceived);
        halvo::config::Configuration config;
        halvo::session::UnitSession session(halvo::session::SessionSeams{std::move(links), {}});
        session.setConfiguration(&config);
        QSignalSpy broke(&session, &halvo::session::UnitSession::linkBroke);
        QVERIFY(Probe::channel(session).open("demo"));
        QCOMPARE(session.path(), QStringLiteral("demo"));
        QVERIFY(Probe::channel(session).read(halvo::config::Part::Passes));
        QVERIFY(!session.image().read(halvo::config::Part::Passes)); // not within the write
        QTRY_VERIFY(session.image().read(halvo::config::Part::Passes));
        QCOMPARE(config.passRow(72)[1], QStringLiteral("Pass Device 72  "));
        QCOMPARE(unit.receivedFrames(), QStringList{"44 21 00 04 00 69 0A 0D"});
        const auto deliveries = delivered.size(); // once per reply: nothing spins when quiet
        for (int turn = 0; turn < 20; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(delivered.size(), deliveries);

        // A store finishes: the demo's "gone out" reaches the session through the switch.
        QSignalSpy stored(&Probe::stores(session), &halvo::session::StoreJob::finished);
        Probe::stores(session).setPauseScale(0.01);
        QVERIFY(Probe::stores(session).store(halvo::config::Part::Locations, config));
        QTRY_COMPARE(stored.size(), 1);
        QCOMPARE(stored.first().first().value<halvo::session::StoreOutcome>(),
                 halvo::session::StoreOutcome::Done);
        QCOMPARE(unit.receivedFrames().size(), 52); // the read, the 50 names, their read back
        QCOMPARE(unit.receivedFrames().last(), QStringLiteral("44 2D 00 04 00 75 0A 0D"));
        unit.hangUp();
        QCOMPARE(broke.size(), 1);
        QVERIFY(!session.isOpen());
        QVERIFY(!Probe::channel(session).open("demo"));
        QVERIFY(!Probe::channel(session).open("/dev/no-such-port")); // the serial link still
    }

    void anAdapterIsDescribedByWhatTheSystemKnows()
    {
        using halvo::port::PortCatalogue;
        QCOMPARE(PortCatalogue::Adapter_Description("FT232R USB UART", 0x0403, 0x6001, "A12345"),
                 QStringLiteral("FT232R USB UART [0403:6001] S/N A12345"));
        QCOMPARE(PortCatalogue::Adapter_Description("", 0x1a86, 0x7523, {}), QStringLiteral("[1a86:7523]"));
        QCOMPARE(PortCatalogue::Adapter_Description("ttyS0 ", std::nullopt, 0x7523, {}),
                 QStringLiteral("ttyS0"));
    }

    // Only the link in use speaks for the switch: what the other one says is not heard.
    void onlyTheLinkInUseSpeaksThroughTheSwitch()
    {
        QStringList log;
        auto *serial = new halvo::test::FakeLink(log);
        auto *demo = new halvo::test::FakeLink(log);
        halvo::port::LinkSwitch links{std::unique_ptr<halvo::port::Link>(serial)};
        links.add("demo", std::unique_ptr<halvo::port::Link>(demo));
        QSignalSpy out(&links, &halvo::port::Link::writtenOut);
        QSignalSpy in(&links, &halvo::port::Link::bytesReceived);
        QSignalSpy lost(&links, &halvo::port::Link::linkLost);
        auto heard = [&] { return QList<qsizetype>{out.size(), in.size(), lost.size()}; };
        QVERIFY(links.open("/dev/ttyUSB0"));
        demo->drain();
        demo->receive("x");
        QCOMPARE(heard(), (QList<qsizetype>{0, 0, 0}));
        serial->drain();
        serial->receive("y");
        QCOMPARE(heard(), (QList<qsizetype>{1, 1, 0}));
        QVERIFY(links.open("demo"));
        serial->drain();
        serial->pull();
        QCOMPARE(heard(), (QList<qsizetype>{1, 1, 0}));
        demo->drain();
        demo->pull();
        QCOMPARE(heard(), (QList<qsizetype>{2, 1, 1}));
        QCOMPARE(links.read(10), QByteArray("x")); // the demo's own bytes
    }

    // The system's own serial ports are listed; one also reached through a folder's
    // link is listed once, by the link. (Vacuous on a machine with no serial port.)
    void theSystemsPortsAreListedOnce()
    {
        const auto system = halvo::port::System_Serial_Ports();
        halvo::port::PortCatalogue c;
        c.refresh();
        for (const auto &e : system.mid(0, halvo::port::PortCatalogue::LastPort))
            QVERIFY2(std::any_of(c.entries().cbegin(), c.entries().cend(),
                                 [&](const auto &listed) { return listed.path == e.path; }),
                     qPrintable(e.path));
        if (system.isEmpty())
            return;
        QVERIFY(QFile::link(system.first().path, dir.filePath("adapter")));
        c.setFolders({dir.path()});
        c.refresh();
        QStringList paths;
        for (const auto &listed : c.entries())
            paths << listed.path;
        QVERIFY(paths.contains(dir.filePath("adapter")));
        QVERIFY(!paths.contains(system.first().path));
        // What the system says of a device reaches the tool: the device behind it,
        // and so the adapter's serial number through a link to it.
        const auto ports = halvo::port::System_Ports();
        QCOMPARE(ports.first().systemLocation, system.first().path);
        QCOMPARE(halvo::port::Serial_Number_Of(dir.filePath("adapter"), ports), ports.first().serialNumber);
    }

    // /dev/serial/by-id appears with the first adapter, its parent with it.
    void aFolderThatAppearsLaterIsWatched()
    {
        const QString byId = dir.filePath("serial/by-id");
        halvo::port::PortWatcher watcher({}, nullptr, {byId});
        QSignalSpy changed(&watcher, &halvo::port::PortWatcher::devicesChanged);
        QVERIFY(watcher.folders().isEmpty());
        QVERIFY(QDir(dir.path()).mkpath("serial/by-id"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(watcher.folders(), QStringList{byId});
        changed.clear();
        auto u = unit();
        QVERIFY(u && QFile::link(u->devicePath(), byId + "/usb-adapter"));
        QVERIFY(changed.wait(5000));
        QVERIFY(!watcher.polling());
    }
};

QTEST_GUILESS_MAIN(TestPort)
#include "test_port.moc"
