#pragma once
// One row of the table `make bench` prints at its end: a figure, this program's value,
// its target and the peer's value measured in the same run. Each row is printed as a
// tab-separated line starting with "@row", which scripts/run-bench.sh gathers.

#include <cstdarg>
#include <cstdio>
#include <string>

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

inline void TableRow(const std::string &figure, const std::string &ours, const std::string &target,
                     const std::string &peer = "-")
{
    std::printf("@row\t%s\t%s\t%s\t%s\n", figure.c_str(), ours.c_str(), target.c_str(), peer.c_str());
    std::fflush(stdout);
}

} // namespace netvane::bench
