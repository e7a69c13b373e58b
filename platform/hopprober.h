#pragma once
// The sockets behind the tracert command: ICMP echoes with a chosen TTL, three at a
// time, and the answers they draw (echo reply, time exceeded, unreachable). Plain
// C++ without Qt, so the command starts in a few milliseconds even when 64 of them
// start at once.
//
// An ICMP or ICMPv6 datagram ("ping") socket is used where net.ipv4.ping_group_range
// allows it (the one range covers both families): the kernel hands the time-exceeded
// and unreachable answers to that socket's error queue (IP_RECVERR, IPV6_RECVERR)
// with the sender as the offender. Otherwise a raw socket (root or CAP_NET_RAW)
// reads every ICMP message and keeps those quoting our echoes.

#include "platform/icmpwire.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace netvane::platform {

struct HopAnswer {
    enum Kind { None, EchoReply, TimeExceeded, Unreachable, SendError };
    Kind kind = None;
    IpAddress from;      // who answered
    double ms = 0;       // round trip
    int code = 0;        // ICMP / ICMPv6 code of an unreachable, errno of a send error
};

// The address of a target or a source-route host: an address of either family as
// written (platform/icmpwire.h), on its own family whatever `family` says; else a
// name looked up for `family` (AF_INET, AF_INET6, or AF_UNSPEC: the first address
// the resolver gives, as a connection would take). False when it has none.
bool ResolveHost(const std::string &name, int family, IpAddress &address);
// The name registered for an address, or empty.
std::string ReverseName(const IpAddress &address);

class HopProber final
{
public:
    HopProber() = default;
    ~HopProber();
    HopProber(const HopProber &) = delete;
    HopProber &operator=(const HopProber &) = delete;

    // Opens the socket of the family (AF_INET or AF_INET6); false with a one-line reason.
    bool open(int family, std::string &error);
    // Loose source route through the given hops, the target last (IPv4 only).
    bool setLooseSourceRoute(const std::vector<IpAddress> &hops, const IpAddress &target,
                             std::string &error);
    // Sends three echoes with this TTL (hop limit) together and waits until all
    // three are answered or timeoutMs has passed since they were sent.
    std::array<HopAnswer, 3> probe(const IpAddress &target, int ttl, int timeoutMs);

private:
    int m_fd = -1;
    int m_family = AF_INET;
    bool m_datagram = false;
    uint16_t m_id = 0;
    uint16_t m_sequence = 0;
};

} // namespace netvane::platform
