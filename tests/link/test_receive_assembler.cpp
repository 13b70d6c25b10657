#include "link/receive_assembler.h"

#include <gtest/gtest.h>

#include <random>

using namespace halvo::link;
using Kind = ReceiveItem::Kind;

namespace {
// A 40-byte reply frame: "D", code, 36 data bytes, LF, CR.
QByteArray reply(char code, char fill = 'x')
{
    QByteArray f;
    f.append('D').append(code).append(QByteArray(36, fill)).append('\n').append('\r');
    return f;
}

std::vector<ReceiveItem> feed(ReceiveAssembler &a, const QByteArray &chunk)
{
    std::vector<ReceiveItem> out;
    a.push(chunk);
    while (auto item = a.next())
        out.push_back(*item);
    return out;
}

std::vector<ReceiveItem> feedAll(ReceiveAssembler &a, std::initializer_list<QByteArray> chunks)
{
    std::vector<ReceiveItem> out;
    for (const auto &c : chunks) {
        auto part = feed(a, c);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}
} // namespace

TEST(ReceiveAssembler, ReplySplitTenTwentyFiveFiveGivesOneReply)
{
    ReceiveAssembler a;
    const QByteArray f = reply('!');
    auto items = feedAll(a, {f.left(10), f.mid(10, 25), f.mid(35)});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Reply);
    EXPECT_EQ(items[0].data, f.left(39));
    EXPECT_EQ(items[0].data.size(), 39);
}

TEST(ReceiveAssembler, TwoRepliesInOneChunkInOrderAndLineBufferBlank)
{
    ReceiveAssembler a;
    auto items = feed(a, reply('!', 'a') + reply('$', 'b'));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].data.at(1), '!');
    EXPECT_EQ(items[1].data.at(1), '$');
    EXPECT_EQ(a.lineBuffer(), QByteArray(" "));
    EXPECT_EQ(a.writeIndex(), 0);
}

TEST(ReceiveAssembler, MissingLfIsOneTerminatorErrorAndTheNextFrameStillDecodes)
{
    ReceiveAssembler a;
    QByteArray bad = reply('!');
    bad[38] = 'z';
    auto items = feed(a, bad + reply('-'));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, Kind::TerminatorError);
    EXPECT_TRUE(items[0].data.isEmpty());
    EXPECT_EQ(items[1].kind, Kind::Reply);
    EXPECT_EQ(items[1].data.at(1), '-');
}

TEST(ReceiveAssembler, FirstBannerDropsTheNulLaterBannersSitBehindTheBlank)
{
    ReceiveAssembler a;
    auto first = feed(a, "Halvo Base Unit V2.04\r");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].kind, Kind::Identification);
    EXPECT_EQ(first[0].data, QByteArray("Halvo Base Unit V2.04\r"));
    EXPECT_EQ(first[0].unitId, QByteArray("Halvo Base U"));

    auto later = feed(a, "Halvo Base Unit V2.04\r");
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].kind, Kind::Identification);
    EXPECT_EQ(later[0].data, QByteArray(" Halvo Base Unit V2.04\r"));
    EXPECT_EQ(later[0].unitId, QByteArray(" Halvo Base "));
}

TEST(ReceiveAssembler, AnEventLineThatComesFirstIsKeptWhole)
{
    ReceiveAssembler a;
    auto items = feed(a, "Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::EventLine);
    EXPECT_EQ(items[0].data, QByteArray("Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r"));
}

TEST(ReceiveAssembler, LowerCaseBannerIsAnEventLineWithItsBlankAndCr)
{
    ReceiveAssembler a;
    feed(a, "Halvo\r");
    auto items = feed(a, "halvo base\r");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::EventLine);
    EXPECT_EQ(items[0].data, QByteArray(" halvo base\r"));
}

TEST(ReceiveAssembler, OverlongLineFailsOnItsByte302AndTheNextFrameDecodes)
{
    ReceiveAssembler a;
    // 301 bytes without CR fill the buffer; the 302nd has no place.
    auto items = feed(a, QByteArray(301, 'x'));
    EXPECT_TRUE(items.empty());
    items = feed(a, QByteArray(1, 'y'));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Overflow);
    items = feed(a, reply('!'));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Reply);

    // A line of 300 bytes and its CR just fits.
    ReceiveAssembler b;
    items = feed(b, QByteArray(300, 'x') + '\r');
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::EventLine);
}

TEST(ReceiveAssembler, TextLineStartingWithDIsTakenAsAFrame)
{
    // The unit's protocol: a "D" first after a completed line starts a frame, and
    // the 40 bytes are judged by their terminator alone.
    ReceiveAssembler a;
    feed(a, "x\r");
    QByteArray line = "Door opened";
    line += QByteArray(40 - line.size() - 2, '.');
    line += "\n\r";
    auto items = feed(a, line);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Reply);
    EXPECT_EQ(items[0].data.left(4), QByteArray("Door"));

    auto bad = feed(a, "Door" + QByteArray(35, '.') + '\r');
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0].kind, Kind::TerminatorError);
}

TEST(ReceiveAssembler, DiscardPendingDropsTheRestOfTheEvent)
{
    ReceiveAssembler a;
    a.push(reply('!') + "event one\r" + "event two\r");
    auto first = a.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, Kind::Reply);
    a.discardPending();
    EXPECT_FALSE(a.next());
    auto items = feed(a, "after\r");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].data, QByteArray(" after\r"));
}

TEST(ReceiveAssembler, AnySplitOfAMixedStreamGivesTheSameItems)
{
    QByteArray stream = "Halvo Base Unit V2.04\r";
    std::mt19937 rng(7);
    for (int i = 0; i < 60; ++i) {
        switch (i % 4) {
        case 0:
            stream += reply('!', static_cast<char>('a' + i % 26));
            break;
        case 1:
            stream += "Page 00490 Ev " + QByteArray::number(i) + " Alarm\r";
            break;
        case 2: {
            QByteArray r = reply('$');
            if (i % 3 == 0)
                r[39] = 'q';
            stream += r;
            break;
        }
        default:
            stream += "Halvo Base Unit V2.04\r";
            break;
        }
    }
    ReceiveAssembler whole;
    const auto expected = feed(whole, stream);
    ASSERT_GT(expected.size(), 50u);
    for (int round = 0; round < 200; ++round) {
        ReceiveAssembler a;
        std::vector<ReceiveItem> got;
        qsizetype pos = 0;
        while (pos < stream.size()) {
            const qsizetype n = std::uniform_int_distribution<qsizetype>(1, 64)(rng);
            auto part = feed(a, stream.mid(pos, n));
            got.insert(got.end(), part.begin(), part.end());
            pos += n;
        }
        ASSERT_EQ(got.size(), expected.size());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].kind, expected[k].kind);
            EXPECT_EQ(got[k].data, expected[k].data);
            EXPECT_EQ(got[k].unitId, expected[k].unitId);
        }
    }
}
