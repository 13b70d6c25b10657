#pragma once

#include <QElapsedTimer>
#include <QString>

namespace halvo::cli {

// Progress on standard error: a bar redrawn in place on a terminal, plain lines
// otherwise (a log file, a cron mail).
class Progress
{
public:
    Progress();
    void stage(const QString &what, int total);
    // The total once it is known (a read planned with the unit's pointer).
    void total(int total) { m_total = total; }
    // remainingMs, when known (a paced store's pauses), shows beside the elapsed time.
    void step(int done, qint64 remainingMs = -1);
    // The stage ends: "done" only when it is whole, else how far it came.
    void finish(bool whole = true);
    // The stage ends with how it ended, in words.
    void finish(const QString &how);
    // A line of its own, clear of any bar.
    static void say(const QString &line);
    // A failure: said even when quiet.
    static void sayFailure(const QString &line);
    // Nothing but failures from here on (a scheduled run).
    static void setQuiet(bool quiet);
    // A time as the bar shows it: minutes and seconds, "1:05".
    static QString Minutes(qint64 ms);

private:
    bool m_terminal;
    QString m_what;
    int m_total = 0;
    int m_last = -1;
    QElapsedTimer m_started;
};

} // namespace halvo::cli
