// A probe's answer datagram as the scanner takes it: decoded, then stored in a tally of
// four addresses.
#include "fuzzinput.h"
#include "scanner/probe/scanmessage.h"
#include "scanner/scanresults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto decoded = netvane::scanmsg::decode(reinterpret_cast<const char *>(data), size);
    if (!decoded.valid)
        return 0;
    netvane::ScanTally tally;
    tally.reset({QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"),
                 QStringLiteral("127.0.0.3"), QStringLiteral("127.0.0.4")});
    tally.storeAnswer(QString::fromUtf8(decoded.text.data(), qsizetype(decoded.text.size())));
    for (int i = 0; i < 5; ++i)
        tally.markSilent(i);
    for (const auto &r : tally.results)
        if (r.Ping.contains(QLatin1Char('\n')) || r.HostName.contains(QLatin1Char('\n')))
            std::abort();
    return 0;
}
