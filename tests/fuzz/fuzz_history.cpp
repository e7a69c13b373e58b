// The command history file: whatever is read, a rewrite keeps.
#include "console/commandhistory.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzinput::file(netvane::HistoryFileName, fuzzinput::bytes(data, size));
    netvane::CommandHistory history(fuzzinput::folder().path());
    QString error;
    if (!history.load(&error))
        return 0;
    const QStringList read = history.entries();
    if (read.isEmpty())
        return 0;
    history.sortView();
    if (!history.keepLast(int(read.size()), &error))
        std::abort();
    netvane::CommandHistory again(fuzzinput::folder().path());
    if (!again.load(&error) || again.entries() != read)
        std::abort();
    return 0;
}
