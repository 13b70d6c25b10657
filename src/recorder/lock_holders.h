#pragma once

#include <QString>
#include <QStringList>

namespace halvo::recorder {

// The programs that have file open, as the system tells: "git (process 4711)". This
// tool itself is left out.
QStringList Lock_Holders(const QString &file);

} // namespace halvo::recorder
