#include "platform/probesystem.h"

#include "platform/icmpwire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <csignal>
#include <sys/prctl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace netvane::probesys {

namespace {

using Clock = std::chrono::steady_clock;

struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) ::close(fd); }
};

// The kernel's IPv6 neighbour table (netlink), for one address.
std::string neighbourMac6(const platform::IpAddress &address)
{
    Fd s;
    s.fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (s.fd < 0)
        return {};
    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ndm_family = AF_INET6;
    if (::send(s.fd, &request, request.header.nlmsg_len, 0) < 0)
        return {};
    alignas(nlmsghdr) char buffer[16384];
    std::string mac;
    for (;;) {
        pollfd p{s.fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return mac;
        const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return mac;
        int length = int(n);
        for (auto *h = reinterpret_cast<nlmsghdr *>(buffer); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
            if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR)
                return mac;
            if (h->nlmsg_type != RTM_NEWNEIGH || !mac.empty())
                continue;
            const auto *nd = static_cast<const ndmsg *>(NLMSG_DATA(h));
            if ((nd->ndm_state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP)) || nd->ndm_state == NUD_NONE
                || (address.scope != 0 && uint32_t(nd->ndm_ifindex) != address.scope))
                continue;
            const unsigned char *dst = nullptr, *hw = nullptr;
            size_t hwLength = 0;
            int attributes = int(RTM_PAYLOAD(h));
            for (auto *a = reinterpret_cast<const rtattr *>(reinterpret_cast<const char *>(nd) + NLMSG_ALIGN(sizeof(ndmsg)));
                 RTA_OK(a, attributes); a = RTA_NEXT(a, attributes)) {
                if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == 16)
                    dst = static_cast<const unsigned char *>(RTA_DATA(a));
                else if (a->rta_type == NDA_LLADDR) {
                    hw = static_cast<const unsigned char *>(RTA_DATA(a));
                    hwLength = RTA_PAYLOAD(a);
                }
            }
            if (!dst || !hw || hwLength != 6 || std::memcmp(dst, address.bytes.data(), 16) != 0)
                continue;
            char text[18];
            std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", hw[0], hw[1], hw[2], hw[3],
                          hw[4], hw[5]);
            if (std::string(text) != "00-00-00-00-00-00")
                mac = text;
        }
    }
}

} // namespace

bool canOpenEchoSocket()
{
    for (const int type : {SOCK_DGRAM, SOCK_RAW}) {
        Fd s;
        s.fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (s.fd >= 0)
            return true;
    }
    return false;
}

Echo echoOnce(const std::string &address, const std::string &payload, int timeoutMs)
{
    Echo echo;
    platform::IpAddress target;
    if (!platform::ParseIpAddress(address, target))
        return echo;
    const int family = target.family;
    const int protocol = family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    Fd s;
    bool datagram = true;
    s.fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
    if (s.fd < 0) {
        datagram = false;
        s.fd = ::socket(family, SOCK_RAW | SOCK_CLOEXEC, protocol);
        if (s.fd < 0)
            return echo;
        if (family == AF_INET6) { // only echo replies, not every ICMPv6 message of the host
            icmp6_filter filter;
            ICMP6_FILTER_SETBLOCKALL(&filter);
            ICMP6_FILTER_SETPASS(ICMP6_ECHO_REPLY, &filter);
            ::setsockopt(s.fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
        }
    }
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(s.fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
    else if (datagram) // a raw IPv4 socket reads the TTL from the IP header it delivers
        ::setsockopt(s.fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);

    const unsigned short id = static_cast<unsigned short>(::getpid()); // a datagram socket puts its own
    static unsigned short sequence = 0;
    const unsigned short seq = ++sequence;
    std::vector<unsigned char> packet;
    platform::BuildEchoRequest(family, id, seq, payload.data(), payload.size(), packet);
    sockaddr_storage to{};
    const socklen_t toLength = platform::ToSocketAddress(target, to);
    const auto sent = Clock::now();
    if (::sendto(s.fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr *>(&to), toLength) < 0)
        return echo;

    const auto deadline = sent + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    unsigned char buffer[2048];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - Clock::now()).count();
        if (left < 0)
            return echo;
        pollfd p{s.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return echo;
        if (!(p.revents & POLLIN))
            return echo; // an error report: no answer
        const platform::IcmpDatagram got = platform::ReceiveIcmp(s.fd, buffer, sizeof buffer);
        if (got.size <= 0)
            continue;
        const platform::IcmpAnswer answer = platform::ClassifyIcmp(family, !datagram, got, buffer);
        if (answer.kind != platform::IcmpKind::EchoReply || !platform::AnswersEcho(answer, id, seq, target))
            continue;
        echo.answered = true;
        echo.ttl = answer.ttl >= 0 ? unsigned(answer.ttl) : 0;
        echo.timeMs = unsigned(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   Clock::now() - sent).count());
        return echo;
    }
}

std::string reverseName(const std::string &address)
{
    platform::IpAddress target;
    if (!platform::ParseIpAddress(address, target))
        return {};
    sockaddr_storage sa{};
    const socklen_t length = platform::ToSocketAddress(target, sa);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr *>(&sa), length, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return {};
    return host;
}

std::string neighbourMac(const std::string &address, const char *table)
{
    platform::IpAddress v6;
    if (platform::ParseIpAddress(address, v6) && v6.family == AF_INET6)
        return neighbourMac6(v6);
    FILE *file = std::fopen(table, "re");
    if (!file)
        return {};
    char line[512];
    std::string mac;
    // "IP address  HW type  Flags  HW address  Mask  Device"; flags 0 is incomplete.
    while (std::fgets(line, sizeof line, file)) {
        char ip[64], type[32], flags[32], hw[64];
        if (std::sscanf(line, "%63s %31s %31s %63s", ip, type, flags, hw) != 4)
            continue;
        if (address != ip || std::strtoul(flags, nullptr, 16) == 0)
            continue;
        std::string text(hw);
        if (text.size() != 17 || text == "00:00:00:00:00:00")
            continue;
        for (char &c : text)
            c = c == ':' ? '-' : char(std::toupper(static_cast<unsigned char>(c)));
        mac = text;
        break;
    }
    std::fclose(file);
    return mac;
}

bool sendToChannel(const std::string &name, const std::string &datagram)
{
    Fd s;
    s.fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s.fd < 0)
        return false;
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    if (name.size() + 1 > sizeof to.sun_path)
        return false;
    std::memcpy(to.sun_path + 1, name.data(), name.size()); // abstract: a leading NUL
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    for (;;) {
        const ssize_t n = ::sendto(s.fd, datagram.data(), datagram.size(), 0,
                                   reinterpret_cast<sockaddr *>(&to), length);
        if (n < 0 && errno == EINTR)
            continue;
        return n == ssize_t(datagram.size());
    }
}

bool startCopyOfSelf(const std::string &argument)
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    self[n] = '\0';
    std::string arg = argument;
    char *argv[] = {self, arg.data(), nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, self, nullptr, nullptr, argv, environ) == 0;
}

void endWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void yieldOnce()
{
    ::sched_yield();
}

} // namespace netvane::probesys
