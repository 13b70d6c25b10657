#include "link/frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halvo::link;

namespace {
std::vector<int> bytes(const QByteArray &a)
{
    return {reinterpret_cast<const unsigned char *>(a.constData()),
            reinterpret_cast<const unsigned char *>(a.constData()) + a.size()};
}
} // namespace

// Each request exactly as the unit expects it, byte for byte.
TEST(RequestFrame, WorkedExamples)
{
    EXPECT_EQ(bytes(Build_Request_Frame(33, QByteArray(1, '\0'))),
              (std::vector<int>{68, 33, 0, 4, 0, 105, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(Cmd::ReadSettings)),
              (std::vector<int>{68, 36, 0, 4, 0, 108, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(Cmd::ReadLocations)),
              (std::vector<int>{68, 45, 0, 4, 0, 117, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(Cmd::ClearEventLog)),
              (std::vector<int>{68, 40, 0, 4, 0, 112, 10, 13}));
    EXPECT_EQ(bytes(Build_Short_Request(Cmd::ReadEventLogPointer)),
              (std::vector<int>{68, 46, 0, 4, 0, 118, 10, 13}));
    // Four pages from page 1000 = 3 * 256 + 14 * 16 + 8.
    EXPECT_EQ(bytes(Build_Request_Frame(Cmd::ReadEventLogPages, QByteArray("\x03\x0E\x08\x04", 4))),
              (std::vector<int>{68, 41, 0, 7, 3, 14, 8, 4, 145, 10, 13}));
    // An empty payload is the single 0 of a request without data.
    EXPECT_EQ(bytes(Build_Request_Frame(46, {})), (std::vector<int>{68, 46, 0, 4, 0, 118, 10, 13}));
}

TEST(RequestFrame, PayloadLfAndCrGoOutUnchanged)
{
    const QByteArray payload("\x0A\x0D\x0A", 3);
    const QByteArray f = Build_Request_Frame(41, payload);
    EXPECT_EQ(bytes(f), (std::vector<int>{68, 41, 0, 6, 10, 13, 10, (68 + 41 + 6 + 33) & 0xFF, 10, 13}));
}

TEST(RequestFrame, ChecksumKeepsTheLowByteAndOversizeIsRefused)
{
    // Location store frame of slot 0 with its start-up alias: the unit expects 203.
    const QByteArray f =
        Build_Request_Frame(43, QByteArray(1, '\0') + "Location Name 1 " + "1234567890123456789");
    ASSERT_EQ(f.size(), 43);
    EXPECT_EQ(f.at(3), 39);
    EXPECT_EQ(static_cast<unsigned char>(f.at(40)), 203);
    // The request buffer holds 101 bytes.
    EXPECT_EQ(Build_Request_Frame(34, QByteArray(94, 'a')).size(), 101);
    EXPECT_TRUE(Build_Request_Frame(34, QByteArray(95, 'a')).isEmpty());
}
