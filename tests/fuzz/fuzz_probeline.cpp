// The probe program's command line: split into its eight fields, the pacing read.
#include "scanner/probe/scanmessage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> fields = netvane::scanmsg::splitProbeLine(line);
    if (fields.size() < 8)
        std::abort();
    const long pacing = netvane::scanmsg::pacingCount(fields[7]);
    if (pacing < 0 || pacing > 1000009)
        std::abort();
    return 0;
}
