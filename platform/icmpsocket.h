#pragma once
// One ICMP echo on Linux: an ICMP datagram socket where net.ipv4.ping_group_range
// allows it, else a raw socket (root or CAP_NET_RAW). The answer is given in the
// status numbers of the echo service the program was designed for:
//   0 reply, 11010 no reply in time, 11002..11005 destination net/host/protocol/port
//   unreachable, 11009 fragmentation needed, 11013 time exceeded, 11015 parameter
//   problem, 11016 source quench, 11003 a local "no route" send error, 11050 anything
//   else (including a socket that cannot be opened).
// While waiting for the reply the caller's event loop keeps running in short slices,
// so a window never freezes for the length of the time-out.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace netvane::platform {

struct EchoResult {
    quint32 status = 11050;
    quint32 replyAddress = 0; // network order, as the echo service reports it
    quint32 roundTripMs = 0;
    quint16 dataSize = 0;
    quint8 ttl = 0;
};

enum class EchoSocketKind { Automatic, Datagram, Raw };

// The one address rule of the program, shared by the target list and the echo:
// blanks removed, four parts, each one or more decimal digits with a value of 0-255
// (leading zeros stay decimal, never octal). Returns the address in host order, or
// nothing.
std::optional<quint32> ParseDottedQuad(const QString &text);
// The plain dotted form of a host-order address: 192.168.1.1.
QString DottedQuadText(quint32 address);

// Sends one echo request with the given payload to a host-order address and waits
// up to timeoutMs for its answer.
EchoResult IcmpEcho(quint32 address, const QByteArray &payload, int timeoutMs);

// Tests and benchmarks may pin the kind of socket; Automatic tries datagram first.
void SetEchoSocketKind(EchoSocketKind kind);

// Opens an echo socket and closes it again, so that a test learns before its first
// echo whether any can be sent: empty when one opens, else EchoSocketProblem().
QString CheckEchoSocket();

// Empty while echo sockets can be opened; otherwise a one-paragraph explanation of
// how to allow them, for the program to show once.
QString EchoSocketProblem();

} // namespace netvane::platform
