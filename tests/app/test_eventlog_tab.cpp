// The Event Recorder/Logger tab and the clock button, against the simulated unit on
// a pty; the paced read ticks ten times as fast.
#include "event_view.h"
#include "eventlog/event_archive.h"
#include "eventlog_tab.h"
#include "session/archive_download.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "session/event_filing.h"
#include "session/receive_path.h"
#include "support/messages.h"
#include "support/session_probe.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

using halvo::session::EventDownload;
using halvo::test::readFile;
using namespace halvo::test::text;

namespace {
const QString ChooseFile = ChooseEventLogFile;
} // namespace

class TestEventLogTab : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    // "Read Last # of Pages of Events", until the read has ended.
    void readLastPages()
    {
        QSignalSpy ended(&Probe::events(f.w->session()), &EventDownload::ended);
        f.click("CmdReadLastEventLogPages");
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.first().first().value<EventDownload::End>(), EventDownload::End::Complete);
    }
    int listed() const { return f.w->receivedLines().count(); }
    QLineEdit *field(const char *name) { return f.ctl<QLineEdit>(name); }
    QCheckBox *storeBox() { return f.ctl<QCheckBox>("Check_Store_Event_Log"); }

protected:
    void setUp() override { f.connectPort(); }

private slots:
    void pointerPagesClearAndClockReachTheUnit()
    {
        auto &w = *f.w;
        f.unit->setEventLogPointer(291);
        f.click("CommandReadEventLogPointer");
        QVERIFY(QTest::qWaitFor([&] { return f.ctl<QLabel>("LabelEventLogPointerData")->text() == "290"; },
                                3000));

        field("TxtEventLogPageStart")->setText("500");
        field("TxtEventLogPagesToDownload")->setText("10");
        f.click("CmdReadEventLogPage");
        QVERIFY(QTest::qWaitFor([&] { return listed() == 40; }, 3000));
        QCOMPARE(f.unit->receivedFrames().last(), QStringLiteral("44 29 00 07 01 0E 0A 0A 97 0A 0D"));
        QVERIFY(w.receivedLines().line(0).startsWith(" Page 00490 Ev 1"));

        // Text that is no number sends nothing.
        field("TxtEventLogPageStart")->setText("abc");
        f.click("CmdReadEventLogPage");
        QCOMPARE(field("TxtEventLogPageStart")->text(), QStringLiteral("0"));
        f.click("CmdClearEventLog");
        f.click("CommandSetSystemClock");
        QVERIFY(QTest::qWaitFor([&] { return f.unit->receivedFrames().size() == 4; }, 3000));
        QCOMPARE(f.unit->clearCount(), 1);
        const QString today = QDate::currentDate().toString("MM/dd/yy");
        QVERIFY(QRegularExpression("^ " + today + " \\d\\d:\\d\\d:\\d\\d:$")
                    .match(QString::fromLatin1(f.unit->clockText()))
                    .hasMatch());
        QCOMPARE(f.dialogs.messages, QStringList{InvalidValue});
    }

    void lastPagesArePacedOldestChunkFirstAndAllFiled()
    {
        auto &w = *f.w;
        const QString path = dir.filePath("log.txt");
        f.dialogs.fileNames = {path};
        storeBox()->click();
        QVERIFY(Probe::filing(w.session()).filing());
        QCOMPARE(f.dialogs.messages, QStringList{ChooseFile});

        f.unit->setEventLogPointer(51); // shown as 50
        field("TxtEventLogPagesToDownload")->setText("250");
        f.unit->clearRecord();
        readLastPages();
        QCOMPARE(listed(), 1000);
        QCOMPARE(f.unit->receivedFrames(), (QStringList{"44 2E 00 04 00 76 0A 0D",             // pointer
                                                        "44 29 00 07 7E 01 08 64 5F 0A 0D",    // 32280, 100
                                                        "44 29 00 07 7E 07 0C 64 69 0A 0D",    // 32380, 100
                                                        "44 29 00 07 7E 0E 00 32 32 0A 0D"})); // 32480, 50
        // Every line listed is in the file, in order, as a quoted entry.
        const QList<QByteArray> entries = readFile(path).split('\n');
        QCOMPARE(entries.size(), 1001);
        QCOMPARE(entries.at(999), "\"" + w.receivedLines().line(999).toLatin1() + "\"\r");
        QVERIFY(f.dialogs.messages.size() == 1);
    }

    // Progress as the pages come, the estimate once a chunk is in; Stop asks for
    // nothing more while the lines of the chunk asked for still come; the view finds
    // lines and exports them.
    void aPacedReadShowsProgressStopsAndItsLinesAreFound()
    {
        auto &events = Probe::events(f.w->session());
        auto *line = f.ctl<QLabel>("LabelEventDownload");
        f.unit->setEventLogPointer(51);
        field("TxtEventLogPagesToDownload")->setText("250");
        readLastPages();
        QTRY_COMPARE(line->text(), QStringLiteral("Done: 250 of 250 pages arrived"));
        QVERIFY(f.ctl("ProgressBarEventDownload")->isHidden());

        f.unit->clearRecord();
        f.click("CmdReadLastEventLogPages");
        QVERIFY(!f.ctl("CmdStopEventDownload")->isHidden());
        QTRY_COMPARE(events.progress().pagesAsked, 100);
        f.click("CmdStopEventDownload");
        QTRY_COMPARE(line->text(), QStringLiteral("Stopped: 100 of 250 pages arrived"));
        QCOMPARE(f.framesSettled().size(), 2); // the pointer and the one chunk

        auto &view = f.w->eventLogTab().view();
        f.ctl<QLineEdit>("TxtFilterEventLines")->setText("pass 05 ALARM");
        QTRY_VERIFY(!view.filter().busy());
        QVERIFY(view.filter().shown() > 0 && view.filter().shown() < listed());
        QTRY_COMPARE(f.ctl<QLabel>("LabelEventLineCount")->text(),
                     QStringLiteral("%1 of %2 lines").arg(view.filter().shown()).arg(listed()));
        f.dialogs.fileNames = {dir.filePath("found.txt")};
        f.click("CmdExportShownLines");
        const QList<QByteArray> entries = readFile(dir.filePath("found.txt")).split('\n');
        QCOMPARE(entries.size(), view.filter().shown() + 1);
        for (const QByteArray &entry : entries.mid(0, entries.size() - 1))
            QVERIFY(entry.toLower().contains("pass") && entry.contains("05") && entry.contains("Alarm"));
    }

    // A count typed without leaving its field is checked when the read is planned:
    // "0" and "40000" become "1", and one page is asked for.
    void theReadIsPlannedWithACheckedPageCount()
    {
        f.unit->setEventLogPointer(51);
        for (const char *typed : {"0", "40000"}) {
            field("TxtEventLogPagesToDownload")->setText(typed);
            f.unit->clearRecord();
            readLastPages();
            QCOMPARE(field("TxtEventLogPagesToDownload")->text(), QStringLiteral("1"));
            QCOMPARE(
                f.unit->receivedFrames(),
                (QStringList{"44 2E 00 04 00 76 0A 0D", "44 29 00 07 00 03 01 01 79 0A 0D"})); // page 49, 1
        }
    }

    // Lines that arrive while the operator chooses the file are in it once it opens.
    void linesThatArriveWhileTheFileIsChosenAreFiled()
    {
        const QString path = dir.filePath("chosen.txt");
        f.dialogs.fileNames = {path};
        f.dialogs.onFileDialog = [&] {
            f.unit->sendRaw(" early one\r early two\r");
            QVERIFY(QTest::qWaitFor([&] { return listed() == 2; }, 3000));
        };
        storeBox()->click();
        f.dialogs.onFileDialog = nullptr;
        f.unit->sendRaw(" later\r");
        QVERIFY(QTest::qWaitFor([&] { return listed() == 3; }, 3000));
        QCOMPARE(readFile(path), QByteArray("\" early one\r\"\r\n\"  early two\r\"\r\n\"  later\r\"\r\n"));
    }

    void eventLogFileChoiceAndFailures()
    {
        auto &w = *f.w;
        // Cancelled: the box is cleared again and no file is open.
        storeBox()->click();
        QVERIFY(!storeBox()->isChecked() && !Probe::filing(w.session()).filing());
        QCOMPARE(f.dialogs.offered, QStringList{halvo::app::documentsFolder() + "|Halvo_Event_Log.txt"});
        // A folder that does not exist: the message, the box cleared.
        f.dialogs.fileNames = {dir.filePath("missing/log.txt")};
        storeBox()->click();
        QVERIFY(!storeBox()->isChecked());
        QCOMPARE(f.dialogs.messages.last(), SaveError);
        // A disk that fills up: told once, the box cleared, the lines still listed.
        f.dialogs.messages.clear();
        f.dialogs.fileNames = {"/dev/full"};
        storeBox()->click();
        f.unit->sendRaw(" one\r two\r three\r");
        QVERIFY(QTest::qWaitFor([&] { return listed() == 3; }, 3000));
        QCOMPARE(f.dialogs.messages, (QStringList{ChooseFile, SaveError}));
        QVERIFY(!storeBox()->isChecked() && !Probe::filing(w.session()).filing());

        // Checking again with the same name empties the file and starts again.
        const QString path = dir.filePath("log.txt");
        for (const char *line : {"first\r", "second\r"}) {
            f.dialogs.fileNames = {path};
            storeBox()->click();
            f.unit->sendRaw(line);
            QVERIFY(QTest::qWaitFor([&] { return readFile(path).contains(line); }, 3000));
            QCOMPARE(readFile(path), "\" " + QByteArray(line) + "\"\r\n"); // the line's leading blank kept
            storeBox()->click();                                           // unchecked: closed
            QVERIFY(!Probe::filing(w.session()).filing());
        }
    }
};

QTEST_MAIN(TestEventLogTab)
#include "test_eventlog_tab.moc"
