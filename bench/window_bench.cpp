// halvo-window-bench: measures the real window against the simulated unit on a pty,
// offscreen, at the unit's real pacing, and prints one markdown row per figure.
#ifdef HALVO_HAS_RECORDS
#include "app/records_menu.h"
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"
#endif
#include "../tests/support/session_probe.h"
#include "bench_support.h"
#include <QStandardPaths>

using namespace halvo::bench;

namespace {
using namespace halvo;

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

// How a store is measured: its pacing and CPU on a quiet machine or beside two busy
// processes, or, in a store of its own, how long the window stalls at its end (the
// meter costs CPU of its own), recording the version or with the records off.
enum class Measure { Quiet, Loaded, Stall, StallUnrecorded };

void measureStore(app::FormMain &w, const QString &record, config::Part tab, int frames, const char *what,
                  Measure measure)
{
    const bool loaded = measure == Measure::Loaded;
    const bool watched = measure == Measure::Stall || measure == Measure::StallUnrecorded;
#ifdef HALVO_HAS_RECORDS
    auto &recorder = w.records().recorder();
    const QString records = recorder.folder();
    if (measure == Measure::StallUnrecorded)
        recorder.setFolder(QString());
#endif
    // Each store changes one item, so that each one records a new version of the unit.
    static int stores = 0;
    const QString name = QStringLiteral("Bench %1").arg(++stores).leftJustified(16); // as typed names are
    auto &configuration = w.configuration();
    if (tab == config::Part::Passes) {
        passes::PassRow row14 = configuration.passRow(14);
        row14[1] = name;
        configuration.setPassRow(14, row14);
    } else {
        configuration.setAlias(7, name);
    }
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
    QObject::connect(&Probe::stores(w.session()), &session::StoreJob::progress, &stamps,
                     [&] { departures << clock.nsecsElapsed() / 1000; });
    // The window's longest stall from the read back on: the store's end and its
    // recording. (Measured through the whole store, it would cost the CPU it measures.)
    std::unique_ptr<AnswerMeter> stalls;
    if (watched)
        QObject::connect(&Probe::stores(w.session()), &session::StoreJob::checkingStarted, &stamps,
                         [&] { stalls = std::make_unique<AnswerMeter>(); });
    w.Command_Store_Config_Click();
    waitFor(
        &Probe::stores(w.session()), &session::StoreJob::finished,
        [&] { return !Probe::stores(w.session()).running(); }, 60000);
    const qint64 wall = clock.elapsed();
    const double cpu = cpuMs() - cpu0;
    qint64 recordedAfter = 0;
#ifdef HALVO_HAS_RECORDS
    // The version the store ends with is written away from the window; what the window
    // itself does for it (the unit's content as a data file, which unit it is) is here.
    QElapsedTimer recording;
    recording.start();
    waitFor(
        &recorder, &recorder::UnitRecorder::idleAgain, [&] { return recorder.idle(); }, 30000);
    recordedAfter = recording.elapsed();
    recorder.setFolder(records);
#endif
    if (watched) {
        idle(300); // the window draws what the store's end changed
        const QString longest = QStringLiteral("%1 ms").arg(stalls ? stalls->longestMs() : -1, 0, 'f', 1);
        if (measure == Measure::Stall)
            row((QByteArray(what) +
                 ": the window's longest stall over the store's end, recording the version")
                    .constData(),
                longest + QStringLiteral(
                              " from the read back on (the version recorded %1 ms after the store ended)")
                              .arg(recordedAfter),
                "<= 16 ms");
        else
            row((QByteArray(what) + ": the same, records off").constData(), longest);
        return;
    }
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
#ifdef HALVO_HAS_RECORDS
    // The window keeps its records as an operator's would, in the run's own folder;
    // nothing the tool keeps for this user is touched.
    QStandardPaths::setTestModeEnabled(true);
    recorder::Keep_Records(true);
    recorder::Keep_Records_Folder(dir.filePath(QStringLiteral("records")));
#endif
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
        // The stall first: the first store's end also finds which unit of the records
        // this is.
        for (Measure m : {Measure::Stall, Measure::StallUnrecorded, Measure::Quiet, Measure::Loaded}) {
            measureStore(w, record, config::Part::Passes, 72, "72-pass store", m);
            measureStore(w, record, config::Part::Locations, 50, "50-location store", m);
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
    if (wanted("ports")) {
        // The run's unit goes first, so that nothing is plugged while the ports are watched.
        unit.terminate();
        unit.waitForFinished(3000);
        waitFor(
            &w.session(), &session::UnitSession::linkBroke, [&] { return !w.session().isOpen(); }, 10000);
        idle(3000); // the port list follows the unplug: that is not watching
        measurePortWatch(dir);
    }
    unit.terminate();
    unit.waitForFinished(3000);
    return 0;
}

namespace halvo::bench {

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

} // namespace halvo::bench
