#pragma once

#include <QString>

namespace halvo::cli {

// Progress on standard error: a bar redrawn in place on a terminal, plain lines
// otherwise (a log file, a cron mail).
class Progress
{
public:
    Progress();
    void stage(const QString &what, int total);
    void step(int done);
    void finish();
    // A line of its own, clear of any bar.
    static void say(const QString &line);

private:
    bool m_terminal;
    QString m_what;
    int m_total = 0;
    int m_last = -1;
};

} // namespace halvo::cli
