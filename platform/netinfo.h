#pragma once
// Host-name and local network look-ups over the system's resolver and the kernel's
// interface and route tables. Every failure gives an empty text or list.

#include <QList>
#include <QString>
#include <QStringList>

namespace netvane::platform {

// The first address of a host name that getaddrinfo gives for IP version 4 or 6, or
// 0 for either (in the order the system would connect), as text: dotted, or the
// RFC 5952 form with "%zone" for a link-local one. Empty when it does not resolve.
QString ResolveAddress(const QString &name, int ipVersion);

// The host name that an address of either family maps back to (NI_NAMEREQD), or empty.
QString ReverseName(const QString &address);

struct AdapterAddress {
    QString interfaceName;
    QString address; // dotted decimal
};

// The IPv4 address of every interface but loopback, in the kernel's order; an
// interface with several addresses is listed once, with its first one.
QList<AdapterAddress> AdapterAddresses();

// The gateway of each interface's default route, as the route file lists them
// (interface name, dotted gateway). The file is /proc/net/route unless given.
QList<AdapterAddress> DefaultRouteGateways(const QString &routeFile = {});

// The gateway of each interface's IPv6 default route (interface name, gateway with
// its zone when link-local), from /proc/net/ipv6_route unless given.
QList<AdapterAddress> DefaultRouteGateways6(const QString &routeFile = {});

// The "nameserver" lines of a resolver file (/etc/resolv.conf unless given), IPv4
// and IPv6 in the file's order.
QStringList NameServers(const QString &resolvConf = {});

} // namespace netvane::platform
