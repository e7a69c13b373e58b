#pragma once
// One row of the table `make bench` prints at its end: a figure, this program's value,
// its target and the peer's value measured in the same run. Each row is printed as a
// tab-separated line starting with "@row", which scripts/run-bench.sh gathers.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace netvane::bench {

// printf-style text for one cell.
inline std::string Cell(const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The least and the median of several runs of one figure (the machine is shared:
// the least is the figure, the median how steady it was).
struct Runs {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double least() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    // "least 1.23 ms, median 2.34 ms of 5" with `unit` after each number.
    std::string cell(const char *unit, int decimals = 2) const
    {
        return Cell("least %.*f%s, median %.*f%s of %d", decimals, least(), unit, decimals, median(), unit,
                    int(values.size()));
    }
};

inline void TableRow(const std::string &figure, const std::string &ours, const std::string &target,
                     const std::string &peer = "-")
{
    std::printf("@row\t%s\t%s\t%s\t%s\n", figure.c_str(), ours.c_str(), target.c_str(), peer.c_str());
    std::fflush(stdout);
}

} // namespace netvane::bench
