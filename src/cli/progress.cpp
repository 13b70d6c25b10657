#include "progress.h"

#include <cstdio>
#include <unistd.h>

namespace halvo::cli {

Progress::Progress() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

void Progress::stage(const QString &what, int total)
{
    finish();
    m_what = what;
    m_total = total;
    m_last = -1;
    if (!m_terminal)
        std::fprintf(stderr, "%s: %d to go\n", qPrintable(what), total);
    step(0);
}

void Progress::step(int done)
{
    if (!m_terminal || done == m_last || m_total <= 0)
        return;
    m_last = done;
    constexpr int Width = 30;
    const int filled = done * Width / m_total;
    std::fprintf(stderr, "\r%-24s [%s%s] %d/%d", qPrintable(m_what), QByteArray(filled, '#').constData(),
                 QByteArray(Width - filled, ' ').constData(), done, m_total);
    std::fflush(stderr);
}

void Progress::finish()
{
    if (m_what.isEmpty())
        return;
    if (m_terminal)
        std::fprintf(stderr, "\n");
    else
        std::fprintf(stderr, "%s: done\n", qPrintable(m_what));
    m_what.clear();
}

void Progress::say(const QString &line)
{
    std::fprintf(stderr, "halvo-cli: %s\n", qPrintable(line));
}

} // namespace halvo::cli
