#include "probe/netlookup.h"

#include "iplist/iplistitem.h"
#include "platform/netinfo.h"

namespace netvane {

QString ResolveHostAddress(const QString &name)
{
    return platform::ResolveIPv4(name);
}

QString LocalHostAddress()
{
    return LocalAdapterAddress();
}

QString LocalAdapterAddress()
{
    for (const platform::AdapterAddress &a : platform::AdapterAddresses()) {
        if (!a.address.isEmpty())
            return a.address;
    }
    return {};
}

QString DefaultGateway(const QString &routeFile)
{
    const QList<platform::AdapterAddress> gateways = platform::DefaultRouteGateways(routeFile);
    // Walk the adapters in their order, as the adapter list does, then take any
    // default route left (an interface without an IPv4 address of its own).
    for (const platform::AdapterAddress &adapter : platform::AdapterAddresses()) {
        for (const platform::AdapterAddress &g : gateways) {
            if (g.interfaceName == adapter.interfaceName && !g.address.isEmpty())
                return g.address;
        }
    }
    for (const platform::AdapterAddress &g : gateways) {
        if (!g.address.isEmpty())
            return g.address;
    }
    return {};
}

SubnetRange LocalSubnetRange()
{
    const QString prefix = SubnetPrefix(LocalAdapterAddress());
    if (prefix.isEmpty())
        return {};
    return {prefix + u".0"_qs, prefix + u".255"_qs};
}

QStringList DnsServers(const QString &resolvConf)
{
    return platform::NameServers(resolvConf);
}

} // namespace netvane
