// The window benchmark's other parts: new events, the review of changes, the port
// list, and a data file's round trip.
#include "bench_support.h"

namespace halvo::bench {

// halvo-cli events --new against a unit at 38400 baud: a first download of the last
// 250 pages, then 3 new pages, timed from the pointer request to the end of the quiet
// wait, as the session's own log stamps them.
void measureNewEvents(const QTemporaryDir &dir)
{
    sim::SimUnit unit;
    unit.faults().pace38400 = true;
    unit.setBannerInterval(200);
    if (!unit.start())
        return;
    const QString archive = dir.filePath(QStringLiteral("archive.txt"));
    auto run = [&](const QStringList &extra) -> qint64 {
        QProcess cli;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("halvo.session.info=true"));
        env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{time process} %{message}"));
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(HALVO_CLI_EXE),
                  QStringList{QStringLiteral("events"), QStringLiteral("--new"), QStringLiteral("--port"),
                              unit.devicePath()} +
                      extra + QStringList{archive});
        (void)QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 600000);
        double begun = -1, ended = -1;
        for (const QByteArray &raw : cli.readAllStandardError().split('\n')) {
            const QByteArray line = raw.trimmed();
            if (line.contains("event download") && line.contains("begins"))
                begun = line.split(' ').first().toDouble();
            if (line.contains("event download ended"))
                ended = line.split(' ').first().toDouble();
        }
        return begun < 0 || ended < 0 ? -1 : qint64((ended - begun) * 1000);
    };
    const qint64 whole = run({QStringLiteral("--pages"), QStringLiteral("250")});
    unit.addEventPages(3);
    const qint64 three = run({});
    row("halvo-cli events --new, unit at 38400 baud",
        QStringLiteral("first download, the last 250 pages: %1 ms; then 3 new pages: %2 ms")
            .arg(whole)
            .arg(three),
        "3 new pages <= 3 s");
}

// Against a unit at the link's real rate (38400 baud): two passes and an alias
// edited, then Review Changes stores those three items and reads them back.
void measureChanges()
{
    QProcess unit;
    unit.start(QStringLiteral(HALVO_SIM_EXE),
               {QStringLiteral("--pace"), QStringLiteral("--banner-interval"), QStringLiteral("1000")});
    if (!unit.waitForReadyRead(5000))
        return;
    const QString port = QString::fromLocal8Bit(unit.readLine()).trimmed();
    app::FormMain w(app::FormOptions{{port}, port, {}, {}});
    w.setDialogs(std::make_unique<Dialogs>());
    w.ports().Cmd_ComPort_Click();
    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    auto *line = w.findChild<QLabel *>(QStringLiteral("LabelChanges"));
    for (config::Part tab : {config::Part::Passes, config::Part::Locations}) {
        tabs->setCurrentIndex(static_cast<int>(tab));
        w.Command_Read_Config_Click();
    }
    (void)QTest::qWaitFor(
        [&] {
            return w.session().image().read(config::Part::Passes) &&
                   w.session().image().read(config::Part::Locations);
        },
        20000);
    auto &config = w.configuration();
    // One edit re-marks the whole window: the pass table, its editor, the settings
    // and the aliases.
    QElapsedTimer mark;
    constexpr int Edits = 200;
    mark.start();
    for (int i = 0; i < Edits; ++i) {
        auto row = config.passRow(1 + i % 72);
        row[passes::ColSignalTimeout] = QString::number(i % 60);
        config.setPassRow(1 + i % 72, row); // the tabs and the line follow at once
    }
    row("one edit re-marks the whole window (72 passes, settings, 50 aliases)",
        QStringLiteral("%1 ms").arg(double(mark.nsecsElapsed()) / 1e6 / Edits, 0, 'f', 2), "< 5 ms");
    for (int i = 0; i < Edits; ++i) // the unit's timeouts back
        config.setPassRow(1 + i % 72, w.session().image().unit().passRow(1 + i % 72));
    for (int r : {3, 40}) {
        auto row = config.passRow(r);
        row[passes::ColUserName] = QStringLiteral("Edited %1         ").arg(r).left(16);
        config.setPassRow(r, row);
    }
    config.setAlias(6, QStringLiteral("Boiler Room     "));
    const QString before = line->text();
    QElapsedTimer clock;
    clock.start();
    w.changes().CommandReviewChanges_Click();
    (void)QTest::qWaitFor([&] { return line->text() == QStringLiteral("Unit matches the window"); }, 30000);
    row("Review Changes, Store Selected: 3 items stored and read back (unit at 38400 baud)",
        QStringLiteral("%1 -> \"%2\" in %3 ms").arg(before, line->text()).arg(clock.elapsed()), "< 3 s");
    unit.terminate();
    unit.waitForFinished(3000);
}

// The port list following a folder of device links: how long one refresh takes, how
// soon a new link is listed, and what watching costs while nothing happens.
void measurePortWatch(const QTemporaryDir &dir)
{
    const QString folder = dir.filePath(QStringLiteral("ports"));
    QDir().mkpath(folder);
    app::FormMain w(app::FormOptions{{}, {}, {folder}, {}});
    w.setDialogs(std::make_unique<Dialogs>());
    auto *box = w.findChild<QComboBox *>(QStringLiteral("Combo_Com_Port"));
    QElapsedTimer t;
    constexpr int Refreshes = 20;
    t.start();
    for (int i = 0; i < Refreshes; ++i)
        w.ports().refreshPortList();
    row("one refresh of the port list (catalogue read, every port opened once)",
        QStringLiteral("%1 ms with %2 ports listed")
            .arg(double(t.nsecsElapsed()) / 1e6 / Refreshes, 0, 'f', 1)
            .arg(box->count()));
    // Nothing plugged: the run's own unit has gone (see main) and the folder is empty.
    double cpu0 = cpuMs();
    t.restart();
    idle(60000);
    row("tool CPU over a minute of watching, nothing plugged",
        QStringLiteral("%1 ms in %2 ms").arg(cpuMs() - cpu0, 0, 'f', 0).arg(t.elapsed()));
    QProcess unit;
    unit.start(QStringLiteral(HALVO_SIM_EXE), {QStringLiteral("--banner-interval"), QStringLiteral("1000")});
    if (!unit.waitForReadyRead(5000))
        return;
    const QString pty = QString::fromLocal8Bit(unit.readLine()).trimmed();
    t.restart();
    QFile::link(pty, folder + QStringLiteral("/ttyUSB9"));
    // Woken by the list changing; nothing polls.
    auto listed = [&] {
        for (int i = 0; i < box->count(); ++i)
            if (box->itemData(i, Qt::ToolTipRole).toString().contains(QStringLiteral("ttyUSB9")))
                return true;
        return false;
    };
    waitFor(box->model(), &QAbstractItemModel::rowsInserted, listed, 10000);
    row("a new device link listed after", QStringLiteral("%1 ms").arg(t.elapsed()), "<= 2 s");
    // Connected: the unit's banner and CONNECTED's tick each wake the window once a second.
    if (!w.session().isOpen())
        w.ports().Cmd_ComPort_Click();
    if (w.session().isOpen()) {
        cpu0 = cpuMs();
        t.restart();
        idle(60000);
        row("tool CPU over a minute connected to a unit announcing itself every second",
            QStringLiteral("%1 ms in %2 ms").arg(cpuMs() - cpu0, 0, 'f', 0).arg(t.elapsed()));
    }
    unit.terminate();
    unit.waitForFinished(3000);
}

void measureFiles(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir)
{
    answers.file = dir.filePath(QStringLiteral("config.csv"));
    QElapsedTimer trip;
    trip.start();
    constexpr int Trips = 20;
    for (int i = 0; i < Trips; ++i) {
        w.fileMenu().Menu_Save_Config_Data_Click();
        w.fileMenu().Menu_Load_Config_Data_Click();
    }
    row("save + load round trip through the window",
        QStringLiteral("%1 ms each").arg(double(trip.elapsed()) / Trips, 0, 'f', 1));
}
} // namespace halvo::bench
