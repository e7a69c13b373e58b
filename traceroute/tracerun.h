#pragma once
// A traceroute run: one tracert command per host, at most 64 at once, each started
// directly (never through a shell) in a process group of its own with its output
// appended to the host's file (tracefile.h). Starting a command takes the window a
// few milliseconds, so the launches wait in a queue and go one at a time between the
// window's other events. TimerTracert polls every second: a host whose command has
// ended is read once more and marked completed, and the next host waiting is queued
// for launch; running hosts that are on show are re-read. A reload reads the files
// of an earlier run a slice at a time in the same way. Stop kills the
// process groups of exactly the commands still running, waits two seconds
// (TimerS2) and reports stopFinished. The window shows the lines (rows of all hosts,
// each host followed by an empty row) and the caption. Output that cannot be
// written (a full disk) is told once a run, with the system's reason.

#include "ping/pingtest.h"
#include "traceroute/tracefile.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>

class QTimer;

namespace netvane {

inline constexpr int MaxConcurrentTraces = 64;

struct TraceHost {
    QString hostName;   // what tracert is given
    QString label;      // the host as listed
    QString jumpLabel;  // label, 80 blanks, host index
    TraceHostLines lines;
    qint64 processId = 0;
    QString startTime;
    QString lastCheckTime;
    bool launched = false;
    bool completed = false;
    bool killed = false; // ended by Stop
    QProcess *process = nullptr;
};

class TraceRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TraceRun)
public:
    explicit TraceRun(QObject *parent = nullptr);
    ~TraceRun() override;

    // The tracert command; the program's own one (found before PATH) by default.
    void setProgram(const QString &program) { m_program = program; }
    QString program() const { return m_program; }

    // Empties the working folder, makes the records and launches the first 64 hosts.
    void start(const QList<PingTarget> &hosts, const QStringList &options, int maxHops,
               const QString &dataFolder);
    // Kills the commands still running; stopFinished follows after the wait.
    void stop();
    // Shows the files of an earlier run again (no times are stamped); linesChanged
    // and reloaded follow once every file has been read.
    void reload(const QString &prefix, int hostCount, int maxHops);
    bool isReloading() const { return m_reloading; }

    bool isActive() const { return m_active; }
    // The run has ended (completed or stopped) or was reloaded: it may be exported.
    bool isFinished() const { return m_finished; }
    QString prefix() const { return m_prefix; }
    QString caption() const { return m_caption; }
    const QList<TraceHost> &hosts() const { return m_hosts; }
    int runningProcesses() const;
    QTimer *pollTimer() const { return m_timer; }

    // The hosts on show (the running ones among them are re-read at each poll).
    void setShownHosts(int first, int last);

    // All rows: every host's entries 0 .. line count, in host order.
    int totalRows() const;
    int firstRowOf(int host) const;
    // The host and line of a row (clamped).
    void rowPosition(int row, int *host, int *line) const;
    // `count` rows from (host, line) on.
    QStringList rows(int host, int line, int count) const;

    // The poll of TimerTracert.
    void poll();

Q_SIGNALS:
    void hostLaunched(int host);
    void linesChanged();
    void captionChanged(const QString &caption);
    // Every host has completed: the window runs its Stop.
    void stopDue();
    void stopFinished();
    // A reload has read the files of all but `hostsLeft` hosts.
    void reloadProgressed(int hostsLeft);
    // A reload has read the files of every host.
    void reloaded();
    // A host's output could not be written: said once a run.
    void outputFailed(const QString &message);

private:
    void launch(int host);
    // Queues the next host not yet launched, and starts the queue.
    void queueNext();
    // Launches what waits and reads what a reload has left, for a few milliseconds.
    void workSlice();
    void parse(int host);
    void setCaption(const QString &caption);
    void finishStop();
    void tellOutputFailure(const QString &path, const QString &reason);

    QString m_program;
    QStringList m_options;
    int m_maxHops = 0;
    QString m_prefix;
    QList<TraceHost> m_hosts;
    int m_lastLaunched = -1;
    int m_firstShown = 0;
    int m_lastShown = 0;
    bool m_stopRequested = false;
    bool m_active = false;
    bool m_finished = false;
    bool m_outputFailureTold = false;
    QString m_caption;
    QTimer *m_timer;
    QTimer *m_stopWait;
    QTimer *m_slices;      // a zero timer: the next slice of launches or reading
    QList<int> m_launches; // hosts waiting to be launched, in order
    int m_nextHost = 0;    // the first host not yet queued
    int m_reloaded = 0;
    bool m_reloading = false;
};

} // namespace netvane
