// Versions two PCs made apart, merged so that each keeps them all.
#include "git_handles.h"
#include "repository.h"

#include <vector>

namespace halvo::records {

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
    auto same = [](const std::optional<git_oid> &a, const std::optional<git_oid> &b) {
        return a.has_value() == b.has_value() && (!a || git_oid_equal(&*a, &*b));
    };
    for (const QString &unit : units) {
        const auto a = Unit_Tree_Id(mine.get(), unit), b = Unit_Tree_Id(other.get(), unit);
        const auto o = haveBase ? Unit_Tree_Id(base.get(), unit) : std::nullopt;
        if (same(a, o) || same(b, o) || same(a, b))
            continue;
        const QByteArray prefix = unit.toUtf8();
        for (int stage = 0; stage <= 3; ++stage)
            git_index_remove_directory(index.get(), prefix.constData(), stage);
        if (const auto keep = otherNewer ? b : a) {
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
