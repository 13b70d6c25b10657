// Renders the window offscreen against the simulated unit, for the README:
//   QT_QPA_PLATFORM=offscreen build/tools/halvo-screenshot docs/tab0.png [tab 0..3]
#include "formmain.h"
#include "port/link_switch.h"
#include "session/event_download.h"
#include "sim_link.h"
#include "sim_unit.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");
    const int tab = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    // The demo unit inside the tool: the same on every system.
    halvo::sim::SimUnit unit;
    unit.setBannerInterval(200);
    halvo::app::FormOptions options;
    options.demoLink = [&unit] { return std::make_unique<halvo::sim::SimLink>(unit); };
    options.preferredPort = halvo::port::Demo_Port(); // Windows may list a COM1 before it
    halvo::app::FormMain w(options);
    w.show();
    w.resize(1023, 736); // the designed size; the offscreen screen is smaller
    w.ports().Cmd_ComPort_Click();
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
    if (tab == static_cast<int>(halvo::config::Part::EventLog)) {
        // The last 12 pages read, then the lines of alarms found among them.
        halvo::session::SessionTiming timing;
        timing.eventScale = 0.25;
        w.setTiming(timing);
        w.findChild<QLineEdit *>(QStringLiteral("TxtEventLogPagesToDownload"))->setText(QStringLiteral("12"));
        w.findChild<QPushButton *>(QStringLiteral("CmdReadLastEventLogPages"))->click();
        (void)QTest::qWaitFor([&] { return !w.session().busy(); }, 20000);
        w.findChild<QLineEdit *>(QStringLiteral("TxtFilterEventLines"))
            ->setText(QStringLiteral("pass alarm"));
    } else {
        w.Command_Read_Config_Click();
        unit.sendRaw("Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r");
    }
    QTest::qWait(800);
    return w.grab().save(out) ? 0 : 2;
}
