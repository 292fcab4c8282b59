#pragma once
// Timing helpers shared by the benchmark programs.
#include <algorithm>
#include <chrono>
#include <vector>

namespace BenchUtil
{

using Clock = std::chrono::steady_clock;

template <class F> double timeMs(F&& f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace BenchUtil
