#pragma once
// A path run: the traceroute's second mode. For up to 64 targets at once it finds
// each one's hops and measures every hop every interval (PathProber, on its own
// thread), keeps the figures per hop (PathTrace), writes every discovery and round to
// the run log in the data folder before it is shown (PathLogWriter), and looks the
// routers' names up on a thread of its own when asked to. The window shows the traces
// and calls start / stop; the previous run is read back with reload().

#include "iplist/targetlist.h"
#include "traceroute/pathlog.h"
#include "traceroute/pathprober.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace netvane {

inline constexpr int MaxPathTargets = 64;

class NameLookups;

class PathRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PathRun)
public:
    explicit PathRun(QObject *parent = nullptr);
    ~PathRun() override;

    // Rounds per target before the run ends by itself (finished); 0 runs until
    // stopped. For tests and benchmarks.
    void setRounds(int rounds) { m_rounds = rounds; }
    void setProbesPerHop(int probes) { m_probesPerHop = probes; }

    // Writes the log's header and starts probing. False (with the reason) when a
    // target is not an address or the log cannot be made: nothing starts then.
    bool start(const QList<PingTarget> &targets, const PathRunSettings &settings, bool resolveNames,
               const QString &dataFolder, QString *error);
    // Ends the probing; every round that had settled is recorded first.
    void stop();
    bool isActive() const { return m_active; }
    // The previous run from its log; false when there is none.
    bool reload(const QString &dataFolder);
    // The same from a log read elsewhere (a thread beside the window).
    void restore(PathLogContent content, const QString &logPath);
    bool isReloaded() const { return m_reloaded; }

    const QList<PathTrace> &traces() const { return m_traces; }
    const PathRunSettings &settings() const { return m_settings; }
    QString logPath() const { return m_logPath; }
    PathCadence cadence() const { return m_prober ? m_prober->cadence() : PathCadence(); }
    qint64 roundsRecorded() const { return m_roundsRecorded; }

    // Takes what the prober has settled (it comes on its own; tests may call it).
    void takeItems();

Q_SIGNALS:
    void tracesChanged();
    // Every target has made its rounds: the window runs its Stop.
    void finished();
    // The log could not be written: said once a run, with the system's reason.
    void outputFailed(const QString &message);

private:
    void lookUpNames(int target);
    void nameFound(const QString &address, const QString &name);
    void applyNames(PathTrace &trace);

    std::unique_ptr<PathProber> m_prober;
    std::unique_ptr<NameLookups> m_names;
    PathLogWriter m_log;
    QString m_logPath;
    PathRunSettings m_settings;
    QList<PathTrace> m_traces;
    QHash<QString, QString> m_nameOf; // of routers looked up; empty: none found
    bool m_resolveNames = false;
    bool m_active = false;
    bool m_reloaded = false;
    bool m_outputFailureTold = false;
    int m_rounds = 0;
    int m_probesPerHop = 3;
    qint64 m_roundsRecorded = 0;
};

} // namespace netvane
