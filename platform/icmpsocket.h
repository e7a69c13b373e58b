#pragma once
// One ICMP or ICMPv6 echo, waited for: the engine of platform/echoengine.h with one
// request in flight, while the caller's event loop keeps running in short slices so
// that a window never freezes for the length of the time-out. The answer is given in
// the status numbers of the echo service the program was designed for (the list in
// platform/icmpwire.h); a socket that cannot be opened gives 11050.

#include "platform/echoengine.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace netvane::platform {

struct EchoResult {
    quint32 status = EchoGeneralFailure;
    quint32 replyAddress = 0; // an IPv4 answer's address, network order, as the echo service reports it
    IpAddress from;           // who answered, of either family
    quint32 roundTripMs = 0;
    quint16 dataSize = 0;
    quint8 ttl = 0;           // TTL or hop limit of a reply
};

// The one address rule of the program, shared by the target list and the echo:
// blanks removed, four parts, each one or more decimal digits with a value of 0-255
// (leading zeros stay decimal, never octal). Returns the address in host order, or
// nothing.
std::optional<quint32> ParseDottedQuad(const QString &text);
// The plain dotted form of a host-order address: 192.168.1.1.
QString DottedQuadText(quint32 address);
// An echo's address: IPv4 by the rule above, or an IPv6 literal (ParseIpAddress).
std::optional<IpAddress> ParseEchoAddress(const QString &text);

// Sends one echo request with the given payload and waits up to timeoutMs for its
// answer.
EchoResult IcmpEcho(const IpAddress &address, const QByteArray &payload, int timeoutMs);

// Tests and benchmarks may pin the kind of socket; Automatic tries datagram first.
inline void SetEchoSocketKind(EchoSocketKind kind) { SetDefaultEchoSocketKind(kind); }

// Opens an echo socket and closes it again, so that a test learns before its first
// echo whether any can be sent: empty when one opens, else EchoSocketProblem().
QString CheckEchoSocket();

// Empty while echo sockets can be opened; otherwise a one-paragraph explanation of
// how to allow them, for the program to show once.
QString EchoSocketProblem();

} // namespace netvane::platform
