#pragma once
// The echoes of a path run, on a thread of their own with one echo engine (one ICMP
// and one ICMPv6 socket) for every target. Per target it first finds the hops:
// `probesPerHop` hop-limited echoes for every hop limit up to the maximum, all in
// flight at once, so that a load-balanced hop shows each of its routers; the target
// is the first hop limit its own reply came back for. Then every interval it sends
// one hop-limited echo to each hop before the target and one plain echo to the
// target, and hands the round back once all of them have settled. A hop answering
// from a router it had not shown, or the target answering before its hop, is a route
// change: that round is dropped and the target's hops are found again.
//
// The owner (PathRun) takes the items on its own thread; the prober never touches the
// figures, the log or a window.

#include "platform/echoengine.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace netvane {

struct PathPlan {
    QList<platform::IpAddress> targets;
    int intervalMs = 1000;
    int timeoutMs = 1000;
    int size = 32;
    int maxHops = 30;
    int probesPerHop = 3;
    int rounds = 0;           // per target; 0 until stopped
    int discoveriesAtOnce = 8; // targets whose hops are being found at the same time
};

struct PathItem {
    enum Kind { Discovered, Round, RouteChanged, Finished };
    Kind kind = Round;
    int target = -1;
    qint64 whenMs = 0;           // ms since the epoch: of the discovery, the round's sending
    QList<QStringList> hops;     // Discovered: per hop its routers, the target last
    QList<qint32> latenciesUs;   // Round: per hop, -1 for lost
    int hop = 0;                 // RouteChanged: the hop
    QString address;             // RouteChanged: who answered for it now
};

// How well the prober kept its interval.
struct PathCadence {
    qint64 ticks = 0;
    double elapsedMs = 0; // from the first tick to the last
    double maxLateMs = 0;
};

class PathProber final
{
public:
    // `itemsWaiting` is called on the prober's thread when items wait in an empty queue.
    explicit PathProber(std::function<void()> itemsWaiting);
    ~PathProber();
    PathProber(const PathProber &) = delete;
    PathProber &operator=(const PathProber &) = delete;

    void start(PathPlan plan);
    // No echo is sent after this; what is in flight is abandoned. Returns once the
    // prober has seen it.
    void stop();
    std::vector<PathItem> take();
    PathCadence cadence() const;

private:
    struct Probe {
        int target = 0;
        int generation = 0;
        int ttl = 0;             // discovery: the hop limit
        qint64 round = -1;       // probing: the round's key
        int hopIndex = 0;        // probing: the hop's index
    };
    struct Round {
        int target = 0;
        qint64 whenMs = 0;
        QList<qint32> latencies;
        int waiting = 0;
    };
    struct Target {
        platform::IpAddress address;
        enum Phase { Queued, Discovering, Probing, Done } phase = Queued;
        int generation = 0;
        int discoveryWaiting = 0;
        int discoveryPasses = 0;
        std::vector<std::vector<platform::IpAddress>> seen; // per hop limit, discovery
        std::vector<bool> reached;                          // per hop limit: the target replied
        std::vector<std::vector<platform::IpAddress>> hops; // the hops found, the target last
        int rounds = 0;
    };

    void run();
    // Every echo in flight called off and every target forgotten.
    void forgetAll();
    void begin();
    void discover(int target);
    void sendDiscovery(int target, int ttl);
    void finishDiscovery(int target);
    void tick();
    void settle(const platform::EchoOutcome &outcome);
    void routeChanged(int target, int hop, const platform::IpAddress &from);
    void push(PathItem item);
    uint64_t nextTag(const Probe &probe);

    std::function<void()> m_itemsWaiting;
    mutable std::mutex m_mutex; // guards what is below, up to the thread's own
    std::condition_variable m_changed;
    std::vector<PathItem> m_items;
    std::unique_ptr<PathPlan> m_newPlan;
    bool m_stopRequested = false, m_stopSeen = false;
    PathCadence m_cadence;
    std::atomic<bool> m_quit{false};

    std::unique_ptr<platform::EchoEngine> m_engine; // made once; wake() from any thread

    // The thread's own.
    PathPlan m_plan;
    std::vector<Target> m_targets;
    std::deque<int> m_discoveryQueue;
    int m_discovering = 0;
    std::map<uint64_t, Probe> m_probes;
    std::map<qint64, Round> m_rounds;
    qint64 m_nextRound = 0;
    uint64_t m_tag = 0;
    std::string m_payload;
    bool m_running = false;
    bool m_finishedTold = false;
    platform::SteadyTime m_due{}, m_firstTick{};

    std::thread m_thread;
};

} // namespace netvane
