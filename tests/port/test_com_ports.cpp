// Windows' side of the port layer, tested on every system: COM ports keep their
// numbers, the Win32 link's line, names and error meanings, and the registry list
// looked at only while the tool is not busy with a port.
#include "port/port_catalogue.h"
#include "port/port_watcher.h"
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

    void theWin32LinkOpensTheUnitsLine()
    {
        const win::LineSettings line = win::Unit_Line();
        QCOMPARE(line.baudRate, 38400u);
        QCOMPARE(line.byteSize, quint8(8));
        QCOMPARE(line.parity, quint8(0));   // NOPARITY
        QCOMPARE(line.stopBits, quint8(0)); // ONESTOPBIT
        QVERIFY(line.binary && !line.parityCheck && !line.abortOnError);
        QVERIFY(!line.ctsFlow && !line.dsrFlow && !line.dsrSensitivity && !line.xonXoffOut &&
                !line.xonXoffIn);
        QCOMPARE(line.dtrControl, quint8(1)); // DTR_CONTROL_ENABLE
        QCOMPARE(line.rtsControl, quint8(1)); // RTS_CONTROL_ENABLE

        // No timeouts: a read waits for the bytes it asks for (the pending one-byte
        // read for the first of a reply), and a write never times out.
        const win::Timeouts t = win::Reads_Wait_For_Their_Bytes();
        QCOMPARE(t.readInterval + t.readMultiplier + t.readConstant, 0u);
        QCOMPARE(t.writeMultiplier + t.writeConstant, 0u);
        QCOMPARE(win::Bytes_To_Take(42, 4096), 42u); // what came after the first byte
        QCOMPARE(win::Bytes_To_Take(9000, 4096), 4096u);
        QCOMPARE(win::Bytes_To_Take(0, 4096), 0u);

        QCOMPARE(win::Device_Path("COM12"), QStringLiteral("\\\\.\\COM12"));
        QCOMPARE(win::Device_Path("\\\\.\\COM3"), QStringLiteral("\\\\.\\COM3"));
        QCOMPARE(win::Com_Number("COM12"), 12);
        QCOMPARE(win::Com_Number("com3"), 3);
        QCOMPARE(win::Com_Number("\\\\.\\COM7"), 7);
        for (const char *notCom : {"COM0", "COM", "COMx", "COM1000", "LPT1", "/dev/ttyUSB0", "demo", " COM4"})
            QVERIFY2(win::Com_Number(notCom) == 0, notCom);
    }

    // Windows answers "access denied" when another program has the port: that is "in
    // use", and the operator is told to close the other program, not to seek rights.
    void aPortHeldElsewhereIsInUse()
    {
        QCOMPARE(win::Open_Error(5), Link::OpenError::Busy);  // ERROR_ACCESS_DENIED
        QCOMPARE(win::Open_Error(32), Link::OpenError::Busy); // ERROR_SHARING_VIOLATION
        for (quint32 gone : {2u, 3u, 1167u})                  // not found, no path, not connected
            QCOMPARE(win::Open_Error(gone), Link::OpenError::NotFound);
        QCOMPARE(win::Open_Error(87), Link::OpenError::Other);
        QCOMPARE(win::Error_Text(5, "Access is denied.\r\n"), QStringLiteral("Access is denied. (5)"));
        QCOMPARE(win::Error_Text(31, ""), QStringLiteral("system error (31)"));

        QTemporaryDir nothing; // a system with no device nodes, as Windows
        const halvo::port::SystemSnapshot system(nothing.path());
        const auto inUse = halvo::port::Diagnose_Open_Failure(system, "COM5", Link::OpenError::Busy);
        QCOMPARE(inUse.kind, halvo::port::OpenDiagnosis::Kind::InUse);
        QCOMPARE(inUse.text, QStringLiteral("COM5 is in use by another program. Close it and retry."));
        QCOMPARE(halvo::port::Diagnose_Open_Failure(system, "COM5", Link::OpenError::Permission).kind,
                 halvo::port::OpenDiagnosis::Kind::Other);
    }

    // A frame has gone when its write has completed and the driver's queue is empty.
    void aFrameIsOutWhenWrittenAndTheQueueIsEmpty()
    {
        QCOMPARE(win::Bytes_Not_Out(true, 43, 0), 43);  // still being written
        QCOMPARE(win::Bytes_Not_Out(true, 43, 50), 50); // the driver counts more
        QCOMPARE(win::Bytes_Not_Out(false, 43, 12), 12);
        QCOMPARE(win::Bytes_Not_Out(false, 43, 0), 0);
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
