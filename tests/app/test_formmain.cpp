// The main window: start-up contents, help text, ports, connection, watchdog and the
// receive path, driven offscreen against a simulated unit on a real pty.
#include "help_menu.h"
#include "port/port_catalogue.h"
#include "port/serial_link.h"
#include "session/port_scanner.h"
#include "session/watchdog.h"
#include "support/messages.h"
#include "support/session_probe.h"
#include "support/window_fixture.h"
#include "text_box.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

#include <unistd.h>

using halvo::config::Part;
using halvo::port::PortCatalogue;
using halvo::test::WindowFixture;
using namespace halvo::test::text;

namespace {
const QByteArray Banner = "Halvo Base Unit V2.04\r";
} // namespace

class TestFormMain : public halvo::test::WindowTest
{
    Q_OBJECT

private slots:

    void startupContents()
    {
        auto &w = *f.w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Halvo Configuration Tool"));
        auto *table = f.ctl<QAbstractItemView>("ListView1")->model();
        QCOMPARE(table->rowCount(), 72);
        QCOMPARE(table->columnCount(), 13);
        QCOMPARE(table->headerData(1, Qt::Horizontal).toString(), QStringLiteral("User Names"));
        QStringList row5;
        for (int c = 0; c < 13; ++c)
            row5 << f.cell(5, c);
        QCOMPARE(row5.join('|'),
                 QStringLiteral("5|Username 5       |05|5|0|0000 0000 0000 0001|None Selected|15|"
                                "0001 0000 0000 0000|0000 0000|    |    |0"));
        for (int r = 1; r <= 72; ++r)
            QCOMPARE(f.cellAt(r, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
        QCOMPARE(f.ctl<QLineEdit>("Text_Location_Name(9)")->text() +
                     f.ctl<QLabel>("Lbl_Location_Address(9)")->text(),
                 "Location Name 100x0A");
        QCOMPARE(f.ctl<QComboBox>("ComboOptionCurrentPassAlarmPortSteering")->itemText(8), "EVAC Transmited");
        QCOMPARE(f.ctl<QLabel>("LabelPassDisplayPriority(6)")->text(), QStringLiteral("Not Active"));
        QCOMPARE(f.ctl<QLineEdit>("Text_Config_Parameters(2)")->text(), "0");
        QVERIFY(!w.isConnectedShown() && !f.ctl<QLineEdit>("TextDisConnected")->isHidden());
        auto *tabs = f.ctl<QTabWidget>("SSTab1");
        QCOMPARE(tabs->currentIndex(), 3);
        QStringList titles;
        for (int t = 0; t < 4; ++t)
            titles << tabs->tabText(t);
        QCOMPARE(titles, (QStringList{"Pass Device Configuration ", "System Settings",
                                      "Location Name Configuration", "Event Recorder/Logger"}));
        QCOMPARE(f.ctl<QLineEdit>("TextPassCurrentSysId")->accessibleName(), QStringLiteral("SYS ID 01-FE"));
    }

    void helpTextFollowsTheTab()
    {
        auto &w = *f.w;
        auto *text = f.ctl<halvo::app::TextBox>("Text1");
        QVERIFY(text->text().startsWith(" Halvo Configuration: \r\n")); // until the first tab event
        f.showTab(Part::Settings);
        const QString settings = text->text();
        QVERIFY(settings.startsWith("SYSTEM SETTINGS CONFIGURATION:  \r\n") && settings.endsWith("> \r\n"));
        w.Build_Help_Message(); // the same tab again: the same text, not a doubled one
        QCOMPARE(text->text(), settings);
        f.showTab(Part::Passes);
        QVERIFY(text->text().startsWith("PASS DEVICE CONFIGURATION:  \r\n"));
    }

    void portEntriesAndNumbers()
    {
        QCOMPARE(PortCatalogue::Port_Entry_Text(4), QStringLiteral("COM 4 :"));
        QCOMPARE(PortCatalogue::Port_Entry_Text(12, " Halvo Base "), QStringLiteral("COM 12 : Halvo Base "));
        // The unit's pty is listed as port 1, selected, with its number as the entry's
        // data and its path as the tooltip.
        QCOMPARE(f.w->ports().comPortText(), QStringLiteral("COM 1 :"));
        QCOMPARE(f.ctl<QComboBox>("Combo_Com_Port")->currentData().toInt(), 1);
        QCOMPARE(f.ctl<QComboBox>("Combo_Com_Port")->itemData(0, Qt::ToolTipRole).toString().left(9),
                 QStringLiteral("/dev/pts/"));
    }

    void connectWithoutAPortLeavesAnOpenPortOpen()
    {
        auto &w = *f.w;
        w.ports().Cmd_ComPort_Click();
        f.ctl<QComboBox>("Combo_Com_Port")->setCurrentIndex(-1);
        w.ports().Cmd_ComPort_Click();
        QCOMPARE(w.ports().comPortText(), QStringLiteral("Select Com Port"));
        QVERIFY(w.session().isOpen());
        QCOMPARE(f.dialogs.messages, QStringList{CommError});
    }

    // A port that will not open (its adapter pulled): the operator hears the unit's
    // own words; what the system said goes to the log.
    void aPortThatWillNotOpenIsACommunicationsError()
    {
        f.unit.reset();
        f.w->ports().Cmd_ComPort_Click();
        QTRY_COMPARE(f.dialogs.messages, QStringList{CommError});
        QVERIFY(!f.w->session().isOpen());
    }

    // Another program holds the port: the operator is told which, not to change groups.
    void aPortHeldByAnotherProgramIsNamed()
    {
        halvo::port::SerialLink other;
        QVERIFY(other.open(f.unit->devicePath()));
        f.w->ports().Cmd_ComPort_Click();
        QVERIFY(!f.w->session().isOpen());
        const QString pid = QString::number(QCoreApplication::applicationPid());
        // The system is looked into away from the window's thread; the message follows.
        QTRY_COMPARE(f.dialogs.messages,
                     QStringList{f.unit->devicePath() + " is in use by another program: " +
                                 "test_formmain (process " + pid + "). Close it and retry."});
        f.w->helpMenu().Menu_Check_Computer_Click();
        QTRY_COMPARE(f.dialogs.reports.value(0), QStringLiteral("Check This Computer"));
        QVERIFY(f.dialogs.reports.value(1).contains("COM 1 : " + f.unit->devicePath()));
        QVERIFY(f.dialogs.reports.value(1).contains("  held by: test_formmain (process " + pid + ")"));
    }

    // The indicators follow the session's watchdog; a banner connects, 21 silent
    // ticks disconnect, event lines are listed and cleared.
    void indicatorsAndTheReceivedDataList()
    {
        auto &w = *f.w;
        auto &dog = Probe::watchdog(w.session());
        dog.stop(); // the test is the clock
        f.connectPort();
        QVERIFY(w.isConnectedShown() && f.ctl<QLineEdit>("TextDisConnected")->isHidden());
        for (int t = 0; t < 21; ++t)
            dog.TimerDisconnect_Timer();
        QVERIFY(!w.isConnectedShown() && f.ctl<QLineEdit>("TextConnected")->isHidden());
        const QByteArray line =
            "Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm, a long tail to make 80 chars\r";
        f.unit->sendRaw(Banner + line);
        QVERIFY(QTest::qWaitFor([&] { return w.receivedLines().count() == 1; }, 3000));
        QVERIFY(w.isConnectedShown());
        QCOMPARE(w.receivedLines().line(0), " " + QString::fromLatin1(line)); // banners are not listed
        QCOMPARE(f.ctl<QListView>("ListRawSerialData")->model()->data(w.receivedLines().index(0)).toString(),
                 w.receivedLines().line(0));
        w.CommandClearRecievedData_Click();
        QCOMPARE(w.receivedLines().count(), 0);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void scanListsEveryPortWithWhatItHeard()
    {
        halvo::sim::SimUnit silent;
        silent.setBannerInterval(0);
        QVERIFY(silent.start());
        f.unit->setBannerInterval(100);
        auto &w = *f.w;
        w.ports().catalogue().setExtraPorts({f.unit->devicePath(), silent.devicePath()});
        QSignalSpy listened(&Probe::scanner(w.session()), &halvo::session::PortScanner::listening);
        QSignalSpy finished(&Probe::scanner(w.session()), &halvo::session::PortScanner::finished);
        w.ports().CommandRescanPorts_Click();
        QCOMPARE(f.dialogs.messages.first(), Scanning);
        w.ports().CommandRescanPorts_Click(); // a second click while it listens does nothing
        QVERIFY(finished.wait(10000));
        auto *ports = f.ctl<QComboBox>("Combo_Com_Port");
        QCOMPARE(ports->itemText(0), QStringLiteral("COM 1 : Halvo Base "));
        QCOMPARE(ports->itemText(1), QStringLiteral("COM 2 :"));
        QCOMPARE(ports->currentIndex(), 0);
        QStringList heardOn;
        for (const auto &args : listened)
            heardOn << args.at(2).value<halvo::port::PortEntry>().path;
        QCOMPARE(heardOn.mid(0, 2), (QStringList{f.unit->devicePath(), silent.devicePath()})); // on both
        QVERIFY(!w.session().isOpen()); // every port closed afterwards
        QCOMPARE(silent.receivedFrames().size() + f.unit->receivedFrames().size(), 0); // and sent nothing
        QCOMPARE(f.dialogs.messages.size(), 1);
    }

    void ensurePortOpenAsksFirst()
    {
        auto &w = *f.w;
        f.showTab(Part::Passes);
        f.dialogs.answers = {false}; // Cancel: nothing written, nothing more said
        w.Command_Read_Config_Click();
        QCOMPARE(f.dialogs.questions, QStringList{OpenPortQuestion});
        QVERIFY(!w.session().isOpen() && f.dialogs.messages.isEmpty());
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
        QCOMPARE(w.visiblePart(), Part::EventLog);
        w.Command_Read_Config_Click();
        w.Command_Store_Config_Click();
        w.session().readPointer(); // the first frame the unit sees
        QTRY_VERIFY(!f.unit->receivedFrames().isEmpty());
        QCOMPARE(f.unit->receivedFrames(), QStringList{"44 2E 00 04 00 76 0A 0D"});
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    // The tool's name, version, Qt version and licence.
    void aboutSaysWhatThisIs()
    {
        f.w->helpMenu().Menu_Help_About_Click();
        QCOMPARE(f.dialogs.reports.value(0), QStringLiteral("About"));
        const QString text = f.dialogs.reports.value(1);
        QVERIFY(text.startsWith("Halvo Configuration Tool 0.") && text.contains(qVersion()) &&
                text.contains("Licence: "));
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
        QVERIFY(checked > 250);
        QCOMPARE(QAccessible::queryAccessibleInterface(f.ctl<QLabel>("Label_Config_Parameters_Max(1)"))
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
                f.showTab(Part(t));
                QCoreApplication::processEvents();
                if (size.width() == 1366)
                    QVERIFY(scroll->verticalScrollBar()->maximum() == 0 &&
                            scroll->horizontalScrollBar()->maximum() == 0);
                const char *lastOfTab[] = {"CommandLoadAllPasses", "CommandSetSystemClock",
                                           "Text_Location_Name(49)", "CmdClearEventLog"};
                for (const char *name : {lastOfTab[t], "Command_Store_Config", "Cmd_ComPort"}) {
                    QWidget *c = f.ctl(name);
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
        f.showTab(Part::Settings);
        QStringList order;
        QWidget *at = f.ctl("Text_Config_Parameters(1)");
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
        auto *down = f.ctl<QPushButton>("CommandDisplayPriorityDown");
        connect(down, &QPushButton::clicked, this, [&] { ++clicks; });
        down->setFocus();
        QTest::keyClick(down, Qt::Key_Return);
        QCOMPARE(clicks, 1);
        QCOMPARE(QKeySequence::mnemonic(f.ctl<QPushButton>("Command_Read_Config")->text()),
                 QKeySequence(Qt::ALT | Qt::Key_R));
        QCOMPARE(QKeySequence::mnemonic(f.ctl<QPushButton>("Command_Store_Config")->text()),
                 QKeySequence(Qt::ALT | Qt::Key_S));
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
        for (const char *name : {"TextDisConnected", "TextConnected"}) {
            auto *e = f.ctl<QLineEdit>(name);
            e->show();
            QVERIFY(e->font().bold());
            const QImage img = e->grab().toImage();
            int white = 0, darkPixels = 0;
            for (int x = 0; x < img.width(); ++x) {
                const int lightness = img.pixelColor(x, img.height() / 2).lightness();
                white += lightness > 200;
                darkPixels += lightness < 40;
            }
            QVERIFY(white > 5 && darkPixels > 20); // white letters on the indicator's own dark colour
        }
        QApplication::setPalette(QPalette());
    }

    void closingEndsAScan()
    {
        auto &w = *f.w;
        w.show();
        w.setTiming(halvo::session::SessionTiming{}); // 6.2 s per port
        QSignalSpy finished(&Probe::scanner(w.session()), &halvo::session::PortScanner::finished);
        w.ports().CommandRescanPorts_Click();
        QVERIFY(w.session().isOpen() && Probe::scanner(w.session()).running());
        QVERIFY(w.close());
        QCOMPARE(finished.size(), 1);
        QVERIFY(!w.session().isOpen() && !Probe::scanner(w.session()).running());
    }
};

QTEST_MAIN(TestFormMain)
#include "test_formmain.moc"
