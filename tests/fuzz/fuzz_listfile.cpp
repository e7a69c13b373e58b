// The list file: whatever is read is written back and read again unchanged, and every
// item read can be taken apart.
#include "fuzzinput.h"
#include "iplist/iplistfile.h"
#include "iplist/iplistitem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzinput::file(QStringLiteral("list.txt"), fuzzinput::bytes(data, size));
    bool exists = false;
    netvane::Latin1Lines latin1;
    QString error;
    const QStringList items = netvane::ReadIpListFile(path, &exists, &latin1, &error);
    for (const QString &item : items) {
        netvane::ItemParts(item);
        netvane::ItemDisplayText(item);
        netvane::TraceTargetOfItem(item);
    }
    if (!netvane::WriteIpListFile(path, items, &error, &latin1))
        std::abort();
    netvane::Latin1Lines again;
    if (netvane::ReadIpListFile(path, &exists, &again, &error) != items)
        std::abort();
    return 0;
}
