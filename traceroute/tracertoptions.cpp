#include "traceroute/tracertoptions.h"

#include "ping/numericvalue.h"
#include "ping/pingsettings.h"

namespace netvane {

TracertOptions BuildTracertOptions(const QString &hops, const QString &hostList,
                                   const QString &timeOut, bool resolveNames,
                                   int previousMaxHops)
{
    TracertOptions o;
    o.maxHops = previousMaxHops;
    const auto refuse = [&o](const QString &message) {
        o.message = message;
        o.arguments.clear();
        return o;
    };
    if (!resolveNames)
        o.arguments << u"-d"_qs;

    if (const QString text = hops.trimmed(); !text.isEmpty()) {
        const std::optional<int> n = WholeNumberOf(text);
        if (!n)
            return refuse(u"Inalid Test Times."_qs);
        if (*n < 1)
            return refuse(u"Inalid Maximum Number of Hops."_qs);
        o.maxHops = *n;
        o.arguments << u"-h"_qs << QString::number(*n);
    }
    if (const QString text = hostList.trimmed(); !text.isEmpty()) {
        if (text.count(u'.') < 3)
            return refuse(u"Inalid Loose source route along host-list."_qs);
        o.arguments << u"-j"_qs << text;
    }
    if (const QString text = timeOut.trimmed(); !text.isEmpty()) {
        const std::optional<int> n = WholeNumberOf(text);
        if (!n)
            return refuse(u"Inalid Test Times."_qs);
        if (*n < 1)
            return refuse(u"Inalid Time Out Value.\n\n"_qs + TimeOutAllowed());
        o.arguments << u"-w"_qs << QString::number(*n);
    }
    o.ok = true;
    return o;
}

} // namespace netvane
