#include "platform/icmpwire.h"

#include <cstring>
#include <sys/socket.h>

namespace netvane::platform {

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

IcmpDatagram ReceiveIcmp(int fd, unsigned char *buffer, size_t size)
{
    IcmpDatagram d;
    unsigned char control[256];
    iovec iov{buffer, size};
    msghdr msg{};
    msg.msg_name = &d.from;
    msg.msg_namelen = sizeof d.from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    d.size = ::recvmsg(fd, &msg, 0);
    if (d.size < 0)
        return d;
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
            std::memcpy(&d.ttl, CMSG_DATA(c), sizeof d.ttl);
    }
    return d;
}

} // namespace netvane::platform
