#pragma once
// Name resolution and the local machine's network information: the host-name
// look-up used when gathering targets, and the local address, gateway, subnet and
// DNS servers used for the default target list, the subnet menu and the scanner.
// Every failure gives an empty text or list, never an error.

#include <QString>
#include <QStringList>

namespace netvane {

// Which family a host name is tested on, when it has addresses of both: the
// "Address family" setting beside the ping settings. Automatic takes the first
// address the system's resolver gives, the one the system would connect to.
enum class AddressFamily { Automatic = 0, IPv4Only = 1, IPv6Only = 2 };
// Until the user chooses, a name is tested on IPv4 as it always was: Automatic
// would move "localhost" and every dual-stack name to IPv6 on most systems.
inline constexpr AddressFamily DefaultAddressFamily = AddressFamily::IPv4Only;
// The texts of the setting's box, in the order of the enum.
QStringList AddressFamilyTexts();
// What the text of the box (or of the stored setting) stands for; the default for
// anything else.
AddressFamily AddressFamilyOf(const QString &text);
void SetAddressFamily(AddressFamily family);
AddressFamily CurrentAddressFamily();

// The first address of a host name on the current address family, or empty when it
// does not resolve (on that family).
QString ResolveHostAddress(const QString &name);
QString ResolveHostAddress(const QString &name, AddressFamily family);

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
