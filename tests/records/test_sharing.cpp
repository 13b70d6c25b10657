// Two PCs' records shared through a bare repository in a folder, each side a real
// repository checked with plain git: every version kept on both, a conflict taken
// from the newer side and said, a rewritten remote and untrusted content refused.
#include "records/unit_records.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <time.h> // clock_getres

using halvo::config::Configuration;
using halvo::config::Part;
using namespace halvo::records;

namespace {

std::string sh(const QString &command)
{
    QByteArray out;
    if (FILE *p = popen((command + " 2>&1").toUtf8().constData(), "r")) {
        char buffer[4096];
        while (const size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, static_cast<qsizetype>(n));
        pclose(p);
    }
    return out.trimmed().toStdString();
}

Meeting met()
{
    return {"Halvo Base Unit V2.04 SN 000417", "FT4711A", "/dev/ttyUSB0", QDateTime::currentDateTimeUtc()};
}

Finding readWith(const QString &pass14, int other = 0, const QString &otherName = {})
{
    Finding f;
    f.parts = {Part::Passes};
    auto row = f.unit.passRow(14);
    row[1] = pass14.leftJustified(16);
    f.unit.setPassRow(14, row);
    if (other) {
        row = f.unit.passRow(other);
        row[1] = otherName.leftJustified(16);
        f.unit.setPassRow(other, row);
    }
    return f;
}

// One PC's records.
struct Pc
{
    QString folder;
    std::unique_ptr<Repository> repository;
    Author who;
    Pc(const QString &f, const char *name, const char *host) : folder(f), who{name, host}
    {
        QString why;
        repository = Repository::Open(folder, &why);
        EXPECT_TRUE(repository) << why.toStdString();
    }
    void record(const QString &unit, const QString &pass14, int other = 0, const QString &otherName = {})
    {
        QString why;
        UnitRecords units(*repository);
        EXPECT_TRUE(units.record(unit, unit, met(), readWith(pass14, other, otherName), who, &why))
            << why.toStdString();
    }
    Repository::SyncEnd sync()
    {
        auto end = repository->sync();
        EXPECT_TRUE(end.ok) << end.text.toStdString();
        return end;
    }
    std::string git(const QString &args) const
    {
        return sh(QStringLiteral("git -C '%1' %2").arg(folder, args));
    }
    // A download of this PC's appended lines to the unit's archive in the records.
    void events(const QString &unit, const QByteArray &lines)
    {
        const QString file = "events/" + who.host + "/2026-12.txt";
        QDir(folder).mkpath(unit + "/events/" + who.host);
        for (const QString &name : {file, file + ".halvo-record"}) {
            QFile f(QDir(folder).filePath(unit + '/' + name));
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(name.endsWith(".txt") ? lines : QByteArray("End Page: 12\n"));
        }
        QString why;
        const auto r =
            UnitRecords(*repository)
                .recordEvents(unit, {{file, file + ".halvo-record"}, "/dev/ttyUSB0", 2, 1}, who, &why);
        EXPECT_TRUE(r && !r->unchanged) << why.toStdString();
    }
    QString pass14(const QString &unit)
    {
        const auto v = UnitRecords(*repository).last(unit);
        return v ? v->configuration.passRow(14)[1].trimmed() : QString();
    }
};

// Commit times are whole seconds: waits until the clock has passed the second of the
// last version, so that the next one is the newer. A commit's time is read from time(),
// the coarse clock, which lags the precise one slept on by up to its resolution: the
// wait ends that much after the second has turned.
void nextSecond()
{
    const std::time_t now = std::time(nullptr);
    timespec coarse{};
    clock_getres(CLOCK_REALTIME_COARSE, &coarse);
    std::this_thread::sleep_until(std::chrono::system_clock::from_time_t(now + 1) +
                                  std::chrono::nanoseconds(coarse.tv_nsec) +
                                  std::chrono::seconds(coarse.tv_sec));
}

struct Department
{
    QTemporaryDir dir;
    QString remote = dir.filePath("halvo-records.git");
    Department() { sh(QStringLiteral("git init -q --bare '%1'").arg(remote)); }
    // A records Engine 3's first version and shares it; b joins and brings it.
    void shareFirstVersion(Pc &a, Pc &b)
    {
        QString why;
        a.record("Engine 3", "Night Porter");
        ASSERT_TRUE(a.repository->setRemote(remote, &why)) << why.toStdString();
        a.sync();
        ASSERT_TRUE(b.repository->setRemote(remote, &why)) << why.toStdString();
        b.sync();
    }
};

} // namespace

// A PC shares its versions; a second PC joins with an empty folder and gets them all;
// versions made apart on both sides end up on both, none lost.
TEST(Sharing, EveryVersionReachesEveryPc)
{
    Department d;
    Pc a(d.dir.filePath("a"), "Ann", "desk-pc"), b(d.dir.filePath("b"), "Bob", "van-laptop");
    a.record("Engine 3", "Night Porter");
    a.record("Engine 3", "Day Porter");
    QString why;
    ASSERT_TRUE(a.repository->setRemote(d.remote, &why)) << why.toStdString();
    EXPECT_EQ(a.repository->notShared(), 2);
    auto end = a.sync();
    EXPECT_EQ(end.sent, 2);
    EXPECT_EQ(end.text.toStdString(), "2 versions shared with " + d.remote.toStdString());
    EXPECT_EQ(a.repository->notShared(), 0);

    ASSERT_TRUE(b.repository->setRemote(QStringLiteral("file://") + d.remote, &why)) << why.toStdString();
    end = b.sync();
    EXPECT_EQ(end.received, 1);
    EXPECT_EQ(b.repository->history("Engine 3").size(), 2u);
    EXPECT_EQ(b.pass14("Engine 3"), "Day Porter");
    EXPECT_EQ(b.git("status --porcelain"), ""); // the folder holds what the version holds

    // Apart: A records the gate, B the boiler; then both sync, A once more.
    a.record("Gate", "Gatekeeper");
    b.record("Boiler", "Stoker");
    a.sync();
    b.sync();
    a.sync();
    for (Pc *pc : {&a, &b}) {
        QStringList units = pc->repository->units();
        units.sort();
        EXPECT_EQ(units, (QStringList{"Boiler", "Engine 3", "Gate"})) << pc->folder.toStdString();
        EXPECT_EQ(pc->repository->history("Gate").size(), 1u);
        EXPECT_EQ(pc->repository->history("Boiler").size(), 1u);
        EXPECT_EQ(pc->git("fsck --strict").find("error"), std::string::npos);
        EXPECT_EQ(pc->repository->notShared(), 0);
    }
    EXPECT_EQ(a.git("rev-parse HEAD"), b.git("rev-parse HEAD"));
    EXPECT_EQ(sh(QStringLiteral("git -C '%1' log --format=%s -1").arg(d.remote)),
              "Merged the records of desk-pc");
}

// Both PCs changed the same unit while apart: both versions stay in the history, the
// newer content is the unit's, and the merge says whose it took.
TEST(Sharing, AConflictTakesTheNewerAndKeepsBoth)
{
    Department d;
    Pc a(d.dir.filePath("a"), "Ann", "desk-pc"), b(d.dir.filePath("b"), "Bob", "van-laptop");
    d.shareFirstVersion(a, b);
    a.record("Engine 3", "Ann's Porter");
    nextSecond(); // Bob's is the newer
    b.record("Engine 3", "Bob's Porter");
    b.sync();
    a.sync();
    b.sync();
    EXPECT_EQ(a.pass14("Engine 3"), "Bob's Porter");
    EXPECT_EQ(b.pass14("Engine 3"), "Bob's Porter");
    const std::string message = a.git("log -1 --format=%B");
    EXPECT_NE(message.find("Both changed Engine 3: the newer content is kept"), std::string::npos) << message;
    EXPECT_NE(message.find("from Bob on van-laptop"), std::string::npos) << message;
    const auto history = a.repository->history("Engine 3");
    QStringList summaries;
    for (const Version &v : history)
        summaries << v.author.name;
    EXPECT_TRUE(summaries.contains("Ann") && summaries.contains("Bob")); // both versions kept
    EXPECT_EQ(a.git("status --porcelain"), "");
    EXPECT_EQ(a.git("rev-parse HEAD"), b.git("rev-parse HEAD"));

    // Changes to different passes are not blended line by line: the unit holds what
    // the newer finding says, and nothing of the older one's.
    a.record("Engine 3", "Bob's Porter", 15, "Ann's Relief");
    nextSecond();
    b.record("Engine 3", "Bob's Porter", 16, "Bob's Cleaner");
    a.sync();
    b.sync();
    a.sync();
    const auto merged = UnitRecords(*a.repository).last("Engine 3");
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->configuration.passRow(16)[1].trimmed(), "Bob's Cleaner");
    EXPECT_EQ(merged->configuration.passRow(15)[1].trimmed(),
              Configuration().passRow(15)[1].trimmed()); // not Ann's
    EXPECT_EQ(a.git("rev-parse HEAD"), b.git("rev-parse HEAD"));
}

// Each PC appends to event files of its own: after a sync both PCs hold every line of
// both, even where the unit's configuration was taken from the newer side; the merges
// are no versions of the unit.
TEST(Sharing, EventFilesOfBothPcsAreKept)
{
    Department d;
    Pc a(d.dir.filePath("a"), "Ann", "desk-pc"), b(d.dir.filePath("b"), "Bob", "van-laptop");
    d.shareFirstVersion(a, b);
    a.events("Engine 3", "09/12/26 10:00:01 pass 14 alarm\n");
    a.record("Engine 3", "Ann's Porter");
    b.events("Engine 3", "09/12/26 10:05:00 pass 3 low battery\n");
    nextSecond();
    b.record("Engine 3", "Bob's Porter");
    b.sync();
    a.sync();
    b.sync();
    for (Pc *pc : {&a, &b}) {
        EXPECT_EQ(pc->pass14("Engine 3"), "Bob's Porter") << pc->folder.toStdString();
        EXPECT_EQ(pc->git("show HEAD:'Engine 3/events/desk-pc/2026-12.txt'"),
                  "09/12/26 10:00:01 pass 14 alarm");
        EXPECT_EQ(pc->git("show HEAD:'Engine 3/events/van-laptop/2026-12.txt'"),
                  "09/12/26 10:05:00 pass 3 low battery");
        EXPECT_EQ(pc->git("status --porcelain"), "");
        QStringList summaries;
        for (const Version &v : pc->repository->history("Engine 3"))
            summaries << v.summary;
        EXPECT_EQ(summaries.size(), 5) << summaries.join(" | ").toStdString(); // no merge among them
        EXPECT_EQ(summaries
                      .filter("Read 2 new event lines (1 page) from the unit on /dev/ttyUSB0 into "
                              "events/")
                      .size(),
                  2);
    }
}

// A remote that no longer holds what this PC shared is not merged; one that holds
// what the records do not take gives nothing; one that cannot be reached says so.
TEST(Sharing, WhatCannotBeTrustedIsRefused)
{
    Department d;
    Pc a(d.dir.filePath("a"), "Ann", "desk-pc");
    QString why;
    a.record("Engine 3", "Night Porter");
    ASSERT_TRUE(a.repository->setRemote(d.remote, &why));
    a.sync();
    const std::string mine = a.git("rev-parse HEAD");

    // Someone replaced the department's history.
    const QString other = d.dir.filePath("other");
    sh(QStringLiteral(
           "git init -q '%1' && cd '%1' && mkdir Gate && echo x > Gate/unit.txt && git add . && "
           "git -c user.name=Eve -c user.email=eve commit -qm rewritten && git push -q -f '%2' HEAD:master")
           .arg(other, d.remote));
    auto end = a.repository->sync();
    EXPECT_FALSE(end.ok);
    EXPECT_NE(end.text.indexOf("no longer holds versions this PC shared ("), -1) << end.text.toStdString();
    EXPECT_NE(end.text.indexOf("\"Read from the unit on /dev/ttyUSB0: pass table\""), -1)
        << end.text.toStdString();
    EXPECT_EQ(a.git("rev-parse HEAD"), mine);

    // A fresh department remote holding a link, a file at the top and a bad configuration.
    Department e;
    const QString bad = e.dir.filePath("bad");
    sh(QStringLiteral(
           "git init -q '%1' && cd '%1' && mkdir Gate && ln -s /etc/passwd Gate/link && echo hi > top.txt "
           "&& echo nonsense > Gate/configuration.csv && git add . && "
           "git -c user.name=Eve -c user.email=eve commit -qm bad && git push -q '%2' HEAD:master")
           .arg(bad, e.remote));
    Pc c(e.dir.filePath("c"), "Cy", "pc-c");
    ASSERT_TRUE(c.repository->setRemote(e.remote, &why));
    end = c.repository->sync();
    EXPECT_FALSE(end.ok);
    EXPECT_NE(end.text.indexOf("Gate/link (a link)"), -1) << end.text.toStdString();
    EXPECT_NE(end.text.indexOf("top.txt (outside every unit's folder)"), -1) << end.text.toStdString();
    EXPECT_NE(end.text.indexOf("Gate/configuration.csv ("), -1) << end.text.toStdString();
    EXPECT_FALSE(QFile::exists(c.folder + "/top.txt"));
    EXPECT_TRUE(c.repository->units().isEmpty());

    // A file of 10.5 MiB in a unit's folder is over what the records take.
    Department g;
    const QString big = g.dir.filePath("big");
    sh(QStringLiteral(
           "git init -q '%1' && cd '%1' && mkdir Gate && head -c 11010048 /dev/zero > Gate/big.bin && "
           "git add . && git -c user.name=Eve -c user.email=eve commit -qm big && git push -q '%2' "
           "HEAD:master")
           .arg(big, g.remote));
    Pc h(g.dir.filePath("h"), "Hal", "pc-h");
    ASSERT_TRUE(h.repository->setRemote(g.remote, &why));
    end = h.repository->sync();
    EXPECT_FALSE(end.ok);
    EXPECT_NE(end.text.indexOf("Gate/big.bin (over 10 MiB)"), -1) << end.text.toStdString();

    Pc f(d.dir.filePath("f"), "Fay", "pc-f");
    f.record("Engine 3", "x");
    ASSERT_TRUE(f.repository->setRemote(d.dir.filePath("nowhere.git"), &why));
    end = f.repository->sync();
    EXPECT_FALSE(end.ok);
    EXPECT_NE(end.text.indexOf("cannot be reached"), -1) << end.text.toStdString();
    EXPECT_EQ(f.repository->notShared(), 1); // the version stays, waiting
}

// A remote that does not take the push (its branch held by another writer) is said
// to have refused it, and the versions stay to be shared; once it takes them, they go.
TEST(Sharing, ARefusedPushIsNeverCalledShared)
{
    Department d;
    Pc a(d.dir.filePath("a"), "Ann", "desk-pc");
    a.record("Engine 3", "Night Porter");
    QString why;
    ASSERT_TRUE(a.repository->setRemote(d.remote, &why));
    const QString branch = QString::fromStdString(a.git("symbolic-ref --short HEAD"));
    QFile lock(d.remote + "/refs/heads/" + branch + ".lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    auto end = a.repository->sync();
    EXPECT_FALSE(end.ok);
    EXPECT_NE(end.text.indexOf("refused the versions three times"), -1) << end.text.toStdString();
    EXPECT_EQ(a.repository->notShared(), 1);
    EXPECT_EQ(sh(QStringLiteral("git -C '%1' rev-parse --verify -q refs/heads/%2").arg(d.remote, branch)),
              "");
    ASSERT_TRUE(QFile::remove(lock.fileName()));
    EXPECT_TRUE(a.sync().ok);
    EXPECT_EQ(a.repository->notShared(), 0);
}
