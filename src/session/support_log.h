#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <deque>

// halvo.operator: every message and question shown to the operator, as worded; the
// support file's "messages shown" are taken from it.
Q_DECLARE_LOGGING_CATEGORY(lcOperator)

namespace halvo::session {

// The last lines of a log, oldest first: once full, each new line drops the oldest.
class LogRing
{
public:
    explicit LogRing(int capacity) : m_capacity(capacity) {}
    void add(const QString &line);
    QStringList lines() const { return {m_lines.begin(), m_lines.end()}; }
    int capacity() const { return m_capacity; }

private:
    std::deque<QString> m_lines;
    int m_capacity;
};

// The run's log, for a support file and for a run that ends badly. Installed once at
// start, it keeps every line of the tool's own logging categories (halvo.*), debug
// included, in a ring of the last Ring_Lines; with a file it also writes each line
// there as it happens. The console shows only what it showed before: warnings, and
// what QT_LOGGING_RULES turns on.
namespace support_log {
inline constexpr int RingLines = 2000;
// False, and why, when the log file cannot be opened for appending; the ring is kept
// all the same.
bool Install(const QString &logFile = {}, QString *why = nullptr);
// The ring, oldest first.
QStringList Lines();
// Of the ring, the messages shown to the operator (the last count of them), without
// their time and category.
QStringList Operator_Lines(int count);
} // namespace support_log

} // namespace halvo::session
