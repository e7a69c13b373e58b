#pragma once
// Name resolution and the local machine's network information: the host-name
// look-up used when gathering targets, and the local address, gateway, subnet and
// DNS servers used for the default target list, the subnet menu and the scanner.
// Every failure gives an empty text or list, never an error.

#include <QString>
#include <QStringList>

namespace netvane {

// The first IPv4 address of a host name, or empty when it does not resolve.
QString ResolveHostAddress(const QString &name);

// The machine's own address. The host's name often maps to a loopback address
// (127.0.1.1) here, which is no use for scanning the local subnet, so this is the
// address of the first network adapter.
QString LocalHostAddress();

// The first adapter's address (kernel order, loopback left out), or empty.
QString LocalAdapterAddress();

// The gateway of the first adapter that has a default route, or empty. The route
// table is read from routeFile when given (tests feed their own).
QString DefaultGateway(const QString &routeFile = {});

// The local subnet bounds: the local address with its last part replaced by 0 and
// by 255. Both empty when no local address is known.
struct SubnetRange {
    QString first;
    QString last;
};
SubnetRange LocalSubnetRange();

// The DNS servers in the order the system lists them (resolvConf when given).
QStringList DnsServers(const QString &resolvConf = {});

} // namespace netvane
