#include "platform/hopprober.h"

#include "platform/icmpwire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace netvane::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t PayloadSize = 32;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Only what can be a host name goes to the resolver.
bool mayBeHostName(const std::string &name)
{
    if (name.empty() || name.size() > 253)
        return false;
    char previous = '.';
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                        || c == '-' || c == '.' || c == '_';
        if (!ok || (previous == '.' && (c == '-' || c == '.')) || (previous == '-' && c == '.'))
            return false;
        previous = c;
    }
    return previous != '-';
}

} // namespace

bool ParseIPv4(const std::string &text, uint32_t &address)
{
    return ParseDottedQuadText(text, address);
}

bool ResolveIPv4(const std::string &name, uint32_t &address)
{
    if (ParseIPv4(name, address))
        return true;
    if (!mayBeHostName(name))
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = ntohl(reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

std::string ReverseName(uint32_t address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr *>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD)
        != 0)
        return {};
    return host;
}

std::string AddressText(uint32_t address)
{
    return DottedQuadString(address);
}

bool ResolveIPv6(const std::string &name, IpAddress &address)
{
    if (name.find(':') != std::string::npos)
        return ParseIpAddress(name, address) && address.family == AF_INET6;
    if (!mayBeHostName(name))
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    sockaddr_storage from{};
    std::memcpy(&from, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof from));
    ::freeaddrinfo(found);
    address = FromSocketAddress(from);
    return address.family == AF_INET6;
}

bool ResolveEither(const std::string &name, IpAddress &address)
{
    if (ParseIpAddress(name, address))
        return true;
    if (!mayBeHostName(name))
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    sockaddr_storage from{};
    std::memcpy(&from, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof from));
    ::freeaddrinfo(found);
    address = FromSocketAddress(from);
    return address.valid();
}

std::string ReverseName(const IpAddress &address)
{
    sockaddr_storage sa{};
    const socklen_t length = ToSocketAddress(address, sa);
    char host[NI_MAXHOST];
    if (length == 0
        || ::getnameinfo(reinterpret_cast<sockaddr *>(&sa), length, host, sizeof host, nullptr, 0,
                         NI_NAMEREQD)
               != 0)
        return {};
    return host;
}

bool HopProber6::open(std::string &error)
{
    if (m_engine.open(AF_INET6))
        return true;
    error = std::string("Unable to open an ICMPv6 socket (") + std::strerror(errno)
            + "): allow echo sockets with sysctl net.ipv4.ping_group_range, or grant "
              "CAP_NET_RAW to tracert.";
    return false;
}

std::array<HopAnswer, 3> HopProber6::probe(const IpAddress &target, int hopLimit, int timeoutMs)
{
    std::array<HopAnswer, 3> answers;
    const std::string payload(PayloadSize, 'a');
    const uint64_t first = m_tag + 1;
    for (int i = 0; i < 3; ++i) {
        EchoRequest request;
        request.to = target;
        request.payload = payload;
        request.hopLimit = hopLimit;
        request.timeoutMs = timeoutMs;
        request.tag = ++m_tag;
        m_engine.send(request);
    }
    std::vector<EchoOutcome> settled;
    // The engine settles every echo by its deadline, answered or timed out.
    while (settled.size() < 3)
        m_engine.poll(SteadyClock::now() + std::chrono::milliseconds(timeoutMs + 100), settled);
    for (const EchoOutcome &o : settled) {
        if (o.tag < first || o.tag >= first + 3)
            continue;
        HopAnswer &a = answers[size_t(o.tag - first)];
        a.ms = std::chrono::duration<double, std::milli>(o.received - o.sent).count();
        a.address = o.from;
        a.code = o.code;
        switch (o.kind) {
        case IcmpKind::EchoReply: a.kind = HopAnswer::EchoReply; break;
        case IcmpKind::TimeExceeded: a.kind = HopAnswer::TimeExceeded; break;
        case IcmpKind::Unreachable: a.kind = HopAnswer::Unreachable; break;
        case IcmpKind::PacketTooBig:
        case IcmpKind::ParameterProblem:
            a.kind = HopAnswer::Unreachable;
            a.code = -1; // said as "Destination unreachable."
            break;
        case IcmpKind::LocalError: a.kind = HopAnswer::SendError; break;
        default: a.kind = HopAnswer::None; break;
        }
    }
    return answers;
}

HopProber::~HopProber()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HopProber::open(std::string &error)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd >= 0) {
        const int on = 1;
        if (::setsockopt(m_fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0) {
            m_datagram = true;
            return true;
        }
        ::close(m_fd);
    }
    const int datagramError = errno;
    m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0) {
        error = std::string("Unable to open an ICMP socket (") + std::strerror(datagramError)
                + " / " + std::strerror(errno)
                + "): allow echo sockets with sysctl net.ipv4.ping_group_range, or grant "
                  "CAP_NET_RAW to tracert.";
        return false;
    }
    m_datagram = false;
    m_id = uint16_t(::getpid());
    return true;
}

bool HopProber::setLooseSourceRoute(const std::vector<uint32_t> &hops, uint32_t target,
                                    std::string &error)
{
    // IP options hold 40 bytes: the option's 3 header bytes and 9 addresses, of
    // which the last is the target.
    if (hops.size() > 8) {
        error = "A loose source route holds at most 8 hosts before the target (the IP header "
                "has room for 9 addresses).";
        return false;
    }
    unsigned char option[40] = {};
    size_t length = 3;
    option[0] = IPOPT_LSRR;
    option[2] = 4;
    auto put = [&](uint32_t a) {
        const uint32_t n = htonl(a);
        std::memcpy(option + length, &n, 4);
        length += 4;
    };
    for (uint32_t hop : hops)
        put(hop);
    put(target);
    option[1] = static_cast<unsigned char>(length);
    if (::setsockopt(m_fd, IPPROTO_IP, IP_OPTIONS, option, socklen_t(length)) != 0) {
        error = std::string("Unable to set the source route: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::array<HopAnswer, 3> HopProber::probe(uint32_t target, int ttl, int timeoutMs)
{
    std::array<HopAnswer, 3> answers;
    std::array<uint16_t, 3> sequences{};
    std::array<Clock::time_point, 3> sent{};
    ::setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target);
    int pending = 0;
    for (size_t i = 0; i < 3; ++i) {
        unsigned char packet[sizeof(icmphdr) + PayloadSize];
        std::memset(packet, 0, sizeof packet);
        std::memset(packet + sizeof(icmphdr), 'a' + int(i), PayloadSize);
        auto *h = reinterpret_cast<icmphdr *>(packet);
        h->type = ICMP_ECHO;
        sequences[i] = ++m_sequence;
        h->un.echo.id = htons(m_id);
        h->un.echo.sequence = htons(sequences[i]);
        if (!m_datagram)
            h->checksum = htons(IcmpChecksum(packet, sizeof packet));
        sent[i] = Clock::now();
        ssize_t n;
        for (int attempt = 0;; ++attempt) {
            if (m_datagram) {
                // An answer to the previous probe leaves its error pending on the
                // socket, and the send would fail with it: take it off first (the
                // answer itself waits in the error queue, where it is read).
                int pendingError = 0;
                socklen_t length = sizeof pendingError;
                ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pendingError, &length);
            }
            n = ::sendto(m_fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
            // An answer that came in between makes one more try; a local error repeats.
            if (n >= 0 || (errno != EINTR && (!m_datagram || attempt > 0)))
                break;
        }
        if (n < 0) {
            answers[i].kind = HopAnswer::SendError;
            answers[i].code = errno;
        } else {
            ++pending;
        }
    }

    const auto deadline = sent[0] + std::chrono::milliseconds(timeoutMs);
    auto settle = [&](uint16_t sequence, HopAnswer::Kind kind, uint32_t from, int code) {
        for (size_t i = 0; i < 3; ++i) {
            if (sequences[i] != sequence || answers[i].kind != HopAnswer::None)
                continue;
            answers[i] = {kind, from, msSince(sent[i]), code};
            --pending;
            return;
        }
    };

    while (pending > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;

        unsigned char buffer[1500];
        if (m_datagram) {
            alignas(cmsghdr) char control[512];
            sockaddr_in from{};
            iovec io{buffer, sizeof buffer};
            msghdr msg{};
            msg.msg_name = &from;
            msg.msg_namelen = sizeof from;
            msg.msg_iov = &io;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            if (p.revents & POLLERR) {
                const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
                if (n < ssize_t(sizeof(icmphdr)))
                    continue;
                // The error queue returns the echo we sent, with the answer in a cmsg.
                const auto *quoted = reinterpret_cast<const icmphdr *>(buffer);
                for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
                        continue;
                    const auto *ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
                    const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(ee));
                    const uint32_t sender = offender->sin_family == AF_INET
                                                ? ntohl(offender->sin_addr.s_addr)
                                                : 0;
                    const uint16_t sequence = ntohs(quoted->un.echo.sequence);
                    if (ee->ee_origin == SO_EE_ORIGIN_ICMP && ee->ee_type == ICMP_TIME_EXCEEDED)
                        settle(sequence, HopAnswer::TimeExceeded, sender, ee->ee_code);
                    else if (ee->ee_origin == SO_EE_ORIGIN_ICMP && ee->ee_type == ICMP_DEST_UNREACH)
                        settle(sequence, HopAnswer::Unreachable, sender, ee->ee_code);
                    else if (ee->ee_origin == SO_EE_ORIGIN_LOCAL
                             && (ee->ee_errno == EHOSTUNREACH || ee->ee_errno == ENETUNREACH))
                        settle(sequence, HopAnswer::SendError, 0, int(ee->ee_errno));
                }
                continue;
            }
            const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
            if (n < ssize_t(sizeof(icmphdr)))
                continue;
            const auto *h = reinterpret_cast<const icmphdr *>(buffer);
            if (h->type == ICMP_ECHOREPLY)
                settle(ntohs(h->un.echo.sequence), HopAnswer::EchoReply,
                       ntohl(from.sin_addr.s_addr), 0);
            continue;
        }

        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (n < ssize_t(sizeof(iphdr)))
            continue;
        const auto *ip = reinterpret_cast<const iphdr *>(buffer);
        const size_t headerLength = size_t(ip->ihl) * 4;
        if (size_t(n) < headerLength + sizeof(icmphdr))
            continue;
        const auto *h = reinterpret_cast<const icmphdr *>(buffer + headerLength);
        const uint32_t sender = ntohl(from.sin_addr.s_addr);
        if (h->type == ICMP_ECHOREPLY) {
            if (ntohs(h->un.echo.id) == m_id && sender == target)
                settle(ntohs(h->un.echo.sequence), HopAnswer::EchoReply, sender, 0);
            continue;
        }
        if (h->type != ICMP_TIME_EXCEEDED && h->type != ICMP_DEST_UNREACH)
            continue;
        // The answer quotes our packet's IP header and the first 8 bytes of our echo.
        const size_t innerAt = headerLength + sizeof(icmphdr);
        if (size_t(n) < innerAt + sizeof(iphdr))
            continue;
        const auto *inner = reinterpret_cast<const iphdr *>(buffer + innerAt);
        const size_t innerLength = size_t(inner->ihl) * 4;
        if (size_t(n) < innerAt + innerLength + 8 || inner->protocol != IPPROTO_ICMP)
            continue;
        const auto *echo = reinterpret_cast<const icmphdr *>(buffer + innerAt + innerLength);
        if (echo->type != ICMP_ECHO || ntohs(echo->un.echo.id) != m_id)
            continue;
        settle(ntohs(echo->un.echo.sequence),
               h->type == ICMP_TIME_EXCEEDED ? HopAnswer::TimeExceeded : HopAnswer::Unreachable,
               sender, h->code);
    }
    return answers;
}

} // namespace netvane::platform
