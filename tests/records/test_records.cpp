// The records against real git repositories in temporary folders, read back with
// plain git as a department's server or a technician would.
#include "records/repository.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/plain_git.h"

#include <cstdio>

using halvo::records::Author;
using halvo::records::Repository;
using halvo::records::Unit_Folder;

namespace {

using halvo::test::plainGit;

const Author Ann{QStringLiteral("Ann Operator"), QStringLiteral("desk-pc")};
const Author Bob{QStringLiteral("Bob <Tech>"), QStringLiteral("van-laptop")};

std::unique_ptr<Repository> open(const QString &folder)
{
    QString why;
    auto r = Repository::Open(folder, &why);
    EXPECT_TRUE(r) << why.toStdString();
    return r;
}

} // namespace

TEST(Records, ANewFolderBecomesARepositoryThatPlainGitReads)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("Halvo Records");
    auto records = open(folder);
    ASSERT_TRUE(records);
    bool unchanged = true;
    QString why;
    EXPECT_EQ(records->record("Engine 3",
                              {{"configuration.csv", "pass,1\n"}, {"unit.txt", "name: Engine 3\n"}}, Ann,
                              "Read from the unit on /dev/ttyUSB0: pass table", &unchanged, &why),
              1)
        << why.toStdString();
    EXPECT_FALSE(unchanged);
    EXPECT_EQ(records->record("Engine 3", {{"configuration.csv", "pass,2\n"}}, Bob, "Stored 1 change: pass 1",
                              &unchanged, &why),
              2);

    EXPECT_EQ(plainGit(folder, "log --format='%an|%ae|%s'"),
              "Bob Tech|van-laptop|Stored 1 change: pass 1\n"
              "Ann Operator|desk-pc|Read from the unit on /dev/ttyUSB0: pass table");
    EXPECT_EQ(plainGit(folder, "show HEAD:'Engine 3/configuration.csv'"), "pass,2");
    EXPECT_EQ(plainGit(folder, "show HEAD~1:'Engine 3/configuration.csv'"), "pass,1");
    EXPECT_EQ(plainGit(folder, "show HEAD:'Engine 3/unit.txt'"), "name: Engine 3"); // kept as it was
    EXPECT_EQ(plainGit(folder, "status --porcelain"), ""); // the folder is what git holds
    EXPECT_EQ(plainGit(folder, "rev-parse --is-bare-repository"), "false");
    EXPECT_EQ(plainGit(folder, "fsck --strict"), "");

    // Opened again, it is the same records.
    records.reset();
    records = open(folder);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->history("Engine 3").size(), 2u);
}

// A read that finds what the last version holds makes no version.
TEST(Records, TheSameContentMakesNoVersion)
{
    QTemporaryDir dir;
    auto records = open(dir.path());
    ASSERT_TRUE(records);
    bool unchanged = false;
    QString why;
    ASSERT_EQ(records->record("Gate", {{"configuration.csv", "a\n"}}, Ann, "first", &unchanged, &why), 1);
    EXPECT_EQ(records->record("Gate", {{"configuration.csv", "a\n"}}, Bob, "again", &unchanged, &why), 1);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(plainGit(dir.path(), "rev-list --count HEAD"), "1");
    EXPECT_EQ(plainGit(dir.path(), "status --porcelain"), "");
}

// Each unit's versions are its own, numbered from its first, newest first; an older
// version's files are read as they were.
TEST(Records, EachUnitHasItsOwnHistory)
{
    QTemporaryDir dir;
    auto records = open(dir.path());
    ASSERT_TRUE(records);
    bool unchanged = false;
    QString why;
    ASSERT_EQ(records->record("Gate", {{"configuration.csv", "g1\n"}}, Ann, "gate one", &unchanged, &why), 1);
    ASSERT_EQ(records->record("Boiler", {{"configuration.csv", "b1\n"}}, Ann, "boiler one", &unchanged, &why),
              1);
    ASSERT_EQ(records->record("Gate", {{"configuration.csv", "g2\n"}}, Bob, "gate two\n\ndetails", &unchanged,
                              &why),
              2);
    ASSERT_EQ(records->record("Boiler", {{"events/desk-pc/2026-12.txt", "e\n"}}, Bob, "boiler events",
                              &unchanged, &why),
              2);

    const auto gate = records->history("Gate");
    ASSERT_EQ(gate.size(), 2u);
    EXPECT_EQ(gate[0].number, 2);
    EXPECT_EQ(gate[0].summary, "gate two");
    EXPECT_EQ(gate[0].message.trimmed(), "gate two\n\ndetails");
    EXPECT_EQ(gate[0].author.name, "Bob Tech");
    EXPECT_EQ(gate[0].author.host, "van-laptop");
    EXPECT_EQ(gate[1].number, 1);
    EXPECT_EQ(gate[1].summary, "gate one");
    EXPECT_TRUE(gate[0].when.isValid());
    EXPECT_EQ(records->fileAt("Gate", gate[1], "configuration.csv"), QByteArray("g1\n"));
    EXPECT_EQ(records->fileAt("Gate", gate[0], "configuration.csv"), QByteArray("g2\n"));
    EXPECT_FALSE(records->fileAt("Gate", gate[0], "unit.txt"));

    const auto boiler = records->history("Boiler");
    ASSERT_EQ(boiler.size(), 2u);
    EXPECT_EQ(boiler[0].summary, "boiler events");
    EXPECT_EQ(records->fileAt("Boiler", boiler[0], "configuration.csv"), QByteArray("b1\n"));
    EXPECT_TRUE(records->history("Nobody").empty());
    QStringList units = records->units();
    units.sort();
    EXPECT_EQ(units, (QStringList{"Boiler", "Gate"}));
}

// A folder with files that is not a repository is left as it is; nothing is written
// outside the unit's folder; a name that is no folder's is refused.
TEST(Records, WhatIsNotTheirsIsLeftAlone)
{
    QTemporaryDir dir;
    QFile mine(dir.filePath("letters.txt"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("dear\n") > 0);
    mine.close();
    QString why;
    EXPECT_FALSE(Repository::Open(dir.path(), &why));
    EXPECT_TRUE(why.contains("is not a records repository")) << why.toStdString();
    EXPECT_FALSE(QDir(dir.filePath(".git")).exists());

    QTemporaryDir empty;
    auto records = open(empty.path());
    ASSERT_TRUE(records);
    bool unchanged = false;
    for (const char *file : {"../outside.txt", "events/../../outside.txt", "/etc/passwd", ""}) {
        why.clear();
        EXPECT_FALSE(records->record("Gate", {{file, "x"}}, Ann, "no", &unchanged, &why)) << file;
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_FALSE(records->record("../Gate", {{"a.txt", "x"}}, Ann, "no", &unchanged, &why));
    EXPECT_FALSE(QFile::exists(empty.filePath("../outside.txt")));
    EXPECT_TRUE(records->history("Gate").empty());
}

TEST(Records, AUnitsNameBecomesAFolderNameOnEverySystem)
{
    const std::pair<const char *, const char *> kept[] = {
        {"Engine 3", "Engine 3"},
        {"Gate/North\\2", "Gate_North_2"},
        {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"..", nullptr},
        {"../up", "__up"},
        {"Trailing. . ", "Trailing"},
        {"  Spaced  ", "Spaced"},
        {"CON", "CON_"},
        {"nul.txt", "nul.txt_"},
        {"COM5", "COM5_"},
        {"Console", "Console"},
        {"", nullptr},
        {"...", nullptr},
    };
    for (const auto &[name, folder] : kept) {
        QString why;
        const auto got = Unit_Folder(QString::fromUtf8(name), &why);
        if (!folder) {
            EXPECT_FALSE(got) << name;
            EXPECT_FALSE(why.isEmpty()) << name;
        } else {
            ASSERT_TRUE(got) << name;
            EXPECT_EQ(*got, QString::fromUtf8(folder)) << name;
        }
    }
    const auto longName = Unit_Folder(QString(100, QLatin1Char('x')));
    ASSERT_TRUE(longName);
    EXPECT_EQ(longName->size(), 64);
    EXPECT_EQ(Unit_Folder(QString(63, QLatin1Char('y')) + QStringLiteral(". z")),
              QString(63, QLatin1Char('y')));
}

// Another program holding the records is waited for, then named; a broken reference
// is named and nothing is written over it.
TEST(Records, ALockedOrDamagedRepositoryIsNamedAndLeftAsItIs)
{
    QTemporaryDir dir;
    auto records = open(dir.path());
    ASSERT_TRUE(records);
    bool unchanged = false;
    QString why;
    ASSERT_EQ(records->record("Gate", {{"configuration.csv", "a\n"}}, Ann, "first", &unchanged, &why), 1);

    QFile lock(dir.filePath(".git/index.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    records->setLockWaitMs(100);
    EXPECT_FALSE(records->record("Gate", {{"configuration.csv", "b\n"}}, Ann, "second", &unchanged, &why));
    EXPECT_TRUE(why.startsWith("another program holds the records (")) << why.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(".git/index.lock"))); // never taken from its owner
    QStringList asked;
    records->setLockHolders([&](const QString &file) {
        asked << file;
        return QStringList{"git (process 4711)"};
    });
    EXPECT_FALSE(records->record("Gate", {{"configuration.csv", "b\n"}}, Ann, "second", &unchanged, &why));
    EXPECT_EQ(asked, QStringList{dir.filePath(".git/index.lock")});
    EXPECT_TRUE(why.startsWith("another program holds the records (git (process 4711) holds " +
                               dir.filePath(".git/index.lock") + ", there since "))
        << why.toStdString();
    EXPECT_TRUE(why.endsWith("); the version was not written. Close that program, or remove the file if none "
                             "runs."))
        << why.toStdString();
    records->setLockHolders([](const QString &) { return QStringList(); });
    EXPECT_FALSE(records->record("Gate", {{"configuration.csv", "b\n"}}, Ann, "second", &unchanged, &why));
    EXPECT_TRUE(why.contains("; no running program has it open, so one that stopped may have left it); "))
        << why.toStdString();
    ASSERT_TRUE(QFile::remove(dir.filePath(".git/index.lock")));
    EXPECT_EQ(records->record("Gate", {{"configuration.csv", "b\n"}}, Ann, "second", &unchanged, &why), 2);

    // HEAD's branch points at an object that is not there.
    const QString branch = plainGit(dir.path(), "symbolic-ref HEAD");
    QFile ref(dir.filePath(".git/" + branch));
    ASSERT_TRUE(ref.open(QIODevice::WriteOnly));
    ref.write("0123456789abcdef0123456789abcdef01234567\n");
    ref.close();
    records.reset();
    records = open(dir.path());
    ASSERT_TRUE(records);
    why.clear();
    EXPECT_FALSE(records->record("Gate", {{"configuration.csv", "c\n"}}, Ann, "third", &unchanged, &why));
    EXPECT_TRUE(why.startsWith("the last version cannot be read")) << why.toStdString();
    EXPECT_EQ(plainGit(dir.path(), "show HEAD~0:Gate/configuration.csv").contains("fatal"), true);
    QFile kept(dir.filePath("Gate/configuration.csv"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("b\n")); // nothing written over what was there
    EXPECT_EQ(plainGit(dir.path(), "cat-file -t 0123456789abcdef0123456789abcdef01234567").contains("fatal"),
              true);
}

// Once enough loose objects have gathered, the records pack them and drop the loose
// copies; plain git reads every version as before, an object no version reaches is
// kept, and the next pack holds only what came since.
TEST(Records, LooseObjectsArePackedOnceThereAreEnough)
{
    QTemporaryDir dir;
    auto records = open(dir.path());
    ASSERT_TRUE(records);
    bool unchanged = false;
    QString why;
    for (int n = 1; n <= 6; ++n)
        ASSERT_EQ(records->record("Gate",
                                  {{"configuration.csv", QByteArray("pass,") + QByteArray::number(n)}}, Ann,
                                  "v", &unchanged, &why),
                  n)
            << why.toStdString();
    const int loose = records->looseObjects();
    EXPECT_EQ(loose, 6 * 4); // each version: a blob, two trees, a commit
    const QString stray = plainGit(dir.path(), "hash-object -w --stdin < /dev/null");
    EXPECT_TRUE(records->packIfLoose(loose + 2, &why)) << why.toStdString();
    EXPECT_EQ(records->looseObjects(), loose + 1); // too few yet: nothing packed

    EXPECT_TRUE(records->packIfLoose(loose + 1, &why)) << why.toStdString();
    EXPECT_EQ(records->looseObjects(), 0);
    EXPECT_EQ(plainGit(dir.path(), "cat-file -t " + stray), "blob"); // unreached, but kept
    EXPECT_TRUE(plainGit(dir.path(), "count-objects -v").contains("in-pack: 25"));
    EXPECT_EQ(plainGit(dir.path(), "fsck --strict --no-dangling"), "");
    EXPECT_EQ(plainGit(dir.path(), "show HEAD~5:Gate/configuration.csv"), "pass,1");
    EXPECT_EQ(records->history("Gate").size(), 6u);
    EXPECT_EQ(records->record("Gate", {{"configuration.csv", "pass,7"}}, Ann, "after", &unchanged, &why), 7);
    EXPECT_EQ(records->lastFile("Gate", "configuration.csv").value_or(QByteArray()), "pass,7");
    EXPECT_TRUE(records->pack(&why)) << why.toStdString();
    EXPECT_TRUE(
        plainGit(dir.path(), "count-objects -v").contains("in-pack: 29")); // 4 more, in a pack of their own
    EXPECT_TRUE(plainGit(dir.path(), "count-objects -v").contains("packs: 2"));
    EXPECT_EQ(plainGit(dir.path(), "fsck --strict --no-dangling"), "");
    EXPECT_TRUE(records->pack(&why)); // nothing loose: nothing to do
    EXPECT_TRUE(plainGit(dir.path(), "count-objects -v").contains("packs: 2"));

    // A damaged loose object: nothing is packed or removed, and it is said.
    EXPECT_EQ(records->record("Gate", {{"configuration.csv", "pass,8"}}, Ann, "v", &unchanged, &why), 8);
    QDir(dir.filePath(".git/objects")).mkpath("ab");
    QFile damaged(dir.filePath(".git/objects/ab/cdef0123456789abcdef0123456789abcdef01"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not an object");
    damaged.close();
    const int before = records->looseObjects();
    why.clear();
    EXPECT_FALSE(records->pack(&why));
    EXPECT_TRUE(why.startsWith("the records' loose objects cannot be gathered to pack")) << why.toStdString();
    EXPECT_EQ(records->looseObjects(), before);
    EXPECT_TRUE(plainGit(dir.path(), "count-objects -v").contains("packs: 2"));
}
