// halvo-cli as a script runs it: exit status, standard output and the files it
// writes, against the built-in demo unit or a simulated unit of the test's own:
// backups, restores read back, comparisons, records and what goes wrong.
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

class TestCli : public halvo::test::CliTest
{
    Q_OBJECT

private slots:
    void backupVerifyRestoreRoundTrip()
    {
        const QString file = dir.filePath("unit.csv");
        Run r = cli({"backup", "--demo", file});
        QCOMPARE(r.status, 0);
        const auto records = halvo::datafile::Parse_Data_File(halvo::test::readFile(file));
        QVERIFY(records && records->size() == 123);
        QCOMPARE(cli({"verify", "--demo", file}).status, 0);
        // The settings record carries the unit's values page, not one of its limit pages.
        const auto *settings = std::get_if<halvo::datafile::SettingsData>(&records->back());
        QVERIFY(settings);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(settings->values.data()), 32),
                 halvo::sim::SimUnit().settingsPage(3));

        // Pass 14's user ID 14 travels as "0E"; the file now says 13.
        QByteArray edited = halvo::test::readFile(file);
        const qsizetype pass14 = edited.indexOf("-!270D");
        QCOMPARE(edited.mid(pass14 + 27, 2), QByteArray("0E"));
        edited.replace(pass14 + 27, 2, "0D");
        edited.replace("Zone 5          ", "Loading-Dock 5  ");
        write(file, edited);
        r = cli({"verify", "--demo", file});
        QCOMPARE(r.status, 3);
        QCOMPARE(r.out,
                 QStringLiteral("pass 14 User ID: unit 14, file 13\n"
                                "location 0x05: unit \"Zone 5          \", file \"Loading-Dock 5  \"\n"));
        // Restore, read back in the same run (--verify is what it does anyway).
        r = cli({"restore", "--demo", "--verify", "--pause-scale", "0.02", file});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("checking what the unit holds: done, the unit holds all 123\n") &&
                     r.err.endsWith("123 frames sent and read back: the unit holds them all\n"
                                    "halvo-cli: recorded as version 2 of Halvo Base Unit V2.04 SN 000417\n"),
                 qPrintable(r.err));

        r = cli({"restore", "--dry-run", file});
        const QStringList frames = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(frames.size(), 123);
        QVERIFY(frames.first().startsWith("44 22 00 27 00 ") && frames.at(72).startsWith("44 23 00 23 "));
    }

    // Only the frames the unit does not hold go out: three for two passes and a
    // location that differ, none for the unit's own configuration.
    void changedOnlySendsWhatDiffers()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QString file = dir.filePath("own.csv");
        const QStringList port = {"--port", unit.devicePath(), "--pause-scale", "0.02"};
        QCOMPARE(cli(QStringList{"backup"} + port + QStringList{file}).status, 0);
        unit.clearRecord();
        Run r = cli(QStringList{"restore", "--changed-only"} + port + QStringList{file});
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.contains("nothing to send"));
        QByteArray edited = halvo::test::readFile(file);
        edited.replace("Pass Device 03  ", "Night Porter    ")
            .replace("Pass Device 40  ", "Day Porter      ");
        edited.replace("Zone 7          ", "Boiler Room     ");
        write(file, edited);
        r = cli(QStringList{"restore", "--changed-only", "--dry-run"} + port + QStringList{file});
        QCOMPARE(r.out.count('\n'), 3);
        unit.clearRecord();
        unit.faults().dropStores = {0}; // the unit loses the first: the read back finds it, it goes again
        r = cli(QStringList{"restore", "--changed-only"} + port + QStringList{file});
        QCOMPARE(r.status, 0);
        QStringList stores;
        for (const QString &frame : unit.receivedFrames())
            if (!frame.startsWith("44 21") && !frame.startsWith("44 24") && !frame.startsWith("44 2D"))
                stores << frame.left(14);
        QCOMPARE(stores,
                 (QStringList{"44 22 00 27 02", "44 22 00 27 27", "44 2B 00 27 06", "44 22 00 27 02"}));
        QCOMPARE(unit.passRecord(2).mid(1, 16), QByteArray("Night Porter    "));
        QCOMPARE(unit.locationName(6), QByteArray("Boiler Room     "));
    }

    // The unit never acknowledges a store: the read back finds what it missed (a pass,
    // a name, the settings, 35 frames while it restarted), which goes again; exit 0
    // only once the unit holds the file.
    void aRestoreIsReadBackAndWhatTheUnitMissedGoesAgain()
    {
        const QString file = dir.filePath("restore.csv");
        halvo::config::Configuration c;
        c.setAlias(4, "Gate West");
        write(file, *halvo::datafile::Build_Data_File(c));
        auto restore = [&](const std::function<void(halvo::sim::SimFaults &)> &faults,
                           const QStringList &extra = {}) {
            auto unit = std::make_unique<halvo::sim::SimUnit>();
            unit->setBannerInterval(100);
            faults(unit->faults());
            if (!unit->start())
                qFatal("no pty");
            const Run r = cli(QStringList{"restore", "--port", unit->devicePath(), "--pause-scale", "0.02",
                                          "--timeout", "2"} +
                              extra + QStringList{file});
            return std::make_pair(r, std::move(unit));
        };
        auto holdsTheFile = [&](const halvo::sim::SimUnit &unit) {
            return cli({"verify", "--port", unit.devicePath(), file}).status == 0;
        };

        // One pass frame and one location frame missed.
        auto [r, unit] = restore([](halvo::sim::SimFaults &f) { f.dropStores = {10, 77}; });
        QCOMPARE(r.status, 0);
        QVERIFY2(
            r.err.contains("checking what the unit holds: the unit lacks 2 of 123\nsending again: 2 to go\n"),
            qPrintable(r.err));
        QVERIFY(holdsTheFile(*unit) && unit->locationName(4) == "Gate West       ");
        QCOMPARE(unit->receivedFrames().count(unit->receivedFrames().at(77)), 2);

        // Only sent: said so, and the unit lacks what it missed.
        std::tie(r, unit) = restore([](halvo::sim::SimFaults &f) { f.dropStores = {77}; }, {"--no-verify"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.endsWith("123 frames sent, not checked\n"));
        QCOMPARE(unit->locationName(4), QByteArray("Zone 5          "));

        // The settings frame missed; a restart after the 30th pass frame that misses 35.
        std::tie(r, unit) = restore([](halvo::sim::SimFaults &f) { f.dropStores = {72}; });
        QCOMPARE(r.status, 0);
        QCOMPARE(unit->receivedFrames().count(unit->receivedFrames().at(72)), 2);
        std::tie(r, unit) = restore([](halvo::sim::SimFaults &f) {
            f.deafAfterFrames = 30;
            f.deafFrames = 35;
        });
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("the unit lacks 35 of 123"), qPrintable(r.err));
        QVERIFY(holdsTheFile(*unit));

        // A name the unit never takes: sent three times, named, exit 1, nothing said done.
        std::tie(r, unit) = restore([](halvo::sim::SimFaults &f) { f.dropStores = {77, 123, 124}; });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("halvo-cli: The unit did not take: location 5 name \"Gate West\" (sent 3 "
                                "times).\n") &&
                     !r.err.contains("holds them all"),
                 qPrintable(r.err));

        // A unit that stops answering while it is read back: its timeout, then one message.
        std::tie(r, unit) = restore([](halvo::sim::SimFaults &f) {
            f.deafAfterFrames = 123;
            f.deafFrames = 1000;
        });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.endsWith("halvo-cli: The unit did not answer when its pass table was read back after "
                                "the store, so what it holds is not known. Check the link, then read the "
                                "unit again.\n"),
                 qPrintable(r.err));
        QCOMPARE(r.err.count("halvo-cli: "), 1);
    }

    // What becomes a record is read until two reads agree: a reply damaged on its way
    // is read again, and a link that damages every read writes no file.
    void aRecordIsReadUntilTwoReadsAgree()
    {
        const QString clean = dir.filePath("clean.csv"), file = dir.filePath("flipped.csv");
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(100);
        QVERIFY(unit.start());
        const QStringList port = {"--port", unit.devicePath(), "--timeout", "2"};
        QCOMPARE(cli(QStringList{"backup"} + port + QStringList{clean}).status, 0);
        unit.faults().flipReplies = {unit.repliesSent() + 5}; // pass 6 of the next read
        Run r = cli(QStringList{"backup"} + port + QStringList{file});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("reading again pass records"), qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(file), halvo::test::readFile(clean));
        // The last pass's reply, damaged once, is read again like any other.
        unit.faults().flipReplies = {unit.repliesSent() + 71};
        QFile::remove(file);
        r = cli(QStringList{"backup"} + port + QStringList{file});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("reading again pass records"), qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(file), halvo::test::readFile(clean));
        // A reply that comes twice changes nothing.
        unit.faults().flipReplies.clear();
        unit.faults().repeatReply = unit.repliesSent() + 10;
        QFile::remove(file);
        QCOMPARE(cli(QStringList{"backup"} + port + QStringList{file}).status, 0);
        QCOMPARE(halvo::test::readFile(file), halvo::test::readFile(clean));

        const int from = unit.repliesSent(); // the next backup's pass replies
        unit.faults().flipReplies = {from + 5, from + 72 + 6, from + 144 + 7, from + 216 + 8};
        QFile::remove(file);
        r = cli(QStringList{"backup"} + port + QStringList{file});
        QCOMPARE(r.status, 1);
        QVERIFY2(
            r.err.endsWith("halvo-cli: the unit's pass records read differently each of 4 times (changed "
                           "between reads: pass 6, pass 7, pass 8, pass 9): its replies are being damaged "
                           "on the way\n"),
            qPrintable(r.err));
        QVERIFY(!QFile::exists(file));
    }

    // A file an earlier release saved, with aliases not 16 characters long: the three
    // location frames carry them normalised, every other frame is the current file's.
    void anEarlierReleasesFileRestores()
    {
        const QString current = dir.filePath("current.csv"), earlier = dir.filePath("earlier.csv");
        write(current, *halvo::datafile::Build_Data_File(halvo::config::Configuration()));
        write(earlier, halvo::test::earlierReleaseFile(halvo::test::readFile(current)));
        const Run a = cli({"restore", "--dry-run", current}), b = cli({"restore", "--dry-run", earlier});
        QCOMPARE(b.status, 0);
        QStringList want = a.out.split('\n'), got = b.out.split('\n');
        QCOMPARE(got.size(), want.size());
        const char *aliases[] = {"Gate            ", "Loading-Dock-Are", "                "};
        for (int k = 0; k < 3; ++k) {
            const qsizetype frame = 73 + 3 + k; // passes, settings, then locations from slot 0
            QCOMPARE(got.at(frame).mid(15, 47),
                     QString::fromLatin1(QByteArray(aliases[k]).toHex(' ').toUpper()));
            got[frame] = want[frame];
        }
        QCOMPARE(got, want);
    }

    // A port given by number is named by its device first, for the script's log.
    // The bar on a terminal counts minutes and seconds, rounded.
    void theBarsTimesAreMinutesAndSeconds()
    {
        using halvo::cli::Progress;
        QCOMPARE(Progress::Minutes(9400), QStringLiteral("0:09"));
        QCOMPARE(Progress::Minutes(64600), QStringLiteral("1:05"));
        QCOMPARE(Progress::Minutes(70000), QStringLiteral("1:10"));
        QCOMPARE(Progress::Minutes(600000), QStringLiteral("10:00"));
    }

    void aPortNumberIsNamedByItsDevice()
    {
        const Run r = cli({"clock", "--demo", "--port", "1"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith("halvo-cli: port 1 is demo"), qPrintable(r.err));
    }

    // With no command, or one it does not know, every command is listed with what it does.
    void noCommandListsTheCommands()
    {
        for (const QStringList &args : {QStringList{}, QStringList{"fly"}}) {
            const Run r = cli(args);
            QCOMPARE(r.status, args.isEmpty() ? 0 : 2);
            QVERIFY2(r.err.contains("Usage: halvo-cli COMMAND [options]"), qPrintable(r.err));
            for (const char *name : {"ports", "backup", "restore", "verify", "diff", "events", "clock",
                                     "doctor", "sheet", "roster", "locations", "support-file"})
                QVERIFY2(r.err.contains(QRegularExpression(QStringLiteral("\\n  %1 +[A-Z]").arg(name))),
                         qPrintable(QStringLiteral("%1 not listed in:\n%2").arg(name, r.err)));
        }
    }

    void badArgumentsAndRefusedFilesExitTwo()
    {
        const QString cut = dir.filePath("cut.csv");
        write(cut, "\"-!2700Pass Device 01   01\"\r\n");
        // Every pass and location, but no settings record: not a whole configuration.
        const QString noSettings = dir.filePath("no-settings.csv");
        const QByteArray whole = *halvo::datafile::Build_Data_File(halvo::config::Configuration());
        write(noSettings, whole.left(whole.indexOf("\"-#23")));
        const std::pair<QStringList, const char *> cases[] = {
            {{"fly"}, "unknown command"},
            {{"backup", "x.csv"}, "needs --port"},
            {{"events", "--demo", "--pages", "0", "-"}, "--pages takes 1 to 32479"},
            {{"verify", "--demo", cut}, "Load File Encountered an error"},
            {{"restore", "--dry-run", noSettings}, "0 settings records"},
            {{"backup", "--demo", "--timeout", "0", "x.csv"}, "--timeout takes"},
            {{"backup", "--port", "99", "x.csv"}, "there is no port 99"},
        };
        for (const auto &[args, says] : cases) {
            const Run r = cli(args);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(says), qPrintable(r.err));
        }
    }

    void unitFailuresExitOneAndWriteNothing()
    {
        halvo::sim::SimUnit unit;
        unit.setBannerInterval(0);
        QVERIFY(unit.start());
        const QString file = dir.filePath("never.csv");
        Run r = cli({"backup", "--port", unit.devicePath(), "--timeout", "0.5", file});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains("no base unit announced itself"));

        unit.setBannerInterval(100);
        unit.faults().passIndexOutOfRange = true; // the first pass record names pass 72
        r = cli({"backup", "--port", unit.devicePath(), "--timeout", "3", file});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("Communications Error Please correct and retry: pass record for pass 72"),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(cli({"clock", "--port", "/dev/no-such-port", "--timeout", "1"}).status, 1);

        // The link breaks once the last chunk has been asked for: no success.
        halvo::sim::SimUnit gone;
        gone.setBannerInterval(100);
        gone.faults().hangUpAfterFrames = 2; // the pointer request, then the one page request
        QVERIFY(gone.start());
        r = cli({"events", "--port", gone.devicePath(), "--pages", "2", "--pause-scale", "0.5", "-"});
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.err.contains("the link broke") && r.err.contains("event pages: stopped at"),
                 qPrintable(r.err));

        // A store that breaks is not "done", and the file it came from is left as it was.
        halvo::sim::SimUnit cut;
        cut.setBannerInterval(100);
        cut.faults().hangUpAfterFrames = 4;
        QVERIFY(cut.start());
        const QByteArray restored = *halvo::datafile::Build_Data_File(halvo::config::Configuration());
        write(file, restored);
        r = cli({"restore", "--port", cut.devicePath(), "--pause-scale", "0.02", file});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("storing: stopped at ") && r.err.contains("the link to the unit broke") &&
                     !r.err.contains("done") && !r.err.contains("holds"),
                 qPrintable(r.err));
        QCOMPARE(halvo::test::readFile(file), restored);
        QCOMPARE(cut.receivedFrames().size(), 4);
    }

    // Two data files compared as verify compares the unit: one line per field, the
    // files' names as the sides; 0 the same, 3 different, 2 a file refused.
    void twoDataFilesAreCompared()
    {
        const QString a = dir.filePath("before.csv"), b = dir.filePath("after.csv");
        halvo::config::Configuration c;
        write(a, *halvo::datafile::Build_Data_File(c));
        auto row = c.passRow(14);
        row[halvo::passes::ColUserId] = "13";
        c.setPassRow(14, row);
        c.typeParam(2, "45");
        c.setAlias(4, "Gate West");
        write(b, *halvo::datafile::Build_Data_File(c));
        Run r = cli({"diff", a, a});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.isEmpty() && r.err.contains("hold the same configuration"));
        r = cli({"diff", a, b});
        QCOMPARE(r.status, 3);
        const QString was = halvo::config::Configuration().param(2),
                      zone = halvo::config::Configuration().alias(4).left(16);
        QCOMPARE(r.out, QStringLiteral("pass 14 User ID: %1 14, %2 13\n"
                                       "setting Backlight Timeout (sec): %1 %3, %2 45\n"
                                       "location 0x05: %1 \"%4\", %2 \"Gate West       \"\n")
                            .arg(a, b, was, zone));
        write(b, "\"not a data file\"\r\n");
        r = cli({"diff", a, b});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("Load File Encountered an error") && r.err.contains(b), qPrintable(r.err));
    }

    // Records from a data file or the unit: the sheet, the roster out and back in.
    void sheetsAndRostersFromTheCommandLine()
    {
        const QString file = dir.filePath("records.csv"), pdf = dir.filePath("records.pdf");
        QCOMPARE(cli({"sheet", "--demo", pdf}).status, 0);
        QVERIFY(halvo::test::readFile(pdf).startsWith("%PDF-1.4"));
        write(file, *halvo::datafile::Build_Data_File(halvo::config::Configuration()));
        QCOMPARE(cli({"sheet", file, pdf, "--page-size", "letter"}).status, 0);
        QCOMPARE(cli({"sheet", pdf}).status, 2); // neither a data file nor a unit

        const QString roster = dir.filePath("roster.csv"), out = dir.filePath("out.csv");
        QCOMPARE(cli({"roster", "export", file, roster}).status, 0);
        QByteArray csv = halvo::test::readFile(roster);
        write(roster, csv.replace("\"Username 7      \"", "\"Gate Keeper\""));
        QCOMPARE(cli({"roster", "import", file, roster, out}).status, 0);
        const Run r = cli({"restore", "--dry-run", out});
        QVERIFY(r.out.contains(QByteArray("Gate Keeper     ").toHex(' ').toUpper()));
        write(roster, csv.replace("\"7\",\"Gate Keeper\"", "\"99\",\"Gate Keeper\""));
        const Run bad = cli({"roster", "import", file, roster, dir.filePath("refused.csv")});
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.err.contains("row 8, Index: \"99\" is not a pass 1 to 72"), qPrintable(bad.err));
        QVERIFY(!QFile::exists(dir.filePath("refused.csv")));
        QCOMPARE(cli({"locations", "export", file, roster}).status, 0);
        QCOMPARE(cli({"locations", "import", file, roster, out}).status, 0);
        // Out and back in unchanged: the same data file, byte for byte.
        QCOMPARE(cli({"roster", "export", file, roster}).status, 0);
        QCOMPARE(cli({"roster", "import", file, roster, out}).status, 0);
        QCOMPARE(halvo::test::readFile(out), halvo::test::readFile(file));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
