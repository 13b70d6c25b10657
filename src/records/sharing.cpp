// The records shared through one remote: fetch, check, merge, push.
#include "git_handles.h"
#include "repository.h"

#include "datafile/data_file.h"

#include <QDir>
#include <QFileInfo>

namespace halvo::records {

namespace {

constexpr const char *RemoteName = "origin";
constexpr git_object_size_t MostBytes = 10 * 1024 * 1024;

QString Short(const git_oid &id)
{
    char hex[8] = {};
    git_oid_tostr(hex, sizeof hex, &id);
    return QString::fromLatin1(hex);
}

// The remote in words, for a message: a folder as the system writes it.
QString Where(const QString &url)
{
    return url.contains(QStringLiteral("://")) ? url : QDir::toNativeSeparators(url);
}

struct Checked
{
    const git_repository *repo;
    QStringList refused;
};

// Each entry of a tree from the remote: no links, no submodules, no file outside a
// unit's folder, nothing over 10 MiB, and a configuration the data file reader takes.
int Check_Entry(const char *root, const git_tree_entry *entry, void *payload)
{
    auto *c = static_cast<Checked *>(payload);
    const QString path = QString::fromUtf8(root) + QString::fromUtf8(git_tree_entry_name(entry));
    const git_filemode_t mode = git_tree_entry_filemode(entry);
    if (mode == GIT_FILEMODE_LINK) {
        c->refused << QStringLiteral("%1 (a link)").arg(path);
        return 1;
    }
    if (mode == GIT_FILEMODE_COMMIT) {
        c->refused << QStringLiteral("%1 (a submodule)").arg(path);
        return 1;
    }
    if (mode == GIT_FILEMODE_TREE)
        return 0;
    if (*root == '\0') {
        c->refused << QStringLiteral("%1 (outside every unit's folder)").arg(path);
        return 0;
    }
    Blob blob;
    if (git_blob_lookup(blob.out(), const_cast<git_repository *>(c->repo), git_tree_entry_id(entry)) != 0) {
        c->refused << QStringLiteral("%1 (cannot be read)").arg(path);
        return 0;
    }
    if (git_blob_rawsize(blob.get()) > MostBytes) {
        c->refused << QStringLiteral("%1 (over 10 MiB)").arg(path);
        return 0;
    }
    if (QString::fromUtf8(git_tree_entry_name(entry)) == QLatin1String("configuration.csv")) {
        const QByteArray content(static_cast<const char *>(git_blob_rawcontent(blob.get())),
                                 static_cast<qsizetype>(git_blob_rawsize(blob.get())));
        QString why;
        if (!datafile::Parse_Data_File(content, &why))
            c->refused << QStringLiteral("%1 (%2)").arg(path, why);
    }
    return 0;
}

} // namespace

bool Repository::setRemote(const QString &url, QString *why)
{
    if (url.trimmed().isEmpty()) {
        if (why)
            *why = QStringLiteral("no remote given");
        return false;
    }
    Remote existing;
    if (git_remote_lookup(existing.out(), m_git->repo, RemoteName) == 0) {
        if (git_remote_set_url(m_git->repo, RemoteName, url.toUtf8().constData()) == 0)
            return true;
    } else {
        Remote made;
        if (git_remote_create(made.out(), m_git->repo, RemoteName, url.toUtf8().constData()) == 0)
            return true;
    }
    if (why)
        *why = Git_Error("the remote cannot be set");
    return false;
}

QString Repository::remote() const
{
    Remote r;
    if (git_remote_lookup(r.out(), m_git->repo, RemoteName) != 0)
        return {};
    return QString::fromUtf8(git_remote_url(r.get()));
}

QString Repository::branch() const
{
    Reference head;
    if (git_reference_lookup(head.out(), m_git->repo, "HEAD") != 0 ||
        git_reference_type(head.get()) != GIT_REFERENCE_SYMBOLIC)
        return QStringLiteral("master");
    return QString::fromUtf8(git_reference_symbolic_target(head.get())).section(QLatin1Char('/'), 2);
}

int Repository::notShared() const
{
    git_oid head, shared;
    if (git_reference_name_to_id(&head, m_git->repo, "HEAD") != 0)
        return 0;
    Walk walk;
    if (git_revwalk_new(walk.out(), m_git->repo) != 0 || git_revwalk_push(walk.get(), &head) != 0)
        return 0;
    const QByteArray tracking =
        QStringLiteral("refs/remotes/%1/%2").arg(QLatin1String(RemoteName), branch()).toUtf8();
    if (git_reference_name_to_id(&shared, m_git->repo, tracking.constData()) == 0)
        git_revwalk_hide(walk.get(), &shared);
    int n = 0;
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0)
        ++n;
    return n;
}

QString Repository::refused(const git_tree *tree) const
{
    Checked c{m_git->repo, {}};
    git_tree_walk(tree, GIT_TREEWALK_PRE, Check_Entry, &c);
    return c.refused.join(QStringLiteral(", "));
}

// The branch and the folder move to a version: the files it changes are written,
// the others left as they are.
bool Repository::moveTo(const git_oid &id, const QString &message, QString *why)
{
    Commit target;
    Tree tree;
    if (git_commit_lookup(target.out(), m_git->repo, &id) != 0 ||
        git_commit_tree(tree.out(), target.get()) != 0) {
        *why = Git_Error("the version cannot be read");
        return false;
    }
    git_checkout_options checkout = GIT_CHECKOUT_OPTIONS_INIT;
    checkout.checkout_strategy = GIT_CHECKOUT_FORCE;
    Commit current;
    git_oid head;
    Tree baseline;
    if (git_reference_name_to_id(&head, m_git->repo, "HEAD") == 0 &&
        git_commit_lookup(current.out(), m_git->repo, &head) == 0 &&
        git_commit_tree(baseline.out(), current.get()) == 0)
        checkout.baseline = baseline.get();
    if (git_checkout_tree(m_git->repo, reinterpret_cast<const git_object *>(tree.get()), &checkout) != 0) {
        *why = Git_Error("the records' folder cannot be brought up to date");
        return false;
    }
    const QByteArray ref = QStringLiteral("refs/heads/%1").arg(branch()).toUtf8();
    Reference moved;
    if (git_reference_create(moved.out(), m_git->repo, ref.constData(), &id, 1,
                             message.toUtf8().constData()) != 0) {
        *why = Git_Error("the records cannot take the version");
        return false;
    }
    return true;
}

Repository::SyncEnd Repository::sync()
{
    SyncEnd end;
    Remote remote;
    if (git_remote_lookup(remote.out(), m_git->repo, RemoteName) != 0) {
        end.text = QStringLiteral("no remote is set for the records");
        return end;
    }
    const QString url = QString::fromUtf8(git_remote_url(remote.get()));
    const QByteArray tracking =
        QStringLiteral("refs/remotes/%1/%2").arg(QLatin1String(RemoteName), branch()).toUtf8();
    const QByteArray local = QStringLiteral("refs/heads/%1").arg(branch()).toUtf8();
    for (int attempt = 0; attempt < 3; ++attempt) {
        git_oid before{}, after{}, head{};
        const bool sharedBefore = git_reference_name_to_id(&before, m_git->repo, tracking.constData()) == 0;
        git_fetch_options fetch = GIT_FETCH_OPTIONS_INIT;
        if (git_remote_fetch(remote.get(), nullptr, &fetch, "sync") != 0) {
            end.text = QStringLiteral("%1 cannot be reached: %2").arg(Where(url), Git_Error("fetch"));
            return end;
        }
        const bool remoteHas = git_reference_name_to_id(&after, m_git->repo, tracking.constData()) == 0;
        const bool born = git_reference_name_to_id(&head, m_git->repo, "HEAD") == 0;
        if (sharedBefore && remoteHas && !git_oid_equal(&before, &after) &&
            git_graph_descendant_of(m_git->repo, &after, &before) != 1) {
            // The remote was rewritten elsewhere: what this PC shared is no longer there.
            Walk walk;
            QStringList missing;
            git_revwalk_new(walk.out(), m_git->repo);
            git_revwalk_push(walk.get(), &before);
            git_revwalk_hide(walk.get(), &after);
            git_oid id;
            while (git_revwalk_next(&id, walk.get()) == 0 && missing.size() < 20) {
                Commit c;
                if (git_commit_lookup(c.out(), m_git->repo, &id) == 0)
                    missing << QStringLiteral("%1 \"%2\"")
                                   .arg(Short(id), QString::fromUtf8(git_commit_summary(c.get())));
            }
            // The tracking branch goes back to what this PC last shared.
            Reference back;
            git_reference_create(back.out(), m_git->repo, tracking.constData(), &before, 1, "kept");
            end.text =
                QStringLiteral("%1 no longer holds versions this PC shared (%2): its history was rewritten "
                               "elsewhere. Nothing was merged; this PC keeps its own.")
                    .arg(Where(url), missing.join(QStringLiteral(", ")));
            return end;
        }
        if (remoteHas && (!born || !git_oid_equal(&head, &after))) {
            Commit incoming;
            Tree tree;
            if (git_commit_lookup(incoming.out(), m_git->repo, &after) != 0 ||
                git_commit_tree(tree.out(), incoming.get()) != 0) {
                end.text = Git_Error("what came from the remote cannot be read");
                return end;
            }
            if (const QString bad = refused(tree.get()); !bad.isEmpty()) {
                end.text =
                    QStringLiteral("Nothing was taken from %1: it holds what the records do not take: %2.")
                        .arg(Where(url), bad);
                return end;
            }
            if (!born || git_graph_descendant_of(m_git->repo, &after, &head) == 1) {
                // Only new versions came: the folder moves on to them.
                if (!moveTo(after, QStringLiteral("sync"), &end.text))
                    return end;
                end.received = 1;
            } else if (git_graph_descendant_of(m_git->repo, &head, &after) != 1) {
                if (!merge(head, after, end))
                    return end;
                end.received = 1;
            }
        }
        const int toSend = notShared();
        if (toSend == 0) {
            end.ok = true;
            end.text = end.received ? QStringLiteral("records brought up to date from %1").arg(Where(url))
                                    : QStringLiteral("records up to date with %1").arg(Where(url));
            return end;
        }
        QByteArray update = local + ':' + local;
        char *updates[] = {update.data()};
        const git_strarray refspecs = {updates, 1};
        git_push_options push = GIT_PUSH_OPTIONS_INIT;
        QString rejected;
        push.callbacks.push_update_reference = [](const char *, const char *status, void *data) {
            if (status)
                *static_cast<QString *>(data) = QString::fromUtf8(status);
            return 0;
        };
        push.callbacks.payload = &rejected;
        if (git_remote_push(remote.get(), &refspecs, &push) == 0 && rejected.isEmpty()) {
            git_oid pushed;
            git_reference_name_to_id(&pushed, m_git->repo, local.constData());
            Reference now;
            git_reference_create(now.out(), m_git->repo, tracking.constData(), &pushed, 1, "pushed");
            end.ok = true;
            end.sent = toSend;
            end.text =
                QStringLiteral("%1 %2 shared with %3")
                    .arg(toSend)
                    .arg(toSend == 1 ? QStringLiteral("version") : QStringLiteral("versions"), Where(url));
            return end;
        }
        // Someone pushed first: fetch and merge again.
        end.text = rejected.isEmpty() ? Git_Error("push") : rejected;
    }
    end.text = QStringLiteral("%1 refused the versions three times: %2").arg(Where(url), end.text);
    return end;
}

} // namespace halvo::records
