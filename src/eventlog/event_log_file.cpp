#include "event_log_file.h"

#include <QFileInfo>

#include <cstdio>

namespace halvo::eventlog {

QByteArray Event_Log_Entry(const QByteArray &line)
{
    return '"' + line.left(EntryTextLength) + "\"\r\n";
}

bool Can_Write_File(const QString &path, QString *why)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    QString problem;
    if (file.exists() && (file.isDir() || !file.isWritable()))
        problem = QStringLiteral("%1 cannot be written").arg(path);
    else if (!file.exists() && !(folder.isDir() && folder.isWritable()))
        problem = QStringLiteral("there is no folder %1 to write in").arg(folder.filePath());
    if (why)
        *why = problem;
    return problem.isEmpty();
}

bool EventLogFile::open(const QString &path, QString *error)
{
    m_file.close();
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    if (error)
        *error = m_file.errorString();
    return false;
}

bool EventLogFile::openStandardOutput()
{
    m_file.close();
    return m_file.open(stdout, QIODevice::WriteOnly);
}

bool EventLogFile::write(const QByteArray &line)
{
    const QByteArray entry = Event_Log_Entry(line);
    return m_file.isOpen() && m_file.write(entry) == entry.size() && m_file.flush();
}

} // namespace halvo::eventlog
