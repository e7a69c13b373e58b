// A tracert command's output file, re-read into a host's line table of 39 entries.
#include "fuzzinput.h"
#include "traceroute/tracefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzinput::file(QStringLiteral("TMP1.txt"), fuzzinput::bytes(data, size));
    netvane::TraceHostLines lines;
    const int tableSize = netvane::TraceTableSize(30);
    lines.lines << netvane::TraceLaunchHeader(0, QStringLiteral("127.0.0.1"), 30);
    netvane::ParseTraceFile(path, 0, QStringLiteral("12/8/2026 7:00:00 PM"),
                            QStringLiteral("12/8/2026 7:00:05 PM"), tableSize, lines);
    if (lines.lines.size() > tableSize)
        std::abort();
    netvane::TraceExportLines({lines});
    return 0;
}
