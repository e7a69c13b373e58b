// The result file reader over any bytes; a line read as the header is read alike alone.
#include "fuzzinput.h"
#include "ping/resultreload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents = fuzzinput::bytes(data, size);
    const netvane::ReloadedPingTest test = netvane::ParseResultFile(contents);
    netvane::ResultFileHeader header;
    netvane::ParseResultHeader(contents.left(contents.indexOf('\n') + 1), header);
    (void)test;
    return 0;
}
