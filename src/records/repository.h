#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct git_oid;
struct git_tree;

namespace halvo::records {

// A unit's name as its folder in the records: the same name on every system. The
// characters no system takes in a file name (/ \ : * ? " < > |, control characters)
// become "_", as does "..", blanks and dots at the end go, a name the system keeps
// for a device (CON, NUL, COM1...) gets "_" after it, and at most 64 characters stay.
// Nothing left: no folder, and why.
std::optional<QString> Unit_Folder(const QString &name, QString *why = nullptr);

// Who made a version: the operator's name, and the PC it was made on.
struct Author
{
    QString name;
    QString host;
};

// One version of a unit, as the records hold it.
struct Version
{
    int number = 0; // the unit's first version is 1
    QString commit; // the commit's id, in hex
    QDateTime when;
    Author author;
    QString summary; // the first line of the message
    QString message;
};

// The records: an ordinary git repository, one folder per unit, read by plain git as
// it is. Each version of a unit is one commit that changes that unit's folder only.
class Repository
{
public:
    ~Repository();
    Repository(const Repository &) = delete;
    Repository &operator=(const Repository &) = delete;

    // Opens the records in folder. A folder that is not there yet, or is empty, becomes
    // a new repository; a folder with files in it that is not one is not taken over.
    static std::unique_ptr<Repository> Open(const QString &folder, QString *why);

    QString folder() const { return m_folder; }
    // How long a version waits for another program that holds the records (its
    // index.lock) before it is refused.
    void setLockWaitMs(int ms) { m_lockWaitMs = ms; }
    // Who has a file open, as the system tells ("git (process 4711)"), to name the
    // program that holds the records; without it only the file and its age are named.
    void setLockHolders(std::function<QStringList(const QString &file)> holders)
    {
        m_lockHolders = std::move(holders);
    }

    // Writes files (paths inside the unit's folder) and commits them as the unit's next
    // version; the unit's other files stay as they were. Content the last version held
    // already makes no version: unchanged says so, and the number is the last one's.
    // nullopt and why when nothing could be recorded. asTheyAre: files of the unit's
    // folder taken into the version as the folder holds them (what another part of the
    // tool wrote there, such as an event archive).
    std::optional<int> record(const QString &unit, const std::map<QString, QByteArray> &files,
                              const Author &author, const QString &message, bool *unchanged, QString *why,
                              const QStringList &asTheyAre = {});

    // The unit's versions, newest first.
    std::vector<Version> history(const QString &unit, QString *why = nullptr) const;
    // A file of the unit as a version holds it; nullopt when that version has none.
    std::optional<QByteArray> fileAt(const QString &unit, const Version &version, const QString &file) const;
    // The same, as the last version of the records holds it.
    std::optional<QByteArray> lastFile(const QString &unit, const QString &file) const;
    // Writes a file of the unit into the folder only, for the next version to take:
    // what changes no version (the time of a read that found nothing new).
    bool writeAside(const QString &unit, const QString &file, const QByteArray &content, QString *why);
    // The units the records hold, by folder.
    QStringList units() const;

    // ---- packing: libgit2 leaves each object of a version in a file of its own
    static constexpr int LooseObjectsToPack = 1000;
    int looseObjects() const;
    // Packs what the references reach, and removes the loose copies the packs hold.
    bool pack(QString *why = nullptr);
    // The same once threshold loose objects or more have gathered.
    bool packIfLoose(int threshold = LooseObjectsToPack, QString *why = nullptr);

    // ---- sharing: one remote (a bare repository in a folder, file://, or HTTPS where
    // libgit2 serves it) that every PC of a department syncs with
    bool setRemote(const QString &url, QString *why);
    QString remote() const;
    // Versions made or merged here that the remote has not been given yet.
    int notShared() const;
    struct SyncEnd
    {
        bool ok = false;
        QString text; // for the operator: how it went, or what stood in the way
        int received = 0;
        int sent = 0;
    };
    // Fetches, merges what came and pushes; a push refused because someone pushed first
    // fetches and merges again. Nothing is force-pushed and no version rewritten; what
    // comes from the remote is checked before any of it is taken.
    SyncEnd sync();

private:
    struct Git;
    Repository(QString folder, std::unique_ptr<Git> git);
    QString branch() const;
    QString refused(const ::git_tree *tree) const;
    bool merge(const ::git_oid &ours, const ::git_oid &theirs, SyncEnd &end);
    bool moveTo(const ::git_oid &id, const QString &message, QString *why);

    QString m_folder;
    std::unique_ptr<Git> m_git;
    int m_lockWaitMs = 10000;
    std::function<QStringList(const QString &)> m_lockHolders;
};

} // namespace halvo::records
