#include "bench_support.h"

namespace halvo::bench {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void row(const char *what, const QString &value, const char *goal)
{
    std::printf("| %s | %s | %s |\n", what, qPrintable(value), goal);
    std::fflush(stdout);
}

// Sleeps in the event loop for ms milliseconds.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool startUnit(QProcess &unit, const QStringList &args)
{
    unit.start(QStringLiteral("chrt"),
               QStringList{QStringLiteral("-f"), QStringLiteral("50"), QStringLiteral(HALVO_SIM_EXE)} + args);
    if (unit.waitForReadyRead(5000))
        return true;
    unit.kill();
    unit.waitForFinished();
    unit.start(QStringLiteral(HALVO_SIM_EXE), args);
    return unit.waitForReadyRead(5000);
}

} // namespace halvo::bench
