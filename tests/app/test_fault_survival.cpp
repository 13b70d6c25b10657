// The window survives the unit going away at any moment and takes it back when it
// returns on the same device, as a re-plugged adapter does. Every message the tool
// can show is listed here, each reached by a case of its own.
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

using halvo::sim::SimUnit;
using halvo::test::cpuMs;
using halvo::test::FakeDialogs;

namespace {
const QString CommError = QStringLiteral("Communications Error Please correct and retry");
}

class TestFaultSurvival : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString device; // a symlink, re-pointed when the unit comes back
    std::unique_ptr<SimUnit> unit;
    std::unique_ptr<halvo::app::FormMain> w;
    FakeDialogs::Log dialogs;

    void plugIn()
    {
        unit = std::make_unique<SimUnit>();
        unit->setBannerInterval(100);
        QVERIFY(unit->start());
        QFile::remove(device);
        QVERIFY(QFile::link(unit->devicePath(), device));
    }

private slots:
    void init()
    {
        device = dir.filePath("ttyHalvo");
        plugIn();
        dialogs = {};
        w = std::make_unique<halvo::app::FormMain>(halvo::app::FormOptions{{device}, device});
        w->setDialogs(std::make_unique<FakeDialogs>(dialogs));
        w->setTiming(halvo::test::WindowFixture::fastTiming());
        w->Timer_Event_Logger->stop(); // the test ticks the logger
        w->Cmd_ComPort_Click();
        QVERIFY(w->MSComm1->isOpen());
    }
    void cleanup()
    {
        w.reset();
        unit.reset();
    }

    void unitHangsUpMidOperationThenComesBack_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("store");
        QTest::addColumn<int>("framesBeforeHangUp");
        QTest::newRow("pass store") << 0 << true << 3;
        QTest::newRow("location store") << 2 << true << 3;
        QTest::newRow("pass read") << 0 << false << 1;
        QTest::newRow("paced log read") << 3 << false << 2;
    }
    void unitHangsUpMidOperationThenComesBack()
    {
        QFETCH(int, tab);
        QFETCH(bool, store);
        QFETCH(int, framesBeforeHangUp);
        unit->faults().hangUpAfterFrames = framesBeforeHangUp;
        w->SSTab1->setCurrentIndex(tab);
        if (tab == 3) {
            w->TxtEventLogPagesToDownload->setText("300");
            w->CmdReadLastEventLogPages_Click();
            for (int i = 0; i < 20; ++i, QTest::qWait(10))
                w->Event_Logger_Tick();
        } else if (store) {
            w->Command_Store_Config_Click();
        } else {
            w->Command_Read_Config_Click();
        }
        QVERIFY(QTest::qWaitFor([&] { return !dialogs.messages.isEmpty(); }, 3000));
        QTest::qWait(100);
        QCOMPARE(dialogs.messages, QStringList{CommError});
        QVERIFY(!w->MSComm1->isOpen() && w->FrameSavingData->isHidden() && !w->isConnectedShown());
        QCOMPARE(w->eventLogger().state(), halvo::eventlog::EventLogger::State::Idle);
        const double before = cpuMs();
        QTest::qWait(300);
        QVERIFY2(cpuMs() - before < 60, "idle after the link broke");

        // Plugged back in: a scan lists it again and a connect reads it.
        plugIn();
        w->CommandRescanPorts_Click();
        QVERIFY2(w->Combo_Com_Port->itemText(0).startsWith("COM 1 : Halvo"), qPrintable(w->comPortText()));
        w->Cmd_ComPort_Click();
        w->SSTab1->setCurrentIndex(0);
        w->Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return w->passCell(72, 1) == "Pass Device 72  "; }, 5000));
        QCOMPARE(dialogs.messages.size(), 2); // the scan's notice, and nothing more
    }

    void bytesFromBeforeAConnectAreNeitherListedNorReported()
    {
        w->MSComm1->close();
        unit->sendRaw("stale line\r" + QByteArray("D!") + char(72) + QByteArray(35, 'x') + "\n\r");
        QTest::qWait(100);
        w->Cmd_ComPort_Click();
        QTest::qWait(200);
        QCOMPARE(w->ListRawSerialData->count(), 0);
        QVERIFY(dialogs.messages.isEmpty());
    }

    // The texts are restated here, one place for all of them.
    void everyMessageTheToolShowsIsReached()
    {
        const QString saveError = "Saving File to archive has Encountered an error verify file path exists "
                                  "and drive operational";
        const std::pair<QString, std::function<void()>> messages[] = {
            {CommError,
             [&] {
                 w->Combo_Com_Port->setCurrentIndex(-1);
                 w->Cmd_ComPort_Click();
             }},
            {"Data Checksum error table did not load correctly please load again?  ",
             [&] { unit->sendRaw("D$" + QByteArray(36, '3') + "\r\r"); }},
            {"The value you entered is invalid parameter as been set to default value  ",
             [&] {
                 w->TextPassCurrentUserId->setText("100");
                 w->TextPassCurrentUserId_LostFocus();
             }},
            {"Please select were you would like your archived data stored, Note: you must have permission to "
             "write to this location",
             [&] { w->Menu_Save_Config_Data_Click(); }},
            {saveError,
             [&] {
                 dialogs.fileNames = {dir.filePath("no/folder/x.csv")};
                 w->Menu_Save_Config_Data_Click();
             }},
            {"Load File Encountered an error verify file is a Brelt Recorder Data file and drive operational",
             [&] {
                 dialogs.fileNames = {dir.filePath("no/folder/x.csv")};
                 w->Menu_Load_Config_Data_Click();
             }},
            {"Please select were you would like your Event Log Data stored, Note: you must have permission "
             "to "
             "write to this location",
             [&] { w->Check_Store_Event_Log->click(); }},
            {"Scanning for Halvo units this can take upto 1 minute.  ",
             [&] { w->CommandRescanPorts_Click(); }},
        };
        for (const auto &[text, trigger] : messages) {
            dialogs.messages.clear();
            trigger();
            QVERIFY2(QTest::qWaitFor([&] { return dialogs.messages.contains(text); }, 3000),
                     qPrintable(text));
        }
        // The one question, asked before any request while the port is closed.
        w->MSComm1->close();
        w->CmdClearEventLog_Click();
        QCOMPARE(dialogs.questions,
                 QStringList{"No Com Port is open do you want to open selected port and continue?  "});
        // The permission message needs a user outside the device's group; its text
        // is checked by TestFormMain::permissionMessageNamesTheGroup.
    }
};

QTEST_MAIN(TestFaultSurvival)
#include "test_fault_survival.moc"
