#pragma once
// Host-name and local network look-ups over the system's resolver and the kernel's
// interface and route tables. Every failure gives an empty text or list.

#include <QList>
#include <QString>
#include <QStringList>

namespace netvane::platform {

// The first IPv4 address of a host name (getaddrinfo), or empty.
QString ResolveIPv4(const QString &name);

// The host name that an IPv4 address maps back to (NI_NAMEREQD), or empty.
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

// The IPv4 "nameserver" lines of a resolver file (/etc/resolv.conf unless given).
QStringList NameServers(const QString &resolvConf = {});

} // namespace netvane::platform
