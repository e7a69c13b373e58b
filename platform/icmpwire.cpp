#include "platform/icmpwire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/icmp6.h>
#include <netinet/ip.h>
#include <netinet/ip6.h>
#include <netinet/ip_icmp.h>
#include <time.h>

namespace netvane::platform {

namespace {

constexpr size_t IcmpHeaderSize = 8; // type, code, checksum, identifier, sequence

uint16_t readU16(const unsigned char *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

IcmpKind kindOfType(int family, int type)
{
    if (family == AF_INET6) {
        switch (type) {
        case ICMP6_ECHO_REPLY: return IcmpKind::EchoReply;
        case ICMP6_DST_UNREACH: return IcmpKind::Unreachable;
        case ICMP6_PACKET_TOO_BIG: return IcmpKind::PacketTooBig;
        case ICMP6_TIME_EXCEEDED: return IcmpKind::TimeExceeded;
        case ICMP6_PARAM_PROB: return IcmpKind::ParameterProblem;
        default: return IcmpKind::None;
        }
    }
    switch (type) {
    case ICMP_ECHOREPLY: return IcmpKind::EchoReply;
    case ICMP_DEST_UNREACH: return IcmpKind::Unreachable;
    case ICMP_TIME_EXCEEDED: return IcmpKind::TimeExceeded;
    case ICMP_PARAMETERPROB: return IcmpKind::ParameterProblem;
    case ICMP_SOURCE_QUENCH: return IcmpKind::SourceQuench;
    default: return IcmpKind::None;
    }
}

// The echo request an ICMP error quotes: after the error's own header comes the
// IP header of our request, then at least the first 8 bytes of our ICMP message.
bool readQuotedEcho(int family, const unsigned char *quoted, size_t length, IcmpAnswer &answer)
{
    size_t at = 0;
    if (family == AF_INET6) {
        if (length < sizeof(ip6_hdr) + IcmpHeaderSize)
            return false;
        if (reinterpret_cast<const ip6_hdr *>(quoted)->ip6_nxt != IPPROTO_ICMPV6)
            return false; // our requests carry no extension headers
        at = sizeof(ip6_hdr);
        if (quoted[at] != ICMP6_ECHO_REQUEST)
            return false;
    } else {
        if (length < sizeof(iphdr))
            return false;
        at = size_t(reinterpret_cast<const iphdr *>(quoted)->ihl) * 4;
        if (at < sizeof(iphdr) || length < at + IcmpHeaderSize || quoted[at] != ICMP_ECHO)
            return false;
    }
    answer.id = readU16(quoted + at + 4);
    answer.sequence = readU16(quoted + at + 6);
    return true;
}

} // namespace

uint16_t IcmpChecksum(const unsigned char *data, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += uint32_t(data[i]) << 8 | data[i + 1];
    if (length & 1)
        sum += uint32_t(data[length - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return uint16_t(~sum);
}

bool ParseDottedQuadText(std::string_view text, uint32_t &hostOrder)
{
    uint32_t address = 0;
    int parts = 0;
    bool digits = false;
    uint32_t value = 0;
    for (const char c : text) {
        if (c == ' ')
            continue;
        if (c == '.') {
            if (!digits || ++parts > 3)
                return false;
            address = address << 8 | value;
            digits = false;
            value = 0;
        } else if (c >= '0' && c <= '9') {
            value = value * 10 + uint32_t(c - '0');
            if (value > 255) // also keeps a long run of digits from overflowing
                return false;
            digits = true;
        } else {
            return false;
        }
    }
    if (!digits || parts != 3)
        return false;
    hostOrder = address << 8 | value;
    return true;
}

std::string DottedQuadString(uint32_t hostOrder)
{
    return std::to_string(hostOrder >> 24) + '.' + std::to_string(hostOrder >> 16 & 255) + '.'
           + std::to_string(hostOrder >> 8 & 255) + '.' + std::to_string(hostOrder & 255);
}

IpAddress IpAddress::v4(uint32_t hostOrder)
{
    IpAddress a;
    a.family = AF_INET;
    const uint32_t n = htonl(hostOrder);
    std::memcpy(a.bytes.data(), &n, 4);
    return a;
}

uint32_t IpAddress::v4HostOrder() const
{
    uint32_t n = 0;
    std::memcpy(&n, bytes.data(), 4);
    return ntohl(n);
}

bool ParseIpv6Text(std::string_view text, std::array<uint8_t, 16> &bytes, std::string &zone)
{
    std::string plain;
    for (const char c : text) {
        if (c != ' ')
            plain += c;
    }
    if (plain.find(':') == std::string::npos || plain.size() > 100)
        return false;
    std::string z;
    if (const size_t percent = plain.find('%'); percent != std::string::npos) {
        z = plain.substr(percent + 1);
        plain.resize(percent);
        if (z.empty())
            return false;
    }
    in6_addr a{};
    if (::inet_pton(AF_INET6, plain.c_str(), &a) != 1)
        return false;
    std::memcpy(bytes.data(), a.s6_addr, 16);
    zone = z;
    return true;
}

std::string Ipv6CanonicalText(const std::array<uint8_t, 16> &bytes)
{
    uint16_t group[8];
    for (int i = 0; i < 8; ++i)
        group[i] = uint16_t(bytes[size_t(2 * i)] << 8 | bytes[size_t(2 * i + 1)]);
    // The first longest run of zero groups, if it is two or more long (RFC 5952 4.2).
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        if (group[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && group[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':')
            out += ':';
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const int digit = group[i] >> shift & 15;
            if (digit || started || shift == 0) {
                out += hex[digit];
                started = true;
            }
        }
    }
    return out;
}

bool IsIpv6LinkLocal(const std::array<uint8_t, 16> &bytes)
{
    if (bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80)
        return true;
    return bytes[0] == 0xff && (bytes[1] & 0x0f) == 0x02; // multicast, link scope
}

bool ParseIpAddress(std::string_view text, IpAddress &address)
{
    uint32_t v4 = 0;
    if (ParseDottedQuadText(text, v4)) {
        address = IpAddress::v4(v4);
        return true;
    }
    std::array<uint8_t, 16> bytes{};
    std::string zone;
    if (!ParseIpv6Text(text, bytes, zone))
        return false;
    uint32_t scope = 0;
    if (!zone.empty()) {
        if (zone.find_first_not_of("0123456789") == std::string::npos) {
            if (zone.size() > 9)
                return false;
            scope = uint32_t(std::stoul(zone));
        } else {
            scope = ::if_nametoindex(zone.c_str());
        }
        if (scope == 0)
            return false;
    }
    static constexpr uint8_t mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(bytes.data(), mapped, 12) == 0) { // ::ffff:10.0.0.1 is an IPv4 target
        address = IpAddress{};
        address.family = AF_INET;
        std::memcpy(address.bytes.data(), bytes.data() + 12, 4);
        return true;
    }
    address = IpAddress{};
    address.family = AF_INET6;
    address.bytes = bytes;
    address.scope = scope;
    return true;
}

std::string IpAddressText(const IpAddress &address)
{
    if (address.family == AF_INET)
        return DottedQuadString(address.v4HostOrder());
    if (address.family != AF_INET6)
        return {};
    std::string out = Ipv6CanonicalText(address.bytes);
    if (address.scope != 0) {
        char name[IF_NAMESIZE] = {};
        out += '%';
        out += ::if_indextoname(address.scope, name) ? std::string(name) : std::to_string(address.scope);
    }
    return out;
}

socklen_t ToSocketAddress(const IpAddress &address, sockaddr_storage &out)
{
    out = {};
    if (address.family == AF_INET) {
        auto *in = reinterpret_cast<sockaddr_in *>(&out);
        in->sin_family = AF_INET;
        std::memcpy(&in->sin_addr, address.bytes.data(), 4);
        return sizeof(sockaddr_in);
    }
    if (address.family == AF_INET6) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&out);
        in6->sin6_family = AF_INET6;
        std::memcpy(&in6->sin6_addr, address.bytes.data(), 16);
        in6->sin6_scope_id = address.scope;
        return sizeof(sockaddr_in6);
    }
    return 0;
}

IpAddress FromSocketAddress(const sockaddr_storage &from)
{
    IpAddress a;
    if (from.ss_family == AF_INET) {
        a.family = AF_INET;
        std::memcpy(a.bytes.data(), &reinterpret_cast<const sockaddr_in *>(&from)->sin_addr, 4);
    } else if (from.ss_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&from);
        a.family = AF_INET6;
        std::memcpy(a.bytes.data(), &in6->sin6_addr, 16);
        a.scope = in6->sin6_scope_id;
    }
    return a;
}

void BuildEchoRequest(int family, uint16_t id, uint16_t sequence, const void *payload,
                      size_t payloadSize, std::vector<unsigned char> &packet)
{
    packet.assign(IcmpHeaderSize + payloadSize, 0);
    packet[0] = family == AF_INET6 ? ICMP6_ECHO_REQUEST : ICMP_ECHO;
    packet[4] = uint8_t(id >> 8);
    packet[5] = uint8_t(id);
    packet[6] = uint8_t(sequence >> 8);
    packet[7] = uint8_t(sequence);
    if (payloadSize)
        std::memcpy(packet.data() + IcmpHeaderSize, payload, payloadSize);
    if (family != AF_INET6) {
        const uint16_t sum = IcmpChecksum(packet.data(), packet.size());
        packet[2] = uint8_t(sum >> 8);
        packet[3] = uint8_t(sum);
    }
}

IcmpDatagram ReceiveIcmp(int fd, unsigned char *buffer, size_t size, bool errorQueue)
{
    IcmpDatagram d;
    alignas(cmsghdr) unsigned char control[512];
    iovec iov{buffer, size};
    msghdr msg{};
    msg.msg_name = &d.from;
    msg.msg_namelen = sizeof d.from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    d.size = ::recvmsg(fd, &msg, MSG_DONTWAIT | (errorQueue ? MSG_ERRQUEUE : 0));
    if (d.size < 0)
        return d;
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
            || (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT)) {
            std::memcpy(&d.ttl, CMSG_DATA(c), sizeof d.ttl);
        } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec t{};
            std::memcpy(&t, CMSG_DATA(c), sizeof t);
            d.kernelTimeNs = int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
        } else if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR)
                   || (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR)) {
            auto *err = reinterpret_cast<sock_extended_err *>(CMSG_DATA(c));
            std::memcpy(&d.error, err, sizeof d.error);
            d.queuedError = true;
            // Who sent the report; nobody (family 0) for an error of this host.
            d.from = {};
            const sockaddr *offender = SO_EE_OFFENDER(err);
            const size_t room = c->cmsg_len - (reinterpret_cast<const unsigned char *>(offender)
                                               - reinterpret_cast<const unsigned char *>(c));
            if (offender->sa_family == AF_INET && room >= sizeof(sockaddr_in))
                std::memcpy(&d.from, offender, sizeof(sockaddr_in));
            else if (offender->sa_family == AF_INET6 && room >= sizeof(sockaddr_in6))
                std::memcpy(&d.from, offender, sizeof(sockaddr_in6));
        }
    }
    return d;
}

IcmpAnswer ClassifyIcmp(int family, bool raw, const IcmpDatagram &datagram, const unsigned char *buffer)
{
    IcmpAnswer answer;
    if (datagram.size < 0)
        return answer;
    const size_t size = size_t(datagram.size);
    if (datagram.queuedError) {
        // The payload is our own request as it was sent.
        if (size < IcmpHeaderSize)
            return answer;
        answer.id = readU16(buffer + 4);
        answer.sequence = readU16(buffer + 6);
        answer.idChecked = true; // it came back on our own socket
        answer.from = FromSocketAddress(datagram.from);
        const sock_extended_err &e = datagram.error;
        if (e.ee_origin == SO_EE_ORIGIN_ICMP || e.ee_origin == SO_EE_ORIGIN_ICMP6) {
            answer.kind = kindOfType(e.ee_origin == SO_EE_ORIGIN_ICMP6 ? AF_INET6 : AF_INET, e.ee_type);
            answer.code = e.ee_code;
            if (answer.kind == IcmpKind::EchoReply)
                answer.kind = IcmpKind::None;
        } else if (e.ee_origin == SO_EE_ORIGIN_LOCAL) {
            answer.kind = IcmpKind::LocalError;
            answer.code = int(e.ee_errno);
        }
        return answer;
    }

    const unsigned char *icmp = buffer;
    size_t length = size;
    answer.from = FromSocketAddress(datagram.from);
    answer.ttl = datagram.ttl;
    if (family == AF_INET && raw) {
        // A raw IPv4 socket hands over the IP header too.
        if (size < sizeof(iphdr))
            return answer;
        const auto *ip = reinterpret_cast<const iphdr *>(buffer);
        const size_t ipLength = size_t(ip->ihl) * 4;
        if (ipLength < sizeof(iphdr) || size < ipLength)
            return answer;
        answer.ttl = ip->ttl;
        answer.from = IpAddress{};
        answer.from.family = AF_INET;
        std::memcpy(answer.from.bytes.data(), &ip->saddr, 4);
        icmp += ipLength;
        length -= ipLength;
    }
    if (length < IcmpHeaderSize)
        return answer;
    const IcmpKind kind = kindOfType(family, icmp[0]);
    if (kind == IcmpKind::EchoReply) {
        answer.kind = kind;
        answer.id = readU16(icmp + 4);
        answer.sequence = readU16(icmp + 6);
        answer.idChecked = !raw;
        answer.dataSize = length - IcmpHeaderSize;
        return answer;
    }
    // An error about a packet of ours reaches a raw socket as the message itself;
    // datagram sockets get theirs on the error queue.
    if (kind == IcmpKind::None || !raw)
        return answer;
    if (!readQuotedEcho(family, icmp + IcmpHeaderSize, length - IcmpHeaderSize, answer))
        return answer;
    answer.kind = kind;
    answer.code = icmp[1];
    answer.ttl = -1;
    return answer;
}

bool AnswersEcho(const IcmpAnswer &answer, uint16_t id, uint16_t sequence, const IpAddress &to)
{
    if (answer.kind == IcmpKind::None || answer.sequence != sequence)
        return false;
    if (!answer.idChecked && answer.id != id)
        return false;
    if (answer.kind == IcmpKind::EchoReply)
        return answer.from.family == to.family && answer.from.bytes == to.bytes;
    return true;
}

uint32_t EchoStatusOf(int family, IcmpKind kind, int code)
{
    switch (kind) {
    case IcmpKind::EchoReply:
        return 0;
    case IcmpKind::LocalError:
        switch (code) {
        case ENETUNREACH:
        case EHOSTUNREACH:
            return 11003;
        case EMSGSIZE:
            return 11009;
        default:
            return EchoGeneralFailure;
        }
    case IcmpKind::Unreachable:
        if (family == AF_INET6) {
            switch (code) {
            case ICMP6_DST_UNREACH_NOROUTE:
            case ICMP6_DST_UNREACH_BEYONDSCOPE:
            case 6: // reject route to destination
                return 11002;
            case ICMP6_DST_UNREACH_ADDR:
                return 11003;
            case ICMP6_DST_UNREACH_ADMIN:
            case 5: // source address failed ingress/egress policy
                return 11004;
            case ICMP6_DST_UNREACH_NOPORT:
                return 11005;
            default:
                return EchoGeneralFailure;
            }
        }
        switch (code) {
        case ICMP_NET_UNREACH: return 11002;
        case ICMP_HOST_UNREACH: return 11003;
        case ICMP_PROT_UNREACH: return 11004;
        case ICMP_PORT_UNREACH: return 11005;
        case ICMP_FRAG_NEEDED: return 11009;
        default: return EchoGeneralFailure;
        }
    case IcmpKind::PacketTooBig:
        return 11009;
    case IcmpKind::TimeExceeded:
        return family == AF_INET6 && code == ICMP6_TIME_EXCEED_REASSEMBLY ? 11014 : 11013;
    case IcmpKind::ParameterProblem:
        return 11015;
    case IcmpKind::SourceQuench:
        return 11016;
    case IcmpKind::None:
        break;
    }
    return EchoGeneralFailure;
}

} // namespace netvane::platform
