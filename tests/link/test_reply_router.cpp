#include "link/reply_router.h"

#include <gtest/gtest.h>

#include <string>

using namespace halvo::link;

namespace {
struct Recorder : ReplyHandlers
{
    std::string calls;
    bool result = true;
    bool note(char c)
    {
        calls += c;
        return result;
    }
    bool Decode_Pass_Record(const QByteArray &) override { return note('!'); }
    bool Decode_Event_Log_Pointer(const QByteArray &) override { return note('/'); }
    bool Decode_Location_Reply(const QByteArray &) override { return note('-'); }
    bool Decode_Settings_Page(const QByteArray &) override { return note('$'); }
};
QByteArray reply(char first, char code)
{
    return QByteArray(1, first) + code + QByteArray(37, '0');
}
} // namespace

TEST(DecodeReply, RoutesKnownCodesDropsTheRestAndReportsAFailingDecoder)
{
    Recorder r;
    for (char c : {'!', '/', '-', '$'})
        EXPECT_EQ(Decode_Reply(reply('D', c), r), RouteResult::Decoded);
    EXPECT_EQ(r.calls, "!/-$");
    for (const QByteArray &dropped : {reply('D', '?'), reply('D', '"'), reply('X', '!'), QByteArray("D")})
        EXPECT_EQ(Decode_Reply(dropped, r), RouteResult::Dropped);
    EXPECT_EQ(r.calls, "!/-$");
    r.result = false;
    EXPECT_EQ(Decode_Reply(reply('D', '!'), r), RouteResult::Failed);
}
