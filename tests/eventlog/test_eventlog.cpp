// Event log requests and page arithmetic, the pointer reply, the paced logger, the
// event log file and the clock request, without a window and without real time.
#include "eventlog/event_log_file.h"
#include "eventlog/event_logger.h"
#include "eventlog/event_requests.h"
#include "support/bytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace halvo::eventlog;

namespace {
using halvo::test::bytes;
// Runs the logger to its end with no event line ever arriving; returns the page
// requests as "first/count" and the tick each went out on.
QStringList runLogger(EventLogger &logger, int pointer, int pages, QList<int> *ticks = nullptr)
{
    QStringList requests;
    logger.Start();
    for (int tick = 1; tick < 1000 && (tick < 3 || logger.state() != EventLogger::State::Idle); ++tick) {
        const auto a = logger.Tick(pointer, pages);
        if (a.kind == EventLogger::Action::Kind::ReadPages) {
            EXPECT_EQ(a.firstPage, First_Page(a.start, a.count));
            requests << QStringLiteral("%1/%2").arg(a.firstPage).arg(a.count);
            if (ticks)
                *ticks << tick;
        }
    }
    return requests;
}
} // namespace

TEST(EventRequests, FramesAndPageArithmetic)
{
    EXPECT_EQ(Build_Pointer_Request(), bytes({68, 46, 0, 4, 0, 118, 10, 13}));
    EXPECT_EQ(Build_Clear_Request(), bytes({68, 40, 0, 4, 0, 112, 10, 13}));
    EXPECT_EQ(*Build_Page_Request(1000, 4), bytes({68, 41, 0, 7, 3, 14, 8, 4, 145, 10, 13}));
    EXPECT_EQ(Build_Page_Request(490, 10)->mid(4, 4), bytes({1, 14, 10, 10}));
    EXPECT_FALSE(Build_Page_Request(490, 256)); // the count is one byte
    EXPECT_FALSE(Build_Page_Request(32768, 1));

    const std::tuple<int, int, int> pages[] = {
        {500, 10, 490}, {0, 1, 32479}, {10, 10, 32480}, {5, 10, 32475}, {11, 10, 1}};
    for (auto [start, count, first] : pages)
        EXPECT_EQ(First_Page(start, count), first) << start << "," << count;
}

TEST(EventRequests, PointerReplyShowsThePageBeforeIt)
{
    auto reply = [](int h, int m, int l) { return "D/" + bytes({h, m, l}) + QByteArray(34, ' '); };
    EXPECT_EQ(Decode_Event_Log_Pointer(reply(1, 2, 3)), 290);
    EXPECT_EQ(Decode_Event_Log_Pointer(reply(0, 0, 0)), 0);
    EXPECT_EQ(Decode_Event_Log_Pointer(reply(0, 0, 1)), 0);
    EXPECT_EQ(Decode_Event_Log_Pointer(reply(126, 15, 15)), 32510);
    EXPECT_FALSE(Decode_Event_Log_Pointer(reply(128, 0, 0))); // does not fit 16 signed bits
    EXPECT_FALSE(Decode_Event_Log_Pointer(reply(127, 255, 255)));
}

TEST(EventRequests, PageCountFieldKeepsOneToRingMinusOne)
{
    for (const char *good : {"1", "32479", " 250 "})
        EXPECT_TRUE(Page_Count_Ok(good)) << good;
    for (const char *bad : {"0", "-3", "40000", "32480", "", "ten"})
        EXPECT_FALSE(Page_Count_Ok(bad)) << bad;
}

TEST(EventLogger, AsksForTheLastPagesOldestChunkFirst)
{
    EventLogger logger;
    QList<int> ticks;
    EXPECT_EQ(runLogger(logger, 50, 250, &ticks), (QStringList{"32280/100", "32380/100", "32480/50"}));
    // Pointer on tick 1, plan on tick 2, then a chunk every fourth quiet tick.
    EXPECT_EQ(ticks, (QList<int>{6, 10, 14}));
    EXPECT_EQ(logger.intervalMs(), 200);
    EXPECT_EQ(runLogger(logger, 50, 10), QStringList{"40/10"});
    EXPECT_EQ(runLogger(logger, 32000, 100), QStringList{"31900/100"});
}

TEST(EventLogger, LinesDelayTheNextChunkAndStartRestarts)
{
    EventLogger logger;
    logger.Start();
    EXPECT_EQ(logger.intervalMs(), 500);
    EXPECT_EQ(logger.Tick(50, 250).kind, EventLogger::Action::Kind::ReadPointer);
    logger.Tick(50, 250); // plan
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(logger.Tick(50, 250).kind, EventLogger::Action::Kind::None);
    logger.Line_Received(); // the unit is still sending: four more quiet ticks
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(logger.Tick(50, 250).kind, EventLogger::Action::Kind::None);
    EXPECT_EQ(logger.Tick(50, 250).firstPage, 32280);
    // Pressed again mid-read: a new pointer request, nothing repeated.
    logger.Start();
    EXPECT_EQ(logger.Tick(60, 5).kind, EventLogger::Action::Kind::ReadPointer);
    logger.Stop();
    EXPECT_EQ(logger.Tick(60, 5).kind, EventLogger::Action::Kind::None);
}

TEST(EventLogFile, EntriesKeepTheFirst63CharactersAndReachTheDiskAtOnce)
{
    const QByteArray line = " " + QByteArray(40, 'a') + "\"quoted\"" + QByteArray(30, 'b') + "\r";
    EXPECT_EQ(Event_Log_Entry(line), "\"" + line.left(63) + "\"\r\n");
    EXPECT_EQ(Event_Log_Entry(" short\r"), "\" short\r\"\r\n");

    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    EventLogFile file;
    ASSERT_TRUE(file.open(path));
    ASSERT_TRUE(file.write(" one\r") && file.write(" two\r"));
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), "\" one\r\"\r\n\" two\r\"\r\n"); // while still open
    ASSERT_TRUE(file.open(path));                                // opening again empties it
    EXPECT_EQ(QFileInfo(path).size(), 0);

    EventLogFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    EXPECT_FALSE(full.write(" lost\r"));
    EXPECT_FALSE(EventLogFile().open(dir.filePath("no/such/folder/log.txt")));
}

TEST(Clock, OneReadingOfTheClockGivesEveryField)
{
    const auto frame = Build_Clock_Request(QDateTime(QDate(2026, 12, 5), QTime(4, 46, 16)));
    EXPECT_EQ(frame, bytes({0x44, 0x26, 0x00, 0x16}) + " 12/05/26 04:46:16:" + bytes({0x31, 0x0A, 0x0D}));
    EXPECT_EQ(Build_Clock_Request(QDateTime(QDate(2000, 1, 9), QTime(0, 1, 5))).mid(4, 19),
              " 01/09/00 00:01:05:");
}
