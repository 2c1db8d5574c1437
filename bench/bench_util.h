#pragma once

// Small helpers shared by the benchmarks: order statistics and CPU time.

#include <algorithm>
#include <vector>

#include <sys/resource.h>

inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double median(std::vector<double> values)
{
    return percentile(std::move(values), 0.5);
}

/// CPU seconds (user and system) spent by the calling thread.
inline double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
