// The recorder beside a session on the simulated unit: what each run found becomes a
// version in a real repository, only when it was checked, and nothing a run does
// waits for it or fails because of it.
#include "eventlog/event_archive.h"
#include "recorder/events_place.h"
#include "recorder/lock_holders.h"
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"

#include "config/configuration.h"
#include "session/run.h"
#include "session/unit_session.h"
#include "sim_link.h"
#include "sim_unit.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/plain_git.h"

#include <cstdio>

using namespace halvo;
using session::Run;
using session::RunResult;

namespace {

using halvo::test::plainGit;

// The operator's answers, and what was asked.
struct Answers : recorder::RecordQuestions
{
    std::optional<QString> name = QStringLiteral("Engine 3");
    bool same = true;
    std::optional<QString> who = QStringLiteral("Bob Tech");
    QStringList asked;
    std::optional<QString> nameUnit(const QString &banner, const QStringList &sameBanner) override
    {
        asked << QStringLiteral("name? ") + banner +
                     (sameBanner.isEmpty() ? QString() : " not " + sameBanner.join(", "));
        return name;
    }
    std::optional<QString> operatorName(const QString &offered) override
    {
        asked << QStringLiteral("who? ") + offered;
        return who;
    }
    bool isThisUnit(const QString &unitName, const QString &) override
    {
        asked << QStringLiteral("is this %1?").arg(unitName);
        return same;
    }
};

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<sim::SimUnit> unit;
    std::unique_ptr<session::UnitSession> s;
    config::Configuration config;
    Answers answers;
    std::unique_ptr<recorder::UnitRecorder> recorder;

    QString records() const { return dir.filePath("Halvo Records"); }
    QString pending() const { return dir.filePath("pending-versions.json"); }
    QString git(const QString &args) const { return plainGit(records(), args); }

    RunResult finish(Run *run)
    {
        QSignalSpy ended(run, &Run::finished);
        if (run->running())
            [&] { QVERIFY(ended.wait(20000)); }();
        return run->result();
    }
    // A run, then the recorder's word on it.
    QString recordedAfter(Run *run)
    {
        QSignalSpy recorded(recorder.get(), &recorder::UnitRecorder::recorded),
            failed(recorder.get(), &recorder::UnitRecorder::notRecorded);
        finish(run);
        if (!recorder->idle())
            [&] { QVERIFY(QSignalSpy(recorder.get(), &recorder::UnitRecorder::idleAgain).wait(10000)); }();
        if (!recorded.isEmpty())
            return recorded.last().at(1).toString();
        return failed.isEmpty() ? QString() : failed.last().at(0).toString();
    }
    // A recorder as the tool starts one, knowing nothing yet of the units met.
    void startRecorder()
    {
        recorder = std::make_unique<recorder::UnitRecorder>(*s, answers, nullptr,
                                                            recorder::PendingVersions(pending()));
        recorder->setFolder(records());
        recorder->setAuthor({QStringLiteral("Ann Operator"), QStringLiteral("desk-pc")});
    }
    void renamePass14(const QByteArray &name)
    {
        auto row = config.passRow(14);
        row[1] = QString::fromLatin1(name.leftJustified(16));
        config.setPassRow(14, row);
    }

private slots:
    void init()
    {
        QDir(records()).removeRecursively();
        answers = Answers();
        unit = std::make_unique<sim::SimUnit>();
        unit->setBannerInterval(50);
        s = std::make_unique<session::UnitSession>(
            session::SessionSeams{std::make_unique<sim::SimLink>(*unit), {}});
        config = config::Configuration();
        s->setConfiguration(&config);
        session::SessionTiming t;
        t.pauseScale = t.eventScale = 0.01;
        t.readMs = t.readBackMs = 5000;
        s->setTiming(t);
        QFile::remove(pending());
        startRecorder();
        QVERIFY(finish(s->connectTo(sim::SimLink::Demo_Path(), 5000)).ok());
    }
    void cleanup()
    {
        recorder.reset();
        s.reset();
        unit.reset();
    }

    // A unit the records know keeps its new events in its folder there, one version for
    // each download that appended lines; nothing new, or an archive chosen elsewhere,
    // records nothing.
    void newEventsAreKeptBesideTheUnit()
    {
        QCOMPARE(s->archiveFor({}), QString()); // not in the records yet, and nothing asked
        QVERIFY(answers.asked.isEmpty());
        recordedAfter(s->read({config::Part::Settings}));
        const QString month = QDate::currentDate().toString("yyyy-MM");
        const QString archive = records() + "/Engine 3/events/desk-pc/" + month + ".txt";
        QCOMPARE(s->archiveFor({}), archive);
        const QString elsewhere = dir.filePath("events.txt");
        QCOMPARE(s->archiveFor(elsewhere), elsewhere);
        QCOMPARE(s->archiveFor(records() + "/Engine 3/events/desk-pc/2020-01.txt"), archive);

        QCOMPARE(recordedAfter(s->downloadNewEvents(archive, 2)),
                 QStringLiteral("recorded as version 2 of Engine 3"));
        QCOMPARE(git("log -1 --format=%s"),
                 QStringLiteral("Read 8 new event lines (2 pages) from the unit on %1 "
                                "into events/desk-pc/%2.txt")
                     .arg(sim::SimLink::Demo_Path(), month));
        QCOMPARE(git("status --porcelain"), QString());
        QCOMPARE(git(QStringLiteral("show 'HEAD:Engine 3/events/desk-pc/%1.txt'").arg(month)).count('\n'), 7);
        QCOMPARE(git("log -1 --format=%an --stat").count(".halvo-record"), 1);

        QCOMPARE(recordedAfter(s->downloadNewEvents(archive, 2)), QString()); // nothing new
        // A version made once enough loose objects have gathered packs them.
        QVERIFY(!git("count-objects -v").contains("count: 0"));
        recorder->setPackThreshold(1);
        unit->addEventPages(1);
        QCOMPARE(recordedAfter(s->downloadNewEvents(archive, 2)),
                 QStringLiteral("recorded as version 3 of Engine 3"));
        QVERIFY2(git("count-objects -v").contains("count: 0"), qPrintable(git("count-objects -v")));
        QCOMPARE(git("fsck --strict --no-dangling"), QString());
        unit->addEventPages(1);
        QVERIFY(finish(s->downloadNewEvents(elsewhere, 1)).ok());
        QCOMPARE(git("rev-list --count HEAD"), QStringLiteral("3"));
        QVERIFY(recorder->idle());
    }

    // Downloads into the records while they cannot be written each wait, in order. The
    // first to be written takes the archive as it is by then, every line of both; the
    // second finds it recorded.
    void eventVersionsWaitTheirTurn()
    {
        recordedAfter(s->read({config::Part::Settings}));
        const QString archive = s->archiveFor({});
        QVERIFY(QDir(records()).rename(".git", ".git-away")); // a folder of files, not records
        QVERIFY(recordedAfter(s->downloadNewEvents(archive, 1)).startsWith("not recorded yet: "));
        unit->addEventPages(2);
        QVERIFY(recordedAfter(s->downloadNewEvents(archive, 1)).contains("2 versions wait"));
        QVERIFY(QDir(records()).rename(".git-away", ".git"));
        QSignalSpy recorded(recorder.get(), &recorder::UnitRecorder::recorded);
        recorder->retry();
        QTRY_COMPARE(recorded.size(), 2);
        QCOMPARE(recorded.at(0).at(1).toString(), QStringLiteral("recorded as version 2 of Engine 3"));
        QCOMPARE(recorded.at(1).at(1).toString(), QStringLiteral("unchanged since version 2 of Engine 3"));
        QCOMPARE(recorder->waiting(), 0);
        const QString file = archive.mid(archive.indexOf("events/"));
        QCOMPARE(git("log -1 --format=%s"),
                 QStringLiteral("Read 4 new event lines (1 page) from the unit on %1 into %2")
                     .arg(sim::SimLink::Demo_Path(), file));
        QCOMPARE(git("show 'HEAD:Engine 3/" + file + "'").count('\n'), 11); // 12 lines
        QCOMPARE(git("status --porcelain"), QString());
    }

    // An event version that waits is kept with its files and counts, and is still one
    // after a restart; a configuration version stays one.
    void aWaitingEventVersionKeepsItsFiles()
    {
        const recorder::PendingVersions list(pending());
        recorder::PendingVersion events, read;
        events.id = "1";
        events.meeting.port = "/dev/ttyUSB0";
        events.events =
            records::UnitRecords::EventsFound{{"events/desk-pc/2026-12.txt", "x.halvo-record"}, {}, 48, 12};
        read.id = "2";
        QVERIFY(list.update([&](std::vector<recorder::PendingVersion> &l) { l = {events, read}; }));
        const auto back = list.list();
        QCOMPARE(back.size(), size_t(2));
        QVERIFY(back.at(0).events && !back.at(1).events);
        QCOMPARE(back.at(0).events->files, events.events->files);
        QCOMPARE(back.at(0).events->port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(back.at(0).events->lines, 48);
        QCOMPARE(back.at(0).events->pages, 12);
    }

    // The program that has the records' lock open is named by the system; a lock no
    // program has open is nobody's.
    void theLocksHolderIsNamed()
    {
        const QString lock = dir.filePath("index.lock");
        QVERIFY(QFile(lock).open(QIODevice::WriteOnly));
        QCOMPARE(recorder::Lock_Holders(lock), QStringList());
        QProcess holder;
        holder.start("sh", {"-c", "exec 3>>\"$0\"; echo held; read x", lock});
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(recorder::Lock_Holders(lock),
                 QStringList{QStringLiteral("sh (process %1)").arg(holder.processId())});
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
    }

    // A month's file begins where this PC's newest earlier one ended; its own record,
    // once it has one, is left as it is.
    void aNewMonthStartsWhereTheLastEnded()
    {
        const QString unitFolder = dir.filePath("Gate");
        const QString kept = unitFolder + "/events/desk-pc/";
        QDir().mkpath(kept);
        for (const auto &[month, end] : {std::pair{"2026-10", 100}, {"2026-11", 200}, {"2027-01", 300}}) {
            eventlog::ArchiveRecord r;
            r.endPage = end;
            r.unitId = "Halvo Base Unit";
            r.savedAt = QDateTime::currentDateTime();
            QVERIFY(eventlog::Write_Record(kept + month + ".txt", r));
        }
        const QString archive = recorder::Month_Archive(unitFolder, "desk-pc", QDate(2026, 12, 9));
        QCOMPARE(archive, kept + "2026-12.txt");
        QString why;
        QCOMPARE(eventlog::Read_Record(archive, &why).value_or(eventlog::ArchiveRecord{}).endPage, 200);
        QVERIFY(!QFile::exists(archive)); // the lines come with the first download
        eventlog::ArchiveRecord own;
        own.endPage = 250;
        own.savedAt = QDateTime::currentDateTime();
        QVERIFY(eventlog::Write_Record(archive, own));
        recorder::Month_Archive(unitFolder, "desk-pc", QDate(2026, 12, 31));
        QCOMPARE(eventlog::Read_Record(archive, &why).value_or(eventlog::ArchiveRecord{}).endPage, 250);
        const QString first = recorder::Month_Archive(unitFolder, "van-laptop", QDate(2026, 12, 9));
        QVERIFY(!eventlog::Read_Record(first, &why) && why.isEmpty()); // nothing to carry: a first one
    }

    // A read, a checked store, a store of what the unit holds already and an unchecked
    // store: two versions, written as the unit was found, by who and how.
    void checkedRunsBecomeVersions()
    {
        QCOMPARE(
            recordedAfter(s->read({config::Part::Passes, config::Part::Settings, config::Part::Locations})),
            QStringLiteral("recorded as version 1 of Engine 3"));
        QCOMPARE(answers.asked, QStringList{"name? " + s->identification().trimmed()});
        QCOMPARE(git("log --format='%an|%ae|%s'"),
                 QStringLiteral(
                     "Ann Operator|desk-pc|Read from the unit on %1: pass table, settings, location names")
                     .arg(sim::SimLink::Demo_Path()));

        renamePass14("Night Porter");
        QCOMPARE(recordedAfter(s->storeItems({{config::Part::Passes, 14}}, config)),
                 QStringLiteral("recorded as version 2 of Engine 3"));
        QCOMPARE(git("log -1 --format=%s"),
                 QStringLiteral("Stored 1 change: pass 14 User Names \"Night Porter\""));
        QVERIFY(git("show HEAD:'Engine 3/configuration.csv'").contains("Night Porter"));

        // The unit holds it already: no version, and the line says which one it is.
        QCOMPARE(recordedAfter(s->storeItems({{config::Part::Passes, 14}}, config)),
                 QStringLiteral("unchanged since version 2 of Engine 3"));
        // Sent and not read back: nothing is known of what the unit took.
        renamePass14("Day Porter");
        config::StorePlan plan = *config::Items_Store_Plan(config, {{config::Part::Passes, 14}});
        QCOMPARE(recordedAfter(s->store(plan, false)), QString());
        QCOMPARE(git("rev-list --count HEAD"), QStringLiteral("2"));
        QCOMPARE(answers.asked.size(), 1); // the unit is known now
    }

    // What the unit did not take goes into the message; the version holds what the read
    // back found, not what was sent.
    void whatTheUnitDidNotTakeIsSaid()
    {
        QCOMPARE(recordedAfter(s->read({config::Part::Passes})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        unit->faults().dropStores = {0, 1, 2}; // pass 14, each time it is sent
        renamePass14("Night Porter");
        const QString said = recordedAfter(s->storeItems({{config::Part::Passes, 14}}, config));
        QCOMPARE(said, QStringLiteral("unchanged since version 1 of Engine 3"));
        unit->faults().dropStores = {};
        renamePass14("Day Porter");
        auto row = config.passRow(15);
        row[1] = QStringLiteral("Night Porter    ");
        config.setPassRow(15, row);
        unit->faults().dropStores = {4, 5, 6}; // pass 15, each time it is sent (stores count on)
        QCOMPARE(
            recordedAfter(s->storeItems({{config::Part::Passes, 14}, {config::Part::Passes, 15}}, config)),
            QStringLiteral("recorded as version 2 of Engine 3"));
        const QString message = git("log -1 --format=%B");
        QVERIFY2(message.startsWith(
                     "Stored 1 change: pass 14 User Names \"Day Porter\"\n\nThe unit did not take: "),
                 qPrintable(message));
        QVERIFY(!git("show HEAD:'Engine 3/configuration.csv'").contains("Night Porter"));
    }

    // Who records is asked once, before the first version, when nobody was given.
    void theOperatorIsAskedForOnce()
    {
        recorder->setAuthor({});
        answers.who.reset();
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("not recorded: no name was given to record it by"));
        QVERIFY(answers.asked.first().startsWith("who? "));
        answers.who = QStringLiteral("Bob Tech");
        answers.asked.clear();
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        QCOMPARE(recordedAfter(s->read({config::Part::Locations})),
                 QStringLiteral("recorded as version 2 of Engine 3"));
        QCOMPARE(answers.asked.filter("who?").size(), 1);
        QCOMPARE(git("log -1 --format=%an"), QStringLiteral("Bob Tech"));
    }

    // Records are kept by default, in the documents folder, unless told otherwise; with
    // none kept there is nothing to sync, and it is said.
    void whereTheRecordsAreKept()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QSettings::UserScope, "halvo", "records").clear();
        QVERIFY(recorder::Records_Kept());
        QCOMPARE(recorder::Kept_Records_Folder(), recorder::Default_Records_Folder());
        QVERIFY(recorder::Default_Records_Folder().endsWith("/Halvo Records"));
        qputenv("HALVO_RECORDS", "/from/env");
        QCOMPARE(recorder::Records_Folder_For("/given", false), QStringLiteral("/given"));
        QCOMPARE(recorder::Records_Folder_For({}, false), QStringLiteral("/from/env"));
        QCOMPARE(recorder::Records_Folder_For("/given", true), QString());
        qunsetenv("HALVO_RECORDS");
        recorder::Keep_Records(false);
        QCOMPARE(recorder::Records_Folder_For({}, false), QString());
        QSettings(QSettings::UserScope, "halvo", "records").clear();
        QStandardPaths::setTestModeEnabled(false);

        recorder->setFolder({});
        QSignalSpy synced(recorder.get(), &recorder::UnitRecorder::synced);
        recorder->sync();
        QCOMPARE(synced.size(), 1);
        QVERIFY(!synced.first().at(0).toBool());
        QCOMPARE(synced.first().at(1).toString(), QStringLiteral("not shared: no records are kept"));
    }

    // Records that cannot be written say why; the read is done all the same, and what it
    // found waits, in order, until the records can be written.
    void whatCannotBeRecordedWaitsInOrder()
    {
        QVERIFY(QDir().mkpath(records()));
        QFile letter(records() + "/letter.txt");
        QVERIFY(letter.open(QIODevice::WriteOnly) && letter.write("dear\n") > 0);
        letter.close();
        Run *read = s->read({config::Part::Settings});
        QSignalSpy ended(read, &Run::finished);
        QString said = recordedAfter(read);
        QVERIFY2(
            said.startsWith("not recorded yet: ") && said.contains("is not a records repository") &&
                said.endsWith("The version waits for the records, and is recorded once they can be written."),
            qPrintable(said));
        QVERIFY(ended.first().at(0).value<RunResult>().ok());
        QVERIFY(!QFile::exists(records() + "/.git"));
        said = recordedAfter(s->read({config::Part::Locations}));
        QVERIFY2(said.contains("2 versions wait for the records, and are recorded"), qPrintable(said));
        QCOMPARE(recorder->waiting(), 2);
        QCOMPARE(answers.asked.filter("name?").size(), 0); // asked once the records can say who it is

        // Kept across a restart of the tool.
        recorder = std::make_unique<recorder::UnitRecorder>(*s, answers, nullptr,
                                                            recorder::PendingVersions(pending()));
        recorder->setFolder(records());
        QCOMPARE(recorder->waiting(), 2);
        QVERIFY(QFile::remove(records() + "/letter.txt"));
        QSignalSpy recorded(recorder.get(), &recorder::UnitRecorder::recorded);
        recorder->retry();
        QTRY_COMPARE(recorded.size(), 2);
        QCOMPARE(recorder->waiting(), 0);
        QCOMPARE(
            git("log --format=%s"),
            QStringLiteral("Read from the unit on %1: location names\nRead from the unit on %1: settings")
                .arg(sim::SimLink::Demo_Path()));
        QCOMPARE(git("log -1 --format=%an"), QStringLiteral("Ann Operator")); // who it was, not who retried
    }

    // A sync asked for as a version is kept waits for it, and is not refused; the next
    // version, kept while that sync goes, is written after it and shared in turn.
    void aSyncWaitsItsTurnBesideTheVersions()
    {
        QCOMPARE(plainGit(dir.path(), "init -q --bare department.git"), QString());
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        QSignalSpy synced(recorder.get(), &recorder::UnitRecorder::synced);
        Run *read = s->read({config::Part::Locations});
        connect(read, &Run::finished, this, [this] { recorder->shareWith(dir.filePath("department.git")); });
        QCOMPARE(recordedAfter(read), QStringLiteral("recorded as version 2 of Engine 3"));
        QTRY_VERIFY(recorder->idle() && synced.size() >= 2);
        for (const QList<QVariant> &end : synced)
            QVERIFY2(end.at(0).toBool(), qPrintable(end.at(1).toString()));
        QCOMPARE(synced.last().at(2).toInt(), 0);
        QCOMPARE(plainGit(dir.filePath("department.git"), "rev-list --count HEAD"), QStringLiteral("2"));
        QSignalSpy idleAgain(recorder.get(), &recorder::UnitRecorder::idleAgain);
        recorder->sync(); // alone, it says when it is done
        QVERIFY(idleAgain.wait(10000));
        QVERIFY(synced.last().at(0).toBool());
    }

    // Looking ahead for which unit is on the session makes nothing: a run that finds
    // nothing leaves no records behind.
    void aRunThatFindsNothingMakesNoRecords()
    {
        Run *read = s->read({config::Part::Passes});
        read->stop();
        QCOMPARE(recordedAfter(read), QString()); // the look ahead has ended
        QVERIFY(!QFile::exists(records()));
    }

    // halvo-cli asks about each unit of the records with the banner of one it cannot
    // tell apart; when it is none of them, it has no archive there.
    void anArchiveIsAskedForByBanner()
    {
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        startRecorder();
        QCOMPARE(s->archiveFor({}), QString()); // the window asks nothing for this
        recorder->askWhichUnitForEvents(true);
        answers.asked.clear();
        answers.same = false;
        QCOMPARE(s->archiveFor({}), QString());
        QCOMPARE(answers.asked, QStringList{"is this Engine 3?"});
        answers.same = true;
        QCOMPARE(s->archiveFor({}),
                 records() + "/Engine 3/events/desk-pc/" + QDate::currentDate().toString("yyyy-MM") + ".txt");
    }

    // What was looked up ahead in one records folder is not taken for another: a unit
    // another folder knows is new to this one, and named for it.
    void anotherFolderLooksAgain()
    {
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        startRecorder();
        Run *stopped = s->read({config::Part::Settings}); // looks ahead, and records nothing
        stopped->stop();
        QCOMPARE(recordedAfter(stopped), QString()); // the look ahead's answer has come in

        recorder->setFolder(dir.filePath("Other Records"));
        answers.asked.clear();
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        QCOMPARE(answers.asked, QStringList{"name? " + s->identification().trimmed()});
    }

    // A unit left unnamed is not recorded; a unit whose banner the records know, met
    // where nothing tells it apart, is asked about, and kept apart when it is another.
    void aUnitIsNamedOnceAndAskedAboutWhenItCouldBeAnother()
    {
        answers.name.reset();
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("not recorded: the unit was given no name"));
        QVERIFY(!QFile::exists(records() + "/Engine 3"));

        answers.name = QStringLiteral("Engine 3");
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));

        // Another PC's session, or this one started again: the same banner, no serial number.
        startRecorder();
        answers.asked.clear();
        answers.same = false;
        answers.name = QStringLiteral("Engine 3");
        QCOMPARE(recordedAfter(s->read({config::Part::Settings})),
                 QStringLiteral("recorded as version 1 of Engine 3"));
        QCOMPARE(answers.asked, (QStringList{"is this Engine 3?",
                                             "name? " + s->identification().trimmed() + " not Engine 3"}));
        QVERIFY(QFile::exists(records() + "/Engine 3 (2)/unit.txt"));
        QVERIFY(git("show HEAD:'Engine 3 (2)/unit.txt'").contains("Name: Engine 3\n"));
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "test_recorder.moc"
