#pragma once
// The processor time this process has used so far, for the tests and
// benchmarks that check what waiting on the line costs.

#include <ctime>

namespace testsupport {

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace testsupport
