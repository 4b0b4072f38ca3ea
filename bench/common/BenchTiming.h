// The clock and the summary every whole-process benchmark uses: monotonic nanoseconds
// (the same clock the programs under test report in) and the median of the runs that
// produced a figure.
#pragma once

#include <algorithm>
#include <ctime>
#include <vector>

namespace kestrova::bench {

inline long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// A negative sample means "not seen" and takes no part; -1 when no run gave a figure.
inline double median(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace kestrova::bench
