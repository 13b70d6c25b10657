#pragma once
// What the records' own code shares about libgit2: handles freed when they go, the
// last error in words, and the repository a Repository holds.

#include "repository.h"

#include <QString>

#include <optional>

#include <git2.h>

namespace halvo::records {

// libgit2 is set up once for the program, and stays.
inline void Set_Up_Git()
{
    static const int once = git_libgit2_init();
    (void)once;
}

inline QString Git_Error(const char *what)
{
    const git_error *e = git_error_last();
    return QStringLiteral("%1: %2").arg(QLatin1String(what), e && e->message ? QString::fromUtf8(e->message)
                                                                             : QStringLiteral("failed"));
}

template <typename T, void (*Free)(T *)> struct Owned
{
    T *p = nullptr;
    Owned() = default;
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned()
    {
        if (p)
            Free(p);
    }
    T **out() { return &p; }
    T *get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};
using Commit = Owned<git_commit, git_commit_free>;
using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Index = Owned<git_index, git_index_free>;
using Signature = Owned<git_signature, git_signature_free>;
using Walk = Owned<git_revwalk, git_revwalk_free>;
using Blob = Owned<git_blob, git_blob_free>;

using Reference = Owned<git_reference, git_reference_free>;
using Remote = Owned<git_remote, git_remote_free>;
using Object = Owned<git_object, git_object_free>;

// The unit's folder in a commit, or no id when the commit holds none.
inline std::optional<git_oid> Unit_Tree_Id(const git_commit *commit, const QString &unit)
{
    Tree tree;
    TreeEntry entry;
    if (git_commit_tree(tree.out(), commit) != 0 ||
        git_tree_entry_bypath(entry.out(), tree.get(), unit.toUtf8().constData()) != 0)
        return std::nullopt;
    return *git_tree_entry_id(entry.get());
}

struct Repository::Git
{
    git_repository *repo = nullptr;
    ~Git()
    {
        if (repo)
            git_repository_free(repo);
    }
};

} // namespace halvo::records
