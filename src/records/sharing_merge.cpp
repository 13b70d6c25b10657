// Versions two PCs made apart, merged so that each keeps them all.
#include "git_handles.h"
#include "repository.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace halvo::records {

namespace {

// Each PC appends to event files of its own under a unit's events/: those merge by
// file, and never decide which side's unit is kept.
const QByteArray Events = "events";

// What a unit's folder holds of the unit itself: every entry but its events.
std::vector<std::pair<QByteArray, git_oid>> Unit_Content(git_repository *repo, const git_commit *commit,
                                                         const QString &unit)
{
    std::vector<std::pair<QByteArray, git_oid>> content;
    const auto id = Unit_Tree_Id(commit, unit);
    Tree folder;
    if (!id || git_tree_lookup(folder.out(), repo, &*id) != 0)
        return content;
    for (size_t i = 0; i < git_tree_entrycount(folder.get()); ++i) {
        const git_tree_entry *e = git_tree_entry_byindex(folder.get(), i);
        if (git_tree_entry_name(e) != Events)
            content.emplace_back(QByteArray(git_tree_entry_name(e)), *git_tree_entry_id(e));
    }
    return content;
}

bool Same(const std::vector<std::pair<QByteArray, git_oid>> &a,
          const std::vector<std::pair<QByteArray, git_oid>> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.first == y.first && git_oid_equal(&x.second, &y.second);
    });
}

// Takes every index entry of the unit's folder out, its events left as the merge has them.
void Remove_Unit_Content(git_index *index, const QByteArray &prefix)
{
    QList<QByteArray> paths;
    for (size_t i = 0; i < git_index_entrycount(index); ++i) {
        const QByteArray path = git_index_get_byindex(index, i)->path;
        if (path.startsWith(prefix + '/') && !path.startsWith(prefix + '/' + Events + '/'))
            paths << path;
    }
    for (const QByteArray &path : paths)
        for (int stage = 0; stage <= 3; ++stage)
            git_index_remove(index, path.constData(), stage);
}

} // namespace

// Both sides made versions: each keeps them all. Where both changed a file, the content
// of the newer of the two is taken, and the merge says so.
bool Repository::merge(const git_oid &ours, const git_oid &theirs, SyncEnd &end)
{
    Commit mine, other;
    if (git_commit_lookup(mine.out(), m_git->repo, &ours) != 0 ||
        git_commit_lookup(other.out(), m_git->repo, &theirs) != 0) {
        end.text = Git_Error("the versions to merge cannot be read");
        return false;
    }
    Index index;
    git_merge_options options = GIT_MERGE_OPTIONS_INIT;
    if (git_merge_commits(index.out(), m_git->repo, mine.get(), other.get(), &options) != 0) {
        end.text = Git_Error("the versions cannot be merged");
        return false;
    }
    const bool otherNewer = git_commit_time(other.get()) > git_commit_time(mine.get());
    const git_commit *newer = otherNewer ? other.get() : mine.get();
    QStringList taken;
    // A unit both sides changed is taken whole from the newer: its files are what the
    // unit was found to hold, never a blend of two that no unit held.
    git_oid baseId;
    Commit base;
    const bool haveBase = git_merge_base(&baseId, m_git->repo, &ours, &theirs) == 0 &&
                          git_commit_lookup(base.out(), m_git->repo, &baseId) == 0;
    QStringList units;
    for (const git_commit *side : {mine.get(), other.get()}) {
        Tree t;
        if (git_commit_tree(t.out(), side) != 0)
            continue;
        for (size_t i = 0; i < git_tree_entrycount(t.get()); ++i) {
            const git_tree_entry *e = git_tree_entry_byindex(t.get(), i);
            const QString name = QString::fromUtf8(git_tree_entry_name(e));
            if (git_tree_entry_type(e) == GIT_OBJECT_TREE && !units.contains(name))
                units << name;
        }
    }
    for (const QString &unit : units) {
        const auto a = Unit_Content(m_git->repo, mine.get(), unit);
        const auto b = Unit_Content(m_git->repo, other.get(), unit);
        const auto o = haveBase ? Unit_Content(m_git->repo, base.get(), unit)
                                : std::vector<std::pair<QByteArray, git_oid>>{};
        if (Same(a, o) || Same(b, o) || Same(a, b))
            continue;
        const QByteArray prefix = unit.toUtf8();
        Remove_Unit_Content(index.get(), prefix);
        if (const auto keep = Unit_Tree_Id(otherNewer ? other.get() : mine.get(), unit)) {
            Tree folder;
            struct Adding
            {
                git_index *index;
                QByteArray prefix;
                bool failed = false;
            } adding{index.get(), prefix + '/'};
            if (git_tree_lookup(folder.out(), m_git->repo, &*keep) == 0)
                git_tree_walk(
                    folder.get(), GIT_TREEWALK_PRE,
                    [](const char *root, const git_tree_entry *e, void *payload) {
                        auto *add = static_cast<Adding *>(payload);
                        if (*root == '\0' && git_tree_entry_name(e) == Events)
                            return 1; // the merge has both sides' events already
                        if (git_tree_entry_type(e) != GIT_OBJECT_BLOB)
                            return 0;
                        const QByteArray path = add->prefix + root + git_tree_entry_name(e);
                        git_index_entry entry{};
                        entry.mode = git_tree_entry_filemode(e);
                        entry.id = *git_tree_entry_id(e);
                        entry.path = path.constData();
                        add->failed = add->failed || git_index_add(add->index, &entry) != 0;
                        return 0;
                    },
                    &adding);
            if (adding.failed) {
                end.text = Git_Error("the merge cannot take the newer unit's files");
                return false;
            }
        }
        taken << unit;
    }
    if (git_index_has_conflicts(index.get())) {
        git_index_conflict_iterator *it = nullptr;
        std::vector<std::pair<QByteArray, git_index_entry>> chosen;
        if (git_index_conflict_iterator_new(&it, index.get()) == 0) {
            const git_index_entry *ancestor = nullptr, *a = nullptr, *b = nullptr;
            while (git_index_conflict_next(&ancestor, &a, &b, it) == 0) {
                const git_index_entry *pick = otherNewer ? (b ? b : a) : (a ? a : b);
                const char *path = (a ? a : b ? b : ancestor)->path;
                if (pick)
                    chosen.emplace_back(QByteArray(path), *pick);
                if (!taken.contains(QString::fromUtf8(path).section(QLatin1Char('/'), 0, 0)))
                    taken << QString::fromUtf8(path);
            }
            git_index_conflict_iterator_free(it);
        }
        for (auto &[path, entry] : chosen) {
            git_index_conflict_remove(index.get(), path.constData());
            entry.path = path.constData();
            entry.flags = 0;
            if (git_index_add(index.get(), &entry) != 0) {
                end.text = Git_Error("the merge cannot take the newer content");
                return false;
            }
        }
    }
    git_oid treeId;
    Tree tree;
    if (git_index_write_tree_to(&treeId, index.get(), m_git->repo) != 0 ||
        git_tree_lookup(tree.out(), m_git->repo, &treeId) != 0) {
        end.text = Git_Error("the merged records cannot be written");
        return false;
    }
    const git_signature *by = git_commit_author(newer);
    QString message = QStringLiteral("Merged the records of %1")
                          .arg(QString::fromUtf8(git_commit_author(other.get())->email));
    if (!taken.isEmpty())
        message +=
            QStringLiteral("\n\nBoth changed %1: the newer content is kept, from %2 on %3 (%4); the other "
                           "stays in the history.")
                .arg(taken.join(QStringLiteral(", ")), QString::fromUtf8(by->name),
                     QString::fromUtf8(by->email),
                     QString::fromUtf8(git_commit_summary(const_cast<git_commit *>(newer))));
    Signature signature;
    if (git_signature_now(signature.out(), by->name, by->email) != 0) {
        end.text = Git_Error("the merge's author cannot be written");
        return false;
    }
    const git_commit *parents[] = {mine.get(), other.get()};
    git_oid merged;
    if (git_commit_create(&merged, m_git->repo, nullptr, signature.get(), signature.get(), "UTF-8",
                          message.toUtf8().constData(), tree.get(), 2, parents) != 0) {
        end.text = Git_Error("the merge cannot be committed");
        return false;
    }
    return moveTo(merged, QStringLiteral("merge"), &end.text);
}

} // namespace halvo::records
