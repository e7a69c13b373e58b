#pragma once
// Many ICMP and ICMPv6 echoes in flight at once, from one non-blocking socket per
// family: an ICMP datagram ("ping") socket where net.ipv4.ping_group_range allows it
// (the same rule holds for IPv6), else a raw socket (root or CAP_NET_RAW). Each echo
// has its own deadline, hop limit and a tag of the caller's; poll() hands back the
// settled ones with the answering address, the send and receive times (the kernel's
// receive time where it gives one) and the reply's TTL or hop limit. Echoes can be
// cancelled one by one or all at once; wake() interrupts a poll from any thread.
//
// Plain C++ without Qt. One thread uses an engine at a time (wake() excepted). The
// ping test's echo worker uses it one echo at a time; a prober may keep hundreds in
// flight.

#include "platform/icmpwire.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace netvane::platform {

enum class EchoSocketKind { Automatic, Datagram, Raw };

using SteadyClock = std::chrono::steady_clock;
using SteadyTime = SteadyClock::time_point;

struct EchoRequest {
    IpAddress to;
    std::string_view payload;
    int hopLimit = 0;    // TTL / hop limit of the request; 0 for the system's default
    int timeoutMs = 0;   // no answer by then: status 11010
    uint64_t tag = 0;    // the caller's; unique among the echoes in flight
};

struct EchoOutcome {
    uint64_t tag = 0;
    IcmpKind kind = IcmpKind::None; // None: no answer came in time (or no socket)
    int code = 0;                   // ICMP / ICMPv6 code, or the errno of a local error
    uint32_t status = EchoTimedOut; // the echo service's status number (EchoStatusOf)
    IpAddress from;                 // who answered; none for a time-out or a local error
    SteadyTime sent{}, received{};  // received: when it settled
    int ttl = -1;                   // of an echo reply
    size_t dataSize = 0;            // the reply's payload size

    // Whole milliseconds from sending to the answer, rounded down.
    uint32_t roundTripMs() const;
};

// The socket kind every engine made afterwards uses; tests and benchmarks pin one
// (Automatic tries a datagram socket first).
void SetDefaultEchoSocketKind(EchoSocketKind kind);
EchoSocketKind DefaultEchoSocketKind();

// True when the last try to open an echo socket (of any engine) failed.
bool EchoSocketFailed();

class EchoEngine final
{
public:
    explicit EchoEngine(EchoSocketKind kind = DefaultEchoSocketKind());
    ~EchoEngine();
    EchoEngine(const EchoEngine &) = delete;
    EchoEngine &operator=(const EchoEngine &) = delete;

    // Opens the socket of a family (AF_INET, AF_INET6) unless it is open. False when
    // neither kind of socket can be opened; send() then settles at once with 11050.
    bool open(int family);
    // Whether the open socket of the family is a datagram one (false: raw, or none).
    bool isDatagram(int family) const;

    // Sends one echo request. One that fails at once (no socket, a local send error)
    // is settled at once: it comes with the next poll, which then does not wait.
    void send(const EchoRequest &request);
    // Forgets an echo in flight: no outcome comes for it, a late answer is ignored.
    void cancel(uint64_t tag);
    void cancelAll();
    size_t inFlight() const { return m_pending.size(); }

    // Reads what has arrived, waits until an echo settles, `until` comes or wake() is
    // called, and appends every echo settled by then to `settled` (time-outs
    // included); returns how many it appended. A past `until` only reads.
    size_t poll(SteadyTime until, std::vector<EchoOutcome> &settled);
    // From any thread: the poll in progress, or the next one, returns at once.
    void wake();

private:
    struct Socket {
        int fd = -1;
        bool datagram = false;
        int hopLimit = 0; // the one set on it; 0 the system's default
    };
    struct Pending {
        uint64_t tag = 0;
        IpAddress to;
        uint16_t sequence = 0;
        SteadyTime sent, deadline;
    };
    using Key = uint32_t; // family in the high half, sequence in the low

    Socket &socketOf(int family) { return family == AF_INET6 ? m_v6 : m_v4; }
    void settleAtOnce(const EchoRequest &request, uint32_t status, IcmpKind kind, int code);
    void drain(Socket &socket, int family, bool errorQueue, std::vector<EchoOutcome> &settled);
    void settle(Key key, const IcmpAnswer &answer, SteadyTime when, std::vector<EchoOutcome> &settled);
    void forget(std::unordered_map<Key, Pending>::iterator it);
    void expire(SteadyTime now, std::vector<EchoOutcome> &settled);

    EchoSocketKind m_kind;
    Socket m_v4, m_v6;
    int m_wake = -1; // an eventfd
    uint16_t m_id = 0;
    uint16_t m_sequence = 0;
    std::unordered_map<Key, Pending> m_pending;
    std::unordered_map<uint64_t, Key> m_byTag;
    std::set<std::pair<SteadyTime, Key>> m_deadlines;
    std::vector<EchoOutcome> m_settledAtOnce;
    std::vector<unsigned char> m_packet;
    std::vector<unsigned char> m_buffer;
};

} // namespace netvane::platform
