#include "probe/echoprobe.h"

#include "platform/icmpsocket.h"

namespace netvane {

qint32 PingTimeout = 500;

qint32 SendEcho(const QString &address, const QByteArray &data, EchoReply &reply)
{
    const auto target = platform::ParseEchoAddress(address);
    if (!target)
        return -1;
    const platform::EchoResult r = platform::IcmpEcho(*target, data, PingTimeout);
    reply.status = r.status;
    reply.address = r.replyAddress;
    if (r.status == 0) {
        reply.roundTripTime = r.roundTripMs;
        reply.dataSize = r.dataSize;
        reply.ttl = r.ttl;
    }
    return qint32(r.status);
}

QString EchoStatusText(qint32 status)
{
    switch (status) {
    case 0: return QStringLiteral("ip success");
    case 500: return QStringLiteral("Ping timed out");
    case 11001: return QStringLiteral("ip buf too_small");
    case 11002: return QStringLiteral("ip dest net unreachable");
    case 11003: return QStringLiteral("ip dest host unreachable");
    case 11004: return QStringLiteral("ip dest port unreachable");
    case 11005: return QStringLiteral("ip dest port unreachable");
    case 11006: return QStringLiteral("ip no resources");
    case 11007: return QStringLiteral("ip bad option");
    case 11008: return QStringLiteral("ip hw_error");
    case 11009: return QStringLiteral("ip packet too_big");
    case 11010: return QStringLiteral("Request  timed  out.");
    case 11011: return QStringLiteral("ip bad req");
    case 11012: return QStringLiteral("ip bad route");
    case 11013: return QStringLiteral("ip ttl expired transit");
    case 11014: return QStringLiteral("ip ttl expired reassem");
    case 11015: return QStringLiteral("ip param_problem");
    case 11016: return QStringLiteral("ip source quench");
    case 11017: return QStringLiteral("ip option too_big");
    case 11018: return QStringLiteral("ip bad destination");
    case 11019: return QStringLiteral("ip addr deleted");
    case 11020: return QStringLiteral("ip spec mtu change");
    case 11021: return QStringLiteral("ip mtu_change");
    case 11022: return QStringLiteral("ip unload");
    case 11023: return QStringLiteral("ip addr added");
    case 11050: return QStringLiteral("ip general failure");
    case 11255: return QStringLiteral("ip pending");
    case -1: return QStringLiteral("inet_addr: bad IP format");
    default: return QStringLiteral("unknown msg returned");
    }
}

} // namespace netvane
