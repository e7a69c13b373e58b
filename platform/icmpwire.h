#pragma once
// What the program's three ICMP senders share: the echo in the window, the tracert
// command and the scan probe program. Plain C++ without Qt, so the two small
// programs can compile it in without linking the core library.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <netinet/in.h>
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

// One datagram read from an ICMP socket into `buffer`: its size (-1 on an error,
// with errno), who sent it, and the TTL the system gave beside it (IP_RECVTTL), -1
// when it gave none.
struct IcmpDatagram {
    ssize_t size = -1;
    sockaddr_in from{};
    int ttl = -1;
};
IcmpDatagram ReceiveIcmp(int fd, unsigned char *buffer, size_t size);

} // namespace netvane::platform
