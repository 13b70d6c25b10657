#include "link/reply_router.h"

#include <gtest/gtest.h>

#include <string>

using namespace halvo::link;

namespace {
struct Recorder : ReplyHandlers
{
    std::string calls;
    bool result = true;
    bool Decode_Pass_Record(const QByteArray &) override
    {
        calls += '!';
        return result;
    }
    bool Decode_Event_Log_Pointer(const QByteArray &) override
    {
        calls += '/';
        return result;
    }
    bool Decode_Location_Reply(const QByteArray &) override
    {
        calls += '-';
        return result;
    }
    bool Decode_Settings_Page(const QByteArray &) override
    {
        calls += '$';
        return result;
    }
};
QByteArray reply(char code)
{
    return QByteArray("D") + code + QByteArray(37, '0');
}
} // namespace

TEST(DecodeReply, RoutesEachKnownCodeToItsDecoder)
{
    Recorder r;
    for (char c : {'!', '/', '-', '$'})
        EXPECT_EQ(Decode_Reply(reply(c), r), RouteResult::Decoded);
    EXPECT_EQ(r.calls, "!/-$");
}

TEST(DecodeReply, UnknownCodesAndNonFramesAreDroppedSilently)
{
    Recorder r;
    EXPECT_EQ(Decode_Reply(reply('?'), r), RouteResult::Dropped);
    EXPECT_EQ(Decode_Reply(reply('"'), r), RouteResult::Dropped);
    EXPECT_EQ(Decode_Reply(QByteArray("X!") + QByteArray(37, '0'), r), RouteResult::Dropped);
    EXPECT_EQ(Decode_Reply(QByteArray("D"), r), RouteResult::Dropped);
    EXPECT_TRUE(r.calls.empty());
}

TEST(DecodeReply, ADecoderThatCannotPlaceTheDataFailsTheRoute)
{
    Recorder r;
    r.result = false;
    EXPECT_EQ(Decode_Reply(reply('!'), r), RouteResult::Failed);
}
