#pragma once
// The run loop of a ping test. The main window gathers the targets and calls begin();
// the tick timer Timer1 then pings every target `repeat` times per tick with the
// current send size, each ping fills a reply record and the statistics (RecordReply)
// and is announced with replyRecorded() for the window to show. A stop request lets
// the ping in progress finish; Timer2 then closes the test and finished() follows.
//
// Ticks never overlap: the wait for an echo lets the window process events, and a
// tick that comes due while the previous one is still pinging is dropped, so no reply
// record is overwritten or lost and the row indexes stay unique and dense.

#include "app/schedule.h"
#include "ping/replyrecord.h"
#include "ping/resultstore.h"
#include "ping/sequences.h"
#include "ping/sessionstats.h"
#include "probe/echoprobe.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <optional>

class QTimer;

namespace netvane {

struct PingTarget {
    QString address; // what the echo is sent to
    QString name;    // the target as listed (for the target file and exports)
};

// The size step length of a test: the echoes that use one send size before the next
// is taken (the size plan's repeat times the targets), 1 without a size sequence.
// Nothing when it leaves the 32-bit range the result file keeps it in.
std::optional<int> PingsPerSize(const SendSizePlan &plan, qsizetype targetCount);

class PingTest final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingTest)
public:
    explicit PingTest(QObject *parent = nullptr);

    // Settings read by the loop; the settings boxes write them before a start.
    int interval = 600;       // ms, the period of Timer1 after the first tick
    int repeatPerTarget = 1;
    int testTimes = 0;        // passes; 0 runs until stopped
    SendSizePlan sizePlan;
    IntervalSequence intervalSequence;

    // The store the echoes are written to; none for a test kept in memory only.
    void setResultStore(PingResultStore *store) { m_store = store; }

    // Clears the records and statistics of the previous test and starts this one.
    void begin(const QList<PingTarget> &targets);
    // Puts the records of an earlier test back (the reload at start-up); nothing runs.
    void restore(PingReplyLog &&log, const PingSessionStats &stats, const QList<PingTarget> &targets,
                 int pingsPerSize, int repeat);
    // Asks the test to stop; the ping in progress finishes, Timer2 ends the test.
    void requestStop();
    // A test started by the schedule stops by itself once its end minute has come
    // (checked after every tick on the given clock). Set before begin(); a stop
    // request disarms it.
    void setScheduledStop(std::optional<ScheduleMinute> end, Clock clock = SystemClock);
    bool scheduledStopArmed() const { return m_stopAt.has_value(); }

    // Runs one tick now (Timer1's slot).
    void PingTick();
    // One ping of one address (also used by tests).
    void Ping_IP(const QString &address);
    // Timer2's slot.
    void FinishPingTest();
    // The size slot of the next target visit of a size sequence.
    int NextSizeSlot();

    bool isRunning() const { return m_running; }
    bool stopRequested() const { return m_stopRequested; }
    bool pingInProgress() const { return m_pingInProgress; }
    int sendSize() const { return m_sendSize; }
    int pingsPerSize() const { return m_pingsPerSize; }
    // The repeat per target of the test whose records are held (repeatPerTarget may
    // have changed since).
    int testRepeat() const { return m_testRepeat; }
    int rowIndex() const { return int(m_log.size()); }
    const QList<PingTarget> &targets() const { return m_targets; }
    const PingReplyLog &log() const { return m_log; }
    PingReplyLog &log() { return m_log; }
    PingSessionStats &stats() { return m_stats; }
    const PingSessionStats &stats() const { return m_stats; }
    QTimer *tickTimer() const { return m_timer1; }
    QTimer *finishTimer() const { return m_timer2; }

Q_SIGNALS:
    // A ping was counted: row is its record, texts its display row.
    void replyRecorded(int row, const netvane::ReplyRowTexts &texts);
    // The test reached its count of passes; the window runs its stop.
    void stopDue();
    // The finishing timer closed the test.
    void finished();
    // An echo could not be stored; the test pings no more until it is stopped.
    void failed(const QString &description);

private:
    void applyStartingSize();
    void timer1Fired();

    QTimer *m_timer1;
    QTimer *m_timer2;
    QList<PingTarget> m_targets;
    PingReplyLog m_log;
    PingSessionStats m_stats;
    EchoReply m_reply;
    QByteArray m_sendData;
    int m_sendSize = 32;
    int m_savedInterval = 600;
    int m_tickCounter = 1;
    int m_pingsPerSize = 1;
    int m_testRepeat = 1;
    int m_sizeSlot = 0;
    int m_sizeUseCount = 0;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_pingInProgress = false;
    bool m_inTick = false;
    bool m_firstTick = true;
    bool m_scheduled = false;
    qint64 m_due = 0; // when the current tick was due, on m_clock
    QElapsedTimer m_clock;
    PingResultStore *m_store = nullptr;
    std::optional<ScheduleMinute> m_stopAt;
    Clock m_stopClock = SystemClock;
};

} // namespace netvane
