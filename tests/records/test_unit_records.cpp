// The units in the records: who a unit is, what each read and store makes of its last
// version, and the words the history shows. Real repositories in temporary folders,
// read back with plain git.
#include "records/unit_records.h"

#include "config/differences.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/plain_git.h"

#include <cstdio>

using halvo::config::Configuration;
using halvo::config::Part;
using namespace halvo::records;

namespace {

using halvo::test::plainGit;

const Author Ann{QStringLiteral("Ann Operator"), QStringLiteral("desk-pc")};
const QDateTime Monday = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

Meeting met(const QString &adapter = QStringLiteral("FT4711A"), QDateTime when = Monday)
{
    return {QStringLiteral("Halvo Base Unit V2.04 SN 000417"), adapter, QStringLiteral("/dev/ttyUSB0"), when};
}

// A unit as a read finds it: pass 14 named, the backlight at 30 s, slot 7 "Lobby".
Configuration unitWith(const QString &pass14, const QString &backlight, const QString &slot7)
{
    Configuration c;
    auto row = c.passRow(14);
    row[1] = pass14.leftJustified(16);
    c.setPassRow(14, row);
    c.writeParam(2, backlight);
    c.setAlias(6, slot7.leftJustified(16)); // location code 0x07
    return c;
}

Finding readOf(const Configuration &unit,
               std::vector<Part> parts = {Part::Passes, Part::Settings, Part::Locations})
{
    Finding f;
    f.kind = Finding::Kind::Read;
    f.parts = std::move(parts);
    f.unit = unit;
    return f;
}

Finding storeOf(const Configuration &unit, std::vector<halvo::config::ItemRef> items, QString notTaken = {})
{
    Finding f;
    f.kind = Finding::Kind::Store;
    f.items = std::move(items);
    f.unit = unit;
    f.notTaken = std::move(notTaken);
    return f;
}

struct Records
{
    QTemporaryDir dir;
    std::unique_ptr<Repository> repository;
    std::unique_ptr<UnitRecords> units;
    Records()
    {
        QString why;
        repository = Repository::Open(dir.path(), &why);
        EXPECT_TRUE(repository) << why.toStdString();
        units = std::make_unique<UnitRecords>(*repository);
    }
    Recorded record(const Finding &f, Meeting m = met(), const QString &unit = QStringLiteral("Engine 3"))
    {
        QString why;
        const auto r = units->record(unit, QStringLiteral("Engine 3"), m, f, Ann, &why);
        EXPECT_TRUE(r) << why.toStdString();
        return r.value_or(Recorded{});
    }
    std::string git(const QString &args) const { return plainGit(dir.path(), args).toStdString(); }
};

} // namespace

TEST(UnitFile, ReadsBackWhatItWrites)
{
    UnitFile u;
    u.name = QStringLiteral("Engine 3");
    u.banner = QStringLiteral("Halvo Base Unit V2.04 SN 000417");
    u.adapters = QStringList{"FT4711A", "FT0042"};
    u.firstSeen = Monday;
    u.lastSeen = Monday.addDays(1);
    u.learn(Part::Passes);
    u.learn(Part::Locations);
    const QByteArray text = u.text();
    EXPECT_EQ(text,
              "Name: Engine 3\nBanner: Halvo Base Unit V2.04 SN 000417\nAdapter: FT4711A\nAdapter: FT0042\n"
              "First seen: 2026-12-07T09:00:00Z\nLast seen: 2026-12-08T09:00:00Z\n"
              "Known: pass table, location names\nNot known: settings\n");
    const auto back = UnitFile::Parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, u.name);
    EXPECT_EQ(back->banner, u.banner);
    EXPECT_EQ(back->adapters, u.adapters);
    EXPECT_EQ(back->firstSeen, u.firstSeen);
    EXPECT_EQ(back->lastSeen, u.lastSeen);
    EXPECT_FALSE(back->lastUnchanged.isValid());
    EXPECT_EQ(back->known, u.known);

    QString why;
    EXPECT_FALSE(UnitFile::Parse("Banner: x\n", &why));
    EXPECT_EQ(why, "unit.txt names no unit");
    EXPECT_FALSE(UnitFile::Parse("Name: x\n", &why));
    EXPECT_EQ(why, "unit.txt gives no banner");
}

// The first read makes version 1 with what was read; a read that finds the same makes
// none and says when it found it so; a read that finds a change makes version 2.
TEST(UnitRecords, AReadIsRecordedOnlyWhenTheUnitChanged)
{
    Records r;
    const Recorded first = r.record(readOf(unitWith("Night Porter", "30", "Lobby")));
    EXPECT_EQ(first.version, 1);
    EXPECT_FALSE(first.unchanged);
    EXPECT_EQ(r.git("log --format=%s"),
              "Read from the unit on /dev/ttyUSB0: pass table, settings, location names");
    EXPECT_EQ(r.git("show HEAD:'Engine 3/configuration.csv'").substr(0, 3), "\"-!");

    const Recorded again =
        r.record(readOf(unitWith("Night Porter", "30", "Lobby")), met("FT4711A", Monday.addDays(1)));
    EXPECT_TRUE(again.unchanged);
    EXPECT_EQ(again.version, 1);
    EXPECT_EQ(r.git("rev-list --count HEAD"), "1");
    const auto seen = r.units->unitFile("Engine 3");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->lastUnchanged, Monday.addDays(1));
    EXPECT_EQ(seen->firstSeen, Monday);

    const Recorded changed =
        r.record(readOf(unitWith("Day Porter", "30", "Lobby")), met("FT4711A", Monday.addDays(2)));
    EXPECT_EQ(changed.version, 2);
    EXPECT_FALSE(changed.unchanged);
    const auto last = r.units->last("Engine 3");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->configuration.passRow(14)[1].trimmed(), "Day Porter");
    EXPECT_EQ(last->unit.lastUnchanged, Monday.addDays(1)); // carried into the version
    EXPECT_EQ(last->unit.lastSeen, Monday.addDays(2));
    EXPECT_EQ(r.git("status --porcelain"), "");
}

// A read of one part changes only that part of the last version; parts never read stay
// "not known", and the differences between versions never show them.
TEST(UnitRecords, OnePartReadLeavesTheOthersAsTheyWere)
{
    Records r;
    r.record(readOf(unitWith("Night Porter", "30", "Lobby"), {Part::Passes}));
    auto v1 = r.units->last("Engine 3");
    ASSERT_TRUE(v1);
    EXPECT_TRUE(v1->unit.knows(Part::Passes));
    EXPECT_FALSE(v1->unit.knows(Part::Settings));
    EXPECT_NE(r.git("show HEAD:'Engine 3/unit.txt'").find("Not known: settings, location names"),
              std::string::npos);

    // The settings read from a unit whose pass table has changed since: the version keeps
    // the pass table it knew.
    r.record(readOf(unitWith("Someone Else", "60", "Hall"), {Part::Settings}));
    auto v2 = r.units->last("Engine 3");
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->configuration.passRow(14)[1].trimmed(), "Night Porter");
    EXPECT_EQ(v2->configuration.param(2), "60");
    EXPECT_TRUE(v2->unit.knows(Part::Settings));
    EXPECT_FALSE(v2->unit.knows(Part::Locations));

    const auto d = Compare_Versions(*v1, *v2);
    EXPECT_TRUE(d.fields.empty()); // the settings were not known in version 1
    EXPECT_EQ(d.notRead, (QStringList{"settings", "location names"}));
}

// A checked store names what the unit holds now that it did not before, with the
// window's names for the fields; what the unit did not take follows.
TEST(UnitRecords, AStoreSaysWhatChanged)
{
    Records r;
    r.record(readOf(unitWith("Pass Device 14", "30", "Zone 7")));
    r.record(storeOf(unitWith("Night Porter", "60", "Boiler Room"),
                     {{Part::Passes, 14}, {Part::Settings, 0}, {Part::Locations, 6}}));
    EXPECT_EQ(r.git("log -1 --format=%B"),
              "Stored 3 changes: pass 14 User Names \"Night Porter\"; setting Backlight Timeout (sec) 60; "
              "location 0x07 \"Boiler Room\"");

    // One item the unit took, one it did not: the version holds what the read back found.
    r.record(storeOf(unitWith("Day Porter", "60", "Boiler Room"), {{Part::Passes, 14}, {Part::Locations, 6}},
                     "The unit did not take: location 0x07 (sent 3 times)."));
    EXPECT_EQ(r.git("log -1 --format=%B"), "Stored 1 change: pass 14 User Names \"Day Porter\"\n\n"
                                           "The unit did not take: location 0x07 (sent 3 times).");
    const auto history = r.repository->history("Engine 3");
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].summary, "Stored 1 change: pass 14 User Names \"Day Porter\"");

    // Stored, and found as the last version had it: nothing to record.
    const Recorded same =
        r.record(storeOf(unitWith("Day Porter", "60", "Boiler Room"), {{Part::Passes, 14}}));
    EXPECT_TRUE(same.unchanged);
    EXPECT_EQ(r.git("rev-list --count HEAD"), "3");
}

// A store to a unit the records never read says so, and makes a part known only once
// all of it was read back.
TEST(UnitRecords, AStoreToANewUnitShowsNoStartUpValuesAsTheUnits)
{
    Records r;
    std::vector<halvo::config::ItemRef> all;
    for (int s = 0; s < 50; ++s)
        all.push_back({Part::Locations, s});
    r.record(storeOf(unitWith("Night Porter", "60", "Boiler Room"), all));
    EXPECT_EQ(r.git("log -1 --format=%s"), "Stored the location names, not recorded before");
    r.record(storeOf(unitWith("Night Porter", "60", "Boiler Room"), {{Part::Passes, 14}}));
    EXPECT_EQ(r.git("log -1 --format=%s"), "Stored pass 14, in a pass table never read");
    const auto last = r.units->last("Engine 3");
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->unit.knows(Part::Locations));
    EXPECT_FALSE(last->unit.knows(Part::Passes));
}

// A unit is known again by its banner with its adapter's serial number. The same banner
// through another adapter, or through one without a serial number, is only a candidate.
TEST(UnitRecords, AUnitIsKnownByItsBannerAndAdapter)
{
    Records r;
    r.record(readOf(unitWith("a", "30", "b")));
    auto found = r.units->find(met());
    ASSERT_TRUE(found.unit);
    EXPECT_EQ(*found.unit, "Engine 3");

    found = r.units->find(met("FT0042"));
    EXPECT_FALSE(found.unit);
    EXPECT_EQ(found.sameBanner, QStringList{"Engine 3"});

    found = r.units->find(met(QString()));
    EXPECT_FALSE(found.unit);
    EXPECT_EQ(found.sameBanner, QStringList{"Engine 3"});

    Meeting other = met();
    other.banner = QStringLiteral("Halvo Base Unit V2.04 SN 000999");
    found = r.units->find(other);
    EXPECT_FALSE(found.unit);
    EXPECT_TRUE(found.sameBanner.isEmpty());

    // Met through a second adapter and said to be the same unit: both adapters known.
    r.record(readOf(unitWith("a", "30", "b")), met("FT0042", Monday.addDays(1)));
    EXPECT_EQ(r.units->find(met("FT0042")).unit, QString("Engine 3"));
    EXPECT_EQ(r.units->unitFile("Engine 3")->adapters, (QStringList{"FT4711A", "FT0042"}));

    // A second unit named like the first gets a folder of its own.
    EXPECT_EQ(r.units->newFolder("Engine 3"), QString("Engine 3 (2)"));
    EXPECT_EQ(r.units->newFolder("engine 3"), QString("engine 3 (2)"));
    EXPECT_EQ(r.units->newFolder("Gate: North"), QString("Gate_ North"));
    QString why;
    EXPECT_FALSE(r.units->newFolder("..", &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(UnitRecords, ABrokenVersionIsNamedNotOverwritten)
{
    Records r;
    r.record(readOf(unitWith("a", "30", "b")));
    QString why;
    ASSERT_TRUE(r.repository->record("Engine 3", {{"configuration.csv", "not a data file\n"}}, Ann, "by hand",
                                     nullptr, &why));
    EXPECT_FALSE(r.units->record("Engine 3", "Engine 3", met(), readOf(unitWith("c", "30", "b")), Ann, &why));
    EXPECT_TRUE(why.contains("the last version of Engine 3 cannot be read: configuration.csv"))
        << why.toStdString();
    EXPECT_EQ(r.git("rev-list --count HEAD"), "2");
}

// "Who Changed This?": the version that last changed an item, not the last version.
TEST(UnitRecords, TheVersionThatLastChangedAnItemIsFound)
{
    Records r;
    EXPECT_FALSE(r.units->lastChanged("Engine 3", Part::Passes, 14));
    r.record(readOf(unitWith("Pass Device 14", "30", "Zone 7"), {Part::Passes, Part::Locations}));
    r.record(storeOf(unitWith("Night Porter", "30", "Zone 7"), {{Part::Passes, 14}}));
    r.record(storeOf(unitWith("Night Porter", "30", "Boiler Room"), {{Part::Locations, 6}}));
    r.record(readOf(unitWith("Night Porter", "60", "Boiler Room"), {Part::Settings}));
    const auto pass = r.units->lastChanged("Engine 3", Part::Passes, 14);
    ASSERT_TRUE(pass);
    EXPECT_EQ(pass->number, 2);
    EXPECT_EQ(r.units->lastChanged("Engine 3", Part::Passes, 15)->number, 1); // as first read
    EXPECT_EQ(r.units->lastChanged("Engine 3", Part::Locations, 6)->number, 3);
    EXPECT_EQ(r.units->lastChanged("Engine 3", Part::Settings, 2)->number, 4); // first known there
}

// Event files are taken as the folder holds them, never written over; only a unit with
// a version keeps them, and nothing outside the unit's folder is taken.
TEST(UnitRecords, EventsAreTakenAsTheFolderHoldsThem)
{
    Records r;
    const QString file = Events_File(QStringLiteral("desk/pc:2"), QDate(2026, 12, 9));
    EXPECT_EQ(file.toStdString(), "events/desk_pc_2/2026-12.txt");
    UnitRecords::EventsFound found{{file}, QStringLiteral("/dev/ttyUSB0"), 4, 1};
    QString why;
    EXPECT_FALSE(r.units->recordEvents(QStringLiteral("Engine 3"), found, Ann, &why));
    EXPECT_EQ(why.toStdString(), "Engine 3 has no version in the records to keep its events beside");
    // A unit file in the folder that no version holds (written by hand, or left by a
    // version that failed) is no version either, events beside it or not.
    QDir(r.dir.path()).mkpath("Engine 3/events/desk_pc_2");
    QFile lines(r.dir.filePath("Engine 3/" + file));
    ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
    lines.write("\" Page 00496 Ev 1\r\n");
    lines.flush();
    QFile loose(r.dir.filePath("Engine 3/unit.txt"));
    ASSERT_TRUE(loose.open(QIODevice::WriteOnly));
    UnitFile byHand;
    byHand.name = QStringLiteral("Engine 3");
    byHand.banner = met().banner;
    loose.write(byHand.text());
    loose.close();
    ASSERT_TRUE(r.units->unitFile(QStringLiteral("Engine 3")));
    EXPECT_FALSE(r.units->recordEvents(QStringLiteral("Engine 3"), found, Ann, &why));
    EXPECT_EQ(r.git("rev-list --all --count"), "0");
    ASSERT_TRUE(loose.remove());

    r.record(readOf(unitWith("Night Porter", "30", "Lobby")));
    const auto events = r.units->recordEvents(QStringLiteral("Engine 3"), found, Ann, &why);
    ASSERT_TRUE(events) << why.toStdString();
    EXPECT_EQ(events->version, 2);
    EXPECT_EQ(events->name.toStdString(), "Engine 3");
    EXPECT_EQ(
        r.git("log -1 --format=%s"),
        "Read 4 new event lines (1 page) from the unit on /dev/ttyUSB0 into events/desk_pc_2/2026-12.txt");
    EXPECT_EQ(r.git("show 'HEAD:Engine 3/events/desk_pc_2/2026-12.txt'"), "\" Page 00496 Ev 1");
    EXPECT_EQ(r.git("status --porcelain"), "");

    found.files = {QStringLiteral("../Gate/unit.txt")};
    EXPECT_FALSE(r.units->recordEvents(QStringLiteral("Engine 3"), found, Ann, &why));
    EXPECT_EQ(why.toStdString(), "\"Engine 3/../Gate/unit.txt\" is not a file of a unit's folder");
}
