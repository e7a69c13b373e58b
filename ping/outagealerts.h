#pragma once
// What a ping test tells the user of its outages as they begin and end: a desktop
// notification ("127.0.0.1 is not answering since 14:02:13", "127.0.0.1 answers again
// after 2 min 41 s"), at most one a target a minute, the ones held back counted in
// the next; and the user's outage command, run with the target, the event and the
// times as arguments of their own. Fed by PingTest's outageBegan / outageEnded.

#include "ping/outagefinder.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QTimer;

namespace netvane {

class PingTest;

QString OutageBeganText(const QString &target, const Outage &outage);
QString OutageEndedText(const QString &target, const Outage &outage, qint64 duration);

// The rate limit of the notifications, on a clock of milliseconds: one a target a
// minute, and no more than MaxPerMinute in all (a line that drops takes every target
// down at once); what is held back over all is counted in one notice at the minute's end.
class OutageNotices final
{
public:
    static constexpr qint64 PerTargetMs = 60000;
    static constexpr int MaxPerMinute = 5;

    struct Notice {
        QString summary; // the event's text
        QString body;    // how many were held back before it; empty when none
    };

    // A notice of target's event now: what to show, or nothing when it is held back.
    std::optional<Notice> offer(const QString &target, const QString &text, qint64 nowMs);
    // The newest notice held back of each target whose minute is over, to show now.
    QList<Notice> due(qint64 nowMs);
    // When the next held notice is due; -1 when none is held.
    qint64 nextDue() const;

private:
    struct Target {
        qint64 shownAt = 0;
        int held = 0;
        QString heldText; // the newest held back
    };
    static Notice notice(const QString &text, int heldBefore);
    // Whether one more may be shown now over all; counts it when it may.
    bool take(qint64 nowMs);
    QHash<QString, Target> m_targets;
    QList<qint64> m_shown;  // when the last ones over all were shown
    qint64 m_heldOverAll = 0;
    qint64 m_heldSince = 0;
};

// The arguments the outage command gets after its own: target, "began" or "ended",
// the start and the end ("" while it goes on) as 2026-12-09T14:02:13, and the seconds it lasted.
QStringList OutageCommandArguments(const QString &target, const Outage &outage, qint64 duration);

class OutageAlerts final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutageAlerts)
public:
    using Clock = std::function<qint64()>; // milliseconds, steady

    explicit OutageAlerts(const PingTest &test, QObject *parent = nullptr, Clock clock = {});

    void setNotify(bool on) { m_notify = on; }
    bool notify() const { return m_notify; }
    // The command text as the settings keep it (split like a command line, never run
    // through a shell); empty runs nothing. A new text may fail once more.
    void setCommand(const QString &command);
    QString command() const { return m_command; }

    // Runs what a test's outage does (the test's signals call these).
    void began(const Outage &outage);
    void ended(const Outage &outage);

Q_SIGNALS:
    // The outage command could not be run or failed, or events had to be left out;
    // once for a command text.
    void commandFailed(const QString &description);
    // A command started for an event has ended (tests).
    void commandFinished();

private:
    void tell(const QString &target, const QString &text);
    void showDue();
    void run(const QStringList &arguments);
    void start(const QStringList &arguments);
    void commandEnded();
    void failOnce(const QString &why);

    // A line that drops takes every target down at once: a few commands run at a
    // time, the next events wait, and beyond a bound they are left out.
    static constexpr int MaxRunning = 4;
    static constexpr qsizetype MaxWaiting = 256;

    const PingTest &m_test;
    Clock m_clock;
    OutageNotices m_notices;
    QTimer *m_dueTimer;
    bool m_notify = true;
    QString m_command;
    bool m_failureShown = false;
    int m_running = 0;
    QList<QStringList> m_waiting; // arguments of the events not yet given to the command
    qint64 m_leftOut = 0;
};

} // namespace netvane
