#include "probe/netlookup.h"

#include "iplist/iplistitem.h"
#include "platform/netinfo.h"

#include <atomic>

namespace netvane {

namespace {

// Read by look-ups that run beside the window.
std::atomic<int> g_family = int(DefaultAddressFamily);

} // namespace

QStringList AddressFamilyTexts()
{
    return {u"Automatic"_qs, u"IPv4 only"_qs, u"IPv6 only"_qs};
}

AddressFamily AddressFamilyOf(const QString &text)
{
    const qsizetype i = AddressFamilyTexts().indexOf(text.trimmed());
    return i < 0 ? DefaultAddressFamily : AddressFamily(i);
}

void SetAddressFamily(AddressFamily family)
{
    g_family = int(family);
}

AddressFamily CurrentAddressFamily()
{
    return AddressFamily(g_family.load());
}

QString ResolveHostAddress(const QString &name)
{
    return ResolveHostAddress(name, CurrentAddressFamily());
}

QString ResolveHostAddress(const QString &name, AddressFamily family)
{
    switch (family) {
    case AddressFamily::IPv4Only:
        return platform::ResolveAddress(name, 4);
    case AddressFamily::IPv6Only:
        return platform::ResolveAddress(name, 6);
    case AddressFamily::Automatic:
        break;
    }
    return platform::ResolveAddress(name, 0);
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
    // No IPv4 default route: the IPv6 one, when the machine has one. Only the system's
    // table (a test's IPv4 route file stands for a machine without IPv6 routes).
    if (routeFile.isEmpty()) {
        for (const platform::AdapterAddress &g : platform::DefaultRouteGateways6())
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
