#pragma once
// Test helper: the CPU time this process has used, user and system, in milliseconds.

#include <sys/resource.h>

namespace halvo::test {

inline double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace halvo::test
