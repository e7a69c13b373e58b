// The target file beside a result file: the first byte gives the count of names asked.
#include "fuzzinput.h"
#include "ping/resultreload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int count = int(data[0]) - 8;
    const QString path = fuzzinput::file(QStringLiteral("targets.txt"), fuzzinput::bytes(data + 1, size - 1));
    QStringList names;
    QString error;
    if (netvane::ReadTargetFile(path, count, names, &error) && names.size() > qMax(count, 0))
        std::abort();
    return 0;
}
