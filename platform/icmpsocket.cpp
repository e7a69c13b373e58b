#include "platform/icmpsocket.h"

#include "platform/icmpwire.h"

#include "platform/events.h"

#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace netvane::platform {

namespace {

EchoSocketKind g_kind = EchoSocketKind::Automatic;
std::atomic<quint16> g_sequence{0};
bool g_socketFailed = false;

// The window keeps processing events while we wait; this is the longest it waits
// between two rounds of events.
constexpr int PollSliceMs = 10;


quint32 statusForIcmp(int type, int code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH: return 11002;
        case ICMP_HOST_UNREACH: return 11003;
        case ICMP_PROT_UNREACH: return 11004;
        case ICMP_PORT_UNREACH: return 11005;
        case ICMP_FRAG_NEEDED: return 11009;
        default: return 11050;
        }
    case ICMP_TIME_EXCEEDED: return 11013;
    case ICMP_PARAMETERPROB: return 11015;
    case ICMP_SOURCE_QUENCH: return 11016;
    default: return 11050;
    }
}

quint32 statusForSendError(int error)
{
    switch (error) {
    case ENETUNREACH:
    case EHOSTUNREACH:
        return 11003;
    case EMSGSIZE:
        return 11009;
    default:
        return 11050;
    }
}

struct Socket {
    int fd = -1;
    bool datagram = false;
    ~Socket() { if (fd >= 0) ::close(fd); }
};

bool openSocket(Socket &s)
{
    if (g_kind != EchoSocketKind::Raw) {
        s.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
        if (s.fd >= 0) {
            s.datagram = true;
            const int on = 1;
            ::setsockopt(s.fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
            ::setsockopt(s.fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
            return true;
        }
    }
    if (g_kind != EchoSocketKind::Datagram) {
        s.fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
        if (s.fd >= 0) {
            s.datagram = false;
            return true;
        }
    }
    return false;
}

using Clock = std::chrono::steady_clock;

quint32 elapsedMs(Clock::time_point sent)
{
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
}

// An ICMP error that quotes our request: the quoted ICMP header starts after the
// quoted IP header.
bool quotesOurRequest(const unsigned char *quoted, size_t length, quint16 id, quint16 seq, bool checkId)
{
    if (length < sizeof(iphdr))
        return false;
    const auto *ip = reinterpret_cast<const iphdr *>(quoted);
    const size_t ipLength = size_t(ip->ihl) * 4;
    if (length < ipLength + 8)
        return false;
    const auto *icmp = reinterpret_cast<const icmphdr *>(quoted + ipLength);
    return icmp->type == ICMP_ECHO && ntohs(icmp->un.echo.sequence) == seq
           && (!checkId || ntohs(icmp->un.echo.id) == id);
}

// Reads one datagram from the socket. Returns true when it settled the echo.
bool readDatagramReply(const Socket &s, quint16 seq, Clock::time_point sent, EchoResult &result)
{
    unsigned char buffer[65536];
    const platform::IcmpDatagram got = platform::ReceiveIcmp(s.fd, buffer, sizeof buffer);
    const ssize_t n = got.size;
    if (n < ssize_t(sizeof(icmphdr)))
        return false;
    const auto *icmp = reinterpret_cast<const icmphdr *>(buffer);
    if (icmp->type != ICMP_ECHOREPLY || ntohs(icmp->un.echo.sequence) != seq)
        return false;
    result.status = 0;
    result.roundTripMs = elapsedMs(sent);
    result.replyAddress = got.from.sin_addr.s_addr;
    result.dataSize = quint16(n - ssize_t(sizeof(icmphdr)));
    if (got.ttl >= 0)
        result.ttl = quint8(got.ttl);
    return true;
}

// Datagram sockets report ICMP errors and late local errors on the error queue.
bool readDatagramError(const Socket &s, quint16 seq, EchoResult &result)
{
    unsigned char buffer[1024];
    unsigned char control[512];
    sockaddr_in from{};
    iovec iov{buffer, sizeof buffer};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(s.fd, &msg, MSG_ERRQUEUE);
    if (n < 0)
        return false;
    // The payload is our own request as sent.
    if (n >= ssize_t(sizeof(icmphdr))) {
        const auto *icmp = reinterpret_cast<const icmphdr *>(buffer);
        if (ntohs(icmp->un.echo.sequence) != seq)
            return false;
    }
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
            continue;
        const auto *err = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
        if (err->ee_origin == SO_EE_ORIGIN_ICMP) {
            result.status = statusForIcmp(err->ee_type, err->ee_code);
            const sockaddr *offender = SO_EE_OFFENDER(err);
            if (offender->sa_family == AF_INET)
                result.replyAddress = reinterpret_cast<const sockaddr_in *>(offender)->sin_addr.s_addr;
        } else {
            result.status = statusForSendError(int(err->ee_errno));
        }
        return true;
    }
    return false;
}

bool readRawReply(const Socket &s, quint16 id, quint16 seq, quint32 target, Clock::time_point sent,
                  EchoResult &result)
{
    unsigned char buffer[65536];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(s.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from),
                                 &fromLength);
    if (n < ssize_t(sizeof(iphdr)))
        return false;
    const auto *ip = reinterpret_cast<const iphdr *>(buffer);
    const size_t ipLength = size_t(ip->ihl) * 4;
    if (size_t(n) < ipLength + sizeof(icmphdr))
        return false;
    const auto *icmp = reinterpret_cast<const icmphdr *>(buffer + ipLength);
    if (icmp->type == ICMP_ECHOREPLY) {
        if (ntohs(icmp->un.echo.id) != id || ntohs(icmp->un.echo.sequence) != seq
            || ip->saddr != htonl(target))
            return false;
        result.status = 0;
        result.roundTripMs = elapsedMs(sent);
        result.replyAddress = ip->saddr;
        result.ttl = ip->ttl;
        result.dataSize = quint16(size_t(n) - ipLength - sizeof(icmphdr));
        return true;
    }
    if (icmp->type == ICMP_DEST_UNREACH || icmp->type == ICMP_TIME_EXCEEDED
        || icmp->type == ICMP_PARAMETERPROB || icmp->type == ICMP_SOURCE_QUENCH) {
        const size_t quotedAt = ipLength + sizeof(icmphdr);
        if (!quotesOurRequest(buffer + quotedAt, size_t(n) - quotedAt, id, seq, true))
            return false;
        result.status = statusForIcmp(icmp->type, icmp->code);
        result.replyAddress = ip->saddr;
        return true;
    }
    return false;
}

} // namespace

std::optional<quint32> ParseDottedQuad(const QString &input)
{
    uint32_t address = 0;
    if (!platform::ParseDottedQuadText(input.toUtf8().toStdString(), address))
        return std::nullopt;
    return address;
}

QString DottedQuadText(quint32 address)
{
    return QString::fromStdString(platform::DottedQuadString(address));
}

void SetEchoSocketKind(EchoSocketKind kind)
{
    g_kind = kind;
}

QString EchoSocketProblem()
{
    if (!g_socketFailed)
        return {};
    return QStringLiteral(
        "Netvane cannot open an ICMP socket, so every echo fails with \"ip general failure\".\n\n"
        "Allow ICMP echo sockets for your group, for example:\n"
        "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
        "or give the program the raw-socket capability:\n"
        "    sudo setcap cap_net_raw+ep <path to netvane>");
}

QString CheckEchoSocket()
{
    Socket s;
    g_socketFailed = !openSocket(s);
    return EchoSocketProblem();
}

EchoResult IcmpEcho(quint32 address, const QByteArray &payload, int timeoutMs)
{
    EchoResult result;
    Socket s;
    if (!openSocket(s)) {
        g_socketFailed = true;
        result.status = 11050;
        return result;
    }
    g_socketFailed = false;

    const quint16 seq = ++g_sequence;
    const quint16 id = quint16(::getpid() ^ 0x5a5a);
    QByteArray packet(int(sizeof(icmphdr)), '\0');
    packet += payload;
    auto *icmp = reinterpret_cast<icmphdr *>(packet.data());
    icmp->type = ICMP_ECHO;
    icmp->code = 0;
    icmp->un.echo.id = htons(id); // the kernel sets its own id on datagram sockets
    icmp->un.echo.sequence = htons(seq);
    icmp->checksum = htons(platform::IcmpChecksum(reinterpret_cast<const unsigned char *>(packet.constData()),
                                    size_t(packet.size())));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    const auto sent = Clock::now();
    if (::sendto(s.fd, packet.constData(), size_t(packet.size()), 0,
                 reinterpret_cast<const sockaddr *>(&to), sizeof to) < 0) {
        result.status = statusForSendError(errno);
        return result;
    }

    const auto deadline = sent + std::chrono::milliseconds(qMax(timeoutMs, 0));
    for (;;) {
        const auto now = Clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        pollfd p{s.fd, POLLIN, 0};
        const int wait = int(qBound<qint64>(0, qint64(left), qint64(PollSliceMs)));
        const int ready = ::poll(&p, 1, wait);
        if (ready > 0) {
            bool settled = false;
            if (p.revents & POLLERR) {
                if (s.datagram) {
                    settled = readDatagramError(s, seq, result);
                } else {
                    int error = 0;
                    socklen_t length = sizeof error;
                    ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length);
                    if (error != 0) {
                        result.status = statusForSendError(error);
                        settled = true;
                    }
                }
            }
            if (!settled && (p.revents & POLLIN))
                settled = s.datagram ? readDatagramReply(s, seq, sent, result)
                                     : readRawReply(s, id, seq, address, sent, result);
            if (settled)
                return result;
            continue; // someone else's packet: keep waiting
        }
        if (Clock::now() >= deadline)
            break;
        LetWindowCatchUp();
    }
    result.status = 11010;
    return result;
}

} // namespace netvane::platform
