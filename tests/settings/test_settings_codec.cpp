// The settings wire form, the switch rule, the display priority order and the
// location codec, without a window.
#include "settings/config_params.h"
#include "settings/display_priority.h"
#include "settings/locations.h"
#include "support/bytes.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace halvo::settings;

namespace {
using halvo::test::bytes;
// The values a fresh tool holds: all "0" but the six priority bytes.
ParamTexts startupValues()
{
    ParamTexts v;
    v.fill(QStringLiteral("0"));
    DisplayPriority().Init(v);
    return v;
}

QStringList captions(const DisplayPriority::Captions &c)
{
    QStringList out;
    for (int p = 1; p <= 6; ++p)
        out << c[static_cast<size_t>(p)].value_or(QStringLiteral("<kept>"));
    return out;
}

QString priorityBytes(const ParamTexts &v)
{
    QString s;
    for (int param : {16, 22, 21, 17, 18, 19})
        s += v[static_cast<size_t>(param)];
    return s;
}
} // namespace

TEST(SettingsFrame, StoreBeforeAnyReadCarriesOnlyThePriorityBytes)
{
    const auto frame = Build_Config_Frame(startupValues());
    ASSERT_TRUE(frame);
    QByteArray expected = bytes({68, 35, 0, 35});
    expected += QByteArray(16, '\0') + bytes({1, 4, 5, 6, 0, 3, 2}) + QByteArray(9, '\0');
    expected += bytes({159, 10, 13});
    EXPECT_EQ(*frame, expected);
}

TEST(SettingsFrame, FieldsAreReadAsBytesOrTheStoreFails)
{
    ParamTexts v = startupValues();
    v[31] = "200"; // a spare goes back as it came
    v[1] = "2.5";  // a fraction is rounded, halves to even
    v[2] = " 7 ";
    const auto frame = Build_Config_Frame(v);
    ASSERT_TRUE(frame);
    EXPECT_EQ(quint8(frame->at(4 + 31)), 200);
    EXPECT_EQ(frame->at(4 + 1), 2);
    EXPECT_EQ(frame->at(4 + 2), 7);
    for (const char *bad : {"256", "-1", "", "abc", "1e9"}) {
        v[5] = bad;
        QString why;
        EXPECT_FALSE(Build_Config_Frame(v, &why)) << bad;
        EXPECT_TRUE(why.contains("Global Pass Timeout")) << qPrintable(why);
    }
}

TEST(SettingsPage, EachPageFillsItsTargetAndUnknownPagesAreIgnored)
{
    QByteArray reply = "D$3";
    for (int i = 0; i < 32; ++i)
        reply.append(static_cast<char>(i == 7 ? 250 : i));
    reply += "xyz\n";
    const auto page = Decode_Settings_Page(reply);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->kind, SettingsPageKind::Values);
    EXPECT_EQ(page->bytes[7], 250);
    EXPECT_EQ(page->bytes[31], 31);
    reply[2] = '0';
    EXPECT_EQ(Decode_Settings_Page(reply)->kind, SettingsPageKind::Maxima);
    reply[2] = '4';
    EXPECT_FALSE(Decode_Settings_Page(reply));
}

TEST(SettingsValues, TypedValueIsCheckedAgainstItsLimits)
{
    struct Case
    {
        const char *value, *max, *min, *def;
        bool good;
    };
    const Case cases[] = {
        {"5", "0", "0", "0", false}, // before any read only 0 passes
        {"0", "0", "0", "0", true},   {"10", "10", "1", "5", true}, {"11", "10", "1", "5", false},
        {"0", "10", "1", "5", false}, {"4.6", "5", "1", "3", true}, {"", "10", "0", "5", false},
        {"x", "10", "0", "5", false},
    };
    for (const Case &c : cases) {
        const auto r = Check_Config_Value(c.value, c.max, c.min, c.def);
        EXPECT_EQ(r.good, c.good) << c.value;
        EXPECT_EQ(r.text, c.good ? QString(c.value) : QString(c.def)) << c.value;
    }
}

TEST(SettingsValues, SwitchBoxFollowsAWrittenValue)
{
    struct Case
    {
        const char *written;
        bool wasChecked, checked;
        const char *text;
    };
    const Case cases[] = {
        {"1", false, true, "1"},  {"0", true, false, "0"},  // a change rewrites the field
        {"2", false, false, "2"}, {"7", false, false, "7"}, // no change: the text stays
        {"2", true, false, "0"},                            // ticked before: cleared, "0"
    };
    for (const Case &c : cases) {
        const auto s = Apply_Switch(c.written, c.wasChecked);
        EXPECT_EQ(s.checked, c.checked) << c.written;
        EXPECT_EQ(s.text, QString(c.text)) << c.written;
    }
}

TEST(DisplayPriority, UpAndDownMoveClassesBetweenPositionsTwoToFive)
{
    DisplayPriority d;
    ParamTexts v = startupValues();
    d.Init(v);
    EXPECT_EQ(d.moveUp(3, v), 2);
    EXPECT_EQ(priorityBytes(v), "132456"); // parameter 21 = 2, parameter 22 = 3
    EXPECT_EQ(captions(d.positionRefresh(v)),
              (QStringList{"Alarm Priority", "Signal Timeout Priority", "EVAC Display Priority",
                           "Pass Device On Priority", "Pass Device Off Priority", "No Pass Data Priority"}));
    EXPECT_EQ(d.moveUp(4, v), 3);
    EXPECT_EQ(captions(d.positionRefresh(v)),
              (QStringList{"Alarm Priority", "Signal Timeout Priority", "Pass Device On Priority",
                           "EVAC Display Priority", "Pass Device Off Priority", "No Pass Data Priority"}));
    EXPECT_EQ(priorityBytes(v), "142356"); // 16 = 1, 22 = 4, 21 = 2, 17 = 3, 18 = 5, 19 = 6

    // Positions 1 and 6 never take part; nothing selected moves nothing.
    const ParamTexts before = v;
    EXPECT_EQ(d.moveUp(2, v), 2);
    EXPECT_EQ(d.moveDown(5, v), 5);
    EXPECT_EQ(d.moveUp(0, v), 0);
    EXPECT_EQ(v, before);
    EXPECT_EQ(d.moveDown(2, v), 3);
    EXPECT_EQ(priorityBytes(v), "143256"); // positions 2 and 3 name parameters 21 and 17 now
}

TEST(DisplayPriority, ValuePageRefreshReadsTheBytesTheOtherWay)
{
    DisplayPriority d;
    ParamTexts v = startupValues();
    // The order the two Up presses above made: the class refresh reads it differently.
    for (auto [param, byte] : {std::pair{16, "1"}, {21, "2"}, {17, "3"}, {22, "4"}, {18, "5"}, {19, "6"}})
        v[static_cast<size_t>(param)] = byte;
    const auto r = d.classRefresh(v);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(captions(r.captions),
              (QStringList{"Alarm Priority", "Pass Device On Priority", "EVAC Display Priority",
                           "Signal Timeout Priority", "Pass Device Off Priority", "No Pass Data Priority"}));
    // One exchange from start-up: both readings agree.
    v = startupValues();
    v[22] = "3";
    v[21] = "2";
    EXPECT_EQ(captions(d.classRefresh(v).captions), captions(d.positionRefresh(v)));
    // 0 and 7 empty a caption; 8 or more stops the refresh there.
    for (const char *empty : {"0", "7"}) {
        v[16] = empty;
        const auto emptied = d.classRefresh(v);
        EXPECT_TRUE(emptied.ok && emptied.captions[1] == QString()) << empty;
    }
    for (const char *stops : {"8", "9"}) {
        v[16] = stops;
        const auto stopped = d.classRefresh(v);
        EXPECT_FALSE(stopped.ok) << stops;
        EXPECT_EQ(captions(stopped.captions).first(), "<kept>");
    }
}

TEST(Locations, AliasesAreSixteenCharactersOnTheWire)
{
    EXPECT_EQ(Normalise_Alias("Hall"), "Hall" + QString(12, ' '));
    EXPECT_EQ(Normalise_Alias("Twenty characters!!!"), "Twenty character");
    EXPECT_EQ(Default_Location_Name(0), "Location Name 1 ");
    EXPECT_EQ(Location_Code_Caption(9), "0x0A");

    const auto frame = Build_Location_Name_Frame(0, Default_Location_Name(0));
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame,
              bytes({68, 43, 0, 39, 0}) + "Location Name 1 " + "1234567890123456789" + bytes({203, 10, 13}));
    EXPECT_EQ(Build_Location_Name_Frame(3, "Gate")->mid(5, 16), "Gate" + QByteArray(12, ' '));
    EXPECT_FALSE(Build_Location_Name_Frame(3, QString::fromUtf8("Gate \u20ac")));
}

TEST(Locations, RepliesPlaceTheirAliasBySlot)
{
    const QByteArray alias = "Caf\xe9 Terrace    ";
    const QByteArray reply = "D-07" + alias + QByteArray(18, 'z') + "\n";
    const auto decoded = Decode_Location_Reply(reply);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->slot, 7);
    EXPECT_EQ(decoded->alias, QString::fromLatin1(alias));
    // A byte above 127 goes back to the unit as it came.
    EXPECT_EQ(Build_Location_Name_Frame(7, decoded->alias)->mid(5, 16), alias);
    EXPECT_FALSE(Decode_Location_Reply("D-50" + alias + QByteArray(18, 'z') + "\n"));
}
