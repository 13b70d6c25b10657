// The configuration model: what a fresh tool holds, how replies and edits change
// it, the store plans built from it, and what counts as a difference.
#include "config/differences.h"
#include "config/store_plan.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace halvo;
using config::Configuration;
using config::Limit;

namespace {
settings::SettingsPage page(settings::SettingsPageKind kind, std::initializer_list<std::pair<int, int>> bytes)
{
    settings::SettingsPage p{kind, {}};
    for (auto [i, v] : bytes)
        p.bytes[size_t(i)] = quint8(v);
    return p;
}

QString joined(const passes::PassRow &row)
{
    return QStringList(row.begin(), row.end()).join('|');
}

QString captions(const Configuration &c)
{
    QStringList out;
    for (int p = 1; p <= 6; ++p)
        out << c.priorityCaption(p);
    return out.join('|');
}
} // namespace

TEST(Configuration, AFreshToolHoldsTheStartupTexts)
{
    const Configuration c;
    EXPECT_EQ(joined(c.passRow(5)), "5|Username 5       |05|5|0|0000 0000 0000 0001|None Selected|15|"
                                    "0001 0000 0000 0000|0000 0000|    |    |0");
    EXPECT_EQ(c.alias(0), "Location Name 1 ");
    EXPECT_EQ(c.alias(9), "Location Name 10");
    QString params; // the display priority bytes 1..6 in their parameters, every other value "0"
    for (int i = 0; i < 32; ++i)
        params += c.param(i);
    EXPECT_EQ(params, "00000000000000001456032000000000");
    EXPECT_EQ(c.limit(Limit::Maximum, 1), "0");
    EXPECT_EQ(captions(c), "Alarm Priority|EVAC Display Priority|Signal Timeout Priority|Pass Device On "
                           "Priority|Pass Device Off Priority|Not Active");
}

TEST(Configuration, SettingsPagesFillTheirOwnTargetAndTheSwitchesFollowValues)
{
    using K = settings::SettingsPageKind;
    Configuration c;
    c.applySettingsPage(page(K::Maxima, {{2, 120}}));
    c.applySettingsPage(page(K::Minima, {{2, 5}}));
    c.applySettingsPage(page(K::Defaults, {{2, 30}}));
    EXPECT_EQ(c.limit(Limit::Maximum, 2) + c.limit(Limit::Minimum, 2) + c.limit(Limit::Default, 2), "120530");
    EXPECT_EQ(c.param(2), "0");                           // limits are not values
    EXPECT_EQ(captions(c).section('|', 5), "Not Active"); // only a value page refreshes the list

    // A value of 1 ticks a switch; 2 leaves a clear box clear and is kept; a value
    // that is no switch's is written as it comes.
    EXPECT_TRUE(c.applySettingsPage(
        page(K::Values, {{3, 1}, {20, 2}, {2, 45}, {16, 1}, {22, 2}, {21, 3}, {17, 4}, {18, 5}, {19, 6}})));
    EXPECT_TRUE(c.ticked(3) && !c.ticked(20));
    EXPECT_EQ(c.param(3) + c.param(20) + c.param(2), "1245");
    EXPECT_EQ(captions(c).section('|', 5), "No Pass Data Priority");
    // Ticked before, 2 now: cleared, and the store sends 0.
    c.clickSwitch(20, true);
    c.applySettingsPage(page(K::Values, {{20, 2}}));
    EXPECT_FALSE(c.ticked(20));
    EXPECT_EQ(c.param(20), "0");
    // A typed value leaves the box alone; a click rewrites the value.
    c.typeParam(3, "7");
    EXPECT_FALSE(c.ticked(3));
    c.clickSwitch(3, true);
    EXPECT_EQ(c.param(3), "1");

    // A byte naming no class stops the caption refresh, but every value is written.
    EXPECT_FALSE(c.applySettingsPage(page(K::Values, {{16, 9}, {22, 4}, {31, 200}})));
    EXPECT_EQ(c.param(16) + c.param(31), "9200");
}

TEST(Configuration, TypedValuesAreCheckedAgainstTheLimitsOfTheirOwnParameter)
{
    using K = settings::SettingsPageKind;
    Configuration c;
    c.applySettingsPage(page(K::Maxima, {{1, 10}, {2, 120}}));
    c.applySettingsPage(page(K::Minima, {{1, 1}, {2, 5}}));
    c.applySettingsPage(page(K::Defaults, {{1, 5}, {2, 30}}));
    for (auto [typed, good] :
         {std::pair{"60", true}, {"120", true}, {"5", true}, {"3", false}, {"121", false}}) {
        c.typeParam(2, typed);
        EXPECT_EQ(c.checkTyped(2).good, good) << typed;
    }
    c.typeParam(1, "60");
    EXPECT_FALSE(c.checkTyped(1).good);
}

TEST(Configuration, PriorityMovesRefreshTheCaptions)
{
    Configuration c;
    EXPECT_EQ(c.movePriority(true, 3), 2);
    EXPECT_EQ(c.param(21) + c.param(22), "23");
    EXPECT_EQ(captions(c), "Alarm Priority|Signal Timeout Priority|EVAC Display Priority|Pass Device On "
                           "Priority|Pass Device Off Priority|No Pass Data Priority");
    EXPECT_EQ(c.movePriority(false, 5), 5); // position 6 never takes part
}

TEST(StorePlans, PassesStopAtTheFirstRowThatCannotBeBuilt)
{
    Configuration c;
    auto plan = config::Pass_Store_Plan(c);
    ASSERT_EQ(plan.frames.size(), 72u);
    EXPECT_TRUE(plan.stopsShort.isEmpty());
    for (size_t i = 0; i < 72; ++i) {
        EXPECT_EQ(quint8(plan.frames[i].bytes.at(4)), i);
        EXPECT_EQ(plan.frames[i].pauseMs, 200);
    }
    EXPECT_EQ(config::Pass_Store_Plan(c, 32).frames.size(), 32u);
    auto row = c.passRow(5);
    row[passes::ColOptionTrigger] = "300";
    c.setPassRow(5, row);
    plan = config::Pass_Store_Plan(c);
    EXPECT_EQ(plan.frames.size(), 4u);
    EXPECT_FALSE(plan.stopsShort.isEmpty());
}

TEST(StorePlans, LocationsGoAllOrNone)
{
    Configuration c;
    c.setAlias(4, "Gate");
    const auto plan = config::Location_Store_Plan(c);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->frames.size(), 50u);
    EXPECT_EQ(plan->frames[4].bytes.mid(5, 16), "Gate            ");
    EXPECT_EQ(plan->frames[49].pauseMs, 300);
    c.setAlias(30, QString::fromUtf8("Gate \u20ac"));
    QString why;
    EXPECT_FALSE(config::Location_Store_Plan(c, &why));
    EXPECT_FALSE(why.isEmpty());
}

// The pauses as the unit needs them, unscaled: 0.2 s after each pass frame, none
// after the settings frame, 0.3 s after each location frame.
TEST(StorePlans, ARestoreSendsPassesSettingsLocationsWithTheUnitsPacing)
{
    const auto plan = config::Restore_Plan(Configuration());
    ASSERT_TRUE(plan);
    QString kinds;
    std::map<char, std::set<int>> pauses;
    for (const auto &f : plan->frames) {
        kinds += QChar(f.bytes.at(1));
        pauses[f.bytes.at(1)].insert(f.pauseMs);
    }
    EXPECT_EQ(kinds, QString(72, '"') + '#' + QString(50, '+'));
    EXPECT_EQ(pauses['"'], std::set<int>{200});
    EXPECT_EQ(pauses['#'], std::set<int>{0});
    EXPECT_EQ(pauses['+'], std::set<int>{300});
}

// Only the chosen items, in the usual order and pacing; the frames the unit holds
// already are left out.
TEST(StorePlans, ChosenItemsAndChangedFrames)
{
    Configuration c;
    using config::Part;
    const auto plan =
        config::Items_Store_Plan(c, {{Part::Locations, 4}, {Part::Passes, 9}, {Part::Settings, 0}});
    ASSERT_TRUE(plan);
    QString kinds;
    for (const auto &f : plan->frames)
        kinds += QChar(f.bytes.at(1)) + QString::number(quint8(f.bytes.at(4))) + "/" +
                 QString::number(f.pauseMs) + " ";
    EXPECT_EQ(kinds, "\"8/200 #0/0 +4/300 ");

    Configuration edited;
    auto row = edited.passRow(3);
    row[passes::ColUserName] = "Night Porter    ";
    edited.setPassRow(3, row);
    edited.setAlias(49, "Gate");
    const auto changed = config::Changes_Store_Plan(edited, c);
    ASSERT_TRUE(changed);
    ASSERT_EQ(changed->frames.size(), 2u);
    EXPECT_EQ(quint8(changed->frames[0].bytes.at(4)), 2);  // pass 3
    EXPECT_EQ(quint8(changed->frames[1].bytes.at(4)), 49); // slot 49
    EXPECT_EQ(changed->frames[0].bytes, config::Restore_Plan(edited)->frames[2].bytes);
    EXPECT_TRUE(config::Changes_Store_Plan(c, c)->frames.empty());

    // Two settings are one item, stored by one frame.
    edited.typeParam(2, "60");
    edited.typeParam(5, "9");
    const auto items = config::By_Item(config::Differences(edited, c));
    ASSERT_EQ(items.size(), 3u); // pass 3, the settings, slot 49
    EXPECT_EQ(items[1].part, Part::Settings);
    EXPECT_EQ(items[1].fields.size(), 2u);
    const auto settingsOnly = config::Items_Store_Plan(edited, {{items[1].part, items[1].index}});
    ASSERT_TRUE(settingsOnly);
    ASSERT_EQ(settingsOnly->frames.size(), 1u);
    EXPECT_EQ(settingsOnly->frames[0].bytes.size(), 39);
}

// What counts as a change, field type by field type: what the unit would be sent.
TEST(Differences, AFieldDiffersByWhatTheUnitWouldBeSent)
{
    struct Case
    {
        const char *what;
        std::function<void(Configuration &)> edit;
        int differences;
    };
    auto cell = [](int row, int col, const char *text) {
        return [=](Configuration &c) {
            auto r = c.passRow(row);
            r[size_t(col)] = text;
            c.setPassRow(row, r);
        };
    };
    const Case cases[] = {
        {"user name past 16 characters", cell(3, 1, "Username 3       and more"), 0},
        {"user name within 16", cell(3, 1, "Username 3 X"), 1},
        {"user ID written another way", cell(3, 3, "03"), 0},
        {"user ID", cell(3, 3, "4"), 1},
        {"bit text with a stray character", cell(3, 5, "0000 0000 0000 000x"), 1},
        {"bit text that reads the same", cell(3, 9, "0000 000x"), 0},
        {"option flags alone", cell(3, 9, "0000 0001"), 1},
        {"option mode index", cell(3, 12, "2"), 1},
        {"option mode name only", cell(3, 6, "Alarm Panic"), 0},
        {"setting written another way", [](Configuration &c) { c.typeParam(5, "0.2"); }, 0},
        {"setting", [](Configuration &c) { c.typeParam(5, "7"); }, 1},
        {"alias cut short", [](Configuration &c) { c.setAlias(2, "Location Name 3"); }, 0},
        {"alias", [](Configuration &c) { c.setAlias(2, "Gate"); }, 1},
    };
    for (const Case &k : cases) {
        Configuration a, b;
        k.edit(b);
        EXPECT_EQ(config::Differences(a, b).size(), size_t(k.differences)) << k.what;
    }
    // A switch whose box is ticked but whose value reads 2 sends 2, as a clear one does.
    Configuration clear, ticked;
    clear.typeParam(20, "2");
    ticked.clickSwitch(20, true);
    ticked.typeParam(20, "2");
    EXPECT_TRUE(config::Differences(clear, ticked).empty());
}

TEST(Differences, LinesNameTheFieldAndBothValues)
{
    Configuration unit, file;
    auto r = file.passRow(14);
    r[passes::ColUserId] = "13";
    file.setPassRow(14, r);
    file.setAlias(4, "Gate");
    file.typeParam(3, "1");
    QStringList lines;
    for (const auto &d : config::Differences(unit, file))
        lines << config::Difference_Line(d, "unit", "file");
    EXPECT_EQ(lines, (QStringList{"pass 14 User ID: unit 14, file 13", "setting Enable Beep: unit 0, file 1",
                                  "location 0x05: unit \"Location Name 5 \", file \"Gate            \""}));
}
