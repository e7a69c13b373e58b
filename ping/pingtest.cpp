#include "ping/pingtest.h"

#include "ping/latencystats.h"
#include "platform/icmpsocket.h"

#include <QTimer>

#include <limits>

namespace netvane {

std::optional<int> PingsPerSize(const SendSizePlan &plan, qsizetype targetCount)
{
    if (!plan.active())
        return 1;
    const qint64 length = qint64(plan.repeat) * targetCount;
    if (length < 1 || length > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(length);
}

PingTest::PingTest(QObject *parent)
    : QObject(parent), m_timer1(new QTimer(this)), m_timer2(new QTimer(this))
{
    setObjectName(u"PingTest"_qs);
    m_timer1->setObjectName(u"Timer1"_qs);
    m_timer1->setInterval(600);
    m_timer1->setSingleShot(true);
    m_timer2->setObjectName(u"Timer2"_qs);
    m_timer2->setInterval(500);
    connect(m_timer1, &QTimer::timeout, this, &PingTest::timer1Fired);
    connect(m_timer2, &QTimer::timeout, this, &PingTest::FinishPingTest);
}

PingTest::~PingTest()
{
    // The worker goes first: no echo is handed over to a test being taken apart.
    m_worker.reset();
}

EchoWorker &PingTest::worker()
{
    // Made at the first test, so that its sockets live where the tests run (a test
    // may have moved the process into a network namespace of its own).
    if (!m_worker) {
        m_worker = std::make_unique<EchoWorker>([this] {
            QMetaObject::invokeMethod(this, &PingTest::takeSettled, Qt::QueuedConnection);
        });
    }
    return *m_worker;
}

void PingTest::begin(TargetList targets)
{
    m_timer1->stop();
    m_timer2->stop();
    m_targets = std::move(targets);
    m_log.clear();
    // The result file is the log: the echoes are read back from it.
    if (m_store && m_store->isOpen())
        m_log.useResultFile(m_store->path(), m_store->stamp());
    m_stats.reset();
    m_outages.reset(outageAfter);
    m_outages.began = [this](const Outage &o) { Q_EMIT outageBegan(o); };
    m_outages.ended = [this](const Outage &o) { Q_EMIT outageEnded(o); };
    m_stats.currentTarget = m_targets.isEmpty() ? QString() : m_targets.first().address;
    m_stopRequested = false;
    m_finishPending = false;
    // The window refuses a plan whose length does not fit before it gets here.
    m_pingsPerSize = PingsPerSize(sizePlan, m_targets.size()).value_or(1);
    m_testRepeat = repeatPerTarget;
    m_sendSize = sizePlan.active() ? m_sendSize : sizePlan.sizes.value(0, 32);
    m_savedInterval = intervalSequence.active() ? intervalSequence.currentInterval : interval;

    EchoPlan plan;
    plan.targets = m_targets;
    plan.repeat = repeatPerTarget;
    plan.testTimes = testTimes;
    plan.timeoutMs = PingTimeout;
    plan.firstPeriod = m_savedInterval;
    plan.startSize = m_sendSize;
    plan.pingsPerSize = m_pingsPerSize;
    plan.sizePlan = sizePlan;
    plan.intervalSequence = intervalSequence;
    worker().prepare(std::move(plan));
    m_settled.clear();

    m_running = true;
    // Whatever the interval, the first tick comes after 99 ms.
    m_timer1->setInterval(99);
    m_timer1->start();
}

void PingTest::timer1Fired()
{
    if (!m_running || m_stopRequested)
        return;
    m_timer1->setInterval(m_savedInterval);
    worker().startTicking();
}

void PingTest::restore(PingReplyLog &&log, const PingSessionStats &stats, TargetList targets,
                       int pingsPerSize, int repeat, OutageFinder outages)
{
    m_timer1->stop();
    m_timer2->stop();
    if (m_worker)
        m_worker->prepare({});
    m_settled.clear();
    m_running = false;
    m_stopRequested = false;
    m_finishPending = false;
    m_log = std::move(log);
    m_stats = stats;
    m_outages = std::move(outages);
    m_outages.began = m_outages.ended = nullptr; // nothing begins or ends in a test that is over
    m_targets = std::move(targets);
    m_pingsPerSize = pingsPerSize;
    m_testRepeat = repeat;
}

void PingTest::replaceOutages(OutageFinder outages)
{
    if (m_running)
        return;
    m_outages = std::move(outages);
    m_outages.began = m_outages.ended = nullptr;
}

int PingTest::NextSizeSlot()
{
    return worker().nextSizeSlot();
}

bool PingTest::pingInProgress() const
{
    return m_worker && m_worker->unsettled() > 0;
}

SchedulingSlack PingTest::schedulingSlack() const
{
    return m_worker ? m_worker->slack() : SchedulingSlack{};
}

void PingTest::waitFor(int kind)
{
    m_waitingFor = kind;
    while (m_waitingFor >= 0) {
        m_worker->waitForItems(100);
        takeSettled();
    }
}

void PingTest::PingTick()
{
    if (m_inTick || !m_worker || m_worker->isTicking())
        return; // a tick is running: this one is dropped
    m_inTick = true;
    m_worker->runTick();
    waitFor(SettledEcho::TickDone);
    m_inTick = false;
}

void PingTest::Ping_IP(const QString &address)
{
    if (m_stopRequested || !m_running || m_inTick)
        return;
    m_inTick = true;
    m_directAddress = address;
    const auto to = platform::ParseEchoAddress(address.trimmed());
    worker().runEcho(to.value_or(platform::IpAddress{}), m_sendSize);
    waitFor(SettledEcho::EchoDone);
    m_inTick = false;
}

void PingTest::takeSettled()
{
    if (!m_worker)
        return;
    for (SettledEcho &item : m_worker->take())
        m_settled.push_back(std::move(item));
    // One at a time from the front: a stop run from a record (stopDue) takes the
    // newer items behind them, never before them.
    while (!m_settled.empty()) {
        const SettledEcho item = std::move(m_settled.front());
        m_settled.pop_front();
        process(item);
    }
}

void PingTest::process(const SettledEcho &item)
{
    if (item.kind == m_waitingFor)
        m_waitingFor = -1;
    switch (item.kind) {
    case SettledEcho::Echo:
        record(item);
        m_worker->processed();
        finishWhenSettled();
        break;
    case SettledEcho::Abandoned:
        m_worker->processed();
        finishWhenSettled();
        break;
    case SettledEcho::TickDone: {
        if (m_stopRequested)
            break;
        // The sequence's next interval, as the timer would have taken it.
        if (intervalSequence.active())
            intervalSequence.currentInterval = item.period;
        m_timer1->setInterval(item.period);
        // The same rule as the scheduled start: due from the end minute on.
        const bool endReached = m_stopAt && ScheduleDue(m_stopClock(), *m_stopAt);
        if (item.countReached || endReached)
            Q_EMIT stopDue();
        break;
    }
    case SettledEcho::EchoDone:
        break;
    }
}

void PingTest::record(const SettledEcho &item)
{
    if (!m_running)
        return;
    if (!m_stopRequested && item.period > 0)
        m_timer1->setInterval(item.period);
    m_sendSize = item.size;
    m_lastTarget = item.target;
    const QString target = (item.target >= 0 ? m_targets.address(item.target) : m_directAddress).trimmed();
    // A record keeps the address as the result file does: every address whole (an
    // IPv4 one in 15 characters, an IPv6 one in 55); a longer text is one the echo
    // refused.
    const QString recorded = RecordedAddress(target);
    const ReplyRowTexts texts = RecordReply(m_stats, m_log, item.when, recorded, item.size,
                                            item.status, item.reply);
    const int row = int(m_log.size()) - 1;
    const PingReplyRecord echo = m_log.at(row); // in memory until it is marked stored
    // An echo that cannot be stored must not pass as logged: the test stops pinging
    // (the test runs on until Stop) and the owner says why, once.
    const qint64 offset = m_store ? m_store->stamp().size : 0;
    const bool stored = !m_store || m_store->append(ReplyLine(echo, recorded));
    if (stored && m_store)
        m_log.markStored(offset, m_store->stamp());
    const bool firstFailure = !stored && !m_stopRequested;
    if (firstFailure) {
        m_stopRequested = true;
        m_worker->stop(platform::SteadyClock::now() + std::chrono::milliseconds(StopGraceMs));
    }
    Q_EMIT replyRecorded(row, texts);
    m_outages.echo(row, recorded, echo.answered(), EchoSeconds(echo));
    if (firstFailure)
        Q_EMIT failed(u"Cannot write the result file: "_qs + m_store->errorString());
}

void PingTest::setScheduledStop(std::optional<ScheduleMinute> end, Clock clock)
{
    m_stopAt = end;
    m_stopClock = clock ? std::move(clock) : Clock(SystemClock);
}

void PingTest::requestStop()
{
    m_stopRequested = true;
    m_stopAt.reset();
    m_timer1->stop();
    if (intervalSequence.active()) {
        intervalSequence.currentInterval = intervalSequence.from;
        m_timer1->setInterval(intervalSequence.from);
    }
    if (m_worker) {
        m_worker->stop(platform::SteadyClock::now() + std::chrono::milliseconds(StopGraceMs));
        takeSettled(); // the echoes that settled before the stop are the test's last
    }
    if (m_running)
        m_timer2->start();
}

void PingTest::finishWhenSettled()
{
    if (m_finishPending && m_timer2->isActive() && !pingInProgress())
        FinishPingTest();
}

void PingTest::FinishPingTest()
{
    // An echo still in flight is logged (or abandoned) first; the test ends then.
    if (pingInProgress()) {
        m_finishPending = true;
        return;
    }
    m_finishPending = false;
    m_timer2->stop();
    if (m_store)
        m_store->close();
    m_stopRequested = false;
    m_running = false;
    Q_EMIT finished();
}

} // namespace netvane
