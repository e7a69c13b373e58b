#pragma once
// The sockets behind the tracert command: ICMP echoes with a chosen TTL, three at a
// time, and the answers they draw (echo reply, time exceeded, unreachable). Plain
// C++ without Qt, so the command starts in a few milliseconds even when 64 of them
// start at once.
//
// An ICMP datagram ("ping") socket is used where net.ipv4.ping_group_range allows
// it: the kernel hands the time-exceeded and unreachable answers to that socket's
// error queue (IP_RECVERR) with the sender as the offender. Otherwise a raw socket
// (root or CAP_NET_RAW) reads every ICMP message and keeps those quoting our echoes.

#include "platform/echoengine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace netvane::platform {

struct HopAnswer {
    enum Kind { None, EchoReply, TimeExceeded, Unreachable, SendError };
    Kind kind = None;
    uint32_t from = 0;   // host order
    IpAddress address;   // who answered an IPv6 probe
    double ms = 0;       // round trip
    int code = 0;        // ICMP code of an unreachable, errno of a send error
};

// The program's address rule (platform/icmpwire.h) to a host-order address.
bool ParseIPv4(const std::string &text, uint32_t &address);
// IPv4 look-up of a name (or dotted address); false when it has none.
bool ResolveIPv4(const std::string &name, uint32_t &address);
// The name registered for an address, or empty.
std::string ReverseName(uint32_t address);
std::string AddressText(uint32_t address);
// An IPv6 literal (with its zone) or the IPv6 look-up of a name; false when it has none.
bool ResolveIPv6(const std::string &name, IpAddress &address);
std::string ReverseName(const IpAddress &address);
// The first address of a name (or an address) of either family, the one the system
// would connect to; false when it has none.
bool ResolveEither(const std::string &name, IpAddress &address);

class HopProber final
{
public:
    HopProber() = default;
    ~HopProber();
    HopProber(const HopProber &) = delete;
    HopProber &operator=(const HopProber &) = delete;

    // Opens the socket; false with a one-line reason.
    bool open(std::string &error);
    // Loose source route through the given hops (host order), the target last.
    bool setLooseSourceRoute(const std::vector<uint32_t> &hops, uint32_t target, std::string &error);
    // Sends three echoes with this TTL together and waits until all three are
    // answered or timeoutMs has passed since they were sent.
    std::array<HopAnswer, 3> probe(uint32_t target, int ttl, int timeoutMs);

private:
    int m_fd = -1;
    bool m_datagram = false;
    uint16_t m_id = 0;
    uint16_t m_sequence = 0;
};

// The same for IPv6: ICMPv6 echoes with a chosen hop limit, three at a time, through
// the echo engine (a datagram socket's error queue, or a raw socket).
class HopProber6 final
{
public:
    // Opens the socket; false with a one-line reason.
    bool open(std::string &error);
    std::array<HopAnswer, 3> probe(const IpAddress &target, int hopLimit, int timeoutMs);

private:
    EchoEngine m_engine;
    uint64_t m_tag = 0;
};

} // namespace netvane::platform
