#include "traceroute/tracerun.h"

#include "platform/datafolder.h"
#include "platform/process.h"
#include "platform/textfile.h"
#include "traceroute/tracertcommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

namespace netvane {

namespace {

// The poll interval and the wait after Stop, as the window was designed.
constexpr int PollMs = 1000;
constexpr int StopWaitMs = 2000;
// A slice of launches or reading: the window turns between slices. A launch alone
// may take longer on a busy machine.
constexpr int SliceMs = 5;
// A stored host count beyond this is not a run this program made.
constexpr int MaxReloadHosts = 100000;

QString hostsText(qsizetype count)
{
    return u"Tracing route to "_qs + QString::number(count) + u" hosts"_qs;
}

} // namespace

TraceRun::TraceRun(QObject *parent)
    : QObject(parent), m_program(platform::FindProgramCommand(u"tracert"_qs)),
      m_timer(new QTimer(this)), m_stopWait(new QTimer(this)), m_slices(new QTimer(this))
{
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &TraceRun::workSlice);
    m_timer->setObjectName(u"TimerTracert"_qs);
    m_timer->setInterval(PollMs);
    connect(m_timer, &QTimer::timeout, this, &TraceRun::poll);
    m_stopWait->setObjectName(u"TimerS2"_qs);
    m_stopWait->setSingleShot(true);
    m_stopWait->setInterval(StopWaitMs);
    connect(m_stopWait, &QTimer::timeout, this, &TraceRun::finishStop);
}

TraceRun::~TraceRun()
{
    for (const TraceHost &h : std::as_const(m_hosts))
        if (h.process && h.process->state() != QProcess::NotRunning)
            platform::KillProcessGroup(h.processId);
}

void TraceRun::start(const QList<PingTarget> &hosts, const QStringList &options, int maxHops,
                     const QString &dataFolder)
{
    for (const TraceHost &h : std::as_const(m_hosts))
        delete h.process;
    m_hosts.clear();
    m_stopRequested = false;
    m_finished = false;
    m_active = true;
    m_reloading = false;
    m_options = options;
    m_maxHops = maxHops;
    m_lastLaunched = -1;
    m_launches.clear();
    m_nextHost = 0;
    m_firstShown = 0;
    m_lastShown = 0;
    m_outputFailureTold = false;

    // The working folder holds only this run's files. Whatever stands at its path is
    // removed as it is: a link there goes as a link, and what it points to stays.
    const QString work = QDir(dataFolder).filePath(u"Temp"_qs);
    if (QString why; !MakeEmptyFolder(work, &why))
        tellOutputFailure(work, why);
    m_prefix = TraceFilePrefix(dataFolder, QDateTime::currentDateTime());

    for (const PingTarget &t : hosts) {
        TraceHost h;
        h.hostName = t.address.trimmed();
        h.label = t.name;
        m_hosts.append(h);
    }
    setCaption(hostsText(m_hosts.size()) + u" ..."_qs);
    for (int i = 0; i < m_hosts.size() && i < MaxConcurrentTraces; ++i)
        queueNext();
    workSlice();
    if (!m_stopRequested)
        m_timer->start();
}

void TraceRun::queueNext()
{
    if (m_nextHost >= m_hosts.size() || m_stopRequested)
        return;
    m_launches.append(m_nextHost++);
    m_slices->start();
}

void TraceRun::workSlice()
{
    QElapsedTimer clock;
    clock.start();
    // Each launch is followed by the display brought up to date.
    while (!m_launches.isEmpty() && !m_stopRequested) {
        launch(m_launches.takeFirst());
        Q_EMIT linesChanged();
        if (clock.elapsed() >= SliceMs && !m_launches.isEmpty())
            return;
    }
    m_launches.clear();
    if (m_reloading) {
        while (m_reloaded < m_hosts.size()) {
            parse(m_reloaded++);
            if (clock.elapsed() >= SliceMs && m_reloaded < m_hosts.size()) {
                Q_EMIT reloadProgressed(int(m_hosts.size()) - m_reloaded);
                return;
            }
        }
        m_reloading = false;
        m_finished = true;
        setCaption(hostsText(m_hosts.size()) + u"."_qs);
        Q_EMIT linesChanged();
        Q_EMIT reloaded();
    }
    m_slices->stop();
}

void TraceRun::launch(int host)
{
    m_lastLaunched = host;
    TraceHost &h = m_hosts[host];
    const QString file = TraceFileName(m_prefix, host);
    auto *p = new QProcess(this);
    p->setProgram(m_program);
    // The host follows "--": a name from the list can never be taken for an option.
    p->setArguments(m_options + QStringList{u"--"_qs, h.hostName});
    // Only its output goes to the file, as a redirection of the command's output
    // does; its error output says why that output could not be written.
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->setStandardInputFile(QProcess::nullDevice());
    p->setStandardOutputFile(file, QIODevice::Append);
    platform::StartInOwnProcessGroup(*p);
    connect(p, &QProcess::errorOccurred, this, [this, p, file](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        LineAppender out;
        if (!out.open(file)
            || !out.writeLine(u"Unable to start "_qs + p->program() + u": "_qs + p->errorString()))
            tellOutputFailure(file, out.errorString());
    });
    h.process = p;
    h.launched = true;
    h.completed = false;
    p->start();
    h.processId = p->processId();
    h.startTime = TraceTimeText(QDateTime::currentDateTime());
    h.lines.lines = QStringList{TraceLaunchHeader(host, h.hostName, m_maxHops)};
    h.lines.lineCount = 0;
    h.jumpLabel = h.label + QString(80, u' ') + QString::number(host);
    Q_EMIT hostLaunched(host);
}

void TraceRun::parse(int host)
{
    TraceHost &h = m_hosts[host];
    ParseTraceFile(TraceFileName(m_prefix, host), host, h.startTime, h.lastCheckTime,
                   TraceTableSize(m_maxHops), h.lines);
}

void TraceRun::poll()
{
    if (m_stopRequested) {
        m_timer->stop();
        return;
    }
    m_timer->stop();
    int completed = 0;
    bool changed = false;
    const int count = int(m_hosts.size());
    for (int k = 0; k < count; ++k) {
        TraceHost &h = m_hosts[k];
        if (h.completed) {
            ++completed;
            continue;
        }
        if (!h.launched)
            continue; // waits for a free place; counts as running
        h.lastCheckTime = TraceTimeText(QDateTime::currentDateTime());
        if (h.process->state() != QProcess::NotRunning) {
            if (k >= m_firstShown && k <= m_lastShown) {
                parse(k);
                changed = true;
            }
            continue;
        }
        h.completed = true;
        ++completed;
        if (h.process->exitStatus() == QProcess::NormalExit
            && h.process->exitCode() == TracertOutputFailedExit)
            tellOutputFailure(TraceFileName(m_prefix, k),
                              QString::fromLocal8Bit(h.process->readAllStandardError()).trimmed());
        parse(k);
        changed = true;
        queueNext(); // the next host waiting takes the free place
    }
    if (changed)
        Q_EMIT linesChanged();
    if (completed > 0)
        setCaption(hostsText(count) + u" ...       "_qs + QString::number(completed)
                   + u" completed."_qs);
    if (completed >= count) {
        setCaption(hostsText(count) + u".       All Completed."_qs);
        Q_EMIT stopDue();
        return;
    }
    if (!m_stopRequested)
        m_timer->start();
}

void TraceRun::stop()
{
    if (!m_active || m_stopWait->isActive())
        return;
    m_stopRequested = true;
    m_timer->stop();
    m_launches.clear();
    for (int k = 0; k <= m_lastLaunched && k < m_hosts.size(); ++k) {
        TraceHost &h = m_hosts[k];
        // A command that has ended keeps its process id until it is reaped, so the
        // id cannot name another process here.
        if (h.completed || !h.process || h.process->state() == QProcess::NotRunning)
            continue;
        platform::KillProcessGroup(h.processId);
        h.killed = true;
    }
    m_stopWait->start();
}

void TraceRun::finishStop()
{
    // The killed commands' last lines are kept as well.
    for (int k = 0; k <= m_lastLaunched && k < m_hosts.size(); ++k)
        if (!m_hosts[k].completed)
            parse(k);
    if (!m_caption.contains(u"All Completed"))
        setCaption(hostsText(m_hosts.size()) + u".       Stopped."_qs);
    m_active = false;
    m_finished = true;
    Q_EMIT linesChanged();
    Q_EMIT stopFinished();
}

void TraceRun::reload(const QString &prefix, int hostCount, int maxHops)
{
    for (const TraceHost &h : std::as_const(m_hosts))
        delete h.process;
    m_hosts.clear();
    m_prefix = prefix;
    m_maxHops = maxHops;
    m_lastLaunched = -1;
    m_launches.clear();
    const int count = qBound(0, hostCount, MaxReloadHosts);
    m_hosts.resize(count);
    // The files are read a slice at a time; a short run is read at once.
    m_reloaded = 0;
    m_reloading = true;
    m_finished = false;
    m_slices->start();
    workSlice();
}

int TraceRun::runningProcesses() const
{
    int n = 0;
    for (const TraceHost &h : m_hosts)
        n += h.process && h.process->state() != QProcess::NotRunning;
    return n;
}

void TraceRun::setShownHosts(int first, int last)
{
    m_firstShown = first;
    m_lastShown = last;
}

int TraceRun::totalRows() const
{
    int rows = 0;
    for (const TraceHost &h : m_hosts)
        rows += h.lines.lineCount + 1;
    return rows;
}

int TraceRun::firstRowOf(int host) const
{
    int row = 0;
    for (int k = 0; k < host && k < m_hosts.size(); ++k)
        row += m_hosts.at(k).lines.lineCount + 1;
    return row;
}

void TraceRun::rowPosition(int row, int *host, int *line) const
{
    *host = 0;
    *line = 0;
    for (int k = 0; k < m_hosts.size(); ++k) {
        const int rows = m_hosts.at(k).lines.lineCount + 1;
        *host = k;
        if (row < rows) {
            *line = qMax(row, 0);
            return;
        }
        row -= rows;
        *line = rows - 1;
    }
}

QStringList TraceRun::rows(int host, int line, int count) const
{
    QStringList out;
    for (int k = qMax(host, 0); k < m_hosts.size() && out.size() < count; ++k) {
        const TraceHostLines &l = m_hosts.at(k).lines;
        for (int j = k == host ? line : 0; j <= l.lineCount && out.size() < count; ++j)
            out << l.entry(j);
    }
    return out;
}

void TraceRun::tellOutputFailure(const QString &path, const QString &reason)
{
    if (m_outputFailureTold)
        return;
    m_outputFailureTold = true;
    Q_EMIT outputFailed(u"The traceroute output could not be written to "_qs
                        + QDir::toNativeSeparators(path) + u":\n"_qs + reason);
}

void TraceRun::setCaption(const QString &caption)
{
    m_caption = caption;
    Q_EMIT captionChanged(caption);
}

} // namespace netvane
