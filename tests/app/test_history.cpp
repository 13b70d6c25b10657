// The records in the window: a read and a store recorded beside STORE, the history
// window over them, a version loaded as changes against the unit and printed, against
// the simulated unit on a pty and a real repository in a temporary folder.
#include "changes_panel.h"
#include "eventlog_tab.h"
#include "history_window.h"
#include "pass_tab.h"
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"
#include "records_menu.h"
#include "session/unit_image.h"
#include "support/window_fixture.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using halvo::config::Part;

class TestHistory : public halvo::test::WindowTest
{
    Q_OBJECT
    QTemporaryDir dir;

    QString records() const { return dir.filePath(QTest::currentTestFunction()); }
    QString recordLine() { return f.ctl<QLabel>("LabelRecorded")->text(); }
    void setUp() override
    {
        halvo::recorder::Keep_Records_Folder(records());
        f.w->records().Menu_Keep_Records_Click(true);
        f.w->records().recorder().setAuthor({}); // as on a PC that has not been told who records
        f.connectPort();
        f.unit->sendBanner();
        QVERIFY(QTest::qWaitFor([&] { return !f.w->session().identification().isEmpty(); }, 5000));
    }
    void readPasses()
    {
        f.showTab(Part::Passes);
        f.w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.w->session().image().read(Part::Passes); }, 5000));
    }
    bool recordedAs(const QString &text)
    {
        return QTest::qWaitFor([&] { return recordLine() == text; }, 5000);
    }
    void select(QTableView *view, std::initializer_list<int> rows)
    {
        view->clearSelection();
        for (int r : rows)
            view->selectionModel()->select(view->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    // The first read asks who records and what the unit is called, once; a STORE read
    // back is the next version; the history lists both and what the store changed.
    void aReadAndAStoreBecomeTheUnitsHistory()
    {
        f.dialogs.texts = {"Ann Operator", "Engine 3"};
        readPasses();
        QVERIFY2(recordedAs("recorded as version 1 of Engine 3"), qPrintable(recordLine()));
        QCOMPARE(f.dialogs.questions.size(), 2);
        QVERIFY(f.dialogs.questions[0].startsWith("Your name: "));
        QVERIFY(f.dialogs.questions[1].startsWith("Name this unit: ") &&
                f.dialogs.questions[1].endsWith("[" + f.w->session().identification().trimmed() + "]"));

        f.w->passTab().ListView1_ItemClick(f.cellAt(3, 0));
        f.ctl<QLineEdit>("TextCurrentPassUsername")->setText("Night Porter");
        f.click("CommandCurrentPassSave");
        f.w->Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QVERIFY2(recordedAs("recorded as version 2 of Engine 3"), qPrintable(recordLine()));
        QCOMPARE(f.dialogs.questions.size(), 2); // nothing asked again

        f.w->records().Menu_Unit_History_Click();
        halvo::app::HistoryWindow *h = f.w->records().history();
        QVERIFY(h && h->isVisible());
        QCOMPARE(h->unit(), QStringLiteral("Engine 3")); // the connected unit's
        QAbstractItemModelTester versionsTester(&h->versions(),
                                                QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester differencesTester(&h->differences(),
                                                   QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(h->versions().rowCount(), 2);
        QCOMPARE(h->versions().index(0, 0).data().toInt(), 2);
        QCOMPARE(h->versions().index(0, 2).data().toString(), QStringLiteral("Ann Operator"));
        QCOMPARE(h->versions().index(0, 4).data().toString(),
                 QStringLiteral("Stored 1 change: pass 3 User Names \"Night Porter\""));
        // The newest is chosen: what it changed from the one before.
        QCOMPARE(h->differences().rowCount(), 3);
        QCOMPARE(h->differences().index(0, 0).data().toString(), QStringLiteral("pass 3"));
        QCOMPARE(h->differences().index(0, 1).data().toString(), QStringLiteral("User Names"));
        QCOMPARE(h->differences().index(0, 2).data().toString(), QStringLiteral("\"Pass Device 03  \""));
        QCOMPARE(h->differences().index(0, 3).data().toString(), QStringLiteral("\"Night Porter    \""));
        // The pass table was all that was read: the rest is never shown as the unit's.
        QCOMPARE(h->differences().index(1, 0).data().toString(), QStringLiteral("settings"));
        QCOMPARE(h->differences().index(1, 3).data().toString(), QStringLiteral("not read"));
        QCOMPARE(h->differences().index(2, 0).data().toString(), QStringLiteral("location names"));

        auto *versions = h->findChild<QTableView *>("ListVersions");
        select(versions, {1});
        QCOMPARE(h->differences().rowCount(), 0);
        QCOMPARE(h->findChild<QLabel *>("LabelDifferences")->text(),
                 QStringLiteral("Version 1 is the unit's first."));
        select(versions, {0, 1});
        QCOMPARE(h->differences().rowCount(), 3);
        QCOMPARE(h->findChild<QLabel *>("LabelDifferences")->text(),
                 QStringLiteral("Version 2 against version 1: 1 field differs"));
        QVERIFY(!h->findChild<QPushButton *>("CommandLoadVersion")->isEnabled());

        // Version 1 loaded: the window holds it as a change against the unit; nothing is sent.
        select(versions, {1});
        const qsizetype frames = f.unit->receivedFrames().size();
        h->CommandLoadVersion_Click();
        QCOMPARE(f.w->configuration().passRow(3)[1].trimmed(), QStringLiteral("Pass Device 03"));
        QVERIFY(QTest::qWaitFor([&] { return f.bold(3, 1); }, 2000));
        QCOMPARE(f.ctl<QLabel>("LabelChanges")->text(), QStringLiteral("1 change not stored"));
        QCOMPARE(recordLine(), QStringLiteral("version 1 of Engine 3 loaded: pass table"));
        QCOMPARE(f.unit->receivedFrames().size(), frames);

        // Its sheet says where it came from.
        f.dialogs.printTo = dir.filePath("version1.pdf");
        h->CommandPrintVersion_Click();
        QProcess text;
        text.start("pdftotext", {f.dialogs.printTo, "-"});
        QVERIFY(text.waitForFinished(10000));
        const QString sheet = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(sheet.contains("Recorded by Ann Operator on ") && sheet.contains(", version 1"),
                 qPrintable(sheet.left(400)));
        QVERIFY(sheet.contains("Pass Device 03"));
        h->close();

        // "Who Changed This?" names the version that changed the item, not the last one.
        f.dialogs.messages.clear();
        f.w->records().whoChanged(Part::Passes, 3);
        f.w->records().whoChanged(Part::Passes, 4);
        f.w->records().whoChanged(Part::Locations, 6);
        QCOMPARE(f.dialogs.messages.size(), 3);
        QVERIFY2(
            f.dialogs.messages[0].startsWith(
                "Pass 3 was last changed in version 2 of Engine 3, by Ann Operator on ") &&
                f.dialogs.messages[0].endsWith(":\n\nStored 1 change: pass 3 User Names \"Night Porter\""),
            qPrintable(f.dialogs.messages[0]));
        QVERIFY2(f.dialogs.messages[1].startsWith("Pass 4 was last changed in version 1 of Engine 3"),
                 qPrintable(f.dialogs.messages[1]));
        QCOMPARE(f.dialogs.messages[2],
                 QStringLiteral("The records of Engine 3 hold no location names read from the "
                                "unit, so they cannot say who changed location 0x07."));
        // Offered on the field itself.
        auto *slot = f.ctl<QLineEdit>("Text_Location_Name(6)");
        QCOMPARE(slot->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    // A unit the records know reads its new events into its folder there, with nothing
    // asked, and the download is its next version.
    void newEventsAreKeptWithTheUnit()
    {
        f.dialogs.texts = {"Ann Operator", "Engine 3"};
        readPasses();
        QVERIFY2(recordedAs("recorded as version 1 of Engine 3"), qPrintable(recordLine()));
        f.showTab(Part::EventLog);
        f.ctl<QLineEdit>("TxtEventLogPagesToDownload")->setText("2");
        f.w->eventLogTab().CmdReadNewEvents_Click();
        QVERIFY2(recordedAs("recorded as version 2 of Engine 3"), qPrintable(recordLine()));
        QVERIFY(f.dialogs.offered.isEmpty()); // no archive was asked for
        const QString month = QDate::currentDate().toString("yyyy-MM");
        const QStringList kept =
            QDir(records() + "/Engine 3/events").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(kept.size(), 1); // this PC's folder
        QCOMPARE(halvo::test::readFile(records() + "/Engine 3/events/" + kept.first() + "/" + month + ".txt")
                     .count("\"\r\n"),
                 8);
        QCOMPARE(f.ctl<QLabel>("LabelEventArchive")->text(), "Archive: " + month + ".txt");
    }

    // Options > Share Records... sends what the records hold; each version after it goes
    // out as it is made, and the line says so.
    void sharedFromTheWindow()
    {
        const QString remote = dir.filePath("department.git");
        QProcess bare;
        bare.start("git", {"init", "-q", "--bare", remote});
        QVERIFY(bare.waitForFinished(10000) && bare.exitCode() == 0);
        f.dialogs.texts = {"Ann Operator", "Engine 3", remote};
        readPasses();
        QVERIFY2(recordedAs("recorded as version 1 of Engine 3"), qPrintable(recordLine()));
        f.w->records().Menu_Share_Records_Click();
        QVERIFY2(recordedAs("1 version shared with " + remote), qPrintable(recordLine()));
        f.w->passTab().ListView1_ItemClick(f.cellAt(3, 0));
        f.ctl<QLineEdit>("TextCurrentPassUsername")->setText("Night Porter");
        f.click("CommandCurrentPassSave");
        f.w->Command_Store_Config_Click();
        QVERIFY(f.waitStored());
        QVERIFY2(recordedAs("recorded as version 2 of Engine 3; 1 version shared with " + remote),
                 qPrintable(recordLine()));
        f.w->records().Menu_Sync_Records_Click();
        QVERIFY2(recordedAs("records up to date with " + remote), qPrintable(recordLine()));
    }

    // The history opens at the unit asked for, and shows another when it is chosen.
    void anotherUnitIsChosen()
    {
        QString why;
        auto repository = halvo::records::Repository::Open(dir.filePath("two units"), &why);
        QVERIFY2(repository, qPrintable(why));
        halvo::records::UnitRecords units(*repository);
        halvo::records::Finding read;
        read.parts = {Part::Settings};
        for (const char *unit : {"Gate", "Boiler", "Gate"}) {
            read.unit.writeParam(2, QString::number(read.unit.param(2).toInt() + 1));
            QVERIFY(units.record(unit, unit, {"banner", {}, "/dev/ttyUSB0", QDateTime::currentDateTimeUtc()},
                                 read, {"Ann", "pc"}, &why));
        }
        // A version whose configuration is not a data file (written by hand): named, not compared.
        QVERIFY(repository->record("Gate", {{"configuration.csv", "not a data file\n"}}, {"Eve", "pc"},
                                   "by hand", nullptr, &why));
        halvo::app::HistoryWindow h(std::move(repository), "Gate", {});
        QVERIFY2(
            h.findChild<QLabel *>("LabelDifferences")->text().startsWith("The versions cannot be compared: "),
            qPrintable(h.findChild<QLabel *>("LabelDifferences")->text()));
        QCOMPARE(h.differences().rowCount(), 0);
        auto *versions = h.findChild<QTableView *>("ListVersions");
        select(versions, {1});
        QCOMPARE(h.unit(), QStringLiteral("Gate"));
        QCOMPARE(h.versions().rowCount(), 3);
        QCOMPARE(h.differences().rowCount(), 3); // versions 2 and 1 compare: one setting, two parts not read
        h.showUnit("Boiler");
        QCOMPARE(h.unit(), QStringLiteral("Boiler"));
        QCOMPARE(h.versions().rowCount(), 1);
        QCOMPARE(h.findChild<QLabel *>("LabelDifferences")->text(),
                 QStringLiteral("Version 1 is the unit's first."));
    }

    // Recording switched off: a read records nothing, and the line says nothing of it.
    void noRecordsWhenTheyAreNotKept()
    {
        f.w->records().Menu_Keep_Records_Click(false);
        QCOMPARE(recordLine(), QStringLiteral("no records kept"));
        readPasses();
        QVERIFY(f.w->records().recorder().idle());
        QCOMPARE(recordLine(), QStringLiteral("no records kept"));
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(!QFile::exists(records() + "/.git"));
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
