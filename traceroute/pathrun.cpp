#include "traceroute/pathrun.h"

#include "platform/icmpsocket.h"
#include "platform/netinfo.h"

#include <QDateTime>
#include <QDir>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace netvane {

// Reverse look-ups one at a time on a thread of their own: a slow name server never
// holds the window or the echoes. The thread is not waited for when the run goes (a
// look-up may take the resolver's whole time-out): it drops what it finds from then on.
class NameLookups final
{
public:
    explicit NameLookups(std::function<void(QString, QString)> found) : m_shared(std::make_shared<Shared>())
    {
        m_shared->found = std::move(found);
        std::thread([shared = m_shared] { run(*shared); }).detach();
    }
    ~NameLookups()
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->quit = true;
        m_shared->queue.clear();
        m_shared->found = nullptr;
        m_shared->changed.notify_all();
    }
    void lookUp(const QString &address)
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->queue.push_back(address);
        m_shared->changed.notify_all();
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<QString> queue;
        bool quit = false;
        std::function<void(QString, QString)> found; // called under the mutex
    };

    static void run(Shared &s)
    {
        std::unique_lock lock(s.mutex);
        for (;;) {
            s.changed.wait(lock, [&s] { return s.quit || !s.queue.empty(); });
            if (s.quit)
                return;
            const QString address = s.queue.front();
            s.queue.pop_front();
            lock.unlock();
            const QString name = platform::ReverseName(address);
            lock.lock();
            if (s.quit)
                return;
            s.found(address, name);
        }
    }

    std::shared_ptr<Shared> m_shared;
};

PathRun::PathRun(QObject *parent) : QObject(parent) {}

PathRun::~PathRun()
{
    // The threads go before what they hand their results to.
    m_prober.reset();
    m_names.reset();
}

bool PathRun::start(const QList<PingTarget> &targets, const PathRunSettings &settings, bool resolveNames,
                    const QString &dataFolder, QString *error)
{
    if (m_active)
        stop();
    if (targets.isEmpty() || targets.size() > MaxPathTargets) {
        *error = u"A path run takes 1 to %1 targets."_qs.arg(MaxPathTargets);
        return false;
    }
    PathPlan plan;
    QList<PathTrace> traces;
    for (const PingTarget &t : targets) {
        const auto address = platform::ParseEchoAddress(t.address);
        if (!address) {
            *error = u"Invalid address: "_qs + t.address;
            return false;
        }
        plan.targets << *address;
        PathTrace trace;
        trace.address = QString::fromStdString(platform::IpAddressText(*address));
        trace.label = t.name.isEmpty() ? t.address : t.name;
        traces << trace;
    }
    m_settings = settings;
    m_settings.startMs = QDateTime::currentMSecsSinceEpoch();
    m_logPath = QDir(dataFolder).filePath(PathLogName);
    // A run whose rounds cannot be kept does not start: they would be lost.
    if (!m_log.create(m_logPath, m_settings, traces, error))
        return false;
    m_traces = traces;
    m_resolveNames = resolveNames;
    m_outputFailureTold = false;
    m_reloaded = false;
    m_roundsRecorded = 0;
    plan.intervalMs = settings.intervalMs;
    plan.timeoutMs = settings.timeoutMs;
    plan.size = settings.size;
    plan.maxHops = settings.maxHops;
    plan.rounds = m_rounds;
    plan.probesPerHop = m_probesPerHop;
    // Made at the first run, so that its sockets live where the run does (a test may
    // have moved the process into a namespace of its own).
    if (!m_prober) {
        m_prober = std::make_unique<PathProber>([this] {
            QMetaObject::invokeMethod(this, &PathRun::takeItems, Qt::QueuedConnection);
        });
    }
    m_active = true;
    m_prober->start(std::move(plan));
    Q_EMIT tracesChanged();
    return true;
}

void PathRun::stop()
{
    if (!m_active)
        return;
    m_prober->stop();
    takeItems();
    m_active = false;
    m_log.ended(QDateTime::currentMSecsSinceEpoch());
    m_log.close();
    Q_EMIT tracesChanged();
}

void PathRun::takeItems()
{
    if (!m_prober || !m_active)
        return;
    bool changed = false;
    bool finishedNow = false;
    for (PathItem &item : m_prober->take()) {
        if (item.kind == PathItem::Finished) {
            finishedNow = true;
            continue;
        }
        if (item.target < 0 || item.target >= m_traces.size())
            continue;
        PathTrace &trace = m_traces[item.target];
        bool written = true;
        if (item.kind == PathItem::Discovered) {
            written = m_log.discovered(item.target, item.whenMs, item.hops);
            trace.setPath(item.hops, item.whenMs);
            applyNames(trace);
            lookUpNames(item.target);
        } else if (item.kind == PathItem::Round) {
            if (item.latenciesUs.size() != trace.hops().size())
                continue;
            written = m_log.round(item.target, item.whenMs, item.latenciesUs);
            trace.addRound(item.latenciesUs, item.whenMs);
            ++m_roundsRecorded;
        } else {
            continue; // a route change: the discovery after it shows it
        }
        changed = true;
        if (!written && !m_outputFailureTold) {
            m_outputFailureTold = true;
            Q_EMIT outputFailed(u"The path log %1 cannot be written: %2"_qs.arg(QDir::toNativeSeparators(m_logPath),
                                                                              m_log.errorString()));
        }
    }
    if (changed)
        Q_EMIT tracesChanged();
    if (finishedNow)
        Q_EMIT finished();
}

void PathRun::lookUpNames(int target)
{
    if (!m_resolveNames)
        return;
    if (!m_names) {
        m_names = std::make_unique<NameLookups>([this](QString address, QString name) {
            QMetaObject::invokeMethod(this, [this, address, name] { nameFound(address, name); },
                                      Qt::QueuedConnection);
        });
    }
    for (const PathHop &hop : m_traces[target].hops()) {
        for (const QString &address : hop.addresses) {
            if (m_nameOf.contains(address))
                continue;
            m_nameOf.insert(address, QString());
            m_names->lookUp(address);
        }
    }
}

void PathRun::nameFound(const QString &address, const QString &name)
{
    if (name.isEmpty())
        return;
    m_nameOf.insert(address, name);
    for (PathTrace &trace : m_traces)
        applyNames(trace);
    Q_EMIT tracesChanged();
}

void PathRun::applyNames(PathTrace &trace)
{
    for (PathHop &hop : trace.hops()) {
        QStringList names;
        for (const QString &address : hop.addresses)
            if (const QString name = m_nameOf.value(address); !name.isEmpty())
                names << name;
        hop.name = names.join(u", "_qs);
    }
}

bool PathRun::reload(const QString &dataFolder)
{
    if (m_active)
        return false;
    PathLogContent content;
    const QString path = QDir(dataFolder).filePath(PathLogName);
    if (!ReadPathLog(path, &content))
        return false;
    restore(std::move(content), path);
    return true;
}

void PathRun::restore(PathLogContent content, const QString &logPath)
{
    if (m_active)
        return;
    m_logPath = logPath;
    m_settings = content.settings;
    m_traces = std::move(content.traces);
    m_reloaded = true;
    Q_EMIT tracesChanged();
}

} // namespace netvane
