// halvo-cli and the records: what backup and restore record against a simulated unit
// on a pty, and history, --diff, --show and units reading it back.
#include "cli_runner.h"

#include "sim_unit.h"
#include "support/bytes.h"
#include <QDir>
#include <QProcess>

using halvo::test::Run;

class TestCliHistory : public halvo::test::CliTest
{
    Q_OBJECT
    QString lastLine(const Run &r) { return r.err.trimmed().section('\n', -1).remove("halvo-cli: "); }

private slots:
    void init() // each case keeps records of its own
    {
        environment.insert("HALVO_RECORDS", dir.filePath(QTest::currentTestFunction()));
    }

    // A version that had only the pass table read is not written out as a data file:
    // the file would hold start-up settings and names, which a restore would store.
    void aVersionPartlyReadIsNotShownAsADataFile()
    {
        const QString records = dir.filePath("partly");
        environment.insert("HALVO_RECORDS", records);
        QVERIFY(QDir().mkpath(records + "/Engine 3"));
        QCOMPARE(cli({"backup", "--demo", "--no-records", records + "/Engine 3/configuration.csv"}).status,
                 0);
        write(records + "/Engine 3/unit.txt",
              "Name: Engine 3\nBanner: Halvo Base Unit V2.04 SN 000417\n"
              "First seen: 2026-12-01T09:00:00Z\nLast seen: 2026-12-01T09:00:00Z\n"
              "Known: pass table\nNot known: settings, location names\n");
        QProcess git;
        git.setWorkingDirectory(records);
        git.start("sh", {"-c", "git init -q && git add -A && git -c user.name=Ann -c user.email=desk-pc "
                               "commit -qm 'Read from the unit on COM5: pass table'"});
        QVERIFY(git.waitForFinished(10000) && git.exitCode() == 0);
        const QString shown = dir.filePath("partly.csv");
        const Run r = cli({"history", "Engine 3", "--show", "1", shown});
        QCOMPARE(r.status, 2);
        QVERIFY2(
            r.err.contains("version 1 of Engine 3 is not written as a data file: its settings and location "
                           "names had not been read"),
            qPrintable(r.err));
        QVERIFY(!QFile::exists(shown));
    }

    // A day with one unit: a backup, a restore of an edited file, the same again, a
    // verify, a restore told not to record. Two versions, each told on the last line.
    void backupAndRestoreRecordWhatTheUnitHolds()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString banner = QString::fromLatin1(unit.bannerText()).trimmed();
        const QString file = dir.filePath("unit.csv"), edited = dir.filePath("edited.csv");
        const QStringList port = {"--port", unit.devicePath(), "--pause-scale", "0.02"};
        const QStringList named = port + QStringList{"--operator", "Ann Operator", "--unit-name", "Engine 3"};

        Run r = cli(QStringList{"backup"} + named + QStringList{file});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r), QStringLiteral("recorded as version 1 of Engine 3"));
        QByteArray bytes = halvo::test::readFile(file);
        bytes.replace("Pass Device 03  ", "Night Porter    ").replace("Zone 7          ", "Boiler Room     ");
        write(edited, bytes);
        r = cli(QStringList{"restore"} + named + QStringList{edited});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r), QStringLiteral("recorded as version 2 of Engine 3"));
        QCOMPARE(lastLine(cli(QStringList{"restore"} + named + QStringList{edited})),
                 QStringLiteral("unchanged since version 2 of Engine 3"));
        QVERIFY(!cli(QStringList{"verify"} + port + QStringList{edited}).err.contains("version"));
        QVERIFY(!cli(QStringList{"restore", "--no-records"} + port + QStringList{edited})
                     .err.contains("version"));
        // Nothing tells this unit from Engine 3 without its name: not recorded, and why.
        r = cli(QStringList{"backup"} + port + QStringList{dir.filePath("again.csv")});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r),
                 QStringLiteral("not recorded: the records hold Engine 3 with this unit's banner, nothing "
                                "here tells whether it is the same unit, and it was given no name "
                                "(--unit-name NAME names it)"));

        r = cli({"history", "Engine 3"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QString today = QDate::currentDate().toString("yyyy-MM-dd");
        QVERIFY2(
            lines[0].startsWith("2  " + today) &&
                lines[0].endsWith("  Ann Operator  Stored 2 changes: pass 3 User Names \"Night Porter\"; "
                                  "location 0x07 \"Boiler Room\""),
            qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("1  " + today) &&
                     lines[1].endsWith("  Ann Operator  Read from the unit on " + unit.devicePath() +
                                       ": pass table, settings, location names"),
                 qPrintable(lines[1]));
        // A unit is found by the name it was given, not by its banner.
        QCOMPARE(cli({"history", banner}).status, 2);
        QCOMPARE(cli({"history", "Engine 3", "--records", dir.filePath("elsewhere")}).status, 2);

        r = cli({"history", "Engine 3", "--diff", "1", "2"});
        QCOMPARE(r.status, 3);
        QCOMPARE(r.out,
                 QStringLiteral(
                     "pass 3 User Names: version 1 \"Pass Device 03  \", version 2 \"Night Porter    \"\n"
                     "location 0x07: version 1 \"Zone 7          \", version 2 \"Boiler Room     \"\n"));
        QCOMPARE(cli({"history", "Engine 3", "--diff", "2", "2"}).status, 0);
        r = cli({"history", "Engine 3", "--diff", "1", "9"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("Engine 3 has no version 9 (it has 1 to 2)"));
        QCOMPARE(cli({"history", "Engine 3", "--diff", "1"}).status, 2);

        // A version written out is the data file the backup wrote at the time.
        const QString shown = dir.filePath("shown.csv");
        QCOMPARE(cli({"history", "Engine 3", "--show", "1", shown}).status, 0);
        QCOMPARE(halvo::test::readFile(shown), halvo::test::readFile(file));
        QCOMPARE(cli({"history", "Engine 3", "--show", "2", shown}).status, 0);
        const QString now = dir.filePath("now.csv");
        QCOMPARE(cli(QStringList{"backup", "--no-records"} + port + QStringList{now}).status, 0);
        QCOMPARE(halvo::test::readFile(shown), halvo::test::readFile(now));

        r = cli({"units"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("Engine 3\tversion 2\t" + today), qPrintable(r.out));
        QCOMPARE(cli({"history", "Nobody"}).status, 2);
    }

    // events --new without FILE keeps the unit's archive in its folder of the records,
    // one version for each download that appended lines; a unit the records do not
    // know is refused before anything is read.
    void newEventsGoIntoTheUnitsFolder()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QStringList named = {"--port", unit.devicePath(), "--pause-scale",
                                   "0.02",   "--unit-name",     "Engine 3"};
        Run r = cli(QStringList{"events", "--new", "--pages", "2"} + named);
        QCOMPARE(r.status, 2);
        QVERIFY2(
            lastLine(r).startsWith("events --new needs FILE: the records hold no folder for the unit on " +
                                   unit.devicePath()),
            qPrintable(r.err));
        QCOMPARE(cli(QStringList{"events", "--pages", "2"} + named).status, 2); // a plain download needs FILE

        QCOMPARE(cli(QStringList{"backup"} + named + QStringList{dir.filePath("unit.csv")}).status, 0);
        r = cli(QStringList{"events", "--new", "--pages", "2"} + named);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(lastLine(r), QStringLiteral("recorded as version 2 of Engine 3"));
        const QString month = QDate::currentDate().toString("yyyy-MM");
        const QString records = environment.value("HALVO_RECORDS");
        QVERIFY2(
            r.err.contains(QStringLiteral("8 new event lines appended to %1/Engine 3/events/").arg(records)),
            qPrintable(r.err));
        const QStringList versions = cli({"history", "Engine 3"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(versions.size(), 2);
        QVERIFY2(
            versions[0].contains("Read 8 new event lines (2 pages) from the unit on " + unit.devicePath()) &&
                versions[0].endsWith("/" + month + ".txt"),
            qPrintable(versions[0]));
        r = cli(QStringList{"events", "--new"} + named); // nothing new: no version
        QCOMPARE(r.status, 0);
        QVERIFY2(!r.err.contains("version"), qPrintable(r.err));
        QCOMPARE(cli({"history", "Engine 3"}).out.count('\n'), 2);
    }

    // Two PCs' records shared through a bare repository in a folder: the second, joining
    // with an empty folder, gets the first's history; a new version goes out as it is made.
    void recordsAreSharedThroughADepartmentRemote()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString remote = dir.filePath("department.git"), other = dir.filePath("second-pc");
        QProcess bare;
        bare.start("git", {"init", "-q", "--bare", remote});
        QVERIFY(bare.waitForFinished(10000) && bare.exitCode() == 0);
        const QStringList port = {"--port", unit.devicePath(), "--pause-scale",
                                  "0.02",   "--unit-name",     "Engine 3"};
        QCOMPARE(cli(QStringList{"backup"} + port + QStringList{dir.filePath("a.csv")}).status, 0);
        Run r = cli({"records", "remote", remote});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r), "1 version shared with " + remote);

        r = cli({"records", "--records", other, "remote", remote});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r), "records brought up to date from " + remote);
        QCOMPARE(cli({"history", "--records", other, "Engine 3"}).out.count('\n'), 1);

        QByteArray bytes = halvo::test::readFile(dir.filePath("a.csv"));
        write(dir.filePath("b.csv"), bytes.replace("Pass Device 03  ", "Night Porter    "));
        r = cli(QStringList{"restore"} + port + QStringList{dir.filePath("b.csv")});
        QCOMPARE(r.status, 0);
        QVERIFY2(
            r.err.endsWith("halvo-cli: recorded as version 2 of Engine 3\nhalvo-cli: 1 version shared with " +
                           remote + "\n"),
            qPrintable(r.err));
        QCOMPARE(cli({"records", "--records", other, "sync"}).status, 0);
        QCOMPARE(cli({"history", "--records", other, "Engine 3"}).out.count('\n'), 2);

        r = cli({"records", "remote", dir.filePath("nowhere.git")});
        QCOMPARE(r.status, 1);
        QVERIFY2(lastLine(r).contains("cannot be reached"), qPrintable(r.err));
        QCOMPARE(cli({"records", "push"}).status, 2);
    }

    // Without --unit-name the banner names a new unit; records that cannot be written
    // say so, and the backup is done all the same.
    void aRecordFailureNeverFailsTheCommand()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString banner = QString::fromLatin1(unit.bannerText()).trimmed();
        const QStringList port = {"--port", unit.devicePath(), "--pause-scale", "0.02"};
        Run r = cli(QStringList{"backup"} + port + QStringList{dir.filePath("a.csv")});
        QCOMPARE(r.status, 0);
        QCOMPARE(lastLine(r), "recorded as version 1 of " + banner);

        const QString plain = dir.filePath("plain");
        QVERIFY(QDir().mkpath(plain));
        write(plain + "/notes.txt", "mine\n");
        r = cli(QStringList{"backup", "--records", plain} + port + QStringList{dir.filePath("b.csv")});
        QCOMPARE(r.status, 0);
        QVERIFY2(lastLine(r).startsWith("not recorded yet: ") &&
                     lastLine(r).contains("is not a records repository"),
                 qPrintable(r.err));
        QVERIFY(QFile::exists(dir.filePath("b.csv")));
        QVERIFY(!QFile::exists(plain + "/.git"));
    }
};

QTEST_GUILESS_MAIN(TestCliHistory)
#include "test_cli_history.moc"
