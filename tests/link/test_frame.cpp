#include "link/frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halvo::link;

namespace {
std::vector<int> bytes(const QByteArray &a)
{
    std::vector<int> v;
    for (char c : a)
        v.push_back(static_cast<unsigned char>(c));
    return v;
}
} // namespace

// The worked examples: each request exactly as the unit expects it, byte for byte.
TEST(RequestFrame, ShortRequestsMatchTheWorkedExamples)
{
    EXPECT_EQ(bytes(Build_Request_Frame(33, QByteArray(1, '\0'))),
              (std::vector<int>{68, 33, 0, 4, 0, 105, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(36)), (std::vector<int>{68, 36, 0, 4, 0, 108, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(45)), (std::vector<int>{68, 45, 0, 4, 0, 117, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(40)), (std::vector<int>{68, 40, 0, 4, 0, 112, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(46)), (std::vector<int>{68, 46, 0, 4, 0, 118, 10, 13}));
}

TEST(RequestFrame, NamedCodesAreTheUnitsCodes)
{
    EXPECT_EQ(Cmd::ReadPassTable, 33);
    EXPECT_EQ(Cmd::StorePass, 34);
    EXPECT_EQ(Cmd::StoreSettings, 35);
    EXPECT_EQ(Cmd::ReadSettings, 36);
    EXPECT_EQ(Cmd::SetClock, 38);
    EXPECT_EQ(Cmd::ClearEventLog, 40);
    EXPECT_EQ(Cmd::ReadEventLogPages, 41);
    EXPECT_EQ(Cmd::StoreLocation, 43);
    EXPECT_EQ(Cmd::ReadLocations, 45);
    EXPECT_EQ(Cmd::ReadEventLogPointer, 46);
}

TEST(RequestFrame, PageRequestFourPagesFromThousand)
{
    // 1000 = 3 * 256 + 14 * 16 + 8
    const QByteArray payload("\x03\x0E\x08\x04", 4);
    EXPECT_EQ(bytes(Build_Request_Frame(41, payload)),
              (std::vector<int>{68, 41, 0, 7, 3, 14, 8, 4, 145, 10, 13}));
}

TEST(RequestFrame, PayloadLfAndCrGoOutUnchanged)
{
    const QByteArray payload("\x0A\x0D\x0A", 3);
    const QByteArray f = Build_Request_Frame(41, payload);
    ASSERT_EQ(f.size(), 10);
    EXPECT_EQ(f.mid(4, 3), payload);
    EXPECT_EQ(f.at(3), 6);
    EXPECT_EQ(f.right(2), QByteArray("\x0A\x0D", 2));
    EXPECT_EQ(static_cast<unsigned char>(f.at(7)), (68 + 41 + 6 + 10 + 13 + 10) & 0xFF);
}

TEST(RequestFrame, ChecksumPast255KeepsTheLowByte)
{
    // Location store frame of slot 0 with its start-up alias: the sum is far above
    // 255 and the unit expects 203.
    QByteArray payload;
    payload.append('\0');
    payload.append("Location Name 1 ");
    payload.append("1234567890123456789");
    const QByteArray f = Build_Request_Frame(43, payload);
    ASSERT_EQ(f.size(), 43);
    EXPECT_EQ(f.at(3), 39);
    EXPECT_EQ(static_cast<unsigned char>(f.at(40)), 203);
}

TEST(RequestFrame, EmptyPayloadIsTheSingleZeroAndOversizeIsRefused)
{
    EXPECT_EQ(bytes(Build_Request_Frame(46, {})), (std::vector<int>{68, 46, 0, 4, 0, 118, 10, 13}));
    EXPECT_EQ(Build_Request_Frame(34, QByteArray(94, 'a')).size(), 101);
    EXPECT_TRUE(Build_Request_Frame(34, QByteArray(95, 'a')).isEmpty());
}
