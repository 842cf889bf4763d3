// SPDX-License-Identifier: GPL-3.0-or-later
// The measures the benchmark programs share: wall time in milliseconds, the median of repeated
// runs, the system time of the calling thread, and the process's memory as /proc/self/status
// reports it.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace meshthin::bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The time the system has spent for the calling thread, in milliseconds: on a virtual machine,
// most of it is handing out fresh memory, page by page.
inline double threadSystemMilliseconds() {
#ifdef RUSAGE_THREAD
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        return static_cast<double>(usage.ru_stime.tv_sec) * 1000 +
               static_cast<double>(usage.ru_stime.tv_usec) / 1000;
    }
#endif
    return 0;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A line of /proc/self/status in kilobytes, 0 when it has none: VmRSS, all resident memory;
// VmHWM, its peak; RssAnon, the part that is the process's own (not pages of shared libraries,
// which the system keeps once).
inline long long statusKilobytes(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stoll(line.substr(prefix.size()));
        }
    }
    return 0;
}

}  // namespace meshthin::bench
