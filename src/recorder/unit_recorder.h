#pragma once

#include "pending_versions.h"
#include "records/unit_records.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <map>
#include <optional>

namespace halvo::session {
class Run;
class UnitSession;
struct RunResult;
} // namespace halvo::session

namespace halvo::recorder {

// What the recorder asks of the operator: the window asks with its dialogs, halvo-cli
// answers from its options, tests answer as they like.
class RecordQuestions
{
public:
    virtual ~RecordQuestions() = default;
    // A unit the records have not met: the name to keep it by (its banner offered),
    // or nothing to leave it unrecorded. sameBanner: the names of the units in the
    // records with its banner, which it was said not to be or could not be told from.
    virtual std::optional<QString> nameUnit(const QString &banner, const QStringList &sameBanner) = 0;
    // A unit whose banner a unit in the records has, met through another adapter or
    // through one that gives no serial number: whether it is that unit.
    virtual bool isThisUnit(const QString &name, const QString &banner) = 0;
    // Who records on this PC, asked before the first version when no one was given
    // (the login's full name offered); nothing leaves the version unrecorded.
    virtual std::optional<QString> operatorName(const QString &offered) = 0;
};

// Keeps the history of the unit on a session: each read and store that ends with the
// unit's content checked (a read whole, a store read back) becomes the unit's next
// version in the records, unless the last version holds it already. It only listens:
// nothing a run does waits for it, and a version that cannot be written never undoes
// or holds back what the unit was sent. The writing is done away from the caller's
// thread, one version after another, in the order the runs ended.
class UnitRecorder : public QObject
{
    Q_OBJECT
public:
    // pending: where versions wait that could not be written yet.
    UnitRecorder(session::UnitSession &session, RecordQuestions &questions, QObject *parent = nullptr,
                 PendingVersions pending = PendingVersions());
    ~UnitRecorder() override;

    // The records' folder; empty records nothing.
    void setFolder(const QString &folder);
    QString folder() const { return m_folder; }
    void setAuthor(const records::Author &author) { m_author = author; }
    const records::Author &author() const { return m_author; }
    // Nothing is being looked up, listed or written now (versions may still wait for
    // the records).
    bool idle() const { return !m_writing && m_listing == 0 && m_syncing == 0 && m_lookingAhead == 0; }
    // Writes the versions that wait for this folder, in their order, now.
    void retry();
    // How many versions wait for this folder.
    int waiting() const;
    // Sets the department's remote, and syncs with it (away from this thread); synced
    // tells how it went. With a remote set, each new version is synced as it is made.
    void shareWith(const QString &url);
    void sync();

    // This PC's archive of this month for the unit on the session, in its folder of the
    // records; empty when the records do not know the unit. Nothing is asked unless
    // told: a unit met where nothing tells it apart from others of its banner is then
    // asked about (halvo-cli, which answers from its options).
    QString eventsArchive();
    void askWhichUnitForEvents(bool on) { m_askForEvents = on; }
    // How many loose objects the records gather before a new version packs them.
    void setPackThreshold(int looseObjects) { m_packAt = looseObjects; }

    // "recorded as version 12 of Engine 3"; "unchanged since version 12 of Engine 3".
    static QString Recorded_Text(const records::Recorded &r);

signals:
    void recorded(const halvo::records::Recorded &recorded, const QString &text);
    // Said for each version that could not be written: "not recorded: " and why, or
    // "not recorded yet: " when it waits for the records.
    void notRecorded(const QString &text);
    void idleAgain();
    // A sync ended: how it went in words, and the versions the remote does not hold yet.
    void synced(bool ok, const QString &text, int notShared);

private:
    struct Outcome
    {
        std::optional<records::Recorded> recorded;
        QString why;
        std::optional<records::Repository::SyncEnd> sync; // with a remote set
        int notShared = 0;
        bool none = false;                          // nothing waits for the folder
        std::optional<PendingVersion> unidentified; // the next waits to be told its unit
        QString unlisted;                           // why a written one is still listed
    };
    // What the records say of a unit met: looked up away from this thread while a run
    // goes, so that its end finds the answer waiting.
    struct Lookup
    {
        QString folder;
        std::optional<QString> unit;
        QStringList sameBanner, names; // units with its banner, and what they are called
        QStringList units;             // every unit's folder
        bool unreadable = false;
        QString why;
    };
    struct Identified
    {
        QString id, unit, name;
    };
    static Lookup Look_Up(const QString &folder, const records::Meeting &meeting);
    static Outcome Write_Next(const PendingVersions &pending, const QString &folder, int packAt,
                              const std::optional<Identified> &identified);
    void lookAhead();
    Lookup lookupFor(const QString &key, const records::Meeting &meeting);
    static void Unlist(const PendingVersions &pending, const QString &id, QString *why);
    void syncWith(const std::optional<QString> &url);
    void written(const Outcome &o);
    void drop(const QString &id, const QString &why);
    void tellSync(const Outcome &o);
    void heard(session::Run *run);
    void ended(bool store, const session::RunResult &result);
    void eventsEnded(const session::RunResult &result);
    records::Meeting meeting() const;
    void keep(PendingVersion p);
    std::optional<QString> identify(const records::Meeting &meeting, QString *why, bool *unreadable);
    void writeNext(const std::optional<Identified> &identified = std::nullopt);
    void waits(const QString &why);
    static Outcome Write(const PendingVersion &pending, int packAt);

    session::UnitSession &m_session;
    RecordQuestions &m_questions;
    PendingVersions m_pending;
    QString m_folder;
    records::Author m_author;
    std::map<QString, QString> m_known;  // banner and adapter (or port) met, to its folder
    std::map<QString, QString> m_names;  // a new unit's folder, to the name it was given
    std::map<QString, Lookup> m_lookups; // banner and adapter (or port), looked up ahead
    QThreadPool m_files;                 // the pending list and the records, one task after another
    QThreadPool m_looking;               // which unit of the records is on the session
    bool m_writing = false;
    int m_listing = 0; // versions on their way into the pending list
    int m_syncing = 0;
    int m_lookingAhead = 0;
    bool m_askForEvents = false;
    int m_packAt = records::Repository::LooseObjectsToPack;
};

} // namespace halvo::recorder
