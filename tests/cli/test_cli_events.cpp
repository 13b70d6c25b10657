// halvo-cli's event log: the last pages to a file or standard output, only new
// events into an archive of one unit, and a scheduled collection's quiet and its
// "not now"; a port another program holds, and the computer check.
#include "cli/progress.h"
#include "datafile/data_file.h"
#include "port/serial_link.h"
#include "sim_unit.h"
#include "support/bytes.h"
#include "support/cli_runner.h"
#include "support/earlier_release_file.h"
#include "support/fake_system.h"

#include <QRegularExpression>

#include <functional>
#include <memory>
#include <tuple>

using halvo::test::Run;

class TestCliEvents : public halvo::test::CliTest
{
    Q_OBJECT

private slots:
    // Two programs, one unit: the second is told who holds the port.
    void aPortInUseIsNamed()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        halvo::port::SerialLink other;
        QVERIFY(other.open(unit.devicePath()));
        const Run r = cli({"backup", "--port", unit.devicePath(), dir.filePath("held.csv")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err,
                 QStringLiteral("halvo-cli: %1 is in use by another program: test_cli_events (process %2). "
                                "Close it and retry.\n")
                     .arg(unit.devicePath())
                     .arg(QCoreApplication::applicationPid()));
        // The computer check of this computer names the holder too: a problem, exit 1.
        Run d = cli({"doctor", "--port", unit.devicePath()});
        QCOMPARE(d.status, 1);
        QVERIFY2(d.out.contains(QStringLiteral("COM 1 : %1\n").arg(unit.devicePath())), qPrintable(d.out));
        QVERIFY(d.out.contains(QStringLiteral("  held by: test_cli_events (process %1)\n")
                                   .arg(QCoreApplication::applicationPid())));
        // The computer check over a system of the test's own: a problem, exit 1.
        halvo::test::FakeSystem sys;
        sys.adapter("ttyACM0", "2341", "0043", "75833353");
        d = cli({"doctor", "--root", sys.root()});
        QCOMPARE(d.status, 1);
        QVERIFY2(
            d.out.contains("COM 1 : /dev/ttyACM0\n  also: /dev/serial/by-id/usb-2341_75833353-if00-port0\n"),
            qPrintable(d.out));
        sys.loginWith(true, true);
        d = cli({"doctor", "--root", sys.root()});
        QCOMPARE(d.status, 0);
        QVERIFY(d.out.endsWith("Result: nothing wrong found.\n"));
    }

    void eventsGoToStandardOutputInTheWindowsFormat()
    {
        const Run r = cli({"events", "--demo", "--pages", "2", "--pause-scale", "0.5", "-"});
        QCOMPARE(r.status, 0);
        const QStringList entries = r.out.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(entries.size(), 8);
        QVERIFY(entries.first().startsWith("\" Page ") && entries.first().endsWith("\r\""));
    }

    // Only new events: the first run reads the last pages, the next only what came since
    // (its last page again, nothing written twice), then there is nothing new.
    void newEventsGoIntoAnArchiveOnce()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString archive = dir.filePath("archive.txt");
        const QStringList args = {"events", "--new", "--port", unit.devicePath(), "--pause-scale", "0.2"};
        Run r = cli(args + QStringList{archive});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("give --pages N for the first one"));
        QCOMPARE(cli(args + QStringList{"--pages", "3", archive}).status, 0); // pages 496..498
        QCOMPARE(halvo::test::readFile(archive).count("\"\r\n"), 12);
        unit.addEventPages(2);
        unit.clearRecord();
        r = cli(args + QStringList{archive});
        QCOMPARE(r.status, 0);
        QCOMPARE(unit.receivedFrames(),
                 (QStringList{"44 2E 00 04 00 76 0A 0D", "44 29 00 07 01 0F 02 03 89 0A 0D"}));
        const QByteArray held = halvo::test::readFile(archive);
        QCOMPARE(held.count("\"\r\n"), 20);
        QCOMPARE(held.count("Page 00498 Ev 1"), 1);
        r = cli(args + QStringList{archive});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("No new events since "), qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(archive), held);
    }

    // An archive holds one unit's events: another unit's banner is refused before
    // anything is asked of it; a unit of the same banner whose page read again is not
    // the archive's last (another unit, or a log cleared and refilled) adds nothing,
    // unless told to; a download that breaks names the whole pages it appended.
    void anArchiveHoldsTheEventsOfOneUnit()
    {
        const QString archive = dir.filePath("one-unit.txt");
        const QStringList args = {"events", "--new", "--pause-scale", "0.2"};
        halvo::sim::SimUnit first;
        first.setBannerInterval(100);
        QVERIFY(first.start());
        QCOMPARE(cli(args + QStringList{"--port", first.devicePath(), "--pages", "2", archive}).status, 0);
        const QByteArray held = halvo::test::readFile(archive),
                         record = halvo::test::readFile(archive + ".halvo-record");

        halvo::sim::SimUnit other;
        other.setBannerInterval(100);
        other.setBannerText("Halvo Base Unit V2.04 SN 000999\r");
        QVERIFY(other.start());
        Run r = cli(args + QStringList{"--port", other.devicePath(), archive});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QStringLiteral(
                            "halvo-cli: %1 holds the events of \"Halvo Base Unit V2.04 SN 000417\"; the "
                            "unit on %2 is \"Halvo Base Unit V2.04 SN 000999\". Choose another archive.\n")
                            .arg(archive, other.devicePath()));
        QVERIFY(other.receivedFrames().isEmpty());

        halvo::sim::SimUnit twin; // the same banner, another log
        twin.setBannerInterval(100);
        twin.setLogGeneration(1);
        twin.addEventPages(1);
        QVERIFY(twin.start());
        r = cli(args + QStringList{"--port", twin.devicePath(), archive});
        QCOMPARE(r.status, 2);
        QVERIFY2(QRegularExpression(
                     "halvo-cli: Page 498 as the unit holds it now is not the page this archive ends "
                     "with: this is another unit, or its log was cleared and refilled since "
                     "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d. Nothing was added.")
                     .match(r.err)
                     .hasMatch(),
                 qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(archive), held);
        QCOMPARE(halvo::test::readFile(archive + ".halvo-record"), record);
        r = cli(args + QStringList{"--port", twin.devicePath(), "--append-anyway", archive});
        QCOMPARE(r.status, 0);
        QVERIFY(halvo::test::readFile(archive).startsWith(held));
        QCOMPARE(halvo::test::readFile(archive).count("\"\r\n"), 8 + 8); // pages 498 and 499, whole

        // The link breaks after two whole pages and two lines of a third: those two
        // pages, and only they, are appended and recorded.
        const QString broken = dir.filePath("broken.txt");
        halvo::sim::SimUnit cut;
        cut.setBannerInterval(100);
        cut.faults().hangUpAfterLines = 10;
        QVERIFY(cut.start());
        r = cli(args + QStringList{"--port", cut.devicePath(), "--pages", "3", broken});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("; 2 whole pages appended to " + broken), qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(broken).count("\"\r\n"), 8);
        QVERIFY(halvo::test::readFile(broken + ".halvo-record").contains("end-page: 498\n"));
    }

    // A scheduled collection while another program holds the port: exit 4, the holder
    // named; --quiet says nothing on success.
    void aScheduledCollectionIsQuietAndKnowsAHeldPort()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString archive = dir.filePath("quiet.txt");
        const QStringList args = {"events",  "--new", "--quiet",       "--port", unit.devicePath(),
                                  "--pages", "2",     "--pause-scale", "0.2",    archive};
        Run r = cli(args);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err + r.out, QString());
        QCOMPARE(halvo::test::readFile(archive).count("\"\r\n"), 8);
        halvo::port::SerialLink other;
        QVERIFY(other.open(unit.devicePath()));
        r = cli(args);
        QCOMPARE(r.status, 4);
        QVERIFY2(
            r.err.startsWith(
                QStringLiteral("halvo-cli: %1 is in use by another program: test_cli_events (process %2)")
                    .arg(unit.devicePath())
                    .arg(QCoreApplication::applicationPid())),
            qPrintable(r.err));
        QCOMPARE(cli({"backup", "--port", unit.devicePath(), dir.filePath("held.csv")}).status,
                 1); // not scheduled
    }

    // An event download that cannot start leaves the operator's earlier log as it was.
    void anEventDownloadThatCannotStartKeepsTheFile()
    {
        halvo::sim::SimUnit silent;
        silent.setBannerInterval(0);
        QVERIFY(silent.start());
        const QString log = dir.filePath("events.txt");
        const QByteArray earlier = "\" Page 00001 Ev 1 earlier\r\"\r\n";
        write(log, earlier);
        const std::pair<QString, const char *> ports[] = {{"/dev/no-such-port", "cannot open"},
                                                          {silent.devicePath(), "no base unit announced"}};
        for (const auto &[port, says] : ports) {
            const Run r = cli({"events", "--port", port, "--timeout", "0.5", "--pages", "2", log});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(says), qPrintable(r.err));
            QCOMPARE(halvo::test::readFile(log), earlier);
        }
        // Once the unit answers, the file is replaced by what it sends.
        QCOMPARE(cli({"events", "--demo", "--pages", "2", "--pause-scale", "0.5", log}).status, 0);
        QCOMPARE(halvo::test::readFile(log).count("\"\r\n"), 8);
        QVERIFY(halvo::test::readFile(log).startsWith("\" Page "));
    }

    // A support file is written when the unit fails too: then it is what shows why.
    // Staff names go in only when the configuration is asked for.
    void aSupportFileFromTheCommandLine()
    {
        halvo::sim::SimUnit silent;
        silent.setBannerInterval(0);
        QVERIFY(silent.start());
        const QString file = dir.filePath("support.txt"), log = dir.filePath("run.log");
        Run r = cli({"support-file", "--port", silent.devicePath(), "--timeout", "0.5", "--log", log, file});
        QCOMPARE(r.status, 1);
        QString text = QString::fromUtf8(halvo::test::readFile(file));
        for (const QString &line :
             {QStringLiteral("Program: halvo-cli "), "COM 1 : " + silent.devicePath(),
              QStringLiteral("Unit: no banner heard"),
              QStringLiteral(
                  "told Communications Error Please correct and retry: no base unit announced itself on ") +
                  silent.devicePath() + " within 0.5 s",
              QStringLiteral("None held: halvo-cli keeps no configuration.")})
            QVERIFY2(text.contains(line), qPrintable(line));
        QVERIFY(halvo::test::readFile(log).contains("halvo.cli.info: support-file --port"));

        QCOMPARE(cli({"support-file", "--demo", file}).status, 0);
        QVERIFY(!halvo::test::readFile(file).contains("Pass Device 01"));
        QCOMPARE(cli({"support-file", "--demo", "--include-configuration", file}).status, 0);
        text = QString::fromUtf8(halvo::test::readFile(file));
        QVERIFY(text.contains("| Pass Device 01") && text.contains("Location 0: "));
        r = cli({"support-file", "--include-configuration", file});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("--include-configuration reads the unit"));
    }
};

QTEST_GUILESS_MAIN(TestCliEvents)
#include "test_cli_events.moc"
