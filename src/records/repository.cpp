#include "repository.h"

#include "git_handles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

namespace halvo::records {

namespace {

// What git keeps of a name: no angle brackets, no line breaks.
QByteArray Signature_Text(const QString &text, const char *otherwise)
{
    QString t = text;
    t.remove(QLatin1Char('<')).remove(QLatin1Char('>')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    t = t.trimmed();
    return t.isEmpty() ? QByteArray(otherwise) : t.toUtf8();
}

const QStringList Device_Names = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                  "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                  "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

} // namespace

std::optional<QString> Unit_Folder(const QString &name, QString *why)
{
    QString folder;
    for (const QChar c : name)
        folder += (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? QLatin1Char('_') : c;
    folder.replace(QStringLiteral(".."), QStringLiteral("_"));
    folder = folder.trimmed().left(64);
    while (!folder.isEmpty() && (folder.endsWith(QLatin1Char('.')) || folder.endsWith(QLatin1Char(' '))))
        folder.chop(1);
    if (folder.isEmpty() || folder == QLatin1String("_")) {
        if (why)
            *why = QStringLiteral("\"%1\" leaves nothing to name a folder by").arg(name);
        return std::nullopt;
    }
    if (Device_Names.contains(folder.section(QLatin1Char('.'), 0, 0).toUpper()))
        folder = folder.left(63) + QLatin1Char('_');
    return folder;
}

Repository::Repository(QString folder, std::unique_ptr<Git> git)
    : m_folder(std::move(folder)), m_git(std::move(git))
{
}

Repository::~Repository() = default;

std::unique_ptr<Repository> Repository::Open(const QString &folder, QString *why)
{
    Set_Up_Git();
    auto git = std::make_unique<Git>();
    const QByteArray path = QDir::toNativeSeparators(folder).toUtf8();
    if (git_repository_open_ext(&git->repo, path.constData(), GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) == 0) {
        if (git_repository_is_bare(git->repo)) {
            if (why)
                *why =
                    QStringLiteral("%1 is a bare repository: the records are a folder of files").arg(folder);
            return nullptr;
        }
        return std::unique_ptr<Repository>(new Repository(folder, std::move(git)));
    }
    const QDir dir(folder);
    if (dir.exists() && !dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (why)
            *why = QStringLiteral("%1 holds files and is not a records repository: it is left as it is. "
                                  "Choose an empty folder, or a new one.")
                       .arg(QDir::toNativeSeparators(folder));
        return nullptr;
    }
    if (!QDir().mkpath(folder)) {
        if (why)
            *why = QStringLiteral("%1 cannot be made").arg(QDir::toNativeSeparators(folder));
        return nullptr;
    }
    if (git_repository_init(&git->repo, path.constData(), 0) != 0) {
        if (why)
            *why = Git_Error("the records repository cannot be made");
        return nullptr;
    }
    return std::unique_ptr<Repository>(new Repository(folder, std::move(git)));
}

std::optional<int> Repository::record(const QString &unit, const std::map<QString, QByteArray> &files,
                                      const Author &author, const QString &message, bool *unchanged,
                                      QString *why, const QStringList &asTheyAre)
{
    auto fail = [why](const QString &text) -> std::optional<int> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (unchanged)
        *unchanged = false;
    if (Unit_Folder(unit) != unit)
        return fail(QStringLiteral("\"%1\" is not a unit's folder").arg(unit));
    // Another program writing the records holds their index; it is waited for, never
    // taken from it.
    const QFileInfo lock(QDir(m_folder).filePath(QStringLiteral(".git/index.lock")));
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo::exists(lock.filePath()) && waited.elapsed() < m_lockWaitMs)
        QThread::msleep(50);
    if (QFileInfo::exists(lock.filePath())) {
        QString held = QStringLiteral("%1, there since %2")
                           .arg(QDir::toNativeSeparators(lock.filePath()),
                                QFileInfo(lock.filePath())
                                    .lastModified()
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (m_lockHolders) {
            const QStringList holders = m_lockHolders(lock.filePath());
            held = holders.isEmpty()
                       ? held + QStringLiteral("; no running program has it open, so one that stopped may "
                                               "have left it")
                       : holders.join(QStringLiteral(", ")) + QStringLiteral(" holds ") + held;
        }
        return fail(QStringLiteral("another program holds the records (%1); the version was not written. "
                                   "Close that program, or remove the file if none runs.")
                        .arg(held));
    }
    // The last version first: records whose history cannot be read are not written to.
    Commit parent;
    git_oid head;
    const bool born = git_reference_name_to_id(&head, m_git->repo, "HEAD") == 0;
    if (born && git_commit_lookup(parent.out(), m_git->repo, &head) != 0)
        return fail(Git_Error("the last version cannot be read"));
    // The files first, each written whole, so that the folder reads as git holds it.
    Index index;
    if (git_repository_index(index.out(), m_git->repo) != 0)
        return fail(Git_Error("the records' index cannot be read"));
    for (const auto &[file, content] : files) {
        QString error;
        if (!writeAside(unit, file, content, &error))
            return fail(error);
    }
    QStringList taken = asTheyAre;
    for (const auto &entry : files)
        taken << entry.first;
    for (const QString &file : taken) {
        if (file.isEmpty() || file.contains(QStringLiteral("..")) || QDir::isAbsolutePath(file))
            return fail(QStringLiteral("\"%1/%2\" is not a file of a unit's folder").arg(unit, file));
        const QString inRepo = unit + QLatin1Char('/') + file;
        if (git_index_add_bypath(index.get(), inRepo.toUtf8().constData()) != 0)
            return fail(Git_Error("the records' index cannot take the file"));
    }
    git_oid treeId;
    if (git_index_write_tree(&treeId, index.get()) != 0)
        return fail(Git_Error("the records' tree cannot be written"));

    if (born && git_oid_equal(&treeId, git_commit_tree_id(parent.get()))) {
        git_index_write(index.get()); // what the folder holds is what HEAD holds
        if (unchanged)
            *unchanged = true;
        return static_cast<int>(history(unit).size());
    }
    if (git_index_write(index.get()) != 0)
        return fail(Git_Error("the records' index cannot be written"));
    Tree tree;
    Signature signature;
    if (git_tree_lookup(tree.out(), m_git->repo, &treeId) != 0)
        return fail(Git_Error("the records' tree cannot be read"));
    if (git_signature_now(signature.out(), Signature_Text(author.name, "unknown").constData(),
                          Signature_Text(author.host, "unknown").constData()) != 0)
        return fail(Git_Error("the version's author cannot be written"));
    const git_commit *parents[] = {parent.get()};
    git_oid commitId;
    if (git_commit_create(&commitId, m_git->repo, "HEAD", signature.get(), signature.get(), "UTF-8",
                          message.toUtf8().constData(), tree.get(), born ? 1 : 0,
                          born ? parents : nullptr) != 0)
        return fail(Git_Error("the version cannot be committed"));
    return static_cast<int>(history(unit).size());
}

std::vector<Version> Repository::history(const QString &unit, QString *why) const
{
    std::vector<Version> versions;
    Walk walk;
    if (git_revwalk_new(walk.out(), m_git->repo) != 0 || git_revwalk_push_head(walk.get()) != 0) {
        if (why)
            *why = {}; // no version yet
        return versions;
    }
    git_revwalk_sorting(walk.get(), GIT_SORT_TIME | GIT_SORT_TOPOLOGICAL);
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0) {
        Commit commit;
        if (git_commit_lookup(commit.out(), m_git->repo, &id) != 0)
            continue;
        const auto mine = Unit_Tree_Id(commit.get(), unit);
        // A version is a commit that changed the unit's folder. A merge only brings
        // versions made elsewhere together: it is none of its own.
        if (!mine || git_commit_parentcount(commit.get()) > 1)
            continue;
        if (Commit parent; git_commit_parentcount(commit.get()) == 1 &&
                           git_commit_parent(parent.out(), commit.get(), 0) == 0) {
            const auto before = Unit_Tree_Id(parent.get(), unit);
            if (before && git_oid_equal(&*before, &*mine))
                continue;
        }
        Version v;
        char hex[41] = {}; // a SHA-1 in hex, and its end
        git_oid_tostr(hex, sizeof hex, &id);
        v.commit = QString::fromLatin1(hex);
        const git_signature *a = git_commit_author(commit.get());
        v.author = {QString::fromUtf8(a->name), QString::fromUtf8(a->email)};
        v.when = QDateTime::fromSecsSinceEpoch(a->when.time, Qt::OffsetFromUTC, a->when.offset * 60);
        v.message = QString::fromUtf8(git_commit_message(commit.get()));
        v.summary = v.message.section(QLatin1Char('\n'), 0, 0);
        versions.push_back(v);
    }
    const int count = static_cast<int>(versions.size());
    for (int i = 0; i < count; ++i)
        versions[static_cast<size_t>(i)].number = count - i;
    return versions;
}

std::optional<QByteArray> Repository::fileAt(const QString &unit, const Version &version,
                                             const QString &file) const
{
    git_oid id;
    Commit commit;
    Tree tree;
    TreeEntry entry;
    Blob blob;
    if (git_oid_fromstr(&id, version.commit.toLatin1().constData()) != 0 ||
        git_commit_lookup(commit.out(), m_git->repo, &id) != 0 ||
        git_commit_tree(tree.out(), commit.get()) != 0 ||
        git_tree_entry_bypath(entry.out(), tree.get(),
                              (unit + QLatin1Char('/') + file).toUtf8().constData()) != 0 ||
        git_tree_entry_type(entry.get()) != GIT_OBJECT_BLOB ||
        git_blob_lookup(blob.out(), m_git->repo, git_tree_entry_id(entry.get())) != 0)
        return std::nullopt;
    return QByteArray(static_cast<const char *>(git_blob_rawcontent(blob.get())),
                      static_cast<qsizetype>(git_blob_rawsize(blob.get())));
}

std::optional<QByteArray> Repository::lastFile(const QString &unit, const QString &file) const
{
    Version head;
    git_oid id;
    if (git_reference_name_to_id(&id, m_git->repo, "HEAD") != 0)
        return std::nullopt;
    char hex[41] = {};
    git_oid_tostr(hex, sizeof hex, &id);
    head.commit = QString::fromLatin1(hex);
    return fileAt(unit, head, file);
}

bool Repository::writeAside(const QString &unit, const QString &file, const QByteArray &content, QString *why)
{
    if (Unit_Folder(unit) != unit || file.isEmpty() || file.contains(QStringLiteral("..")) ||
        QDir::isAbsolutePath(file)) {
        if (why)
            *why = QStringLiteral("\"%1/%2\" is not a file of a unit's folder").arg(unit, file);
        return false;
    }
    const QString path = QDir(m_folder).filePath(unit + QLatin1Char('/') + file);
    QSaveFile out(path);
    if (QDir().mkpath(QFileInfo(path).path()) && out.open(QIODevice::WriteOnly) &&
        out.write(content) == content.size() && out.commit())
        return true;
    if (why)
        *why =
            QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(path), out.errorString());
    return false;
}

QStringList Repository::units() const
{
    QStringList names;
    git_oid head;
    Commit commit;
    Tree tree;
    if (git_reference_name_to_id(&head, m_git->repo, "HEAD") != 0 ||
        git_commit_lookup(commit.out(), m_git->repo, &head) != 0 ||
        git_commit_tree(tree.out(), commit.get()) != 0)
        return names;
    for (size_t i = 0; i < git_tree_entrycount(tree.get()); ++i) {
        const git_tree_entry *e = git_tree_entry_byindex(tree.get(), i);
        if (git_tree_entry_type(e) == GIT_OBJECT_TREE)
            names << QString::fromUtf8(git_tree_entry_name(e));
    }
    return names;
}

} // namespace halvo::records
