// Event log requests and page arithmetic, the pointer reply, the paced logger, the
// event log file and the clock request, without a window and without real time.
#include "eventlog/event_archive.h"
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
    logger.start();
    for (int tick = 1; tick < 1000 && (tick < 3 || logger.state() != EventLogger::State::Idle); ++tick) {
        const auto a = logger.Event_Logger_Tick(pointer, pages);
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
    logger.start();
    EXPECT_EQ(logger.intervalMs(), 500);
    EXPECT_EQ(logger.Event_Logger_Tick(50, 250).kind, EventLogger::Action::Kind::ReadPointer);
    logger.Event_Logger_Tick(50, 250); // plan
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(logger.Event_Logger_Tick(50, 250).kind, EventLogger::Action::Kind::None);
    logger.lineReceived(); // the unit is still sending: four more quiet ticks
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(logger.Event_Logger_Tick(50, 250).kind, EventLogger::Action::Kind::None);
    EXPECT_EQ(logger.Event_Logger_Tick(50, 250).firstPage, 32280);
    // Pressed again mid-read: a new pointer request, nothing repeated.
    logger.start();
    EXPECT_EQ(logger.Event_Logger_Tick(60, 5).kind, EventLogger::Action::Kind::ReadPointer);
    logger.stop();
    EXPECT_EQ(logger.Event_Logger_Tick(60, 5).kind, EventLogger::Action::Kind::None);
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

// What a download of new events reads, from where the archive's record ended.
TEST(EventArchive, NewPagesFollowThePointer)
{
    ArchiveRecord r;
    r.endPage = 250;
    r.savedAt = QDateTime(QDate(2026, 12, 7), QTime(10, 20, 0));
    auto plan = [&](int pointer) {
        const NewPages p = Plan_New_Pages(r, pointer);
        return QStringLiteral("%1+%2%3 %4")
            .arg(p.firstPage)
            .arg(p.count)
            .arg(p.rereadsLastPage ? " again" : "", p.note);
    };
    EXPECT_EQ(plan(253), "249+4 again "); // three new pages, and the last one read again
    EXPECT_EQ(plan(250), "0+0 No new events since 2026-12-07 10:20:00");
    EXPECT_EQ(plan(40), "0+40 The log pointer went back from 250 to 40: the log was cleared or has wrapped. "
                        "Pages 0 to 39 are read; if it wrapped, pages 250 to 32479 were overwritten or are "
                        "older than the archive and are not read.");
    EXPECT_EQ(plan(0),
              "0+0 The log pointer went back from 250 to 0: the log was cleared or has wrapped. "
              "Nothing is read; if it wrapped, pages 250 to 32479 were overwritten or are older than "
              "the archive and are not read.");
    // The page read again that is not the archive's last: named, with the record's time.
    EXPECT_EQ(Mismatch_Note(r),
              "Page 249 as the unit holds it now is not the page this archive ends with: this "
              "is another unit, or its log was cleared and refilled since 2026-12-07 10:20:00. "
              "Nothing was added.");
    r.cleared = true; // the tool cleared it: from the start of the ring, nothing to say
    EXPECT_EQ(plan(40), "0+40 ");
    r = {};
    EXPECT_EQ(plan(3), "0+3 "); // a record at page 0: nothing to read again

    // Chunks of at most 100, round the ring.
    std::vector<std::pair<int, int>> chunks = Page_Chunks(32400, 250);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], std::make_pair(32400, 100));
    EXPECT_EQ(chunks[1], std::make_pair(20, 100));
    EXPECT_EQ(chunks[2], std::make_pair(120, 50));
}

// Whole pages only; a page read again loses the lines the archive holds, not more.
TEST(EventArchive, PagesAreHandedOutWholeAndNeverTwice)
{
    const QByteArray a = " a\r", b = " b\r", c = " c\r", d = " d\r";
    PageCollector first;
    for (const QByteArray &line : {a, b, c, d, a})
        first.take(line);
    EXPECT_EQ(first.wholePages(), 1);
    EXPECT_EQ(first.finish(),
              QList<QByteArray>{Event_Log_Entry(a)}); // a complete download: the last page as it is
    PageCollector grown({Event_Log_Entry(a), Event_Log_Entry(b), Event_Log_Entry(c)});
    QList<QByteArray> out;
    for (const QByteArray &line : {a, b, c, d, b, c})
        out += grown.take(line);
    EXPECT_EQ(out,
              QList<QByteArray>{Event_Log_Entry(d)}); // the one line more; the next page still collecting
    EXPECT_EQ(grown.lastPage().size(), 4);
    // The page read again is not what the archive ends with: nothing of it goes, and
    // the collector says why.
    PageCollector other({Event_Log_Entry(a), Event_Log_Entry(b)});
    for (const QByteArray &line : {a, c, d})
        EXPECT_TRUE(other.take(line).isEmpty());
    EXPECT_FALSE(other.mismatch());
    EXPECT_TRUE(other.take(b).isEmpty());
    EXPECT_TRUE(other.mismatch());
    EXPECT_FALSE(grown.mismatch());
}

TEST(EventArchive, TheRecordIsWrittenWholeAndADamagedOneIsRefused)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("archive.txt");
    QString why;
    EXPECT_FALSE(Read_Record(archive, &why));
    EXPECT_TRUE(why.isEmpty()); // none yet: a first download
    ArchiveRecord r;
    r.endPage = 1234;
    r.savedAt = QDateTime(QDate(2026, 12, 7), QTime(10, 20, 30));
    r.unitId = " Halvo Base ";
    r.port = "/dev/ttyUSB0";
    r.lastPage = {"\" Page 01233 Ev 4\r\"\r\n"};
    ASSERT_TRUE(Write_Record(archive, r));
    const auto back = Read_Record(archive, &why);
    ASSERT_TRUE(back);
    EXPECT_EQ(Format_Record(*back), Format_Record(r));
    QFile f(Record_Path(archive));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("end-page: lots\n");
    f.close();
    EXPECT_FALSE(Read_Record(archive, &why));
    EXPECT_TRUE(why.contains("is damaged")) << why.toStdString();
    // Where the last download ended and when, both or the record is refused; and
    // nothing it does not know.
    EXPECT_FALSE(Parse_Record("halvo event archive record 1\nsaved: 2026-12-07T10:20:30\n"));
    EXPECT_FALSE(Parse_Record("halvo event archive record 1\nend-page: 12\n"));
    EXPECT_TRUE(Parse_Record("halvo event archive record 1\nend-page: 12\nsaved: 2026-12-07T10:20:30\n"));
    EXPECT_FALSE(Parse_Record(
        "halvo event archive record 1\nend-page: 12\nsaved: 2026-12-07T10:20:30\ncolour: blue\n"));
    EXPECT_FALSE(Append_Entries("/dev/full", {"\"x\"\r\n"}));
    EXPECT_EQ(About_Time(100000), "about 1 min 40 s");
    EXPECT_EQ(About_Time(7500000), "about 2 h 5 min");
}

// An archive belongs to one unit: by its whole banner, or, for a record an earlier
// release wrote with the banner's first 12 characters, by those.
TEST(EventArchive, ARecordBelongsToTheUnitItNames)
{
    ArchiveRecord r;
    const QString unit = "Halvo Base Unit V2.04 SN 000417";
    EXPECT_TRUE(Record_Is_Of_Unit(r, unit)); // names none
    r.unitId = unit;
    EXPECT_TRUE(Record_Is_Of_Unit(r, unit));
    EXPECT_FALSE(Record_Is_Of_Unit(r, "Halvo Base Unit V2.04 SN 000418"));
    EXPECT_FALSE(Record_Is_Of_Unit(r, "Halvo Base Unit V2.04"));
    r.unitId = " Halvo Base "; // an earlier release's, after the first banner
    EXPECT_TRUE(Record_Is_Of_Unit(r, unit));
    r.unitId = "Halvo Base U"; // and its first banner, the NUL gone
    EXPECT_TRUE(Record_Is_Of_Unit(r, unit));
    EXPECT_FALSE(Record_Is_Of_Unit(r, "Halvo Relay Unit V1.00"));
}
