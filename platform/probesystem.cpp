#include "platform/probesystem.h"

#include "platform/icmpwire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <netdb.h>
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

extern char **environ;

namespace netvane::probesys {

namespace {

using Clock = std::chrono::steady_clock;

struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) ::close(fd); }
};

} // namespace

bool parseAddress(const std::string &text, unsigned *hostOrder)
{
    uint32_t address = 0;
    if (!platform::ParseDottedQuadText(text, address))
        return false;
    *hostOrder = address;
    return true;
}

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
    unsigned target = 0;
    if (!parseAddress(address, &target))
        return echo;
    Fd s;
    bool datagram = true;
    s.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (s.fd >= 0) {
        const int on = 1;
        ::setsockopt(s.fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    } else {
        datagram = false;
        s.fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (s.fd < 0)
            return echo;
    }

    const unsigned short id = static_cast<unsigned short>(::getpid());
    static unsigned short sequence = 0;
    const unsigned short seq = ++sequence;
    std::string packet(sizeof(icmphdr), '\0');
    packet += payload;
    auto *icmp = reinterpret_cast<icmphdr *>(packet.data());
    icmp->type = ICMP_ECHO;
    icmp->un.echo.id = htons(id); // a datagram socket puts its own id here
    icmp->un.echo.sequence = htons(seq);
    icmp->checksum = htons(platform::IcmpChecksum(reinterpret_cast<const unsigned char *>(packet.data()),
                                    packet.size()));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target);
    const auto sent = Clock::now();
    if (::sendto(s.fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr *>(&to),
                 sizeof to) < 0)
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
        const unsigned char *reply = buffer;
        size_t length = size_t(got.size);
        unsigned ttl = datagram && got.ttl >= 0 ? unsigned(got.ttl) : 0;
        if (!datagram) {
            const auto *ip = reinterpret_cast<const iphdr *>(buffer);
            const size_t ipLength = size_t(ip->ihl) * 4;
            if (length < ipLength + sizeof(icmphdr) || ip->saddr != htonl(target))
                continue;
            ttl = ip->ttl;
            reply += ipLength;
            length -= ipLength;
        }
        if (length < sizeof(icmphdr))
            continue;
        const auto *r = reinterpret_cast<const icmphdr *>(reply);
        if (r->type != ICMP_ECHOREPLY || ntohs(r->un.echo.sequence) != seq
            || (!datagram && ntohs(r->un.echo.id) != id))
            continue;
        echo.answered = true;
        echo.ttl = ttl;
        echo.timeMs = unsigned(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   Clock::now() - sent).count());
        return echo;
    }
}

std::string reverseName(const std::string &address)
{
    unsigned target = 0;
    if (!parseAddress(address, &target))
        return {};
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(target);
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr *>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return {};
    return host;
}

std::string neighbourMac(const std::string &address, const char *table)
{
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
