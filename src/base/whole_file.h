#pragma once

#include <QByteArray>
#include <QString>

namespace halvo::base {

// Writes a file whole or not at all: the bytes go to a file beside it, which replaces
// it only once they are all on the disk, so a full disk or a pulled stick never
// leaves half a data file, archive record, sheet or export behind. False, and why,
// when it could not be written; the file as it was stays.
bool Write_Whole_File(const QString &path, const QByteArray &bytes, QString *why = nullptr);

} // namespace halvo::base
