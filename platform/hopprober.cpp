#include "platform/hopprober.h"

#include "platform/icmpwire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/icmp6.h>
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

} // namespace

bool ResolveHost(const std::string &name, int family, IpAddress &address)
{
    if (ParseIpAddress(name, address))
        return true;
    // Only what can be a host name goes to the resolver.
    if (name.empty() || name.size() > 253)
        return false;
    char previous = '.';
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                        || c == '-' || c == '.' || c == '_';
        // A label neither starts nor ends with "-", and none is empty.
        if (!ok || (previous == '.' && (c == '-' || c == '.')) || (previous == '-' && c == '.'))
            return false;
        previous = c;
    }
    if (previous == '-')
        return false;
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    const addrinfo *chosen = nullptr;
    for (const addrinfo *a = found; a && !chosen; a = a->ai_next)
        if (a->ai_family == AF_INET || a->ai_family == AF_INET6)
            chosen = a;
    if (chosen) {
        sockaddr_storage storage{};
        std::memcpy(&storage, chosen->ai_addr, std::min<size_t>(chosen->ai_addrlen, sizeof storage));
        address = FromSocketAddress(storage);
    }
    ::freeaddrinfo(found);
    return chosen != nullptr;
}

std::string ReverseName(const IpAddress &address)
{
    sockaddr_storage sa{};
    const socklen_t length = ToSocketAddress(address, sa);
    char host[NI_MAXHOST];
    if (!length
        || ::getnameinfo(reinterpret_cast<sockaddr *>(&sa), length, host, sizeof host, nullptr, 0,
                         NI_NAMEREQD)
               != 0)
        return {};
    return host;
}

HopProber::~HopProber()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HopProber::open(int family, std::string &error)
{
    m_family = family == AF_INET6 ? AF_INET6 : AF_INET;
    const bool v6 = m_family == AF_INET6;
    const int protocol = v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    m_fd = ::socket(m_family, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
    if (m_fd >= 0) {
        const int on = 1;
        const bool queued = v6 ? ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on) == 0
                               : ::setsockopt(m_fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0;
        if (queued) {
            m_datagram = true;
            return true;
        }
        ::close(m_fd);
    }
    const int datagramError = errno;
    m_fd = ::socket(m_family, SOCK_RAW | SOCK_CLOEXEC, protocol);
    if (m_fd < 0) {
        error = std::string(v6 ? "Unable to open an ICMPv6 socket (" : "Unable to open an ICMP socket (")
                + std::strerror(datagramError) + " / " + std::strerror(errno)
                + "): allow echo sockets with sysctl net.ipv4.ping_group_range, or grant "
                  "CAP_NET_RAW to tracert.";
        return false;
    }
    if (v6) {
        // Only what can answer an echo: replies and the errors that quote one.
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                         ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
            ICMP6_FILTER_SETPASS(type, &filter);
        ::setsockopt(m_fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    }
    m_datagram = false;
    m_id = uint16_t(::getpid());
    return true;
}

bool HopProber::setLooseSourceRoute(const std::vector<IpAddress> &hops, const IpAddress &target,
                                    std::string &error)
{
    if (m_family != AF_INET || target.family != AF_INET) {
        error = "A loose source route is for IPv4 targets only.";
        return false;
    }
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
    auto put = [&](const IpAddress &a) {
        std::memcpy(option + length, a.bytes.data(), 4);
        length += 4;
    };
    for (const IpAddress &hop : hops) {
        if (hop.family != AF_INET) {
            error = "A loose source route is for IPv4 targets only.";
            return false;
        }
        put(hop);
    }
    put(target);
    option[1] = static_cast<unsigned char>(length);
    if (::setsockopt(m_fd, IPPROTO_IP, IP_OPTIONS, option, socklen_t(length)) != 0) {
        error = std::string("Unable to set the source route: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::array<HopAnswer, 3> HopProber::probe(const IpAddress &target, int ttl, int timeoutMs)
{
    std::array<HopAnswer, 3> answers;
    std::array<uint16_t, 3> sequences{};
    std::array<Clock::time_point, 3> sent{};
    if (m_family == AF_INET6)
        ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &ttl, sizeof ttl);
    else
        ::setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);

    sockaddr_storage to{};
    const socklen_t toLength = ToSocketAddress(target, to);
    int pending = 0;
    std::vector<unsigned char> packet;
    for (size_t i = 0; i < 3; ++i) {
        unsigned char payload[PayloadSize];
        std::memset(payload, 'a' + int(i), PayloadSize);
        sequences[i] = ++m_sequence;
        BuildEchoRequest(m_family, m_id, sequences[i], payload, PayloadSize, packet);
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
            n = ::sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr *>(&to),
                         toLength);
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
    auto settleAs = [&](const IcmpAnswer &answer, HopAnswer::Kind kind, int code) {
        for (size_t i = 0; i < 3; ++i) {
            if (answers[i].kind != HopAnswer::None || !AnswersEcho(answer, m_id, sequences[i], target))
                continue;
            answers[i] = {kind, kind == HopAnswer::SendError ? IpAddress{} : answer.from,
                          msSince(sent[i]), code};
            --pending;
            return;
        }
    };
    auto settle = [&](const IcmpAnswer &answer) {
        HopAnswer::Kind kind = HopAnswer::None;
        switch (answer.kind) {
        case IcmpKind::EchoReply: kind = HopAnswer::EchoReply; break;
        case IcmpKind::TimeExceeded: kind = HopAnswer::TimeExceeded; break;
        case IcmpKind::Unreachable: kind = HopAnswer::Unreachable; break;
        case IcmpKind::PacketTooBig:
        case IcmpKind::ParameterProblem:
            // Said as "Destination unreachable." (code -1 is none of the unreachable codes).
            settleAs(answer, HopAnswer::Unreachable, -1);
            return;
        case IcmpKind::LocalError:
            // Only "no route" ends the trace as a transmit error; others wait.
            if (answer.code != EHOSTUNREACH && answer.code != ENETUNREACH)
                return;
            kind = HopAnswer::SendError;
            break;
        default: return;
        }
        settleAs(answer, kind, answer.code);
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
        const bool queued = m_datagram && (p.revents & POLLERR);
        const IcmpDatagram d = ReceiveIcmp(m_fd, buffer, sizeof buffer, queued);
        if (d.size < 0)
            continue;
        settle(ClassifyIcmp(m_family, !m_datagram, d, buffer));
    }
    return answers;
}

} // namespace netvane::platform
