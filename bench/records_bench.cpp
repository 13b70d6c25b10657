// The records' costs, printed as rows of bench/run.sh's table: a version recorded
// after a store and after a read, a history of 1000 versions listed, two versions
// compared, and what each version adds to the repository on the disk.
#include "datafile/data_file.h"
#include "records/unit_records.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace halvo;

namespace {

void row(const char *what, const QString &value, const char *goal = "")
{
    std::printf("| %s | %s | %s |\n", what, qPrintable(value), goal);
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes;
}

config::Configuration unitWithPass14(int n)
{
    config::Configuration c;
    auto row14 = c.passRow(14);
    row14[1] = QStringLiteral("Porter %1").arg(n, 4, 10, QLatin1Char('0')).leftJustified(16);
    c.setPassRow(14, row14);
    return c;
}

bool git(const QString &folder, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral("git"), QStringList{QStringLiteral("-C"), folder} + args);
    p.write(input);
    p.closeWriteChannel();
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// A department's records: 100 units with 100 versions each, made by git fast-import
// (recording them one by one is measured above), shared with a folder remote, then
// brought whole to a PC that joins.
bool measureSync()
{
    constexpr int Units = 100, VersionsEach = 100;
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first")),
                  remote = dir.filePath(QStringLiteral("remote.git"));
    if (!git(dir.path(), {QStringLiteral("init"), QStringLiteral("-q"), first}) ||
        !git(dir.path(), {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("--bare"), remote}))
        return false;
    QByteArray stream;
    QString why;
    for (int v = 0; v < VersionsEach; ++v)
        for (int u = 0; u < Units; ++u) {
            const auto data = datafile::Build_Data_File(unitWithPass14(v * Units + u), &why);
            const QByteArray message = "Read from the unit on /dev/ttyUSB0: pass table";
            const QByteArray when = QByteArray::number(1767225600 + (v * Units + u) * 60) + " +0000";
            stream += "commit refs/heads/master\nauthor Bench <bench-pc> " + when +
                      "\ncommitter Bench <bench-pc> " + when + "\ndata " +
                      QByteArray::number(message.size()) + "\n" + message + "\n";
            stream += "M 100644 inline \"Unit " + QByteArray::number(u) + "/configuration.csv\"\ndata " +
                      QByteArray::number(data->size()) + "\n" + *data + "\n";
        }
    if (!git(first, {QStringLiteral("fast-import"), QStringLiteral("--quiet")}, stream) ||
        !git(first, {QStringLiteral("reset"), QStringLiteral("-q"), QStringLiteral("--hard")}))
        return false;
    auto records = records::Repository::Open(first, &why);
    if (!records || !records->setRemote(remote, &why))
        return false;
    QElapsedTimer t;
    t.start();
    const auto shared = records->sync();
    const qint64 sharedMs = t.elapsed();
    auto joining = records::Repository::Open(dir.filePath(QStringLiteral("joining")), &why);
    if (!joining || !joining->setRemote(remote, &why))
        return false;
    t.start();
    const auto joined = joining->sync();
    const qint64 joinedMs = t.elapsed();
    row("a sync of 100 units x 100 versions to a folder remote",
        QStringLiteral("%1 ms (%2)").arg(sharedMs).arg(shared.text), "<= 10 s");
    row("a PC joining: the same 100 x 100 brought from the remote",
        QStringLiteral("%1 ms (%2; %3 units)").arg(joinedMs).arg(joined.text).arg(joining->units().size()),
        "<= 10 s");
    return shared.ok && joined.ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString why;
    auto repository = records::Repository::Open(dir.path(), &why);
    if (!repository) {
        std::fprintf(stderr, "records: %s\n", qPrintable(why));
        return 1;
    }
    records::UnitRecords units(*repository);
    const records::Author author{QStringLiteral("Bench"), QStringLiteral("bench-pc")};
    const records::Meeting met{QStringLiteral("Halvo Base Unit V2.04 SN 000417"), QStringLiteral("FT4711A"),
                               QStringLiteral("/dev/ttyUSB0"), QDateTime::currentDateTimeUtc()};
    records::Finding read;
    read.parts = {config::Part::Passes, config::Part::Settings, config::Part::Locations};
    read.unit = unitWithPass14(0);
    if (!units.record(QStringLiteral("Engine 3"), QStringLiteral("Engine 3"), met, read, author, &why)) {
        std::fprintf(stderr, "records: %s\n", qPrintable(why));
        return 1;
    }
    const qint64 before = folderBytes(dir.filePath(QStringLiteral(".git")));
    constexpr int Versions = 1000;
    QElapsedTimer t;
    qint64 slowest = 0, total = 0;
    for (int n = 1; n < Versions; ++n) {
        records::Finding store;
        store.kind = records::Finding::Kind::Store;
        store.items = {{config::Part::Passes, 14}};
        store.unit = unitWithPass14(n);
        t.start();
        if (!units.record(QStringLiteral("Engine 3"), QStringLiteral("Engine 3"), met, store, author, &why)) {
            std::fprintf(stderr, "records: %s\n", qPrintable(why));
            return 1;
        }
        const qint64 ns = t.nsecsElapsed();
        total += ns;
        slowest = std::max(slowest, ns);
    }
    row("a store recorded (one pass changed), off the window's thread",
        QStringLiteral(
            "%1 ms on average, %2 ms the slowest of %3 (the version count read from the whole history)")
            .arg(double(total) / 1e6 / (Versions - 1), 0, 'f', 1)
            .arg(double(slowest) / 1e6, 0, 'f', 1)
            .arg(Versions - 1),
        "<= 50 ms more than the store");
    read.unit = unitWithPass14(Versions - 1); // what the last store left
    t.start();
    const auto unchanged =
        units.record(QStringLiteral("Engine 3"), QStringLiteral("Engine 3"), met, read, author, &why);
    row("a read recorded that finds nothing new",
        QStringLiteral("%1 ms").arg(double(t.nsecsElapsed()) / 1e6, 0, 'f', 1), "<= 50 ms");
    if (!unchanged || !unchanged->unchanged)
        std::fprintf(stderr, "records: the read made a version\n");
    t.start();
    const auto history = repository->history(QStringLiteral("Engine 3"));
    row("the history of a unit with 1000 versions listed",
        QStringLiteral("%1 ms for %2 versions")
            .arg(double(t.nsecsElapsed()) / 1e6, 0, 'f', 1)
            .arg(history.size()),
        "<= 200 ms");
    t.start();
    const auto a = units.at(QStringLiteral("Engine 3"), history.back(), &why);
    const auto b = units.at(QStringLiteral("Engine 3"), history.front(), &why);
    const auto d = records::Compare_Versions(*a, *b);
    row("the differences between the first and the last version",
        QStringLiteral("%1 ms (%2 fields)")
            .arg(double(t.nsecsElapsed()) / 1e6, 0, 'f', 1)
            .arg(d.fields.size()),
        "<= 50 ms");
    const qint64 loose = folderBytes(dir.filePath(QStringLiteral(".git"))) - before;
    const int objects = repository->looseObjects();
    t.start();
    if (!repository->pack(&why))
        std::fprintf(stderr, "records: %s\n", qPrintable(why));
    const double packMs = double(t.nsecsElapsed()) / 1e6;
    const qint64 packed = folderBytes(dir.filePath(QStringLiteral(".git")));
    row("repository growth per configuration version",
        QStringLiteral("%1 KiB loose; %2 KiB once the tool packed its %3 loose objects (%4 ms, off the "
                       "window's thread; it packs at %5)")
            .arg(double(loose) / 1024 / (Versions - 1), 0, 'f', 1)
            .arg(double(packed) / 1024 / Versions, 0, 'f', 2)
            .arg(objects)
            .arg(packMs, 0, 'f', 0)
            .arg(records::Repository::LooseObjectsToPack),
        "<= 20 KiB packed");
    return measureSync() ? 0 : 1;
}
