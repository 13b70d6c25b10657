// The recorder and the units of the records: which one is on the session, looked up
// while its run goes, asked about or named when the records cannot tell.
#include "unit_recorder.h"

#include <QDir>
#include <QtConcurrent/QtConcurrentRun>

namespace halvo::recorder {

// Which unit of the records the one on the session is, looked up while its run goes.
void UnitRecorder::lookAhead()
{
    const records::Meeting met = meeting();
    if (m_folder.isEmpty() || met.banner.isEmpty())
        return;
    const QString key = met.banner + QLatin1Char('\n') + (met.adapter.isEmpty() ? met.port : met.adapter);
    if (m_known.count(key) || m_lookups.count(key))
        return;
    ++m_lookingAhead;
    QtConcurrent::run(&m_looking, [folder = m_folder, met] {
        return Look_Up(folder, met);
    }).then(this, [this, key](const Lookup &found) {
        --m_lookingAhead;
        if (found.folder == m_folder && !m_known.count(key))
            m_lookups[key] = found;
        if (idle())
            emit idleAgain();
    });
}

// What the look ahead found for the unit, taken; the records are looked up now when it
// did not look.
UnitRecorder::Lookup UnitRecorder::lookupFor(const QString &key, const records::Meeting &meeting)
{
    const auto ahead = m_lookups.find(key);
    if (ahead == m_lookups.end())
        return Look_Up(m_folder, meeting);
    return std::move(m_lookups.extract(ahead).mapped());
}

UnitRecorder::Lookup UnitRecorder::Look_Up(const QString &folder, const records::Meeting &meeting)
{
    Lookup l;
    l.folder = folder;
    const QDir records(folder);
    if (!records.exists(QStringLiteral(".git")) && records.isEmpty())
        return l; // records not made yet know no unit; they are made with their first version
    auto repository = records::Repository::Open(folder, &l.why);
    if (!repository) {
        l.unreadable = true;
        return l;
    }
    const records::UnitRecords units(*repository);
    const auto found = units.find(meeting);
    l.unit = found.unit;
    l.sameBanner = found.sameBanner;
    for (const QString &unit : found.sameBanner) {
        const auto file = units.unitFile(unit);
        l.names << (file ? file->name : unit);
    }
    l.units = repository->units();
    return l;
}

// Which unit of the records this is: the one met through this adapter before, one with
// its banner that the operator says it is, or a new one the operator names.
std::optional<QString> UnitRecorder::identify(const records::Meeting &meeting, QString *why, bool *unreadable)
{
    *unreadable = false;
    if (meeting.banner.isEmpty()) {
        *why = QStringLiteral("the unit has not announced itself yet, so it cannot be told apart");
        return std::nullopt;
    }
    const QString key =
        meeting.banner + QLatin1Char('\n') + (meeting.adapter.isEmpty() ? meeting.port : meeting.adapter);
    if (const auto known = m_known.find(key); known != m_known.end())
        return known->second;
    const Lookup found = lookupFor(key, meeting);
    if (found.unreadable) {
        *why = found.why;
        *unreadable = true;
        return std::nullopt;
    }
    std::optional<QString> unit = found.unit;
    QStringList others;
    for (qsizetype i = 0; !unit && i < found.sameBanner.size(); ++i) {
        others << found.names.at(i);
        if (m_questions.isThisUnit(others.last(), meeting.banner))
            unit = found.sameBanner.at(i);
    }
    if (!unit) {
        const auto name = m_questions.nameUnit(meeting.banner, others);
        if (!name || name->trimmed().isEmpty()) {
            *why = others.isEmpty()
                       ? QStringLiteral("the unit was given no name")
                       : QStringLiteral(
                             "the records hold %1 with this unit's banner, nothing here tells whether "
                             "it is the same unit, and it was given no name")
                             .arg(others.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        unit = records::UnitRecords::New_Folder(name->trimmed(), found.units, m_folder, why);
        if (!unit)
            return std::nullopt;
        m_names[*unit] = name->trimmed();
    }
    m_known[key] = *unit;
    return unit;
}

} // namespace halvo::recorder
