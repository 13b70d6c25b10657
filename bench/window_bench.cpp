// halvo-window-bench: measures the real window against the simulated unit on a pty,
// offscreen, at the unit's real pacing, and prints one markdown row per figure.
#include "changes_panel.h"
#include "event_view.h"
#include "eventlog_tab.h"
#include "file_menu.h"
#include "formmain.h"
#include "operator_dialogs.h"
#include "port_panel.h"
#include "session/store_job.h"
#include "session/unit_image.h"
#include "sim_unit.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sched.h>
#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {
using namespace halvo;

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void row(const char *what, const QString &value, const char *goal = "")
{
    std::printf("| %s | %s | %s |\n", what, qPrintable(value), goal);
    std::fflush(stdout);
}

// Answers every question OK and every file choice with one path.
struct Dialogs : app::OperatorDialogs
{
    QString file;
    void message(const QString &) override {}
    bool question(const QString &) override { return true; }
    bool askYesNo(const QString &) override { return true; }
    int choose(const QString &, const QStringList &) override { return -1; }
    std::optional<std::vector<int>> reviewChanges(const std::vector<app::ReviewRow> &rows,
                                                  const QString &) override
    {
        std::vector<int> all;
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            all.push_back(r);
        return all;
    }
    QString saveFileName(const app::FileChoice &) override { return file; }
    QString openFileName(const app::FileChoice &) override { return file; }
    bool compareWithFile(const QString &, const std::vector<app::ComparisonRow> &) override { return false; }
    void report(const QString &, const QString &) override {}
    bool choosePrinter(QPrinter &) override { return false; }
};

// Runs the event loop until done() holds, woken by the signal or a timeout; unlike
// QTest::qWait it never polls, so it neither costs CPU nor delays a timer that is due.
template <class Sender, class Signal>
void waitFor(Sender *sender, Signal signal, const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    limit.start(ms);
    if (!done())
        loop.exec();
}

// Sleeps in the event loop for ms milliseconds.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The longest time the event loop went without running a 5 ms heartbeat.
struct StallMeter
{
    QTimer beat;
    QElapsedTimer since;
    qint64 longest = 0;
    StallMeter()
    {
        beat.setInterval(5);
        QObject::connect(&beat, &QTimer::timeout, [this] { longest = std::max(longest, since.restart()); });
        since.start();
        beat.start();
    }
};

void measureIngest(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir, bool loaded, qint64 unitPid);
void measureChanges();
void measurePortWatch(const QTemporaryDir &dir);
void measureFilter(app::FormMain &w);
void measureNewEvents(const QTemporaryDir &dir);
void measureFiles(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir);

// The simulated unit in a process of its own. A real unit takes bytes as they come;
// where the machine allows it (root), the simulated one runs at real-time priority so
// that its own scheduling on a busy machine does not count against the tool.
bool startUnit(QProcess &unit, const QStringList &args)
{
    unit.start(QStringLiteral("chrt"),
               QStringList{QStringLiteral("-f"), QStringLiteral("50"), QStringLiteral(HALVO_SIM_EXE)} + args);
    if (unit.waitForReadyRead(5000))
        return true;
    unit.kill();
    unit.waitForFinished();
    unit.start(QStringLiteral(HALVO_SIM_EXE), args);
    return unit.waitForReadyRead(5000);
}

// The microseconds at which the unit took each frame, from its record file.
// The times the unit took the store frames ("44 22" passes, "44 2B" locations); the
// read back that checks the store comes after them and is no store frame.
QList<qint64> unitTimes(const QString &record)
{
    QList<qint64> t;
    QFile f(record);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 2 && fields.at(1) == "44" && (fields.at(2) == "22" || fields.at(2) == "2B"))
                t << fields.first().toLongLong();
        }
    return t;
}

// Two processes that keep both cores busy, as another program might.
struct CpuLoad
{
    std::vector<std::unique_ptr<QProcess>> busy;
    explicit CpuLoad(int processes)
    {
        for (int i = 0; i < processes; ++i) {
            busy.push_back(std::make_unique<QProcess>());
            busy.back()->start(QStringLiteral("sh"),
                               {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
            busy.back()->waitForStarted();
        }
    }
    ~CpuLoad()
    {
        for (auto &p : busy) {
            p->kill();
            p->waitForFinished();
        }
    }
};

void measureStore(app::FormMain &w, const QString &record, config::Part tab, int frames, const char *what,
                  bool loaded)
{
    QFile::remove(record);
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(static_cast<int>(tab));
    std::unique_ptr<CpuLoad> load;
    if (loaded)
        load = std::make_unique<CpuLoad>(2);
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuMs();
    // Each frame is written right after the progress report that names it.
    QList<qint64> departures;
    QObject stamps;
    QObject::connect(&w.session().stores(), &session::StoreJob::progress, &stamps,
                     [&] { departures << clock.nsecsElapsed() / 1000; });
    w.Command_Store_Config_Click();
    waitFor(
        &w.session().stores(), &session::StoreJob::finished, [&] { return !w.session().stores().running(); },
        60000);
    const qint64 wall = clock.elapsed();
    const double cpu = cpuMs() - cpu0;
    QTest::qWait(100);
    load.reset();
    const QList<qint64> at = unitTimes(record);
    qint64 minGap = std::numeric_limits<qint64>::max(), maxGap = 0;
    for (int i = 1; i < at.size(); ++i) {
        minGap = std::min(minGap, at[i] - at[i - 1]);
        maxGap = std::max(maxGap, at[i] - at[i - 1]);
    }
    qint64 minLeft = std::numeric_limits<qint64>::max();
    for (int i = 1; i < departures.size(); ++i)
        minLeft = std::min(minLeft, departures[i] - departures[i - 1]);
    const qint64 total = at.isEmpty() ? 0 : at.last() - at.first();
    const QByteArray label =
        QByteArray(what) + (loaded ? ", two busy processes beside it" : ", quiet machine");
    row(label.constData(),
        QStringLiteral("%1 frames, first to last %2 ms; gaps %3..%4 ms as the unit took them (at least %5 ms "
                       "as they left the tool)")
            .arg(at.size())
            .arg(double(total) / 1000, 0, 'f', 0)
            .arg(double(minGap) / 1000, 0, 'f', 1)
            .arg(double(maxGap) / 1000, 0, 'f', 1)
            .arg(double(minLeft) / 1000, 0, 'f', 1),
        frames == 72 ? "72 frames, gaps >= 200 ms" : "50 frames, gaps >= 300 ms");
    if (loaded)
        return;
    // The same length of a busy-wait, for comparison.
    QElapsedTimer spin;
    spin.start();
    const double spin0 = cpuMs();
    while (spin.elapsed() < wall) {
    }
    const double spinCpu = cpuMs() - spin0;
    row((QByteArray(what) + ": tool CPU").constData(),
        QStringLiteral("%1 ms in %2 ms = %3% of one core (busy-wait of the same length: %4 ms = %5%)")
            .arg(cpu, 0, 'f', 0)
            .arg(wall)
            .arg(100.0 * cpu / double(wall), 0, 'f', 2)
            .arg(spinCpu, 0, 'f', 0)
            .arg(100.0 * spinCpu / double(wall), 0, 'f', 0),
        "<= 1% of one core");
}
} // namespace

int main(int argc, char **argv)
{
    // Parts to run (all when none is named): stores, ingest, files.
    QStringList parts;
    for (int i = 1; i < argc; ++i)
        parts << QString::fromLocal8Bit(argv[i]);
    auto wanted = [&](const char *part) { return parts.isEmpty() || parts.contains(QLatin1String(part)); };
    QElapsedTimer launch;
    launch.start();
    QApplication app(argc, argv);
    // The unit runs in a process of its own, as a real one does: its receive times
    // are its own, and generating 130,000 event lines is not the window's work.
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("frames.txt"));
    QElapsedTimer unitStart;
    unitStart.start();
    QProcess unit;
    if (!startUnit(unit, {QStringLiteral("--banner-interval"), QStringLiteral("1000"),
                          QStringLiteral("--record"), record, QStringLiteral("--record-times")}))
        return 1;
    const QString port = QString::fromLocal8Bit(unit.readLine()).trimmed();
    const qint64 notTheTool = unitStart.elapsed(); // the unit starting is not the tool's launch
    app::FormMain w(app::FormOptions{{port}, port, {}, {}});
    auto dialogs = std::make_unique<Dialogs>();
    Dialogs &answers = *dialogs;
    w.setDialogs(std::move(dialogs));
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return 1;
    row("launch to shown window", QStringLiteral("%1 ms").arg(launch.elapsed() - notTheTool));
    QTest::qWait(200);
    row("resident memory after start", QStringLiteral("%1 MB").arg(double(rssKb()) / 1024, 0, 'f', 1));

    w.ports().Cmd_ComPort_Click();
    if (wanted("stores")) {
        for (bool loaded : {false, true}) {
            measureStore(w, record, config::Part::Passes, 72, "72-pass store", loaded);
            measureStore(w, record, config::Part::Locations, 50, "50-location store", loaded);
        }
    }
    if (wanted("ingest")) {
        for (bool loaded : {false, true})
            measureIngest(w, answers, dir, loaded, unit.processId());
        measureFilter(w); // over the whole ring the loaded run left
    }
    if (wanted("events"))
        measureNewEvents(dir);
    if (wanted("files"))
        measureFiles(w, answers, dir);
    if (wanted("changes"))
        measureChanges();
    if (wanted("ports"))
        measurePortWatch(dir);
    unit.terminate();
    unit.waitForFinished(3000);
    return 0;
}

namespace {
void measureIngest(app::FormMain &w, Dialogs &answers, const QTemporaryDir &dir, bool loaded, qint64 unitPid)
{
    // The whole ring of event pages, the unit unpaced, every line listed and filed;
    // on a quiet machine, then with two busy processes beside the tool. A real unit
    // costs the PC no time at all: here the simulated one, busy producing 130,000
    // lines, runs as an ordinary process. At real-time priority it would hold one of
    // the cores away from the tool and the busy processes, which no unit does.
    const sched_param ordinary{};
    ::sched_setscheduler(static_cast<pid_t>(unitPid), SCHED_OTHER, &ordinary);
    w.CommandClearRecievedData_Click();
    std::unique_ptr<CpuLoad> load;
    if (loaded)
        load = std::make_unique<CpuLoad>(2);
    const char *const beside = loaded ? ", two busy processes beside it" : ", quiet machine";
    answers.file = dir.filePath(QStringLiteral("events.txt"));
    w.findChild<QTabWidget *>(QStringLiteral("SSTab1"))
        ->setCurrentIndex(static_cast<int>(config::Part::EventLog));
    auto *store = w.findChild<QCheckBox *>(QStringLiteral("Check_Store_Event_Log"));
    store->click();
    constexpr int Requests = 128, Pages = 255;
    const int lines = Requests * Pages * 4;
    const long rss0 = rssKb();
    StallMeter stalls;
    QElapsedTimer ingest;
    ingest.start();
    const double cpu0 = cpuMs();
    for (int k = 0; k < Requests; ++k) {
        int start = (k + 1) * Pages + 1;
        w.session().readPages(start, Pages);
    }
    if (!QTest::qWaitFor([&] { return w.receivedLines().count() >= lines; }, 600000))
        row("event lines ingested",
            QStringLiteral("only %1 of %2 lines").arg(w.receivedLines().count()).arg(lines));
    const qint64 ms = ingest.elapsed();
    row((QByteArray("event lines ingested (unit unpaced, listed and filed)") + beside).constData(),
        QStringLiteral("%1 lines in %2 ms = %3 lines/s (%4 ms CPU)")
            .arg(w.receivedLines().count())
            .arg(ms)
            .arg(qint64(1000.0 * lines / double(ms)))
            .arg(cpuMs() - cpu0, 0, 'f', 0));
    row((QByteArray("longest event-loop stall during the download") + beside).constData(),
        QStringLiteral("%1 ms").arg(stalls.longest), "<= 100 ms");
    load.reset();
    const double grown = double(rssKb() - rss0) / 1024, own = double(w.receivedLines().textSize()) / 1048576;
    if (!loaded) // the memory figure is the quiet run's
        row("resident memory after the download",
            QStringLiteral("%1 MB, grown by %2 MB for %3 MB of lines (%4 times)")
                .arg(double(rssKb()) / 1024, 0, 'f', 1)
                .arg(grown, 0, 'f', 1)
                .arg(own, 0, 'f', 1)
                .arg(grown / own, 0, 'f', 2),
            "growth <= 1.5 times the lines");
    store->click();
}

// Filtering the whole ring in the event view: the longest stall while it runs, what
// its result takes, and the memory the lines and the view take together.
void measureFilter(app::FormMain &w)
{
    auto *field = w.findChild<QLineEdit *>(QStringLiteral("TxtFilterEventLines"));
    auto &view = w.eventLogTab().view();
    const int lines = w.receivedLines().count();
    const long rss0 = rssKb();
    StallMeter stalls;
    QElapsedTimer t;
    t.start();
    field->setText(QStringLiteral("pass 12 alarm"));
    (void)QTest::qWaitFor([&] { return !view.filter().busy(); }, 60000);
    const qint64 ms = t.elapsed();
    row("filter \"pass 12 alarm\" over the whole ring",
        QStringLiteral("%1 of %2 lines kept in %3 ms; longest stall %4 ms; result %5 bytes (%6 a line kept)")
            .arg(view.filter().shown())
            .arg(lines)
            .arg(ms)
            .arg(stalls.longest)
            .arg(view.filter().shown() * 4)
            .arg(4),
        "stall <= 100 ms, <= 4 bytes a line");
    const double own = double(w.receivedLines().textSize()) / 1048576;
    row("resident memory with the whole ring listed and filtered",
        QStringLiteral("%1 MB (the filter added %2 MB) for %3 MB of lines")
            .arg(double(rssKb()) / 1024, 0, 'f', 1)
            .arg(double(rssKb() - rss0) / 1024, 0, 'f', 2)
            .arg(own, 0, 'f', 1));
    field->clear();
}

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
    const double cpu0 = cpuMs();
    t.restart();
    idle(60000);
    row("tool CPU over a minute of watching, nothing plugged",
        QStringLiteral("%1 ms in %2 ms").arg(cpuMs() - cpu0, 0, 'f', 0).arg(t.elapsed()));
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
} // namespace
