#include "ping/echoworker.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace netvane {

using platform::SteadyClock;
using platform::SteadyTime;
using namespace std::chrono_literals;

namespace {

// Settled echoes the owner has not taken yet, at most.
constexpr size_t MaxWaiting = 4096;

// A tick delivered this late (or later) starts the schedule afresh instead of making
// up the ticks it missed in a burst: a slow echo or a long pause, not a wake-up that
// came a little late.
std::chrono::nanoseconds restartAfter(int periodMs)
{
    return std::max<std::chrono::nanoseconds>(std::chrono::milliseconds(periodMs) * 5, 50ms);
}

size_t slackBucket(qint64 ns)
{
    const qint64 us = ns / 1000;
    if (us < 1000)
        return size_t(std::max<qint64>(us, 0));
    return size_t(std::min<qint64>(1000 + (us - 1000) / 100, 1999));
}

double bucketMs(size_t bucket)
{
    return bucket < 1000 ? double(bucket) / 1000.0 : 1.0 + double(bucket - 1000) / 10.0;
}

} // namespace

int SizeCursor::next()
{
    const int used = m_used++;
    if (used == m_pingsPerSize) {
        ++m_slot;
        m_used = 1;
    }
    if (m_slot >= m_count)
        m_slot = 0;
    return m_slot;
}

EchoWorker::EchoWorker(std::function<void()> itemsWaiting)
    : m_itemsWaiting(std::move(itemsWaiting)), m_engine(std::make_unique<platform::EchoEngine>())
{
    m_thread = std::thread([this] { run(); });
}

EchoWorker::~EchoWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_engine->wake();
    }
    m_changed.notify_all();
    m_thread.join();
}

void EchoWorker::post(Command command, bool wait)
{
    std::unique_lock lock(m_mutex);
    m_commands.push_back(std::move(command));
    const quint64 ticket = ++m_posted;
    m_engine->wake();
    if (wait)
        m_changed.wait(lock, [&] { return m_done >= ticket; });
}

void EchoWorker::prepare(EchoPlan plan)
{
    // Whatever the last test left in flight goes at once.
    stop(SteadyClock::now());
    Command c;
    c.kind = Command::Prepare;
    c.plan = std::move(plan);
    post(std::move(c), true);
    const std::lock_guard lock(m_mutex);
    m_items.clear();
    m_unsettled = 0;
}

void EchoWorker::startTicking()
{
    post({Command::StartTicking, {}, {}, 0}, false);
}

void EchoWorker::runTick()
{
    post({Command::Tick, {}, {}, 0}, false);
}

void EchoWorker::runEcho(const platform::IpAddress &to, int size)
{
    post({Command::Echo, {}, to, size}, false);
}

void EchoWorker::stop(SteadyTime graceEnd)
{
    std::unique_lock lock(m_mutex);
    m_requestedGraceEnd = graceEnd;
    m_stopSeen = false;
    m_stopPending = true;
    m_engine->wake();
    m_changed.notify_all(); // a worker waiting for room in the queue goes on
    // The worker answers within a wake-up; the bound only keeps a stuck system from
    // holding the window.
    m_changed.wait_for(lock, 200ms, [this] { return m_stopSeen; });
}

int EchoWorker::nextSizeSlot()
{
    const std::lock_guard lock(m_mutex);
    return m_sizes.next();
}

std::vector<SettledEcho> EchoWorker::take()
{
    std::vector<SettledEcho> items;
    {
        const std::lock_guard lock(m_mutex);
        items.swap(m_items);
    }
    m_changed.notify_all();
    return items;
}

void EchoWorker::waitForItems(int ms)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_items.empty(); });
}

void EchoWorker::push(const SettledEcho &item)
{
    bool wasEmpty = false;
    {
        // Echoes that fail at once (a range without a route) settle faster than the
        // owner records them: the worker waits rather than queueing millions.
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_items.size() < MaxWaiting || m_stopPending || m_quit; });
        wasEmpty = m_items.empty();
        m_items.push_back(item);
    }
    m_changed.notify_all();
    if (wasEmpty && m_itemsWaiting)
        m_itemsWaiting();
}

void EchoWorker::acknowledgeStop()
{
    const std::lock_guard lock(m_mutex);
    m_stopPending = false;
    m_halted = true;
    m_ticking = false;
    m_graceEnd = m_requestedGraceEnd;
    m_stopSeen = true;
    m_changed.notify_all();
}

void EchoWorker::run()
{
    std::vector<platform::EchoOutcome> stray; // answers of echoes no longer waited for
    for (;;) {
        if (m_quit)
            return;
        if (m_stopPending)
            acknowledgeStop();
        std::optional<Command> command;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_commands.empty()) {
                command = std::move(m_commands.front());
                m_commands.pop_front();
            }
        }
        if (command) {
            execute(*command);
            const std::lock_guard lock(m_mutex);
            ++m_done;
            m_changed.notify_all();
            continue;
        }
        const SteadyTime now = SteadyClock::now();
        if (m_ticking && now >= m_due) {
            scheduledTick();
            continue;
        }
        m_engine->poll(m_ticking ? m_due : now + 1h, stray);
        stray.clear();
    }
}

void EchoWorker::execute(Command &command)
{
    switch (command.kind) {
    case Command::Prepare: {
        auto engine = std::make_unique<platform::EchoEngine>();
        {
            const std::lock_guard lock(m_mutex);
            m_engine.swap(engine);
            const SendSizePlan &sizes = command.plan.sizePlan;
            m_sizes = SizeCursor(command.plan.pingsPerSize, sizes.active() ? sizes.count : 1);
            m_slackCounts.fill(0);
            m_slackTicks = 0;
            m_slackMaxNs = 0;
        }
        m_plan = std::move(command.plan);
        m_payload.assign(size_t(std::max(m_plan.startSize, 0)), ' ');
        m_halted = false;
        m_firstTick = true;
        m_period = m_plan.firstPeriod;
        m_tickCounter = 1;
        m_sent = 0;
        m_graceEnd = SteadyTime::max();
        m_ticking = false;
        break;
    }
    case Command::StartTicking:
        if (!m_halted) {
            m_due = SteadyClock::now();
            m_ticking = true;
        }
        break;
    case Command::Tick:
        tick(std::nullopt);
        break;
    case Command::Echo: {
        if (!halted())
            echoOnce(-1, command.to, command.size, m_period, std::nullopt);
        SettledEcho done;
        done.kind = SettledEcho::EchoDone;
        push(done);
        break;
    }
    }
}

void EchoWorker::scheduledTick()
{
    const SteadyTime due = m_due;
    const int period = m_period;
    tick(due);
    if (!m_ticking)
        return; // stopped, or the test count is reached
    const SteadyTime now = SteadyClock::now();
    // A changed period starts its own schedule from the end of this tick.
    SteadyTime next = m_period == period ? due + std::chrono::milliseconds(m_period)
                                         : now + std::chrono::milliseconds(m_period);
    // Ticks that a late wake-up missed are made up at once; after a longer delay the
    // schedule starts again now rather than bursting.
    if (now - next > restartAfter(m_period))
        next = now;
    m_due = next;
}

void EchoWorker::tick(std::optional<SteadyTime> due)
{
    if (m_firstTick) {
        m_firstTick = false;
        m_period = m_plan.firstPeriod;
    }
    const int period = m_period;
    const SendSizePlan &sizes = m_plan.sizePlan;
    qint64 sent = 0;
    for (qsizetype i = 0; i < m_plan.targets.size() && !halted(); ++i) {
        int size = int(m_payload.size());
        if (sizes.active()) {
            size = sizes.sizeAt(nextSizeSlot());
            if (size != int(m_payload.size()))
                m_payload.assign(size_t(std::max(size, 0)), ' ');
        }
        const platform::IpAddress to = m_plan.targets.echoAddress(i);
        for (int r = 0; r < m_plan.repeat && !halted(); ++r) {
            echoOnce(i, to, size, period, sent == 0 ? due : std::nullopt);
            ++sent;
        }
    }

    IntervalSequence &seq = m_plan.intervalSequence;
    if (seq.active() && seq.currentInterval != 1 && m_tickCounter == seq.repeat) {
        // The checks refuse steps that leave the 32-bit range; the sum is kept wide anyway.
        seq.currentInterval = int(std::clamp(qint64(seq.currentInterval) + seq.increment,
                                             qint64(std::numeric_limits<int>::min()),
                                             qint64(std::numeric_limits<int>::max())));
        if ((seq.increment > 0 && seq.currentInterval >= seq.to)
            || (seq.increment <= 0 && seq.currentInterval <= seq.to)
            || seq.currentInterval < 1) // an end below 1 ms would stop the ticks
            seq.currentInterval = 1; // the rest of the test runs at 1 ms
        m_period = seq.currentInterval;
    }
    if (++m_tickCounter > seq.repeat)
        m_tickCounter = 1;

    m_sent += sent;
    const qint64 perPass = qint64(m_plan.repeat) * m_plan.targets.size();
    SettledEcho done;
    done.kind = SettledEcho::TickDone;
    done.period = m_period;
    done.countReached = m_plan.testTimes > 0 && perPass > 0 && m_sent / perPass >= m_plan.testTimes;
    // The test ends at this tick: no echo goes out before the owner's stop.
    if (done.countReached)
        m_ticking = false;
    push(done);
}

void EchoWorker::echoOnce(qsizetype target, const platform::IpAddress &to, int size, int period,
                          std::optional<SteadyTime> due)
{
    ++m_unsettled;
    SettledEcho e;
    e.target = target;
    e.size = size;
    e.period = period;
    if (!to.valid()) { // no address: nothing is sent ("inet_addr: bad IP format")
        e.status = -1;
        e.when = QDateTime::currentDateTime();
        push(e);
        return;
    }
    platform::EchoRequest request;
    request.to = to;
    request.payload = m_payload;
    request.timeoutMs = m_plan.timeoutMs;
    request.tag = ++m_tag;
    m_engine->send(request);
    if (due)
        recordSlack(SteadyClock::now() - *due);

    std::vector<platform::EchoOutcome> settled;
    for (;;) {
        m_engine->poll(m_graceEnd, settled);
        if (!settled.empty())
            break;
        if (m_quit) {
            m_engine->cancel(request.tag);
            return;
        }
        if (m_stopPending) {
            acknowledgeStop(); // whatever had arrived was read by the poll above
            continue;
        }
        if (SteadyClock::now() >= m_graceEnd) {
            m_engine->cancel(request.tag);
            e.kind = SettledEcho::Abandoned;
            push(e);
            return;
        }
    }
    const platform::EchoOutcome &o = settled.front();
    e.when = QDateTime::currentDateTime();
    e.status = qint32(o.status);
    e.reply.status = o.status;
    if (o.from.family == AF_INET)
        std::memcpy(&e.reply.address, o.from.bytes.data(), 4);
    if (o.status == 0) {
        e.reply.roundTripTime = o.roundTripMs();
        e.reply.dataSize = quint16(std::min<size_t>(o.dataSize, 65535));
        e.reply.ttl = quint8(std::clamp(o.ttl, 0, 255));
    }
    push(e);
}

void EchoWorker::recordSlack(std::chrono::nanoseconds late)
{
    const qint64 ns = std::max<qint64>(late.count(), 0);
    const std::lock_guard lock(m_mutex);
    ++m_slackCounts[slackBucket(ns)];
    ++m_slackTicks;
    m_slackMaxNs = std::max(m_slackMaxNs, ns);
}

SchedulingSlack EchoWorker::slack() const
{
    const std::lock_guard lock(m_mutex);
    SchedulingSlack s;
    s.ticks = m_slackTicks;
    s.maxMs = double(m_slackMaxNs) / 1e6;
    const auto percentile = [&](double p) {
        const qint64 rank = qint64(p * double(m_slackTicks - 1));
        qint64 seen = 0;
        for (size_t b = 0; b < m_slackCounts.size(); ++b) {
            seen += m_slackCounts[b];
            if (seen > rank)
                return bucketMs(b);
        }
        return s.maxMs;
    };
    if (m_slackTicks > 0) {
        s.p50Ms = percentile(0.50);
        s.p99Ms = percentile(0.99);
    }
    return s;
}

} // namespace netvane
