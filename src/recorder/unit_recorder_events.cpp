// The recorder and the unit's event archive in the records: where this PC keeps the
// unit's new events, and the version each download that appended lines makes.
#include "unit_recorder.h"

#include "eventlog/event_archive.h"
#include "events_place.h"
#include "records_place.h"
#include "session/run.h"
#include "session/unit_session.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace halvo::recorder {

using session::RunResult;

// Lines appended to the unit's archive in the records are its next version; an archive
// kept anywhere else records nothing.
void UnitRecorder::eventsEnded(const RunResult &result)
{
    if (m_folder.isEmpty() || result.download.appended <= 0 || result.file.isEmpty())
        return;
    const QString records = QDir(m_folder).absolutePath() + QLatin1Char('/');
    const QString archive = QFileInfo(result.file).absoluteFilePath();
    const QString inside = archive.startsWith(records) ? archive.mid(records.size()) : QString();
    const QString unit = inside.section(QLatin1Char('/'), 0, 0);
    const QString file = inside.section(QLatin1Char('/'), 1);
    if (unit.isEmpty() || !file.startsWith(QStringLiteral("events/")))
        return;
    PendingVersion p;
    p.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    p.folder = m_folder;
    p.unit = unit;
    p.meeting = meeting();
    p.events = records::UnitRecords::EventsFound{{file, eventlog::Record_Path(file)},
                                                 m_session.path(),
                                                 result.download.appended,
                                                 result.download.pagesAppended};
    keep(std::move(p));
}

QString UnitRecorder::eventsArchive()
{
    if (m_folder.isEmpty() || !QFileInfo(QDir(m_folder).filePath(QStringLiteral(".git"))).isDir())
        return {}; // records never made are not made for this
    const records::Meeting met = meeting();
    if (met.banner.isEmpty())
        return {};
    const QString key = met.banner + QLatin1Char('\n') + (met.adapter.isEmpty() ? met.port : met.adapter);
    const auto known = m_known.find(key);
    QString unit;
    if (known != m_known.end()) {
        unit = known->second;
    } else {
        const Lookup found = lookupFor(key, met);
        unit = found.unit.value_or(QString());
        for (qsizetype i = 0; unit.isEmpty() && m_askForEvents && i < found.sameBanner.size(); ++i)
            if (m_questions.isThisUnit(found.names.at(i), met.banner))
                unit = found.sameBanner.at(i);
        if (unit.isEmpty())
            return {};
        m_known[key] = unit;
    }
    const QString host = m_author.host.isEmpty() ? Author_Named(QString()).host : m_author.host;
    return Month_Archive(QDir(m_folder).filePath(unit), host, QDate::currentDate());
}

} // namespace halvo::recorder
