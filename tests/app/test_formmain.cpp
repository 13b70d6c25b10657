// The main window: start-up contents, help text, ports, connection, watchdog and the
// receive path, driven offscreen against a simulated unit on a real pty.
#include "link/port_catalogue.h"
#include "link/serial_link.h"
#include "support/window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTimer>
#include <QTreeWidget>

#include <grp.h>
#include <unistd.h>

using halvo::link::PortCatalogue;
using halvo::test::cpuMs;
using halvo::test::WindowFixture;

namespace {
const QString CommError = QStringLiteral("Communications Error Please correct and retry");
const QByteArray Banner = "Halvo Base Unit V2.04\r";
const QByteArray BadPassReply = QByteArray("D!") + char(72) + QByteArray(35, 'x') + "\n\r";
} // namespace

class TestFormMain : public halvo::test::WindowTest
{
    Q_OBJECT

private slots:

    void startupContents()
    {
        auto &w = *f.w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Halvo Configuration Tool"));
        QCOMPARE(w.ListView1->topLevelItemCount(), 72);
        const auto row5 = w.passRow(5);
        QCOMPARE(QStringList(row5.begin(), row5.end()).join('|'),
                 QStringLiteral("5|Username 5       |05|5|0|0000 0000 0000 0001|None Selected|15|"
                                "0001 0000 0000 0000|0000 0000|    |    |0"));
        for (int r = 1; r <= 72; ++r)
            QVERIFY(!w.isPassRowChecked(r));

        QCOMPARE(w.Text_Location_Name[9]->text() + w.Lbl_Location_Address[9]->text(), "Location Name 100x0A");
        QCOMPARE(w.ComboOptionCurrentPassAlarmPortSteering->itemText(8), QStringLiteral("EVAC Transmited"));
        QString params; // display priority bytes 1..6 in their parameters; every other value "0"
        for (auto *e : w.Text_Config_Parameters)
            params += e->text();
        QCOMPARE(params, QStringLiteral("000000000000000014560320000000000"));
        QCOMPARE(w.LabelPassDisplayPriority[6]->text(), QStringLiteral("Not Active"));

        QVERIFY(!w.isConnectedShown() && !w.TextDisConnected->isHidden());
        QCOMPARE(w.SSTab1->currentIndex(), 3);
        QCOMPARE(w.SSTab1->tabText(0), QStringLiteral("Pass Device Configuration "));
        QCOMPARE(w.receiveAssembler().lineBuffer(), QByteArray(1, '\0'));
        // Controls can be found by name, and screen readers hear their labels.
        QCOMPARE(w.findChild<QLineEdit *>("Text_Location_Name(7)"), w.Text_Location_Name[7]);
        QCOMPARE(w.TextPassCurrentSysId->accessibleName(), QStringLiteral("SYS ID 01-FE"));
    }

    void helpTextFollowsTheTab()
    {
        auto &w = *f.w;
        QVERIFY(w.Text1->text().startsWith(" Halvo Configuration: \r\n")); // until the first tab event
        QCOMPARE(w.Text1->text().count("\r\n"), 6);
        w.SSTab1->setCurrentIndex(1);
        const QString settings = w.Text1->text();
        QVERIFY(settings.startsWith("SYSTEM SETTINGS CONFIGURATION:  \r\n") && settings.endsWith("> \r\n"));
        w.Build_Help_Message(); // the same tab again: the same text, not a doubled one
        QCOMPARE(w.Text1->text(), settings);
        const int lineCounts[] = {9, 4, 4, 8};
        for (int tab : {0, 1, 2, 3}) {
            w.SSTab1->setCurrentIndex(tab);
            QCOMPARE(w.Text1->text().count("\r\n"), lineCounts[tab]);
        }
    }

    void portEntriesAndNumbers()
    {
        QCOMPARE(PortCatalogue::Port_Entry_Text(4), QStringLiteral("COM 4 :"));
        QCOMPARE(PortCatalogue::Port_Entry_Text(12, " Halvo Base "), QStringLiteral("COM 12 : Halvo Base "));
        bool ok = false;
        QCOMPARE(PortCatalogue::Port_Number_From_Entry("COM 4 :", &ok), 4);
        QCOMPARE(PortCatalogue::Port_Number_From_Entry("COM 12 : Halvo", &ok), 12);
        QVERIFY(ok);
        PortCatalogue::Port_Number_From_Entry("Select Com Port", &ok);
        QVERIFY(!ok);

        QList<halvo::link::PortEntry> system;
        for (const char *p : {"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyUSB0"})
            system.append({0, p, {}});
        for (int i = 10; i < 30; ++i)
            system.append({0, QStringLiteral("/dev/ttyS%1").arg(i), {}});
        const auto numbered = PortCatalogue::Number_Ports({"/dev/halvo", "/dev/ttyUSB0"}, system);
        QCOMPARE(numbered.size(), 17);
        QStringList order;
        for (int i = 0; i < 6; ++i)
            order << QString::number(numbered.at(i).number) + numbered.at(i).path;
        QCOMPARE(order, (QStringList{"1/dev/halvo", "2/dev/ttyUSB0", "3/dev/ttyACM0", "4/dev/ttyUSB1",
                                     "5/dev/ttyS0", "6/dev/ttyS1"}));
        // The unit's pty is listed as port 1, selected, with its path as the tooltip.
        QCOMPARE(f.w->comPortText(), QStringLiteral("COM 1 :"));
        QCOMPARE(f.w->Combo_Com_Port->itemData(0, Qt::ToolTipRole).toString().left(9),
                 QStringLiteral("/dev/pts/"));
    }

    void connectWithoutAPortLeavesAnOpenPortOpen()
    {
        auto &w = *f.w;
        w.Cmd_ComPort_Click();
        w.Combo_Com_Port->setCurrentIndex(-1);
        w.Cmd_ComPort_Click();
        QCOMPARE(w.comPortText(), QStringLiteral("Select Com Port"));
        QVERIFY(w.MSComm1->isOpen());
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
    }

    void permissionMessageNamesTheGroup()
    {
        QTemporaryFile dev;
        QVERIFY(dev.open());
        const group *dialout = getgrnam("dialout");
        if (!dialout)
            QSKIP("no dialout group on this machine");
        QVERIFY(::chown(QFile::encodeName(dev.fileName()).constData(), uid_t(-1), dialout->gr_gid) == 0);
        QCOMPARE(halvo::link::Device_Group(dev.fileName()), QStringLiteral("dialout"));
        const QString text = halvo::link::Permission_Message("/dev/ttyUSB0", "dialout");
        QVERIFY(text.contains("/dev/ttyUSB0") && text.contains("\"dialout\""));
    }

    void bannerConnectsAndTheWatchdogDisconnects()
    {
        auto &w = *f.w;
        w.TimerDisconnect->stop(); // the test is the clock
        f.connectPort();
        QVERIFY(w.isConnectedShown());
        for (int t = 0; t < 21; ++t)
            w.TimerDisconnect_Timer();
        QVERIFY(!w.isConnectedShown());
        f.unit->sendRaw(Banner);
        QVERIFY(QTest::qWaitFor([&] { return w.isConnectedShown(); }, 3000));
        QCOMPARE(w.unitIdentification(), QStringLiteral("Halvo Base U")); // first line: no leading blank
        for (int t = 0; t < 19; ++t)
            w.TimerDisconnect_Timer();
        f.unit->sendRaw(Banner); // a banner at tick 20 keeps CONNECTED another 21 ticks
        QVERIFY(QTest::qWaitFor([&] { return w.linkWatchdog() == 0; }, 3000));
        QCOMPARE(w.unitIdentification(), QStringLiteral(" Halvo Base "));
        for (int t = 0; t < 20; ++t)
            w.TimerDisconnect_Timer();
        QVERIFY(w.isConnectedShown());
        w.TimerDisconnect_Timer();
        QVERIFY(!w.isConnectedShown());
        QCOMPARE(w.ListRawSerialData->count(), 0); // banners are not listed
    }

    void eventLinesAreListedClearedAndKeepTheLinkUp()
    {
        auto &w = *f.w;
        w.TimerDisconnect->stop(); // the test is the clock
        f.connectPort();
        for (int t = 0; t < 20; ++t)
            w.TimerDisconnect_Timer();
        const QByteArray line =
            "Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm, a long tail to make 80 chars\r";
        f.unit->sendRaw(line); // the first line after start-up: kept whole, no leading blank
        QVERIFY(QTest::qWaitFor([&] { return w.ListRawSerialData->count() == 1; }, 3000));
        QCOMPARE(w.ListRawSerialData->item(0)->text(), QString::fromLatin1(line));
        // An event line at tick 20 keeps CONNECTED like a banner does.
        for (int t = 0; t < 20; ++t)
            w.TimerDisconnect_Timer();
        QVERIFY(w.isConnectedShown());
        w.CommandClearRecievedData_Click();
        QCOMPARE(w.ListRawSerialData->count(), 0);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void receiveFailuresAreReportedOnceUntilAnEventCompletes()
    {
        auto &w = *f.w;
        f.connectPort();
        auto sendAndWait = [&](const QByteArray &bytes, qsizetype messages) {
            f.unit->sendRaw(bytes);
            QTest::qWait(150);
            QCOMPARE(f.dialogs.messages.size(), messages);
        };
        sendAndWait(BadPassReply, 1);
        QVERIFY(w.receiveErrorLatch());
        sendAndWait(BadPassReply, 1); // a second failure in a row says nothing
        sendAndWait("fine\r", 1);     // an event that completes clears the latch
        QVERIFY(!w.receiveErrorLatch());
        sendAndWait(BadPassReply, 2);
        // A wrong terminator has its own message; an unknown code is dropped silently.
        sendAndWait(QByteArray("D$") + QByteArray(36, '1') + "\r\r", 3);
        sendAndWait(QByteArray("D?") + QByteArray(36, '1') + "\n\r", 3);
        QCOMPARE(f.dialogs.messages,
                 (QStringList{CommError, CommError,
                              "Data Checksum error table did not load correctly please load again?  "}));
    }

    void aMessageBoxDoesNotLetASecondReceiveEventIn()
    {
        auto &w = *f.w;
        f.connectPort();
        int depth = 0, maxDepth = 0;
        f.dialogs.onMessage = [&](const QString &) {
            maxDepth = std::max(maxDepth, ++depth);
            f.unit->sendRaw(Banner + "second line\r"); // arrives while the message shows
            QTest::qWait(100);
            --depth;
        };
        f.unit->sendRaw(BadPassReply + "first\r");
        QVERIFY(QTest::qWaitFor([&] { return w.ListRawSerialData->count() == 1; }, 3000));
        QCOMPARE(maxDepth, 1);
        // The rest of the failing event was dropped; the later bytes were taken after the box.
        QCOMPARE(w.ListRawSerialData->item(0)->text(), QStringLiteral(" second line\r"));
    }

    void scanListsEveryPortWithWhatItHeard()
    {
        halvo::sim::SimUnit silent;
        silent.setBannerInterval(0);
        QVERIFY(silent.start());
        f.unit->setBannerInterval(100);
        auto &w = *f.w;
        w.portCatalogue().setExtraPorts({f.unit->devicePath(), silent.devicePath()});
        QElapsedTimer t;
        t.start();
        w.CommandRescanPorts_Click();
        QCOMPARE(f.dialogs.messages.first(),
                 QStringLiteral("Scanning for Halvo units this can take upto 1 minute.  "));
        QCOMPARE(w.Combo_Com_Port->itemText(0), QStringLiteral("COM 1 : Halvo Base "));
        QCOMPARE(w.Combo_Com_Port->itemText(1), QStringLiteral("COM 2 :"));
        QCOMPARE(w.Combo_Com_Port->currentIndex(), 0);
        QVERIFY(!w.MSComm1->isOpen()); // every port closed afterwards
        QVERIFY(t.elapsed() >= 800);   // it listened on both
        QCOMPARE(silent.receivedFrames().size() + f.unit->receivedFrames().size(), 0); // and sent nothing
    }

    void ensurePortOpenAsksFirst()
    {
        auto &w = *f.w;
        w.SSTab1->setCurrentIndex(0);
        f.dialogs.answers = {false}; // Cancel: nothing written, nothing more said
        w.Command_Read_Config_Click();
        QCOMPARE(f.dialogs.questions,
                 QStringList{"No Com Port is open do you want to open selected port and continue?  "});
        QTest::qWait(100);
        QVERIFY(!w.MSComm1->isOpen() && f.dialogs.messages.isEmpty() && f.unit->receivedFrames().isEmpty());
        f.dialogs.answers = {true}; // OK: connects, then the request follows
        w.Command_Read_Config_Click();
        QVERIFY(QTest::qWaitFor([&] { return f.unit->receivedFrames().size() == 1; }, 3000));
        QCOMPARE(f.unit->receivedFrames().first(), QStringLiteral("44 21 00 04 00 69 0A 0D"));
        QVERIFY(w.Ensure_Port_Open()); // open now: no question
        QCOMPARE(f.dialogs.questions.size(), 2);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void readAndStoreDoNothingOnTheEventRecorderTab()
    {
        auto &w = *f.w;
        f.connectPort();
        QCOMPARE(w.SSTab1->currentIndex(), 3);
        w.Command_Read_Config_Click();
        w.Command_Store_Config_Click();
        QTest::qWait(100);
        QVERIFY(f.unit->receivedFrames().isEmpty() && f.dialogs.messages.isEmpty());
    }

    // Every control is heard by what a person should hear: never an identifier, and a
    // caption that shows data says what the data means.
    void everyControlHasAMeaningfulAccessibleName()
    {
        const QRegularExpression identifier(QStringLiteral("_|\\(\\d+\\)|^[A-Z][a-z]+[A-Z]\\w*$"));
        const QStringList dataCaptions = {
            "Label_Config_Parameters_Max", "Label_Config_Parameters_Min", "Label_Config_Parameters_Default",
            "LabelPassDisplayPriority(",   "Lbl_Location_Address",        "LabelCurrentPassIndex",
            "LabelEventLogPointerData"};
        int checked = 0;
        for (QWidget *wd : f.w->findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(wd) || qobject_cast<QLineEdit *>(wd) ||
                                 qobject_cast<QComboBox *>(wd) || qobject_cast<QAbstractItemView *>(wd) ||
                                 qobject_cast<QLabel *>(wd) || qobject_cast<QProgressBar *>(wd) ||
                                 qobject_cast<QPlainTextEdit *>(wd);
            // Parts of a composite control (a list's header, a tab bar's buttons) are heard with it.
            if (!control || wd->objectName().startsWith("qt_") || qobject_cast<QHeaderView *>(wd) ||
                qobject_cast<QTabBar *>(wd->parent()))
                continue;
            if (auto *l = qobject_cast<QLabel *>(wd);
                l && l->text().isEmpty() && l->buddy() == nullptr && wd->objectName().isEmpty())
                continue; // a spacer
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(wd);
            QVERIFY(a);
            const QString name = a->text(QAccessible::Name).trimmed();
            QVERIFY2(!name.isEmpty() && !identifier.match(name).hasMatch(),
                     qPrintable(wd->objectName() + " is heard as \"" + name + "\""));
            for (const QString &prefix : dataCaptions)
                if (wd->objectName().startsWith(prefix))
                    QVERIFY2(!a->text(QAccessible::Description).isEmpty(), qPrintable(wd->objectName()));
            ++checked;
        }
        QVERIFY(checked > 300);
        QCOMPARE(QAccessible::queryAccessibleInterface(f.w->Label_Config_Parameters_Max[1])
                     ->text(QAccessible::Description),
                 QStringLiteral("Backlight Display Intensity maximum"));
    }

    // A 1366x768 laptop (taskbar and title bar taken off) shows every tab whole; at
    // 200% the same screen is half as big, and every control scrolls into view.
    void fitsSmallAndScaledScreens()
    {
        auto &w = *f.w;
        w.show();
        auto *scroll = qobject_cast<QScrollArea *>(w.centralWidget());
        QVERIFY(scroll);
        for (const QSize size : {QSize(1366, 698), QSize(683, 349)}) {
            w.resize(size);
            for (int t = 0; t < 4; ++t) {
                w.SSTab1->setCurrentIndex(t);
                QCoreApplication::processEvents();
                if (size.width() == 1366)
                    QVERIFY(scroll->verticalScrollBar()->maximum() == 0 &&
                            scroll->horizontalScrollBar()->maximum() == 0);
                QWidget *lastOfTab[] = {w.CommandLoadAllPasses, w.CommandSetSystemClock,
                                        w.Text_Location_Name[49], w.CmdClearEventLog};
                for (QWidget *c : {lastOfTab[t], static_cast<QWidget *>(w.Command_Store_Config),
                                   static_cast<QWidget *>(w.Cmd_ComPort)}) {
                    scroll->ensureWidgetVisible(c, 0, 0);
                    const QRect shown(c->mapTo(scroll->viewport(), QPoint(0, 0)), QSize(1, 1));
                    QVERIFY(scroll->viewport()->rect().contains(shown));
                }
            }
        }
    }

    void keyboardReachesTheControlsInReadingOrder()
    {
        auto &w = *f.w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.SSTab1->setCurrentIndex(1);
        QStringList order;
        QWidget *at = w.Text_Config_Parameters[1];
        for (int i = 0; i < 22; ++i, at = at->nextInFocusChain()) {
            while (!at->isVisible() || !(at->focusPolicy() & Qt::TabFocus))
                at = at->nextInFocusChain();
            order << at->objectName();
        }
        QCOMPARE(order.join(' '),
                 QStringLiteral(
                     "Text_Config_Parameters(1) Text_Config_Parameters(2) Text_Config_Parameters(4) "
                     "Text_Config_Parameters(5) Text_Config_Parameters(6) Text_Config_Parameters(7) "
                     "Text_Config_Parameters(8) CheckConfigParameters(3) CheckConfigParameters(9) "
                     "OptionPassDisplayPriority(2) OptionPassDisplayPriority(3) OptionPassDisplayPriority(4) "
                     "OptionPassDisplayPriority(5) CommandDisplayPriorityUp CommandDisplayPriorityDown "
                     "CheckConfigParameters(20) CheckConfigParameters(26) CheckConfigParameters(27) "
                     "CheckConfigParameters(28) CheckConfigParameters(29) CheckConfigParameters(30) "
                     "CommandSetSystemClock"));
        // Enter on a focused button presses it; READ and STORE have mnemonics.
        int clicks = 0;
        connect(w.CommandDisplayPriorityDown, &QPushButton::clicked, this, [&] { ++clicks; });
        w.CommandDisplayPriorityDown->setFocus();
        QTest::keyClick(w.CommandDisplayPriorityDown, Qt::Key_Return);
        QCOMPARE(clicks, 1);
        QCOMPARE(QKeySequence::mnemonic(w.Command_Read_Config->text()), QKeySequence(Qt::ALT | Qt::Key_R));
        QCOMPARE(QKeySequence::mnemonic(w.Command_Store_Config->text()), QKeySequence(Qt::ALT | Qt::Key_S));
    }

    void linkIndicatorsStayLegibleUnderADarkPalette()
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(32, 32, 32));
        dark.setColor(QPalette::Base, QColor(20, 20, 20));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);
        auto &w = *f.w;
        w.show();
        for (QLineEdit *e : {w.TextDisConnected, w.TextConnected}) {
            e->show();
            const QImage img = e->grab().toImage();
            const QColor background = img.pixelColor(img.width() - 6, img.height() / 2);
            QCOMPARE(background, e == w.TextConnected ? QColor(0, 64, 0) : QColor(64, 0, 0));
            int white = 0;
            for (int x = 0; x < img.width(); ++x)
                white += img.pixelColor(x, img.height() / 2).lightness() > 200;
            QVERIFY(white > 5); // the caption is drawn in white on its own colour
        }
        QApplication::setPalette(QPalette());
    }

    void pauseRunsEventsWithoutSpinning()
    {
        auto &w = *f.w;
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        w.Pause(0);
        w.Pause(-1);
        QVERIFY(!ran); // a zero wait does not process events
        QElapsedTimer t;
        t.start();
        const double before = cpuMs();
        w.Pause(0.3);
        QVERIFY(ran && t.elapsed() >= 300);
        QVERIFY2(cpuMs() - before < 100, "Pause must sleep, not spin");
    }

    void closingEndsAPauseAndAScan()
    {
        auto &w = *f.w;
        w.show();
        w.setTiming(halvo::app::Timing{}); // 6.2 s per port
        QTimer::singleShot(200, &w, [&] { w.close(); });
        QElapsedTimer t;
        t.start();
        w.CommandRescanPorts_Click();
        QVERIFY(t.elapsed() < 2000 && !w.MSComm1->isOpen());
        t.restart();
        w.Pause(5); // the window is closed: waits end at once
        QVERIFY(t.elapsed() < 100);
    }
};

QTEST_MAIN(TestFormMain)
#include "test_formmain.moc"
