// Renders the window offscreen against the simulated unit, for the README:
//   QT_QPA_PLATFORM=offscreen build/tools/halvo-screenshot docs/tab0.png [tab 0..3]
#include "formmain.h"
#include "session/receive_path.h"
#include "sim_unit.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");
    const int tab = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    halvo::sim::SimUnit unit;
    unit.setBannerInterval(200);
    if (!unit.start())
        return 1;
    halvo::app::FormOptions options;
    options.extraPorts = {unit.devicePath()};
    options.preferredPort = unit.devicePath();
    halvo::app::FormMain w(options);
    w.show();
    w.resize(1023, 736); // the designed size; the offscreen screen is smaller
    w.ports().Cmd_ComPort_Click();
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
    if (tab == static_cast<int>(halvo::config::Part::EventLog)) {
        w.session().readPointer();
        QTest::qWait(300);
        int start = w.session().receive().lastPointer().value_or(0);
        w.session().readPages(start, 3);
    } else {
        w.Command_Read_Config_Click();
        unit.sendRaw("Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r");
    }
    QTest::qWait(800);
    return w.grab().save(out) ? 0 : 2;
}
