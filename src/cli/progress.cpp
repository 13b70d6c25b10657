#include "progress.h"

#include <algorithm>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace halvo::cli {

namespace {
bool g_quiet = false;

bool errorsToATerminal()
{
#ifdef Q_OS_WIN
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}
} // namespace

Progress::Progress() : m_terminal(errorsToATerminal()) {}

void Progress::setQuiet(bool quiet)
{
    g_quiet = quiet;
}

void Progress::stage(const QString &what, int total)
{
    finish();
    if (g_quiet)
        return;
    m_what = what;
    m_total = total;
    m_last = -1;
    m_started.start();
    if (!m_terminal)
        std::fprintf(stderr, "%s: %d to go\n", qPrintable(what), total);
    step(0);
}

QString Progress::Minutes(qint64 ms)
{
    const qint64 s = (ms + 500) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

void Progress::step(int done, qint64 remainingMs)
{
    if (g_quiet || done == m_last || m_total <= 0)
        return;
    m_last = done;
    if (!m_terminal)
        return;
    constexpr int Width = 30;
    const int filled = done * Width / m_total;
    const QString times =
        remainingMs < 0
            ? QString()
            : QStringLiteral("  %1 elapsed, %2 left").arg(Minutes(m_started.elapsed()), Minutes(remainingMs));
    std::fprintf(stderr, "\r%-24s [%s%s] %d/%d%s", qPrintable(m_what), QByteArray(filled, '#').constData(),
                 QByteArray(Width - filled, ' ').constData(), done, m_total, qPrintable(times));
    std::fflush(stderr);
}

void Progress::finish(bool whole)
{
    if (m_what.isEmpty())
        return;
    if (m_terminal)
        std::fprintf(stderr, "\n");
    else if (whole)
        std::fprintf(stderr, "%s: done\n", qPrintable(m_what));
    else
        std::fprintf(stderr, "%s: stopped at %d of %d\n", qPrintable(m_what), std::max(m_last, 0), m_total);
    m_what.clear();
}

void Progress::finish(const QString &how)
{
    if (m_what.isEmpty())
        return;
    if (m_terminal)
        std::fprintf(stderr, "\n");
    std::fprintf(stderr, "%s: %s\n", qPrintable(m_what), qPrintable(how));
    m_what.clear();
}

void Progress::say(const QString &line)
{
    if (!g_quiet)
        sayFailure(line);
}

void Progress::sayFailure(const QString &line)
{
    std::fprintf(stderr, "halvo-cli: %s\n", qPrintable(line));
}

} // namespace halvo::cli
