#include "event_log_file.h"

namespace halvo::eventlog {

QByteArray Event_Log_Entry(const QByteArray &line)
{
    return '"' + line.left(EntryTextLength) + "\"\r\n";
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

bool EventLogFile::write(const QByteArray &line)
{
    const QByteArray entry = Event_Log_Entry(line);
    return m_file.isOpen() && m_file.write(entry) == entry.size() && m_file.flush();
}

} // namespace halvo::eventlog
