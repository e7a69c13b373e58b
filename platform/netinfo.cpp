#include "platform/netinfo.h"

#include "platform/icmpwire.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cstring>


#include <QFile>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace netvane::platform {

namespace {

QString dotted(const in_addr &addr)
{
    const auto *b = reinterpret_cast<const unsigned char *>(&addr.s_addr);
    return QString::number(b[0]) + u'.' + QString::number(b[1]) + u'.' + QString::number(b[2])
           + u'.' + QString::number(b[3]);
}

// Route file fields are hexadecimal in the kernel's (little-endian host) byte order,
// i.e. the bytes of the address in memory order.
QString routeHexToDotted(const QString &hex)
{
    bool ok = false;
    const quint32 value = hex.toUInt(&ok, 16);
    if (!ok || hex.size() != 8)
        return {};
    in_addr addr {};
    addr.s_addr = value; // /proc/net/route prints the in-memory word as a host integer
    return dotted(addr);
}

} // namespace

QString ResolveAddress(const QString &name, int ipVersion)
{
    const QByteArray host = name.trimmed().toUtf8();
    if (host.isEmpty() || host.contains('\0'))
        return {};
    addrinfo hints {};
    hints.ai_family = ipVersion == 4 ? AF_INET : ipVersion == 6 ? AF_INET6 : AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one answer per address, not one per socket type
    addrinfo *result = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &result) != 0 || !result)
        return {};
    QString text;
    for (addrinfo *p = result; p; p = p->ai_next) {
        if (!p->ai_addr || (p->ai_family != AF_INET && p->ai_family != AF_INET6))
            continue;
        sockaddr_storage from {};
        std::memcpy(&from, p->ai_addr, std::min<size_t>(p->ai_addrlen, sizeof from));
        text = QString::fromStdString(IpAddressText(FromSocketAddress(from)));
        break;
    }
    freeaddrinfo(result);
    return text;
}

QString ReverseName(const QString &address)
{
    IpAddress parsed;
    if (!ParseIpAddress(address.trimmed().toStdString(), parsed))
        return {};
    sockaddr_storage sa {};
    const socklen_t length = ToSocketAddress(parsed, sa);
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr *>(&sa), length, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD)
        != 0)
        return {};
    return QString::fromUtf8(host);
}

QList<AdapterAddress> AdapterAddresses()
{
    QList<AdapterAddress> list;
    ifaddrs *all = nullptr;
    if (getifaddrs(&all) != 0)
        return list;
    for (ifaddrs *p = all; p; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || (p->ifa_flags & IFF_LOOPBACK))
            continue;
        const QString name = QString::fromUtf8(p->ifa_name);
        bool seen = false;
        for (const AdapterAddress &a : list)
            seen = seen || a.interfaceName == name;
        if (!seen)
            list.append({name, dotted(reinterpret_cast<sockaddr_in *>(p->ifa_addr)->sin_addr)});
    }
    freeifaddrs(all);
    return list;
}

QList<AdapterAddress> DefaultRouteGateways(const QString &routeFile)
{
    QList<AdapterAddress> list;
    // Files under /proc report a size of 0, so the file is read to its end in one go
    // rather than line by line.
    QFile file(routeFile.isEmpty() ? u"/proc/net/route"_qs : routeFile);
    if (!file.open(QIODevice::ReadOnly))
        return list;
    const QStringList lines = QString::fromLatin1(file.read(1 << 20)).split(u'\n');
    for (int i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QStringList f = lines[i].split(u'\t', Qt::SkipEmptyParts);
        if (f.size() < 4)
            continue;
        bool ok = false;
        const uint flags = f[3].trimmed().toUInt(&ok, 16);
        constexpr uint routeUp = 0x1, routeGateway = 0x2;
        if (!ok || f[1].trimmed() != u"00000000" || (flags & (routeUp | routeGateway)) != 0x3)
            continue;
        const QString gateway = routeHexToDotted(f[2].trimmed());
        if (!gateway.isEmpty())
            list.append({f[0].trimmed(), gateway});
    }
    return list;
}

QList<AdapterAddress> DefaultRouteGateways6(const QString &routeFile)
{
    QList<AdapterAddress> list;
    QFile file(routeFile.isEmpty() ? u"/proc/net/ipv6_route"_qs : routeFile);
    if (!file.open(QIODevice::ReadOnly))
        return list;
    // destination, its prefix length, source, its length, next hop, metric, use and
    // reference counts, flags, device; addresses as 32 hexadecimal digits.
    for (const QString &line : QString::fromLatin1(file.read(1 << 20)).split(u'\n')) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 10 || f[0] != QString(32, u'0') || f[1] != u"00" || f[4].size() != 32)
            continue;
        bool ok = false;
        const uint flags = f[8].toUInt(&ok, 16);
        constexpr uint routeUp = 0x1, routeGateway = 0x2;
        if (!ok || (flags & (routeUp | routeGateway)) != 0x3)
            continue;
        IpAddress gateway;
        gateway.family = AF_INET6;
        for (int i = 0; i < 16; ++i)
            gateway.bytes[size_t(i)] = uint8_t(f[4].mid(2 * i, 2).toUInt(&ok, 16));
        QString text = QString::fromStdString(Ipv6CanonicalText(gateway.bytes));
        if (IsIpv6LinkLocal(gateway.bytes))
            text += u'%' + f[9];
        list.append({f[9], text});
    }
    return list;
}

QStringList NameServers(const QString &resolvConf)
{
    QStringList servers;
    const QStringList lines =
        ReadTextLines(resolvConf.isEmpty() ? u"/etc/resolv.conf"_qs : resolvConf, 4096);
    for (const QString &line : lines) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 2 || f[0] != u"nameserver")
            continue;
        in_addr addr {};
        IpAddress v6;
        std::string zone;
        if (inet_pton(AF_INET, f[1].toLatin1().constData(), &addr) == 1)
            servers << dotted(addr);
        else if (f[1].contains(u':') && ParseIpv6Text(f[1].toStdString(), v6.bytes, zone))
            servers << QString::fromStdString(Ipv6CanonicalText(v6.bytes))
                           + (zone.empty() ? QString() : u'%' + QString::fromStdString(zone));
    }
    return servers;
}

} // namespace netvane::platform
