// halvo-config: the Halvo Configuration Tool.
#include "formmain.h"
#include "port/link_switch.h"
#include "session/support_log.h"
#include "sim_link.h"
#include "sim_unit.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    // Every line of the run's log is kept from the start, for a support file.
    halvo::session::support_log::Install();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvo-config"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Configures a Halvo base unit over its USB serial link."));
    p.addHelpOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run with a simulated base unit inside the tool, listed as the first port."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("List the serial device PATH first (repeatable)."),
                                  QStringLiteral("path"));
    const QCommandLineOption portDir(
        QStringLiteral("port-dir"),
        QStringLiteral("Also list the devices in folder DIR, and follow it (repeatable)."),
        QStringLiteral("dir"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Write every line of this run's log to FILE as it happens (appended)."),
        QStringLiteral("file"));
    p.addOptions({demo, port, portDir, log});
    p.process(app);
    QString why;
    if (p.isSet(log) && !halvo::session::support_log::Install(p.value(log), &why))
        std::fprintf(stderr, "halvo-config: cannot write the log to %s: %s\n", qPrintable(p.value(log)),
                     qPrintable(why));

    halvo::app::FormOptions options;
    options.extraPorts = p.values(port);
    options.portDirs = p.values(portDir);
    // The demo unit runs inside the tool, on every system: no port, no pseudo-terminal.
    std::unique_ptr<halvo::sim::SimUnit> unit;
    if (p.isSet(demo)) {
        unit = std::make_unique<halvo::sim::SimUnit>();
        options.demoLink = [&unit] { return std::make_unique<halvo::sim::SimLink>(*unit); };
        // Selected at start, also where a system COM port holds a lower number.
        options.preferredPort = halvo::port::Demo_Port();
    }

    halvo::app::FormMain window(options);
    window.show();
    return app.exec();
}
