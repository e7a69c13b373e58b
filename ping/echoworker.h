#pragma once
// The echoes of a ping test, sent and received on a thread of their own, so that
// their timing never waits for a window that is busy painting. PingTest hands over
// the test's plan; the worker walks the ticks on its own clock -- every target in
// order, `repeat` echoes each, one echo at a time, the send-size plan, the interval
// sequence with its steps, the test count -- and hands every settled echo, and the
// end of every tick, to the owner's thread in order. The owner records them; the
// worker never touches the log, the statistics or the result file.
//
// A stop lets the echo in flight settle for a grace period, then abandons it.

#include "iplist/targetlist.h"
#include "ping/sequences.h"
#include "platform/echoengine.h"
#include "probe/echoprobe.h"

#include <QDateTime>

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace netvane {

// What a test runs with, fixed at its start.
struct EchoPlan {
    TargetList targets;
    int repeat = 1;        // echoes per target per tick
    int testTimes = 0;     // passes; 0 runs until stopped
    int timeoutMs = 500;
    int firstPeriod = 600; // ms between ticks from the first tick on
    int startSize = 32;
    int pingsPerSize = 1;
    SendSizePlan sizePlan;
    IntervalSequence intervalSequence;
};

struct SettledEcho {
    enum Kind : quint8 {
        Echo,      // an echo settled (answered, refused, failed or timed out)
        Abandoned, // a stop gave up on the echo in flight: its outcome is not known
        TickDone,  // the end of a tick
        EchoDone,  // the end of an echo asked for by runEcho
    };
    Kind kind = Echo;
    qsizetype target = -1; // its index in the plan's targets; -1 for runEcho's address
    int size = 0;          // send size
    qint32 status = 0;
    EchoReply reply;
    QDateTime when;        // when it settled
    int period = 0;        // Echo: the tick period it was sent in; TickDone: the next one
    bool countReached = false; // TickDone: the test has made its passes
};

// How late the ticks' first echoes went out against when they were due.
struct SchedulingSlack {
    qint64 ticks = 0;
    double p50Ms = 0, p99Ms = 0, maxMs = 0;
};

// The size slot of each target visit of a size sequence: each size value serves
// `pingsPerSize` consecutive visits, and the values repeat from the first.
class SizeCursor final
{
public:
    SizeCursor(int pingsPerSize = 1, int count = 1) : m_pingsPerSize(pingsPerSize), m_count(count) {}
    int next();

private:
    int m_pingsPerSize;
    int m_count;
    int m_slot = 0;
    int m_used = 0;
};

class EchoWorker final
{
public:
    // `itemsWaiting` is called on the worker's thread when settled echoes wait in an
    // empty queue: the owner then take()s them on its own thread.
    explicit EchoWorker(std::function<void()> itemsWaiting);
    ~EchoWorker();
    EchoWorker(const EchoWorker &) = delete;
    EchoWorker &operator=(const EchoWorker &) = delete;

    // A new test: abandons whatever the last one left, takes the plan and an echo
    // socket of the kind pinned now. Returns once the worker has it.
    void prepare(EchoPlan plan);
    // The first tick now, the next ones on the worker's clock.
    void startTicking();
    bool isTicking() const { return m_ticking; }
    // One tick now (its items end with TickDone); one echo to an address of the
    // owner's (EchoDone follows its item).
    void runTick();
    void runEcho(const platform::IpAddress &to, int size);
    // No echo is sent after this; the one in flight settles by graceEnd or is
    // abandoned then. Returns once the worker has seen it, with every echo that had
    // settled by then queued.
    void stop(platform::SteadyTime graceEnd);
    // The size cursor of the test (shared with its ticks).
    int nextSizeSlot();

    // The settled echoes in order; the worker waits while more than a few thousand
    // are not taken.
    std::vector<SettledEcho> take();
    // Waits up to ms for items to take.
    void waitForItems(int ms);
    // Echoes sent whose outcome the owner has not processed yet.
    int unsettled() const { return m_unsettled; }
    void processed() { --m_unsettled; }
    SchedulingSlack slack() const;

private:
    struct Command {
        enum Kind { Prepare, StartTicking, Tick, Echo } kind = Tick;
        EchoPlan plan;
        platform::IpAddress to;
        int size = 0;
    };

    void post(Command command, bool wait);
    void run();
    void execute(Command &command);
    void acknowledgeStop();
    bool halted() const { return m_halted || m_stopPending || m_quit; }
    void scheduledTick();
    void tick(std::optional<platform::SteadyTime> due);
    void echoOnce(qsizetype target, const platform::IpAddress &to, int size, int period,
                  std::optional<platform::SteadyTime> due);
    void push(const SettledEcho &item);
    void recordSlack(std::chrono::nanoseconds late);

    std::function<void()> m_itemsWaiting;

    mutable std::mutex m_mutex; // guards everything below up to the thread
    std::condition_variable m_changed;
    std::deque<Command> m_commands;
    std::vector<SettledEcho> m_items;
    quint64 m_posted = 0, m_done = 0; // commands
    bool m_stopSeen = false;
    platform::SteadyTime m_requestedGraceEnd{};
    SizeCursor m_sizes;
    std::array<quint32, 2000> m_slackCounts{}; // 1 us steps to 1 ms, then 0.1 ms to 100 ms
    qint64 m_slackTicks = 0;
    qint64 m_slackMaxNs = 0;
    std::unique_ptr<platform::EchoEngine> m_engine; // replaced under the lock, used by the thread

    std::atomic<bool> m_stopPending{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_ticking{false};
    std::atomic<int> m_unsettled{0};

    // The worker thread's own.
    EchoPlan m_plan;
    std::string m_payload;
    bool m_halted = false;
    bool m_firstTick = true;
    int m_period = 600;
    int m_tickCounter = 1;
    qint64 m_sent = 0;
    quint64 m_tag = 0;
    platform::SteadyTime m_due{};
    platform::SteadyTime m_graceEnd = platform::SteadyTime::max();

    std::thread m_thread;
};

} // namespace netvane
