// "Read New Events" and the collection on a schedule, on the Event Recorder/Logger
// tab against the simulated unit on a pty: the unit's own archive, chosen once and
// named on the tab, only new pages, nothing of another unit's, the question when the
// archive's last page is not the unit's, and the box that collects every N minutes.
#include "eventlog/event_archive.h"
#include "eventlog_tab.h"
#include "session/archive_download.h"
#include "session/event_collection.h"
#include "session/event_download.h"
#include "support/session_probe.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

using halvo::test::readFile;

class TestEventArchiveTab : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    QLineEdit *field(const char *name) { return f.ctl<QLineEdit>(name); }

protected:
    void setUp() override { f.connectPort(); }

private slots:
    // "Read New Events": the archive is chosen once for the unit; each read appends
    // only pages it does not hold; a read stopped before any page leaves the record
    // as it was; after "Clear Event Log" the next read starts at the ring's start,
    // though the pointer is past where the last read ended.
    void newEventsGoToTheUnitsArchiveOnce()
    {
        const QString archive = dir.filePath("archive.txt");
        QSignalSpy ended(&Probe::archive(f.w->session()), &halvo::session::ArchiveDownload::ended);
        auto readNew = [&](bool stopAtOnce = false) {
            ended.clear();
            f.click("CmdReadNewEvents");
            if (stopAtOnce)
                f.click("CmdStopEventDownload");
            return (!ended.isEmpty() || ended.wait(20000)) &&
                   ended.first().first().value<halvo::session::DownloadEnd>().appendedAll;
        };
        auto entries = [&] { return QString::fromLatin1(readFile(archive)).split("\r\n").filter("Page"); };
        f.unit->setEventLogPointer(5);
        field("TxtEventLogPagesToDownload")->setText("3");
        f.dialogs.fileNames = {archive};
        QVERIFY(readNew());
        QCOMPARE(f.dialogs.offered.size(), 1);
        QCOMPARE(entries().size(), 12); // pages 1 to 3, the three before the one being written
        QVERIFY(entries().first().contains("Page 00001 Ev 1"));

        f.unit->setEventLogPointer(6);
        QVERIFY(readNew());
        QCOMPARE(f.dialogs.offered.size(), 1); // remembered for this unit
        QCOMPARE(entries().size(), 16);        // page 3 read again, nothing written twice
        QCOMPARE(entries().removeDuplicates(), 0);

        f.click("CmdClearEventLog");
        const QByteArray cleared = readFile(halvo::eventlog::Record_Path(archive));
        QVERIFY(cleared.contains("cleared: yes"));
        QVERIFY(!readNew(true));
        QCOMPARE(readFile(halvo::eventlog::Record_Path(archive)), cleared);
        QTRY_VERIFY(f.w->session().lastPointer()); // the stopped read's answer is in

        f.unit->setEventLogPointer(8);
        QVERIFY(readNew());
        QCOMPARE(entries().filter("Page 00000 Ev 1").size(), 1);
        QCOMPARE(entries().filter("Page 00006 Ev 4").size(), 1);
    }

    // The archive is the unit's own: remembered by its banner and its adapter (here
    // its port), named on the tab. The line says what was appended, and it stays.
    // The page read again not being the archive's last is asked about once the read
    // has ended; an archive of another unit, or one that cannot be started, is told
    // once and nothing is asked of the unit.
    void anArchiveHoldsTheEventsOfOneUnit()
    {
        const QString archive = dir.filePath("gate.txt"), other = dir.filePath("other.txt");
        QSignalSpy ended(&Probe::archive(f.w->session()), &halvo::session::ArchiveDownload::ended);
        auto readNew = [&] {
            ended.clear();
            f.click("CmdReadNewEvents");
            return !ended.isEmpty() || ended.wait(20000);
        };
        auto *line = f.ctl<QLabel>("LabelEventDownload");
        f.unit->sendBanner();
        QTRY_VERIFY(!f.w->session().identification().isEmpty());
        field("TxtEventLogPagesToDownload")->setText("2");
        f.dialogs.fileNames = {archive};
        QVERIFY(readNew());
        QCOMPARE(line->text(),
                 QStringLiteral("8 new lines appended to %1").arg(QDir::toNativeSeparators(archive)));
        QCOMPARE(f.ctl<QLabel>("LabelEventArchive")->text(), QStringLiteral("Archive: gate.txt"));
        QCOMPARE(f.ctl<QLabel>("LabelEventArchive")->toolTip(), QDir::toNativeSeparators(archive)); // where it is
        QSettings remembered;
        QCOMPARE(remembered
                     .value(QStringLiteral("archives/%1/%2")
                                .arg(QString(QByteArray("Halvo Base Unit V2.04 SN 000417").toHex()),
                                     QString(f.unit->devicePath().toLatin1().toHex())))
                     .toString(),
                 archive);

        // Another log behind the same banner: asked once the read ended, nothing added.
        const QByteArray held = readFile(archive);
        f.unit->setLogGeneration(1);
        f.unit->addEventPages(1);
        QVERIFY(readNew());
        QVERIFY(
            line->text().startsWith("Page 498 as the unit holds it now is not the page this archive ends"));
        QTRY_COMPARE(f.dialogs.questions.size(), 1);
        QVERIFY(f.dialogs.questions.first().endsWith(
            "Nothing was added. [Choose Another Archive...|Append Anyway]"));
        QCOMPARE(readFile(archive), held);
        f.dialogs.choices = {1};
        f.dialogs.questions.clear();
        QVERIFY(readNew());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 20000); // "Append Anyway": read again, unchecked
        QCOMPARE(f.dialogs.questions.size(), 1);
        QVERIFY(readFile(archive).size() > held.size());
        QVERIFY(readFile(archive).startsWith(held));
        QVERIFY(f.dialogs.messages.isEmpty());
        // Refilled again: "Choose Another Archive..." starts a new one for the unit.
        const QString fresh = dir.filePath("fresh.txt");
        f.unit->setLogGeneration(2);
        f.unit->addEventPages(1);
        f.dialogs.choices = {0};
        f.dialogs.fileNames = {fresh};
        QVERIFY(readNew());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 20000);
        QCOMPARE(f.ctl<QLabel>("LabelEventArchive")->text(), QStringLiteral("Archive: fresh.txt"));
        QCOMPARE(readFile(fresh).count("\"\r\n"), 8);

        // An archive of another unit, chosen by hand: told once, nothing asked.
        QVERIFY(QFile::copy(halvo::eventlog::Record_Path(archive), halvo::eventlog::Record_Path(other)));
        QVERIFY(QFile::copy(archive, other));
        f.unit->setBannerText("Halvo Base Unit V2.04 SN 000999\r");
        f.unit->sendBanner();
        QTRY_VERIFY(f.w->session().identification().endsWith("000999"));
        f.unit->clearRecord();
        f.dialogs.fileNames = {other};
        f.click("CmdReadNewEvents");
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.first().endsWith(
            "holds the events of \"Halvo Base Unit V2.04 SN 000417\"; the unit on " + f.unit->devicePath() +
            " is \"Halvo Base Unit V2.04 SN 000999\". Choose another archive."));
        // A damaged record: told once, nothing asked.
        QFile record(halvo::eventlog::Record_Path(other));
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write("not a record\n") > 0);
        record.close();
        f.dialogs.fileNames = {other};
        f.click("CmdReadNewEvents");
        QCOMPARE(f.dialogs.messages.size(), 2);
        QVERIFY(f.dialogs.messages.last().contains("cannot be read: it is damaged"));
        QCOMPARE(f.framesSettled(), QStringList());
        QCOMPARE(f.ctl<QLabel>("LabelEventArchive")->text(), QStringLiteral("Archive: fresh.txt"));
    }

    // "Collect new events every N minutes": the unit's archive is chosen once, the line
    // says when the next collection is and how the last went; a failure is said on
    // the tab each time and in one message; the choice is kept for the unit.
    void newEventsAreCollectedWhileTheBoxIsTicked()
    {
        const QString archive = dir.filePath("collected.txt");
        auto *line = f.ctl<QLabel>("LabelCollection");
        auto *box = f.ctl<QCheckBox>("CheckCollectEvents");
        QSettings().clear(); // no archive remembered for the unit
        f.unit->sendBanner();
        QTRY_VERIFY(!f.w->session().identification().isEmpty());
        box->click(); // no archive for the unit yet, and the choice cancelled: nothing collects
        QVERIFY(!box->isChecked() && !Probe::collection(f.w->session()).active());
        field("TxtCollectMinutes")->setText("0");
        field("TxtEventLogPagesToDownload")->setText("2");
        f.dialogs.fileNames = {archive};
        box->click();
        QCOMPARE(field("TxtCollectMinutes")->text(), QStringLiteral("15")); // 1 to 1440
        QVERIFY(line->text().startsWith("Next collection at "));
        QTRY_VERIFY_WITH_TIMEOUT(line->text().contains("; 8 new lines at "), 20000);
        QCOMPARE(readFile(archive).count("\"\r\n"), 8);
        QSettings remembered;
        const QString unit = QString(QByteArray("Halvo Base Unit V2.04 SN 000417").toHex()) + "/" +
                             QString(f.unit->devicePath().toLatin1().toHex());
        QVERIFY2(remembered.value("collect/" + unit + "/on").toBool(),
                 qPrintable(remembered.allKeys().join(",") + " " + f.w->session().identification()));
        QCOMPARE(remembered.value("collect/" + unit + "/minutes").toInt(), 15);
        QCOMPARE(remembered.value("archives/" + unit).toString(), archive); // chosen once for the unit

        QSignalSpy failed(&Probe::collection(f.w->session()), &halvo::session::EventCollection::failed);
        QFile record(halvo::eventlog::Record_Path(archive));
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write("damaged\n") > 0);
        record.close();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 3, 20000);
        QVERIFY(line->text().contains("The last collection failed: The record of "));
        QTRY_COMPARE(f.dialogs.messages.size(), 1); // once, however many periods fail
        QVERIFY(f.dialogs.messages.first().startsWith("New events could not be collected: "));
        box->click();
        QVERIFY(!Probe::collection(f.w->session()).active());
        QCOMPARE(remembered.value("collect/" + unit + "/on").toBool(), false);

        // 1 to 1440 minutes.
        for (const auto &[typed, kept] :
             {std::pair{"1", "1"}, {"1440", "1440"}, {"1441", "15"}, {"x", "15"}}) {
            field("TxtCollectMinutes")->setText(typed);
            QTest::keyClick(field("TxtCollectMinutes"), Qt::Key_Return); // as the operator ends an edit
            QCOMPARE(field("TxtCollectMinutes")->text(), QString::fromLatin1(kept));
        }
        // The unit's own choice comes back when it says which unit it is.
        remembered.setValue("collect/" + unit + "/on", true);
        remembered.setValue("collect/" + unit + "/minutes", 30);
        f.unit->sendBanner();
        QTRY_VERIFY(box->isChecked());
        QCOMPARE(field("TxtCollectMinutes")->text(), QStringLiteral("30"));
        QVERIFY(Probe::collection(f.w->session()).active());
    }

    // A collection set up with a new archive while the unit announces itself every
    // 2 s, as units do: no banner stops it, and it collects at its first period and at
    // the next.
    void aNewArchiveIsCollectedIntoWhileTheUnitAnnouncesItself()
    {
        const QString archive = dir.filePath("first-time.txt");
        auto *box = f.ctl<QCheckBox>("CheckCollectEvents");
        auto &collection = Probe::collection(f.w->session());
        auto timing = halvo::test::WindowFixture::fastTiming();
        timing.collectMinuteMs = 3000; // a banner comes before the first collection
        f.w->setTiming(timing);
        QSettings().clear();
        QSignalSpy banners(&f.w->session(), &halvo::session::UnitSession::identified);
        f.unit->setBannerInterval(2000);
        QVERIFY(banners.wait(5000));
        field("TxtEventLogPagesToDownload")->setText("1");
        field("TxtCollectMinutes")->setText("1");
        f.dialogs.fileNames = {archive};
        banners.clear();
        box->click();
        QVERIFY(box->isChecked() && collection.active() && !QFile::exists(archive));
        QSignalSpy collected(&collection, &halvo::session::EventCollection::collected);
        QVERIFY(collected.wait(10000));
        QVERIFY2(!banners.isEmpty(), "no banner came before the first collection");
        QCOMPARE(collected.takeFirst().first().toString().left(12), QStringLiteral("4 new lines "));
        f.unit->addEventPages(1);
        QVERIFY(collected.wait(10000));
        QVERIFY(box->isChecked() && collection.active());
        QCOMPARE(readFile(archive).count("\"\r\n"), 8);
        QCOMPARE(f.dialogs.offered.size(), 1); // the archive was asked for once
    }

    // A remembered archive whose file has gone is never made anew without a word: the
    // operator is asked for one when the next collection falls due, when the unit's
    // choice comes back with its banner, and when the box is ticked.
    void aGoneArchiveIsAskedForAgain()
    {
        const QString gone = dir.filePath("gone.txt"), fresh = dir.filePath("instead.txt");
        auto *box = f.ctl<QCheckBox>("CheckCollectEvents");
        auto &collection = Probe::collection(f.w->session());
        QSettings().clear();
        f.unit->sendBanner();
        QTRY_VERIFY(!f.w->session().identification().isEmpty());
        f.dialogs.fileNames = {gone};
        field("TxtEventLogPagesToDownload")->setText("1");
        box->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(gone), 10000);
        QTRY_VERIFY(!f.w->session().busy());
        f.dialogs.fileNames = {fresh};
        QVERIFY(QFile::remove(gone) && QFile::remove(halvo::eventlog::Record_Path(gone)));
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.offered.size(), 2, 10000);
        QVERIFY2(f.dialogs.messages.value(0).contains("gone.txt"), qPrintable(f.dialogs.messages.join('|')));
        QVERIFY(box->isChecked() && collection.active());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fresh), 10000);
        QVERIFY(!QFile::exists(gone));

        // The unit's choice comes back with its banner: asked; cancelled, nothing runs,
        // and the next banner asks nothing.
        box->click();
        QTRY_VERIFY(!f.w->session().busy());
        QVERIFY(QFile::remove(fresh));
        const QString unit = QString(QByteArray("Halvo Base Unit V2.04 SN 000417").toHex()) + "/" +
                             QString(f.unit->devicePath().toLatin1().toHex());
        QSettings().setValue("collect/" + unit + "/on", true);
        f.unit->sendBanner();
        QTRY_COMPARE(f.dialogs.offered.size(), 3);
        QVERIFY(!box->isChecked() && !collection.active());
        f.unit->sendBanner();
        QSignalSpy banners(&f.w->session(), &halvo::session::UnitSession::identified);
        QVERIFY(banners.wait(5000));
        QCOMPARE(f.dialogs.offered.size(), 3);

        // Ticked by hand: asked again; cancelled, nothing runs and nothing is made.
        box->click();
        QCOMPARE(f.dialogs.offered.size(), 4);
        QVERIFY(!box->isChecked() && !collection.active() && !QFile::exists(fresh));
    }

    // What a read of new events was told before it began goes when a read of the
    // last pages starts.
    void aNoteOfNewEventsGoesWhenTheLastPagesAreRead()
    {
        auto *line = f.ctl<QLabel>("LabelEventDownload");
        const QString archive = dir.filePath("wrapped.txt");
        halvo::eventlog::ArchiveRecord r;
        r.endPage = 600;
        r.savedAt = QDateTime::currentDateTime();
        QVERIFY(halvo::eventlog::Write_Record(archive, r));
        QSettings().clear();
        f.dialogs.fileNames = {archive};
        QSignalSpy ended(&Probe::archive(f.w->session()), &halvo::session::ArchiveDownload::ended);
        f.unit->setEventLogPointer(3);
        f.click("CmdReadNewEvents");
        QVERIFY(ended.wait(20000));
        QVERIFY(line->text().startsWith("The log pointer went back from 600 to 2"));
        f.click("CmdReadLastEventLogPages");
        QVERIFY(!line->text().contains("went back"));
    }
};

QTEST_MAIN(TestEventArchiveTab)
#include "test_event_archive_tab.moc"
