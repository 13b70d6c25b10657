#include "passes/pass_codec.h"

#include <gtest/gtest.h>

#include <random>

using namespace halvo::passes;

namespace {
// A pass record reply as the unit sends it, cut to the 39 characters the decoder gets.
QByteArray reply(int index, quint8 flags = 0, const char *userId = "01", quint8 mode = 0, quint8 portHigh = 0,
                 quint8 portLow = 0)
{
    QByteArray r("D!");
    r += static_cast<char>(index);
    r += "Night Shift 07   1C";
    r += static_cast<char>(flags);
    r += userId;
    r += char(45);
    r += static_cast<char>(portHigh);
    r += static_cast<char>(portLow);
    r += static_cast<char>(mode);
    r += char(200);
    r += "\x12\x34"
         "456789\n";
    return r;
}
} // namespace

TEST(PassFrame, StartUpRowOneIsTheKnownFrame)
{
    const auto f = Build_Pass_Frame(0, Default_Pass_Row(1));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->toHex(' ').toUpper(),
              "44 22 00 27 00 55 73 65 72 6E 61 6D 65 20 31 20 20 20 20 20 20 20 30 35 00 30 "
              "31 00 00 01 00 0F 10 00 34 35 36 37 38 39 2B 0A 0D");
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
    EXPECT_EQ(f->at(4), 13);
    EXPECT_EQ(f->at(27), 0x3C);
    EXPECT_EQ(f->at(31), 0x0F);
    EXPECT_EQ(f->at(24), 0x01);
    EXPECT_EQ(f->mid(25, 2), QByteArray("63"));
    EXPECT_EQ(f->at(30), 5);
    // The high nibble is "0" plus its value, never a letter: 160 travels as ":0".
    EXPECT_EQ(User_Id_Chars(160), QByteArray(":0"));
    EXPECT_EQ(User_Id_Chars(255), QByteArray("?F"));
    EXPECT_EQ(User_Id_Value(':', '0'), 160);
}

TEST(PassFrame, RowsThatCannotBeBuiltGiveNoFrame)
{
    const std::pair<int, QString> bad[] = {
        {ColUserName, "Bob"},      {ColSystemId, "5"},
        {ColSignalTimeout, "ten"}, {ColSignalTimeout, "256"},
        {ColOptionTrigger, ""},    {ColOptionMode, "-1"},
        {ColUserId, "-4"},         {ColAlarmSteering, "0000"},
        {ColOptionFlags, "0000"},  {ColUserName, QString::fromUtf8("Ωmega Team Lead ")}};
    for (const auto &[col, text] : bad) {
        PassRow row = Default_Pass_Row(3);
        row[static_cast<size_t>(col)] = text;
        QString why;
        EXPECT_FALSE(Build_Pass_Frame(2, row, &why)) << col << " " << text.toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(PassReply, DecodesEachField)
{
    EXPECT_EQ(Decode_Pass_Record(reply(253))->row, 14); // the unit reports pass 13 as 253
    EXPECT_EQ(Decode_Pass_Record(reply(13))->row, 14);
    const auto d = Decode_Pass_Record(reply(0, 0x03, "63", 5, 0x80, 0x01));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->row, 1);
    EXPECT_EQ(d->columns[ColUserName], "Night Shift 07  ");
    EXPECT_EQ(d->columns[ColSystemId], "1C");
    EXPECT_EQ(d->columns[ColOptionFlags], "0000 0011");
    EXPECT_EQ(d->columns[ColUserId], "99");
    EXPECT_EQ(d->columns[ColSignalTimeout], "45");
    EXPECT_EQ(d->columns[ColAlarmSteering], "1000 0000 0000 0001");
    EXPECT_EQ(d->columns[ColOptionMode], "5");
    EXPECT_EQ(d->columns[ColOptionModeName], "Off  ");
    EXPECT_EQ(d->columns[ColOptionTrigger], "200");
    EXPECT_EQ(d->columns[ColOptionSteering], "0001 0010 0011 0100");
    EXPECT_EQ(Decode_Pass_Record(reply(4, 0, "0A"))->columns[ColUserId], "10");
}

TEST(PassReply, RepliesThatCannotBePlacedAreRefusedWhole)
{
    QString why;
    EXPECT_FALSE(Decode_Pass_Record(reply(72), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(Decode_Pass_Record(reply(252)));
    EXPECT_FALSE(Decode_Pass_Record(reply(3, 0, "01", 9)));
    EXPECT_TRUE(Decode_Pass_Record(reply(71, 0, "01", 8)));
}

TEST(PassReply, AnyStorableRowComesBackAsItWent)
{
    std::mt19937 rng(11);
    auto bits = [&](int n) {
        QString s;
        for (int i = 0; i < n; ++i)
            s += QString((rng() & 1) ? "1" : "0") + (i % 4 == 3 && i + 1 < n ? " " : "");
        return s;
    };
    for (int round = 0; round < 500; ++round) {
        const int r = static_cast<int>(rng() % 72) + 1;
        PassRow row = Default_Pass_Row(r);
        row[ColUserName].clear();
        for (int i = 0; i < 16; ++i)
            row[ColUserName] += QChar(static_cast<char16_t>(32 + rng() % 95));
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
        const auto d = Decode_Pass_Record(("D!" + f->mid(4, 36) + "\n").left(39));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->row, r);
        for (int c : DecodedColumns)
            EXPECT_EQ(d->columns[static_cast<size_t>(c)], row[static_cast<size_t>(c)]) << "column " << c;
    }
}

TEST(EditorChecks, BadValuesGetTheFieldsDefault)
{
    struct Case
    {
        FieldCheck (*check)(const QString &);
        const char *in;
        bool good;
        const char *out;
    };
    const Case cases[] = {
        {Check_System_Id, "a", true, "0A"},       {Check_System_Id, "5", true, "05"},
        {Check_System_Id, "ff", false, "01"},     {Check_System_Id, "00", false, "01"},
        {Check_System_Id, "123", false, "01"},    {Check_System_Id, "", false, "01"},
        {Check_System_Id, "G5", true, "G5"},      {Check_System_Id, "1b", true, "1B"},
        {Check_User_Id, "0", true, "0"},          {Check_User_Id, "99", true, "99"},
        {Check_User_Id, "100", false, "1"},       {Check_User_Id, "-1", false, "1"},
        {Check_User_Id, "twelve", false, "1"},    {Check_Signal_Timeout, "60", true, "60"},
        {Check_Signal_Timeout, "61", false, "0"}, {Check_Signal_Timeout, "soon", false, "0"},
    };
    for (const Case &c : cases) {
        const FieldCheck r = c.check(c.in);
        EXPECT_EQ(r.good, c.good) << c.in;
        EXPECT_EQ(r.text, c.out) << c.in;
    }
    EXPECT_EQ(Normalise_User_Name("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Normalise_User_Name("Bob"), "Bob" + QString(13, ' '));
}
