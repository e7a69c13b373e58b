#include "traceroute/pathprober.h"

#include <QDateTime>

#include <algorithm>

namespace netvane {

using platform::EchoOutcome;
using platform::IcmpKind;
using platform::IpAddress;
using platform::SteadyClock;
using platform::SteadyTime;
using namespace std::chrono_literals;

namespace {
QString text(const IpAddress &address)
{
    return QString::fromStdString(platform::IpAddressText(address));
}

qint32 latencyUs(const EchoOutcome &o)
{
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(o.received - o.sent).count();
    return qint32(std::clamp<qint64>(us, 0, 3'600'000'000LL));
}
} // namespace

PathProber::PathProber(std::function<void()> itemsWaiting)
    : m_itemsWaiting(std::move(itemsWaiting)), m_engine(std::make_unique<platform::EchoEngine>())
{
    m_thread = std::thread([this] { run(); });
}

PathProber::~PathProber()
{
    m_quit = true;
    m_engine->wake();
    m_changed.notify_all();
    m_thread.join();
}

void PathProber::start(PathPlan plan)
{
    stop();
    {
        const std::lock_guard lock(m_mutex);
        m_items.clear();
        m_cadence = {};
        m_newPlan = std::make_unique<PathPlan>(std::move(plan));
    }
    m_engine->wake();
}

void PathProber::stop()
{
    std::unique_lock lock(m_mutex);
    m_newPlan.reset();
    m_stopRequested = true;
    m_stopSeen = false;
    m_engine->wake();
    m_changed.wait_for(lock, 500ms, [this] { return m_stopSeen; });
}

std::vector<PathItem> PathProber::take()
{
    const std::lock_guard lock(m_mutex);
    std::vector<PathItem> items;
    items.swap(m_items);
    return items;
}

PathCadence PathProber::cadence() const
{
    const std::lock_guard lock(m_mutex);
    return m_cadence;
}

void PathProber::push(PathItem item)
{
    bool wasEmpty = false;
    {
        const std::lock_guard lock(m_mutex);
        wasEmpty = m_items.empty();
        m_items.push_back(std::move(item));
    }
    if (wasEmpty && m_itemsWaiting)
        m_itemsWaiting();
}

uint64_t PathProber::nextTag(const Probe &probe)
{
    const uint64_t tag = ++m_tag;
    m_probes.emplace(tag, probe);
    return tag;
}

void PathProber::run()
{
    std::vector<EchoOutcome> settled;
    while (!m_quit) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopRequested) {
                m_stopRequested = false;
                m_running = false;
                forgetAll();
                m_stopSeen = true;
                m_changed.notify_all();
            }
            if (m_newPlan) {
                m_plan = std::move(*m_newPlan);
                m_newPlan.reset();
                begin();
            }
        }
        SteadyTime now = SteadyClock::now();
        if (m_running) {
            while (m_discovering < m_plan.discoveriesAtOnce && !m_discoveryQueue.empty()) {
                const int t = m_discoveryQueue.front();
                m_discoveryQueue.pop_front();
                discover(t);
            }
            if (now >= m_due) {
                tick();
                now = SteadyClock::now();
            }
        }
        settled.clear();
        m_engine->poll(m_running ? m_due : now + 1h, settled);
        for (const EchoOutcome &o : settled)
            settle(o);
        if (m_running && !m_finishedTold && m_plan.rounds > 0 && m_rounds.empty()
            && std::all_of(m_targets.begin(), m_targets.end(),
                           [](const Target &t) { return t.phase == Target::Done; })) {
            m_finishedTold = true;
            m_running = false;
            PathItem done;
            done.kind = PathItem::Finished;
            push(done);
        }
    }
}

void PathProber::forgetAll()
{
    m_engine->cancelAll();
    m_probes.clear();
    m_rounds.clear();
    m_targets.clear();
    m_discoveryQueue.clear();
    m_discovering = 0;
}

void PathProber::begin()
{
    forgetAll();
    m_payload.assign(size_t(std::clamp(m_plan.size, 0, 65500)), ' ');
    m_plan.maxHops = std::clamp(m_plan.maxHops, 1, 255);
    m_plan.probesPerHop = std::clamp(m_plan.probesPerHop, 1, 16);
    m_plan.intervalMs = std::max(m_plan.intervalMs, 1);
    for (qsizetype i = 0; i < m_plan.targets.size(); ++i) {
        Target t;
        t.address = m_plan.targets[i];
        m_targets.push_back(t);
        m_discoveryQueue.push_back(int(i));
    }
    m_running = true;
    m_finishedTold = false;
    m_due = SteadyClock::now();
    m_firstTick = {};
}

void PathProber::discover(int target)
{
    Target &t = m_targets[size_t(target)];
    t.phase = Target::Discovering;
    ++t.generation;
    t.seen.assign(size_t(m_plan.maxHops), {});
    t.reached.assign(size_t(m_plan.maxHops), false);
    t.discoveryWaiting = 0;
    t.discoveryPasses = 1;
    ++m_discovering;
    for (int round = 0; round < m_plan.probesPerHop; ++round)
        for (int ttl = 1; ttl <= m_plan.maxHops; ++ttl)
            sendDiscovery(target, ttl);
}

void PathProber::sendDiscovery(int target, int ttl)
{
    Target &t = m_targets[size_t(target)];
    Probe p;
    p.target = target;
    p.generation = t.generation;
    p.ttl = ttl;
    platform::EchoRequest r;
    r.to = t.address;
    r.payload = m_payload;
    r.hopLimit = ttl;
    r.timeoutMs = m_plan.timeoutMs;
    r.tag = nextTag(p);
    ++t.discoveryWaiting;
    m_engine->send(r);
}

void PathProber::finishDiscovery(int target)
{
    Target &t = m_targets[size_t(target)];
    int length = 0;
    for (int i = 0; i < m_plan.maxHops; ++i) {
        if (t.reached[size_t(i)]) {
            length = i + 1;
            break;
        }
    }
    const bool reached = length > 0;
    // A hop before the farthest that answered got no answer at all: on a lossy path
    // that may be chance (the hop would be taken for a silent router, or the target's
    // own hop for one beyond it), so those hop limits are tried again, twice at most.
    int farthest = length;
    for (int i = 0; !reached && i < m_plan.maxHops; ++i)
        if (!t.seen[size_t(i)].empty())
            farthest = i + 1;
    if (t.discoveryPasses < 3) {
        for (int i = 0; i + 1 < farthest; ++i)
            if (t.seen[size_t(i)].empty() && !t.reached[size_t(i)])
                for (int n = 0; n < m_plan.probesPerHop; ++n)
                    sendDiscovery(target, i + 1);
        if (t.discoveryWaiting > 0) {
            ++t.discoveryPasses;
            return;
        }
    }
    --m_discovering;
    if (!reached) {
        // The target did not answer: the hops that did, then the target's own row.
        for (int i = 0; i < m_plan.maxHops; ++i)
            if (!t.seen[size_t(i)].empty())
                length = i + 1;
        length = std::min(length + 1, m_plan.maxHops);
    }
    t.hops.assign(t.seen.begin(), t.seen.begin() + length);
    t.hops.back().clear();
    if (reached)
        t.hops.back().push_back(t.address);
    PathItem item;
    item.kind = PathItem::Discovered;
    item.target = target;
    item.whenMs = QDateTime::currentMSecsSinceEpoch();
    for (const auto &hop : t.hops) {
        QStringList routers;
        for (const IpAddress &a : hop)
            routers << text(a);
        item.hops << routers;
    }
    t.phase = Target::Probing;
    push(std::move(item));
}

void PathProber::tick()
{
    const SteadyTime now = SteadyClock::now();
    {
        const std::lock_guard lock(m_mutex);
        if (m_cadence.ticks == 0)
            m_firstTick = m_due;
        else
            m_cadence.maxLateMs = std::max(m_cadence.maxLateMs,
                                           std::chrono::duration<double, std::milli>(now - m_due).count());
        ++m_cadence.ticks;
        m_cadence.elapsedMs = std::chrono::duration<double, std::milli>(now - m_firstTick).count();
    }
    const qint64 wallMs = QDateTime::currentMSecsSinceEpoch();
    for (size_t ti = 0; ti < m_targets.size(); ++ti) {
        Target &t = m_targets[ti];
        if (t.phase != Target::Probing)
            continue;
        if (m_plan.rounds > 0 && t.rounds >= m_plan.rounds) {
            t.phase = Target::Done;
            continue;
        }
        ++t.rounds;
        const qint64 key = m_nextRound++;
        Round &round = m_rounds[key];
        round.target = int(ti);
        round.whenMs = wallMs;
        round.latencies = QList<qint32>(qsizetype(t.hops.size()), -1);
        round.waiting = int(t.hops.size());
        for (size_t h = 0; h < t.hops.size(); ++h) {
            const bool last = h + 1 == t.hops.size();
            Probe p;
            p.target = int(ti);
            p.generation = t.generation;
            p.round = key;
            p.hopIndex = int(h);
            platform::EchoRequest r;
            r.to = t.address;
            r.payload = m_payload;
            r.hopLimit = last ? 0 : int(h + 1);
            r.timeoutMs = m_plan.timeoutMs;
            r.tag = nextTag(p);
            m_engine->send(r);
        }
    }
    // The next tick on the schedule; after a long stall the schedule starts afresh
    // rather than sending the missed rounds in a burst.
    m_due += std::chrono::milliseconds(m_plan.intervalMs);
    if (SteadyClock::now() - m_due > std::chrono::milliseconds(m_plan.intervalMs) * 5)
        m_due = SteadyClock::now() + std::chrono::milliseconds(m_plan.intervalMs);
}

void PathProber::routeChanged(int target, int hop, const IpAddress &from)
{
    Target &t = m_targets[size_t(target)];
    PathItem item;
    item.kind = PathItem::RouteChanged;
    item.target = target;
    item.whenMs = QDateTime::currentMSecsSinceEpoch();
    item.hop = hop;
    item.address = from.valid() ? text(from) : QString();
    push(std::move(item));
    // Its rounds in flight belong to the old path: they are dropped.
    for (auto it = m_rounds.begin(); it != m_rounds.end();) {
        if (it->second.target == target)
            it = m_rounds.erase(it);
        else
            ++it;
    }
    ++t.generation; // answers still to come for the old path are ignored
    t.phase = Target::Queued;
    m_discoveryQueue.push_back(target);
}

void PathProber::settle(const EchoOutcome &o)
{
    const auto found = m_probes.find(o.tag);
    if (found == m_probes.end())
        return;
    const Probe p = found->second;
    m_probes.erase(found);
    if (size_t(p.target) >= m_targets.size())
        return;
    Target &t = m_targets[size_t(p.target)];
    if (p.round < 0) { // discovery
        if (p.generation != t.generation || t.phase != Target::Discovering)
            return;
        const size_t i = size_t(p.ttl - 1);
        if (o.kind == IcmpKind::EchoReply && o.from == t.address)
            t.reached[i] = true;
        else if (o.kind == IcmpKind::TimeExceeded && o.from.valid()
                 && std::find(t.seen[i].begin(), t.seen[i].end(), o.from) == t.seen[i].end())
            t.seen[i].push_back(o.from);
        if (--t.discoveryWaiting == 0)
            finishDiscovery(p.target);
        return;
    }
    const auto r = m_rounds.find(p.round);
    if (r == m_rounds.end() || p.generation != t.generation)
        return;
    Round &round = r->second;
    const bool last = size_t(p.hopIndex) + 1 == t.hops.size();
    const auto &known = t.hops[size_t(p.hopIndex)];
    if (last) {
        if (o.kind == IcmpKind::EchoReply)
            round.latencies[p.hopIndex] = latencyUs(o);
        else if (o.kind == IcmpKind::TimeExceeded && !known.empty()) {
            // The path got longer than the hop limit reached.
            routeChanged(p.target, p.hopIndex + 1, o.from);
            return;
        }
    } else if (o.kind == IcmpKind::TimeExceeded) {
        if (known.empty() && o.from.valid()) {
            // A hop silent while its hops were found answers now (a router that limits
            // its time-exceeded): it is learnt, not a change of route.
            t.hops[size_t(p.hopIndex)].push_back(o.from);
            PathItem item;
            item.kind = PathItem::Discovered;
            item.target = p.target;
            item.whenMs = QDateTime::currentMSecsSinceEpoch();
            for (const auto &hop : t.hops) {
                QStringList routers;
                for (const IpAddress &a : hop)
                    routers << text(a);
                item.hops << routers;
            }
            push(std::move(item));
        } else if (std::find(known.begin(), known.end(), o.from) == known.end()) {
            routeChanged(p.target, p.hopIndex + 1, o.from);
            return;
        }
        round.latencies[p.hopIndex] = latencyUs(o);
    } else if (o.kind == IcmpKind::EchoReply) {
        // The target answered before the hop limit ran out: a shorter path.
        routeChanged(p.target, p.hopIndex + 1, o.from);
        return;
    }
    if (--round.waiting == 0) {
        PathItem item;
        item.kind = PathItem::Round;
        item.target = round.target;
        item.whenMs = round.whenMs;
        item.latenciesUs = round.latencies;
        m_rounds.erase(r);
        push(std::move(item));
    }
}

} // namespace netvane
