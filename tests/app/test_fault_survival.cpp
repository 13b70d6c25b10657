// The window survives the unit going away at any moment and takes it back when it
// returns on the same device, as a re-plugged adapter does. The messages that no
// other suite reaches are reached here.
#include "eventlog_tab.h"
#include "file_menu.h"
#include "session/event_download.h"
#include "session/port_scanner.h"
#include "support/messages.h"
#include "support/session_probe.h"
#include "support/warnings.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

using halvo::config::Part;
using halvo::sim::SimUnit;
using halvo::test::FakeDialogs;
using namespace halvo::test::text;

class TestFaultSurvival : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString device; // a symlink, re-pointed when the unit comes back
    std::unique_ptr<SimUnit> unit;
    halvo::test::WindowFixture f;

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
        halvo::test::failOnAnyWarning();
        device = dir.filePath("ttyHalvo");
        plugIn();
        f.dialogs = {};
        f.w = std::make_unique<halvo::app::FormMain>(halvo::app::FormOptions{{device}, device, {}, {}});
        f.w->setDialogs(std::make_unique<FakeDialogs>(f.dialogs));
        f.w->setTiming(halvo::test::WindowFixture::fastTiming());
        f.w->ports().Cmd_ComPort_Click();
        QVERIFY(f.w->session().isOpen());
    }
    void cleanup()
    {
        f.w.reset();
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
        auto &w = *f.w;
        unit->faults().hangUpAfterFrames = framesBeforeHangUp;
        f.showTab(Part(tab));
        if (tab == 3) {
            f.ctl<QLineEdit>("TxtEventLogPagesToDownload")->setText("300");
            f.click("CmdReadLastEventLogPages");
        } else if (store) {
            w.Command_Store_Config_Click();
        } else {
            w.Command_Read_Config_Click();
        }
        QVERIFY(QTest::qWaitFor([&] { return !f.dialogs.messages.isEmpty(); }, 3000));
        // Every job has stopped, no timer is left to tick, and it was said once.
        auto &s = w.session();
        QVERIFY(!s.isOpen() && !Probe::stores(s).running() && !Probe::events(s).running() &&
                f.ctl("FrameSavingData")->isHidden() && !w.isConnectedShown());
        QCOMPARE(Probe::events(s).state(), halvo::eventlog::EventLogger::State::Idle);
        QCoreApplication::processEvents();
        QCOMPARE(f.dialogs.messages, QStringList{CommError});

        // Plugged back in: a scan lists it again and a connect reads it.
        plugIn();
        QSignalSpy scanned(&Probe::scanner(s), &halvo::session::PortScanner::finished);
        w.ports().CommandRescanPorts_Click();
        QVERIFY(scanned.wait(10000));
        QVERIFY2(f.ctl<QComboBox>("Combo_Com_Port")->itemText(0).startsWith("COM 1 : Halvo"),
                 qPrintable(w.ports().comPortText()));
        w.ports().Cmd_ComPort_Click();
        f.showTab(Part::Passes);
        w.Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.cell(72, 1) == "Pass Device 72  "; }, 5000));
        QCOMPARE(f.dialogs.messages.size(), 2); // the scan's notice, and nothing more
    }

    void bytesFromBeforeAConnectAreNeitherListedNorReported()
    {
        f.w->session().close();
        unit->sendRaw("stale line\r" + QByteArray("D!") + char(72) + QByteArray(35, 'x') + "\n\r");
        f.w->ports().Cmd_ComPort_Click();
        unit->sendRaw("fresh line\r");
        QTRY_COMPARE(f.w->receivedLines().count(), 1);
        QVERIFY(f.w->receivedLines().line(0).endsWith("fresh line\r") && f.dialogs.messages.isEmpty());
    }

    // The messages the tab suites do not reach, each by what the operator does; the
    // one question, asked before any request while the port is closed.
    void theRemainingMessagesAreReached()
    {
        auto &w = *f.w;
        const std::pair<QString, std::function<void()>> messages[] = {
            {TerminatorError, [&] { unit->sendRaw("D$" + QByteArray(36, '3') + "\r\r"); }},
            {LoadError,
             [&] {
                 f.dialogs.fileNames = {dir.filePath("no/folder/x.csv")};
                 w.fileMenu().Menu_Load_Config_Data_Click();
             }},
            {Scanning, [&] { w.ports().CommandRescanPorts_Click(); }},
        };
        for (const auto &[text, trigger] : messages) {
            f.dialogs.messages.clear();
            trigger();
            QVERIFY2(QTest::qWaitFor([&] { return f.dialogs.messages.contains(text); }, 3000),
                     qPrintable(text));
        }
        w.session().close();
        f.click("CmdClearEventLog");
        QCOMPARE(f.dialogs.questions, QStringList{OpenPortQuestion});
        // The permission message needs a user outside the device's group; its text
        // is checked by TestFormMain::permissionMessageNamesTheGroup.
    }
};

QTEST_MAIN(TestFaultSurvival)
#include "test_fault_survival.moc"
