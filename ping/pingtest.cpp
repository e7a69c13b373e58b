#include "ping/pingtest.h"

#include <QTimer>

#include <algorithm>
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
    // Intervals go down to 1 ms; a coarse timer would stretch them.
    m_timer1->setTimerType(Qt::PreciseTimer);
    m_timer2->setObjectName(u"Timer2"_qs);
    m_timer2->setInterval(500);
    connect(m_timer1, &QTimer::timeout, this, &PingTest::timer1Fired);
    connect(m_timer2, &QTimer::timeout, this, &PingTest::FinishPingTest);
}

void PingTest::applyStartingSize()
{
    if (!sizePlan.active())
        m_sendSize = sizePlan.sizes.value(0, 32);
    m_sendData = QByteArray(m_sendSize, ' ');
}

void PingTest::begin(const QList<PingTarget> &targets)
{
    m_timer1->stop();
    m_timer2->stop();
    m_targets = targets;
    m_log.clear();
    // The result file is the log: the echoes are read back from it.
    if (m_store && m_store->isOpen())
        m_log.useResultFile(m_store->path(), m_store->stamp());
    m_stats.reset();
    m_stats.currentTarget = targets.isEmpty() ? QString() : targets.first().address;
    m_stopRequested = false;
    m_pingInProgress = false;
    m_firstTick = true;
    m_tickCounter = 1;
    m_sizeSlot = 0;
    m_sizeUseCount = 0;
    // The window refuses a plan whose length does not fit before it gets here.
    m_pingsPerSize = PingsPerSize(sizePlan, targets.size()).value_or(1);
    m_testRepeat = repeatPerTarget;
    applyStartingSize();
    m_savedInterval = intervalSequence.active() ? intervalSequence.currentInterval : interval;
    m_running = true;
    m_scheduled = false;
    m_clock.start();
    // Whatever the interval, the first tick comes after 99 ms.
    m_timer1->setInterval(99);
    m_timer1->start();
}

void PingTest::timer1Fired()
{
    // Qt delivers a millisecond timer a fraction of a millisecond late now and then,
    // and a late delivery moves the whole schedule back: at a 1 ms interval that loses
    // about one tick in ten. A tick delivered more than half a period late is followed
    // at once by the one it missed. After a longer delay (a slow echo, a busy window)
    // the schedule starts afresh rather than bursting.
    const qint64 now = m_clock.nsecsElapsed();
    const int interval = m_timer1->interval();
    const qint64 period = qint64(interval) * 1000000;
    m_due = m_scheduled ? m_due + period : now;
    qint64 late = now - m_due;
    if (late >= 5 * period || late <= -5 * period) {
        m_due = now;
        late = 0;
    }
    m_scheduled = true;
    PingTick();
    if (late > period / 2 && m_timer1->isActive() && m_timer1->interval() == interval
        && !m_stopRequested) {
        m_due += period;
        PingTick();
    }
    // A changed interval restarts the timer's schedule; ours follows.
    if (!m_timer1->isActive() || m_timer1->interval() != interval)
        m_scheduled = false;
}

void PingTest::restore(PingReplyLog &&log, const PingSessionStats &stats,
                       const QList<PingTarget> &targets, int pingsPerSize, int repeat)
{
    m_timer1->stop();
    m_timer2->stop();
    m_running = false;
    m_stopRequested = false;
    m_pingInProgress = false;
    m_log = std::move(log);
    m_stats = stats;
    m_targets = targets;
    m_pingsPerSize = pingsPerSize;
    m_testRepeat = repeat;
}

int PingTest::NextSizeSlot()
{
    const int used = m_sizeUseCount++;
    if (used == m_pingsPerSize) {
        ++m_sizeSlot;
        m_sizeUseCount = 1;
    }
    if (m_sizeSlot >= sizePlan.count)
        m_sizeSlot = 0;
    return m_sizeSlot;
}

void PingTest::PingTick()
{
    if (m_inTick)
        return; // the previous tick is still pinging: this one is dropped
    m_inTick = true;
    if (m_firstTick) {
        m_firstTick = false;
        m_timer1->setInterval(m_savedInterval);
    }
    for (const PingTarget &target : std::as_const(m_targets)) {
        if (m_stopRequested)
            break;
        if (sizePlan.active()) {
            const int size = sizePlan.sizeAt(NextSizeSlot());
            if (size != m_sendSize) {
                m_sendSize = size;
                m_sendData = QByteArray(size, ' ');
            }
        }
        for (int r = 0; r < repeatPerTarget; ++r)
            Ping_IP(target.address);
    }

    IntervalSequence &seq = intervalSequence;
    if (seq.active() && seq.currentInterval != 1 && m_tickCounter == seq.repeat) {
        // The checks refuse steps that leave the 32-bit range; the sum is kept wide anyway.
        seq.currentInterval = int(std::clamp(qint64(seq.currentInterval) + seq.increment,
                                             qint64(std::numeric_limits<int>::min()),
                                             qint64(std::numeric_limits<int>::max())));
        if ((seq.increment > 0 && seq.currentInterval >= seq.to)
            || (seq.increment <= 0 && seq.currentInterval <= seq.to)
            || seq.currentInterval < 1) // an end below 1 ms would stop the timer
            seq.currentInterval = 1; // the rest of the test runs at 1 ms
        if (m_timer1->isActive())
            m_timer1->setInterval(seq.currentInterval);
        else
            m_savedInterval = seq.currentInterval;
    }
    if (++m_tickCounter > seq.repeat)
        m_tickCounter = 1;

    const qint64 perPass = qint64(repeatPerTarget) * m_targets.size();
    const bool countReached = testTimes > 0 && perPass > 0 && m_stats.sent / perPass >= testTimes;
    m_inTick = false;
    // The same rule as the scheduled start: due from the end minute on.
    const bool endReached = m_stopAt && ScheduleDue(m_stopClock(), *m_stopAt);
    if ((countReached || endReached) && !m_stopRequested)
        Q_EMIT stopDue();
}

void PingTest::Ping_IP(const QString &address)
{
    if (m_stopRequested || !m_running)
        return;
    m_pingInProgress = true;
    const QString target = address.trimmed();
    const qint32 status = SendEcho(target, m_sendData, m_reply);
    // A record keeps at most 15 characters of the address, as the result file does
    // (every address the echo takes fits; a longer text is one it refused).
    const QString recorded = target.left(MaxRecordedAddress);
    const ReplyRowTexts texts = RecordReply(m_stats, m_log, QDateTime::currentDateTime(),
                                            recorded, m_sendSize, status, m_reply);
    const int row = int(m_log.size()) - 1;
    // An echo that cannot be stored must not pass as logged: the test stops pinging
    // (the timer keeps ticking until Stop) and the window says why.
    const qint64 offset = m_store ? m_store->stamp().size : 0;
    const bool stored = !m_store || m_store->append(ReplyLine(m_log.at(row), recorded));
    if (stored && m_store)
        m_log.markStored(offset, m_store->stamp());
    if (!stored)
        m_stopRequested = true;
    m_pingInProgress = false;
    Q_EMIT replyRecorded(row, texts);
    if (!stored)
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
    if (m_running)
        m_timer2->start();
}

void PingTest::FinishPingTest()
{
    // A ping still waiting for its echo writes its line first; the next tick retries.
    if (m_pingInProgress)
        return;
    m_timer2->stop();
    if (m_store)
        m_store->close();
    m_stopRequested = false;
    m_running = false;
    Q_EMIT finished();
}

} // namespace netvane
