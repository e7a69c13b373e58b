#pragma once
// What the program's ICMP senders share: the echo engine of the window, the tracert
// command and the scan probe program. Plain C++ without Qt, so the two small programs
// can compile it in without linking the core library.
//
// The parts of one echo, for IPv4 (ICMP) and IPv6 (ICMPv6) alike:
//   ParseIpAddress      the text of a target to an address of either family;
//   BuildEchoRequest    the request with its identifier, sequence and payload;
//   ReceiveIcmp         the one receive step: a datagram (or an error-queue report)
//                       with the sender, the TTL / hop limit and the kernel's time;
//   ClassifyIcmp        what came back: an echo reply, time exceeded, unreachable
//                       with its code, packet too big, parameter problem, a local
//                       error, with the answering address and the echo it answers;
//   EchoStatusOf        that answer in the status numbers of the echo service the
//                       program was designed for.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace netvane::platform {

// The Internet checksum of an ICMP message (the checksum field zeroed).
uint16_t IcmpChecksum(const unsigned char *data, size_t length);

// The one address rule of the program: four parts of decimal digits separated by
// dots, each 0-255; leading zeros are decimal (010 is ten, never octal) and blanks
// are ignored ("10. 0.0.1" as users type it). False for anything else, with
// nothing written to hostOrder.
bool ParseDottedQuadText(std::string_view text, uint32_t &hostOrder);

// The plain dotted form: "10.0.0.1".
std::string DottedQuadString(uint32_t hostOrder);

// An address of either family, in network order.
struct IpAddress {
    int family = AF_UNSPEC;          // AF_INET, AF_INET6, or AF_UNSPEC for none
    std::array<uint8_t, 16> bytes{}; // IPv4 in the first four
    uint32_t scope = 0;              // the zone of an IPv6 link-local address (interface index)

    static IpAddress v4(uint32_t hostOrder);
    uint32_t v4HostOrder() const;
    bool valid() const { return family == AF_INET || family == AF_INET6; }
    bool operator==(const IpAddress &) const = default;
};

// An IPv6 address in any textual form of RFC 4291 (blanks ignored), with an optional
// "%zone" that is only taken apart here, not looked up: the 16 bytes and the zone's
// text (empty when none). False for anything else, an empty zone among them.
bool ParseIpv6Text(std::string_view text, std::array<uint8_t, 16> &bytes, std::string &zone);
// The RFC 5952 form of 16 bytes: lower-case hexadecimal without leading zeros, the
// first longest run of two or more zero groups as "::", no dotted tail.
std::string Ipv6CanonicalText(const std::array<uint8_t, 16> &bytes);
// Whether an IPv6 address is link-local (fe80::/10, or multicast of link scope), the
// addresses that mean nothing without their zone.
bool IsIpv6LinkLocal(const std::array<uint8_t, 16> &bytes);
// The longest address text the program keeps: 39 characters of IPv6, "%" and an
// interface name of up to 15.
inline constexpr size_t MaxIpAddressText = 39 + 1 + 15;

// An IPv4 address by the program's rule above, else an IPv6 address in any textual
// form of RFC 4291, optionally with its zone ("fe80::1%eth0", or the interface's
// number). False for anything else.
bool ParseIpAddress(std::string_view text, IpAddress &address);
// Dotted decimal, or the RFC 5952 form with "%zone" (the interface's name).
std::string IpAddressText(const IpAddress &address);
// The socket address of an address (port 0) and its length; 0 for none.
socklen_t ToSocketAddress(const IpAddress &address, sockaddr_storage &out);
IpAddress FromSocketAddress(const sockaddr_storage &from);

// An echo request for that family: type 8 (ICMP) or 128 (ICMPv6), code 0, the
// identifier and sequence, then the payload. ICMP's checksum is filled in; the
// kernel fills in ICMPv6's, which covers addresses only it knows.
void BuildEchoRequest(int family, uint16_t id, uint16_t sequence, const void *payload,
                      size_t payloadSize, std::vector<unsigned char> &packet);

// One datagram read from an ICMP or ICMPv6 socket into `buffer`: its size (-1 on an
// error, with errno), who sent it, the TTL or hop limit the system gave beside it
// (IP_RECVTTL, IPV6_RECVHOPLIMIT; -1 when none), and the kernel's receive time
// (SO_TIMESTAMPNS, CLOCK_REALTIME in ns; -1 when none). With errorQueue, one report
// of the socket's error queue (IP_RECVERR / IPV6_RECVERR) instead: the payload is
// our own request as sent, `error` says what happened and `from` is the offender.
struct IcmpDatagram {
    ssize_t size = -1;
    sockaddr_storage from{};
    int ttl = -1;
    int64_t kernelTimeNs = -1;
    bool queuedError = false; // an error-queue report was read
    sock_extended_err error{};
};
IcmpDatagram ReceiveIcmp(int fd, unsigned char *buffer, size_t size, bool errorQueue = false);

enum class IcmpKind {
    None,             // nothing that answers an echo request
    EchoReply,
    Unreachable,      // destination unreachable; code is the ICMP / ICMPv6 code
    TimeExceeded,     // code 0 in transit, 1 in reassembly
    PacketTooBig,     // ICMPv6 packet too big (IPv4's "fragmentation needed" is Unreachable 4)
    ParameterProblem,
    SourceQuench,     // IPv4 only
    LocalError,       // the system refused the echo; code is the errno
};

struct IcmpAnswer {
    IcmpKind kind = IcmpKind::None;
    int code = 0;
    uint16_t id = 0;        // of the echo request it answers or quotes
    uint16_t sequence = 0;
    bool idChecked = false; // the kernel matched the identifier (datagram sockets)
    IpAddress from;         // the target, a router on the way, or this host
    int ttl = -1;           // of an echo reply
    size_t dataSize = 0;    // an echo reply's payload
};

// What a datagram read with ReceiveIcmp from an echo socket of this family is.
// `raw`: a raw socket (an IPv4 one delivers the IP header first, and sees every
// ICMP message of the host). A message that answers no echo request is None.
IcmpAnswer ClassifyIcmp(int family, bool raw, const IcmpDatagram &datagram,
                        const unsigned char *buffer);

// Whether an answer belongs to our request: the sequence always, the identifier
// where the kernel did not already check it, and for an echo reply the address it
// was sent to (on a raw socket every echo reply of the host arrives).
bool AnswersEcho(const IcmpAnswer &answer, uint16_t id, uint16_t sequence, const IpAddress &to);

// The status number of the echo service for an answer (0 for a reply), from the
// ICMP or ICMPv6 type and code or the errno of a local error:
//   IPv4  unreachable net/host/protocol/port 11002/11003/11004/11005, fragmentation
//         needed 11009, other codes 11050; time exceeded 11013; parameter problem
//         11015; source quench 11016.
//   IPv6  unreachable: no route, beyond scope, reject route 11002; address
//         unreachable 11003; administratively prohibited, source policy 11004;
//         port 11005; other codes 11050. Packet too big 11009. Time exceeded in
//         transit 11013, in reassembly 11014. Parameter problem 11015.
//   Local errors: no route (ENETUNREACH, EHOSTUNREACH) 11003, too big (EMSGSIZE)
//         11009, anything else 11050.
uint32_t EchoStatusOf(int family, IcmpKind kind, int code);

// The status numbers the echo reports besides those of EchoStatusOf.
inline constexpr uint32_t EchoTimedOut = 11010;
inline constexpr uint32_t EchoGeneralFailure = 11050;

} // namespace netvane::platform
