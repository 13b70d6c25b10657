#include "link/receive_assembler.h"

#include <gtest/gtest.h>

#include <random>

using namespace halvo::link;
using Kind = ReceiveItem::Kind;

namespace {
// A 40-byte reply frame: "D", code, 36 data bytes, LF, CR.
QByteArray reply(char code, char fill = 'x')
{
    return QByteArray("D") + code + QByteArray(36, fill) + "\n\r";
}

std::vector<ReceiveItem> feed(ReceiveAssembler &a, std::initializer_list<QByteArray> events)
{
    std::vector<ReceiveItem> out;
    for (const auto &bytes : events) {
        a.push(bytes);
        while (auto item = a.next())
            out.push_back(*item);
    }
    return out;
}

std::vector<Kind> kinds(const std::vector<ReceiveItem> &items)
{
    std::vector<Kind> k;
    for (const auto &i : items)
        k.push_back(i.kind);
    return k;
}
} // namespace

TEST(ReceiveAssembler, RepliesSplitOrBunchedComeOutWholeAndInOrder)
{
    ReceiveAssembler a;
    const QByteArray f = reply('!');
    auto items = feed(a, {f.left(10), f.mid(10, 25), f.mid(35)});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Reply);
    EXPECT_EQ(items[0].data, f.left(39));

    items = feed(a, {reply('!', 'a') + reply('$', 'b')});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].data.at(1), '!');
    EXPECT_EQ(items[1].data.at(1), '$');
    EXPECT_EQ(a.lineBuffer(), QByteArray(" "));
    EXPECT_EQ(a.writeIndex(), 0);
}

TEST(ReceiveAssembler, MissingLfIsOneTerminatorErrorAndTheNextFrameDecodes)
{
    ReceiveAssembler a;
    QByteArray bad = reply('!');
    bad[38] = 'z';
    const auto items = feed(a, {bad + reply('-')});
    EXPECT_EQ(kinds(items), (std::vector<Kind>{Kind::TerminatorError, Kind::Reply}));
    EXPECT_EQ(items[1].data.at(1), '-');
}

TEST(ReceiveAssembler, BannersFirstBehindTheNulThenBehindTheBlank)
{
    ReceiveAssembler a;
    auto items = feed(a, {"Halvo Base Unit V2.04\r"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Identification);
    EXPECT_EQ(items[0].data, QByteArray("Halvo Base Unit V2.04\r"));
    EXPECT_EQ(items[0].unitId, QByteArray("Halvo Base U"));

    items = feed(a, {"Halvo Base Unit V2.04\r", "halvo base\r"});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, Kind::Identification);
    EXPECT_EQ(items[0].unitId, QByteArray(" Halvo Base "));
    // Lower case is not the banner: an event line, leading blank and CR included.
    EXPECT_EQ(items[1].kind, Kind::EventLine);
    EXPECT_EQ(items[1].data, QByteArray(" halvo base\r"));
}

TEST(ReceiveAssembler, AnEventLineThatComesFirstIsKeptWhole)
{
    ReceiveAssembler a;
    const auto items = feed(a, {"Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::EventLine);
    EXPECT_EQ(items[0].data, QByteArray("Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r"));
}

TEST(ReceiveAssembler, OverlongLineFailsOnByte302AndTheNextFrameDecodes)
{
    ReceiveAssembler a;
    EXPECT_TRUE(feed(a, {QByteArray(301, 'x')}).empty());
    EXPECT_EQ(kinds(feed(a, {"y", reply('!')})), (std::vector<Kind>{Kind::Overflow, Kind::Reply}));
    // 300 bytes and the CR just fit.
    ReceiveAssembler b;
    EXPECT_EQ(kinds(feed(b, {QByteArray(300, 'x') + '\r'})), std::vector<Kind>{Kind::EventLine});
}

TEST(ReceiveAssembler, TextLineStartingWithDIsTakenAsAFrame)
{
    // A "D" first after a completed line starts a frame; its 40 bytes are judged
    // by their terminator alone.
    ReceiveAssembler a;
    feed(a, {"x\r"});
    auto items = feed(a, {"Door opened" + QByteArray(27, '.') + "\n\r"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, Kind::Reply);
    EXPECT_EQ(items[0].data.left(4), QByteArray("Door"));
    EXPECT_EQ(kinds(feed(a, {"Door" + QByteArray(35, '.') + '\r'})),
              std::vector<Kind>{Kind::TerminatorError});
}

TEST(ReceiveAssembler, DiscardPendingDropsTheRestOfTheEvent)
{
    ReceiveAssembler a;
    a.push(reply('!') + "event one\r" + "event two\r");
    ASSERT_EQ(a.next()->kind, Kind::Reply);
    a.discardPending();
    EXPECT_FALSE(a.next());
    const auto items = feed(a, {"after\r"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].data, QByteArray(" after\r"));
}

TEST(ReceiveAssembler, AnySplitOfAMixedStreamGivesTheSameItems)
{
    QByteArray stream = "Halvo Base Unit V2.04\r";
    for (int i = 0; i < 60; ++i) {
        QByteArray r = reply("!$"[i % 2], static_cast<char>('a' + i % 26));
        if (i % 7 == 0)
            r[39] = 'q';
        stream +=
            r + (i % 3 ? "Page 00490 Ev " + QByteArray::number(i) + " Alarm\r" : "Halvo Base Unit V2.04\r");
    }
    ReceiveAssembler whole;
    const auto expected = feed(whole, {stream});
    ASSERT_GT(expected.size(), 100u);
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        ReceiveAssembler a;
        std::vector<ReceiveItem> got;
        for (qsizetype pos = 0, n = 0; pos < stream.size(); pos += n) {
            n = std::uniform_int_distribution<qsizetype>(1, 64)(rng);
            if (rng() % 3 == 0) {
                a.push(stream.mid(pos, n)); // a second push before the first is drained
                continue;
            }
            const auto part = feed(a, {stream.mid(pos, n)});
            got.insert(got.end(), part.begin(), part.end());
        }
        const auto rest = feed(a, {QByteArray()});
        got.insert(got.end(), rest.begin(), rest.end());
        ASSERT_EQ(got.size(), expected.size());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].kind, expected[k].kind);
            EXPECT_EQ(got[k].data, expected[k].data);
            EXPECT_EQ(got[k].unitId, expected[k].unitId);
        }
    }
}
