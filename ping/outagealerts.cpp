#include "ping/outagealerts.h"

#include "ping/pingtest.h"
#include "platform/desktopnotify.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

namespace netvane {

QString OutageBeganText(const QString &target, const Outage &outage)
{
    return target + u" is not answering since "_qs + OutageClockText(outage.start);
}

QString OutageEndedText(const QString &target, const Outage &, qint64 duration)
{
    return target + u" answers again after "_qs + OutageDurationText(duration);
}

OutageNotices::Notice OutageNotices::notice(const QString &text, int heldBefore)
{
    if (heldBefore < 1)
        return {text, {}};
    return {text, heldBefore == 1 ? u"1 more notice of this target was held back."_qs
                                  : u"%1 more notices of this target were held back."_qs.arg(heldBefore)};
}

bool OutageNotices::take(qint64 nowMs)
{
    while (!m_shown.isEmpty() && nowMs - m_shown.first() >= PerTargetMs)
        m_shown.removeFirst();
    if (m_shown.size() >= MaxPerMinute) {
        if (m_heldOverAll++ == 0)
            m_heldSince = nowMs;
        return false;
    }
    m_shown.append(nowMs);
    return true;
}

std::optional<OutageNotices::Notice> OutageNotices::offer(const QString &target, const QString &text,
                                                          qint64 nowMs)
{
    auto it = m_targets.find(target);
    if (it != m_targets.end() && nowMs - it->shownAt < PerTargetMs) {
        ++it->held;
        it->heldText = text;
        return std::nullopt;
    }
    if (!take(nowMs))
        return std::nullopt;
    if (it == m_targets.end())
        it = m_targets.insert(target, {});
    // A notice held back and not yet shown is counted in this one.
    const int held = it->held;
    *it = Target{nowMs, 0, {}};
    return notice(text, held);
}

QList<OutageNotices::Notice> OutageNotices::due(qint64 nowMs)
{
    QList<Notice> out;
    for (auto it = m_targets.begin(); it != m_targets.end(); ++it) {
        if (it->held == 0 || nowMs - it->shownAt < PerTargetMs)
            continue;
        if (take(nowMs))
            out << notice(it->heldText, it->held - 1);
        *it = Target{nowMs, 0, {}};
    }
    if (m_heldOverAll > 0 && nowMs - m_heldSince >= PerTargetMs) {
        out << Notice{m_heldOverAll == 1 ? u"1 more outage notice was held back."_qs
                                         : u"%1 more outage notices were held back."_qs.arg(m_heldOverAll),
                      u"Operate > Outages lists every outage."_qs};
        m_heldOverAll = 0;
    }
    return out;
}

qint64 OutageNotices::nextDue() const
{
    qint64 next = m_heldOverAll > 0 ? m_heldSince + PerTargetMs : -1;
    for (const Target &t : m_targets)
        if (t.held > 0 && (next < 0 || t.shownAt + PerTargetMs < next))
            next = t.shownAt + PerTargetMs;
    return next;
}

QStringList OutageCommandArguments(const QString &target, const Outage &outage, qint64 duration)
{
    return {target, outage.ongoing() ? u"began"_qs : u"ended"_qs, OutageStampText(outage.start, u'T'),
            outage.ongoing() ? QString() : OutageStampText(outage.end, u'T'), QString::number(duration)};
}

OutageAlerts::OutageAlerts(const PingTest &test, QObject *parent, Clock clock)
    : QObject(parent), m_test(test), m_clock(std::move(clock)), m_dueTimer(new QTimer(this))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        // Far from 0, so that a first notice of a target is never taken for a recent one.
        m_clock = [timer] { return timer->elapsed() + OutageNotices::PerTargetMs; };
    }
    m_dueTimer->setSingleShot(true);
    connect(m_dueTimer, &QTimer::timeout, this, &OutageAlerts::showDue);
    connect(&test, &PingTest::outageBegan, this, &OutageAlerts::began);
    connect(&test, &PingTest::outageEnded, this, &OutageAlerts::ended);
}

void OutageAlerts::setCommand(const QString &command)
{
    if (command.trimmed() != m_command) {
        m_failureShown = false;
        m_waiting.clear();
    }
    m_command = command.trimmed();
}

void OutageAlerts::began(const Outage &outage)
{
    const QString &target = m_test.outages().target(outage.target);
    tell(target, OutageBeganText(target, outage));
    run(OutageCommandArguments(target, outage, m_test.outages().duration(outage)));
}

void OutageAlerts::ended(const Outage &outage)
{
    const QString &target = m_test.outages().target(outage.target);
    const qint64 duration = m_test.outages().duration(outage);
    tell(target, OutageEndedText(target, outage, duration));
    run(OutageCommandArguments(target, outage, duration));
}

void OutageAlerts::tell(const QString &target, const QString &text)
{
    if (!m_notify)
        return;
    const qint64 now = m_clock();
    if (const auto notice = m_notices.offer(target, text, now))
        platform::NotifyDesktop(notice->summary, notice->body);
    const qint64 next = m_notices.nextDue();
    if (next >= 0 && !m_dueTimer->isActive())
        m_dueTimer->start(int(std::max<qint64>(next - now, 0)));
}

void OutageAlerts::showDue()
{
    const qint64 now = m_clock();
    for (const OutageNotices::Notice &n : m_notices.due(now))
        if (m_notify)
            platform::NotifyDesktop(n.summary, n.body);
    const qint64 next = m_notices.nextDue();
    if (next >= 0)
        m_dueTimer->start(int(std::max<qint64>(next - now, 0)));
}

void OutageAlerts::run(const QStringList &arguments)
{
    if (m_command.isEmpty())
        return;
    if (m_running < MaxRunning) {
        start(arguments);
        return;
    }
    if (m_waiting.size() < MaxWaiting) {
        m_waiting.append(arguments);
        return;
    }
    ++m_leftOut;
    failOnce(u"Too many outages at once for the outage command \""_qs + m_command
             + u"\": the events beyond %1 waiting are left out."_qs.arg(MaxWaiting));
}

void OutageAlerts::start(const QStringList &arguments)
{
    // The user's command line is split into its words here; the outage's facts are
    // arguments of their own after them, so a target's text is never read as a command.
    QStringList words = QProcess::splitCommand(m_command);
    if (words.isEmpty())
        return;
    auto *process = new QProcess(this);
    process->setProgram(words.takeFirst()); // a name without a "/" is looked for on PATH
    process->setArguments(words + arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const QString shown = m_command;
    ++m_running;
    connect(process, &QProcess::errorOccurred, this, [this, process, shown](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        if (shown == m_command)
            failOnce(u"The outage command \""_qs + shown + u"\" could not be run: "_qs + process->errorString());
        process->deleteLater();
        commandEnded();
    });
    connect(process, &QProcess::finished, this, [this, process, shown](int code, QProcess::ExitStatus status) {
        if ((status != QProcess::NormalExit || code != 0) && shown == m_command)
            failOnce(u"The outage command \""_qs + shown + u"\" failed ("_qs
                     + (status == QProcess::NormalExit ? u"exit code "_qs + QString::number(code)
                                                       : u"it crashed"_qs)
                     + u")."_qs);
        process->deleteLater();
        commandEnded();
    });
    process->start();
}

void OutageAlerts::commandEnded()
{
    --m_running;
    if (!m_waiting.isEmpty() && !m_command.isEmpty())
        start(m_waiting.takeFirst());
    Q_EMIT commandFinished();
}

void OutageAlerts::failOnce(const QString &why)
{
    if (m_failureShown)
        return;
    m_failureShown = true;
    Q_EMIT commandFailed(why);
}

} // namespace netvane
