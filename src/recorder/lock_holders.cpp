#include "lock_holders.h"

#include "port/system_snapshot.h"

#include <QFileInfo>

namespace halvo::recorder {

QStringList Lock_Holders(const QString &file)
{
    const port::SystemSnapshot system;
    port::DeviceNode node;
    node.path = file;
    node.canonical = QFileInfo(file).canonicalFilePath();
    QStringList names;
    for (const port::Holder &h : system.holders(node))
        names << QStringLiteral("%1 (process %2)").arg(h.name).arg(h.pid);
    return names;
}

} // namespace halvo::recorder
