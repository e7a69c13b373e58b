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

// The rate limit of the notifications, on a clock of milliseconds.
class OutageNotices final
{
public:
    static constexpr qint64 PerTargetMs = 60000;

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
    QHash<QString, Target> m_targets;
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
    // The outage command could not be run or failed; once for a command text.
    void commandFailed(const QString &description);
    // A command started for an event has ended (tests).
    void commandFinished();

private:
    void tell(const QString &target, const QString &text);
    void showDue();
    void run(const QStringList &arguments);
    void failOnce(const QString &why);

    const PingTest &m_test;
    Clock m_clock;
    OutageNotices m_notices;
    QTimer *m_dueTimer;
    bool m_notify = true;
    QString m_command;
    bool m_failureShown = false;
};

} // namespace netvane
