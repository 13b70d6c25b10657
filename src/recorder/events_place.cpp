#include "events_place.h"

#include "eventlog/event_archive.h"
#include "records/unit_records.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace halvo::recorder {

QString Month_Archive(const QString &unitFolder, const QString &host, const QDate &today)
{
    const QString archive = QDir(unitFolder).filePath(records::Events_File(host, today));
    QDir().mkpath(QFileInfo(archive).path()); // where it cannot be made, the download says so
    QString problem;
    if (eventlog::Read_Record(archive, &problem) || !problem.isEmpty())
        return archive; // it has one, or a damaged one the download names
    const QFileInfo here(eventlog::Record_Path(archive));
    const QDir folder = here.dir();
    QStringList earlier = folder.entryList({QStringLiteral("*.txt.halvo-record")}, QDir::Files, QDir::Name);
    earlier.erase(std::remove_if(earlier.begin(), earlier.end(),
                                 [&here](const QString &name) { return name >= here.fileName(); }),
                  earlier.end());
    if (earlier.isEmpty())
        return archive;
    const QString last = folder.filePath(earlier.last());
    const auto record = eventlog::Read_Record(last.chopped(QStringLiteral(".halvo-record").size()), &problem);
    if (record)
        eventlog::Write_Record(archive, *record); // if it cannot be, the first download says why
    return archive;
}

} // namespace halvo::recorder
