#include "passes/pass_codec.h"

#include <gtest/gtest.h>

#include <random>

using namespace halvo::passes;

namespace {
QString hex(const QByteArray &a)
{
    return QString::fromLatin1(a.toHex(' ')).toUpper();
}

// A reply carrying the record of a store frame: "D", "!", record, LF, CR, cut to
// the 39 characters the decoder is handed.
QByteArray replyFromStore(const QByteArray &store)
{
    return (QByteArray("D!") + store.mid(4, 36) + "\n").left(39);
}

QByteArray reply(int index, quint8 flags = 0, char u1 = '0', char u2 = '1', quint8 mode = 0,
                 quint8 portHigh = 0, quint8 portLow = 0)
{
    QByteArray r("D!");
    r.append(static_cast<char>(index));
    r.append("Night Shift 07  ");
    r.append(' ');
    r.append("1C");
    r.append(static_cast<char>(flags));
    r.append(u1).append(u2);
    r.append(char(45));
    r.append(static_cast<char>(portHigh)).append(static_cast<char>(portLow));
    r.append(static_cast<char>(mode));
    r.append(char(200));
    r.append(char(0x12)).append(char(0x34));
    r.append("456789");
    r.append('\n');
    return r;
}
} // namespace

TEST(PassFrame, StartUpRowOneIsTheKnownFrame)
{
    const auto f = Build_Pass_Frame(0, Default_Pass_Row(1));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), 43);
    EXPECT_EQ(hex(*f),
              "44 22 00 27 00 55 73 65 72 6E 61 6D 65 20 31 20 20 20 20 20 20 20 30 35 00 30 31 00 00 "
              "01 00 0F 10 00 34 35 36 37 38 39 2B 0A 0D");
}

TEST(PassFrame, FieldsTravelAsTheUnitReadsThem)
{
    PassRow row = Default_Pass_Row(14);
    row[ColSignalTimeout] = "60";
    row[ColOptionTrigger] = "15";
    row[ColOptionFlags] = "0000 00x1"; // only "1" sets a bit
    row[ColUserId] = "99";
    row[ColOptionMode] = "5";
    const auto f = Build_Pass_Frame(13, row);
    ASSERT_TRUE(f);
    EXPECT_EQ(static_cast<quint8>(f->at(4)), 13); // index 13 goes out as 13
    EXPECT_EQ(static_cast<quint8>(f->at(27)), 0x3C);
    EXPECT_EQ(static_cast<quint8>(f->at(31)), 0x0F);
    EXPECT_EQ(static_cast<quint8>(f->at(24)), 0x01);
    EXPECT_EQ(f->mid(25, 2), QByteArray("63"));
    EXPECT_EQ(static_cast<quint8>(f->at(30)), 5);
    unsigned sum = 0;
    for (int i = 0; i < 40; ++i)
        sum += static_cast<quint8>(f->at(i));
    EXPECT_EQ(static_cast<quint8>(f->at(40)), sum & 0xFF);
}

TEST(PassFrame, RowsThatCannotBeBuiltGiveNoFrame)
{
    auto failsWith = [](int col, const QString &text) {
        PassRow row = Default_Pass_Row(3);
        row[static_cast<size_t>(col)] = text;
        QString why;
        const bool built = Build_Pass_Frame(2, row, &why).has_value();
        EXPECT_FALSE(built) << col << " " << text.toStdString();
        EXPECT_FALSE(why.isEmpty());
    };
    failsWith(ColUserName, "Bob");
    failsWith(ColSystemId, "5");
    failsWith(ColSignalTimeout, "ten");
    failsWith(ColSignalTimeout, "256");
    failsWith(ColSignalTimeout, "-1");
    failsWith(ColOptionTrigger, "");
    failsWith(ColOptionMode, "300");
    failsWith(ColUserId, "-4");
    failsWith(ColAlarmSteering, "0000 0000");
    failsWith(ColOptionFlags, "0000");
    failsWith(ColUserName, QString::fromUtf8("Ωmega Team Lead "));
}

TEST(PassReply, IndexPicksTheRowAnd253IsPass13)
{
    auto d = Decode_Pass_Record(reply(253));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->row, 14);
    d = Decode_Pass_Record(reply(13));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->row, 14);
    d = Decode_Pass_Record(reply(0));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->row, 1);
    EXPECT_EQ(d->columns[ColUserName], "Night Shift 07  ");
    EXPECT_EQ(d->columns[ColSystemId], "1C");
    EXPECT_EQ(d->columns[ColSignalTimeout], "45");
    EXPECT_EQ(d->columns[ColOptionTrigger], "200");
    EXPECT_EQ(d->columns[ColOptionSteering], "0001 0010 0011 0100");
}

TEST(PassReply, FieldTexts)
{
    auto d = Decode_Pass_Record(reply(4, 0x03, '6', '3', 5, 0x80, 0x01));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->columns[ColOptionFlags], "0000 0011");
    EXPECT_EQ(d->columns[ColAlarmSteering], "1000 0000 0000 0001");
    EXPECT_EQ(d->columns[ColUserId], "99");
    EXPECT_EQ(d->columns[ColOptionMode], "5");
    EXPECT_EQ(d->columns[ColOptionModeName], "Off  ");
    d = Decode_Pass_Record(reply(4, 0, '0', 'A'));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->columns[ColUserId], "10");
}

TEST(PassReply, RepliesThatCannotBePlacedAreRefusedWhole)
{
    QString why;
    EXPECT_FALSE(Decode_Pass_Record(reply(72), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(Decode_Pass_Record(reply(252)));
    EXPECT_FALSE(Decode_Pass_Record(reply(3, 0, '0', '1', 9)));
    EXPECT_TRUE(Decode_Pass_Record(reply(71, 0, '0', '1', 8)));
}

TEST(PassReply, AnyStorableRowComesBackAsItWent)
{
    std::mt19937 rng(11);
    auto bits = [&](int n) {
        QString s;
        for (int i = 0; i < n; ++i) {
            s += (rng() & 1) ? '1' : '0';
            if (i % 4 == 3 && i + 1 < n)
                s += ' ';
        }
        return s;
    };
    for (int round = 0; round < 500; ++round) {
        const int r = static_cast<int>(rng() % 72) + 1;
        PassRow row = Default_Pass_Row(r);
        QString name;
        for (int i = 0; i < 16; ++i)
            name += QChar(static_cast<char16_t>(32 + rng() % 95));
        row[ColUserName] = name;
        row[ColSystemId] = QString::number(rng() % 254 + 1, 16).toUpper().rightJustified(2, '0');
        row[ColUserId] = QString::number(rng() % 100);
        row[ColSignalTimeout] = QString::number(rng() % 61);
        row[ColAlarmSteering] = bits(16);
        const int mode = static_cast<int>(rng() % 9);
        row[ColOptionMode] = QString::number(mode);
        row[ColOptionModeName] = Option_Mode_Names().at(mode);
        row[ColOptionTrigger] = QString::number(rng() % 256);
        row[ColOptionSteering] = bits(16);
        row[ColOptionFlags] = bits(8);
        const auto f = Build_Pass_Frame(r - 1, row);
        ASSERT_TRUE(f);
        const auto d = Decode_Pass_Record(replyFromStore(*f));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->row, r == 14 ? 14 : r);
        for (int c : DecodedColumns)
            EXPECT_EQ(d->columns[static_cast<size_t>(c)], row[static_cast<size_t>(c)]) << "column " << c;
    }
}

TEST(EditorChecks, SystemId)
{
    struct Case
    {
        const char *in;
        bool good;
        const char *out;
    };
    for (const Case &c : {Case{"a", true, "0A"}, Case{"5", true, "05"}, Case{"ff", false, "01"},
                          Case{"FE", true, "FE"}, Case{"00", false, "01"}, Case{"123", false, "01"},
                          Case{"", false, "01"}, Case{"G5", true, "G5"}, Case{"1b", true, "1B"}}) {
        const auto r = Check_System_Id(c.in);
        EXPECT_EQ(r.good, c.good) << c.in;
        EXPECT_EQ(r.text, c.out) << c.in;
    }
}

TEST(EditorChecks, UserIdAndSignalTimeout)
{
    for (const char *good : {"0", "99", "42"})
        EXPECT_EQ(Check_User_Id(good).text, good);
    for (const char *bad : {"100", "-1", "twelve", ""}) {
        EXPECT_FALSE(Check_User_Id(bad).good) << bad;
        EXPECT_EQ(Check_User_Id(bad).text, "1");
    }
    EXPECT_TRUE(Check_Signal_Timeout("60").good);
    EXPECT_EQ(Check_Signal_Timeout("61").text, "0");
    EXPECT_EQ(Check_Signal_Timeout("soon").text, "0");
}

TEST(EditorChecks, UserNameIsSixteenCharacters)
{
    EXPECT_EQ(Normalise_User_Name("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Normalise_User_Name("Bob"), "Bob" + QString(13, ' '));
}
