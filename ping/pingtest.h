#pragma once
// The run loop of a ping test. The owner (the main window, or a runner without any
// window) gathers the targets and calls begin(); Timer1 brings the first tick after
// 99 ms. Each tick pings every target `repeat` times with the current send size, one
// echo at a time in target order. The echoes are sent and received on a worker
// thread of their own (EchoWorker), which keeps the ticks' time whatever the owner's
// thread is doing, and hands each settled echo back: it is recorded here, on the
// owner's thread (RecordReply), appended to the result file in order, and announced
// with replyRecorded(). The log and the statistics change on the owner's thread only.
//
// A stop request lets the echo in flight finish and be logged if it settles within
// StopGraceMs; an echo that would take longer is abandoned unrecorded, so that a stop
// answers within a second whatever the time-out. Timer2 then closes the test and
// finished() follows.

#include "app/schedule.h"
#include "iplist/targetlist.h"
#include "ping/echoworker.h"
#include "ping/outagefinder.h"
#include "ping/replyrecord.h"
#include "ping/resultstore.h"
#include "ping/sequences.h"
#include "ping/sessionstats.h"
#include "probe/echoprobe.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <memory>
#include <optional>

class QTimer;

namespace netvane {

// The size step length of a test: the echoes that use one send size before the next
// is taken (the size plan's repeat times the targets), 1 without a size sequence.
// Nothing when it leaves the 32-bit range the result file keeps it in.
std::optional<int> PingsPerSize(const SendSizePlan &plan, qsizetype targetCount);

class PingTest final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingTest)
public:
    // How long an echo in flight at a stop may take to settle and be logged.
    static constexpr int StopGraceMs = 750;

    explicit PingTest(QObject *parent = nullptr);
    ~PingTest() override;

    // Settings, taken at begin(); the settings boxes write them before a start.
    int interval = 600;       // ms, the period of the ticks after the first
    int repeatPerTarget = 1;
    int testTimes = 0;        // passes; 0 runs until stopped
    int outageAfter = DefaultOutageAfter; // lost echoes in a row to a target that make an outage
    SendSizePlan sizePlan;
    IntervalSequence intervalSequence;

    // The store the echoes are written to; none for a test kept in memory only.
    void setResultStore(PingResultStore *store) { m_store = store; }

    // Clears the records and statistics of the previous test and starts this one.
    // The echo time-out is PingTimeout as it is now.
    void begin(TargetList targets);
    // Puts the records of an earlier test back (the reload at start-up); nothing runs.
    void restore(PingReplyLog &&log, const PingSessionStats &stats, TargetList targets,
                 int pingsPerSize, int repeat, OutageFinder outages = OutageFinder());
    // Asks the test to stop: no echo is sent after it; Timer2 ends the test once the
    // echo in flight is logged or abandoned. Returns with every echo that had
    // settled already recorded.
    void requestStop();
    // A test started by the schedule stops by itself once its end minute has come
    // (checked after every tick on the given clock). Set before begin(); a stop
    // request disarms it.
    void setScheduledStop(std::optional<ScheduleMinute> end, Clock clock = SystemClock);
    bool scheduledStopArmed() const { return m_stopAt.has_value(); }

    // One tick now, its echoes recorded before it returns (tests; the run ticks by
    // itself). Dropped while the run is ticking on its own.
    void PingTick();
    // One ping of one address, recorded before it returns (tests).
    void Ping_IP(const QString &address);
    // Timer2's slot.
    void FinishPingTest();
    // The size slot of the next target visit of a size sequence.
    int NextSizeSlot();

    bool isRunning() const { return m_running; }
    bool stopRequested() const { return m_stopRequested; }
    // An echo has been sent whose outcome is not recorded yet.
    bool pingInProgress() const;
    int sendSize() const { return m_sendSize; }
    int pingsPerSize() const { return m_pingsPerSize; }
    // The repeat per target of the test whose records are held (repeatPerTarget may
    // have changed since).
    int testRepeat() const { return m_testRepeat; }
    int rowIndex() const { return int(m_log.size()); }
    // The target index of the echo recorded last (-1: a direct ping of an address).
    qsizetype lastRecordedTarget() const { return m_lastTarget; }
    const TargetList &targets() const { return m_targets; }
    const PingReplyLog &log() const { return m_log; }
    PingReplyLog &log() { return m_log; }
    PingSessionStats &stats() { return m_stats; }
    const PingSessionStats &stats() const { return m_stats; }
    // The outages of the test whose records are held, kept as its echoes are recorded.
    const OutageFinder &outages() const { return m_outages; }
    // Outages found again for the records held (a test that is not running).
    void replaceOutages(OutageFinder outages);
    // How late the ticks of this test went out against their schedule.
    SchedulingSlack schedulingSlack() const;
    // Timer1 brings the first tick; afterwards its interval is the period of the tick
    // being recorded (the worker keeps the time).
    QTimer *tickTimer() const { return m_timer1; }
    QTimer *finishTimer() const { return m_timer2; }

Q_SIGNALS:
    // A ping was counted: row is its record, texts its display row.
    void replyRecorded(int row, const netvane::ReplyRowTexts &texts);
    // An outage of a target began (at its N-th lost echo in a row) or ended (at the
    // answer after it), told after the echo's replyRecorded.
    void outageBegan(const netvane::Outage &outage);
    void outageEnded(const netvane::Outage &outage);
    // The test reached its count of passes; the owner runs its stop.
    void stopDue();
    // The finishing timer closed the test.
    void finished();
    // An echo could not be stored; the test pings no more until it is stopped.
    void failed(const QString &description);

private:
    EchoWorker &worker();
    void timer1Fired();
    void takeSettled();
    void process(const SettledEcho &item);
    void record(const SettledEcho &item);
    void finishWhenSettled();
    // Runs the owner's side until the worker reports the end of what was asked.
    void waitFor(int kind);

    QTimer *m_timer1;
    QTimer *m_timer2;
    std::unique_ptr<EchoWorker> m_worker;
    std::deque<SettledEcho> m_settled; // taken from the worker, recorded in order
    TargetList m_targets;
    PingReplyLog m_log;
    PingSessionStats m_stats;
    OutageFinder m_outages;
    QString m_directAddress; // the address of a Ping_IP call
    int m_sendSize = 32;
    int m_savedInterval = 600;
    int m_pingsPerSize = 1;
    int m_testRepeat = 1;
    qsizetype m_lastTarget = -1;
    int m_waitingFor = -1;   // the item kind a direct call waits for
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_inTick = false;
    bool m_finishPending = false; // Timer2 found an echo in flight
    PingResultStore *m_store = nullptr;
    std::optional<ScheduleMinute> m_stopAt;
    Clock m_stopClock = SystemClock;
};

} // namespace netvane
