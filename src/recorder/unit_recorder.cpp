#include "unit_recorder.h"

#include "datafile/data_file.h"
#include "records_place.h"
#include "session/run.h"
#include "session/unit_image.h"
#include "session/unit_session.h"

#include <QtConcurrent/QtConcurrentRun>

namespace halvo::recorder {

using session::Run;
using session::RunResult;

UnitRecorder::UnitRecorder(session::UnitSession &session, RecordQuestions &questions, QObject *parent)
    : QObject(parent), m_session(session), m_questions(questions)
{
    connect(&session, &session::UnitSession::runStarted, this, &UnitRecorder::heard);
}

UnitRecorder::~UnitRecorder() = default;

void UnitRecorder::setFolder(const QString &folder)
{
    if (folder != m_folder) {
        m_known.clear();
        m_names.clear();
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
    if (run->kind() != Run::Kind::Read && run->kind() != Run::Kind::Store)
        return;
    const bool store = run->kind() == Run::Kind::Store;
    connect(run, &Run::finished, this, [this, store](const RunResult &result) { ended(store, result); });
}

void UnitRecorder::ended(bool store, const RunResult &result)
{
    // Only what was checked: a read whole, a store read back; never what was sent.
    if (m_folder.isEmpty() || (store ? result.items.empty() : (!result.ok() || result.parts.empty())))
        return;
    Pending p;
    p.kind = store ? records::Finding::Kind::Store : records::Finding::Kind::Read;
    p.parts = result.parts;
    p.items = result.items;
    if (store && result.store == session::StoreOutcome::NotTaken)
        p.notTaken = result.why;
    if (m_author.name.trimmed().isEmpty()) {
        const auto name = m_questions.operatorName(Login_Full_Name());
        if (!name || name->trimmed().isEmpty()) {
            emit notRecorded(QStringLiteral("not recorded: no name was given to record it by"));
            return;
        }
        m_author = Author_Named(name->trimmed());
    }
    p.author = m_author;
    const session::UnitImage &image = m_session.image();
    QString why;
    const auto data = datafile::Build_Data_File(store ? image.lastReplies() : image.unit(), &why);
    if (!data) {
        emit notRecorded(QStringLiteral("not recorded: ") + why);
        return;
    }
    p.unitData = *data;
    const QString adapter = m_session.adapter();
    p.meeting = {m_session.identification().trimmed(), adapter == m_session.path() ? QString() : adapter,
                 m_session.path(), QDateTime::currentDateTimeUtc()};
    const auto unit = identify(p.meeting, &why);
    if (!unit) {
        if (!why.isEmpty())
            emit notRecorded(QStringLiteral("not recorded: ") + why);
        return;
    }
    p.unit = *unit;
    const auto named = m_names.find(*unit);
    p.name = named != m_names.end() ? named->second : *unit;
    m_queue.push_back(std::move(p));
    writeNext();
}

// Which unit of the records this is: the one met through this adapter before, one with
// its banner that the operator says it is, or a new one the operator names.
std::optional<QString> UnitRecorder::identify(const records::Meeting &meeting, QString *why)
{
    if (meeting.banner.isEmpty()) {
        *why = QStringLiteral("the unit has not announced itself yet, so it cannot be told apart");
        return std::nullopt;
    }
    const QString key = meeting.banner + QLatin1Char('\n') +
                        (meeting.adapter.isEmpty() ? meeting.port : meeting.adapter);
    if (const auto known = m_known.find(key); known != m_known.end())
        return known->second;
    auto repository = records::Repository::Open(m_folder, why);
    if (!repository)
        return std::nullopt;
    const records::UnitRecords units(*repository);
    const auto found = units.find(meeting);
    std::optional<QString> unit = found.unit;
    QStringList others;
    for (qsizetype i = 0; !unit && i < found.sameBanner.size(); ++i) {
        const auto file = units.unitFile(found.sameBanner.at(i));
        others << (file ? file->name : found.sameBanner.at(i));
        if (m_questions.isThisUnit(others.last(), meeting.banner))
            unit = found.sameBanner.at(i);
    }
    if (!unit) {
        const auto name = m_questions.nameUnit(meeting.banner, others);
        if (!name || name->trimmed().isEmpty()) {
            *why = others.isEmpty()
                       ? QStringLiteral("the unit was given no name")
                       : QStringLiteral("the records hold %1 with this unit's banner, nothing here tells whether "
                                        "it is the same unit, and it was given no name")
                             .arg(others.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        unit = units.newFolder(name->trimmed(), why);
        if (!unit)
            return std::nullopt;
        m_names[*unit] = name->trimmed();
    }
    m_known[key] = *unit;
    return unit;
}

void UnitRecorder::writeNext()
{
    if (m_writing || m_queue.empty())
        return;
    m_writing = true;
    Pending p = m_queue.front();
    m_queue.pop_front();
    QtConcurrent::run([folder = m_folder, p] { return Write(folder, p); }).then(this, [this](const Outcome &o) {
        m_writing = false;
        if (o.recorded)
            emit recorded(*o.recorded, Recorded_Text(*o.recorded));
        else
            emit notRecorded(QStringLiteral("not recorded: ") + o.why);
        writeNext();
        if (idle())
            emit idleAgain();
    });
}

// On a pool thread: everything it touches is its own.
UnitRecorder::Outcome UnitRecorder::Write(const QString &folder, const Pending &p)
{
    Outcome o;
    auto repository = records::Repository::Open(folder, &o.why);
    if (!repository)
        return o;
    const auto records = datafile::Parse_Data_File(p.unitData, &o.why);
    if (!records)
        return o;
    records::Finding finding;
    finding.kind = p.kind;
    finding.parts = p.parts;
    finding.items = p.items;
    finding.notTaken = p.notTaken;
    datafile::Apply_Records(*records, finding.unit, datafile::Parameter0::Load);
    records::UnitRecords units(*repository);
    o.recorded = units.record(p.unit, p.name, p.meeting, finding, p.author, &o.why);
    return o;
}

} // namespace halvo::recorder
