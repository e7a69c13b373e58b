// The result file reader over any bytes; a line read as the header is read alike alone.
// Every echo line is also read alone after the header, where the reader cannot take
// its quick way: it must come out the same, and the line reading stopped at must be
// refused alone too.
#include "fuzzinput.h"
#include "ping/replyrecord.h"
#include "ping/resultreload.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents = fuzzinput::bytes(data, size);
    const netvane::ReloadedPingTest test = netvane::ParseResultFile(contents);
    netvane::ResultFileHeader header;
    netvane::ParseResultHeader(contents.left(contents.indexOf('\n') + 1), header);
    if (!test.headerRead)
        return 0;
    const QList<QByteArray> lines = contents.split('\n');
    const QByteArray head = lines.at(0) + '\n';
    for (qsizetype i = 0; i <= test.log.size() && i + 1 < lines.size(); ++i) {
        const netvane::ReloadedPingTest alone = netvane::ParseResultFile(head + lines.at(i + 1) + '\n');
        if (i == test.log.size()) { // where reading stopped: an end or a refused line
            if (alone.log.size() != 0 || (alone.badLine == 2) != (test.badLine == i + 2))
                std::abort();
            break;
        }
        const netvane::PingReplyRecord r = test.log.at(i);
        if (alone.log.size() != 1
            || netvane::ReplyLine(alone.log.at(0), alone.log.address(alone.log.at(0)))
                   != netvane::ReplyLine(r, test.log.address(r)))
            std::abort();
    }
    return 0;
}
