#include "unit_recorder.h"

#include "datafile/data_file.h"
#include "lock_holders.h"
#include "records_place.h"
#include "session/run.h"
#include "session/unit_image.h"
#include "session/unit_session.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace halvo::recorder {

using session::Run;
using session::RunResult;

UnitRecorder::UnitRecorder(session::UnitSession &session, RecordQuestions &questions, QObject *parent,
                           PendingVersions pending)
    : QObject(parent), m_session(session), m_questions(questions), m_pending(std::move(pending))
{
    m_files.setMaxThreadCount(1);
    m_looking.setMaxThreadCount(1);
    connect(&session, &session::UnitSession::runStarted, this, &UnitRecorder::heard);
    // The session may outlive the recorder, or go first (the window's members go before
    // its children): the place asks the recorder only while it is there.
    session.setArchivePlace([recorder = QPointer<UnitRecorder>(this)] {
        return recorder ? recorder->eventsArchive() : QString();
    });
}

// The pools wait for what they run while this is still whole, so that no task ends to
// find the recorder it answers gone.
UnitRecorder::~UnitRecorder() = default;

void UnitRecorder::setFolder(const QString &folder)
{
    if (folder != m_folder) {
        m_known.clear();
        m_names.clear();
        m_lookups.clear();
    }
    m_folder = folder;
}

QString UnitRecorder::Recorded_Text(const records::Recorded &r)
{
    return QStringLiteral("%1 version %2 of %3")
        .arg(r.unchanged ? QStringLiteral("unchanged since") : QStringLiteral("recorded as"))
        .arg(r.version)
        .arg(r.name);
}

void UnitRecorder::heard(Run *run)
{
    if (run->kind() == Run::Kind::DownloadNewEvents)
        connect(run, &Run::finished, this, &UnitRecorder::eventsEnded);
    if (run->kind() != Run::Kind::Read && run->kind() != Run::Kind::Store)
        return;
    const bool store = run->kind() == Run::Kind::Store;
    connect(run, &Run::finished, this, [this, store](const RunResult &result) { ended(store, result); });
    lookAhead();
}

void UnitRecorder::ended(bool store, const RunResult &result)
{
    // Only what was checked: a read whole, a store read back; never what was sent.
    if (m_folder.isEmpty() || (store ? result.items.empty() : (!result.ok() || result.parts.empty())))
        return;
    PendingVersion p;
    p.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    p.folder = m_folder;
    p.kind = store ? records::Finding::Kind::Store : records::Finding::Kind::Read;
    p.parts = result.parts;
    p.items = result.items;
    if (store && result.store == session::StoreOutcome::NotTaken)
        p.notTaken = result.why;
    const session::UnitImage &image = m_session.image();
    QString why;
    const auto data = datafile::Build_Data_File(store ? image.lastReplies() : image.unit(), &why);
    if (!data) {
        emit notRecorded(QStringLiteral("not recorded: ") + why);
        return;
    }
    p.unitData = *data;
    p.meeting = meeting();
    keep(std::move(p));
}

records::Meeting UnitRecorder::meeting() const
{
    const QString adapter = m_session.adapter();
    return {m_session.identification().trimmed(), adapter == m_session.path() ? QString() : adapter,
            m_session.path(), QDateTime::currentDateTimeUtc()};
}

// Who records it, and which unit it is, asked now while the operator is there (records
// that cannot be read to say leave the question for when they can); then it waits in
// the pending list until it is written.
void UnitRecorder::keep(PendingVersion p)
{
    if (m_author.name.trimmed().isEmpty()) {
        const auto name = m_questions.operatorName(Login_Full_Name());
        if (!name || name->trimmed().isEmpty()) {
            emit notRecorded(QStringLiteral("not recorded: no name was given to record it by"));
            return;
        }
        m_author = Author_Named(name->trimmed());
    }
    p.author = m_author;
    QString why;
    bool unreadable = false;
    const auto unit = p.unit.isEmpty() ? identify(p.meeting, &why, &unreadable) : std::optional(p.unit);
    if (!unit && !unreadable) {
        emit notRecorded(QStringLiteral("not recorded: ") + why);
        return;
    }
    if (unit && p.name.isEmpty()) {
        p.unit = *unit;
        const auto named = m_names.find(*unit);
        p.name = named != m_names.end() ? named->second : *unit;
    }
    ++m_listing;
    QtConcurrent::run(&m_files, [pending = m_pending, p] {
        QString unlisted;
        pending.update([&p](std::vector<PendingVersion> &list) { list.push_back(p); }, &unlisted);
        return unlisted;
    }).then(this, [this](const QString &unlisted) {
        --m_listing;
        if (!unlisted.isEmpty())
            emit notRecorded(QStringLiteral("not recorded: ") + unlisted);
        writeNext();
    });
}

int UnitRecorder::waiting() const
{
    int n = 0;
    for (const PendingVersion &p : m_pending.list())
        n += p.folder == m_folder ? 1 : 0;
    return n;
}

void UnitRecorder::retry()
{
    writeNext();
}

// The first version that waits for this folder, written off this thread; the next
// once it is in. One that cannot be written stops the row, so that none overtakes it.
void UnitRecorder::writeNext(const std::optional<Identified> &identified)
{
    if (m_writing || m_folder.isEmpty())
        return;
    m_writing = true;
    QtConcurrent::run(&m_files, [pending = m_pending, folder = m_folder, packAt = m_packAt, identified] {
        return Write_Next(pending, folder, packAt, identified);
    }).then(this, [this](const Outcome &o) {
        m_writing = false;
        written(o);
    });
}

// On the pool's one thread: the pending list and the records are touched only here.
UnitRecorder::Outcome UnitRecorder::Write_Next(const PendingVersions &pending, const QString &folder,
                                               int packAt, const std::optional<Identified> &identified)
{
    Outcome o;
    const auto list = pending.list(&o.why);
    auto next = std::find_if(list.begin(), list.end(),
                             [&folder](const PendingVersion &p) { return p.folder == folder; });
    if (next == list.end()) {
        o.none = true;
        return o;
    }
    PendingVersion p = *next;
    if (p.unit.isEmpty() && identified && identified->id == p.id) {
        p.unit = identified->unit;
        p.name = identified->name;
    }
    if (p.unit.isEmpty()) {
        o.unidentified = p;
        return o;
    }
    o = Write(p, packAt);
    if (o.recorded)
        Unlist(pending, p.id, &o.unlisted);
    return o;
}

void UnitRecorder::Unlist(const PendingVersions &pending, const QString &id, QString *why)
{
    pending.update(
        [&id](std::vector<PendingVersion> &l) {
            l.erase(std::remove_if(l.begin(), l.end(), [&id](const PendingVersion &q) { return q.id == id; }),
                    l.end());
        },
        why);
}

void UnitRecorder::written(const Outcome &o)
{
    if (o.none) {
        if (!o.why.isEmpty())
            emit notRecorded(QStringLiteral("not recorded: ") + o.why);
        if (idle())
            emit idleAgain();
        return;
    }
    if (o.unidentified) {
        const PendingVersion &p = *o.unidentified;
        QString why;
        bool unreadable = false;
        const auto unit = identify(p.meeting, &why, &unreadable);
        if (unit) {
            const auto named = m_names.find(*unit);
            writeNext(Identified{p.id, *unit, named != m_names.end() ? named->second : *unit});
        } else if (unreadable) {
            waits(why);
        } else { // the operator named no unit: it is not kept waiting
            drop(p.id, why);
        }
        return;
    }
    if (!o.recorded) {
        waits(o.why);
        return;
    }
    if (!o.unlisted.isEmpty()) // written, but still listed: it would be written again, as no change
        emit notRecorded(
            QStringLiteral("recorded, but the list of versions to record could not be updated: ") +
            o.unlisted);
    emit recorded(*o.recorded, Recorded_Text(*o.recorded));
    tellSync(o);
    writeNext();
}

// A version nobody will say the unit of leaves the list, and the next is written.
void UnitRecorder::drop(const QString &id, const QString &why)
{
    emit notRecorded(QStringLiteral("not recorded: ") + why);
    m_writing = true;
    QtConcurrent::run(&m_files, [pending = m_pending, id] {
        Unlist(pending, id, nullptr);
    }).then(this, [this] {
        m_writing = false;
        writeNext();
    });
}

void UnitRecorder::waits(const QString &why)
{
    const int n = waiting();
    emit notRecorded(
        QStringLiteral("not recorded yet: %1. %2 for the records, and %3 recorded once they can be "
                       "written.")
            .arg(why.endsWith(QLatin1Char('.')) ? why.chopped(1) : why)
            .arg(n == 1 ? QStringLiteral("The version waits") : QStringLiteral("%1 versions wait").arg(n))
            .arg(n == 1 ? QStringLiteral("is") : QStringLiteral("are")));
    emit idleAgain();
}

// On a pool thread: everything it touches is its own.
UnitRecorder::Outcome UnitRecorder::Write(const PendingVersion &p, int packAt)
{
    Outcome o;
    auto repository = records::Repository::Open(p.folder, &o.why);
    if (!repository)
        return o;
#ifdef Q_OS_LINUX
    repository->setLockHolders(Lock_Holders); // the system can tell who has a file open
#endif
    records::UnitRecords units(*repository);
    if (p.events) {
        o.recorded = units.recordEvents(p.unit, *p.events, p.author, &o.why);
    } else {
        const auto records = datafile::Parse_Data_File(p.unitData, &o.why);
        if (!records)
            return o;
        records::Finding finding;
        finding.kind = p.kind;
        finding.parts = p.parts;
        finding.items = p.items;
        finding.notTaken = p.notTaken;
        datafile::Apply_Records(*records, finding.unit, datafile::Parameter0::Load);
        o.recorded = units.record(p.unit, p.name, p.meeting, finding, p.author, &o.why);
    }
    if (o.recorded && !o.recorded->unchanged)
        repository->packIfLoose(
            packAt); // housekeeping: a pack that fails leaves every object loose, and read
    if (o.recorded && !o.recorded->unchanged && !repository->remote().isEmpty()) {
        o.sync = repository->sync(); // a new version goes out at once; offline, it waits
        o.notShared = repository->notShared();
    }
    return o;
}

} // namespace halvo::recorder
