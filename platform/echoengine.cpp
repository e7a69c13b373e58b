#include "platform/echoengine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace netvane::platform {

namespace {

std::atomic<EchoSocketKind> g_kind{EchoSocketKind::Automatic};
std::atomic<bool> g_socketFailed{false};
std::atomic<uint16_t> g_engines{0};

constexpr size_t ReceiveBufferSize = 65536;

void setOn(int fd, int level, int option)
{
    const int on = 1;
    ::setsockopt(fd, level, option, &on, sizeof on);
}

// Raw sockets see every ICMP message of the host: only echo replies and the errors
// that may quote our requests are let through.
void filterRaw(int fd, int family)
{
    if (family == AF_INET6) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                         ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
            ICMP6_FILTER_SETPASS(type, &filter);
        ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    } else {
        icmp_filter filter{};
        filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH)
                        | (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
}

int64_t clockNs(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

void SetDefaultEchoSocketKind(EchoSocketKind kind)
{
    g_kind = kind;
}

EchoSocketKind DefaultEchoSocketKind()
{
    return g_kind;
}

bool EchoSocketFailed()
{
    return g_socketFailed;
}

uint32_t EchoOutcome::roundTripMs() const
{
    if (received <= sent)
        return 0;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(received - sent).count();
    return uint32_t(std::min<int64_t>(ms, UINT32_MAX));
}

EchoEngine::EchoEngine(EchoSocketKind kind)
    : m_kind(kind), m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_buffer(ReceiveBufferSize)
{
    // Raw sockets share the host's echo replies: each engine answers to its own identifier.
    m_id = uint16_t(uint16_t(::getpid() ^ 0x5a5a) + uint16_t(g_engines++ * 4099u));
}

EchoEngine::~EchoEngine()
{
    for (Socket *s : {&m_v4, &m_v6}) {
        if (s->fd >= 0)
            ::close(s->fd);
    }
    if (m_wake >= 0)
        ::close(m_wake);
}

bool EchoEngine::open(int family)
{
    if (family != AF_INET && family != AF_INET6)
        return false;
    Socket &s = socketOf(family);
    if (s.fd >= 0)
        return true;
    const int protocol = family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    if (m_kind != EchoSocketKind::Raw) {
        s.fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
        s.datagram = s.fd >= 0;
    }
    if (s.fd < 0 && m_kind != EchoSocketKind::Datagram) {
        s.fd = ::socket(family, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
        if (s.fd >= 0)
            filterRaw(s.fd, family);
    }
    g_socketFailed = s.fd < 0;
    if (s.fd < 0)
        return false;
    if (family == AF_INET6) {
        setOn(s.fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT);
        if (s.datagram)
            setOn(s.fd, IPPROTO_IPV6, IPV6_RECVERR);
    } else if (s.datagram) {
        // A raw IPv4 socket reads the TTL from the IP header it delivers.
        setOn(s.fd, IPPROTO_IP, IP_RECVTTL);
        setOn(s.fd, IPPROTO_IP, IP_RECVERR);
    }
    // The kernel's receive time: a busy machine may wake us late, the time stays right.
    setOn(s.fd, SOL_SOCKET, SO_TIMESTAMPNS);
    return true;
}

bool EchoEngine::isDatagram(int family) const
{
    const Socket &s = family == AF_INET6 ? m_v6 : m_v4;
    return s.fd >= 0 && s.datagram;
}

void EchoEngine::settleAtOnce(const EchoRequest &request, uint32_t status, IcmpKind kind, int code)
{
    EchoOutcome o;
    o.tag = request.tag;
    o.kind = kind;
    o.code = code;
    o.status = status;
    o.sent = o.received = SteadyClock::now();
    m_settledAtOnce.push_back(o);
}

void EchoEngine::send(const EchoRequest &request)
{
    const int family = request.to.family;
    if (!request.to.valid() || !open(family)) {
        settleAtOnce(request, EchoGeneralFailure, IcmpKind::None, 0);
        return;
    }
    Socket &s = socketOf(family);
    const Key high = Key(family == AF_INET6 ? 6 : 4) << 16;
    for (int tries = 0; tries < 65536 && m_pending.count(high | ++m_sequence); ++tries) {
    }
    const Key key = high | m_sequence;
    BuildEchoRequest(family, m_id, m_sequence, request.payload.data(), request.payload.size(), m_packet);
    if (request.hopLimit != s.hopLimit) {
        const int value = request.hopLimit > 0 ? request.hopLimit : -1; // -1: the default
        if (family == AF_INET6)
            ::setsockopt(s.fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &value, sizeof value);
        else
            ::setsockopt(s.fd, IPPROTO_IP, IP_TTL, &value, sizeof value);
        s.hopLimit = request.hopLimit;
    }
    sockaddr_storage to{};
    const socklen_t toLength = ToSocketAddress(request.to, to);
    SteadyTime sent;
    ssize_t n = -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sent = SteadyClock::now();
        n = ::sendto(s.fd, m_packet.data(), m_packet.size(), 0, reinterpret_cast<sockaddr *>(&to), toLength);
        // On a datagram socket an error that an earlier echo drew is left pending and
        // fails the next send once (the report itself waits on the error queue): one
        // more try tells it from an error of this echo.
        if (n >= 0 || !s.datagram || errno == EINVAL)
            break;
    }
    if (n < 0) {
        const int error = errno;
        settleAtOnce(request, EchoStatusOf(family, IcmpKind::LocalError, error), IcmpKind::LocalError, error);
        return;
    }
    Pending p;
    p.tag = request.tag;
    p.to = request.to;
    p.sequence = m_sequence;
    p.sent = sent;
    p.deadline = sent + std::chrono::milliseconds(std::max(request.timeoutMs, 0));
    m_pending[key] = p;
    m_byTag[request.tag] = key;
    m_deadlines.insert({p.deadline, key});
}

void EchoEngine::forget(std::unordered_map<Key, Pending>::iterator it)
{
    m_deadlines.erase({it->second.deadline, it->first});
    m_byTag.erase(it->second.tag);
    m_pending.erase(it);
}

void EchoEngine::cancel(uint64_t tag)
{
    if (const auto byTag = m_byTag.find(tag); byTag != m_byTag.end()) {
        if (const auto it = m_pending.find(byTag->second); it != m_pending.end())
            forget(it);
        else
            m_byTag.erase(byTag);
    }
    std::erase_if(m_settledAtOnce, [tag](const EchoOutcome &o) { return o.tag == tag; });
}

void EchoEngine::cancelAll()
{
    m_pending.clear();
    m_byTag.clear();
    m_deadlines.clear();
    m_settledAtOnce.clear();
}

void EchoEngine::settle(Key key, const IcmpAnswer &answer, SteadyTime when,
                        std::vector<EchoOutcome> &settled)
{
    const auto it = m_pending.find(key);
    if (it == m_pending.end())
        return;
    const int family = (key >> 16) == 6 ? AF_INET6 : AF_INET;
    EchoOutcome o;
    o.tag = it->second.tag;
    o.kind = answer.kind;
    o.code = answer.code;
    o.status = EchoStatusOf(family, answer.kind, answer.code);
    if (answer.kind != IcmpKind::LocalError)
        o.from = answer.from;
    o.sent = it->second.sent;
    o.received = std::max(when, o.sent);
    if (answer.kind == IcmpKind::EchoReply) {
        o.ttl = answer.ttl;
        o.dataSize = answer.dataSize;
    }
    settled.push_back(o);
    forget(it);
}

void EchoEngine::drain(Socket &socket, int family, bool errorQueue, std::vector<EchoOutcome> &settled)
{
    if (socket.fd < 0)
        return;
    const Key high = Key(family == AF_INET6 ? 6 : 4) << 16;
    for (;;) {
        const IcmpDatagram d = ReceiveIcmp(socket.fd, m_buffer.data(), m_buffer.size(), errorQueue);
        if (d.size < 0)
            return; // nothing more (EAGAIN) or an error that reading cannot mend
        if (m_pending.empty())
            continue;
        const IcmpAnswer answer = ClassifyIcmp(family, !socket.datagram, d, m_buffer.data());
        const auto it = m_pending.find(high | answer.sequence);
        if (it == m_pending.end() || !AnswersEcho(answer, m_id, answer.sequence, it->second.to))
            continue;
        SteadyTime when = SteadyClock::now();
        if (d.kernelTimeNs > 0) {
            // The kernel stamps on the real-time clock: step back from now by its age.
            const int64_t age = clockNs(CLOCK_REALTIME) - d.kernelTimeNs;
            if (age > 0 && age < int64_t(60) * 1000000000)
                when -= std::chrono::nanoseconds(age);
        }
        settle(it->first, answer, when, settled);
    }
}

void EchoEngine::expire(SteadyTime now, std::vector<EchoOutcome> &settled)
{
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const auto it = m_pending.find(m_deadlines.begin()->second);
        if (it == m_pending.end()) {
            m_deadlines.erase(m_deadlines.begin());
            continue;
        }
        EchoOutcome o;
        o.tag = it->second.tag;
        o.status = EchoTimedOut;
        o.sent = it->second.sent;
        o.received = it->second.deadline;
        settled.push_back(o);
        forget(it);
    }
}

size_t EchoEngine::poll(SteadyTime until, std::vector<EchoOutcome> &settled)
{
    const size_t before = settled.size();
    settled.insert(settled.end(), m_settledAtOnce.begin(), m_settledAtOnce.end());
    m_settledAtOnce.clear();
    bool woken = false;
    for (;;) {
        for (const int family : {AF_INET, AF_INET6}) {
            Socket &s = socketOf(family);
            if (s.datagram)
                drain(s, family, true, settled);
            drain(s, family, false, settled);
        }
        SteadyTime now = SteadyClock::now();
        expire(now, settled);
        if (settled.size() > before || woken)
            return settled.size() - before;
        SteadyTime wakeAt = until;
        if (!m_deadlines.empty())
            wakeAt = std::min(wakeAt, m_deadlines.begin()->first);
        if (wakeAt <= now) {
            if (until <= now)
                return 0;
            continue; // a deadline came: it expires on the next round
        }
        pollfd fds[3] = {{m_wake, POLLIN, 0}, {m_v4.fd, POLLIN, 0}, {m_v6.fd, POLLIN, 0}};
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::min<SteadyClock::duration>(wakeAt - now, std::chrono::hours(1)))
                              .count();
        const timespec timeout{time_t(wait / 1000000000), long(wait % 1000000000)};
        const int ready = ::ppoll(fds, 3, &timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return settled.size() - before;
        for (int i = 1; i < 3; ++i) {
            // The pending error itself would wake every poll: take it off (the report
            // of a datagram socket stays on its error queue, read on the next round).
            if (fds[i].revents & POLLERR) {
                int error = 0;
                socklen_t length = sizeof error;
                ::getsockopt(fds[i].fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            uint64_t count = 0;
            while (::read(m_wake, &count, sizeof count) > 0) {
            }
            woken = true; // one more reading round, then back to the caller
        }
    }
}

void EchoEngine::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
}

} // namespace netvane::platform
