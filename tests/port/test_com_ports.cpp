// Windows' side of the port layer, tested on every system: COM ports keep their
// numbers and names, the computer check's report of them, and the registry list
// looked at only while the tool is not busy with a port.
#include "port/doctor.h"
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
#include "port/serial_ports.h"
#include "port/system_snapshot.h"
#include "port/win_serial_rules.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using halvo::port::Link;
using halvo::port::PortCatalogue;
using halvo::port::PortEntry;
namespace win = halvo::port::win;

class TestComPorts : public QObject
{
    Q_OBJECT

private slots:
    // COMn is port n, above 17 too; the demo takes the lowest number left free and a
    // COM port named on the command line keeps its own, listed by the system or not.
    void comPortsKeepTheirNumbers()
    {
        const QList<PortEntry> system = {{0, "COM25", {}},
                                         {0, "COM3", "USB Serial Port (COM3)"},
                                         {0, "COM1", "Communications Port (COM1)"},
                                         {0, "com3", {}}};
        QStringList got;
        for (const PortEntry &e : PortCatalogue::Number_Com_Ports({"demo", "COM5", "COM3"}, system))
            got << QString::number(e.number) + "=" + e.path + "|" + e.description;
        QCOMPARE(got, (QStringList{
                          "1=COM1|Communications Port (COM1)", "2=demo|the simulated unit inside the tool",
                          "3=COM3|USB Serial Port (COM3)", "5=COM5|named on the command line", "25=COM25|"}));

        QCOMPARE(PortCatalogue::Port_Entry_Text(3), QStringLiteral("COM 3 :"));
        QCOMPARE(PortCatalogue::Port_Entry_Text(123, "Halvo 2"), QStringLiteral("COM 123 :Halvo 2"));
    }

    // Windows' port names: COMn is port n up to COM999; CreateFile opens "\\.\COMn",
    // which COM10 and above need. A port held elsewhere is "in use".
    void comPortNamesAndPaths()
    {
        for (const auto &[name, number] : {std::pair{"COM1", 1},
                                           {"COM12", 12},
                                           {"com3", 3},
                                           {"COM100", 100},
                                           {"COM123", 123},
                                           {"COM999", 999},
                                           {"\\\\.\\COM7", 7}})
            QCOMPARE(win::Com_Number(name), number);
        for (const char *notCom : {"COM0", "COM", "COMx", "COM1000", "LPT1", "/dev/ttyUSB0", "demo", " COM4"})
            QVERIFY2(win::Com_Number(notCom) == 0, notCom);
        QCOMPARE(win::Device_Path("COM12"), QStringLiteral("\\\\.\\COM12"));
        QCOMPARE(win::Device_Path("COM123"), QStringLiteral("\\\\.\\COM123"));
        QCOMPARE(win::Device_Path("\\\\.\\COM3"), QStringLiteral("\\\\.\\COM3"));
        // CreateFile's refusals: access denied (5) and a sharing violation (32) are
        // another program's port; not found (2), not ready (21) are not.
        QVERIFY(win::Held_Elsewhere(5) && win::Held_Elsewhere(32));
        QVERIFY(!win::Held_Elsewhere(2) && !win::Held_Elsewhere(21) && !win::Held_Elsewhere(0));
        const QList<PortEntry> system = {{0, "COM123", {}}, {0, "COM100", {}}, {0, "COM2", {}}};
        QStringList got;
        for (const PortEntry &e : PortCatalogue::Number_Com_Ports({}, system))
            got << PortCatalogue::Port_Entry_Text(e.number) + e.path;
        QCOMPARE(got, (QStringList{"COM 2 :COM2", "COM 100 :COM100", "COM 123 :COM123"}));

        QTemporaryDir nothing; // a system with no device nodes, as Windows
        const halvo::port::SystemSnapshot snapshot(nothing.path());
        const auto inUse = halvo::port::Diagnose_Open_Failure(snapshot, "COM5", Link::OpenError::Busy);
        QCOMPARE(inUse.kind, halvo::port::OpenDiagnosis::Kind::InUse);
        QCOMPARE(inUse.text, QStringLiteral("COM5 is in use by another program. Close it and retry."));
    }

    // "Check This Computer" on Windows, from the facts the system gives of its COM
    // ports: each with its name, adapter and driver, and whether it opens now.
    void theComputerCheckOnWindows()
    {
        using halvo::port::ComPortFacts;
        ComPortFacts usb{3,        "COM3",    "USB Serial Port (COM3)", "0403:6001",
                         "A12345", "FTSER2K", ComPortFacts::Opens::Now, {}};
        ComPortFacts held{5,
                          "COM5",
                          "Prolific USB-to-Serial Comm Port (COM5)",
                          "067b:2303",
                          {},
                          "Ser2pl",
                          ComPortFacts::Opens::InUse,
                          "Access is denied."};
        ComPortFacts built{
            123, "COM123", {}, {}, {}, {}, ComPortFacts::Opens::No, "The device is not ready."};
        auto check = halvo::port::Check_Com_Ports({usb});
        QCOMPARE(check.lines,
                 (QStringList{"COM ports: 1", "COM 3 : COM3 (opened as \\\\.\\COM3)",
                              "  name: USB Serial Port (COM3)",
                              "  adapter: USB 0403:6001, serial number A12345", "  driver: FTSER2K",
                              "  this user: can open it now", "Result: nothing wrong found."}));
        QCOMPARE(check.problems, 0);
        check = halvo::port::Check_Com_Ports({usb, held, built});
        QCOMPARE(check.problems, 2);
        QVERIFY(check.lines.contains("  adapter: USB 067b:2303, no serial number"));
        QVERIFY(check.lines.contains("  in use by another program: close it and retry"));
        QVERIFY(check.lines.contains("COM 123 : COM123 (opened as \\\\.\\COM123)"));
        QVERIFY(check.lines.contains("  driver: not known"));
        QVERIFY(check.lines.contains("  cannot open it: The device is not ready."));
        QCOMPARE(check.lines.last(), QStringLiteral("Result: 2 problems found."));
        // The port this tool is connected through: no problem, and said so.
        usb.opens = ComPortFacts::Opens::Here;
        check = halvo::port::Check_Com_Ports({usb});
        QCOMPARE(check.problems, 0);
        QVERIFY(check.lines.contains("  open in this tool, connected through it"));
    }

    // The same check from what the system lists and the device manager says, made up
    // here: the device manager's name and driver win; USB ids only when both are
    // told; the port the tool is connected through is not opened again.
    void theWindowsCheckFromTheSystemsList()
    {
        using halvo::port::ComPortFacts;
        using halvo::port::SystemPort;
        const QList<SystemPort> system = {
            {"COM3", "\\\\.\\COM3", "USB Serial Port", "FTDI", "A12345", 0x0403, 0x6001, {}},
            {"COM5", "\\\\.\\COM5", "Communications Port", {}, {}, 0x067b, std::nullopt, {}}};
        const QMap<QString, win::PortDriver> drivers = {{"COM3", {"USB Serial Port (COM3)", "FTSER2K"}}};
        QStringList probed;
        const auto facts = halvo::port::Com_Port_Facts(
            {{3, "COM3", {}}, {5, "COM5", {}}, {7, "COM7", {}}}, system, drivers,
            [&](const QString &port, QString *why) {
                probed << port;
                *why = "Access is denied.";
                return port == "COM5" ? ComPortFacts::Opens::InUse : ComPortFacts::Opens::Now;
            },
            "COM7");
        QCOMPARE(probed, (QStringList{"COM3", "COM5"}));
        QCOMPARE(
            halvo::port::Check_Com_Ports(facts).lines,
            (QStringList{"COM ports: 3", "COM 3 : COM3 (opened as \\\\.\\COM3)",
                         "  name: USB Serial Port (COM3)", "  adapter: USB 0403:6001, serial number A12345",
                         "  driver: FTSER2K", "  this user: can open it now",
                         "COM 5 : COM5 (opened as \\\\.\\COM5)", "  name: Communications Port",
                         "  driver: not known", "  in use by another program: close it and retry",
                         "COM 7 : COM7 (opened as \\\\.\\COM7)", "  driver: not known",
                         "  open in this tool, connected through it", "Result: 1 problem found."}));

        // The support file's port lines, from the same kind of list.
        const QList<SystemPort> onLinux = {
            {"/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A12345", 0x0403, 0x6001, "ftdi_sio"},
            {"/dev/ttyS0", "/dev/ttyS0", {}, {}, {}, {}, {}, {}}};
        QCOMPARE(
            halvo::port::Port_Detail_Lines({{1, "/dev/ttyUSB0", {}}, {2, "/dev/ttyS0", {}}, {3, "COM3", {}}},
                                           onLinux + system, drivers),
            (QStringList{"COM 1 : /dev/ttyUSB0", "  name: FT232R USB UART", "  maker: FTDI",
                         "  adapter: USB 0403:6001, serial number A12345", "  driver: ftdi_sio",
                         "COM 2 : /dev/ttyS0", "  driver: not known", "COM 3 : COM3",
                         "  name: USB Serial Port", "  maker: FTDI",
                         "  adapter: USB 0403:6001, serial number A12345", "  driver: FTSER2K"}));

        // An adapter's serial number, by the name the tool opens or, on Linux, through
        // a link to its device (/dev/serial/by-id).
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyUSB0"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        const QList<SystemPort> adapters = {{"COM3", "\\\\.\\COM3", {}, {}, "S3", {}, {}, {}},
                                            {"elsewhere", device.fileName(), {}, {}, "S1", {}, {}, {}}};
        QCOMPARE(halvo::port::Serial_Number_Of("COM3", adapters), "S3");
        // The registry's list, as the watcher compares it: COM ports only, each once.
        QCOMPARE(halvo::port::Com_Port_Names({"COM3", "LPT1", "com3", "COM10", "COM0", ""}),
                 (QStringList{"COM10", "COM3"}));
        QCOMPARE(halvo::port::Serial_Number_Of(dir.filePath("none"), adapters), "");
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(device.fileName(), dir.filePath("by-id")));
        QCOMPARE(halvo::port::Serial_Number_Of(dir.filePath("by-id"), adapters), "S1");
#endif
    }

    // The system's list of ports is looked at once a second, never while a port is
    // open, and a change is told once.
    void theSystemListIsLookedAtOnlyWhileNotBusy()
    {
        QStringList ports{"COM1"};
        int looks = 0, busyAsked = 0;
        bool busy = false;
        halvo::port::PortWatcher watcher({}, nullptr, {}, [&] {
            ++looks;
            return ports;
        });
        watcher.setBusy([&] {
            ++busyAsked;
            return busy;
        });
        QSignalSpy changed(&watcher, &halvo::port::PortWatcher::devicesChanged);
        QVERIFY(watcher.polling());
        const int first = looks;
        QTRY_VERIFY_WITH_TIMEOUT(looks > first, 10000);
        QCOMPARE(changed.count(), 0); // the list as it was at start is no change
        busy = true;
        busyAsked = 0;
        const int looksBefore = looks;
        ports << "COM4";
        QTRY_VERIFY_WITH_TIMEOUT(busyAsked >= 2, 10000);
        QCOMPARE(looks, looksBefore);
        QCOMPARE(changed.count(), 0);
        busy = false;
        QVERIFY(changed.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(busyAsked >= 4, 10000);
        QCOMPARE(changed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestComPorts)
#include "test_com_ports.moc"
