#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace halvo::eventlog {

// An event line goes to the event log file as one entry: a double quote, the line's
// first 63 characters, a double quote, CR LF. The line's leading blank and its final
// CR count among the 63 and are kept: other programs read files written this way.
// A double quote inside the line is written as it is.
inline constexpr int EntryTextLength = 63;
QByteArray Event_Log_Entry(const QByteArray &line);

// Whether a file could be created or replaced at path, without touching it; why not
// otherwise.
bool Can_Write_File(const QString &path, QString *why = nullptr);

// The event log file, open while "Store Event Log Data" is checked. Each entry is
// flushed as it is written, so closing the tool or losing the link keeps every line
// already shown.
class EventLogFile
{
public:
    // Creates the file or empties it.
    bool open(const QString &path, QString *error = nullptr);
    // Entries go to standard output instead (halvo-cli events -).
    bool openStandardOutput();
    // False when the entry could not be written to the disk (full, gone).
    bool write(const QByteArray &line);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

private:
    QFile m_file;
};

} // namespace halvo::eventlog
