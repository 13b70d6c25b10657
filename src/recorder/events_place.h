#pragma once

#include <QDate>
#include <QString>

namespace halvo::recorder {

// This PC's archive of a unit's events for the month of today, in the unit's folder of
// the records (unitFolder). A month's file starts where the last one of this PC ended:
// the record of the newest earlier month is carried over beside it, so that its first
// download reads only the pages neither holds.
QString Month_Archive(const QString &unitFolder, const QString &host, const QDate &today);

} // namespace halvo::recorder
